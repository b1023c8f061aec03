// Shared by the fuzz targets: documents in memory-backed files, a plain
// reference for where lines end, and a record of the largest allocation.
#pragma once

#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace rodozerez::fuzzing {

// A folder in /dev/shm for this process's files.
inline const std::string& folder() {
  static const std::string dir = [] {
    std::string d = "/dev/shm/rodozerez-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(d);
    std::atexit([] { std::filesystem::remove_all("/dev/shm/rodozerez-fuzz-" + std::to_string(getpid())); });
    return d;
  }();
  return dir;
}

inline std::string file_holding(const std::string& bytes) {
  std::string path = folder() + "/input.xml";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

inline std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// True when the data (up to byte 26) holds no CR: the file's lines end at
// LF.
inline bool is_lf_file(const std::string& bytes) {
  std::size_t end = std::min(bytes.find('\x1A'), bytes.size());
  return bytes.find('\r') >= end;
}

// Where lines end, one byte at a time. Byte 26 ends the data. In an LF
// file an LF ends a line; in any other, CR LF or a lone CR ends a line and
// a lone LF is an ordinary byte.
inline std::vector<std::string> reference_lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool collecting = false;
  char ending = is_lf_file(bytes) ? '\n' : '\r';
  for (std::size_t i = 0; i < bytes.size() && bytes[i] != 26; ++i) {
    if (bytes[i] == ending) {
      lines.push_back(line);
      line.clear();
      collecting = false;
      if (ending == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += bytes[i];
      collecting = true;
    }
  }
  if (collecting) lines.push_back(line);
  return lines;
}

inline void check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// The largest single allocation since the last reset, for the memory
// bound; measured by AddressSanitizer's allocation hook.
inline std::size_t largest_allocation = 0;

inline void on_allocation(const volatile void*, std::size_t size) {
  if (size > largest_allocation) largest_allocation = size;
}
inline void on_release(const volatile void*) {}

inline void measure_allocations() {
  static bool installed = __sanitizer_install_malloc_and_free_hooks(on_allocation, on_release);
  (void)installed;
}

}  // namespace rodozerez::fuzzing
