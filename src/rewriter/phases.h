// The state the phases of the rewrite pass share, and the phases themselves,
// in the order the pass calls them.
#pragma once

#include <string_view>

#include "lineio/line_file.h"
#include "lineio/byte_text.h"
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

// The phases, in the order the pass calls them; each is described at its
// call in `rewrite_file` and in its own file.
void write_document_prologue(Pass& pass);
void apply_citation_rules(Pass& pass);
void insert_data_quality_reports(Pass& pass);
void insert_spatial_organisation(Pass& pass);
void write_entity_attribute_section(Pass& pass);
void rewrite_metadata_reference(Pass& pass);

// Writes the element that opens on the current line (which holds `tag`)
// with `value` in place of its old value, keeping its layout. May read
// further lines; may leave the element's closing line for the caller.
void replace_tag_value(Pass& pass, std::string_view tag, std::string_view value);

}  // namespace rodozerez
