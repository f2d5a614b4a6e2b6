// The new area section that registers the configured scenery.
#ifndef KESTRINEL_LIBRARY_APPEND_AREA_H_
#define KESTRINEL_LIBRARY_APPEND_AREA_H_

#include <cstdint>
#include <string>
#include <vector>

#include "app/exit_status.h"
#include "library/area_record.h"

namespace kestrinel {

// Room for the new section's five key=value lines: two 511-character values
// and an 11-character layer take 1082 bytes.
inline constexpr std::size_t kSectionBodySize = 1100;
using SectionBody = char[kSectionBodySize];

// The longest section name the library's naming leaves room for ("Area.999").
inline constexpr std::size_t kMaxAreaSectionNameLength = 8;

// The name following |lastRecord|'s: the number in the three characters after
// its first five ("Area."), converted as far as they are digits, plus one, in
// the form "Area.%03d". "Area.120" gives "Area.121", "Area.12" gives
// "Area.013", a name without digits there gives "Area.001", and "Area.999"
// gives "Area.1000", which is too long to use.
std::string NextAreaSectionName(const AreaRecord& lastRecord);

// Formats the key list of the new section into |body|: Title, Local, Layer,
// Active=TRUE and Required=FALSE, each NUL-terminated, ended by an empty
// string.
void ComposeAreaSection(const char* title, const char* path, std::int64_t layer, SectionBody& body);

// Whether |name| is already the name of a section in |nameList| (every name of
// the library's listing), compared without regard to letter case as profile
// section names are.
bool IsSectionNameInUse(const std::vector<char>& nameList, const std::string& name);

// Appends the section for the configured scenery, named after the last
// section and placed on the layer above |highestLayer|, and reports
// ExitActivated. Refuses, writing nothing, a name that does not fit or that a
// section already has (ExitNoFreeSectionName). Ends with ExitWriteFailed when
// the write fails, ExitAppendListEmpty for an empty |areaList| and
// ExitAppendFault when a standard exception escapes.
PhaseResult AppendArea(const AreaList& areaList, const std::vector<char>& nameList,
                       const char* configuredTitle, const char* configuredPath,
                       std::int32_t highestLayer, const std::string& libraryPath,
                       SectionBody& body);

}  // namespace kestrinel

#endif  // KESTRINEL_LIBRARY_APPEND_AREA_H_
