// The one place that maps errno values to error numbers.
#include <cerrno>

#include "lineio/errors.h"

namespace rodozerez {

int error_number_for(int errno_value) {
  switch (errno_value) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EWOULDBLOCK:
    case EISDIR:
    case ELOOP:  // a symbolic link where a plain file must be
      return kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kDiskFull;
    case EMFILE:
    case ENFILE:
      return kTooManyFiles;
    case EIO:
      return kMediaError;
    case EXDEV:
      return kCrossDevice;
    case EEXIST:
      return kFileExists;
    case ENOMEM:
      return kNoMemory;
    default:
      return kOtherAccessFailure;
  }
}

namespace {

// What the system's error means for the operator, where it says more than
// its number's words; empty where it does not.
std::string_view cause_for(int errno_value) {
  switch (errno_value) {
    case ENOSPC:
      return "the disk is full";
    case EDQUOT:
      return "a disk quota is reached";
    case EFBIG:
      return "a file-size limit is reached";
    case EROFS:
      return "the file system is mounted read-only";
    case ELOOP:
      return "a link stands where a plain file must be";
    case EACCES:
    case EPERM:
      return "permission denied";
    default:
      return {};
  }
}

}  // namespace

void fail_with_errno(int errno_value, std::string_view refused) {
  bool is_refusal = errno_value == EACCES || errno_value == EPERM;
  std::string_view cause = is_refusal && !refused.empty() ? refused : cause_for(errno_value);
  throw NumberedError(error_number_for(errno_value), cause);
}

std::string_view NumberedError::cause() const {
  return cause_.empty() ? error_words(number_) : cause_;
}

std::string_view error_words(int number) {
  switch (number) {
    case kNoMemory:
      return "out of memory";
    case kFileNotFound:
      return "the file has gone since it was listed";
    case kFileExists:
      return "the rename found its target name taken";
    case kDiskFull:
      return "the disk is full, or a quota or a file-size limit is reached";
    case kTooManyFiles:
      return "too many open files";
    case kPermissionDenied:
      return "permission denied";
    case kMediaError:
      return "an I/O error of the disk";
    case kCrossDevice:
      return "the rename crossed file systems";
    case kPathNotFound:
      return "a folder on the path is missing";
    default:
      return "a file operation failed";
  }
}

}  // namespace rodozerez
