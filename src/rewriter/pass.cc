#include "rewriter/pass.h"

#include "lineio/errors.h"
#include "rewriter/phases.h"

namespace rodozerez {

void copy_through(Pass& pass, std::string_view landmark) {
  pass.looking_for = landmark;
  while (!contains(pass.line, landmark)) {
    read_next(pass);
    pass.work.write_line(pass.line);
  }
}

void rewrite_file(InputFile& input, WorkFile& work, const RunValues& values,
                  std::string_view* looking_for) {
  Pass pass{input, work, values, {}, {}};
  try {
    rewrite_phases(pass);
  } catch (const NumberedError& e) {
    if (looking_for && e.number() == kInputPastEnd) *looking_for = pass.looking_for;
    throw;
  }
}

void rewrite_phases(Pass& pass) {
  // Written lines end as the input's do: CR LF, or LF for an LF file.
  pass.work.use_line_end(pass.input.line_end());
  // The document type line, the stylesheet line, and on to the citation.
  write_document_prologue(pass);
  // The imagery agency as originator, this year as publication date.
  apply_citation_rules(pass);
  // The fixed logic and completeness reports.
  insert_data_quality_reports(pass);
  // A raster spatial organisation where the input has none.
  insert_spatial_organisation(pass);
  // The fixed entity and attribute overview.
  write_entity_attribute_section(pass);
  // Today's metadata date and the metadata contact trailer.
  rewrite_metadata_reference(pass);
}

}  // namespace rodozerez
