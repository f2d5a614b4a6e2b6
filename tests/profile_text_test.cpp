// The profile engine pinned by a table: file bytes and one call in, the
// result and the buffer's bytes out, exactly as the Windows functions give
// them.
#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrinel {
namespace {

using namespace std::string_literals;

// What a buffer holds before a call, so that bytes the call leaves alone show.
constexpr char kUntouched = '\xCC';

enum class Call { SectionNames, String, Int };

struct ReadCase {
  const char* name;
  std::optional<std::string> file;  // nullopt: no such file
  Call call;
  const char* section = "";
  const char* key = "";
  const char* defaultValue = "";  // for Int: its decimal value
  std::uint32_t size = 64;
  std::uint32_t result = 0;
  std::string buffer = "";  // the buffer's first bytes after the call
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c) { return out << c.name; }

class ProfileReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, GivesWindowsResultAndBuffer) {
  const ReadCase& c = GetParam();
  std::optional<ProfileText> text;
  if (c.file) text = ParseProfileText(*c.file);
  const ProfileText* parsed = text ? &*text : nullptr;

  std::vector<char> buffer(c.size + 8, kUntouched);
  std::uint32_t result = 0;
  switch (c.call) {
    case Call::SectionNames:
      result = CopySectionNames(parsed, buffer.data(), c.size);
      break;
    case Call::String:
      result = CopyProfileString(parsed, c.section, c.key, c.defaultValue, buffer.data(), c.size);
      break;
    case Call::Int:
      result = ProfileIntValue(parsed, c.section, c.key, std::stoi(c.defaultValue));
      break;
  }
  EXPECT_EQ(result, c.result);
  if (c.call != Call::Int) {
    EXPECT_EQ(std::string(buffer.data(), c.buffer.size()), c.buffer);
    // Nothing is written past the buffer's size.
    EXPECT_EQ(std::string(buffer.data() + c.size, 8), std::string(8, kUntouched));
  }
}

const ReadCase kSectionNameCases[] = {
    {"NamesInFileOrderWithDuplicates", "[A]\r\n[b]\r\n[A]\r\n"s, Call::SectionNames, "", "", "", 20,
     6, "A\0b\0A\0\0\xCC"s},
    {"HeaderNameRunsToLastBracketAndIsTrimmed", "[A]B]\n[tail] junk\n[ X ]\n"s, Call::SectionNames,
     "", "", "", 20, 11, "A]B\0tail\0X\0\0"s},
    {"BracketWithoutCloseIsNoHeader", "[A]\nk=v\n[broken\nx=1\n"s, Call::SectionNames, "", "", "",
     20, 2, "A\0\0"s},
    {"IndentedHeader", " \t[A]\r\n"s, Call::SectionNames, "", "", "", 20, 2, "A\0\0"s},
    {"EmptyNameIsListed", "[]\nTitle=x\n[A]\n"s, Call::SectionNames, "", "", "", 20, 3, "\0A\0\0"s},
    {"ByteOrderMarkSkipped", "\xEF\xBB\xBF[General]\r\n"s, Call::SectionNames, "", "", "", 20, 8,
     "General\0\0"s},
    {"NameEndsAtNul", "[Gen\0eral]\n[B]\n"s, Call::SectionNames, "", "", "", 20, 6, "Gen\0B\0\0"s},
    {"CrLfLfAndLoneCrEndLines", "[A]\rk=1\r[B]\nk=2\n[C]\r\nk=3"s, Call::SectionNames, "", "", "",
     20, 6, "A\0B\0C\0\0"s},
    {"LargeEnoughBuffer", "[section1]\r\n[section2]\r\n[section3]\r\n"s, Call::SectionNames, "", "",
     "", 29, 27, "section1\0section2\0section3\0\0\xCC"s},
    {"ExactFitReportsSizeMinusTwo", "[section1]\r\n[section2]\r\n[section3]\r\n"s,
     Call::SectionNames, "", "", "", 28, 26, "section1\0section2\0section3\0\0"s},
    {"CutListEndsWithTwoNuls", "[section1]\r\n[section2]\r\n[section3]\r\n"s, Call::SectionNames,
     "", "", "", 27, 25, "section1\0section2\0section\0\0"s},
    {"CutInsideFirstName", "[section1]\r\n"s, Call::SectionNames, "", "", "", 5, 3, "sec\0\0"s},
    {"BufferOfOne", "[A]\n"s, Call::SectionNames, "", "", "", 1, 0, "\0"s},
    {"BufferOfTwo", "[A]\n"s, Call::SectionNames, "", "", "", 2, 0, "\0\0"s},
    {"MissingFileLeavesSecondByte", std::nullopt, Call::SectionNames, "", "", "", 10, 0, "\0\xCC"s},
    {"NoSectionsAtAll", "Title=x\nLocal=y\n"s, Call::SectionNames, "", "", "", 10, 0, "\0"s},
    {"EmptyFile", ""s, Call::SectionNames, "", "", "", 10, 0, "\0"s},
};

