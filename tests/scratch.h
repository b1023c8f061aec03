// Test support: scratch folders on the real file system, and whole files
// written and read back byte for byte.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rodozerez::testing {

// A fresh folder under the system's temporary directory (or under
// `base`), removed with everything in it when the test ends.
class ScratchDir {
 public:
  explicit ScratchDir(const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void write_file(const std::string& path, std::string_view bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
// Waits until something exists at `path` (a mark the fault shim makes, say);
// false after `timeout_ms`.
bool wait_for_file(const std::string& path, int timeout_ms = 20000);

// "t17.xml" from "t", 17 and ".xml": the names of generated batches.
std::string numbered_name(std::string_view prefix, long number, std::string_view suffix);

// Lines joined as a template stores them: each ended by CR LF.
std::string crlf(const std::vector<std::string>& lines);

// The same text with LF line ends: every CR removed.
std::string without_cr(std::string text);

// True when `document` is well-formed XML, as the tool's guard judges it.
bool well_formed(std::string_view document);

// Runs of lines one after another, as a document is laid out from blocks.
std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts);

}  // namespace rodozerez::testing
