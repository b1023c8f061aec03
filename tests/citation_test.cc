#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"

namespace rodozerez {
namespace {

using testing::crlf;
using Lines = std::vector<std::string>;

const std::string kStart = "        <origin>";
const std::string kAgency = "          Varnholt Agency (VRA)";
const std::string kEnd = "        </origin>";
const std::string kPubdate = "        <pubdate>2026</pubdate>";

// The citation rules run on the lines after "<citeinfo>"; `left` receives
// the current line they leave for the next phase.
testing::PhaseResult citation(const Lines& input, std::string* left = nullptr) {
  return testing::run_phase(
      crlf(input),
      [&](Pass& pass) {
        apply_citation_rules(pass);
        if (left) *left = pass.line;
      },
      "      <citeinfo>");
}

TEST(Citation, NoOriginGetsTheAgencyAndTheInputPubdateIsDropped) {
  std::string left;
  auto r = citation({"        <pubdate>2004</pubdate>", "        <title>T</title>"}, &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  EXPECT_EQ(left, "        <pubdate>2004</pubdate>");
  // A publication date over several lines goes whole.
  r = citation({"        <pubdate>", "          2004", "        </pubdate>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  EXPECT_EQ(left, "        </pubdate>");
}

TEST(Citation, NoOriginKeepsAnyOtherLineAfterThePubdate) {
  std::string left;
  auto r = citation({"        <title>T</title>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "        <title>T</title>"}));
  EXPECT_EQ(left, "        <title>T</title>");
}

TEST(Citation, OneLineOriginNamingTheDistributorInBothFormsIsReplaced) {
  auto r = citation({"        <origin>Corvane (CRVN)</origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
}

TEST(Citation, OneLineOriginNamingAnybodyElseIsRemoved) {
  for (std::string origin : {"        <origin>Zeph Aerial Survey</origin>",
                             "        <origin>Corvane</origin>", "        <origin>CRVN</origin>",
                             "        <origin>corvane (crvn)</origin>"}) {
    auto r = citation({origin, "x"});
    EXPECT_EQ(r.lines, (Lines{kPubdate})) << origin;
  }
}

TEST(Citation, StartTagFollowedByATabIsNotAStartTagAlone) {
  auto r = citation({"        <origin>\t", "          Corvane (CRVN)", "        </origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  r = citation({"        <origin>\t", "          Somebody", "        </origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{kPubdate}));
}

TEST(Citation, EmptyOriginElementGetsTheAgencyBetweenItsOwnTags) {
  std::string left;
  auto r = citation({"      <origin>   ", "      </origin>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{"      <origin>   ", kAgency, "      </origin>", kPubdate}));
  EXPECT_EQ(left, "      </origin>");
}

TEST(Citation, ValueNamingTheDistributorInBothFormsBecomesTheAgency) {
  std::string left;
  auto r = citation({"        <origin>", "          Corvane (CRVN)", "        </origin>",
                     "        <title>T</title>"},
                    &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  EXPECT_EQ(left, "        </origin>");  // consumed: the next phase does not write it
}

TEST(Citation, ValueNamingAnybodyElseRemovesTheWholeElement) {
  auto r = citation({"        <origin>", "          Zeph Aerial Survey", "        </origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{kPubdate}));
}

// A value over several lines goes whole, through the end tag; both forms
// of the name count when they stand on different lines of it.
TEST(Citation, OriginValueOverSeveralLinesIsConsumedThroughItsEndTag) {
  std::string left;
  auto r = citation({"        <origin>", "          Corvane", "          (CRVN)", "        </origin>",
                     "        <title>T</title>"},
                    &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  EXPECT_EQ(left, "        </origin>");

  r = citation({"        <origin>", "          Somebody", "          Else", "        </origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{kPubdate}));
  r = citation({"        <origin>Somebody", "          Else</origin>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{kPubdate}));
  EXPECT_EQ(left, "          Else</origin>");
}

TEST(Citation, InputEndingInsideTheCitationIsPastEnd) {
  EXPECT_EQ(citation({}).error, kInputPastEnd);
  EXPECT_EQ(citation({"        <origin>"}).error, kInputPastEnd);
  EXPECT_EQ(citation({"        <origin>", "          Corvane (CRVN)"}).error, kInputPastEnd);
}

}  // namespace
}  // namespace rodozerez
