// What the tool guarantees about the library when things go wrong: a write
// that fails at any step, a library the user may not write, and installers
// started together.
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/profile_text.h"
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
using testing_support::RunProgramsTogether;
using testing_support::RunResult;
using testing_support::TempFolder;
using testing_support::ToolCommand;
using testing_support::ToolRunsUnderWine;
using testing_support::WriteFile;

constexpr char kBanner[] =
    "******************************************************\n"
    "*              Scenery Kestrinel v. 1.4              *\n"
    "******************************************************\n\n";

std::string Library(int areas) {
  std::string library = "[General]\r\nTitle=World\r\n";
  for (int i = 1; i <= areas; ++i) {
    char section[160];
    std::snprintf(section, sizeof section,
                  "\r\n[Area.%03d]\r\nTitle=Region %d\r\nLocal=Scenery\\Region%d\r\nLayer=%d\r\n"
                  "Active=TRUE\r\nRequired=FALSE\r\n",
                  i, i, i, i);
    library += section;
  }
  return library;
}

std::string Activated(const std::string& title) {
  const std::string rule = "\n------------------------------------------------------\n";
  return std::string(kBanner) + rule + "\nThe scenery " + title + " was activated\n" + rule + "\n";
}

// A library in a throwaway Wine-style prefix, or under Wine in the prefix
// WINEPREFIX names, and a folder to run in.
struct Installation {
  TempFolder temp;
  fs::path prefix = ToolRunsUnderWine() ? fs::path(std::getenv("WINEPREFIX")) : temp / "prefix";
  fs::path folder = prefix / "drive_c/ProgramData/Microsoft/FSX";
  fs::path library = folder / "Scenery.cfg";
  fs::path work = temp / "work";

