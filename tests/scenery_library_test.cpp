// Finding the library in a Wine prefix and listing its sections.
#include "library/scenery_library.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

namespace kestrinel {
namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;
using testing_support::WriteFile;

TEST(LocateSceneryLibraryTest, PathOfAnyLength) {
  TempFolder temp;
  // Far longer than the 102 characters a fixed 128-character path would allow.
  const std::string prefix = (temp / std::string(150, 'p')).string() + "/" + std::string(90, 'q');
  std::filesystem::create_directories(prefix + "/drive_c/ProgramData");
  ScopedEnv winePrefix("WINEPREFIX", prefix.c_str());
  std::string libraryPath;
  testing::internal::CaptureStdout();
  EXPECT_EQ(LocateSceneryLibrary(libraryPath), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(libraryPath, prefix + "/drive_c/ProgramData\\Microsoft\\FSX\\Scenery.cfg");
}

TEST(LocateSceneryLibraryTest, MissingFolderEndsRun) {
  TempFolder temp;
  ScopedEnv winePrefix("WINEPREFIX", (temp / "no-prefix").c_str());
  std::string libraryPath;
  testing::internal::CaptureStdout();
  EXPECT_EQ(LocateSceneryLibrary(libraryPath), ExitNoCommonAppData);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "The program couldn't find the Common application data folder");
}

TEST(ListLibrarySectionsTest, ListOfAnySizeArrivesWhole) {
  TempFolder temp;
  std::string library = "[General]\r\nTitle=Lib\r\n";
  std::string expected = std::string("General") + '\0';
  // Names of 60 characters: 400 of them take 24,400 bytes.
  for (int i = 1; i <= 400; ++i) {
    const std::string name = "Area." + std::to_string(1000 + i).substr(1) + std::string(52, '_');
    library += "[" + name + "]\r\nTitle=T\r\n";
    expected += name + '\0';
  }
  expected += '\0';
  WriteFile(temp / "Scenery.cfg", library);
  std::vector<char> names;
  EXPECT_EQ(ListLibrarySections((temp / "Scenery.cfg").string(), names), std::nullopt);
  ASSERT_GE(names.size(), expected.size());
  EXPECT_EQ(std::string(names.data(), expected.size()), expected);
}

TEST(ListLibrarySectionsTest, ListThatExactlyFitsIsAskedAgain) {
  TempFolder temp;
  // "General\0" and a name of 9990 characters fill the first buffer exactly.
  const std::string longName(9990, 'n');
  WriteFile(temp / "Scenery.cfg", "[General]\n[" + longName + "]\n");
  std::vector<char> names;
  EXPECT_EQ(ListLibrarySections((temp / "Scenery.cfg").string(), names), std::nullopt);
  EXPECT_EQ(std::string(names.data() + 8, longName.size() + 2), longName + '\0' + '\0');
}

TEST(ListLibrarySectionsTest, NoSectionsEndsRun) {
  TempFolder temp;
  WriteFile(temp / "empty.cfg", "");
  WriteFile(temp / "keys.cfg", "Title=no section\r\n");
  for (const char* name : {"empty.cfg", "keys.cfg", "missing.cfg"}) {
    std::vector<char> names;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ListLibrarySections((temp / name).string(), names), ExitLibraryUnreadable);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error reading the Scenery.cfg file");
  }
}

}  // namespace
}  // namespace kestrinel
