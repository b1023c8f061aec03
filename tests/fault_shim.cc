// A fault injector for the tests, loaded with LD_PRELOAD into the real
// binary: makes one chosen system call fail with a chosen errno.
//
//   FAULT_CALL   the call: open, read, write, fsync, syncfs, fchmod,
//                fchown, close, rename, link, unlink, flock, ftruncate; or
//                several, separated by commas, each with its own path
//                suffix after an "@" if it wants one
//                (syncfs@folder,fsync@(deleted)). A call made relative to
//                a folder's descriptor counts as its plain form (openat is
//                open, renameat is rename, linkat is link, unlinkat is
//                unlink), on the folder's path joined with the name.
//   FAULT_ERRNO  the errno it fails with (a number)
//   FAULT_PATH   only calls on a path, or a descriptor open on a path, that
//                ends with this text
//   FAULT_SKIP   let this many matching calls pass first (default 0)
//   FAULT_TIMES  fail this many times, then let calls pass (default: always)
//   FAULT_DELAY_MS  instead of failing, hold each matching call this long,
//                then let it pass: a slow disk at that step
//   FAULT_MARK   a file each matching call creates as it is reached, so a
//                test can wait for that moment instead of guessing it
//   FAULT_HOLD   with FAULT_MARK: instead of failing, hold each matching
//                call until the test removes the mark, then let it pass
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ends_with(const char* path, const std::string& suffix) {
  if (!path) return false;
  std::size_t n = std::strlen(path);
  return n >= suffix.size() && suffix.compare(0, std::string::npos, path + n - suffix.size()) == 0;
}

// The call is one FAULT_CALL names, on a path its suffix (or FAULT_PATH)
// fits.
bool named(const char* call, const char* path) {
  const char* wanted = std::getenv("FAULT_CALL");
  if (!wanted) return false;
  std::string calls = std::string(wanted) + ",";
  for (std::size_t at = 0, comma; (comma = calls.find(',', at)) != std::string::npos;
       at = comma + 1) {
    std::string entry = calls.substr(at, comma - at);
    std::size_t sign = entry.find('@');
    if (entry.substr(0, sign) != call) continue;
    if (sign != std::string::npos) {
      if (ends_with(path, entry.substr(sign + 1))) return true;
      continue;  // the same call may come again with another suffix
    }
    const char* suffix = std::getenv("FAULT_PATH");
    return !suffix || ends_with(path, suffix);
  }
  return false;
}

bool fault_matches(const char* call, const char* path) {
  if (!named(call, path)) return false;
  // Replaced inputs are closed on a thread of their own: counts are shared.
  static std::atomic<int> skipped = 0;
  const char* skip = std::getenv("FAULT_SKIP");
  if (skip && skipped < std::atoi(skip)) {
    ++skipped;
    return false;
  }
  static std::atomic<int> failed = 0;
  const char* times = std::getenv("FAULT_TIMES");
  if (times && failed >= std::atoi(times)) return false;
  ++failed;
  if (const char* mark = std::getenv("FAULT_MARK")) {
    mknod(mark, S_IFREG | 0600, 0);  // not a call the shim watches
    if (std::getenv("FAULT_HOLD")) {
      // Five minutes at most: a test that never releases still ends.
      for (int waited_ms = 0; access(mark, F_OK) == 0 && waited_ms < 300000; ++waited_ms) {
        usleep(1000);
      }
      return false;
    }
  }
  if (const char* delay = std::getenv("FAULT_DELAY_MS")) {
    usleep(static_cast<useconds_t>(std::atoi(delay)) * 1000);
    return false;
  }
  errno = std::atoi(std::getenv("FAULT_ERRNO") ? std::getenv("FAULT_ERRNO") : "5");
  return true;
}

// The path a descriptor is open on, for FAULT_PATH.
const char* fd_path(int fd, char* buffer, std::size_t size) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, buffer, size - 1);
  if (n < 0) return nullptr;
  buffer[n] = 0;
  return buffer;
}

