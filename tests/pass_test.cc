// The whole pass over complete documents.
#include "rewriter/pass.h"

#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"
#include "rewriter/boilerplate.h"
#include "scratch.h"

namespace rodozerez {
namespace {

using testing::crlf;
using testing::read_file;
using testing::run_pass;
using Lines = std::vector<std::string>;

// A short template with every landmark; `drop` leaves out the lines that
// hold one text, to see where the pass stops without it.
Lines short_template(const std::string& drop = "") {
  Lines all = {"<?xml version=\"1.0\"?>", "<!DOCTYPE metadata SYSTEM \"x.dtd\">", "<metadata>",
               "  <idinfo>", "    <citation>", "      <citeinfo>", "        <origin>",
               "          Corvane (CRVN)", "        </origin>", "        <title>T</title>",
               "      </citeinfo>", "    </citation>", "  </idinfo>", "  <dataqual>",
               "    <attracc>", "    </attracc>", "  </dataqual>", "  <spref>", "  </spref>",
               "  <metainfo>", "    <metd>20040115</metd>", "    <metc>", "    </metc>",
               "  </metainfo>", "</metadata>"};
  Lines kept;
  for (const auto& line : all) {
    if (drop.empty() || line.find(drop) == std::string::npos) kept.push_back(line);
  }
  return kept;
}

TEST(Pass, CompletesAShortTemplateInPhaseOrder) {
  auto r = run_pass(crlf(short_template()));
  ASSERT_EQ(r.error, 0);
  Lines expected = {"<?xml version=\"1.0\"?>", std::string(boilerplate::kDocumentTypeLine),
                    std::string(boilerplate::kStylesheetLine), "<metadata>", "  <idinfo>",
                    "    <citation>", "      <citeinfo>", "        <origin>",
                    "          Varnholt Agency (VRA)", "        </origin>",
                    "        <pubdate>2026</pubdate>", "        <title>T</title>",
                    "      </citeinfo>", "    </citation>", "  </idinfo>", "  <dataqual>",
                    "    <attracc>", "    </attracc>"};
  expected.insert(expected.end(), boilerplate::kDataQualityReports.begin(),
                  boilerplate::kDataQualityReports.end());
  expected.push_back("  </dataqual>");
  expected.insert(expected.end(), boilerplate::kSpatialOrganisation.begin(),
                  boilerplate::kSpatialOrganisation.end());
  expected.insert(expected.end(), {"  <spref>", "  </spref>"});
  expected.insert(expected.end(), boilerplate::kEntityAttribute.begin(),
                  boilerplate::kEntityAttribute.end());
  expected.insert(expected.end(), {"  <metainfo>", "    <metd>20261208</metd>"});
  expected.insert(expected.end(), boilerplate::kTrailer.begin(), boilerplate::kTrailer.end());
  EXPECT_EQ(r.lines, expected);
  EXPECT_EQ(r.bytes, crlf(expected));
}

// Records written on Linux: an LF file comes out with LF line ends, fixed
// lines included, and otherwise exactly as its CR LF twin.
TEST(Pass, LfDocumentComesOutWithLfLineEnds) {
  auto twin = run_pass(crlf(short_template()));
  auto r = run_pass(testing::without_cr(crlf(short_template())));
  ASSERT_EQ(r.error, 0);
  EXPECT_EQ(r.bytes, testing::without_cr(twin.bytes));
}

TEST(Pass, EachMissingLandmarkEndsThePassPastEnd) {
  for (std::string landmark : {"<citeinfo>", "</attracc>", "</dataqual>", "</spref>", "<metd>"}) {
    auto r = run_pass(crlf(short_template(landmark)));
    EXPECT_EQ(r.error, kInputPastEnd) << landmark;
    // The trailer is never reached.
    EXPECT_EQ(r.bytes.find("<metstdv>"), std::string::npos) << landmark;
  }
}

// Records from editors that write attributes on the tags the pass finds
// its way by come out as their plain twins do, attributes kept.
TEST(Pass, LandmarksWithAttributesAreFoundAsThePlainOnes) {
  auto with_attributes = [](std::string text) {
    text.replace(text.find("<citeinfo>"), 10, "<citeinfo Sync=\"TRUE\">");
    text.replace(text.find("<metd>"), 6, "<metd Sync=\"TRUE\">");
    return text;
  };
  auto plain = run_pass(crlf(short_template()));
  auto r = run_pass(with_attributes(crlf(short_template())));
  ASSERT_EQ(r.error, 0);
  EXPECT_EQ(r.bytes, with_attributes(plain.bytes));
}

// The line under the skip message: where the file ended, and why, when
// the landmark was in a line already read.
std::string past_end_details_of(const std::string& input) {
  std::string details;
  testing::run_phase(input, [&](Pass& pass) {
    try {
      rewrite_file(pass.input, pass.work, pass.values);
    } catch (const NumberedError& e) {
      details = past_end_details(pass.input, e.landmark());
    }
  });
  return details;
}

TEST(Pass, PastEndSaysWhyALandmarkInALineAlreadyReadWasPassed) {
  EXPECT_EQ(past_end_details_of(crlf(short_template("</spref>"))),
            "  Ended at line 24 while looking for \"</spref>\".");
  std::string one_line;  // as editors that write no line breaks leave it
  for (const auto& line : short_template()) one_line += line;
  EXPECT_EQ(past_end_details_of(one_line),
            "  Ended at line 1 while looking for \"<citeinfo>\", which stands inside line 1: "
            "the file is not laid out one element per line.");
  std::string mixed = crlf(short_template());  // CR LF after line 1 only
  mixed = mixed.substr(0, mixed.find('\n') + 1) +
          testing::without_cr(mixed.substr(mixed.find('\n') + 1));
  EXPECT_EQ(past_end_details_of(mixed),
            "  Ended at line 2 while looking for \"<citeinfo>\", which stands inside line 2: its "
            "lines end in LF after line 1, although line 1 ends in CR LF.");
}

TEST(Pass, NothingAfterTheLineFollowingTheDateIsRead) {
  // A byte 26 right after that line would end any further read.
  auto input = crlf(short_template());
  auto r = run_pass(input.substr(0, input.find("    </metc>")) + "\x1A garbage");
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.lines.back(), "</metadata>");
}

TEST(Pass, GoldenTemplateComesOutByteForByte) {
  std::string dir = std::string(RODOZEREZ_SOURCE_DIR) + "/tests/golden/";
  auto r = run_pass(read_file(dir + "template.xml"));
  ASSERT_EQ(r.error, 0);
  EXPECT_EQ(r.bytes, read_file(dir + "template.expected.xml"));
}

}  // namespace
}  // namespace rodozerez
