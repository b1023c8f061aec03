// The replace of an input by its work file, in three steps that a commit
// group takes for many files at once: the end of staging with the guard,
// durability, and the put in place (the work file's name for an unnamed
// one; what the file keeps: owner, bits, ACL, attributes; the check that
// nobody else changed the input meanwhile; the atomic rename). A work file
// that is not to replace its input is left behind under its name.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lineio/closer.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/exclusive_open-posix.h"
#include "lineio/replace_input.h"

namespace rodozerez {
namespace {

// The operator may not write the input, or it carries no write bit at all:
// the second test makes root honour the read-only mark too.
bool is_read_only(const Folder& folder, const std::string& name, mode_t mode) {
  return (mode & 0222) == 0 || faccessat(folder.fd(), name.c_str(), W_OK, AT_EACCESS) != 0;
}

constexpr const char* kAccessAcl = "system.posix_acl_access";

// Extended attributes the work file takes from the input: the access ACL
// and the user, security and trusted namespaces, as sed -i does.
bool is_copied_attribute(std::string_view name) {
  return name == kAccessAcl || name.starts_with("user.") || name.starts_with("security.") ||
         name.starts_with("trusted.");
}

// An attribute this file system or this process cannot take is passed
// over, like an owner it may not give.
bool cannot_take(int err) {
  return err == ENOTSUP || err == EPERM || err == EACCES || err == ENODATA || err == E2BIG ||
         err == ERANGE;
}

// The work file ends with exactly the input's access ACL: in a folder with
// a default ACL it was made with the inherited one, which an input without
// an ACL must not gain (it could let others read it).
void copy_attributes(int from, int to) {
  std::string names(1024, '\0');
  ssize_t n;
  while ((n = flistxattr(from, names.data(), names.size())) < 0 && errno == ERANGE) {
    names.resize(names.size() * 4);
  }
  if (n < 0) {
    if (cannot_take(errno)) return;
    fail_with_errno(errno);
  }
  if (fgetxattr(from, kAccessAcl, nullptr, 0) < 0 && errno == ENODATA &&
      fremovexattr(to, kAccessAcl) != 0 && !cannot_take(errno)) {
    fail_with_errno(errno);
  }
  std::string value(256, '\0');
  for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
    std::string name(names.c_str() + at);
    at += name.size() + 1;
    if (!is_copied_attribute(name)) continue;
    ssize_t size;
    while ((size = fgetxattr(from, name.c_str(), value.data(), value.size())) < 0 &&
           errno == ERANGE) {
      value.resize(value.size() * 4);
    }
    if (size < 0 ||
        fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(size), 0) != 0) {
      if (cannot_take(errno)) continue;
      fail_with_errno(errno);
    }
  }
}

