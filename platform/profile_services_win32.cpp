// Windows: the profile functions of KERNEL32 and the folder lookup of SHELL32,
// called as they are.
#include "platform/profile_services.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <shlobj.h>
#include <windows.h>

namespace kestrinel {

std::int32_t GetCommonAppDataFolder(std::string& folder) {
  folder.clear();
  char path[MAX_PATH] = {};
  const HRESULT result =
      SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  if (result == S_OK) folder = path;
  return static_cast<std::int32_t>(result);
}

std::uint32_t ReadProfileSectionNames(char* buffer, std::uint32_t size, const char* fileName) {
  return GetPrivateProfileSectionNamesA(buffer, size, fileName);
}

std::uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                char* buffer, std::uint32_t size, const char* fileName) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

std::uint32_t ReadProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                             const char* fileName) {
  return GetPrivateProfileIntA(section, key, defaultValue, fileName);
}

int StoreProfileSection(const char* section, const char* keyList, const char* fileName) {
  return WritePrivateProfileSectionA(section, keyList, fileName) ? 1 : 0;
}

void HoldProfileSnapshot(const char*) {}

void ReleaseProfileSnapshot(const char*) {}

LockOutcome LockLibrary(const char*, std::uint32_t timeoutMilliseconds, LibraryLock& lock) {
  // The machine has one library, so one name serves; Global\ makes runs in
  // other sessions (an installer started as another user) queue too.
  const HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\KestrinelSceneryLibrary");
  if (mutex == nullptr) return LockOutcome::Held;
  switch (WaitForSingleObject(mutex, timeoutMilliseconds)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its last holder ended without releasing it
      lock.handle = reinterpret_cast<std::intptr_t>(mutex);
      return LockOutcome::Held;
    case WAIT_TIMEOUT:
      CloseHandle(mutex);
      return LockOutcome::Busy;
    default:
      CloseHandle(mutex);
      return LockOutcome::Held;
  }
}

void UnlockLibrary(LibraryLock& lock) {
  if (lock.handle == -1) return;
  const HANDLE mutex = reinterpret_cast<HANDLE>(lock.handle);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  lock.handle = -1;
}

}  // namespace kestrinel
