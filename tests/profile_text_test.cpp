// The profile engine pinned by tables: the reading rules of the Windows
// functions, in memory, and the byte-preserving section write.
#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/profile_read_cases.h"

namespace kestrinel {
namespace {

using namespace std::string_literals;

using testing_support::ExpectReadCase;
using testing_support::kIntCases;
using testing_support::kSectionNameCases;
using testing_support::kStringCases;
using testing_support::kUntouched;
using testing_support::ProfileReadCase;

class ProfileReadTest : public testing::TestWithParam<ProfileReadCase> {};

TEST_P(ProfileReadTest, GivesWindowsResultAndBuffer) {
  const ProfileReadCase& c = GetParam();
  std::optional<ProfileText> text;
  if (c.file) text = ParseProfileText(*c.file);
  const ProfileText* parsed = text ? &*text : nullptr;
  ExpectReadCase(
      c, {[&](char* buffer, std::uint32_t size) { return CopySectionNames(parsed, buffer, size); },
          [&](const char* section, const char* key, const char* defaultValue, char* buffer,
              std::uint32_t size) {
            return CopyProfileString(parsed, section, key, defaultValue, buffer, size);
          },
          [&](const char* section, const char* key, std::int32_t defaultValue) {
            return ProfileIntValue(parsed, section, key, defaultValue);
          }});
}

INSTANTIATE_TEST_SUITE_P(SectionNames, ProfileReadTest, testing::ValuesIn(kSectionNameCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Strings, ProfileReadTest, testing::ValuesIn(kStringCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Ints, ProfileReadTest, testing::ValuesIn(kIntCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
  const char* name;
  std::optional<std::string> file;  // nullopt: no such file
  const char* section;
  std::string keyList;
  std::optional<std::string> expected;  // nullopt: refused
};

std::ostream& operator<<(std::ostream& out, const WriteCase& c) { return out << c.name; }

class ProfileWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWriteTest, KeepsEveryOtherByte) {
  const WriteCase& c = GetParam();
  std::optional<ProfileText> text;
  if (c.file) text = ParseProfileText(*c.file);
  const std::optional<std::string> written =
      WithSectionWritten(text ? &*text : nullptr, c.section, c.keyList.c_str());
  EXPECT_EQ(written, c.expected);
}

const WriteCase kWriteCases[] = {
    {"AppendsInCrLfFile", "[A]\r\nk=1\r\n"s, "B", "x=1\0y=2\0\0"s,
     "[A]\r\nk=1\r\n[B]\r\nx=1\r\ny=2\r\n"s},
    {"AppendsInLfFile", "[A]\nk=1\n"s, "B", "x=1\0\0"s, "[A]\nk=1\n[B]\nx=1\n"s},
    {"AppendsInCrFile", "[A]\rk=1\r"s, "B", "x=1\0\0"s, "[A]\rk=1\r[B]\rx=1\r"s},
    {"FirstLineEndingDecidesStyle", "[A]\nk=1\r\n"s, "B", "x=1\0\0"s, "[A]\nk=1\r\n[B]\nx=1\n"s},
    {"AddsLineEndingWhenFileLacksOne", "[A]\nk=1"s, "B", "x=1\0\0"s, "[A]\nk=1\n[B]\nx=1\n"s},
    {"KeepsCommentsBlankLinesAndSpacing",
     "junk before\r\n; comment\r\n[A]\r\n  k = 1 \r\n\r\nunknown=\t2\r\n\r\n"s, "B", "x=1\0\0"s,
     "junk before\r\n; comment\r\n[A]\r\n  k = 1 \r\n\r\nunknown=\t2\r\n\r\n[B]\r\nx=1\r\n"s},
    {"KeepsByteOrderMark", "\xEF\xBB\xBF[A]\r\n"s, "B", "x=1\0\0"s,
     "\xEF\xBB\xBF[A]\r\n[B]\r\nx=1\r\n"s},
    {"ByteOrderMarkOnly", "\xEF\xBB\xBF"s, "B", "x=1\0\0"s, "\xEF\xBB\xBF[B]\r\nx=1\r\n"s},
    {"KeepsBytesAfterNul", "[A]\nk=a\0b\n"s, "B", "x=1\0\0"s, "[A]\nk=a\0b\n[B]\nx=1\n"s},
    {"EmptyFile", ""s, "B", "x=1\0\0"s, "[B]\r\nx=1\r\n"s},
    {"NewFile", std::nullopt, "B", "x=1\0\0"s, "[B]\r\nx=1\r\n"s},
    {"EmptyKeyListWritesHeaderOnly", "[A]\n"s, "B", "\0"s, "[A]\n[B]\n"s},
    {"ReplacesKeysOfExistingSectionInPlace", "[A]\r\n; note\r\nk=1\r\n\r\nj=2\r\n[B]\r\nk=3\r\n"s,
     "a", "n=9\0m=8\0\0"s, "[A]\r\n; note\r\nn=9\r\nm=8\r\n\r\n[B]\r\nk=3\r\n"s},
    {"ExistingSectionWithoutKeys", "[A]\n;c\n[B]\n"s, "A", "x=1\0\0"s, "[A]\nx=1\n;c\n[B]\n"s},
    {"ExistingLastHeaderWithoutLineEnding", "[B]\n[A]"s, "A", "x=1\0\0"s, "[B]\n[A]\nx=1\n"s},
    {"OnlyFirstDuplicateSectionReplaced", "[A]\nk=1\n[A]\nk=2\n"s, "A", "x=1\0\0"s,
     "[A]\nx=1\n[A]\nk=2\n"s},
    {"LineBreakInKeyListRefused", "[A]\n"s, "B", "x=1\nInjected=1\0\0"s, std::nullopt},
    {"LineBreakInSectionNameRefused", "[A]\n"s, "B]\r\n[C", "x=1\0\0"s, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Sections, ProfileWriteTest, testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileTextTest, ParseOfWrittenSectionReadsBack) {
  const ProfileText before = ParseProfileText("[General]\r\nTitle=Library\r\n"s);
  const std::optional<std::string> after =
      WithSectionWritten(&before, "Area.001", "Title=New\0Layer=1\0\0");
  ASSERT_TRUE(after);
  const ProfileText text = ParseProfileText(*after);
  char buffer[16];
  EXPECT_EQ(CopyProfileString(&text, "Area.001", "Title", "", buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "New");
  EXPECT_EQ(ProfileIntValue(&text, "Area.001", "Layer", 0), 1u);
}

TEST(ProfileTextTest, ArbitraryBytesParseWithinLimits) {
  // Every byte value, NULs and lone CRs included, in headers and values.
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 37 + i / 7) & 0xFF);
  bytes += "[" + std::string(1 << 20, 'x') + "]\n";  // a header line of a megabyte
  const ProfileText text = ParseProfileText(bytes);
  std::vector<char> names(1 << 21, kUntouched);
  const std::uint32_t copied =
      CopySectionNames(&text, names.data(), static_cast<std::uint32_t>(names.size()));
  ASSERT_LT(copied, names.size() - 2);
  EXPECT_EQ(names[copied], '\0');
  char value[8];
  for (const ProfileSection& section : text.sections) {
    const std::uint32_t got =
        CopyProfileString(&text, SpanText(text, section.name), "Title", "", value, sizeof value);
    EXPECT_LT(got, sizeof value);
  }
}

}  // namespace
}  // namespace kestrinel
