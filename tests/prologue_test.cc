#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"
#include "rewriter/boilerplate.h"

namespace rodozerez {
namespace {

using testing::crlf;
using testing::run_phase;
using Lines = std::vector<std::string>;

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
const std::string kDoctype(boilerplate::kDocumentTypeLine);
const std::string kStylesheet(boilerplate::kStylesheetLine);

testing::PhaseResult prologue(const Lines& input, bool stylesheet = true) {
  return run_phase(crlf(input), write_document_prologue, "", stylesheet);
}

TEST(Prologue, DoctypeReplacesLineTwoAndStylesheetPrecedesLineThree) {
  auto r = prologue({kDecl, "<!DOCTYPE metadata SYSTEM \"fgdc.dtd\">", "<metadata>", "  <idinfo>",
                     "      <citeinfo>", "        <origin>"});
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, kStylesheet, "<metadata>", "  <idinfo>",
                            "      <citeinfo>"}));
}

// Real records often open the root element on line 2, or hold their own
// document type on line 1: that line 2 is kept, and nothing is written
// that the document cannot take there.
TEST(Prologue, LineTwoHoldingAnElementIsKept) {
  auto r = prologue({kDecl, "<metadata>", "  <idinfo>", "<citeinfo>"}, false);
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, "<metadata>", "  <idinfo>", "<citeinfo>"}));
  r = prologue({kDecl, "<metadata>", "  <idinfo>", "<citeinfo>"});
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, kStylesheet, "<metadata>", "  <idinfo>", "<citeinfo>"}));
  r = prologue({"<!DOCTYPE metadata SYSTEM \"x.dtd\">", "<metadata>", "<citeinfo>"});
  EXPECT_EQ(r.lines, (Lines{"<!DOCTYPE metadata SYSTEM \"x.dtd\">", kStylesheet, "<metadata>",
                            "<citeinfo>"}));
  r = prologue({kDecl + "<metadata>", "  <idinfo>", "<citeinfo>"});
  EXPECT_EQ(r.lines, (Lines{kDecl + "<metadata>", "  <idinfo>", "<citeinfo>"}));
  std::string own = "<?xml-stylesheet href=\"FGDC_V2.xsl\"?><metadata>";
  r = prologue({kDecl, own, "<citeinfo>"});
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, own, "<citeinfo>"}));
}

TEST(Prologue, LineTwoWithoutElementsIsReplacedWhateverItHolds) {
  for (std::string two : {"<!DOCTYPE x [ <!ENTITY a \"b\"> ]>", "<?pi?>", "text", "", "<!-- c -->"}) {
    auto r = prologue({kDecl, two, "  <idinfo>", "<citeinfo>"}, false);
    EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, "  <idinfo>", "<citeinfo>"})) << two;
  }
}

TEST(Prologue, ExistingReferenceToTheStylesheetSuppressesIt) {
  std::string own = "<?xml-stylesheet type=\"text/xsl\" href=\"styles/FGDC_V2.xsl\"?>";
  auto r = prologue({kDecl, "<!DOCTYPE x>", own, "<citeinfo>"});
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, own, "<citeinfo>"}));
}

TEST(Prologue, AnotherStylesheetStillGetsOursAhead) {
  std::string other = "<?xml-stylesheet href=\"local.xsl\" type=\"text/xsl\"?>";
  auto r = prologue({kDecl, "<!DOCTYPE x>", other, "<citeinfo>"});
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, kStylesheet, other, "<citeinfo>"}));
}

TEST(Prologue, AnswerNoCopiesLineThreeWhateverItHolds) {
  std::string other = "<?xml-stylesheet href=\"local.xsl\" type=\"text/xsl\"?>";
  auto r = prologue({kDecl, "<!DOCTYPE x>", other, "<citeinfo>"}, false);
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, other, "<citeinfo>"}));
}

TEST(Prologue, LandmarkOnLineThreeIsNotTheOneSearchedFor) {
  auto r = prologue({kDecl, "<!DOCTYPE x>", "<metadata><citeinfo>", "  <a>", "  <citeinfo>", "x"});
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, kStylesheet, "<metadata><citeinfo>", "  <a>",
                            "  <citeinfo>"}));
}

TEST(Prologue, LandmarkIsCaseSensitiveAndFoundAnywhereInALine) {
  auto r = prologue({kDecl, "<!DOCTYPE x>", "<metadata>", "<CITEINFO>", "<!-- <citeinfo> -->", "x"});
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, kStylesheet, "<metadata>", "<CITEINFO>",
                            "<!-- <citeinfo> -->"}));
}

TEST(Prologue, EmptyLinesAndOddLineEndsComeOutAsCrLfLines) {
  auto r = run_phase(kDecl + "\r\n<!DOCTYPE x>\r\n<metadata>\r\rx\ny\r<citeinfo>",
                     write_document_prologue, "", false);
  EXPECT_EQ(r.bytes, crlf({kDecl, kDoctype, "<metadata>", "", "x\ny", "<citeinfo>"}));
}

TEST(Prologue, EmptyFileEndsAtOnceWithNothingWritten) {
  auto r = prologue({});
  EXPECT_EQ(r.error, kInputPastEnd);
  EXPECT_EQ(r.bytes, "");
}

TEST(Prologue, TwoLineFileEndsAfterTheDoctype) {
  for (bool stylesheet : {true, false}) {
    auto r = prologue({kDecl, "<!DOCTYPE x>"}, stylesheet);
    EXPECT_EQ(r.error, kInputPastEnd);
    EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype}));
  }
}

TEST(Prologue, MissingCitationIsCopiedToTheEndThenPastEnd) {
  auto r = prologue({kDecl, "<!DOCTYPE x>", "<metadata>", "  <idinfo>", "</metadata>"});
  EXPECT_EQ(r.error, kInputPastEnd);
  EXPECT_EQ(r.lines, (Lines{kDecl, kDoctype, kStylesheet, "<metadata>", "  <idinfo>",
                            "</metadata>"}));
}

TEST(CopyThrough, CurrentLineHoldingTheLandmarkReadsAndWritesNothing) {
  std::string next;
  auto r = run_phase(
      crlf({"unread"}),
      [&](Pass& pass) {
        copy_through(pass, "</attracc>");
        next = pass.input.read_line();
      },
      "    </attracc>");
  EXPECT_EQ(r.bytes, "");
  EXPECT_EQ(next, "unread");
}

}  // namespace
}  // namespace rodozerez
