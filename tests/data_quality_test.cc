#include <gtest/gtest.h>

#include "lineio/errors.h"
#include "phase_runner.h"
#include "rewriter/boilerplate.h"

namespace rodozerez {
namespace {

using testing::concat;
using testing::crlf;
using Lines = std::vector<std::string>;

const Lines kReports(boilerplate::kDataQualityReports.begin(),
                     boilerplate::kDataQualityReports.end());

testing::PhaseResult data_quality(const Lines& input) {
  return testing::run_phase(crlf(input), insert_data_quality_reports,
                            "        <pubdate>2026</pubdate>");
}

TEST(DataQuality, ReportsFollowTheAttributeAccuracySection) {
  auto r = data_quality({"  <dataqual>", "    <attracc>", "      <attraccr>N/A</attraccr>",
                         "    </attracc>", "    <lineage>", "    </lineage>", "  </dataqual>",
                         "  <spref>"});
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.lines, concat({{"  <dataqual>", "    <attracc>", "      <attraccr>N/A</attraccr>",
                              "    </attracc>"},
                             kReports,
                             {"    <lineage>", "    </lineage>", "  </dataqual>"}}));
}

// The inserted reports are the only ones: the template's own logic and
// completeness reports right after the attribute accuracy go, whole, on one
// line or several, with attributes or closing themselves.
TEST(DataQuality, ExistingReportsGiveWayToTheInsertedOnes) {
  auto r = data_quality({"    </attracc>", "    <logic>Checked.</logic>", "    <complete>",
                         "      Complete.", "    </complete>", "    <posacc>", "  </dataqual>"});
  EXPECT_EQ(r.lines, concat({{"    </attracc>"}, kReports, {"    <posacc>", "  </dataqual>"}}));
  r = data_quality({"    </attracc>", "    <complete/>", "    <logic Sync=\"TRUE\">",
                    "    </logic>", "  </dataqual>"});
  EXPECT_EQ(r.lines, concat({{"    </attracc>"}, kReports, {"  </dataqual>"}}));
  // Only reports that follow at once: a later one is the template's own.
  r = data_quality(
      {"    </attracc>", "    <posacc/>", "    <logic>Checked.</logic>", "  </dataqual>"});
  EXPECT_EQ(r.lines, concat({{"    </attracc>"},
                             kReports,
                             {"    <posacc/>", "    <logic>Checked.</logic>", "  </dataqual>"}}));
}

TEST(DataQuality, LandmarkSharingALineStillMarksTheSpot) {
  auto r = data_quality({"<attracc><attraccr>N/A</attraccr></attracc></dataqual>", "  <spref>"});
  EXPECT_EQ(r.lines, concat({{"<attracc><attraccr>N/A</attraccr></attracc></dataqual>"}, kReports}));
}

TEST(DataQuality, MissingAttributeAccuracyWritesNoReports) {
  auto r = data_quality({"  <dataqual>", "  </dataqual>"});
  EXPECT_EQ(r.error, kInputPastEnd);
  EXPECT_EQ(r.lines, (Lines{"  <dataqual>", "  </dataqual>"}));
}

TEST(DataQuality, MissingDataQualityEndIsPastEndAfterTheReports) {
  auto r = data_quality({"    </attracc>", "  <spref>"});
  EXPECT_EQ(r.error, kInputPastEnd);
  EXPECT_EQ(r.lines, concat({{"    </attracc>"}, kReports, {"  <spref>"}}));
}

}  // namespace
}  // namespace rodozerez
