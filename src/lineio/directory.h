// Folders: the directory search behind the file list, the folder every
// later step for the listed files goes through, and making the renames in
// it durable.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lineio/file_descriptor.h"

namespace rodozerez {

// A folder opened once. Every step for the files in it (open, create,
// link, rename, sync) goes through this descriptor and never through the
// folder's path again, so a folder renamed, or swapped for a symbolic link
// to another, while a run works in it cannot send the run elsewhere. Copies
// share the one descriptor.
struct Folder {
  std::shared_ptr<const FileDescriptor> descriptor;

  int fd() const { return descriptor->get(); }
};

// Opens the folder `directory` ("" is the current one); a missing folder
// is 76, any other failure its own number.
Folder open_folder(const std::string& directory);

// The files a specification names: the folder they are in, opened once,
// and their bare names (which is what the operator is shown), in listing
// order.
struct FileList {
  Folder folder;
  std::vector<std::string> names;
};

// Every regular file whose name matches the wildcard part of
// `specification` (its text after the last "/"). Hidden names,
// directories, links, FIFOs, sockets, devices and the work file's own name
// are never listed. A missing folder lists nothing; nothing here reports
// an error.
FileList list_matching_files(std::string_view specification);

// fsyncs the folder, so that renames made in it are on disk.
void sync_directory(const Folder& folder);

}  // namespace rodozerez
