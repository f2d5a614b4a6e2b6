#include <stdlib.h>

#include "tests/test_platform.h"

namespace kestrinel::testing_support {

void SetEnvironmentForTest(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

bool RunningUnderWine() { return false; }

}  // namespace kestrinel::testing_support
