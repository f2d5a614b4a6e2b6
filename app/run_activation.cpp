#include "app/run_activation.h"

#include <cstdio>
#include <string>
#include <vector>

#include "activation/activation_config.h"
#include "activation/layer_consistency.h"
#include "activation/title_search.h"
#include "library/append_area.h"
#include "library/area_record.h"
#include "library/load_area_list.h"
#include "library/scenery_library.h"

namespace kestrinel {
namespace {

// Everything the run uses; the phases receive references to it. The text
// buffers start zero-filled.
struct RunState {
  std::string libraryPath;
  LibraryLock libraryLock;
  std::vector<char> sectionNames;
  // While the library loads these hold each section's values in turn; from
  // the configuration on, the configured title and folder.
  TextBuffer titleBuffer = {};
  TextBuffer pathBuffer = {};
  SectionBody sectionBody = {};
  AreaList areaList;
  LayerList layerList;
  std::int32_t highestLayer = 0;
};

void PrintBanner() {
  std::printf("******************************************************\n");
  std::printf("*              Scenery Kestrinel v. 1.4              *\n");
  std::printf("******************************************************\n\n");
}

PhaseResult RunPhases(RunState& run) {
  if (PhaseResult end = LocateSceneryLibrary(run.libraryPath)) return end;
  if (PhaseResult end = LockSceneryLibrary(run.libraryPath, run.libraryLock)) return end;
  if (PhaseResult end = ListLibrarySections(run.libraryPath, run.sectionNames)) return end;
  if (PhaseResult end = LoadAreaList(run.libraryPath, run.sectionNames, run.titleBuffer,
                                     run.pathBuffer, run.areaList, run.layerList)) {
    return end;
  }
  if (PhaseResult end = ReadActivationConfig(run.titleBuffer, run.pathBuffer)) return end;
  if (PhaseResult end = CheckLayerConsistency(run.areaList, run.layerList, run.highestLayer)) {
    return end;
  }
  if (PhaseResult end = FindActiveTitle(run.areaList, run.titleBuffer)) return end;
  return AppendArea(run.areaList, run.sectionNames, run.titleBuffer, run.pathBuffer,
                    run.highestLayer, run.libraryPath, run.sectionBody);
}

}  // namespace

ExitStatus RunActivation() {
  PrintBanner();
  RunState run;
  const PhaseResult end = RunPhases(run);
  // The one exit path: release the lists and the library, then return the code.
  LayerList().swap(run.layerList);
  AreaList().swap(run.areaList);
  ReleaseSceneryLibrary(run.libraryPath, run.libraryLock);
  std::fflush(stdout);
  // The last phase always ends the run, so there is always a status here.
  return end.value_or(ExitAppendFault);
}

}  // namespace kestrinel
