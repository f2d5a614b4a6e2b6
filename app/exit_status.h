// The outcomes of a run: each exit code with the console text that reports it.
#ifndef KESTRINEL_APP_EXIT_STATUS_H_
#define KESTRINEL_APP_EXIT_STATUS_H_

#include <cstdint>
#include <optional>

namespace kestrinel {

enum ExitStatus : std::int32_t {
  ExitActivated = 1,
  ExitAlreadyActive = 2,
  ExitAreaTitleUnreadable = -1,
  ExitAreaLocalUnreadable = -2,
  ExitAreaLayerUnreadable = -3,
  ExitConfigTitleUnreadable = -4,
  ExitConfigPathUnreadable = -5,
  ExitLayersInconsistent = -6,
  ExitConsistencyFault = -7,
  ExitListsEmpty = -8,
  ExitSearchFault = -9,
  ExitSearchListEmpty = -10,
  ExitAppendFault = -11,
  ExitAppendListEmpty = -12,
  ExitLibraryUnreadable = -13,
  ExitNoCommonAppData = -14,
  ExitWriteFailed = -15,
  ExitNoFreeSectionName = -16,
  ExitConfigTitleTooLong = -17,
  ExitLibraryBusy = -18,
};

struct ExitStatusInfo {
  ExitStatus code;
  const char* name;
  // A printf format; where takesDetail is set, its one %s is the configured
  // title, the exception's text or the section name the outcome is about.
  const char* text;
  bool takesDetail;
};

// Every outcome, in the order of the README's table. A code with more than one
// cause has one row per console text, numbered from 0 by |variant| below.
extern const ExitStatusInfo kExitStatusTable[];
extern const int kExitStatusCount;

// The rows of ExitNoFreeSectionName.
inline constexpr int kSectionNameInUse = 0;
inline constexpr int kSectionNameTooLong = 1;

// The table's row for |status|.
const ExitStatusInfo& DescribeExitStatus(ExitStatus status, int variant = 0);

// Prints the whole console text of |status| to standard output (for the two
// successes framed by the rules) and returns |status|.
ExitStatus ReportOutcome(ExitStatus status, const char* detail = "", int variant = 0);

// What a phase reports: nothing when the run goes on, else the status that
// ends it (its text already printed).
using PhaseResult = std::optional<ExitStatus>;

}  // namespace kestrinel

#endif  // KESTRINEL_APP_EXIT_STATUS_H_
