#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"

namespace rodozerez {
namespace {

using testing::crlf;
using Lines = std::vector<std::string>;

// The element opens on `tag_line`; `next` receives the caller's next read.
testing::PhaseResult replace(const std::string& tag_line, const Lines& rest,
                             std::string* next = nullptr) {
  return testing::run_phase(
      crlf(rest),
      [&](Pass& pass) {
        replace_tag_value(pass, "<metd>", "20261208");
        if (next) *next = pass.input.read_line();
      },
      tag_line);
}

TEST(TagValue, OneLineElementKeepsItsIndentAndLosesTextAfterIt) {
  auto r = replace("    <metd>20040115</metd><!-- old -->", {"x"});
  EXPECT_EQ(r.lines, (Lines{"    <metd>20261208</metd>"}));
}

TEST(TagValue, OneLineElementKeepsTextBeforeTheTag) {
  auto r = replace("<metainfo><metd>20040115</metd>", {"x"});
  EXPECT_EQ(r.lines, (Lines{"<metainfo><metd>20261208</metd>"}));
}

TEST(TagValue, ThreeLineElementIndentsTheValueTwoDeeperThanTheClosingLine) {
  std::string next;
  auto r = replace("    <metd>", {"  20040115", "    </metd>", "after"}, &next);
  EXPECT_EQ(r.lines, (Lines{"    <metd>", "      20261208", "    </metd>"}));
  EXPECT_EQ(next, "after");
}

TEST(TagValue, ClosingLineIndentedByATabGivesThreeSpaces) {
  auto r = replace("\t<metd>", {"\t\t20040115", "\t</metd>"});
  EXPECT_EQ(r.lines, (Lines{"\t<metd>", "   20261208", "\t</metd>"}));
}

TEST(TagValue, EmptyTwoLineElementGainsAValueLine) {
  auto r = replace("    <metd>", {"    </metd>"});
  EXPECT_EQ(r.lines, (Lines{"    <metd>", "      20261208", "    </metd>"}));
}

TEST(TagValue, ClosingLineHoldingTheOldValueGetsTheNewValueInstead) {
  auto r = replace("    <metd>", {"    20040115</metd>"});
  EXPECT_EQ(r.lines, (Lines{"    <metd>", "    20261208</metd>"}));
  r = replace("    <metd>", {"  old", "\t 19990101</metd> <!-- x -->"});
  EXPECT_EQ(r.lines, (Lines{"    <metd>", "\t 20261208</metd> <!-- x -->"}));
}

TEST(TagValue, ValueAfterAOneLineCommentKeepsItsBlanksAndLeavesTheClosingLine) {
  std::string next;
  auto r = replace("    <metd>", {"      <!-- yyyymmdd -->", " \t20040115", "    </metd>"}, &next);
  EXPECT_EQ(r.lines, (Lines{"    <metd>", " \t20261208"}));
  EXPECT_EQ(next, "    </metd>");
}

TEST(TagValue, UnindentedValueAfterACommentBecomesTheValueAlone) {
  auto r = replace("<metd>", {"<!-- c -->", "20040115", "</metd>"});
  EXPECT_EQ(r.lines, (Lines{"<metd>", "20261208"}));
}

TEST(TagValue, CommentOverSeveralLinesIsWrittenWhole) {
  auto r = replace("    <metd>", {"      <!-- the date", "      of the last review", "      -->",
                                  "      20040115", "    </metd>"});
  EXPECT_EQ(r.lines, (Lines{"    <metd>", "      <!-- the date", "      of the last review",
                            "      -->", "      20261208"}));
}

TEST(TagValue, TwoOldValueLinesLeaveTheSecondsBlanks) {
  auto r = replace("    <metd>", {"      2004", "        0115", "    </metd>"});
  EXPECT_EQ(r.lines, (Lines{"    <metd>", "        20261208"}));
}

TEST(TagValue, CommentThatNeverClosesIsPastEnd) {
  auto r = replace("    <metd>", {"      <!-- the date", "      20040115"});
  EXPECT_EQ(r.error, kInputPastEnd);
}

}  // namespace
}  // namespace rodozerez
