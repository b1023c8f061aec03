#include "lineio/wildcard.h"

#include <algorithm>

#include "lineio/text.h"

namespace rodozerez {
namespace {

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Bytes that make up the character at `at`: a whole well-formed UTF-8
// sequence, else the single byte, so "?" stands for one character as shown.
std::size_t character_length(std::string_view s, std::size_t at) {
  return std::max<std::size_t>(1, utf8_sequence_length(s, at));
}

}  // namespace

bool matches_wildcard(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") return true;
  // Greedy matching with a single backtrack point, the last "*": linear in
  // practice and never recursive, whatever the pattern.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += character_length(name, n);
    } else if (p < pattern.size() && fold(pattern[p]) == fold(name[n])) {
      ++p;
      ++n;
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

}  // namespace rodozerez