// The path a call relative to folder descriptor `at` reaches.
std::string at_path(int at, const char* name) {
  if (!name || name[0] == '/' || at == AT_FDCWD) return name ? name : "";
  char buffer[4096];
  const char* folder = fd_path(at, buffer, sizeof buffer);
  return std::string(folder ? folder : "") + "/" + name;
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

#define FD_FAULT(call, fd) \
  char path_buffer[4096];  \
  if (fault_matches(call, fd_path(fd, path_buffer, sizeof path_buffer))) return -1;

extern "C" {

// Every open goes through openat here: open(path) is openat(AT_FDCWD,
// path). The mode is there only when the flags say so.
#define OPEN_THROUGH(real, at, path, flags)                              \
  va_list args;                                                          \
  va_start(args, flags);                                                 \
  bool has_mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE; \
  mode_t mode = has_mode ? va_arg(args, mode_t) : 0;                     \
  va_end(args);                                                          \
  if (fault_matches("open", at_path(at, path).c_str())) return -1;       \
  return next<int (*)(int, const char*, int, ...)>(real)(at, path, flags, mode);

int open(const char* path, int flags, ...) {
  OPEN_THROUGH("openat", AT_FDCWD, path, flags)
}
int open64(const char* path, int flags, ...) {
  OPEN_THROUGH("openat64", AT_FDCWD, path, flags)
}
int openat(int at, const char* path, int flags, ...) {
  OPEN_THROUGH("openat", at, path, flags)
}
int openat64(int at, const char* path, int flags, ...){OPEN_THROUGH("openat64", at, path, flags)}

ssize_t read(int fd, void* buffer, size_t size) {
  FD_FAULT("read", fd);
  return next<ssize_t (*)(int, void*, size_t)>("read")(fd, buffer, size);
}

ssize_t write(int fd, const void* buffer, size_t size) {
  FD_FAULT("write", fd);
  return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, size);
}

int fsync(int fd) {
  FD_FAULT("fsync", fd);
  return next<int (*)(int)>("fsync")(fd);
}

int syncfs(int fd) {
  FD_FAULT("syncfs", fd);
  return next<int (*)(int)>("syncfs")(fd);
}

int fchmod(int fd, mode_t mode) {
  FD_FAULT("fchmod", fd);
  return next<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
  FD_FAULT("fchown", fd);
  return next<int (*)(int, uid_t, gid_t)>("fchown")(fd, owner, group);
}

int ftruncate(int fd, off_t length) {
  FD_FAULT("ftruncate", fd);
  return next<int (*)(int, off_t)>("ftruncate")(fd, length);
}

int flock(int fd, int operation) {
  FD_FAULT("flock", fd);
  return next<int (*)(int, int)>("flock")(fd, operation);
}

int close(int fd) {
  char path_buffer[4096];
  if (fault_matches("close", fd_path(fd, path_buffer, sizeof path_buffer))) {
    next<int (*)(int)>("close")(fd);  // closed all the same, as Linux does
    return -1;
  }
  return next<int (*)(int)>("close")(fd);
}

int rename(const char* from, const char* to) {
  if (fault_matches("rename", to)) return -1;
  return next<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int from_at, const char* from, int to_at, const char* to) {
  if (fault_matches("rename", at_path(to_at, to).c_str())) return -1;
  return next<int (*)(int, const char*, int, const char*)>("renameat")(from_at, from, to_at, to);
}

int linkat(int from_at, const char* from, int to_at, const char* to, int flags) {
  if (fault_matches("link", at_path(to_at, to).c_str())) return -1;
  return next<int (*)(int, const char*, int, const char*, int)>("linkat")(from_at, from, to_at, to,
                                                                          flags);
}

int unlinkat(int at, const char* path, int flags) {
  if (fault_matches("unlink", at_path(at, path).c_str())) return -1;
  return next<int (*)(int, const char*, int)>("unlinkat")(at, path, flags);
}

}  // extern "C"
