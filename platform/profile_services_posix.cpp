// Linux and other POSIX systems: the profile functions over the project's own
// engine, with Windows file-name conventions, and the folder lookup inside the
// Wine prefix where the simulator lives.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/profile_services.h"
#include "platform/profile_text.h"

namespace kestrinel {
namespace {

// What the lookup returns when there is no prefix: E_FAIL.
constexpr std::int32_t kLookupFailed = static_cast<std::int32_t>(0x80004005u);

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// Windows file names are case-insensitive, and a prefix may hold
// "scenery.cfg" or "microsoft". Each component that does not exist with its
// exact case is replaced by a case-insensitive match in its folder, if there
// is one; the first match in byte order wins, so the choice is repeatable.
std::string ResolveCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  std::string resolved = path[0] == '/' ? "/" : "";
  std::size_t pos = 0;
  while (pos < path.size()) {
    const std::size_t slash = path.find('/', pos);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    const std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    if (!resolved.empty() && resolved.back() != '/') resolved += '/';
    std::string chosen = component;
    if (component != "." && component != ".." && !Exists(resolved + component)) {
      if (DIR* folder = opendir(resolved.empty() ? "." : resolved.c_str())) {
        std::string best;
        while (const dirent* entry = readdir(folder)) {
          if (SameProfileName(entry->d_name, component) &&
              (best.empty() || std::strcmp(entry->d_name, best.c_str()) < 0)) {
            best = entry->d_name;
          }
        }
        closedir(folder);
        if (!best.empty()) chosen = best;
      }
    }
    resolved += chosen;
  }
  return resolved;
}

// The folder holding |path|.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A Windows-style file name with this system's separators.
std::string WithSlashes(const char* fileName) {
  std::string path(fileName);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// A Windows-style file name as a path on this system: as written when that
// exists, else with its components matched without regard to case.
std::string ToLocalPath(const char* fileName) { return ResolveCase(WithSlashes(fileName)); }

// stat() of the file a Windows-style name means, setting |path| to it. The
// exact name is tried first, so the usual case costs one system call.
int StatLocal(const char* fileName, std::string& path, struct stat& info) {
  path = WithSlashes(fileName);
  if (stat(path.c_str(), &info) == 0) return 0;
  if (errno != ENOENT && errno != ENOTDIR) return errno;
  const std::string resolved = ResolveCase(path);
  if (resolved == path) return ENOENT;
  path = resolved;
  return stat(path.c_str(), &info) == 0 ? 0 : errno;
}

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified = {};
  timespec changed = {};
};

FileIdentity IdentityOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
         a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
}

enum class LoadStatus { Loaded, Missing, Unreadable };

struct LoadedProfile {
  LoadStatus status = LoadStatus::Missing;
  std::shared_ptr<const ProfileText> text;
  std::string path;  // the local file the name means
  FileIdentity identity;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
};

struct CacheEntry {
  LoadedProfile loaded;
  // Held as a snapshot: reads use it without looking at the disk.
  bool held = false;
};

// Like Windows, the engine keeps the parse of each file it has read and
// reuses it while the file is unchanged on disk, so reading every key of a
// library costs one parse, not one per key. Entries are keyed by the name
// asked for, made absolute: the configuration's ".\" name means another file
// in another directory. A run reads two files; the bound keeps a long-lived
// process (a test, a fuzzer) from holding every file it ever read.
constexpr std::size_t kMaxCachedProfiles = 8;

std::unordered_map<std::string, CacheEntry>& ProfileCache() {
  static std::unordered_map<std::string, CacheEntry> cache;
  return cache;
}

std::string CacheKey(const char* fileName) {
  if (fileName[0] == '/' || fileName[0] == '\\') return fileName;
  char folder[PATH_MAX];
  if (getcwd(folder, sizeof folder) == nullptr) return fileName;
  return std::string(folder) + "/" + fileName;
}

// The last name read and its entry, while that entry is a held snapshot: the
// 3N reads of a library then neither build a key nor search the cache.
struct LastRead {
  std::string fileName;
  CacheEntry* entry = nullptr;
};

LastRead& LastReadCache() {
  static LastRead last;
  return last;
}

void Forget(const std::string& key) {
  LastReadCache().entry = nullptr;
  ProfileCache().erase(key);
}

CacheEntry& EntryFor(const std::string& key) {
  auto& cache = ProfileCache();
  if (cache.size() >= kMaxCachedProfiles && cache.find(key) == cache.end()) {
    LastReadCache().entry = nullptr;
    for (auto it = cache.begin(); it != cache.end();) {
      it = it->second.held ? std::next(it) : cache.erase(it);
    }
  }
  return cache[key];
}

