// The whole run of the tool, from the banner to the exit status.
#ifndef KESTRINEL_APP_RUN_ACTIVATION_H_
#define KESTRINEL_APP_RUN_ACTIVATION_H_

#include "app/exit_status.h"

namespace kestrinel {

// Prints the banner, then locates the library, takes exclusive use of it
// among runs of the tool, lists and loads its sections,
// reads the configuration, checks the library's layers, searches for the
// configured title and, when it is not there, appends the new area section.
// The first phase that fails ends the run; every way out prints exactly one
// outcome text and returns its status.
ExitStatus RunActivation();

}  // namespace kestrinel

#endif  // KESTRINEL_APP_RUN_ACTIVATION_H_
