// Where the simulator keeps its scenery library, and the list of its sections.
#ifndef KESTRINEL_LIBRARY_SCENERY_LIBRARY_H_
#define KESTRINEL_LIBRARY_SCENERY_LIBRARY_H_

#include <string>
#include <vector>

#include "app/exit_status.h"
#include "platform/profile_services.h"

namespace kestrinel {

// The library's place below the common application data folder.
inline constexpr char kLibraryRelativePath[] = "\\Microsoft\\FSX\\Scenery.cfg";

// The first size asked for when listing sections; the list grows past it.
inline constexpr std::size_t kInitialSectionListSize = 10000;

// Builds the library's full path from the common application data folder, of
// whatever length the platform returns. Prints the failure text and ends the
// run with ExitNoCommonAppData when the folder cannot be found.
PhaseResult LocateSceneryLibrary(std::string& libraryPath);

// How long a run waits for another run to finish with the library.
inline constexpr std::uint32_t kLibraryLockTimeoutMilliseconds = 30000;

// Takes exclusive use of the library for the rest of the run, waiting for a
// run that holds it. Two installers started together would otherwise both
// read the same last section, derive the same new name, and the second write
// would replace the first. The run then reads one snapshot of the library,
// and its write fails should the file change under it. Ends the run with
// ExitLibraryBusy when the library stays in use for the whole wait.
PhaseResult LockSceneryLibrary(const std::string& libraryPath, LibraryLock& lock);

// Ends what LockSceneryLibrary took, on every way out of the run.
void ReleaseSceneryLibrary(const std::string& libraryPath, LibraryLock& lock);

// Fills |nameList| with every section name of the library, each
// NUL-terminated and the list ended by an empty name, however large the
// library. Ends the run with ExitLibraryUnreadable when the list is empty
// (a missing, unreadable or sectionless file).
PhaseResult ListLibrarySections(const std::string& libraryPath, std::vector<char>& nameList);

}  // namespace kestrinel

#endif  // KESTRINEL_LIBRARY_SCENERY_LIBRARY_H_
