// Folders on POSIX. The search: readdir on the folder's own descriptor,
// with the entry's own type (or fstatat where the file system gives none),
// so that a symbolic link is never taken for the file it points to. The
// sync: fsync on the folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/file_descriptor.h"
#include "lineio/file_names.h"
#include "lineio/line_file.h"

namespace rodozerez {

Folder open_folder(const std::string& directory) {
  std::string path = directory.empty() ? std::string(".") : directory;
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.is_open()) {
    if (errno == ENOENT) throw NumberedError(kPathNotFound);
    fail_with_errno(errno);
  }
  return {std::make_shared<const FileDescriptor>(std::move(fd))};
}

FileList list_matching_files(std::string_view specification) {
  std::string spec(specification);
  if (!spec.empty() && spec.back() == '/') spec += kEveryName;
  auto slash = spec.find_last_of('/');
  std::string directory = slash == std::string::npos ? "" : spec.substr(0, slash == 0 ? 1 : slash);
  std::string pattern = slash == std::string::npos ? spec : spec.substr(slash + 1);

  FileList list;
  try {
    list.folder = open_folder(directory);
  } catch (const NumberedError&) {
    return list;
  }
  // The search reads through a copy of the descriptor, which closedir
  // closes; the folder's own stays open for the run.
  DIR* dir = nullptr;
  int search = fcntl(list.folder.fd(), F_DUPFD_CLOEXEC, 0);
  if (search >= 0 && !(dir = fdopendir(search))) close(search);
  if (!dir) return list;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.empty() || name.front() == '.' || name == kWorkFileName) continue;
    if (!matches_wildcard(pattern, name)) continue;
    // The entry's type comes with it on most file systems; fstatat otherwise.
    if (entry->d_type != DT_REG) {
      struct stat st;
      if (entry->d_type != DT_UNKNOWN) continue;
      if (fstatat(list.folder.fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISREG(st.st_mode)) {
        continue;
      }
    }
    list.names.emplace_back(name);
  }
  closedir(dir);
  std::sort(list.names.begin(), list.names.end(), listed_before);
  return list;
}

void sync_directory(const Folder& folder) {
  if (fsync(folder.fd()) != 0) fail_with_errno(errno);
}

}  // namespace rodozerez
