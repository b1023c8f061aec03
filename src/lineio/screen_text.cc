#include "lineio/screen_text.h"

#include <algorithm>
#include <iterator>

#include "lineio/byte_text.h"

namespace rodozerez {
namespace {

// Code page 437 glyphs for the control bytes 0-31.
constexpr char16_t kControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  //
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  //
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  //
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

// Code page 437 glyphs for the bytes 128-255.
constexpr char16_t kHighGlyphs[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  //
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  //
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  //
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  //
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  //
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  //
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  //
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  //
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  //
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  //
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr char16_t kDeleteGlyph = 0x2302;  // byte 127
constexpr char16_t kStandIn = 0xFFFD;      // for characters that hide or reorder text

// Characters that change what a name looks like without showing
// themselves: bidi controls, zero-width and other format characters,
// fillers and variation selectors. The code points with the property
// Default_Ignorable_Code_Point or the general category Cf in Unicode 15.0
// (DerivedCoreProperties.txt, UnicodeData.txt), and the line and paragraph
// separators U+2028 and U+2029; in code point order.
constexpr struct {
  char32_t first, last;
} kInvisible[] = {
    {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x0600, 0x0605},   {0x061C, 0x061C},
    {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},
    {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x200B, 0x200F},
    {0x2028, 0x202E},   {0x2060, 0x206F},   {0x3164, 0x3164},   {0xFE00, 0xFE0F},
    {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0000, 0xE0FFF},
};

// Characters that pass for a plain space: Unicode's space separators (the
// general category Zs) other than U+0020, and the braille blank U+2800,
// which fonts draw as nothing. "a b.xml" and "a<U+00A0>b.xml" must not
// look alike.
constexpr char32_t kLookAlikeSpaces[] = {0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003,
                                         0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009,
                                         0x200A, 0x202F, 0x205F, 0x2800, 0x3000};

// True for a character shown as the stand-in: one that hides, reorders
// text or passes for a space.
bool needs_stand_in(char32_t cp) {
  if (std::find(std::begin(kLookAlikeSpaces), std::end(kLookAlikeSpaces), cp) !=
      std::end(kLookAlikeSpaces)) {
    return true;
  }
  for (const auto& range : kInvisible) {
    if (cp < range.first) return false;
    if (cp <= range.last) return true;
  }
  return false;
}

// The code point of one whole, well-formed UTF-8 sequence.
char32_t code_point(std::string_view sequence) {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
  char32_t cp = b(0) & (0x7F >> sequence.size());
  for (std::size_t i = 1; i < sequence.size(); ++i) cp = (cp << 6) | (b(i) & 0x3F);
  return cp;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The byte's code page 437 glyph; 255's is U+00A0, which passes for a
// space, so it shows as the stand-in.
void append_glyph_of_byte(std::string& out, unsigned char b) {
  if (b == 255) {
    append_utf8(out, kStandIn);
  } else if (b < 32) {
    append_utf8(out, kControlGlyphs[b]);
  } else if (b == 127) {
    append_utf8(out, kDeleteGlyph);
  } else if (b >= 128) {
    append_utf8(out, kHighGlyphs[b - 128]);
  } else {
    out += static_cast<char>(b);
  }
}

}  // namespace

std::size_t render_character(std::string_view text, std::size_t at, std::string& out,
                             bool ascii_only) {
  auto lead = static_cast<unsigned char>(text[at]);
  if (ascii_only) {
    out += lead >= 32 && lead < 127 ? static_cast<char>(lead) : '?';
    return 1;
  }
  if (lead < 128) {
    append_glyph_of_byte(out, lead);
    return 1;
  }
  std::size_t n = utf8_sequence_length(text, at);
  if (n == 0 || is_c1_control(text.substr(at, n))) {
    append_glyph_of_byte(out, lead);
    return 1;
  }
  if (needs_stand_in(code_point(text.substr(at, n)))) {
    append_utf8(out, kStandIn);
    return n;
  }
  out.append(text.substr(at, n));
  return n;
}

}  // namespace rodozerez
