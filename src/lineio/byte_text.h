// Text operations on byte strings.
//
// A text is any run of bytes; a character is a byte; nothing is converted
// between character sets. Landmarks are found by exact, case-sensitive byte
// search, and only the space byte (32) counts as a space when trimming.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rodozerez {

// 1-based position of the first `pattern` at or after `start` in `text`, or
// 0. An empty text yields 0; an empty pattern yields `start`.
std::size_t find_text(std::size_t start, std::string_view text, std::string_view pattern);

// True when `tag` occurs anywhere in `line`; an empty line holds no tag.
inline bool contains(std::string_view line, std::string_view tag) {
  return find_text(1, line, tag) != 0;
}

// `line` without its leading and trailing bytes 32; tabs stay.
std::string_view trimmed(std::string_view line);

// The leading run of spaces and tabs, in any mix.
std::string_view leading_blanks(std::string_view line);

// ASCII letters and seven code page 437 letters to upper case.
std::string upper_case(std::string_view text);

// A count right-aligned in six places, never cut when it is wider.
std::string format_count(std::size_t count);

// A number as the operator sees it after an error: sign place, digits, one
// trailing space (" 62 ", "-5 ").
std::string number_text(long number);

// The length a UTF-8 sequence with this lead byte must have (2 to 4), or 0
// for a byte that cannot lead one (ASCII, continuation bytes, C0, C1, F5+).
std::size_t utf8_length_from_lead(unsigned char lead);

// True for a whole UTF-8 sequence that encodes a C1 control, U+0080 to
// U+009F (C2 80 to C2 9F): on an 8-bit terminal these act as controls.
bool is_c1_control(std::string_view sequence);

// The bytes of the well-formed UTF-8 sequence that starts at `at` (no
// overlong forms, surrogates or code points past U+10FFFF), or 0 when none
// does.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);

}  // namespace rodozerez
