// The one place that maps errno values to error numbers.
#include "lineio/errors.h"

#include <cerrno>
#include <sys/stat.h>

namespace rodozerez {
namespace {

// True when the directory that would hold `path` does not exist.
bool directory_missing(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return false;  // the current directory exists
  std::string dir = slash == 0 ? "/" : path.substr(0, slash);
  struct stat st;
  return stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

}  // namespace

int error_number_for(int errno_value, const std::string& path) {
  switch (errno_value) {
    case ENOENT:
      return directory_missing(path) ? kPathNotFound : kFileNotFound;
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

void fail_with_errno(int errno_value, const std::string& path) {
  throw NumberedError(error_number_for(errno_value, path));
}

}  // namespace rodozerez
