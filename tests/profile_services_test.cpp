// The reading rules of the profile functions through real files, on every
// build: on Linux the project's own services, on Windows the system's.
#include "platform/profile_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/profile_read_cases.h"
#include "tests/test_files.h"

namespace kestrinel {
namespace {

using testing_support::ExpectReadCase;
using testing_support::kIntCases;
using testing_support::kSectionNameCases;
using testing_support::kStringCases;
using testing_support::ProfileReadCase;
using testing_support::RunningUnderWine;
using testing_support::TempFolder;
using testing_support::WriteFile;

class ProfileServicesReadTest : public testing::TestWithParam<ProfileReadCase> {};

TEST_P(ProfileServicesReadTest, GivesWindowsResultAndBuffer) {
  const ProfileReadCase& c = GetParam();
  if (c.wineDiffers != nullptr && RunningUnderWine()) GTEST_SKIP() << "Wine: " << c.wineDiffers;
  TempFolder temp;
  const std::string fileName = (temp / "case.ini").string();
  if (c.file) WriteFile(fileName, *c.file);
  const char* const file = fileName.c_str();
  ExpectReadCase(c, {[&](char* buffer, std::uint32_t size) {
                       return ReadProfileSectionNames(buffer, size, file);
                     },
                     [&](const char* section, const char* key, const char* defaultValue,
                         char* buffer, std::uint32_t size) {
                       return ReadProfileString(section, key, defaultValue, buffer, size, file);
                     },
                     [&](const char* section, const char* key, std::int32_t defaultValue) {
                       return ReadProfileInt(section, key, defaultValue, file);
                     }});
}

INSTANTIATE_TEST_SUITE_P(SectionNames, ProfileServicesReadTest,
                         testing::ValuesIn(kSectionNameCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Strings, ProfileServicesReadTest, testing::ValuesIn(kStringCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Ints, ProfileServicesReadTest, testing::ValuesIn(kIntCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestrinel
