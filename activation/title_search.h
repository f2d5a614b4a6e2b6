// Whether the configured scenery is already registered in the library.
#ifndef KESTRINEL_ACTIVATION_TITLE_SEARCH_H_
#define KESTRINEL_ACTIVATION_TITLE_SEARCH_H_

#include "app/exit_status.h"
#include "library/area_record.h"

namespace kestrinel {

// Whether |configuredTitle| is exactly, bytes and letter case, the title a
// record stores (at most its first 255 characters).
bool TitlesMatch(const char* configuredTitle, const AreaRecord& record);

// Looks through every record, the header section's included, for the
// configured title. The first match prints the already-activated text and ends
// the run with ExitAlreadyActive; no match lets the run go on. Ends the run
// with ExitSearchListEmpty for an empty list and ExitSearchFault when a
// standard exception escapes.
PhaseResult FindActiveTitle(const AreaList& areaList, const char* configuredTitle);

}  // namespace kestrinel

#endif  // KESTRINEL_ACTIVATION_TITLE_SEARCH_H_
