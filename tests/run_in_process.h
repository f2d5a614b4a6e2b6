// The whole run inside a test program, its console going to a file.
#ifndef KESTRINEL_TESTS_RUN_IN_PROCESS_H_
#define KESTRINEL_TESTS_RUN_IN_PROCESS_H_

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "app/run_activation.h"

namespace kestrinel::testing_support {

// RunActivation with standard output sent to |consolePath| ("/dev/null" to
// drop it) for the length of the run.
inline ExitStatus RunActivationPrintingTo(const char* consolePath) {
  std::fflush(stdout);
  const int console = dup(1);
  const int capture = open(consolePath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(capture, 1);
  close(capture);
  const ExitStatus status = RunActivation();
  std::fflush(stdout);
  dup2(console, 1);
  close(console);
  return status;
}

}  // namespace kestrinel::testing_support

#endif  // KESTRINEL_TESTS_RUN_IN_PROCESS_H_
