#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"
#include "rewriter/boilerplate.h"

namespace rodozerez {
namespace {

using testing::concat;
using testing::crlf;
using Lines = std::vector<std::string>;

const Lines kSpdoinfo(boilerplate::kSpatialOrganisation.begin(),
                      boilerplate::kSpatialOrganisation.end());
const Lines kEainfo(boilerplate::kEntityAttribute.begin(), boilerplate::kEntityAttribute.end());

// Both rules, from the "</dataqual>" line on; `next` receives the line the
// following phase would read first.
testing::PhaseResult spatial_and_entity(const Lines& input, std::string* next = nullptr) {
  return testing::run_phase(
      crlf(input),
      [&](Pass& pass) {
        insert_spatial_organisation(pass);
        write_entity_attribute_section(pass);
        if (next) *next = pass.input.read_line();
      },
      "  </dataqual>");
}

TEST(SpatialOrganisation, InputSectionRightAfterDataQualityIsKept) {
  auto r = spatial_and_entity({"  <spdoinfo>", "    <direct>Raster</direct>", "  </spdoinfo>",
                               "  <spref>", "  </spref>", "  <distinfo>"});
  EXPECT_EQ(r.lines, concat({{"  <spdoinfo>", "    <direct>Raster</direct>", "  </spdoinfo>",
                              "  <spref>", "  </spref>"},
                             kEainfo,
                             {"  <distinfo>"}}));
}

TEST(SpatialOrganisation, MissingSectionIsInsertedAheadOfTheNextLine) {
  auto r = spatial_and_entity({"  <spref>", "  </spref>", "  <distinfo>"});
  EXPECT_EQ(r.lines, concat({kSpdoinfo, {"  <spref>", "  </spref>"}, kEainfo, {"  <distinfo>"}}));
}

TEST(SpatialOrganisation, SectionOneLineFurtherOnGetsOursAheadOfIt) {
  auto r = spatial_and_entity({"", "  <spdoinfo>", "  </spdoinfo>", "  </spref>", "x"});
  EXPECT_EQ(r.lines, concat({kSpdoinfo, {"", "  <spdoinfo>", "  </spdoinfo>", "  </spref>"},
                             kEainfo,
                             {"x"}}));
}

TEST(EntityAttribute, SectionRightAfterSpatialReferenceIsReplaced) {
  std::string next;
  auto r = spatial_and_entity({"  <spref>", "  </spref>", "  <eainfo>", "    <metd>1999</metd>",
                               "  </eainfo>", "  <distinfo>"},
                              &next);
  EXPECT_EQ(r.lines, concat({kSpdoinfo, {"  <spref>", "  </spref>"}, kEainfo}));
  EXPECT_EQ(next, "  <distinfo>");
}

TEST(EntityAttribute, OneLineSectionIsDroppedByItself) {
  std::string next;
  auto r = spatial_and_entity({"  </spref>", "  <eainfo><overview/></eainfo>", "  <distinfo>"},
                              &next);
  EXPECT_EQ(r.lines, concat({kSpdoinfo, {"  </spref>"}, kEainfo}));
  EXPECT_EQ(next, "  <distinfo>");
}

TEST(EntityAttribute, SectionFurtherOnIsLeftInPlace) {
  std::string next;
  auto r = spatial_and_entity({"  </spref>", "", "  <eainfo>"}, &next);
  EXPECT_EQ(r.lines, concat({kSpdoinfo, {"  </spref>"}, kEainfo, {""}}));
  EXPECT_EQ(next, "  <eainfo>");
}

// Sections that carry attributes are the input's own sections all the
// same: none gets a second one in front of it; an empty one is one line.
TEST(EntityAttribute, SectionsWithAttributesOrEmptyAreFound) {
  std::string next;
  auto r = spatial_and_entity({"  <spdoinfo Sync=\"TRUE\">", "  </spdoinfo>", "  </spref>",
                               "  <eainfo Sync=\"TRUE\">", "  </eainfo>", "  <distinfo>"},
                              &next);
  EXPECT_EQ(r.lines,
            concat({{"  <spdoinfo Sync=\"TRUE\">", "  </spdoinfo>", "  </spref>"}, kEainfo}));
  EXPECT_EQ(next, "  <distinfo>");
  r = spatial_and_entity({"  </spref>", "  <eainfo/>", "  <distinfo>"}, &next);
  EXPECT_EQ(r.lines, concat({kSpdoinfo, {"  </spref>"}, kEainfo}));
  EXPECT_EQ(next, "  <distinfo>");
}

TEST(EntityAttribute, UnclosedSectionOrNoSpatialReferenceIsPastEnd) {
  EXPECT_EQ(spatial_and_entity({"  </spref>", "  <eainfo>", "    <overview>"}).error,
            kInputPastEnd);
  EXPECT_EQ(spatial_and_entity({"  <spdoinfo>", "  <distinfo>"}).error, kInputPastEnd);
}

}  // namespace
}  // namespace rodozerez
