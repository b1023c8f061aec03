// The data-quality reports: the same logic and completeness paragraphs go
// into every file, right after the attribute accuracy section, whether or
// not the template already holds such reports.
#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {

void insert_data_quality_reports(Pass& pass) {
  copy_through(pass, boilerplate::kAttributeAccuracyEnd);
  for (auto line : boilerplate::kDataQualityReports) pass.work.write_line(line);
  copy_through(pass, boilerplate::kDataQualityEnd);
}

}  // namespace rodozerez
