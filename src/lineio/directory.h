// Folders: the directory search behind the file list, and making the
// renames in a folder durable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lineio/file_descriptor.h"

namespace rodozerez {

// The path of `name` in `directory`; "" is the current directory.
inline std::string path_in(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!path.empty()) path += '/';
  path += name;
  return path;
}

// The folder itself as a path to open: "" is the current one, ".".
inline std::string folder_or_current(std::string_view directory) {
  return directory.empty() ? std::string(".") : std::string(directory);
}

// A listed file: the directory it was found in ("" for the current one) and
// its bare name, which is what the operator is shown.
struct ListedFile {
  std::string directory;
  std::string name;
  std::string path() const { return path_in(directory, name); }
};

// Every regular file whose name matches the wildcard part of
// `specification` (its text after the last "/"), in listing order. Hidden
// names, directories, links, FIFOs, sockets, devices and the work file's own
// name are never listed. A missing directory lists nothing; nothing here
// reports an error.
std::vector<ListedFile> list_matching_files(std::string_view specification);

// The folder itself, opened for reading (to sync it, or to watch its file
// system); a failure is thrown.
FileDescriptor open_folder(const std::string& directory);

// fsyncs a directory, so that renames made in it are on disk.
void sync_directory(const std::string& directory);

}  // namespace rodozerez
