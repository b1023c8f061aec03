// Exclusive opens on POSIX: flock(2) locks, and the careful removal of a
// work file left behind.
#include "lineio/exclusive_open-posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "lineio/errors.h"

namespace rodozerez {

void lock_exclusively(const FileDescriptor& fd, std::string_view held) {
  if (retry_interrupted([&] { return flock(fd.get(), LOCK_EX | LOCK_NB); }) != 0) {
    if (errno == EWOULDBLOCK) throw NumberedError(kPermissionDenied, held);
    fail_with_errno(errno);
  }
}

void require_regular_file(const FileDescriptor& fd, struct stat& st, std::string_view not_plain) {
  if (fstat(fd.get(), &st) != 0) fail_with_errno(errno);
  if (!S_ISREG(st.st_mode)) throw NumberedError(kPermissionDenied, not_plain);
}

void remove_left_over_work_file(const Folder& folder) {
  const char* name = kWorkFileName.data();  // a literal's: NUL-terminated
  struct stat st;
  if (fstatat(folder.fd(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return;
    fail_with_errno(errno);
  }
  // A link, device or FIFO of that name is refused before it is ever opened.
  if (!S_ISREG(st.st_mode)) throw NumberedError(kPermissionDenied, kWorkFileNotPlain);
  FileDescriptor fd(openat(folder.fd(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.is_open()) {
    if (errno == ENOENT) return;  // gone meanwhile
    if (errno == ENXIO || errno == ELOOP) {
      throw NumberedError(kPermissionDenied, kWorkFileNotPlain);  // swapped meanwhile
    }
    fail_with_errno(errno);
  }
  // Another run's work file, or another file it is a hard link to, is never
  // removed: only the one name of a file no run holds (a run that renamed
  // it away unlocks it, and the name then stands for another file).
  lock_exclusively(fd, kWorkFileInUse);
  require_regular_file(fd, st, kWorkFileNotPlain);
  struct stat named;
  if (st.st_nlink != 1 || fstatat(folder.fd(), name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino) {
    throw NumberedError(kPermissionDenied, kWorkFileNotPlain);
  }
  if (unlinkat(folder.fd(), name, 0) != 0) fail_with_errno(errno, kFolderNotWritable);
}

}  // namespace rodozerez
