#include <stdlib.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "tests/test_platform.h"

namespace kestrinel::testing_support {

void SetEnvironmentForTest(const char* name, const char* value) {
  _putenv_s(name, value != nullptr ? value : "");
}

bool RunningUnderWine() {
  // Wine's ntdll exports its version; Windows' does not.
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace kestrinel::testing_support
