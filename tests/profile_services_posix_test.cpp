// The POSIX profile services on real files: Windows file names, the cache,
// the safe replacement of the file on a write, and the Wine prefix lookup.
#include "platform/profile_services.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace kestrinel {
namespace {

using namespace std::string_literals;
using testing_support::FolderEntries;
using testing_support::ReadFile;
using testing_support::ScopedCurrentDirectory;
using testing_support::ScopedEnv;
using testing_support::TempFolder;
using testing_support::WriteFile;
namespace fs = std::filesystem;

// The file's name as the tool passes it: backslashes as separators.
std::string WindowsName(const fs::path& path) {
  std::string name = path.string();
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

std::string SectionNames(const std::string& fileName) {
  std::vector<char> buffer(4096, '\xCC');
  const std::uint32_t copied =
      ReadProfileSectionNames(buffer.data(), buffer.size(), fileName.c_str());
  return std::string(buffer.data(), copied);
}

std::string Value(const std::string& fileName, const char* section, const char* key) {
  char buffer[512];
  ReadProfileString(section, key, "<none>", buffer, sizeof buffer, fileName.c_str());
  return buffer;
}

TEST(CommonAppDataTest, FindsProgramDataInWinePrefix) {
  TempFolder temp;
  fs::create_directories(temp / "prefix/drive_c/ProgramData");
  for (const std::string& prefix : {(temp / "prefix").string(), (temp / "prefix").string() + "/"}) {
    ScopedEnv winePrefix("WINEPREFIX", prefix.c_str());
    std::string folder;
    EXPECT_EQ(GetCommonAppDataFolder(folder), 0);
    EXPECT_EQ(folder, (temp / "prefix/drive_c/ProgramData").string());
  }
}

TEST(CommonAppDataTest, FallsBackToDotWineInHome) {
  TempFolder temp;
  fs::create_directories(temp / "home/.wine/drive_c/ProgramData");
  ScopedEnv home("HOME", (temp / "home").c_str());
  for (const char* unsetOrEmpty : {static_cast<const char*>(nullptr), ""}) {
    ScopedEnv winePrefix("WINEPREFIX", unsetOrEmpty);
    std::string folder;
    EXPECT_EQ(GetCommonAppDataFolder(folder), 0);
    EXPECT_EQ(folder, (temp / "home/.wine/drive_c/ProgramData").string());
  }
}

TEST(CommonAppDataTest, FailsWithoutPrefixOrFolder) {
  TempFolder temp;
  fs::create_directories(temp / "bare/drive_c");
  WriteFile(temp / "file/drive_c/ProgramData", "not a folder");
  struct Setting {
    const char* winePrefix;
    const char* home;
  };
  const std::string bare = (temp / "bare").string();
  const std::string file = (temp / "file").string();
  const std::string missing = (temp / "missing").string();
  for (const Setting& setting :
       {Setting{nullptr, nullptr}, Setting{"", ""}, Setting{bare.c_str(), nullptr},
        Setting{file.c_str(), nullptr}, Setting{missing.c_str(), nullptr},
        Setting{nullptr, bare.c_str()}}) {
    ScopedEnv winePrefix("WINEPREFIX", setting.winePrefix);
    ScopedEnv home("HOME", setting.home);
    std::string folder = "left over";
    EXPECT_NE(GetCommonAppDataFolder(folder), 0);
    EXPECT_EQ(folder, "");
  }
}

TEST(CommonAppDataTest, ProgramDataMatchedWithoutCase) {
  TempFolder temp;
  fs::create_directories(temp / "prefix/Drive_C/programdata");
  ScopedEnv winePrefix("WINEPREFIX", (temp / "prefix").c_str());
  std::string folder;
  EXPECT_EQ(GetCommonAppDataFolder(folder), 0);
  EXPECT_EQ(folder, (temp / "prefix/Drive_C/programdata").string());
}

TEST(ProfileFileNamesTest, BackslashesAndCaseOfComponents) {
  TempFolder temp;
  WriteFile(temp / "Microsoft/FSX/scenery.cfg", "[General]\r\nTitle=Lib\r\n");
  EXPECT_EQ(SectionNames(WindowsName(temp / "Microsoft/FSX/scenery.cfg")), "General\0"s);
  EXPECT_EQ(SectionNames(temp.path().string() + "\\MICROSOFT\\fsx\\Scenery.cfg"), "General\0"s);
  EXPECT_EQ(Value(temp.path().string() + "\\microsoft\\FSX\\SCENERY.CFG", "General", "Title"),
            "Lib");
}

TEST(ProfileFileNamesTest, ExactCaseWinsOverOtherMatches) {
  TempFolder temp;
  WriteFile(temp / "scenery.cfg", "[Lower]\n");
  WriteFile(temp / "Scenery.cfg", "[Exact]\n");
  WriteFile(temp / "SCENERY.CFG", "[Upper]\n");
  EXPECT_EQ(SectionNames(WindowsName(temp / "Scenery.cfg")), "Exact\0"s);
  // Without an exact match the first in byte order is taken, every time.
  EXPECT_EQ(SectionNames(WindowsName(temp / "sCENERY.cfg")), "Upper\0"s);
}

TEST(ProfileFileNamesTest, DotBackslashIsTheCurrentDirectory) {
  TempFolder temp;
  WriteFile(temp / "KestrinelConfig.ini", "[Config]\nTitle=Here\n");
  ScopedCurrentDirectory inside(temp.path());
  EXPECT_EQ(Value(".\\KestrinelConfig.ini", "Config", "Title"), "Here");
  EXPECT_EQ(Value(".\\kestrinelconfig.INI", "config", "TITLE"), "Here");
}

TEST(ProfileFileNamesTest, MissingFileFolderOrNonFile) {
  TempFolder temp;
  fs::create_directories(temp / "folder.cfg");
  for (const fs::path& path :
       {temp / "missing.cfg", temp / "no/such/folder.cfg", temp / "folder.cfg"}) {
    SCOPED_TRACE(path.string());
    EXPECT_EQ(SectionNames(WindowsName(path)), "");
    EXPECT_EQ(Value(WindowsName(path), "S", "k"), "<none>");
    EXPECT_EQ(ReadProfileInt("S", "k", 7, WindowsName(path).c_str()), 7u);
  }
}

TEST(ProfileCacheTest, ChangedFileIsReadAgain) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[S]\nk=1\n");
  EXPECT_EQ(Value(library.string(), "S", "k"), "1");

  // Same size, rewritten in place, with the old modification time put back:
  // the change time still tells.
  struct stat before;
  ASSERT_EQ(stat(library.c_str(), &before), 0);
  WriteFile(library, "[S]\nk=2\n");
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, library.c_str(), times, 0), 0);
  EXPECT_EQ(Value(library.string(), "S", "k"), "2");

  // Replaced by another file.
  WriteFile(temp / "other.cfg", "[S]\nk=three\n");
  fs::rename(temp / "other.cfg", library);
  EXPECT_EQ(Value(library.string(), "S", "k"), "three");

  fs::remove(library);
  EXPECT_EQ(Value(library.string(), "S", "k"), "<none>");
}

