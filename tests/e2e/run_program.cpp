#include "tests/e2e/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/test_files.h"

namespace kestrinel::testing_support {
namespace fs = std::filesystem;

namespace {

// In the child: set up and become the run. Never returns.
[[noreturn]] void BecomeRun(const ProgramLaunch& launch, const fs::path& outPath,
                            const fs::path& errPath) {
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
  if (launch.group && (setgroups(0, nullptr) != 0 || setgid(*launch.group) != 0)) _exit(126);
  if (launch.user && setuid(*launch.user) != 0) _exit(126);
  if (chdir(launch.folder.c_str()) != 0) _exit(127);
  std::vector<char*> args, vars;
  for (const std::string& arg : launch.argv) args.push_back(const_cast<char*>(arg.c_str()));
  for (const std::string& var : launch.env) vars.push_back(const_cast<char*>(var.c_str()));
  args.push_back(nullptr);
  vars.push_back(nullptr);
  execve(args[0], args.data(), vars.data());
  _exit(127);
}

}  // namespace

// The output goes through files, not pipes: under Wine a run may leave
// services behind that hold its output open long after it ended.
std::vector<RunResult> RunProgramsTogether(const std::vector<ProgramLaunch>& launches) {
  TempFolder capture;
  std::vector<pid_t> children;
  for (std::size_t i = 0; i < launches.size(); ++i) {
    const fs::path out = capture / ("stdout." + std::to_string(i));
    const fs::path err = capture / ("stderr." + std::to_string(i));
    const pid_t child = fork();
    if (child == 0) BecomeRun(launches[i], out, err);
    children.push_back(child);
  }
  std::vector<RunResult> results(launches.size());
  for (std::size_t i = 0; i < children.size(); ++i) {
    int status = 0;
    if (children[i] < 0 || waitpid(children[i], &status, 0) != children[i]) continue;
    results[i].exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    results[i].out = ReadFile(capture / ("stdout." + std::to_string(i)));
    results[i].err = ReadFile(capture / ("stderr." + std::to_string(i)));
  }
  return results;
}

RunResult RunProgram(const ProgramLaunch& launch) { return RunProgramsTogether({launch}).at(0); }

std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& names) {
  std::vector<std::string> env;
  for (char** var = environ; *var != nullptr; ++var) {
    const std::string entry = *var;
    bool dropped = false;
    for (const std::string& name : names) dropped = dropped || entry.rfind(name + "=", 0) == 0;
    if (!dropped) env.push_back(entry);
  }
  return env;
}

bool ToolRunsUnderWine() {
  const char* wine = std::getenv("KESTRINEL_WINE");
  return wine != nullptr && wine[0] != '\0';
}

std::vector<std::string> ToolCommand(const std::vector<std::string>& args) {
  std::vector<std::string> command = {KESTRINEL_EXE};
  // The run starts in its own folder, so a relative name would not find it.
  if (const char* exe = std::getenv("KESTRINEL_EXE")) command[0] = fs::absolute(exe).string();
  if (ToolRunsUnderWine()) command.insert(command.begin(), std::getenv("KESTRINEL_WINE"));
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

}  // namespace kestrinel::testing_support
