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
// With KESTRINEL_WINE naming Wine's loader, the executable is the Windows
// build, run through Wine in the prefix WINEPREFIX names (created once, shared
// by all cases). There the console's line endings are CRLF, and since Wine's
// profile functions rewrite the whole library on a write, the library is
// compared by its sections, keys and other lines rather than byte for byte.
// A case that cannot be set up under Wine says why in "wine-skip".
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/run_program.h"
#include "tests/test_files.h"

namespace kestrinel {
namespace {

namespace fs = std::filesystem;
using testing_support::EnvironmentWithout;
using testing_support::FolderEntries;
using testing_support::ProgramLaunch;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempFolder;
using testing_support::ToolCommand;
using testing_support::ToolRunsUnderWine;
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
  std::string wineSkip;  // why the case cannot run under Wine
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
    } else if (key == "wine-skip") {
      c.wineSkip = value;
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

// The library as Wine's write leaves it: each line trimmed, blank lines gone,
// headers and keys without the spaces around their names and values.
std::string Structure(std::string bytes) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  std::string structure;
  std::istringstream lines(bytes);
  for (std::string line; std::getline(lines, line);) {
    const auto trim = [](std::string text) {
      text.erase(0, text.find_first_not_of(" \t\r"));
      text.erase(text.find_last_not_of(" \t\r") + 1);
      return text;
    };
    line = trim(line);
    if (line.empty()) continue;
    const std::size_t close = line.rfind(']');
    const std::size_t equals = line.find('=');
    if (line[0] == '[' && close != std::string::npos && close > 0) {
      structure += "[" + trim(line.substr(1, close - 1)) + "]\n";
    } else if (equals != std::string::npos) {
      structure += trim(line.substr(0, equals)) + "=" + trim(line.substr(equals + 1)) + "\n";
    } else {
      structure += line + "\n";
    }
  }
  return structure;
}

std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// The folders from |base| down to |folder| that do not exist yet, outermost
// first.
std::vector<fs::path> MissingFolders(const fs::path& base, const fs::path& folder) {
  std::vector<fs::path> missing;
  for (fs::path at = folder; at != base && !fs::exists(at); at = at.parent_path()) {
    missing.insert(missing.begin(), at);
  }
  return missing;
}

class EndToEndTest : public testing::TestWithParam<E2eCase> {};

TEST_P(EndToEndTest, ConsoleExitCodeAndLibrary) {
  const E2eCase& c = GetParam();
  SCOPED_TRACE(c.about);
  const bool underWine = ToolRunsUnderWine();
  if (underWine && !c.wineSkip.empty()) GTEST_SKIP() << c.wineSkip;
  const char* const winePrefix = std::getenv("WINEPREFIX");
  if (underWine) {
    ASSERT_TRUE(winePrefix != nullptr) << "Wine runs need WINEPREFIX";
  }

  TempFolder temp;
  // Under Wine the prefix is Wine's own. Otherwise: with the prefix found
  // through HOME it is HOME's .wine, else WINEPREFIX names it (or, with no
  // prefix at all, nothing does).
  const fs::path prefix = underWine                       ? fs::path(winePrefix)
                          : c.prefix == PrefixSetup::Home ? temp / "home/.wine"
                                                          : temp / "prefix";
  const fs::path programData = prefix / "drive_c/ProgramData";
  const fs::path library = programData / c.libraryPath;
  const fs::path work = temp / "work";
  fs::create_directories(work);
  if (underWine) {
    // Wine's prefix is shared by the cases: an empty library folder left by
    // an interrupted run would shadow the folder names the cases spell
    // otherwise. One that holds anything may be somebody's real library.
    std::error_code ignored;
    for (const char* folder : {"Microsoft/FSX", "Microsoft/fsx", "microsoft/fsx", "microsoft"}) {
      fs::remove(programData / folder, ignored);  // only removes empty folders
    }
    ASSERT_FALSE(fs::exists(library.parent_path()))
        << library.parent_path() << " is in use: run the Windows tests in a throwaway prefix";
  }
  // Folders made in Wine's prefix are removed again after the case, however it
  // ends.
  struct RemoveOnExit {
    fs::path path;
    ~RemoveOnExit() {
      std::error_code ignored;
      if (!path.empty()) fs::remove_all(path, ignored);
    }
  };
  const std::vector<fs::path> made = MissingFolders(programData, library.parent_path());
  const RemoveOnExit cleanup{underWine && !made.empty() ? made.front() : fs::path()};
  fs::create_directories(c.prefix == PrefixSetup::NoProgramData ? prefix / "drive_c"
                                                                : library.parent_path());

  const std::optional<std::string> before = ReadIfPresent(c.folder / "Scenery.cfg");
  if (before) WriteFile(library, *before);
  if (const auto config = ReadIfPresent(c.folder / "KestrinelConfig.ini")) {
    WriteFile(work / "KestrinelConfig.ini", *config);
  }

  // Under Wine the run keeps Wine's prefix; otherwise it gets the case's.
  ProgramLaunch launch;
  launch.folder = work;
  launch.argv = ToolCommand(c.args);
  launch.env = underWine ? EnvironmentWithout({}) : EnvironmentWithout({"WINEPREFIX", "HOME"});
  std::vector<std::string>& env = launch.env;
  if (!underWine) {
    if (c.prefix == PrefixSetup::WinePrefix || c.prefix == PrefixSetup::NoProgramData) {
      env.push_back("WINEPREFIX=" + prefix.string());
    }
    if (c.prefix != PrefixSetup::None) env.push_back("HOME=" + (temp / "home").string());
  }

  // The Windows console ends lines with CRLF.
  const auto console = [&](const std::string& out) {
    return underWine ? WithoutCarriageReturns(out) : out;
  };

  const RunResult first = RunProgram(launch);
  EXPECT_EQ(console(first.out), ReadFile(c.folder / "stdout.txt"));
  EXPECT_EQ(first.exitCode, c.exit & 0xFF);
  if (!underWine) {
    EXPECT_EQ(first.err, "");
  }
  if (c.repeatExit) {
    const RunResult second = RunProgram(launch);
    EXPECT_EQ(console(second.out), ReadFile(c.folder / "repeat-stdout.txt"));
    EXPECT_EQ(second.exitCode, *c.repeatExit & 0xFF);
  }

  const std::optional<std::string> after = ReadIfPresent(library);
  const std::optional<std::string> appended = ReadIfPresent(c.folder / "appended.txt");
  if (!before) {
    EXPECT_FALSE(after) << "a library was created";
  } else if (!after) {
    ADD_FAILURE() << "the library is gone";
  } else if (underWine && appended) {
    EXPECT_EQ(Structure(*after), Structure(*before + *appended));
  } else {
    EXPECT_EQ(FirstDifference(*after, *before + appended.value_or("")), "");
  }
  // Nothing but the library is left in its folder.
  if (before) {
    EXPECT_EQ(FolderEntries(library.parent_path()),
              std::vector<std::string>{library.filename().string()});
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEndTest, testing::ValuesIn(AllCases()), [](const auto& info) {
  std::string name;
  for (char ch : info.param.name) name += std::isalnum(ch) ? ch : '_';
  return name;
});

}  // namespace
}  // namespace kestrinel
