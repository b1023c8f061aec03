#include "rewriter/boilerplate.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace rodozerez {
namespace {

namespace bp = boilerplate;

TEST(Boilerplate, FixedLinesHaveTheirExactLengths) {
  EXPECT_EQ(bp::kDocumentTypeLine.size(), 42u);
  EXPECT_EQ(bp::kStylesheetLine.size(), 53u);
  EXPECT_EQ(bp::kLogicParagraph.size(), 379u);
  EXPECT_EQ(bp::kCompletenessParagraph.size(), 536u);
}

TEST(Boilerplate, NoFixedLineIsWrappedOrHoldsALineBreak) {
  auto single = [](std::string_view line) {
    return line.find_first_of("\r\n") == std::string_view::npos;
  };
  for (auto line : bp::kTrailer) EXPECT_TRUE(single(line)) << line;
  for (auto line : bp::kEntityAttribute) EXPECT_TRUE(single(line)) << line;
  for (auto line : bp::kDataQualityReports) EXPECT_TRUE(single(line)) << line;
}

// Walks a block from `depth`: every line stands two spaces per nesting
// level, and the depth it ends at is returned.
template <typename Block>
int nesting_after(const Block& block, int depth) {
  for (std::string_view line : block) {
    std::size_t spaces = line.find_first_not_of(' ');
    std::string_view body = line.substr(spaces);
    if (body.starts_with("</")) --depth;
    EXPECT_EQ(spaces, static_cast<std::size_t>(2 * depth)) << line;
    bool opens = body.starts_with("<") && !body.starts_with("</") &&
                 body.find("</") == std::string_view::npos;
    if (opens) ++depth;
  }
  return depth;
}

TEST(Boilerplate, BlocksIndentTwoSpacesPerLevelAndCloseWhatTheyOpen) {
  EXPECT_EQ(nesting_after(bp::kDataQualityReports, 2), 2);
  EXPECT_EQ(nesting_after(bp::kSpatialOrganisation, 1), 1);
  EXPECT_EQ(nesting_after(bp::kEntityAttribute, 1), 1);
  // The trailer closes the metadata reference section and the document.
  EXPECT_EQ(nesting_after(bp::kTrailer, 2), 0);
}

TEST(Boilerplate, ParagraphSpacingIsExact) {
  std::string logic(bp::kLogicParagraph);
  EXPECT_NE(logic.find("archived.  This"), std::string::npos);
  EXPECT_NE(logic.find("elements.  Seamlines"), std::string::npos);
  EXPECT_NE(logic.find("inspected.  Seamline"), std::string::npos);
  std::string complete(bp::kCompletenessParagraph);
  EXPECT_EQ(complete.find(".  "), std::string::npos);
  std::string overview(bp::kEntityAttributeOverview);
  EXPECT_NE(overview.find("spectrum.  Each"), std::string::npos);
  EXPECT_NE(overview.find("band.  Numeric"), std::string::npos);
  EXPECT_NE(overview.find("255. Areas"), std::string::npos);
}

TEST(Boilerplate, ContactValuesHaveTheirForms) {
  auto row = [](int n) { return std::string(bp::kTrailer[n - 1]); };
  EXPECT_TRUE(std::regex_match(row(13), std::regex("          <address>\\d+ [^<]+</address>")));
  EXPECT_TRUE(std::regex_match(row(14), std::regex("          <city>[A-Z][^<]+</city>")));
  EXPECT_TRUE(std::regex_match(row(15), std::regex("          <state>[A-Z]{2}</state>")));
  EXPECT_TRUE(std::regex_match(row(16), std::regex("          <postal>\\d{5}-\\d{4}</postal>")));
  EXPECT_TRUE(std::regex_match(row(19), std::regex("        <cntvoice>1-800-\\d{3}-\\d{4}</cntvoice>")));
  EXPECT_TRUE(std::regex_match(row(20), std::regex("        <cnttdd>1-\\d{3}-\\d{3}-\\d{4}</cnttdd>")));
  EXPECT_TRUE(std::regex_match(row(21), std::regex("        <cntfax>1-\\d{3}-\\d{3}-\\d{4}</cntfax>")));
  EXPECT_TRUE(std::regex_match(row(22), std::regex("        <cntemail>[^@<]+@[^@<]+</cntemail>")));
  EXPECT_TRUE(std::regex_match(
      row(23), std::regex("        <hours>\\w+ through \\w+, .* AM to .* PM \\([^)]+\\)</hours>")));
  // Three sentences, two spaces after each but the last.
  EXPECT_TRUE(std::regex_match(row(25), std::regex("          [^ ][^.]*\\.  [^ ][^.]*CRVN\\.  [^ ].*\\.")));
  EXPECT_TRUE(std::regex_match(
      std::string(bp::kEntityAttributeCitation),
      std::regex("      <eadetcit>[^,]+, Corvane, 1996, Standards for Digital Orthophotos: "
                 "[A-Z][a-z]+, [A-Z]{2}\\.</eadetcit>")));
}

}  // namespace
}  // namespace rodozerez