const ReadCase kStringCases[] = {
    {"LineAndNamesTrimmed", "[S]\r\n  Key \t=  value with  spaces \t\r\n"s, Call::String, "S",
     "Key", "", 64, 18, "value with  spaces\0"s},
    {"NamesAskedForAreTrimmed", "[S]\nk=v\n"s, Call::String, " S ", "\tk ", "", 64, 1, "v\0"s},
    {"NamesIgnoreCase", "[Area.001]\nTITLE=v\n"s, Call::String, "AREA.001", "title", "", 64, 1,
     "v\0"s},
    {"InlineSemicolonIsPartOfValue", "[S]\nk=v ;x\n"s, Call::String, "S", "k", "", 64, 4,
     "v ;x\0"s},
    {"SemicolonLineIsAKey", "[S]\n;Key=x\n"s, Call::String, "S", ";Key", "", 64, 1, "x\0"s},
    {"HashLineIsAKey", "[S]\n#k=x\n"s, Call::String, "S", "#k", "", 64, 1, "x\0"s},
    {"ValueAfterFirstEquals", "[S]\na=b=c\n"s, Call::String, "S", "a", "", 64, 3, "b=c\0"s},
    {"DoubleQuotesStripped", "[S]\nk=\" q \"\n"s, Call::String, "S", "k", "", 64, 3, " q \0"s},
    {"SingleQuotesStripped", "[S]\nk='q'\n"s, Call::String, "S", "k", "", 64, 1, "q\0"s},
    {"MismatchedQuotesKept", "[S]\nk=\"q'\n"s, Call::String, "S", "k", "", 64, 3, "\"q'\0"s},
    {"LoneQuoteKept", "[S]\nk=\"\n"s, Call::String, "S", "k", "", 64, 1, "\"\0"s},
    {"EmptyQuotesAreEmpty", "[S]\nk=\"\"\n"s, Call::String, "S", "k", "dflt", 64, 0, "\0"s},
    {"EmptyValueIsNotTheDefault", "[S]\nk=\n"s, Call::String, "S", "k", "dflt", 64, 0, "\0"s},
    {"MissingKeyGivesDefault", "[S]\nk=v\n"s, Call::String, "S", "other", "dflt", 64, 4, "dflt\0"s},
    {"MissingSectionGivesDefault", "[S]\nk=v\n"s, Call::String, "T", "k", "dflt", 64, 4, "dflt\0"s},
    {"MissingFileGivesDefault", std::nullopt, Call::String, "S", "k", "dflt", 64, 4, "dflt\0"s},
    {"DefaultIsCleanedLikeAValue", std::nullopt, Call::String, "S", "k", "  \"d\" ", 64, 1, "d\0"s},
    {"LongValueCutToSizeMinusOne", "[S]\nk=abcdefgh\n"s, Call::String, "S", "k", "", 5, 4,
     "abcd\0"s},
    {"LongDefaultCut", std::nullopt, Call::String, "S", "k", "abcdefgh", 3, 2, "ab\0"s},
    {"ValueOfExactlySizeMinusOne", "[S]\nk=abcd\n"s, Call::String, "S", "k", "", 5, 4, "abcd\0"s},
    {"BufferOfOneGetsTerminator", "[S]\nk=abcd\n"s, Call::String, "S", "k", "", 1, 0, "\0"s},
    {"QuotedValueCut", "[S]\nk=\"abcdef\"\n"s, Call::String, "S", "k", "", 4, 3, "abc\0"s},
    {"ValueEndsAtNul", "[S]\nk=ab\0cd\n"s, Call::String, "S", "k", "", 64, 2, "ab\0"s},
    {"KeyEndsAtNul", "[S]\nke\0y=v\n"s, Call::String, "S", "ke", "", 64, 1, "v\0"s},
    {"NonBreakingSpaceNotTrimmed", "[S]\nk=\xA0v\xA0\n"s, Call::String, "S", "k", "", 64, 3,
     "\xA0v\xA0\0"s},
    {"ControlBlanksTrimmed", "[S]\nk=\x1a\vv\f\x1a\t\n"s, Call::String, "S", "k", "", 64, 1,
     "v\0"s},
    {"HighBytesKept", "[S]\nk=\xE9t\xE9\xFF\n"s, Call::String, "S", "k", "", 64, 4,
     "\xE9t\xE9\xFF\0"s},
    {"FirstDuplicateKeyWins", "[S]\nk=1\nK=2\n"s, Call::String, "S", "k", "", 64, 1, "1\0"s},
    {"OnlyFirstDuplicateSectionSearched", "[S]\na=1\n[s]\na=2\nb=3\n"s, Call::String, "S", "b",
     "dflt", 64, 4, "dflt\0"s},
    {"LineWithoutEqualsIsNoKey", "[S]\nk\nk=2\n"s, Call::String, "S", "k", "", 64, 1, "2\0"s},
    {"KeysBeforeFirstHeaderBelongNowhere", "k=x\n[S]\n"s, Call::String, "S", "k", "dflt", 64, 4,
     "dflt\0"s},
    {"KeysAfterBrokenHeaderStayInSection", "[S]\n[broken\nk=1\n"s, Call::String, "S", "k", "", 64,
     1, "1\0"s},
    {"BrokenHeaderLineIsAKeyLine", "[S]\n[k=1\n"s, Call::String, "S", "[k", "", 64, 1, "1\0"s},
    {"EmptySectionNameReadable", "[]\nk=v\n"s, Call::String, "", "k", "", 64, 1, "v\0"s},
    {"LoneCrLines", "[S]\rk=v\r"s, Call::String, "S", "k", "", 64, 1, "v\0"s},
    {"LastLineWithoutEnding", "[S]\r\nk=v"s, Call::String, "S", "k", "", 64, 1, "v\0"s},
    {"ByteOrderMarkDoesNotHideFirstHeader", "\xEF\xBB\xBF[S]\nk=v\n"s, Call::String, "S", "k", "",
     64, 1, "v\0"s},
    {"ByteOrderMarkOnlyAtStart", "[S]\n\xEF\xBB\xBFk=v\n"s, Call::String, "S", "\xEF\xBB\xBFk", "",
     64, 1, "v\0"s},
};

