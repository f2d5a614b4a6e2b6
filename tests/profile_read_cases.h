// How the Windows profile functions read files, as a table: file bytes and
// one call in, the result and the buffer's bytes out. The engine's test runs
// it in memory; the platform test runs it through real files on each build,
// on Windows (or Wine) against the system's own functions.
#ifndef KESTRINEL_TESTS_PROFILE_READ_CASES_H_
#define KESTRINEL_TESTS_PROFILE_READ_CASES_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kestrinel::testing_support {

// What a buffer holds before a call, so that bytes the call leaves alone show.
inline constexpr char kUntouched = '\xCC';

enum class ProfileCall { SectionNames, String, Int };

struct ProfileReadCase {
  const char* name;
  std::optional<std::string> file;  // nullopt: no such file
  ProfileCall call;
  const char* section = "";
  const char* key = "";
  const char* defaultValue = "";  // for Int: its decimal value
  std::uint32_t size = 64;
  std::uint32_t result = 0;
  std::string buffer = "";  // the buffer's first bytes after the call
  // Where Wine's functions are known to read the file otherwise than Windows:
  // what Wine does instead. The Windows build skips the case under Wine.
  const char* wineDiffers = nullptr;
};

inline std::ostream& operator<<(std::ostream& out, const ProfileReadCase& c) {
  return out << c.name;
}

// One implementation of the three reads, in memory or through files.
struct ProfileReads {
  std::function<std::uint32_t(char* buffer, std::uint32_t size)> sectionNames;
  std::function<std::uint32_t(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size)>
      string;
  std::function<std::uint32_t(const char* section, const char* key, std::int32_t defaultValue)>
      integer;
};

// Makes the case's call through |reads| and checks the result and the
// buffer, and that nothing is written past the buffer's size.
void ExpectReadCase(const ProfileReadCase& c, const ProfileReads& reads);

extern const std::vector<ProfileReadCase> kSectionNameCases;
extern const std::vector<ProfileReadCase> kStringCases;
extern const std::vector<ProfileReadCase> kIntCases;

}  // namespace kestrinel::testing_support

#endif  // KESTRINEL_TESTS_PROFILE_READ_CASES_H_