TEST(ProfileSnapshotTest, HeldSnapshotIsReadUntilReleased) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[S]\nk=1\n");
  HoldProfileSnapshot(library.c_str());
  WriteFile(temp / "other.cfg", "[S]\nk=2\n");
  fs::rename(temp / "other.cfg", library);
  EXPECT_EQ(Value(library.string(), "S", "k"), "1");
  ReleaseProfileSnapshot(library.c_str());
  EXPECT_EQ(Value(library.string(), "S", "k"), "2");
}

TEST(ProfileSnapshotTest, WriteRefusedWhenFileChangedSinceSnapshot) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[General]\nTitle=Lib\n");
  HoldProfileSnapshot(library.c_str());
  // Another program edits the library while the run decides what to write.
  WriteFile(temp / "other.cfg", "[General]\nTitle=Lib\n[Area.001]\nTitle=Theirs\n");
  fs::rename(temp / "other.cfg", library);
  EXPECT_EQ(StoreProfileSection("Area.001", "Title=Mine\0", library.c_str()), 0);
  EXPECT_EQ(ReadFile(library), "[General]\nTitle=Lib\n[Area.001]\nTitle=Theirs\n");
  ReleaseProfileSnapshot(library.c_str());
}

TEST(ProfileSnapshotTest, WriteOfUnchangedSnapshotSucceeds) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[General]\nTitle=Lib\n");
  HoldProfileSnapshot(library.c_str());
  EXPECT_EQ(SectionNames(library.string()), "General\0"s);
  ASSERT_NE(StoreProfileSection("Area.001", "Title=Mine\0", library.c_str()), 0);
  ReleaseProfileSnapshot(library.c_str());
  EXPECT_EQ(SectionNames(library.string()), "General\0Area.001\0"s);
}

TEST(ProfileFileWriteTest, AppendsAndKeepsEveryOldByte) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  const std::string old = "; a comment\r\n[General]\r\nTitle = Lib \r\n\r\nodd line\r\n";
  WriteFile(library, old);
  EXPECT_EQ(SectionNames(library.string()), "General\0"s);

  ASSERT_NE(StoreProfileSection("Area.001", "Title=New\0Layer=1\0", WindowsName(library).c_str()),
            0);
  EXPECT_EQ(ReadFile(library), old + "[Area.001]\r\nTitle=New\r\nLayer=1\r\n");
  // The next read sees the new section.
  EXPECT_EQ(SectionNames(library.string()), "General\0Area.001\0"s);
  EXPECT_EQ(FolderEntries(temp.path()), std::vector<std::string>{"Scenery.cfg"});
}

TEST(ProfileFileWriteTest, CreatesMissingFileInExistingFolder) {
  TempFolder temp;
  ASSERT_NE(StoreProfileSection("S", "k=v\0", WindowsName(temp / "new.ini").c_str()), 0);
  EXPECT_EQ(ReadFile(temp / "new.ini"), "[S]\r\nk=v\r\n");
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(fs::status(temp / "new.ini").permissions(), static_cast<fs::perms>(0666 & ~mask));
}

TEST(ProfileFileWriteTest, MissingFolderFailsAndCreatesNothing) {
  TempFolder temp;
  EXPECT_EQ(StoreProfileSection("S", "k=v\0", WindowsName(temp / "no/Scenery.cfg").c_str()), 0);
  EXPECT_TRUE(FolderEntries(temp.path()).empty());
}

TEST(ProfileFileWriteTest, KeepsPermissionBits) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[General]\nTitle=Lib\n");
  ASSERT_EQ(chmod(library.c_str(), 0640), 0);
  ASSERT_NE(StoreProfileSection("Area.001", "Title=New\0", library.c_str()), 0);
  EXPECT_EQ(fs::status(library).permissions(), static_cast<fs::perms>(0640));
}

