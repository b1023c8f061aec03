// The state the phases of the rewrite pass share, and the phases themselves,
// in the order the pass calls them.
#pragma once

#include <optional>
#include <string_view>

#include "lineio/byte_text.h"
#include "lineio/errors.h"
#include "lineio/line_file.h"
#include "rewriter/pass.h"

namespace rodozerez {

struct Pass {
  InputFile& input;
  WorkFile& work;
  const RunValues& values;
  // The line most recently read, without its terminator. It views the
  // input's buffer: valid until the next read.
  std::string_view line;
  // The landmark the pass needs next: what the operator is told was
  // missing when the input ends first.
  std::string_view looking_for;
};

// Reads the next input line into the current line. Past the end of the
// input it throws 62, saying which landmark the pass was looking for.
inline void read_next(Pass& pass) {
  std::optional<std::string_view> line = pass.input.read_line_or_end();
  if (!line) throw NumberedError(kInputPastEnd).looking_for(pass.looking_for);
  pass.line = *line;
}

// While the current line lacks the landmark (`holds_tag`), reads the next
// line and writes it unchanged. Ends on the landmark line, already
// written; the line that was current at the start is never written here.
void copy_through(Pass& pass, std::string_view landmark);

// An element the rules take whole, known by its tag texts ("<origin>",
// "</origin>").
struct Element {
  std::string_view start_tag;
  std::string_view end_tag;
};

// Where `tag` begins in `line`, or npos. An end tag ("</origin>") is its
// text. A start tag ("<origin>") is its text, or its name followed by a
// space, a tab or "/", so that a tag with attributes ("<origin
// Sync=\"TRUE\">") and an empty-element tag ("<logic/>") count too.
std::size_t tag_at(std::string_view line, std::string_view tag);

// Every landmark and element test of the rules: whether `line` holds `tag`.
inline bool holds_tag(std::string_view line, std::string_view tag) {
  return tag_at(line, tag) != std::string_view::npos;
}

// True when the start tag on `line` is an empty-element tag: it is the
// whole element.
bool closes_itself(std::string_view line, const Element& element);

// Hands `each` the current line, which holds the start tag of `element`,
// and every following line through the element's last one: the first line
// holding its end tag, or the start line alone when its tag closes itself.
// Ends with that last line current.
template <typename Each>
void walk_element(Pass& pass, const Element& element, Each&& each) {
  if (closes_itself(pass.line, element)) return each(pass.line);
  std::string_view after = pass.looking_for;
  pass.looking_for = element.end_tag;
  for (;;) {
    each(pass.line);
    if (holds_tag(pass.line, element.end_tag)) break;
    read_next(pass);
  }
  pass.looking_for = after;
}

// The element starting on the current line, written unchanged, all of it.
void copy_element(Pass& pass, const Element& element);

// The element starting on the current line, read and not written.
void skip_element(Pass& pass, const Element& element);

// Runs the phases below in order over one file.
void rewrite_phases(Pass& pass);

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
