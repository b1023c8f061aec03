#include "lineio/key_decoder.h"

#include <gtest/gtest.h>

namespace rodozerez {
namespace {

// The keys decoded from the bytes a terminal sent, with no pause between
// them.
std::vector<Key> keys_of(std::string_view bytes) {
  KeyDecoder decoder;
  std::vector<Key> keys;
  for (char c : bytes) decoder.feed(static_cast<unsigned char>(c), keys);
  return keys;
}

// The same keys as a readable string: characters as typed, "<" for
// Backspace, "|" for Enter.
std::string typed(std::string_view bytes) {
  std::vector<Key> keys = keys_of(bytes);
  std::string out;
  for (const auto& k : keys) {
    out += k.kind == KeyKind::kEnter ? "|" : k.kind == KeyKind::kBackspace ? "<" : k.bytes;
  }
  return out;
}

TEST(KeyDecoder, CharactersEnterAndBackspace) {
  EXPECT_EQ(typed("x\by\r"), "x<y|");
  EXPECT_EQ(typed("n\x7F"), "n<");
}

TEST(KeyDecoder, ArrowAndFunctionKeysVanishWhole) {
  EXPECT_EQ(typed("a\x1b[Ab\x1b[15~c\x1bOPd\r"), "abcd|");
}

TEST(KeyDecoder, ModifiedKeysAndPasteMarkersVanishWhole) {
  EXPECT_EQ(typed("\x1b[1;5C*.xml\x1b[200~x\x1b[201~\r"), "*.xmlx|");
}

TEST(KeyDecoder, AltWithAKeyVanishes) {
  EXPECT_EQ(typed("\x1bxy"), "y");
  EXPECT_EQ(typed("\x1b\xC3\xA9y"), "y");
}

TEST(KeyDecoder, LoneEscapeIsAKeyOfItsOwnAfterTheWait) {
  KeyDecoder decoder;
  std::vector<Key> keys;
  decoder.feed(0x1B, keys);
  EXPECT_TRUE(decoder.pending());
  decoder.time_out(keys);
  EXPECT_FALSE(decoder.pending());
  decoder.feed('[', keys);  // now an ordinary character
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].bytes, "[");
}

TEST(KeyDecoder, OtherControlBytesAreIgnored) {
  EXPECT_EQ(typed("\t\x03\x01y\r"), "y|");
}

TEST(KeyDecoder, LoneLfIsEnterButCrLfIsOneEnter) {
  EXPECT_EQ(typed("n\n*.xml\n"), "n|*.xml|");
  EXPECT_EQ(typed("n\r\n*\r\n"), "n|*|");
}

TEST(KeyDecoder, Utf8SequencesAreOneCharacter) {
  std::vector<Key> keys = keys_of("\xC3\xA9\xE2\x97\x8B");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].bytes, "\xC3\xA9");
  EXPECT_EQ(keys[1].bytes, "\xE2\x97\x8B");
}

TEST(KeyDecoder, MalformedBytesAreSingleCharacters) {
  std::vector<Key> keys = keys_of("\xC3z\xFF\xC2\x85");
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[0].bytes, "\xC3");
  EXPECT_EQ(keys[1].bytes, "z");
  EXPECT_EQ(keys[2].bytes, "\xFF");
  EXPECT_EQ(keys[3].bytes, "\xC2");  // a C1 control is two stray bytes
  EXPECT_EQ(keys[4].bytes, "\x85");
}

}  // namespace
}  // namespace rodozerez
