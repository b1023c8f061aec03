#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"
#include "rewriter/boilerplate.h"

namespace rodozerez {
namespace {

using testing::concat;
using testing::crlf;
using Lines = std::vector<std::string>;

const Lines kTrailer(boilerplate::kTrailer.begin(), boilerplate::kTrailer.end());

testing::PhaseResult metadata_reference(const Lines& input, const std::string& left = "x") {
  return testing::run_phase(crlf(input), rewrite_metadata_reference, left);
}

TEST(MetadataReference, DateIsStampedAndTheInputContactGivesWayToTheTrailer) {
  auto r = metadata_reference({"  <distinfo>", "  </distinfo>", "  <metainfo>",
                               "    <metd>20040115</metd>", "    <metc>", "      <cntinfo>",
                               "    </metc>", "  </metainfo>", "</metadata>"});
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.lines, concat({{"  <distinfo>", "  </distinfo>", "  <metainfo>",
                              "    <metd>20261208</metd>"},
                             kTrailer}));
}

TEST(MetadataReference, SectionEndRightAfterTheDateIsDropped) {
  auto r = metadata_reference({"  <metainfo>", "    <metd>20040115</metd>", "  </metainfo>"});
  EXPECT_EQ(r.lines, concat({{"  <metainfo>", "    <metd>20261208</metd>"}, kTrailer}));
}

TEST(MetadataReference, OtherLineAfterTheDateIsKeptAndTheRestDiscarded) {
  auto r = metadata_reference({"    <metd>20040115</metd>", "    <metrd>20040110</metrd>",
                               "    <metstdn>Old</metstdn>", "  </metainfo>", "</metadata>"});
  EXPECT_EQ(r.lines,
            concat({{"    <metd>20261208</metd>", "    <metrd>20040110</metrd>"}, kTrailer}));
}

TEST(MetadataReference, InputWithoutClosingTagsBecomesAWholeDocument) {
  auto r = metadata_reference({"    <metd>20040115</metd>", "    <metc>"});
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.lines.back(), "</metadata>");
  EXPECT_TRUE(r.bytes.ends_with("  </metainfo>\r\n</metadata>\r\n"));
}

TEST(MetadataReference, DateLineLeftByTheSectionBeforeIsNotExamined) {
  auto r = metadata_reference({"  <metainfo>", "    <metd>20040115</metd>", "  </metainfo>"},
                              "    <metd>19990101</metd>");
  EXPECT_EQ(r.lines, concat({{"  <metainfo>", "    <metd>20261208</metd>"}, kTrailer}));
}

// Editors that keep records in sync with their data write attributes, and
// templates leave empty placeholders: the date goes in all the same.
TEST(MetadataReference, DateWithAttributesOrEmptyIsStampedKeepingItsAttributes) {
  const std::pair<std::string, std::string> dates[] = {
      {"    <metd Sync=\"TRUE\">20040115</metd>", "    <metd Sync=\"TRUE\">20261208</metd>"},
      {"    <metd/>", "    <metd>20261208</metd>"},
      {"    <metd\tSync=\"TRUE\" />", "    <metd\tSync=\"TRUE\">20261208</metd>"}};
  for (const auto& [date, stamped] : dates) {
    auto r = metadata_reference({"  <metainfo>", date, "    <metc Sync=\"TRUE\">", "    </metc>"});
    EXPECT_EQ(r.lines, concat({{"  <metainfo>", stamped}, kTrailer})) << date;
  }
}

TEST(MetadataReference, MissingDateOrNoLineAfterItIsPastEnd) {
  EXPECT_EQ(metadata_reference({"  <metainfo>", "  </metainfo>"}).error, kInputPastEnd);
  EXPECT_EQ(metadata_reference({"    <metd Sync=\"TRUE\">20040115</metd>"}).error, kInputPastEnd);
  auto r = metadata_reference({"    <metd>20040115</metd>"});
  EXPECT_EQ(r.error, kInputPastEnd);
  EXPECT_EQ(r.lines, (Lines{"    <metd>20261208</metd>"}));
}

// A completed file is known as such whatever another program appended to
// it since, as long as the reader would not take it for more text, and
// whatever kind of line end it has now.
TEST(MetadataReference, CompletedFileIsKnownWhateverHarmlessBytesFollowItsTrailer) {
  auto trailer = [](std::string_view line_end) {
    std::string text;
    for (const auto& row : kTrailer) text += row + std::string(line_end);
    return text;
  };
  for (std::string_view line_end : {"\r\n", "\n", "\r", "\n\r"}) {
    EXPECT_TRUE(is_already_complete("<x/>" + std::string(line_end) + trailer(line_end)));
  }
  for (const std::string& end : {trailer("\r\n") + "\x1A", trailer("\r\n") + "\x1A" + "anything",
                                 trailer("\n") + " \t" + std::string(3, '\0') + "\r\n\r\n",
                                 "\xEF\xBB\xBF" + trailer("\r\n")}) {
    EXPECT_TRUE(is_already_complete(end)) << end.size();
  }
  for (const std::string& end :
       {trailer("\r\n") + "x", trailer("\r\n").substr(4), "<x>" + trailer("\r\n")}) {
    EXPECT_FALSE(is_already_complete(end)) << end.size();
  }
}

}  // namespace
}  // namespace rodozerez
