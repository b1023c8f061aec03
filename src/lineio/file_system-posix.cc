// The file system under a folder, on POSIX: syncfs through a descriptor
// opened before the writes, and the machine's writeback backlog from
// /proc/meminfo that decides whether a syncfs is cheap.
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "lineio/errors.h"
#include "lineio/file_system.h"

namespace rodozerez {
namespace {

// Most bytes other programs may have waiting for writeback before a
// commit group is synced file by file instead of with the whole file system.
constexpr std::size_t kMostOtherDirtyBytes = 64 << 20;

// The bytes the kernel has waiting to be written back, machine-wide, from
// /proc/meminfo ("Dirty:" and "Writeback:", in kB); none known: as if
// too many.
std::size_t dirty_bytes() {
  FileDescriptor fd(open("/proc/meminfo", O_RDONLY | O_CLOEXEC));
  if (!fd.is_open()) return SIZE_MAX;
  char text[8192];
  ssize_t n = read(fd.get(), text, sizeof text - 1);
  if (n <= 0) return SIZE_MAX;
  std::string_view info(text, static_cast<std::size_t>(n));
  std::size_t total = 0;
  for (std::string_view field : {"\nDirty:", "\nWriteback:"}) {
    std::size_t at = info.find(field);
    if (at == std::string_view::npos) return SIZE_MAX;
    total += std::strtoull(text + at + field.size(), nullptr, 10) * 1024;
  }
  return total;
}

// syncfs reports write errors from Linux 5.8 on; before, it reports none.
bool syncfs_reports_write_errors() {
  static const bool reports = [] {
    utsname system{};
    if (uname(&system) != 0) return false;
    int major = 0, minor = 0;
    if (std::sscanf(system.release, "%d.%d", &major, &minor) != 2) return false;
    return major > 5 || (major == 5 && minor >= 8);
  }();
  return reports;
}

}  // namespace

FileDescriptor watch_for_write_errors(const Folder& folder) {
  FileDescriptor watch(openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!watch.is_open()) fail_with_errno(errno);
  return watch;
}

bool sync_file_system(const FileDescriptor& watch) {
  if (!watch.is_open() || !syncfs_reports_write_errors()) return false;
  if (dirty_bytes() > kMostOtherDirtyBytes) return false;
  return syncfs(watch.get()) == 0;
}

}  // namespace rodozerez
