// Makes the steps of the Linux library write fail on demand, loaded into the
// tool with LD_PRELOAD. KESTRINEL_FAULT lists, separated by commas, what goes
// wrong:
//   no-tmpfile  O_TMPFILE is unsupported, so the named temporary file is used
//   create      the temporary file cannot be created
//   write       writing it fails
//   disk-full   the disk fills up after its first bytes
//   fsync       flushing it to disk fails
//   link        giving the unnamed temporary file a name fails
//   close       closing it fails
//   rename      renaming it over the library fails
// Only calls on the temporary file (and the rename and link) are touched.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

bool Faulty(const char* step) {
  const char* list = getenv("KESTRINEL_FAULT");
  if (list == nullptr) return false;
  const size_t length = strlen(step);
  for (const char* at = list; *at != '\0';) {
    const char* end = strchr(at, ',');
    const size_t size = end != nullptr ? static_cast<size_t>(end - at) : strlen(at);
    if (size == length && strncmp(at, step, length) == 0) return true;
    if (end == nullptr) break;
    at = end + 1;
  }
  return false;
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The descriptors of temporary files, and the bytes written to each.
constexpr int kTracked = 64;
bool temporary[kTracked];
size_t written[kTracked];

bool IsTemporary(int fd) { return fd >= 0 && fd < kTracked && temporary[fd]; }

void Track(int fd) {
  if (fd >= 0 && fd < kTracked) {
    temporary[fd] = true;
    written[fd] = 0;
  }
}

int OpenWithFaults(const char* name, const char* path, int flags, mode_t mode) {
  const bool unnamedTemporary = (flags & O_TMPFILE) == O_TMPFILE;
  if (unnamedTemporary && Faulty("no-tmpfile")) {
    errno = EOPNOTSUPP;
    return -1;
  }
  if (unnamedTemporary && Faulty("create")) {
    errno = EACCES;
    return -1;
  }
  const int fd = Next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
  if (unnamedTemporary) Track(fd);
  return fd;
}

int MakeTemporaryWithFaults(const char* name, char* pattern, int flags) {
  if (Faulty("create")) {
    errno = EACCES;
    return -1;
  }
  const int fd = Next<int (*)(char*, int)>(name)(pattern, flags);
  Track(fd);
  return fd;
}

mode_t ModeArgument(int flags, va_list arguments) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeArgument(flags, arguments);
  va_end(arguments);
  return OpenWithFaults("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeArgument(flags, arguments);
  va_end(arguments);
  return OpenWithFaults("open64", path, flags, mode);
}

int mkostemp(char* pattern, int flags) {
  return MakeTemporaryWithFaults("mkostemp", pattern, flags);
}

int mkostemp64(char* pattern, int flags) {
  return MakeTemporaryWithFaults("mkostemp64", pattern, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
  if (IsTemporary(fd) && Faulty("write")) {
    errno = EIO;
    return -1;
  }
  if (IsTemporary(fd) && Faulty("disk-full")) {
    constexpr size_t kRoom = 16;
    if (written[fd] >= kRoom) {
      errno = ENOSPC;
      return -1;
    }
    if (size > kRoom - written[fd]) size = kRoom - written[fd];
  }
  const ssize_t put = Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
  if (IsTemporary(fd) && put > 0) written[fd] += static_cast<size_t>(put);
  return put;
}

int fsync(int fd) {
  if (IsTemporary(fd) && Faulty("fsync")) {
    errno = EIO;
    return -1;
  }
  return Next<int (*)(int)>("fsync")(fd);
}

int close(int fd) {
  const bool failing = IsTemporary(fd) && Faulty("close");
  if (IsTemporary(fd)) temporary[fd] = false;
  const int result = Next<int (*)(int)>("close")(fd);
  if (failing) {
    errno = EIO;
    return -1;
  }
  return result;
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  if (Faulty("link")) {
    errno = EIO;
    return -1;
  }
  return Next<int (*)(int, const char*, int, const char*, int)>("linkat")(fromFolder, from,
                                                                          toFolder, to, flags);
}

int rename(const char* from, const char* to) {
  if (Faulty("rename")) {
    errno = EIO;
    return -1;
  }
  return Next<int (*)(const char*, const char*)>("rename")(from, to);
}

}  // extern "C"