bool ReadWhole(int fd, std::size_t size, std::string& bytes) {
  bytes.assign(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, bytes.data() + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;  // the file shrank while being read
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return true;
}

// Reads and parses the file at |loaded.path|, which stat() found regular.
void ReadProfile(LoadedProfile& loaded) {
  loaded.status = LoadStatus::Unreadable;
  const int fd = open(loaded.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string bytes;
  struct stat info;
  // Identify the file by the descriptor actually read.
  const bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                  static_cast<std::uintmax_t>(info.st_size) <= kMaxProfileTextSize &&
                  ReadWhole(fd, static_cast<std::size_t>(info.st_size), bytes);
  close(fd);
  if (!ok) return;
  loaded.identity = IdentityOf(info);
  loaded.text = std::make_shared<const ProfileText>(ParseProfileText(std::move(bytes)));
  loaded.status = LoadStatus::Loaded;
}

// What |fileName| means on disk now, parsed; |previous| is reused when the
// file is unchanged since it was read.
LoadedProfile LookAtDisk(const char* fileName, const LoadedProfile& previous) {
  LoadedProfile loaded;
  struct stat info;
  const int error = StatLocal(fileName, loaded.path, info);
  if (error != 0) {
    loaded.status =
        error == ENOENT || error == ENOTDIR ? LoadStatus::Missing : LoadStatus::Unreadable;
    return loaded;
  }
  if (!S_ISREG(info.st_mode)) {
    loaded.status = LoadStatus::Unreadable;
    return loaded;
  }
  loaded.identity = IdentityOf(info);
  loaded.mode = info.st_mode;
  loaded.owner = info.st_uid;
  loaded.group = info.st_gid;
  if (previous.status == LoadStatus::Loaded && previous.path == loaded.path &&
      SameIdentity(previous.identity, loaded.identity)) {
    loaded.text = previous.text;
    loaded.status = LoadStatus::Loaded;
  } else {
    ReadProfile(loaded);
  }
  return loaded;
}

// The parse reads of |fileName| use: the held snapshot, or the file as the
// disk holds it now.
const LoadedProfile& ProfileForReading(const char* fileName) {
  LastRead& last = LastReadCache();
  if (last.entry != nullptr && last.entry->held && last.fileName == fileName) {
    return last.entry->loaded;
  }
  CacheEntry& entry = EntryFor(CacheKey(fileName));
  if (!entry.held) entry.loaded = LookAtDisk(fileName, entry.loaded);
  // Relative names mean another file once the current directory changes.
  if (entry.held && (fileName[0] == '/' || fileName[0] == '\\')) {
    last.fileName = fileName;
    last.entry = &entry;
  }
  return entry.loaded;
}

// What the replaced file keeps of the one it replaces.
struct ReplaceOptions {
  bool keepsExisting = false;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
};

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// Opens an unnamed file in |folder| (O_TMPFILE) so that a crash before the
// rename leaves nothing behind. Falls back to a named temporary file on file
// systems without O_TMPFILE; |tempName| then holds its name.
int OpenTemporary(const std::string& folder, const std::string& base, std::string& tempName) {
  tempName.clear();
#ifdef O_TMPFILE
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
#endif
  std::string pattern = folder + "/." + base + ".XXXXXX";
  const int named = mkostemp(pattern.data(), O_CLOEXEC);
  if (named >= 0) {
    tempName = pattern;
    // mkostemp creates the file 0600; a new file gets the usual 0666 & ~umask.
    if (fchmod(named, 0666 & ~CurrentUmask()) != 0) {
      close(named);
      unlink(tempName.c_str());
      return -1;
    }
  }
  return named;
}

// Gives an unnamed temporary file a name next to its target, ready to be
// renamed over it.
bool NameTemporary(int fd, const std::string& folder, const std::string& base,
                   std::string& tempName) {
  const std::string handle = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName =
        folder + "/." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
    if (linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, tempName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  tempName.clear();
  return false;
}

// Makes |path| hold |pieces|, in order, in one step: the new contents go to a temporary
// file in the same folder, which is flushed to disk and renamed over |path|.
// A failure at any step leaves |path| as it was and removes the temporary
// file.
bool ReplaceFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces,
                           const ReplaceOptions& options) {
  const std::string folder = FolderOf(path);
  const std::size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);

  if (options.keepsExisting) {
    // Replacing goes through the folder, so a read-only library could be
    // replaced anyway; refuse it as Windows does.
    const int probe = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (probe < 0) return false;
    close(probe);
  }

  std::string tempName;
  const int fd = OpenTemporary(folder, base, tempName);
  if (fd < 0) return false;
  bool ok = true;
  if (options.keepsExisting) {
    // Root replacing a user's library must leave it the user's; others cannot
    // change the owner and keep their own.
    if (geteuid() == 0) {
      const bool ownerKept = fchown(fd, options.owner, options.group) == 0;
      (void)ownerKept;
    }
    ok = fchmod(fd, options.mode & 07777) == 0;
  }
  for (const std::string_view piece : pieces) ok = ok && WriteAll(fd, piece);
  ok = ok && fsync(fd) == 0;
  if (ok && tempName.empty()) ok = NameTemporary(fd, folder, base, tempName);
  ok = close(fd) == 0 && ok;
  ok = ok && rename(tempName.c_str(), path.c_str()) == 0;
  if (!ok) {
    if (!tempName.empty()) unlink(tempName.c_str());
    return false;
  }
  // The rename is done; flushing the folder makes it survive a power cut. The
  // library already holds the new section, so a failure here is not reported.
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    (void)fsync(folderFd);
    close(folderFd);
  }
  return true;
}

}  // namespace

