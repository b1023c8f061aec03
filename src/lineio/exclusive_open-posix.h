// Opening files for this tool alone: the exclusive lock both files are held
// with, and the rule by which a work file left behind is taken over. Shared
// by the line files and the replace of an input.
#pragma once

#include <sys/stat.h>

#include "lineio/directory.h"
#include "lineio/file_descriptor.h"

namespace rodozerez {

// Takes the exclusive lock that keeps other programs out while the file is
// open; a lock held elsewhere is 70. (On any failure here the caller's
// FileDescriptor closes the file as the error unwinds.)
void lock_exclusively(const FileDescriptor& fd);

// Refuses anything but a regular file behind an open descriptor (70).
void require_regular_file(const FileDescriptor& fd, struct stat& st);

// A "tempxxx.xxx" that is already there in `folder`, left by an earlier
// skipped file or an interrupted run: taken over only when it is a regular
// file, locked before it is cut, and made private again.
FileDescriptor open_existing_work_file(const Folder& folder, struct stat& st);

}  // namespace rodozerez
