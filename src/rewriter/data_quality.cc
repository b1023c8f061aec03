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

}  // namespace

void insert_data_quality_reports(Pass& pass) {
  copy_through(pass, bp::kAttributeAccuracyEnd);
  for (auto line : bp::kDataQualityReports) pass.work.write_line(line);
  if (!contains(pass.line, bp::kDataQualityEnd)) {
    pass.looking_for = bp::kDataQualityEnd;
    read_next(pass);
    while (holds_start_tag(pass.line, kLogic) || holds_start_tag(pass.line, kCompleteness)) {
      skip_element(pass, holds_start_tag(pass.line, kLogic) ? kLogic : kCompleteness);
      read_next(pass);
    }
    pass.work.write_line(pass.line);
  }
  copy_through(pass, bp::kDataQualityEnd);
}

}  // namespace rodozerez
