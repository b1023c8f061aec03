// Wildcard names as operators type them, and the order files are listed in.
#include "lineio/file_names.h"

#include <gtest/gtest.h>

namespace rodozerez {
namespace {

TEST(Wildcard, StarAndQuestionMarkMatchAsOperatorsExpect) {
  EXPECT_TRUE(matches_wildcard("*.xml", "a.xml"));
  EXPECT_TRUE(matches_wildcard("*.xml", ".xml"));
  EXPECT_FALSE(matches_wildcard("*.xml", "a.xml.bak"));
  EXPECT_TRUE(matches_wildcard("doqq-?.xml", "doqq-1.xml"));
  EXPECT_FALSE(matches_wildcard("doqq-?.xml", "doqq-12.xml"));
  EXPECT_TRUE(matches_wildcard("*a*b*c", "xxaxxbxxbxc"));
  EXPECT_TRUE(matches_wildcard("*", ""));
  EXPECT_FALSE(matches_wildcard("?", ""));
}

TEST(Wildcard, LettersMatchInEitherCase) {
  EXPECT_TRUE(matches_wildcard("*.XML", "tile.xml"));
  EXPECT_TRUE(matches_wildcard("Tile*", "TILE.xml"));
}

// Only the name part decides whether ".xml" is added: a dot in a folder
// part never widens the search to every file.
TEST(Wildcard, XmlIsAddedToANamePartWithoutADot) {
  EXPECT_EQ(with_xml_default("*"), "*.xml");
  EXPECT_EQ(with_xml_default(""), ".xml");
  EXPECT_EQ(with_xml_default("./data/*"), "./data/*.xml");
  EXPECT_EQ(with_xml_default("v1.2/tile*"), "v1.2/tile*.xml");
  EXPECT_EQ(with_xml_default("data.v2/*.txt"), "data.v2/*.txt");
}

TEST(Wildcard, StarDotStarMatchesNamesWithoutADot) {
  EXPECT_TRUE(matches_wildcard("*.*", "README"));
  EXPECT_FALSE(matches_wildcard("*.x*", "README"));
}

TEST(Wildcard, QuestionMarkIsOneWholeUtf8Character) {
  EXPECT_TRUE(matches_wildcard("caf?.xml", "caf\xC3\xA9.xml"));
  EXPECT_TRUE(matches_wildcard("?", "\xFF"));
}

TEST(Wildcard, LiteralsAreWholeCharactersTooSoWidthsNeverMisalign) {
  EXPECT_TRUE(matches_wildcard("*?\xC3\xA9*x",
                               "a\xC3\xA9"
                               "b\xC3\xA9x"));
  EXPECT_TRUE(matches_wildcard("*\xC3\xA9?.xml", "\xC3\xA9\xC3\xA9\xC3\xA9.xml"));
  // A stray first byte of "é" is not the character "é".
  EXPECT_FALSE(matches_wildcard("caf\xC3*", "caf\xC3\xA9"));
  EXPECT_FALSE(matches_wildcard("*?\xD5*\x87", "\xBB\xCB\xD5\x87\xD5\x87"));
}

TEST(ListingOrder, CaseInsensitiveThenBytewise) {
  EXPECT_TRUE(listed_before("a.xml", "B.xml"));
  EXPECT_TRUE(listed_before("B.xml", "b.xml"));
  EXPECT_FALSE(listed_before("b.xml", "B.xml"));
  EXPECT_TRUE(listed_before("tile", "tile1"));
}

}  // namespace
}  // namespace rodozerez
