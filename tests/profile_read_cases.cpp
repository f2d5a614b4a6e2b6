#include "tests/profile_read_cases.h"

#include <gtest/gtest.h>

namespace kestrinel::testing_support {

using namespace std::string_literals;

void ExpectReadCase(const ProfileReadCase& c, const ProfileReads& reads) {
  std::vector<char> buffer(c.size + 8, kUntouched);
  std::uint32_t result = 0;
  switch (c.call) {
    case ProfileCall::SectionNames:
      result = reads.sectionNames(buffer.data(), c.size);
      break;
    case ProfileCall::String:
      result = reads.string(c.section, c.key, c.defaultValue, buffer.data(), c.size);
      break;
    case ProfileCall::Int:
      result = reads.integer(c.section, c.key, std::stoi(c.defaultValue));
      break;
  }
  EXPECT_EQ(result, c.result);
  if (c.call != ProfileCall::Int) {
    EXPECT_EQ(std::string(buffer.data(), c.buffer.size()), c.buffer);
    EXPECT_EQ(std::string(buffer.data() + c.size, 8), std::string(8, kUntouched));
  }
}

const std::vector<ProfileReadCase> kSectionNameCases = {
    {"NamesInFileOrderWithDuplicates", "[A]\r\n[b]\r\n[A]\r\n"s, ProfileCall::SectionNames, "", "",
     "", 20, 6, "A\0b\0A\0\0\xCC"s},
    {"HeaderNameRunsToLastBracketAndIsTrimmed", "[A]B]\n[tail] junk\n[ X ]\n"s,
     ProfileCall::SectionNames, "", "", "", 20, 11, "A]B\0tail\0X\0\0"s},
    {"BracketWithoutCloseIsNoHeader", "[A]\nk=v\n[broken\nx=1\n"s, ProfileCall::SectionNames, "",
     "", "", 20, 2, "A\0\0"s},
    {"IndentedHeader", " \t[A]\r\n"s, ProfileCall::SectionNames, "", "", "", 20, 2, "A\0\0"s},
    {"EmptyNameIsListed", "[]\nTitle=x\n[A]\n"s, ProfileCall::SectionNames, "", "", "", 20, 3,
     "\0A\0\0"s, "leaves sections named [] out of the list"},
    {"ByteOrderMarkSkipped", "\xEF\xBB\xBF[General]\r\n"s, ProfileCall::SectionNames, "", "", "",
     20, 8, "General\0\0"s},
    {"NameEndsAtNul", "[Gen\0eral]\n[B]\n"s, ProfileCall::SectionNames, "", "", "", 20, 6,
     "Gen\0B\0\0"s},
    {"CrLfLfAndLoneCrEndLines", "[A]\rk=1\r[B]\nk=2\n[C]\r\nk=3"s, ProfileCall::SectionNames, "",
     "", "", 20, 6, "A\0B\0C\0\0"s},
    {"LargeEnoughBuffer", "[section1]\r\n[section2]\r\n[section3]\r\n"s, ProfileCall::SectionNames,
     "", "", "", 29, 27, "section1\0section2\0section3\0\0\xCC"s},
    {"ExactFitReportsSizeMinusTwo", "[section1]\r\n[section2]\r\n[section3]\r\n"s,
     ProfileCall::SectionNames, "", "", "", 28, 26, "section1\0section2\0section3\0\0"s,
     "leaves the last byte of a cut or exactly fitting list as it was (Windows Server 2003 and "
     "later set it to NUL)"},
    {"CutListEndsWithTwoNuls", "[section1]\r\n[section2]\r\n[section3]\r\n"s,
     ProfileCall::SectionNames, "", "", "", 27, 25, "section1\0section2\0section\0\0"s,
     "leaves the last byte of a cut or exactly fitting list as it was (Windows Server 2003 and "
     "later set it to NUL)"},
    {"CutInsideFirstName", "[section1]\r\n"s, ProfileCall::SectionNames, "", "", "", 5, 3,
     "sec\0\0"s,
     "leaves the last byte of a cut or exactly fitting list as it was (Windows Server 2003 and "
     "later set it to NUL)"},
    {"BufferOfOne", "[A]\n"s, ProfileCall::SectionNames, "", "", "", 1, 0, "\0"s},
    {"BufferOfTwo", "[A]\n"s, ProfileCall::SectionNames, "", "", "", 2, 0, "\0\0"s,
     "leaves the last byte of a cut or exactly fitting list as it was (Windows Server 2003 and "
     "later set it to NUL)"},
    {"MissingFileLeavesSecondByte", std::nullopt, ProfileCall::SectionNames, "", "", "", 10, 0,
     "\0\xCC"s},
    {"NoSectionsAtAll", "Title=x\nLocal=y\n"s, ProfileCall::SectionNames, "", "", "", 10, 0, "\0"s},
    {"EmptyFile", ""s, ProfileCall::SectionNames, "", "", "", 10, 0, "\0"s},
};

const std::vector<ProfileReadCase> kStringCases = {
    {"LineAndNamesTrimmed", "[S]\r\n  Key \t=  value with  spaces \t\r\n"s, ProfileCall::String,
     "S", "Key", "", 64, 18, "value with  spaces\0"s},
    {"NamesAskedForAreTrimmed", "[S]\nk=v\n"s, ProfileCall::String, " S ", "\tk ", "", 64, 1,
     "v\0"s},
    {"NamesIgnoreCase", "[Area.001]\nTITLE=v\n"s, ProfileCall::String, "AREA.001", "title", "", 64,
     1, "v\0"s},
    {"InlineSemicolonIsPartOfValue", "[S]\nk=v ;x\n"s, ProfileCall::String, "S", "k", "", 64, 4,
     "v ;x\0"s},
    {"SemicolonLineIsAKey", "[S]\n;Key=x\n"s, ProfileCall::String, "S", ";Key", "", 64, 1, "x\0"s},
    {"HashLineIsAKey", "[S]\n#k=x\n"s, ProfileCall::String, "S", "#k", "", 64, 1, "x\0"s},
    {"ValueAfterFirstEquals", "[S]\na=b=c\n"s, ProfileCall::String, "S", "a", "", 64, 3, "b=c\0"s},
    {"DoubleQuotesStripped", "[S]\nk=\" q \"\n"s, ProfileCall::String, "S", "k", "", 64, 3,
     " q \0"s},
    {"SingleQuotesStripped", "[S]\nk='q'\n"s, ProfileCall::String, "S", "k", "", 64, 1, "q\0"s},
    {"MismatchedQuotesKept", "[S]\nk=\"q'\n"s, ProfileCall::String, "S", "k", "", 64, 3, "\"q'\0"s},
    {"LoneQuoteKept", "[S]\nk=\"\n"s, ProfileCall::String, "S", "k", "", 64, 1, "\"\0"s},
    {"EmptyQuotesAreEmpty", "[S]\nk=\"\"\n"s, ProfileCall::String, "S", "k", "dflt", 64, 0, "\0"s},
    {"EmptyValueIsNotTheDefault", "[S]\nk=\n"s, ProfileCall::String, "S", "k", "dflt", 64, 0,
     "\0"s},
    {"MissingKeyGivesDefault", "[S]\nk=v\n"s, ProfileCall::String, "S", "other", "dflt", 64, 4,
     "dflt\0"s},
    {"MissingSectionGivesDefault", "[S]\nk=v\n"s, ProfileCall::String, "T", "k", "dflt", 64, 4,
     "dflt\0"s},
    {"MissingFileGivesDefault", std::nullopt, ProfileCall::String, "S", "k", "dflt", 64, 4,
     "dflt\0"s},
    {"DefaultLosesTrailingBlanks", std::nullopt, ProfileCall::String, "S", "k", "one two  ", 64, 7,
     "one two\0"s},
    {"QuotedDefaultLosesQuotes", std::nullopt, ProfileCall::String, "S", "k", "\"d\"  ", 64, 1,
     "d\0"s},
    {"LongValueCutToSizeMinusOne", "[S]\nk=abcdefgh\n"s, ProfileCall::String, "S", "k", "", 5, 4,
     "abcd\0"s},
    {"LongDefaultCut", std::nullopt, ProfileCall::String, "S", "k", "abcdefgh", 3, 2, "ab\0"s},
    {"ValueOfExactlySizeMinusOne", "[S]\nk=abcd\n"s, ProfileCall::String, "S", "k", "", 5, 4,
     "abcd\0"s},
    {"BufferOfOneGetsTerminator", "[S]\nk=abcd\n"s, ProfileCall::String, "S", "k", "", 1, 0, "\0"s},
    {"QuotedValueCut", "[S]\nk=\"abcdef\"\n"s, ProfileCall::String, "S", "k", "", 4, 3, "abc\0"s},
    {"ValueEndsAtNul", "[S]\nk=ab\0cd\n"s, ProfileCall::String, "S", "k", "", 64, 2, "ab\0"s},
    {"KeyEndsAtNul", "[S]\nke\0y=v\n"s, ProfileCall::String, "S", "ke", "", 64, 1, "v\0"s},
    {"NonBreakingSpaceNotTrimmed", "[S]\nk=\xA0v\xA0\n"s, ProfileCall::String, "S", "k", "", 64, 3,
     "\xA0v\xA0\0"s},
    {"ControlBlanksTrimmed", "[S]\nk=\x1a\vv\f\x1a\t\n"s, ProfileCall::String, "S", "k", "", 64, 1,
     "v\0"s},
    {"HighBytesKept", "[S]\nk=\xE9t\xE9\xFF\n"s, ProfileCall::String, "S", "k", "", 64, 4,
     "\xE9t\xE9\xFF\0"s},
    {"FirstDuplicateKeyWins", "[S]\nk=1\nK=2\n"s, ProfileCall::String, "S", "k", "", 64, 1, "1\0"s},
    {"OnlyFirstDuplicateSectionSearched", "[S]\na=1\n[s]\na=2\nb=3\n"s, ProfileCall::String, "S",
     "b", "dflt", 64, 4, "dflt\0"s},
    {"LineWithoutEqualsIsNoKey", "[S]\nk\nk=2\n"s, ProfileCall::String, "S", "k", "", 64, 1, "2\0"s,
     "takes a line without = for a key with no value, which hides a later key of that name"},
    {"KeysBeforeFirstHeaderBelongNowhere", "k=x\n[S]\n"s, ProfileCall::String, "S", "k", "dflt", 64,
     4, "dflt\0"s},
    {"KeysAfterBrokenHeaderStayInSection", "[S]\n[broken\nk=1\n"s, ProfileCall::String, "S", "k",
     "", 64, 1, "1\0"s},
    {"BrokenHeaderLineIsAKeyLine", "[S]\n[k=1\n"s, ProfileCall::String, "S", "[k", "", 64, 1,
     "1\0"s},
    {"EmptySectionNameWithoutSuchSection", "k=v\n[S]\nk=w\n"s, ProfileCall::String, "", "k", "dflt",
     64, 4, "dflt\0"s, "reads the keys before the first header as a section named []"},
    {"EmptySectionNameReadable", "[]\nk=v\n"s, ProfileCall::String, "", "k", "", 64, 1, "v\0"s,
     "cannot read a section named [] (Windows can)"},
    {"LoneCrLines", "[S]\rk=v\r"s, ProfileCall::String, "S", "k", "", 64, 1, "v\0"s},
    {"LastLineWithoutEnding", "[S]\r\nk=v"s, ProfileCall::String, "S", "k", "", 64, 1, "v\0"s},
    {"ByteOrderMarkDoesNotHideFirstHeader", "\xEF\xBB\xBF[S]\nk=v\n"s, ProfileCall::String, "S",
     "k", "", 64, 1, "v\0"s},
    {"ByteOrderMarkOnlyAtStart", "[S]\n\xEF\xBB\xBFk=v\n"s, ProfileCall::String, "S",
     "\xEF\xBB\xBFk", "", 64, 1, "v\0"s},
};

const std::vector<ProfileReadCase> kIntCases = {
    {"Decimal", "[S]\nLayer=120\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 120},
    {"StopsAtFirstNonDigit", "[S]\nLayer=12abc\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 12},
    {"Negative", "[S]\nLayer=-7\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 0xFFFFFFF9u},
    {"PlusSign", "[S]\nLayer=+1\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 1},
    {"NoDigitsIsZeroNotDefault", "[S]\nLayer=abc\n"s, ProfileCall::Int, "S", "Layer", "5", 0, 0},
    {"EmptyValueGivesDefault", "[S]\nLayer=\n"s, ProfileCall::Int, "S", "Layer", "5", 0, 5},
    {"MissingKeyGivesDefault", "[S]\n"s, ProfileCall::Int, "S", "Layer", "-1", 0, 0xFFFFFFFFu},
    {"MissingFileGivesDefault", std::nullopt, ProfileCall::Int, "S", "Layer", "5", 0, 5},
    {"WrapsModulo2To32", "[S]\nLayer=4294967297\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 1},
    {"WrapsToZero", "[S]\nLayer=4294967296\n"s, ProfileCall::Int, "S", "Layer", "9", 0, 0},
    {"NegativeWraps", "[S]\nLayer=-4294967297\n"s, ProfileCall::Int, "S", "Layer", "0", 0,
     0xFFFFFFFFu},
    {"QuotedNumber", "[S]\nLayer=\"12\"\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 12},
    {"BlanksInsideQuotesSkipped", "[S]\nLayer=' 12'\n"s, ProfileCall::Int, "S", "Layer", "0", 0,
     12},
    {"UnmatchedQuoteIsNoDigit", "[S]\nLayer=\"12\n"s, ProfileCall::Int, "S", "Layer", "5", 0, 0},
    {"HexPrefixIsNotRead", "[S]\nLayer=0x10\n"s, ProfileCall::Int, "S", "Layer", "0", 0, 0, "",
     "reads 0x, 0o and 0b prefixes"},
    {"ZeroIsZero", "[S]\nLayer=0\n"s, ProfileCall::Int, "S", "Layer", "7", 0, 0},
};

}  // namespace kestrinel::testing_support
