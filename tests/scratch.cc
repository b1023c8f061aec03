#include "scratch.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "lineio/well_formed.h"

namespace rodozerez::testing {

ScratchDir::ScratchDir(const std::filesystem::path& base) {
  std::string pattern = (base / "rodozerez-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  // Tests take write bits away; give them back so everything can go.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    if (!entry.is_symlink()) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool file_exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

bool wait_for_file(const std::string& path, int timeout_ms) {
  for (int waited_ms = 0; waited_ms < timeout_ms; ++waited_ms) {
    if (file_exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return file_exists(path);
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::string without_cr(std::string text) {
  std::erase(text, '\r');
  return text;
}

bool well_formed(std::string_view document) {
  WellFormedCheck check;
  check.feed(document);
  return check.finish();
}

std::string numbered_name(std::string_view prefix, long number, std::string_view suffix) {
  std::string name(prefix);
  name += std::to_string(number);
  name += suffix;
  return name;
}

}  // namespace rodozerez::testing
