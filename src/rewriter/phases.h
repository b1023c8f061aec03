// The state the phases of the rewrite pass share, and the phases themselves,
// in the order the pass calls them.
#pragma once

#include <string_view>

#include "lineio/line_file.h"
#include "lineio/text.h"
#include "rewriter/pass.h"

namespace rodozerez {

struct Pass {
  InputFile& input;
  WorkFile& work;
  const RunValues& values;
  // The line most recently read, without its terminator. It views the
  // input's buffer: valid until the next read.
  std::string_view line;
};

// Reads the next input line into the current line.
inline void read_next(Pass& pass) { pass.line = pass.input.read_line(); }

// While the current line lacks the landmark, reads the next line and writes
// it unchanged. Ends on the landmark line, already written; the line that
// was current at the start is never written here.
void copy_through(Pass& pass, std::string_view landmark);

// Input lines 1 to 3: the document type line in place of line 2, and the
// stylesheet line when asked for; then copy-through to "<citeinfo>".
void write_document_prologue(Pass& pass);

// The first citation's originator and publication date.
void apply_citation_rules(Pass& pass);

// The logical consistency and completeness reports after "</attracc>", then
// copy-through to "</dataqual>".
void insert_data_quality_reports(Pass& pass);

// The spatial data organisation section where the line after "</dataqual>"
// does not open one.
void insert_spatial_organisation(Pass& pass);

// The fixed entity and attribute section after "</spref>", in place of an
// input section that follows at once.
void write_entity_attribute_section(Pass& pass);

// The metadata date stamped with today's date, then the fixed trailer.
void rewrite_metadata_reference(Pass& pass);

// Writes the element that opens on the current line (which holds `tag`)
// with `value` in place of its old value, keeping its layout. May read
// further lines; may leave the element's closing line for the caller.
void replace_tag_value(Pass& pass, std::string_view tag, std::string_view value);

}  // namespace rodozerez