// True while the input's name still stands for the file that was opened
// and read, as it was: same file, same size, same modification time.
bool unchanged_since_open(const Folder& folder, const std::string& name,
                          const struct stat& opened) {
  struct stat now;
  if (fstatat(folder.fd(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return now.st_dev == opened.st_dev && now.st_ino == opened.st_ino &&
         now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec;
}

// Gives an unnamed file the work file's name in `folder`. /proc gives any
// process a way to name its O_TMPFILE; AT_EMPTY_PATH does the same where
// /proc is missing, for a process that may.
bool link_as_work_file(const FileDescriptor& fd, const Folder& folder) {
  const char* name = kWorkFileName.data();  // a literal's: NUL-terminated
  std::string self = "/proc/self/fd/" + std::to_string(fd.get());
  if (linkat(AT_FDCWD, self.c_str(), folder.fd(), name, AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  return linkat(fd.get(), "", folder.fd(), name, AT_EMPTY_PATH) == 0;
}

}  // namespace

// The input's owner and group, access ACL and attributes, and permission
// bits, given to its work file. Owner and group first: fchown clears
// set-id bits, fchmod then restores them; a process that may not give the
// file away keeps its own ownership. The attributes before the bits:
// removing an inherited ACL leaves its mask in the group bits, which
// fchmod then sets right.
void take_what_the_input_was(WorkFile& work, const InputFile& input) {
  work.took_input_attributes_ = true;
  bool same_owner = work.owner_ == input.opened_.st_uid && work.group_ == input.opened_.st_gid;
  if (!same_owner && fchown(work.fd_.get(), input.opened_.st_uid, input.opened_.st_gid) != 0 &&
      errno != EPERM) {
    fail_with_errno(errno);
  }
  copy_attributes(input.fd_.get(), work.fd_.get());
  if (fchmod(work.fd_.get(), input.opened_.st_mode & 07777) != 0) fail_with_errno(errno);
}

// A work file that is already there is taken over first, under the same
// rules as in `open_for_writing`: locked, one link, still the one named.
void WorkFile::take_name() {
  if (named_) return;
  if (!link_as_work_file(fd_, folder_)) {
    if (errno != EEXIST) fail_with_errno(errno, kFolderNotWritable);
    // The one there is held locked while its name is taken away.
    struct stat st;
    FileDescriptor left = open_existing_work_file(folder_, st);
    if (unlinkat(folder_.fd(), kWorkFileName.data(), 0) != 0) {
      fail_with_errno(errno, kFolderNotWritable);
    }
    if (!link_as_work_file(fd_, folder_)) {
      // Another run made one in between.
      if (errno == EEXIST) throw NumberedError(kPermissionDenied, kWorkFileInUse);
      fail_with_errno(errno, kFolderNotWritable);
    }
  }
  named_ = true;
}

Replacement finish_work_file(WorkFile& work, InputFile& input) {
  work.flush(true);
  bool well_formed = work.check_->finish();
  if (!well_formed) work.fault_ = work.check_->fault();
  bool kept_whole = well_formed || !input.is_well_formed();
  if (kept_whole && is_read_only(input.folder_, input.name_, input.opened_.st_mode)) {
    throw NumberedError(kPermissionDenied, "the file is read-only");
  }
  // What the file keeps goes on before the durability barrier, so that a
  // file renamed after a crash has it too.
  if (kept_whole) take_what_the_input_was(work, input);
  // A staged file waits with no buffer: a commit group holds only descriptors.
  work.check_.reset();
  work.buffer_.reset();
  input.buffer_.reset();
  std::string().swap(input.spill_);
  return kept_whole ? Replacement::kStaged : Replacement::kNotWellFormed;
}

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

void make_durable(WorkFile& work) {
  if (fsync(work.fd_.get()) != 0) fail_with_errno(errno);
}

Replacement put_in_place(WorkFile& work, InputFile& input) {
  work.take_name();
  // Where the timestamps cannot tell, the bytes do.
  if (!unchanged_since_open(input.folder_, input.name_, input.opened_) ||
      (input.opened_content_ && input.content_hash() != *input.opened_content_)) {
    return Replacement::kChangedElsewhere;
  }
  // Renamed while still open and locked, so no other run can take the
  // work file over in between.
  if (renameat(work.folder_.fd(), kWorkFileName.data(), input.folder_.fd(), input.name_.c_str()) !=
      0) {
    fail_with_errno(errno, kFolderNotWritable);
  }
  // The data is on disk since the fsync: a failing close loses nothing.
  (void)work.fd_.close_checked();
  close_replaced_input(std::move(input.fd_));
  return Replacement::kReplaced;
}

void leave_work_file(WorkFile& work, InputFile& input) {
  if (work.is_open()) {
    work.take_name();
    // Left behind, it is the operator's again, and private.
    if (work.took_input_attributes_) {
      int failed = fchown(work.fd_.get(), work.owner_, work.group_);
      failed |= fchmod(work.fd_.get(), 0600);
      (void)failed;  // best effort: the text it holds is what matters
    }
  }
  close_all_files(input, work);
}

}  // namespace rodozerez