std::int32_t GetCommonAppDataFolder(std::string& folder) {
  folder.clear();
  std::string prefix;
  const char* winePrefix = std::getenv("WINEPREFIX");
  const char* home = std::getenv("HOME");
  if (winePrefix != nullptr && winePrefix[0] != '\0') {
    prefix = winePrefix;
  } else if (home != nullptr && home[0] != '\0') {
    prefix = std::string(home) + "/.wine";
  } else {
    return kLookupFailed;
  }
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  if (prefix.back() != '/') prefix += '/';

  const std::string programData = ResolveCase(prefix + "drive_c/ProgramData");
  struct stat info;
  if (stat(programData.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return kLookupFailed;
  folder = programData;
  return 0;
}

std::uint32_t ReadProfileSectionNames(char* buffer, std::uint32_t size, const char* fileName) {
  if (fileName == nullptr) return CopySectionNames(nullptr, buffer, size);
  return CopySectionNames(ProfileForReading(fileName).text.get(), buffer, size);
}

std::uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                char* buffer, std::uint32_t size, const char* fileName) {
  const char* const fallback = defaultValue != nullptr ? defaultValue : "";
  if (section == nullptr || key == nullptr || fileName == nullptr) {
    return CopyProfileString(nullptr, "", "", fallback, buffer, size);
  }
  return CopyProfileString(ProfileForReading(fileName).text.get(), section, key, fallback, buffer,
                           size);
}

std::uint32_t ReadProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                             const char* fileName) {
  if (section == nullptr || key == nullptr || fileName == nullptr) {
    return static_cast<std::uint32_t>(defaultValue);
  }
  return ProfileIntValue(ProfileForReading(fileName).text.get(), section, key, defaultValue);
}

int StoreProfileSection(const char* section, const char* keyList, const char* fileName) {
  if (section == nullptr || keyList == nullptr || fileName == nullptr) return 0;
  const std::string key = CacheKey(fileName);
  CacheEntry& entry = EntryFor(key);
  const LoadedProfile loaded = LookAtDisk(fileName, entry.loaded);
  // A file that exists but cannot be read must never be replaced by a new one.
  if (loaded.status == LoadStatus::Unreadable) return 0;
  // Nor one that changed since the snapshot its writer decided on was taken.
  if (entry.held && (entry.loaded.status != loaded.status ||
                     (loaded.status == LoadStatus::Loaded &&
                      !SameIdentity(entry.loaded.identity, loaded.identity)))) {
    return 0;
  }
  const std::optional<ProfileEdit> edit = EditProfileSection(loaded.text.get(), section, keyList);
  if (!edit) return 0;

  // A library reached through a symbolic link stays a link: the file it
  // points to is the one replaced.
  std::string path = loaded.path;
  struct stat link;
  if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char target[PATH_MAX];
    if (realpath(path.c_str(), target) == nullptr) return 0;
    path = target;
  }
  ReplaceOptions options;
  if (loaded.status == LoadStatus::Loaded) {
    options.keepsExisting = true;
    options.mode = loaded.mode;
    options.owner = loaded.owner;
    options.group = loaded.group;
  }
  const bool written = ReplaceFileAtomically(path, EditPieces(loaded.text.get(), *edit), options);
  Forget(key);
  return written ? 1 : 0;
}

void HoldProfileSnapshot(const char* fileName) {
  if (fileName == nullptr) return;
  CacheEntry& entry = EntryFor(CacheKey(fileName));
  entry.loaded = LookAtDisk(fileName, entry.loaded);
  entry.held = true;
}

void ReleaseProfileSnapshot(const char* fileName) {
  if (fileName == nullptr) return;
  const auto cached = ProfileCache().find(CacheKey(fileName));
  if (cached != ProfileCache().end()) cached->second.held = false;
}

LockOutcome LockLibrary(const char* fileName, std::uint32_t timeoutMilliseconds,
                        LibraryLock& lock) {
  std::string path = ToLocalPath(fileName);
  // The folder where the write renames: the link's target's for a link.
  char target[PATH_MAX];
  if (realpath(path.c_str(), target) != nullptr) path = target;
  const std::string folder = FolderOf(path);

  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? LockOutcome::Unneeded : LockOutcome::Held;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock.handle = fd;
      return LockOutcome::Held;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      close(fd);
      return LockOutcome::Held;  // no locks here: go on as before
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return LockOutcome::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void UnlockLibrary(LibraryLock& lock) {
  if (lock.handle == -1) return;
  // Closing the folder's descriptor ends the flock.
  close(static_cast<int>(lock.handle));
  lock.handle = -1;
}

}  // namespace kestrinel
