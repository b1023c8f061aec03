// The citation rules. The line after "<citeinfo>" decides: an origin that is
// missing, empty, or names the distribution organisation in both its forms
// gets the imagery agency as originator; an origin naming anybody else is
// removed. The publication-date line with the current year always follows.
//
// An element the rules drop or replace goes whole: from its start tag
// through the first line holding its end tag, however many lines its value
// spans, so no stray end tag is left behind. Both forms of the
// organisation's name are looked for over all of those lines together.
// A line that is neither an origin nor the template's own publication date
// (a title, say) is kept, right after the publication date.
#include <string>

#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {
namespace {

namespace bp = boilerplate;

void write_origin(Pass& pass, std::string_view start_line, std::string_view end_line) {
  pass.work.write_line(start_line);
  pass.work.write_line(bp::kOriginatorLine);
  pass.work.write_line(end_line);
}

void write_publication_date(Pass& pass) {
  pass.work.write_line({bp::kPubdateOpen, pass.values.current_year, bp::kPubdateEndTag});
}

// Reads on from the current line through the first line that holds
// `end_tag` (the current line itself, when it does), writing none of them.
// True when those lines, together, name the distribution organisation in
// both its forms.
bool consume_element(Pass& pass, std::string_view end_tag) {
  bool abbreviation = false;
  bool name = false;
  for (;;) {
    abbreviation = abbreviation || contains(pass.line, bp::kDistributorAbbreviation);
    name = name || contains(pass.line, bp::kDistributorName);
    if (contains(pass.line, end_tag)) return abbreviation && name;
    read_next(pass);
  }
}

}  // namespace

void apply_citation_rules(Pass& pass) {
  read_next(pass);
  if (!contains(pass.line, bp::kOriginStartTag)) {
    // No origin: the agency goes in. The template's own publication date
    // gives way to the inserted one; any other line stays, after it.
    write_origin(pass, bp::kOriginStartLine, bp::kOriginEndLine);
    write_publication_date(pass);
    if (contains(pass.line, bp::kPubdateStartTag)) {
      consume_element(pass, bp::kPubdateEndTag);
    } else {
      pass.work.write_line(pass.line);
    }
    return;
  }
  if (trimmed(pass.line) != bp::kOriginStartTag) {
    // The start tag shares its line: a one-line origin element, or one
    // whose value starts beside its tag.
    if (consume_element(pass, bp::kOriginEndTag)) {
      write_origin(pass, bp::kOriginStartLine, bp::kOriginEndLine);
    }
    write_publication_date(pass);
    return;
  }
  // The start tag stands alone; its line is kept for writing after the
  // next read has replaced the current line.
  std::string start_tag_line(pass.line);
  read_next(pass);
  if (trimmed(pass.line) == bp::kOriginEndTag) {
    // An empty element: the agency goes between the input's own tags.
    write_origin(pass, start_tag_line, pass.line);
  } else if (consume_element(pass, bp::kOriginEndTag)) {
    write_origin(pass, start_tag_line, bp::kOriginEndLine);
  }
  write_publication_date(pass);
}

}  // namespace rodozerez
