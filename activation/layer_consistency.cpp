#include "activation/layer_consistency.h"

#include <algorithm>

#include "app/run_guard.h"

namespace kestrinel {

PhaseResult CheckLayerConsistency(const AreaList& areaList, LayerList& layerList,
                                  std::int32_t& highestLayer) {
  std::sort(layerList.begin(), layerList.end());
  if (areaList.empty() || layerList.empty()) return ReportOutcome(ExitListsEmpty);
  return RunGuarded(ExitConsistencyFault, [&]() -> PhaseResult {
    const std::int32_t highest = layerList.at(layerList.size() - 1);
    const auto areaSections = static_cast<std::int64_t>(areaList.size()) - 1;
    if (highest != areaSections) return ReportOutcome(ExitLayersInconsistent);
    highestLayer = highest;
    return std::nullopt;
  });
}

}  // namespace kestrinel
