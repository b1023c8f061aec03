// Opening files for this tool alone: the exclusive lock both files are held
// with, and the rule by which a work file left behind is taken over. Shared
// by the line files and the replace of an input.
#pragma once

#include <sys/stat.h>

#include <string_view>

#include "lineio/directory.h"
#include "lineio/file_descriptor.h"

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

// A "tempxxx.xxx" that is already there in `folder`, left by an earlier
// skipped file or an interrupted run: taken over only when it is a regular
// file, locked before it is cut, and made private again.
FileDescriptor open_existing_work_file(const Folder& folder, struct stat& st);

}  // namespace rodozerez
