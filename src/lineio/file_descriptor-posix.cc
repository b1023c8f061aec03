#include <unistd.h>

#include <cerrno>

#include "lineio/file_descriptor.h"

namespace rodozerez {

void FileDescriptor::reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

// Linux releases the descriptor even when close reports EINTR, so that is
// not a failure and the close is never retried.
int FileDescriptor::close_checked() {
  if (fd_ < 0) return 0;
  int fd = std::exchange(fd_, -1);
  if (close(fd) != 0 && errno != EINTR) return errno;
  return 0;
}

}  // namespace rodozerez
