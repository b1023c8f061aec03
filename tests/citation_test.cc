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
  // A publication date over several lines goes whole, and so does one
  // whose start tag has attributes.
  r = citation({"        <pubdate Sync=\"TRUE\">", "          2004", "        </pubdate>", "x"},
               &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  EXPECT_EQ(left, "        </pubdate>");
}

TEST(Citation, NoOriginKeepsAnyOtherLineAfterThePubdate) {
  std::string left;
  auto r = citation({"        <title>T</title>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "        <title>T</title>"}));
  EXPECT_EQ(left, "        <title>T</title>");
}

// After the origins the next line is read: the template's own publication
// date gives way to the inserted one, anything else follows it.
TEST(Citation, OneLineOriginNamingTheDistributorInBothFormsIsReplaced) {
  std::string left;
  auto r = citation(
      {"        <origin>Corvane (CRVN)</origin>", "        <pubdate>2004</pubdate>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate}));
  EXPECT_EQ(left, "        <pubdate>2004</pubdate>");
  // A start tag with attributes never stands alone: the one-line rules.
  r = citation(
      {"        <origin Sync=\"TRUE\">Corvane (CRVN)</origin>", "        <title>T</title>"}, &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "        <title>T</title>"}));
  EXPECT_EQ(left, "        <title>T</title>");
}

// An originator is never removed with nothing in its place.
TEST(Citation, OneLineOriginNamingAnybodyElseIsKeptAsItStands) {
  for (std::string origin : {"        <origin>Zeph Aerial Survey</origin>",
                             "        <origin>Corvane</origin>", "        <origin>CRVN</origin>",
                             "        <origin>corvane (crvn)</origin>"}) {
    auto r = citation({origin, "        <pubdate>2004</pubdate>", "x"});
    EXPECT_EQ(r.lines, (Lines{origin, kPubdate})) << origin;
  }
}

TEST(Citation, OneLineOriginWithoutValueGetsTheAgency) {
  for (std::string origin : {"        <origin></origin>", "        <origin> \t </origin>",
                             "        <origin/>", "        <origin Sync=\"TRUE\"/>"}) {
    auto r = citation({origin, "        <title>T</title>"});
    EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "        <title>T</title>"}))
        << origin;
  }
}

TEST(Citation, StartTagFollowedByATabIsNotAStartTagAlone) {
  auto r = citation({"        <origin>\t", "          Corvane (CRVN)", "        </origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "x"}));
  r = citation({"        <origin>\t", "          Somebody", "        </origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{"        <origin>\t", "          Somebody", "        </origin>",
                            kPubdate, "x"}));
}

TEST(Citation, EmptyOriginElementGetsTheAgencyBetweenItsOwnTags) {
  std::string left;
  auto r = citation({"      <origin>   ", "      </origin>", "x"}, &left);
  EXPECT_EQ(r.lines, (Lines{"      <origin>   ", kAgency, "      </origin>", kPubdate, "x"}));
  EXPECT_EQ(left, "x");
}

TEST(Citation, ValueNamingTheDistributorInBothFormsBecomesTheAgency) {
  std::string left;
  auto r = citation({"        <origin>", "          Corvane (CRVN)", "        </origin>",
                     "        <title>T</title>"},
                    &left);
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "        <title>T</title>"}));
  EXPECT_EQ(left, "        <title>T</title>");  // written: the next phase does not write it
}

TEST(Citation, ValueNamingAnybodyElseIsKeptWhole) {
  Lines origin = {"        <origin>", "          Zeph Aerial Survey", "        </origin>"};
  auto r = citation(testing::concat({origin, {"x"}}));
  EXPECT_EQ(r.lines, testing::concat({origin, {kPubdate, "x"}}));
}

// A value over several lines goes whole, through the end tag; both forms
// of the name count when they stand on different lines of it.
TEST(Citation, OriginValueOverSeveralLinesIsTakenThroughItsEndTag) {
  auto r = citation({"        <origin>", "          Corvane", "          (CRVN)",
                     "        </origin>", "        <title>T</title>"});
  EXPECT_EQ(r.lines, (Lines{kStart, kAgency, kEnd, kPubdate, "        <title>T</title>"}));

  Lines other = {"        <origin>", "          Somebody", "          Else", "        </origin>"};
  r = citation(testing::concat({other, {"x"}}));
  EXPECT_EQ(r.lines, testing::concat({other, {kPubdate, "x"}}));
  r = citation({"        <origin>Somebody", "          Else</origin>", "x"});
  EXPECT_EQ(r.lines, (Lines{"        <origin>Somebody", "          Else</origin>", kPubdate, "x"}));
}

// A record with several originators keeps all the others, and still gets
// one publication date, after them all.
TEST(Citation, OriginsThatFollowAtOnceAreKeptAndThePubdateComesAfterThem) {
  std::string left;
  auto r = citation({"        <origin>", "        </origin>", "        <origin>Zeph</origin>",
                     "        <origin>", "          Halden", "        </origin>",
                     "        <pubdate>2004</pubdate>", "        <title>T</title>"},
                    &left);
  EXPECT_EQ(r.lines, (Lines{"        <origin>", kAgency, "        </origin>",
                            "        <origin>Zeph</origin>", "        <origin>", "          Halden",
                            "        </origin>", kPubdate}));
  EXPECT_EQ(left, "        <pubdate>2004</pubdate>");
}

// An origin too long to hold while deciding names nobody: it is kept, and
// memory stays bounded.
TEST(Citation, OriginLongerThanItCanHoldIsKeptAsRead) {
  Lines origin = {"        <origin>"};
  for (int i = 0; i < 2000; ++i)
    origin.push_back("          Corvane survey line " + std::to_string(i));
  origin.push_back("          (CRVN)");
  origin.push_back("        </origin>");
  auto r = citation(testing::concat({origin, {"x"}}));
  EXPECT_EQ(r.lines, testing::concat({origin, {kPubdate, "x"}}));
}

TEST(Citation, InputEndingInsideTheCitationIsPastEnd) {
  EXPECT_EQ(citation({}).error, kInputPastEnd);
  EXPECT_EQ(citation({"        <origin>"}).error, kInputPastEnd);
  EXPECT_EQ(citation({"        <origin>", "          Corvane (CRVN)"}).error, kInputPastEnd);
}

}  // namespace
}  // namespace rodozerez