  explicit Installation(const std::string& bytes) {
    // Wine's prefix is shared: a library already there may be somebody's.
    if (ToolRunsUnderWine()) {
      EXPECT_FALSE(fs::exists(folder)) << folder << " is in use";
    }
    WriteFile(library, bytes);
    fs::create_directories(work);
    WriteFile(work / "KestrinelConfig.ini", "[Config]\r\nTitle=Kestrel Field\r\nPath=Addon\r\n");
  }
  ~Installation() {
    std::error_code ignored;
    if (ToolRunsUnderWine()) fs::remove_all(folder, ignored);
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  ProgramLaunch Launch(const fs::path& in) const {
    ProgramLaunch launch;
    launch.argv = ToolCommand();
    launch.folder = in;
    launch.env = EnvironmentWithout({"WINEPREFIX", "HOME"});
    launch.env.push_back("WINEPREFIX=" + prefix.string());
    return launch;
  }
};

struct FaultCase {
  const char* faults;
  int exit;
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) { return out << c.faults; }

class WriteFaultTest : public testing::TestWithParam<FaultCase> {};

// Each step of the write fails in turn, through the unnamed temporary file and
// through the named one used where the file system lacks O_TMPFILE.
TEST_P(WriteFaultTest, FailedStepLeavesLibraryAsItWas) {
  if (ToolRunsUnderWine()) GTEST_SKIP() << "faults are injected into the Linux build's file calls";
  const FaultCase& c = GetParam();
  const std::string before = Library(3);
  Installation installation(before);
  ProgramLaunch launch = installation.Launch(installation.work);
  launch.env.push_back(std::string("LD_PRELOAD=") + KESTRINEL_FAULTS_LIBRARY);
  launch.env.push_back(std::string("KESTRINEL_FAULT=") + c.faults);
  // A sanitized tool must accept a library loaded before its runtime.
  const char* asanOptions = std::getenv("ASAN_OPTIONS");
  launch.env.erase(
      std::remove_if(launch.env.begin(), launch.env.end(),
                     [](const std::string& var) { return var.rfind("ASAN_OPTIONS=", 0) == 0; }),
      launch.env.end());
  launch.env.push_back(std::string("ASAN_OPTIONS=") + (asanOptions ? asanOptions : "") +
                       ":verify_asan_link_order=0");

  const RunResult run = RunProgram(launch);
  EXPECT_EQ(run.exitCode, c.exit & 0xFF);
  if (c.exit == -15) {
    EXPECT_EQ(run.out, std::string(kBanner) + "Error writing Scenery.cfg");
    EXPECT_EQ(ReadFile(installation.library), before);
  } else {
    EXPECT_EQ(run.out, Activated("Kestrel Field"));
    EXPECT_EQ(ReadFile(installation.library).substr(0, before.size()), before);
  }
  EXPECT_EQ(FolderEntries(installation.folder), std::vector<std::string>{"Scenery.cfg"});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WriteFaultTest,
    testing::Values(FaultCase{"create", -15}, FaultCase{"write", -15}, FaultCase{"disk-full", -15},
                    FaultCase{"fsync", -15}, FaultCase{"link", -15}, FaultCase{"close", -15},
                    FaultCase{"rename", -15}, FaultCase{"no-tmpfile,create", -15},
                    FaultCase{"no-tmpfile,write", -15}, FaultCase{"no-tmpfile,disk-full", -15},
                    FaultCase{"no-tmpfile,fsync", -15}, FaultCase{"no-tmpfile,close", -15},
                    FaultCase{"no-tmpfile,rename", -15},
                    // Without faults both ways of writing succeed.
                    FaultCase{"", 1}, FaultCase{"no-tmpfile", 1}),
    [](const auto& info) {
      std::string name = info.param.faults[0] != '\0' ? info.param.faults : "none";
      std::replace(name.begin(), name.end(), ',', '_');
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

// Root ignores file permissions, so as root the tool runs as "nobody".
struct User {
  std::optional<uid_t> user;
  std::optional<gid_t> group;
};

User UserPermissionsApplyTo() {
  if (geteuid() != 0) return {};
  return {65534, 65534};
}

// A launch as |user|, with the tool copied where that user may run it: the
// build folder may lie in a folder only its owner can enter.
ProgramLaunch LaunchAs(const Installation& installation, const User& user) {
  ProgramLaunch launch = installation.Launch(installation.work);
  if (user.user) {
    const fs::path copy = installation.temp / "bin/kestrinel";
    fs::create_directories(copy.parent_path());
    fs::copy_file(launch.argv[0], copy);
    launch.argv[0] = copy.string();
  }
  launch.user = user.user;
  launch.group = user.group;
  return launch;
}

TEST(UserPermissionsTest, ReadOnlyLibraryIsNotWritten) {
  if (ToolRunsUnderWine()) GTEST_SKIP() << "permissions of the Linux build";
  const std::string before = Library(3);
  Installation installation(before);
  const User user = UserPermissionsApplyTo();
  if (user.user) {
    ASSERT_EQ(chown(installation.folder.c_str(), *user.user, *user.group), 0);
    ASSERT_EQ(chown(installation.library.c_str(), *user.user, *user.group), 0);
  }
  ASSERT_EQ(chmod(installation.library.c_str(), 0444), 0);
  const ProgramLaunch launch = LaunchAs(installation, user);

  const RunResult run = RunProgram(launch);
  EXPECT_EQ(run.exitCode, -15 & 0xFF);
  EXPECT_EQ(run.out, std::string(kBanner) + "Error writing Scenery.cfg");
  EXPECT_EQ(ReadFile(installation.library), before);
  EXPECT_EQ(FolderEntries(installation.folder), std::vector<std::string>{"Scenery.cfg"});
}

TEST(UserPermissionsTest, LibraryInFolderUserCannotWriteIsNotWritten) {
  if (ToolRunsUnderWine()) GTEST_SKIP() << "permissions of the Linux build";
  const std::string before = Library(3);
  Installation installation(before);
  const User user = UserPermissionsApplyTo();
  // The library itself is the user's to write; its folder is not.
  if (user.user) {
    ASSERT_EQ(chown(installation.library.c_str(), *user.user, *user.group), 0);
  }
  ASSERT_EQ(chmod(installation.library.c_str(), 0644), 0);
  ASSERT_EQ(chmod(installation.folder.c_str(), 0555), 0);
  const ProgramLaunch launch = LaunchAs(installation, user);

  const RunResult run = RunProgram(launch);
  chmod(installation.folder.c_str(), 0755);
  EXPECT_EQ(run.exitCode, -15 & 0xFF);
  EXPECT_EQ(run.out, std::string(kBanner) + "Error writing Scenery.cfg");
  EXPECT_EQ(ReadFile(installation.library), before);
  EXPECT_EQ(FolderEntries(installation.folder), std::vector<std::string>{"Scenery.cfg"});
}

// Installers started together queue on the library: none loses its entry.
TEST(ConcurrentRunsTest, EightInstallersAllRegister) {
  constexpr int kRuns = 8;
  const std::string before = Library(12);
  Installation installation(before);
  std::vector<ProgramLaunch> launches;
  std::vector<std::string> titles;
  for (int i = 1; i <= kRuns; ++i) {
    titles.push_back("Installer " + std::to_string(i));
    const fs::path work = installation.temp / ("installer" + std::to_string(i));
    WriteFile(work / "KestrinelConfig.ini",
              "[Config]\r\nTitle=" + titles.back() + "\r\nPath=Addon\\" + titles.back() + "\r\n");
    launches.push_back(installation.Launch(work));
  }

  const std::vector<RunResult> runs = RunProgramsTogether(launches);
  for (int i = 0; i < kRuns; ++i) {
    SCOPED_TRACE(titles[i]);
    EXPECT_EQ(runs[i].exitCode, 1);
    std::string out = runs[i].out;
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    EXPECT_EQ(out, Activated(titles[i]));
  }

  // Twelve areas, then the eight new ones in some order: distinct names,
  // layers 13 to 20, every title once.
  const ProfileText after = ParseProfileText(ReadFile(installation.library));
  ASSERT_EQ(after.sections.size(), 1u + 12u + kRuns);
  std::vector<std::string> names, newTitles;
  std::vector<std::uint32_t> layers;
  char value[512];
  for (std::size_t i = 13; i < after.sections.size(); ++i) {
    const std::string name(SpanText(after, after.sections[i].name));
    names.push_back(name);
    CopyProfileString(&after, name, "Title", "", value, sizeof value);
    newTitles.push_back(value);
    layers.push_back(ProfileIntValue(&after, name, "Layer", 0));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end()) << "two runs took one name";
  std::sort(layers.begin(), layers.end());
  EXPECT_EQ(layers, (std::vector<std::uint32_t>{13, 14, 15, 16, 17, 18, 19, 20}));
  std::sort(newTitles.begin(), newTitles.end());
  EXPECT_EQ(newTitles, titles);
  if (!ToolRunsUnderWine()) {
    EXPECT_EQ(ReadFile(installation.library).substr(0, before.size()), before);
  }
}

// The lock of the Linux build: an flock on the library's folder.
class HeldFolderLock {
 public:
  explicit HeldFolderLock(const fs::path& folder)
      : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    EXPECT_EQ(flock(fd_, LOCK_EX), 0);
  }
  ~HeldFolderLock() { Release(); }
  void Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

TEST(LibraryLockTest, RunWaitsForHolderAndThenRegisters) {
  if (ToolRunsUnderWine()) GTEST_SKIP() << "holds the Linux build's lock";
  Installation installation(Library(3));
  HeldFolderLock held(installation.folder);
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    held.Release();
  });
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = RunProgram(installation.Launch(installation.work));
  const auto waited = std::chrono::steady_clock::now() - start;
  releaser.join();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, Activated("Kestrel Field"));
  EXPECT_GE(waited, std::chrono::milliseconds(900));
}

TEST(LibraryLockTest, RunGivesUpAfterThirtySecondsWritingNothing) {
  if (ToolRunsUnderWine()) GTEST_SKIP() << "holds the Linux build's lock";
  const std::string before = Library(3);
  Installation installation(before);
  HeldFolderLock held(installation.folder);
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = RunProgram(installation.Launch(installation.work));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.exitCode, -18 & 0xFF);
  EXPECT_EQ(run.out, std::string(kBanner) +
                         "Error: Scenery.cfg is in use by another registration; nothing was "
                         "written");
  EXPECT_GE(waited, std::chrono::seconds(30));
  EXPECT_LT(waited, std::chrono::seconds(40));
  EXPECT_EQ(ReadFile(installation.library), before);
}

}  // namespace
}  // namespace kestrinel
