#include "lineio/file_names.h"

#include <algorithm>

#include "lineio/byte_text.h"

namespace rodozerez {
namespace {

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Bytes that make up the character at `at`: a whole well-formed UTF-8
// sequence, else the single byte, so "?" stands for one character as shown.
std::size_t character_length(std::string_view s, std::size_t at) {
  return std::max<std::size_t>(1, utf8_sequence_length(s, at));
}

}  // namespace

// Pattern and name are taken character by character, a character being a
// whole well-formed UTF-8 sequence or else a single byte, so that every
// token stands for exactly one character (a "*" for a run of them). With
// tokens of one width, greedy matching with a single backtrack point, the
// last "*", is exact: linear in practice and never recursive.
bool matches_wildcard(std::string_view pattern, std::string_view name) {
  if (pattern == kEveryName) return true;
  auto same_character = [&](std::size_t p, std::size_t n) {
    std::size_t length = character_length(pattern, p);
    if (length != character_length(name, n)) return false;
    if (length == 1) return fold(pattern[p]) == fold(name[n]);
    return pattern.substr(p, length) == name.substr(n, length);
  };
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same_character(p, n))) {
      p += pattern[p] == '?' ? 1 : character_length(pattern, p);
      n += character_length(name, n);
    } else if (star != std::string_view::npos) {
      p = star + 1;
      star_n += character_length(name, star_n);
      n = star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool listed_before(std::string_view a, std::string_view b) {
  auto folded_less = [](char x, char y) {
    return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
  };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded_less)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded_less)) return false;
  return a < b;
}

std::string with_xml_default(std::string_view filespec) {
  std::size_t slash = filespec.rfind('/');
  std::string_view name = slash == std::string_view::npos ? filespec : filespec.substr(slash + 1);
  std::string searched(filespec);
  if (name.find('.') == std::string_view::npos) searched += ".xml";
  return searched;
}

}  // namespace rodozerez
