#include "library/scenery_library.h"

#include <cstdint>
#include <limits>

#include "platform/profile_services.h"

namespace kestrinel {

PhaseResult LocateSceneryLibrary(std::string& libraryPath) {
  std::string folder;
  if (GetCommonAppDataFolder(folder) != 0) return ReportOutcome(ExitNoCommonAppData);
  libraryPath = folder + kLibraryRelativePath;
  return std::nullopt;
}

PhaseResult LockSceneryLibrary(const std::string& libraryPath, LibraryLock& lock) {
  if (LockLibrary(libraryPath.c_str(), kLibraryLockTimeoutMilliseconds, lock) ==
      LockOutcome::Busy) {
    return ReportOutcome(ExitLibraryBusy);
  }
  HoldProfileSnapshot(libraryPath.c_str());
  return std::nullopt;
}

void ReleaseSceneryLibrary(const std::string& libraryPath, LibraryLock& lock) {
  if (!libraryPath.empty()) ReleaseProfileSnapshot(libraryPath.c_str());
  UnlockLibrary(lock);
}

PhaseResult ListLibrarySections(const std::string& libraryPath, std::vector<char>& nameList) {
  constexpr std::size_t kLargestSize = std::numeric_limits<std::uint32_t>::max();
  std::size_t size = kInitialSectionListSize;
  for (;;) {
    nameList.assign(size, '\0');
    const std::uint32_t copied = ReadProfileSectionNames(
        nameList.data(), static_cast<std::uint32_t>(size), libraryPath.c_str());
    if (copied == 0) return ReportOutcome(ExitLibraryUnreadable);
    // size - 2 means the list was cut or only just fitted: ask again with more
    // room until the whole list arrives.
    if (copied < size - 2) return std::nullopt;
    // A list that does not fit the largest buffer cannot be read whole.
    if (size == kLargestSize) return ReportOutcome(ExitLibraryUnreadable);
    size = size > kLargestSize / 2 ? kLargestSize : size * 2;
  }
}

}  // namespace kestrinel
