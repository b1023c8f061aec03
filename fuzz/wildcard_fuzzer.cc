// The wildcard matcher against a plain recursive reference, and the
// listing order as a strict weak order.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "lineio/byte_text.h"
#include "lineio/file_names.h"

using namespace rodozerez;
using fuzzing::check;

namespace {

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

std::size_t character(const std::string& s, std::size_t at) {
  return std::max<std::size_t>(1, utf8_sequence_length(s, at));
}

// "*" takes any run of whole characters, "?" one character, anything else
// that same character (ASCII letters in either case). Memoised, so it is
// quick whatever the input.
bool reference(const std::string& pattern, const std::string& name, std::size_t p, std::size_t n,
               std::vector<signed char>& memo) {
  signed char& known = memo[p * (name.size() + 1) + n];
  if (known >= 0) return known;
  bool result;
  if (p == pattern.size()) {
    result = n == name.size();
  } else if (pattern[p] == '*') {
    result = reference(pattern, name, p + 1, n, memo) ||
             (n < name.size() && reference(pattern, name, p, n + character(name, n), memo));
  } else if (pattern[p] == '?') {
    result = n < name.size() && reference(pattern, name, p + 1, n + character(name, n), memo);
  } else {
    std::size_t length = character(pattern, p);
    bool same = n < name.size() && character(name, n) == length &&
                (length == 1 ? fold(pattern[p]) == fold(name[n])
                             : pattern.compare(p, length, name, n, length) == 0);
    result = same && reference(pattern, name, p + length, n + length, memo);
  }
  known = result;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t cut = std::min<std::size_t>(data[0], size - 1);
  std::string pattern(reinterpret_cast<const char*>(data + 1), cut);
  std::string name(reinterpret_cast<const char*>(data + 1 + cut), size - 1 - cut);
  std::vector<signed char> memo((pattern.size() + 1) * (name.size() + 1), -1);
  bool expected = pattern == "*.*" || reference(pattern, name, 0, 0, memo);
  check(matches_wildcard(pattern, name) == expected, "the reference's answer");

  // Never both before each other; equal texts never before each other.
  check(!(listed_before(pattern, name) && listed_before(name, pattern)), "asymmetric order");
  check(!listed_before(name, name), "irreflexive order");
  check(pattern == name || listed_before(pattern, name) || listed_before(name, pattern),
        "distinct names always ordered");
  return 0;
}
