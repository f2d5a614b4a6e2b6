// Whether a configured title is already in the library.
#include "activation/title_search.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrinel {
namespace {

AreaRecord RecordTitled(const std::string& title) {
  AreaRecord record;
  SetTitle(record, title);
  return record;
}

struct TitleCase {
  const char* name;
  std::string configured;
  std::string stored;  // as the library holds it; the record keeps 255 characters
  bool matches;
};

std::ostream& operator<<(std::ostream& out, const TitleCase& c) { return out << c.name; }

class TitlesMatchTest : public testing::TestWithParam<TitleCase> {};

TEST_P(TitlesMatchTest, ExactBytes) {
  EXPECT_EQ(TitlesMatch(GetParam().configured.c_str(), RecordTitled(GetParam().stored)),
            GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TitlesMatchTest,
    testing::Values(TitleCase{"Exact", "Addon Scenery", "Addon Scenery", true},
                    TitleCase{"CaseDiffers", "addon scenery", "Addon Scenery", false},
                    TitleCase{"ConfiguredIsPrefix", "Addon", "Addon Scenery", false},
                    TitleCase{"StoredIsPrefix", "Addon Scenery 2", "Addon Scenery", false},
                    TitleCase{"TrailingSpace", "Addon ", "Addon", false},
                    TitleCase{"StoredCutTo255", std::string(255, 't'), std::string(300, 't'), true},
                    TitleCase{"LongerThanStoredCut", std::string(256, 't'), std::string(300, 't'),
                              false},
                    TitleCase{"HighBytes", "Caf\xE9", "Caf\xE9", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindActiveTitleTest, FirstMatchEndsRunWithItsText) {
  const AreaList areas = {RecordTitled("FS World"), RecordTitled("Default Terrain"),
                          RecordTitled("My Airport")};
  testing::internal::CaptureStdout();
  EXPECT_EQ(FindActiveTitle(areas, "My Airport"), ExitAlreadyActive);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n------------------------------------------------------\n"
            "\nThe scenery My Airport is currently activated\n"
            "\n------------------------------------------------------\n\n");
}

TEST(FindActiveTitleTest, HeaderSectionTitleCounts) {
  const AreaList areas = {RecordTitled("FS World"), RecordTitled("Default Terrain")};
  testing::internal::CaptureStdout();
  EXPECT_EQ(FindActiveTitle(areas, "FS World"), ExitAlreadyActive);
  testing::internal::GetCapturedStdout();
}

TEST(FindActiveTitleTest, NoMatchGoesOnSilently) {
  const AreaList areas = {RecordTitled("FS World"), RecordTitled("Default Terrain")};
  testing::internal::CaptureStdout();
  EXPECT_EQ(FindActiveTitle(areas, "My Airport"), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(FindActiveTitleTest, EmptyListEndsRun) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(FindActiveTitle(AreaList(), "My Airport"), ExitSearchListEmpty);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Empty vector (2).");
}

}  // namespace
}  // namespace kestrinel
