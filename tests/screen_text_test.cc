#include "lineio/screen_text.h"

#include <gtest/gtest.h>

namespace rodozerez {
namespace {

// The whole text as shown, and the cells it takes.
std::pair<std::string, std::size_t> shown(std::string_view text) {
  std::string out;
  std::size_t cells = 0;
  for (std::size_t at = 0; at < text.size(); ++cells) at += render_character(text, at, out);
  return {out, cells};
}

TEST(ScreenText, PrintableAsciiAndUtf8PassThrough) {
  EXPECT_EQ(shown("doqq-4309601-ne.xml"), std::make_pair(std::string("doqq-4309601-ne.xml"), std::size_t{19}));
  EXPECT_EQ(shown("caf\xC3\xA9.xml"), std::make_pair(std::string("caf\xC3\xA9.xml"), std::size_t{8}));
}

TEST(ScreenText, ControlBytesShowAsCodePage437Glyphs) {
  EXPECT_EQ(shown("\t").first, "\xE2\x97\x8B");    // ○
  EXPECT_EQ(shown("\x1B").first, "\xE2\x86\x90");  // ←
  EXPECT_EQ(shown("\x07").first, "\xE2\x80\xA2");  // •
  EXPECT_EQ(shown("\r").first, "\xE2\x99\xAA");    // ♪
  EXPECT_EQ(shown("\x7F").first, "\xE2\x8C\x82");  // ⌂
}

TEST(ScreenText, C1AndMalformedBytesShowAsGlyphsOfEachByte) {
  EXPECT_EQ(shown("\x9B"), std::make_pair(std::string("\xC2\xA2"), std::size_t{1}));  // ¢, not CSI
  EXPECT_EQ(shown("\xC2\x9B"), std::make_pair(std::string("\xE2\x94\xAC\xC2\xA2"), std::size_t{2}));
  EXPECT_EQ(shown("\xFF").first, "\xEF\xBF\xBD");  // its glyph, U+00A0, passes for a space
}

// Characters that would hide themselves in a name, or make it pose as
// another (look-alike spaces among them), show as U+FFFD; visible
// neighbours of theirs pass through.
TEST(ScreenText, InvisibleCharactersShowAsAStandIn) {
  const std::string kStandIn = "\xEF\xBF\xBD";
  for (std::string invisible :
       {"\xC2\xAD",     "\xCD\x8F",     "\xD8\x9C",         "\xE1\x85\x9F",     "\xE1\xA0\x8E",
        "\xE2\x80\x8B", "\xE2\x80\xA8", "\xE2\x80\xAE",     "\xE2\x81\xA3",     "\xE3\x85\xA4",
        "\xEF\xB8\x8F", "\xEF\xBB\xBF", "\xF3\xA0\x80\x81", "\xF3\xA0\x84\x80", "\xC2\xA0",
        "\xE2\x80\x87", "\xE2\x80\xAF", "\xE2\x81\x9F",     "\xE3\x80\x80",     "\xE2\xA0\x80"}) {
    EXPECT_EQ(shown("ab" + invisible + "cd"),
              std::make_pair("ab" + kStandIn + "cd", std::size_t{5}))
        << invisible.size();
  }
  for (std::string visible : {"\xC2\xAC", "\xE2\x80\x90", "\xF0\x9F\x98\x80"}) {
    EXPECT_EQ(shown(visible).first, visible);
  }
}

TEST(ScreenText, NoControlByteEverLeaves) {
  for (int b = 0; b < 256; ++b) {
    std::string text(1, static_cast<char>(b));
    for (unsigned char c : shown(text).first) {
      EXPECT_FALSE(c < 32 || c == 127) << "byte " << b;
    }
    // Nor as a C1 control encoded in UTF-8.
    EXPECT_EQ(shown(text).first.find("\xC2\x9B"), std::string::npos);
  }
}

}  // namespace
}  // namespace rodozerez
