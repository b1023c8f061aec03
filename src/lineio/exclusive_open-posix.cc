// Exclusive opens on POSIX: flock(2) locks, and the careful takeover of a
// work file that is already there.
#include "lineio/exclusive_open-posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "lineio/errors.h"
#include "lineio/line_file.h"

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

FileDescriptor open_existing_work_file(const Folder& folder, struct stat& st) {
  const char* name = kWorkFileName.data();  // a literal's: NUL-terminated
  // A device or FIFO of that name is refused before it is ever opened.
  if (fstatat(folder.fd(), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    throw NumberedError(kPermissionDenied, kWorkFileNotPlain);
  }
  // O_CREAT again: a work file removed since the first open is made anew.
  FileDescriptor fd(
      openat(folder.fd(), name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!fd.is_open()) {
    if (errno == ENXIO) throw NumberedError(kPermissionDenied, kWorkFileNotPlain);  // a FIFO
    fail_with_errno(errno, kFolderNotWritable);
  }
  lock_exclusively(fd, kWorkFileInUse);
  require_regular_file(fd, st, kWorkFileNotPlain);
  // Another run's work file, or another file it is a hard link to, is
  // never cut: taken over only when this is its one name and the name
  // still stands for what was locked (a run that renamed it away unlocks
  // it).
  struct stat named;
  if (st.st_nlink != 1 || fstatat(folder.fd(), name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino) {
    throw NumberedError(kPermissionDenied, kWorkFileNotPlain);
  }
  // Not owning a left-over file is fine; it is replaced by the rename.
  (void)fchmod(fd.get(), 0600);
  return fd;
}

}  // namespace rodozerez