TEST(ProfileFileWriteTest, KeepsOwnerWhenRunAsRoot) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can hand a file to another owner";
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[General]\nTitle=Lib\n");
  ASSERT_EQ(chown(library.c_str(), 65534, 65534), 0);
  ASSERT_NE(StoreProfileSection("Area.001", "Title=New\0", library.c_str()), 0);
  struct stat info;
  ASSERT_EQ(stat(library.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
}

TEST(ProfileFileWriteTest, SymbolicLinkStaysAndTargetIsUpdated) {
  TempFolder temp;
  WriteFile(temp / "real/Scenery.cfg", "[General]\nTitle=Lib\n");
  fs::create_directories(temp / "FSX");
  fs::create_symlink("../real/Scenery.cfg", temp / "FSX/Scenery.cfg");
  ASSERT_NE(
      StoreProfileSection("Area.001", "Title=New\0", WindowsName(temp / "FSX/Scenery.cfg").c_str()),
      0);
  EXPECT_TRUE(fs::is_symlink(temp / "FSX/Scenery.cfg"));
  EXPECT_EQ(ReadFile(temp / "real/Scenery.cfg"), "[General]\nTitle=Lib\n[Area.001]\nTitle=New\n");
  EXPECT_EQ(FolderEntries(temp / "real"), std::vector<std::string>{"Scenery.cfg"});
}

TEST(ProfileFileWriteTest, DanglingLinkIsNotReplaced) {
  TempFolder temp;
  fs::create_symlink("missing.cfg", temp / "Scenery.cfg");
  EXPECT_EQ(StoreProfileSection("S", "k=v\0", (temp / "Scenery.cfg").c_str()), 0);
  EXPECT_TRUE(fs::is_symlink(temp / "Scenery.cfg"));
  EXPECT_EQ(FolderEntries(temp.path()), std::vector<std::string>{"Scenery.cfg"});
}

TEST(ProfileFileWriteTest, ExistingFileThatCannotBeReadIsNotReplaced) {
  TempFolder temp;
  const fs::path fifo = temp / "Scenery.cfg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(StoreProfileSection("S", "k=v\0", fifo.c_str()), 0);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(ProfileFileWriteTest, FailedWriteLeavesOriginalAndNoTemporaryFile) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  const std::string old = "[General]\nTitle=Lib\n" + std::string(4000, ';') + "\n";
  WriteFile(library, old);

  // A file size limit below the new file's size makes the write itself fail.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit oldLimit;
  getrlimit(RLIMIT_FSIZE, &oldLimit);
  rlimit small = oldLimit;
  small.rlim_cur = 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  const int result = StoreProfileSection("Area.001", "Title=New\0", library.c_str());
  setrlimit(RLIMIT_FSIZE, &oldLimit);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(library), old);
  EXPECT_EQ(FolderEntries(temp.path()), std::vector<std::string>{"Scenery.cfg"});
}

TEST(ProfileFileWriteTest, InjectedLineIsRefused) {
  TempFolder temp;
  const fs::path library = temp / "Scenery.cfg";
  WriteFile(library, "[General]\nTitle=Lib\n");
  EXPECT_EQ(StoreProfileSection("Area.001", "Title=x\r\n[Area.002]\0", library.c_str()), 0);
  EXPECT_EQ(ReadFile(library), "[General]\nTitle=Lib\n");
}

TEST(LibraryLockTest, SecondHolderWaitsThenGivesUp) {
  TempFolder temp;
  WriteFile(temp / "FSX/Scenery.cfg", "[General]\nTitle=Lib\n");
  const std::string library = WindowsName(temp / "FSX/Scenery.cfg");
  LibraryLock first, second;
  ASSERT_EQ(LockLibrary(library.c_str(), 0, first), LockOutcome::Held);
  EXPECT_EQ(LockLibrary(library.c_str(), 100, second), LockOutcome::Busy);
  UnlockLibrary(first);
  EXPECT_EQ(LockLibrary(library.c_str(), 0, second), LockOutcome::Held);
  UnlockLibrary(second);
  UnlockLibrary(second);  // a second release does nothing
}

TEST(LibraryLockTest, LinkedLibraryLocksTargetFolder) {
  TempFolder temp;
  WriteFile(temp / "real/Scenery.cfg", "[General]\nTitle=Lib\n");
  fs::create_directories(temp / "FSX");
  fs::create_symlink("../real/Scenery.cfg", temp / "FSX/Scenery.cfg");
  LibraryLock throughLink, direct;
  ASSERT_EQ(LockLibrary((temp / "FSX/Scenery.cfg").c_str(), 0, throughLink), LockOutcome::Held);
  EXPECT_EQ(LockLibrary((temp / "real/Scenery.cfg").c_str(), 0, direct), LockOutcome::Busy);
  UnlockLibrary(throughLink);
}

TEST(LibraryLockTest, MissingFolderNeedsNoLock) {
  TempFolder temp;
  LibraryLock lock;
  EXPECT_EQ(LockLibrary(WindowsName(temp / "no/Scenery.cfg").c_str(), 0, lock),
            LockOutcome::Unneeded);
  EXPECT_EQ(lock.handle, -1);
}

}  // namespace
}  // namespace kestrinel
