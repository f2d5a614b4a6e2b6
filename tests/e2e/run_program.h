// Running the tool under test as a separate process, as installers do.
#ifndef KESTRINEL_TESTS_E2E_RUN_PROGRAM_H_
#define KESTRINEL_TESTS_E2E_RUN_PROGRAM_H_

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrinel::testing_support {

struct ProgramLaunch {
  std::vector<std::string> argv;
  std::filesystem::path folder;  // the current directory of the run
  std::vector<std::string> env;  // the whole environment of the run
  // Run as this user and group (which only root may choose); else as we are.
  std::optional<uid_t> user;
  std::optional<gid_t> group;
};

struct RunResult {
  std::string out;
  std::string err;
  int exitCode = -1;  // as the parent sees it: 0 to 255; above 1000 a signal
};

// Starts every launch before waiting for any, so that they run at once.
std::vector<RunResult> RunProgramsTogether(const std::vector<ProgramLaunch>& launches);

RunResult RunProgram(const ProgramLaunch& launch);

// The environment of this process without the variables named.
std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& names);

// Whether the executable under test is the Windows build, run through Wine
// (KESTRINEL_WINE names Wine's loader).
bool ToolRunsUnderWine();

// The command that runs the executable under test (KESTRINEL_EXE, else this
// build's) with |args|, through Wine where ToolRunsUnderWine().
std::vector<std::string> ToolCommand(const std::vector<std::string>& args = {});

}  // namespace kestrinel::testing_support

#endif  // KESTRINEL_TESTS_E2E_RUN_PROGRAM_H_
