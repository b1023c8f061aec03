// The work file's life after its writing, on POSIX: staging with the guard
// and what the file keeps (owner, bits, ACL, attributes), durability, the
// put in place (the work file's name for an unnamed one, the check that
// nobody else changed the input meanwhile, the atomic rename), and the
// leave of a work file that is not to replace its input.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "lineio/console.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/exclusive_open-posix.h"
#include "lineio/line_file.h"

namespace rodozerez {
namespace {

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
void WorkFile::take_what_the_input_was(const InputFile& input) {
  took_input_attributes_ = true;
  const FileIdentity& was = input.identity();
  bool same_owner = owner_ == was.owner && group_ == was.group;
  if (!same_owner && fchown(fd_.get(), was.owner, was.group) != 0 && errno != EPERM) {
    fail_with_errno(errno);
  }
  copy_attributes(input.descriptor().get(), fd_.get());
  if (fchmod(fd_.get(), was.mode) != 0) fail_with_errno(errno);
}

// A work file left behind under the name is removed first, under the same
// rules as in `create`: locked, one link, still the one named.
void WorkFile::take_name() {
  if (named_) return;
  if (!link_as_work_file(fd_, folder_)) {
    if (errno != EEXIST) fail_with_errno(errno, kFolderNotWritable);
    remove_left_over_work_file(folder_);
    if (!link_as_work_file(fd_, folder_)) {
      // Another run made one in between.
      if (errno == EEXIST) throw NumberedError(kPermissionDenied, kWorkFileInUse);
      fail_with_errno(errno, kFolderNotWritable);
    }
  }
  named_ = true;
}

Replacement WorkFile::stage(InputFile& input) {
  // Ctrl+C before the last block: the file is left as it was.
  if (stop_requested()) throw NumberedError(kStoppedByCtrlC);
  flush(true);
  bool well_formed = check_->finish();
  if (!well_formed) fault_ = check_->fault();
  bool kept_whole = well_formed || !input.is_well_formed();
  if (kept_whole && input.is_read_only()) {
    throw NumberedError(kPermissionDenied, "the file is read-only");
  }
  // What the file keeps goes on before the durability barrier, so that a
  // file renamed after a crash has it too.
  if (kept_whole) take_what_the_input_was(input);
  // A staged file waits with no buffer: a commit group holds only descriptors.
  check_.reset();
  buffer_.reset();
  input.release_buffers();
  return kept_whole ? Replacement::kStaged : Replacement::kNotWellFormed;
}

void WorkFile::make_durable() {
  if (fsync(fd_.get()) != 0) fail_with_errno(errno);
}

Replacement WorkFile::put_in_place(InputFile& input) {
  take_name();
  if (!input.unchanged_since_opened()) return Replacement::kChangedElsewhere;
  // Renamed while still open and locked, so no other run can take the
  // work file over in between.
  if (renameat(folder_.fd(), kWorkFileName.data(), input.folder().fd(), input.name().c_str()) !=
      0) {
    fail_with_errno(errno, kFolderNotWritable);
  }
  // The data is on disk since the fsync: a failing close loses nothing.
  (void)fd_.close_checked();
  input.close_replaced();
  return Replacement::kReplaced;
}

void WorkFile::leave(InputFile& input) {
  if (is_open() && took_input_attributes_) {
    // It wore the input's owner, bits or ACL, and a program that opened it
    // then keeps its descriptor: no name may lead to it again. (The lock
    // keeps every other run from the name, so it still stands for this
    // file; it is checked all the same.)
    struct stat ours, named;
    if (named_ && fstat(fd_.get(), &ours) == 0 &&
        fstatat(folder_.fd(), kWorkFileName.data(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        ours.st_dev == named.st_dev && ours.st_ino == named.st_ino &&
        unlinkat(folder_.fd(), kWorkFileName.data(), 0) != 0) {
      fail_with_errno(errno, kFolderNotWritable);
    }
  } else if (is_open()) {
    take_name();
  }
  close_all_files(input, *this);
}

}  // namespace rodozerez
