// Opening files for this tool alone: the exclusive lock both files are held
// with, the checks that a file is the plain file it must be, and the
// careful removal of a work file left behind. Shared by the input file and
// the work file.
#pragma once

#include <sys/stat.h>

#include <string_view>

#include "lineio/directory.h"
#include "lineio/file_descriptor.h"
#include "lineio/line_file.h"

namespace rodozerez {

// What the operator is told when one of the two files is held elsewhere,
// or is not the plain file it must be.
inline constexpr std::string_view kInputInUse = "the file is in use by another program";
inline constexpr std::string_view kInputNotPlain = "the file is not a plain file";
inline constexpr std::string_view kWorkFileInUse =
    "the work file tempxxx.xxx is in use by another program or another run";
inline constexpr std::string_view kWorkFileNotPlain =
    "the work file tempxxx.xxx is a link, has a second name or is not a plain file";
// A refused create, link, rename or removal in the listed folder.
inline constexpr std::string_view kFolderNotWritable = "the folder may not be written";

// Takes the exclusive lock that keeps other programs out while the file is
// open; a lock held elsewhere is 70, with `held` as its cause. (On any
// failure here the caller's FileDescriptor closes the file as the error
// unwinds.)
void lock_exclusively(const FileDescriptor& fd, std::string_view held);

// Refuses anything but a regular file behind an open descriptor: 70, with
// `not_plain` as its cause.
void require_regular_file(const FileDescriptor& fd, struct stat& st, std::string_view not_plain);

// Removes a "tempxxx.xxx" that an earlier skipped file or an interrupted
// run left in `folder`, so that it is never written into again: only when
// it is a regular file with one link, whose lock no other run holds, and
// whose name still stands for what was locked; otherwise 70. Nothing
// there: nothing to do.
void remove_left_over_work_file(const Folder& folder);

// The neutral identity of a file from its status.
inline FileIdentity identity_of(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::int64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec),
          static_cast<std::int64_t>(st.st_mtim.tv_nsec),
          static_cast<std::int64_t>(st.st_ctim.tv_sec),
          static_cast<std::int64_t>(st.st_ctim.tv_nsec),
          static_cast<std::uint32_t>(st.st_uid),
          static_cast<std::uint32_t>(st.st_gid),
          static_cast<std::uint32_t>(st.st_mode & 07777)};
}

}  // namespace rodozerez
