// Runs the built executable on each case folder of cases/ in a throwaway
// folder laid out as a Wine prefix, and compares the exact console bytes, the
// exit code and the library afterwards.
//
// A case folder holds:
//   case.txt            "key: value" lines: about, exit, repeat-exit, prefix,
//                       library-path, args (see ReadCase)
//   Scenery.cfg         the library before the run (none: no library)
//   KestrinelConfig.ini the configuration in the current directory (none: none)
//   stdout.txt          the console bytes of the run
//   repeat-stdout.txt   with repeat-exit: the console bytes of a second run
//   appended.txt        the bytes the run appends to the library (none: the
//                       library must be left byte for byte as it was)
//
// KESTRINEL_EXE names the executable to test; it defaults to this build's.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace kestrinel {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

// How the run finds (or fails to find) its Wine prefix.
enum class PrefixSetup { WinePrefix, Home, None, NoProgramData };

struct E2eCase {
  std::string name;
  fs::path folder;
  std::string about;
  int exit = 0;
  std::optional<int> repeatExit;
  PrefixSetup prefix = PrefixSetup::WinePrefix;
  std::string libraryPath = "Microsoft/FSX/Scenery.cfg";
  std::vector<std::string> args;
};

std::ostream& operator<<(std::ostream& out, const E2eCase& c) { return out << c.name; }

std::optional<std::string> ReadIfPresent(const fs::path& path) {
  if (!fs::exists(path)) return std::nullopt;
  return ReadFile(path);
}

E2eCase ReadCase(const fs::path& folder) {
  E2eCase c;
  c.folder = folder;
  c.name = folder.filename().string();
  std::ifstream in(folder / "case.txt");
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    if (key == "about") {
      c.about = value;
    } else if (key == "exit") {
      c.exit = std::stoi(value);
    } else if (key == "repeat-exit") {
      c.repeatExit = std::stoi(value);
    } else if (key == "prefix") {
      const std::map<std::string, PrefixSetup> setups = {
          {"wineprefix", PrefixSetup::WinePrefix},
          {"home", PrefixSetup::Home},
          {"none", PrefixSetup::None},
          {"no-programdata", PrefixSetup::NoProgramData}};
      c.prefix = setups.at(value);
    } else if (key == "library-path") {
      c.libraryPath = value;
    } else if (key == "args") {
      std::istringstream words(value);
      for (std::string word; words >> word;) c.args.push_back(word);
    } else {
      ADD_FAILURE() << folder << ": unknown key " << key;
    }
  }
  return c;
}

std::vector<E2eCase> AllCases() {
  std::vector<E2eCase> cases;
  for (const auto& entry : fs::directory_iterator(KESTRINEL_E2E_CASES)) {
    if (entry.is_directory()) cases.push_back(ReadCase(entry.path()));
  }
  std::sort(cases.begin(), cases.end(),
            [](const E2eCase& a, const E2eCase& b) { return a.name < b.name; });
  return cases;
}

struct RunResult {
  std::string out;
  std::string err;
  int exitCode = -1;  // as the parent sees it: 0 to 255
};

std::string Drain(int fd) {
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

// Runs |argv| in |folder| with exactly the environment |env|.
RunResult RunProgram(const std::vector<std::string>& argv, const fs::path& folder,
                     const std::vector<std::string>& env) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    if (chdir(folder.c_str()) != 0) _exit(127);
    std::vector<char*> args, vars;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    for (const std::string& var : env) vars.push_back(const_cast<char*>(var.c_str()));
    args.push_back(nullptr);
    vars.push_back(nullptr);
    execve(args[0], args.data(), vars.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  RunResult result;
  // The tool writes little; reading one pipe to its end before the other
  // cannot block the child.
  result.out = Drain(out[0]);
  result.err = Drain(err[0]);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return result;
}

// Where two libraries first differ, with the bytes around it; empty when they
// are the same. Libraries are long, and a plain comparison would print both.
std::string FirstDifference(const std::string& actual, const std::string& expected) {
  if (actual == expected) return "";
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  const std::size_t from = at > 40 ? at - 40 : 0;
  std::ostringstream out;
  out << "sizes " << actual.size() << " and " << expected.size() << ", first difference at byte "
      << at << "\n  actual:   " << testing::PrintToString(actual.substr(from, 100))
      << "\n  expected: " << testing::PrintToString(expected.substr(from, 100));
  return out.str();
}

class EndToEndTest : public testing::TestWithParam<E2eCase> {};

TEST_P(EndToEndTest, ConsoleExitCodeAndLibrary) {
  const E2eCase& c = GetParam();
  SCOPED_TRACE(c.about);
  TempFolder temp;
  // With the prefix found through HOME it is HOME's .wine; otherwise WINEPREFIX
  // names it (or, with no prefix at all, nothing does).
  const fs::path prefix = c.prefix == PrefixSetup::Home ? temp / "home/.wine" : temp / "prefix";
  const fs::path library = prefix / "drive_c/ProgramData" / c.libraryPath;
  const fs::path work = temp / "work";
  fs::create_directories(work);
  fs::create_directories(c.prefix == PrefixSetup::NoProgramData ? prefix / "drive_c"
                                                                : library.parent_path());

  const std::optional<std::string> before = ReadIfPresent(c.folder / "Scenery.cfg");
  if (before) WriteFile(library, *before);
  if (const auto config = ReadIfPresent(c.folder / "KestrinelConfig.ini")) {
    WriteFile(work / "KestrinelConfig.ini", *config);
  }

  std::vector<std::string> env;
  for (char** var = environ; *var != nullptr; ++var) {
    const std::string entry = *var;
    if (entry.rfind("WINEPREFIX=", 0) != 0 && entry.rfind("HOME=", 0) != 0) env.push_back(entry);
  }
  if (c.prefix == PrefixSetup::WinePrefix || c.prefix == PrefixSetup::NoProgramData) {
    env.push_back("WINEPREFIX=" + prefix.string());
  }
  if (c.prefix != PrefixSetup::None) env.push_back("HOME=" + (temp / "home").string());

  std::vector<std::string> argv = {KESTRINEL_EXE};
  if (const char* exe = std::getenv("KESTRINEL_EXE")) argv[0] = exe;
  argv.insert(argv.end(), c.args.begin(), c.args.end());

  const RunResult first = RunProgram(argv, work, env);
  EXPECT_EQ(first.out, ReadFile(c.folder / "stdout.txt"));
  EXPECT_EQ(first.exitCode, c.exit & 0xFF);
  EXPECT_EQ(first.err, "");
  if (c.repeatExit) {
    const RunResult second = RunProgram(argv, work, env);
    EXPECT_EQ(second.out, ReadFile(c.folder / "repeat-stdout.txt"));
    EXPECT_EQ(second.exitCode, *c.repeatExit & 0xFF);
  }

  const std::optional<std::string> after = ReadIfPresent(library);
  const std::optional<std::string> appended = ReadIfPresent(c.folder / "appended.txt");
  if (!before) {
    EXPECT_FALSE(after) << "a library was created";
  } else {
    ASSERT_TRUE(after) << "the library is gone";
    EXPECT_EQ(FirstDifference(*after, *before + appended.value_or("")), "");
  }
  // Nothing but the library is left in its folder.
  if (before) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(library.parent_path())) {
      names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{library.filename().string()});
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEndTest, testing::ValuesIn(AllCases()), [](const auto& info) {
  std::string name;
  for (char ch : info.param.name) name += std::isalnum(ch) ? ch : '_';
  return name;
});

}  // namespace
}  // namespace kestrinel
