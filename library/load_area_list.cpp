#include "library/load_area_list.h"

#include <cstring>

#include "platform/profile_services.h"

namespace kestrinel {
namespace {

// The names of |nameList| up to its first empty one.
std::vector<const char*> LeadingNames(const std::vector<char>& nameList) {
  std::vector<const char*> names;
  const char* const end = nameList.data() + nameList.size();
  for (const char* name = nameList.data(); name < end && *name != '\0';) {
    const std::size_t length = strnlen(name, static_cast<std::size_t>(end - name));
    names.push_back(name);
    name += length + 1;
  }
  return names;
}

}  // namespace

PhaseResult LoadAreaList(const std::string& libraryPath, const std::vector<char>& nameList,
                         TextBuffer& titleBuffer, TextBuffer& pathBuffer, AreaList& areaList,
                         LayerList& layerList) {
  const char* const library = libraryPath.c_str();
  const std::vector<const char*> names = LeadingNames(nameList);
  areaList.reserve(names.size());
  if (!names.empty()) layerList.reserve(names.size() - 1);

  for (std::size_t i = 0; i < names.size(); ++i) {
    // Keys are read under the full name, which the record may hold cut.
    const char* const name = names[i];
    AreaRecord record;
    SetSectionName(record, name);

    std::memset(titleBuffer, 0, kTextBufferSize);
    if (ReadProfileString(name, "Title", "", titleBuffer, kTextBufferSize, library) == 0) {
      return ReportOutcome(ExitAreaTitleUnreadable);
    }
    SetTitle(record, titleBuffer);

    std::memset(pathBuffer, 0, kTextBufferSize);
    if (i > 0 && ReadProfileString(name, "Local", "", pathBuffer, kTextBufferSize, library) == 0) {
      return ReportOutcome(ExitAreaLocalUnreadable);
    }
    SetLocalPath(record, pathBuffer);
    areaList.push_back(record);

    if (i > 0) {
      const auto layer = static_cast<std::int32_t>(ReadProfileInt(name, "Layer", 0, library));
      if (layer == 0) return ReportOutcome(ExitAreaLayerUnreadable);
      layerList.push_back(layer);
    }
  }
  return std::nullopt;
}

}  // namespace kestrinel
