// The operating-system services the tool uses: the four profile-file
// functions and the common application data folder lookup.
//
// On Windows these are thin calls into KERNEL32 and SHELL32. Elsewhere the
// simulator lives in a Wine prefix, and the same operations are provided over
// the project's own profile-file engine with Windows' buffer semantics.
//
// None of these functions throws or prints. Every failure is only the return
// value; the caller turns it into an exit status.
//
// File names follow Windows conventions on every platform: a backslash
// separates folders and ".\" names the current directory.
#ifndef KESTRINEL_PLATFORM_PROFILE_SERVICES_H_
#define KESTRINEL_PLATFORM_PROFILE_SERVICES_H_

#include <cstdint>
#include <string>

namespace kestrinel {

// Finds the machine-wide common application data folder (CSIDL_COMMON_APPDATA)
// and stores its path, without a trailing separator, in |folder|. Returns 0 on
// success; any other value (an HRESULT on Windows) is a failure and leaves
// |folder| empty.
std::int32_t GetCommonAppDataFolder(std::string& folder);

// GetPrivateProfileSectionNames: fills |buffer| with the section names of
// |fileName| in file order, each NUL-terminated, the list ended by one more
// NUL. Returns the characters copied, not counting the final NUL. When the
// list is cut, or fits the buffer exactly, the buffer ends with two NULs at
// [size - 2] and [size - 1] and the result is size - 2. A missing or unreadable
// file gives 0.
std::uint32_t ReadProfileSectionNames(char* buffer, std::uint32_t size, const char* fileName);

// GetPrivateProfileString: copies the value of |key| in |section| of
// |fileName| into |buffer|, cut to size - 1 characters and NUL-terminated.
// When the file, section or key is missing, copies |defaultValue| instead.
// Returns the characters copied, not counting the terminator.
std::uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                char* buffer, std::uint32_t size, const char* fileName);

// GetPrivateProfileInt: the value of |key| in |section| of |fileName| read as
// a decimal integer, or |defaultValue| when the key is missing or empty.
std::uint32_t ReadProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                             const char* fileName);

// WritePrivateProfileSection: makes |section| of |fileName| hold exactly the
// lines of |keyList| (NUL-terminated "key=value" strings ended by an empty
// string), appending the section at the end of the file when it is new.
// Returns non-zero on success and 0 on any failure.
int StoreProfileSection(const char* section, const char* keyList, const char* fileName);

// While a snapshot of |fileName| is held, reads of it use one parse of the
// file instead of looking at the disk each time: a run reads a library of N
// sections with 3N calls, and each look costs a system call. A section write
// still looks, and fails (0) when the file changed since the snapshot was
// taken, since what it writes was decided on the snapshot. On Windows the
// system's functions do their own caching and these do nothing.
void HoldProfileSnapshot(const char* fileName);
void ReleaseProfileSnapshot(const char* fileName);

// Exclusive use of a library among runs of this tool, so that two installers
// started together cannot both append the same new section: runs queue.
struct LibraryLock {
  std::intptr_t handle = -1;
};

enum class LockOutcome {
  Held,      // |lock| holds the library until UnlockLibrary
  Busy,      // another run held it for the whole wait
  Unneeded,  // nothing to guard: the library's folder does not exist
};

// Waits up to |timeoutMilliseconds| for exclusive use of the library named
// |fileName|. On Windows this is a named kernel mutex; on POSIX systems an
// flock on the library's folder, which outlives the file being replaced.
// Should the platform offer no lock, the run goes on without one (Held with
// an empty lock).
LockOutcome LockLibrary(const char* fileName, std::uint32_t timeoutMilliseconds, LibraryLock& lock);

// Ends the hold of LockLibrary; does nothing for an empty lock.
void UnlockLibrary(LibraryLock& lock);

}  // namespace kestrinel

#endif  // KESTRINEL_PLATFORM_PROFILE_SERVICES_H_
