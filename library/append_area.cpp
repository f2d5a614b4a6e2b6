#include "library/append_area.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/run_guard.h"
#include "platform/profile_services.h"
#include "platform/profile_text.h"

namespace kestrinel {

std::string NextAreaSectionName(const AreaRecord& lastRecord) {
  // The three characters after the first five; a shorter name ends earlier.
  const std::string& name = lastRecord.sectionName;
  char numberText[4] = {};
  if (name.size() > 5) name.copy(numberText, 3, 5);
  const long number = std::strtol(numberText, nullptr, 10);
  char next[32] = {};
  std::snprintf(next, sizeof next, "Area.%03ld", number + 1);
  return next;
}

void ComposeAreaSection(const char* title, const char* path, std::int64_t layer,
                        SectionBody& body) {
  std::memset(body, 0, kSectionBodySize);
  // Each %c with a NUL ends one key=value string; the formatter's terminator
  // ends the last, and the zero fill after it ends the list.
  std::snprintf(body, kSectionBodySize,
                "Title=%s%cLocal=%s%cLayer=%lld%cActive=TRUE%cRequired=FALSE", title, '\0', path,
                '\0', static_cast<long long>(layer), '\0', '\0');
}

bool IsSectionNameInUse(const std::vector<char>& nameList, const std::string& name) {
  const char* const end = nameList.data() + nameList.size();
  for (const char* entry = nameList.data(); entry < end;) {
    const std::size_t length = strnlen(entry, static_cast<std::size_t>(end - entry));
    if (SameProfileName(std::string_view(entry, length), name)) return true;
    entry += length + 1;
  }
  return false;
}

PhaseResult AppendArea(const AreaList& areaList, const std::vector<char>& nameList,
                       const char* configuredTitle, const char* configuredPath,
                       std::int32_t highestLayer, const std::string& libraryPath,
                       SectionBody& body) {
  if (areaList.empty()) return ReportOutcome(ExitAppendListEmpty);
  return RunGuarded(ExitAppendFault, [&]() -> PhaseResult {
    const std::string name = NextAreaSectionName(areaList.at(areaList.size() - 1));
    // Writing over an existing section would silently replace another
    // scenery's entry, and a longer name breaks the library's naming.
    if (name.size() > kMaxAreaSectionNameLength) {
      return ReportOutcome(ExitNoFreeSectionName, name.c_str(), kSectionNameTooLong);
    }
    if (IsSectionNameInUse(nameList, name)) {
      return ReportOutcome(ExitNoFreeSectionName, name.c_str(), kSectionNameInUse);
    }
    ComposeAreaSection(configuredTitle, configuredPath, std::int64_t{highestLayer} + 1, body);
    if (StoreProfileSection(name.c_str(), body, libraryPath.c_str()) == 0) {
      return ReportOutcome(ExitWriteFailed);
    }
    return ReportOutcome(ExitActivated, configuredTitle);
  });
}

}  // namespace kestrinel
