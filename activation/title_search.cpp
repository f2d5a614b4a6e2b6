#include "activation/title_search.h"

#include "app/run_guard.h"

namespace kestrinel {

bool TitlesMatch(const char* configuredTitle, const AreaRecord& record) {
  return record.title == configuredTitle;
}

PhaseResult FindActiveTitle(const AreaList& areaList, const char* configuredTitle) {
  if (areaList.empty()) return ReportOutcome(ExitSearchListEmpty);
  return RunGuarded(ExitSearchFault, [&]() -> PhaseResult {
    for (std::size_t k = 0; k < areaList.size(); ++k) {
      if (TitlesMatch(configuredTitle, areaList.at(k))) {
        return ReportOutcome(ExitAlreadyActive, configuredTitle);
      }
    }
    return std::nullopt;
  });
}

}  // namespace kestrinel
