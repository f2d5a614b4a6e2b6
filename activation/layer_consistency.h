// The check that the loaded library fits the tool's picture of it: a header
// section and N area sections whose highest layer is N.
#ifndef KESTRINEL_ACTIVATION_LAYER_CONSISTENCY_H_
#define KESTRINEL_ACTIVATION_LAYER_CONSISTENCY_H_

#include <cstdint>

#include "app/exit_status.h"
#include "library/area_record.h"

namespace kestrinel {

// Sorts |layerList| ascending and stores its highest value in |highestLayer|.
// Only the highest layer is checked: gaps and duplicates below it pass. Ends
// the run with ExitListsEmpty when either list is empty, with
// ExitLayersInconsistent when the highest layer is not the number of area
// sections, and with ExitConsistencyFault when a standard exception escapes.
PhaseResult CheckLayerConsistency(const AreaList& areaList, LayerList& layerList,
                                  std::int32_t& highestLayer);

}  // namespace kestrinel

#endif  // KESTRINEL_ACTIVATION_LAYER_CONSISTENCY_H_
