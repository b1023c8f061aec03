#include "rewriter/pass.h"

#include <string>

#include "lineio/errors.h"
#include "rewriter/phases.h"

namespace rodozerez {

void copy_through(Pass& pass, std::string_view landmark) {
  pass.looking_for = landmark;
  while (!holds_tag(pass.line, landmark)) {
    read_next(pass);
    pass.work.write_line(pass.line);
  }
}

void rewrite_file(InputFile& input, WorkFile& work, const RunValues& values) {
  Pass pass{input, work, values, {}, {}};
  rewrite_phases(pass);
}

namespace {

// Why the landmark was passed by in line `holder`, which holds it.
std::string why_passed(std::size_t holder, bool lf_inside) {
  if (!lf_inside) return "the file is not laid out one element per line";
  if (holder == 1) return "its lines end in LF, although a later line ends in CR LF";
  std::string before = std::to_string(holder - 1);
  return "its lines end in LF after line " + before + ", although line " + before +
         " ends in CR LF";
}

}  // namespace

std::string past_end_details(InputFile& input, std::string_view landmark) {
  std::size_t last = input.lines_read();
  std::string wanted = "looking for \"" + std::string(landmark) + "\"";
  std::string details = last == 0 ? "  Ended before its first line, " + wanted
                                  : "  Ended at line " + std::to_string(last) + " while " + wanted;
  // The last line read that holds the landmark behind other text: the pass
  // took it for what came first.
  std::size_t holder = 0;
  bool lf_inside = false;
  input.start_over();
  for (std::size_t number = 1; number <= last; ++number) {
    std::string_view line = input.read_line();
    std::size_t at = tag_at(line, landmark);
    if (at == std::string_view::npos) continue;
    bool lf = input.line_end() != "\n" && line.find('\n') != std::string_view::npos;
    if (lf || line.find_first_not_of(" \t") < at) {
      holder = number;
      lf_inside = lf;
    }
  }
  if (holder == 0) return details + ".";
  return details + ", which stands inside line " + std::to_string(holder) + ": " +
         why_passed(holder, lf_inside) + ".";
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
