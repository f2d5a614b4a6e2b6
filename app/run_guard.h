// The exception guard that three phases of the run execute under.
#ifndef KESTRINEL_APP_RUN_GUARD_H_
#define KESTRINEL_APP_RUN_GUARD_H_

#include <exception>

#include "app/exit_status.h"

namespace kestrinel {

// Runs |body| (returning PhaseResult). A standard exception escaping it is
// reported as "Error:%s" with the exception's text and ends the run with
// |faultStatus|. Nothing else in the tool catches exceptions.
template <typename Body>
PhaseResult RunGuarded(ExitStatus faultStatus, Body&& body) {
  try {
    return body();
  } catch (const std::exception& error) {
    return ReportOutcome(faultStatus, error.what());
  }
}

}  // namespace kestrinel

#endif  // KESTRINEL_APP_RUN_GUARD_H_
