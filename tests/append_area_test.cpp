// Naming and composing the new area section.
#include "library/append_area.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kestrinel {
namespace {

using namespace std::string_literals;

AreaRecord RecordNamed(const std::string& name) {
  AreaRecord record;
  SetSectionName(record, name);
  return record;
}

struct NameCase {
  const char* last;
  const char* next;
};

std::ostream& operator<<(std::ostream& out, const NameCase& c) {
  return out << '"' << c.last << "\" -> \"" << c.next << '"';
}

class NextAreaSectionNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(NextAreaSectionNameTest, FollowsLastSection) {
  EXPECT_EQ(NextAreaSectionName(RecordNamed(GetParam().last)), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NextAreaSectionNameTest,
    testing::Values(NameCase{"Area.120", "Area.121"}, NameCase{"Area.007", "Area.008"},
                    NameCase{"Area.001", "Area.002"}, NameCase{"Area.099", "Area.100"},
                    // Not of the usual form: converted as far as there are digits.
                    NameCase{"Area.12", "Area.013"}, NameCase{"Area.1x2", "Area.002"},
                    NameCase{"Area.x12", "Area.001"}, NameCase{"Area.1234", "Area.124"},
                    NameCase{"Area.120 old", "Area.121"}, NameCase{"Area.", "Area.001"},
                    NameCase{"Area", "Area.001"}, NameCase{"", "Area.001"},
                    NameCase{"General", "Area.001"}, NameCase{"Zone.042", "Area.043"},
                    // Too long to use; the append refuses it.
                    NameCase{"Area.999", "Area.1000"}));

TEST(ComposeAreaSectionTest, FiveKeysEndedByEmptyString) {
  SectionBody body;
  std::memset(body, 'x', sizeof body);
  ComposeAreaSection("My Airport", "Addon Scenery\\My Airport", 121, body);
  const std::string expected =
      "Title=My Airport\0Local=Addon Scenery\\My Airport\0Layer=121\0Active=TRUE\0"
      "Required=FALSE\0\0"s;
  EXPECT_EQ(std::string(body, expected.size()), expected);
}

TEST(ComposeAreaSectionTest, LongestValuesFit) {
  SectionBody body;
  const std::string longest(511, 'v');
  ComposeAreaSection(longest.c_str(), longest.c_str(), -2147483647 - 1, body);
  const std::string expected = "Title=" + longest + '\0' + "Local=" + longest + '\0' +
                               "Layer=-2147483648" + '\0' + "Active=TRUE" + '\0' +
                               "Required=FALSE" + '\0' + '\0';
  ASSERT_LE(expected.size(), sizeof body);
  EXPECT_EQ(std::string(body, expected.size()), expected);
}

TEST(IsSectionNameInUseTest, ComparesEveryListedNameWithoutCase) {
  // The listing may hold an empty name before its end.
  const std::string listing = "General\0Area.001\0\0area.003\0\0"s;
  const std::vector<char> names(listing.begin(), listing.end());
  EXPECT_TRUE(IsSectionNameInUse(names, "Area.001"));
  EXPECT_TRUE(IsSectionNameInUse(names, "AREA.003"));
  EXPECT_FALSE(IsSectionNameInUse(names, "Area.002"));
  EXPECT_FALSE(IsSectionNameInUse(names, "Area.00"));
}

}  // namespace
}  // namespace kestrinel