const ReadCase kIntCases[] = {
    {"Decimal", "[S]\nLayer=120\n"s, Call::Int, "S", "Layer", "0", 0, 120},
    {"StopsAtFirstNonDigit", "[S]\nLayer=12abc\n"s, Call::Int, "S", "Layer", "0", 0, 12},
    {"Negative", "[S]\nLayer=-7\n"s, Call::Int, "S", "Layer", "0", 0, 0xFFFFFFF9u},
    {"PlusSign", "[S]\nLayer=+1\n"s, Call::Int, "S", "Layer", "0", 0, 1},
    {"NoDigitsIsZeroNotDefault", "[S]\nLayer=abc\n"s, Call::Int, "S", "Layer", "5", 0, 0},
    {"EmptyValueGivesDefault", "[S]\nLayer=\n"s, Call::Int, "S", "Layer", "5", 0, 5},
    {"MissingKeyGivesDefault", "[S]\n"s, Call::Int, "S", "Layer", "-1", 0, 0xFFFFFFFFu},
    {"MissingFileGivesDefault", std::nullopt, Call::Int, "S", "Layer", "5", 0, 5},
    {"WrapsModulo2To32", "[S]\nLayer=4294967297\n"s, Call::Int, "S", "Layer", "0", 0, 1},
    {"WrapsToZero", "[S]\nLayer=4294967296\n"s, Call::Int, "S", "Layer", "9", 0, 0},
    {"NegativeWraps", "[S]\nLayer=-4294967297\n"s, Call::Int, "S", "Layer", "0", 0, 0xFFFFFFFFu},
    {"QuotedNumber", "[S]\nLayer=\"12\"\n"s, Call::Int, "S", "Layer", "0", 0, 12},
    {"LeadingQuoteAndBlanksSkipped", "[S]\nLayer=\" 12\n"s, Call::Int, "S", "Layer", "0", 0, 12},
    {"HexPrefixIsNotRead", "[S]\nLayer=0x10\n"s, Call::Int, "S", "Layer", "0", 0, 0},
    {"ZeroIsZero", "[S]\nLayer=0\n"s, Call::Int, "S", "Layer", "7", 0, 0},
};

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
