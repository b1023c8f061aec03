// Safe rendering of untrusted bytes (file names, typed answers) for the
// terminal. No byte of such a text ever reaches the terminal as a control
// code: bytes 0-31 and 127 show as their code page 437 glyphs (a tab as ○),
// well-formed UTF-8 of printable characters passes through, and C1 code
// points or malformed bytes show as the code page 437 glyph of each byte.
// Characters that reorder or hide the text around them (bidi controls,
// zero-width characters) or pass for a space (U+00A0, U+3000) show as
// U+FFFD, so a name cannot pose as another.
//
// A terminal whose character set is not UTF-8 gets ASCII only: every byte
// that is not printable ASCII shows as "?".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rodozerez {

// Appends the UTF-8 rendering of the one character at `at` to `out` (one
// cell wide) and returns how many bytes of `text` it stood for.
std::size_t render_character(std::string_view text, std::size_t at, std::string& out,
                             bool ascii_only = false);

}  // namespace rodozerez
