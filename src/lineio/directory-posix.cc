// Folders on POSIX. The search: readdir, with the entry's own type (or
// lstat where the file system gives none), so that a symbolic link is never
// taken for the file it points to. The sync: fsync on the folder.
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

std::vector<ListedFile> list_matching_files(std::string_view specification) {
  std::string spec(specification);
  if (!spec.empty() && spec.back() == '/') spec += kEveryName;
  auto slash = spec.find_last_of('/');
  std::string directory = slash == std::string::npos ? "" : spec.substr(0, slash == 0 ? 1 : slash);
  std::string pattern = slash == std::string::npos ? spec : spec.substr(slash + 1);

  std::vector<ListedFile> found;
  DIR* dir = opendir(folder_or_current(directory).c_str());
  if (!dir) return found;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.empty() || name.front() == '.' || name == kWorkFileName) continue;
    if (!matches_wildcard(pattern, name)) continue;
    ListedFile file{directory, std::string(name)};
    // The entry's type comes with it on most file systems; lstat otherwise.
    if (entry->d_type != DT_REG) {
      struct stat st;
      if (entry->d_type != DT_UNKNOWN) continue;
      if (lstat(file.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    }
    found.push_back(std::move(file));
  }
  closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const ListedFile& a, const ListedFile& b) { return listed_before(a.name, b.name); });
  return found;
}

FileDescriptor open_folder(const std::string& directory) {
  std::string path = folder_or_current(directory);
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.is_open()) fail_with_errno(errno, path);
  return fd;
}

void sync_directory(const std::string& directory) {
  FileDescriptor fd = open_folder(directory);
  if (fsync(fd.get()) != 0) fail_with_errno(errno, folder_or_current(directory));
}

}  // namespace rodozerez
