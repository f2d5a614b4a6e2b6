// Loading the library's sections into the run's two lists.
#ifndef KESTRINEL_LIBRARY_LOAD_AREA_LIST_H_
#define KESTRINEL_LIBRARY_LOAD_AREA_LIST_H_

#include <string>
#include <vector>

#include "app/exit_status.h"
#include "library/area_record.h"

namespace kestrinel {

// Walks |nameList| up to its first empty name and loads one AreaRecord per
// section into |areaList|. The first section is the header section: only its
// Title is read. Every later section needs a non-empty Title and Local and a
// non-zero Layer, which goes to |layerList|. The section's values pass through
// the two work buffers. Ends the run at the first section lacking one of them
// with ExitAreaTitleUnreadable, ExitAreaLocalUnreadable or
// ExitAreaLayerUnreadable.
PhaseResult LoadAreaList(const std::string& libraryPath, const std::vector<char>& nameList,
                         TextBuffer& titleBuffer, TextBuffer& pathBuffer, AreaList& areaList,
                         LayerList& layerList);

}  // namespace kestrinel

#endif  // KESTRINEL_LIBRARY_LOAD_AREA_LIST_H_
