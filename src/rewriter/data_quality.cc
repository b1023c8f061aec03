// The data-quality reports: the same logic and completeness paragraphs go
// into every file, right after the attribute accuracy section. They are
// the section's only reports: a logic or completeness report that the
// template already holds right there gives way to them, so the record
// keeps one of each, as the standard allows.
#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {
namespace {

namespace bp = boilerplate;

constexpr Element kLogic{bp::kLogicStartTag, bp::kLogicEndTag};
constexpr Element kCompleteness{bp::kCompletenessStartTag, bp::kCompletenessEndTag};

// The report whose start tag is on `line`, or none.
const Element* report_starting(std::string_view line) {
  for (const Element* report : {&kLogic, &kCompleteness}) {
    if (holds_tag(line, report->start_tag)) return report;
  }
  return nullptr;
}

}  // namespace

void insert_data_quality_reports(Pass& pass) {
  copy_through(pass, bp::kAttributeAccuracyEnd);
  for (auto line : bp::kDataQualityReports) pass.work.write_line(line);
  if (!holds_tag(pass.line, bp::kDataQualityEnd)) {
    pass.looking_for = bp::kDataQualityEnd;
    read_next(pass);
    while (const Element* report = report_starting(pass.line)) {
      skip_element(pass, *report);
      read_next(pass);
    }
    pass.work.write_line(pass.line);
  }
  copy_through(pass, bp::kDataQualityEnd);
}

}  // namespace rodozerez
