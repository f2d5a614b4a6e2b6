#include "app/exit_status.h"

#include <cstdio>
#include <cstdlib>

namespace kestrinel {
namespace {

constexpr char kRule[] = "\n------------------------------------------------------\n";
constexpr char kClosingRule[] = "\n------------------------------------------------------\n\n";

}  // namespace

const ExitStatusInfo kExitStatusTable[] = {
    {ExitActivated, "ExitActivated", "\nThe scenery %s was activated\n", true},
    {ExitAlreadyActive, "ExitAlreadyActive", "\nThe scenery %s is currently activated\n", true},
    {ExitAreaTitleUnreadable, "ExitAreaTitleUnreadable",
     "Error reading the Scenery title from Scenery.cfg (Vector)", false},
    {ExitAreaLocalUnreadable, "ExitAreaLocalUnreadable",
     "Error reading the Scenery path from Scenery.cfg (Vector)", false},
    {ExitAreaLayerUnreadable, "ExitAreaLayerUnreadable",
     "Error reading the Scenery Layer from Scenery.cfg (Vector)", false},
    {ExitConfigTitleUnreadable, "ExitConfigTitleUnreadable",
     "Error reading the Scenery title from KestrinelConfig.ini", false},
    {ExitConfigPathUnreadable, "ExitConfigPathUnreadable",
     "Error reading the Scenery path from KestrinelConfig.ini", false},
    {ExitLayersInconsistent, "ExitLayersInconsistent",
     "Error in Layer values. The Scenery.cfg is corrupt.\n", false},
    {ExitConsistencyFault, "ExitConsistencyFault", "Error:%s", true},
    {ExitListsEmpty, "ExitListsEmpty", "Error: Empty vectors (1).", false},
    {ExitSearchFault, "ExitSearchFault", "Error:%s", true},
    {ExitSearchListEmpty, "ExitSearchListEmpty", "Error: Empty vector (2).", false},
    {ExitAppendFault, "ExitAppendFault", "Error:%s", true},
    {ExitAppendListEmpty, "ExitAppendListEmpty", "Error: Empty vector (3).", false},
    {ExitLibraryUnreadable, "ExitLibraryUnreadable", "Error reading the Scenery.cfg file", false},
    {ExitNoCommonAppData, "ExitNoCommonAppData",
     "The program couldn't find the Common application data folder", false},
    {ExitWriteFailed, "ExitWriteFailed", "Error writing Scenery.cfg", false},
    {ExitNoFreeSectionName, "ExitNoFreeSectionName",
     "Error: the new section name %s is already used in Scenery.cfg", true},
    {ExitNoFreeSectionName, "ExitNoFreeSectionName",
     "Error: the new section name %s is longer than 8 characters", true},
    {ExitConfigTitleTooLong, "ExitConfigTitleTooLong",
     "Error: the Scenery title in KestrinelConfig.ini is longer than 255 characters", false},
    {ExitLibraryBusy, "ExitLibraryBusy",
     "Error: Scenery.cfg is in use by another registration; nothing was written", false},
};

const int kExitStatusCount = sizeof(kExitStatusTable) / sizeof(kExitStatusTable[0]);

const ExitStatusInfo& DescribeExitStatus(ExitStatus status, int variant) {
  for (const ExitStatusInfo& info : kExitStatusTable) {
    if (info.code == status && variant-- == 0) return info;
  }
  // Every enumerator has its row; reaching this is a programming error.
  std::abort();
}

ExitStatus ReportOutcome(ExitStatus status, const char* detail, int variant) {
  const ExitStatusInfo& info = DescribeExitStatus(status, variant);
  const bool success = status == ExitActivated || status == ExitAlreadyActive;
  if (success) std::fputs(kRule, stdout);
  if (info.takesDetail) {
    std::printf(info.text, detail);
  } else {
    std::fputs(info.text, stdout);
  }
  if (status == ExitActivated) std::fputs(kClosingRule, stdout);
  if (status == ExitAlreadyActive) {
    std::fputs(kRule, stdout);
    std::fputs("\n", stdout);
  }
  return status;
}

}  // namespace kestrinel
