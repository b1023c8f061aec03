#include "lineio/byte_text.h"

#include <gtest/gtest.h>

namespace rodozerez {
namespace {

TEST(FindText, FindsTheFirstOccurrenceAtOrAfterStart) {
  EXPECT_EQ(find_text(1, "    <metd>2004</metd>", "<metd>"), 5u);
  EXPECT_EQ(find_text(6, "<a><a>", "<a>"), 0u);
  EXPECT_EQ(find_text(2, "<a><a>", "<a>"), 4u);
}

TEST(FindText, EdgeCasesOfEmptyTextPatternAndStart) {
  EXPECT_EQ(find_text(1, "abc", ""), 1u);
  EXPECT_EQ(find_text(1, "", "x"), 0u);
  EXPECT_EQ(find_text(1, "", ""), 0u);
  EXPECT_EQ(find_text(4, "abc", "c"), 0u);
  EXPECT_EQ(find_text(0, "abc", "a"), 0u);
}

TEST(Contains, IsCaseSensitiveAndBytewise) {
  EXPECT_FALSE(contains("    <METD>20040101</METD>", "<metd>"));
  EXPECT_TRUE(contains("<!-- <citeinfo> in a comment -->", "<citeinfo>"));
  EXPECT_FALSE(contains("", "<citeinfo>"));
  EXPECT_TRUE(contains(std::string("a\0<metd>", 8), "<metd>"));
}

TEST(Trimmed, RemovesSpacesOnlyNotTabs) {
  EXPECT_EQ(trimmed("        <origin>   "), "<origin>");
  EXPECT_EQ(trimmed("\t <origin>"), "\t <origin>");
  EXPECT_EQ(trimmed("<origin>\t"), "<origin>\t");
  EXPECT_EQ(trimmed("     "), "");
}

TEST(LeadingBlanks, TakesAnyMixOfSpacesAndTabs) {
  EXPECT_EQ(leading_blanks(" \t  20040101"), " \t  ");
  EXPECT_EQ(leading_blanks("20040101"), "");
  EXPECT_EQ(leading_blanks(" \t"), " \t");
}

TEST(UpperCase, AsciiAndTheSevenCodePage437Letters) {
  EXPECT_EQ(upper_case("n"), "N");
  EXPECT_EQ(upper_case("no Way 1"), "NO WAY 1");
  EXPECT_EQ(upper_case("\x84\x94\x81\x82\xA4\x86\x87"), "\x8E\x99\x9A\x90\xA5\x8F\x80");
  EXPECT_EQ(upper_case("\x85\xE9\xFF"), "\x85\xE9\xFF");
}

TEST(FormatCount, RightAlignsInSixAndNeverCuts) {
  EXPECT_EQ(format_count(1), "     1");
  EXPECT_EQ(format_count(5000), "  5000");
  EXPECT_EQ(format_count(0), "     0");
  EXPECT_EQ(format_count(1234567), "1234567");
}

TEST(NumberText, SignPlaceDigitsAndOneSpace) {
  EXPECT_EQ(number_text(62), " 62 ");
  EXPECT_EQ(number_text(7), " 7 ");
  EXPECT_EQ(number_text(-3), "-3 ");
}

TEST(Utf8SequenceLength, AcceptsWellFormedAndRefusesTheRest) {
  EXPECT_EQ(utf8_sequence_length("\xC3\xA9", 0), 2u);          // é
  EXPECT_EQ(utf8_sequence_length("\xE2\x97\x8B", 0), 3u);      // ○
  EXPECT_EQ(utf8_sequence_length("\xF0\x9F\x98\x80", 0), 4u);  // emoji
  EXPECT_EQ(utf8_sequence_length("\xC0\xAF", 0), 0u);          // overlong
  EXPECT_EQ(utf8_sequence_length("\xED\xA0\x80", 0), 0u);      // surrogate
  EXPECT_EQ(utf8_sequence_length("\xF4\x90\x80\x80", 0), 0u);  // past U+10FFFF
  EXPECT_EQ(utf8_sequence_length("\xE2\x97", 0), 0u);          // cut short
  EXPECT_EQ(utf8_sequence_length("\x9B", 0), 0u);              // lone continuation
}

}  // namespace
}  // namespace rodozerez
