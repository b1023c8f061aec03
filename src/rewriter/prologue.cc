// The document prologue. Line 1 (the XML declaration in the templates) is
// copied. Line 2 (the template's document type line) is replaced, and line
// 3 gets the stylesheet line ahead of it when the operator asked for one
// and the template does not already refer to the stylesheet.
//
// Real records do not all follow the template: line 2 may open the root
// element, or line 1 may already hold the document type or the root. Such a
// line 2 is never dropped; the document type and stylesheet lines go before
// it only where the document can still take them (before the root element,
// and never a second document type).
#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {
namespace {

namespace bp = boilerplate;

// A start or end tag: "<" then a letter, "_", ":" or "/" (not "<!", "<?").
bool has_element_markup(std::string_view line) {
  for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
    if (at + 1 == line.size()) return false;
    char c = line[at + 1];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (letter || c == '_' || c == ':' || c == '/') return true;
  }
  return false;
}

// The template layout: line 2 replaced, line 3 after the stylesheet line.
void replace_line_two(Pass& pass) {
  pass.work.write_line(bp::kDocumentTypeLine);
  // With "N", line 3 is left to the copy-through like any other line.
  if (pass.values.stylesheet) {
    read_next(pass);
    if (!contains(pass.line, bp::kStylesheetMark)) pass.work.write_line(bp::kStylesheetLine);
    pass.work.write_line(pass.line);
  }
}

// Line 2 holds element markup and is kept; `line_one` is line 1 as read.
void keep_line_two(Pass& pass, const std::string& line_one) {
  bool root_on_line_one = has_element_markup(line_one);
  if (!root_on_line_one && !contains(line_one, "<!DOCTYPE")) {
    pass.work.write_line(bp::kDocumentTypeLine);
  }
  if (pass.values.stylesheet && !root_on_line_one && !contains(line_one, bp::kStylesheetMark) &&
      !contains(pass.line, bp::kStylesheetMark)) {
    pass.work.write_line(bp::kStylesheetLine);
  }
  pass.work.write_line(pass.line);
}

}  // namespace

void write_document_prologue(Pass& pass) {
  pass.looking_for = bp::kCitationStart;
  read_next(pass);
  pass.work.write_line(pass.line);
  std::string line_one(pass.line);

  read_next(pass);
  if (has_element_markup(pass.line)) {
    keep_line_two(pass, line_one);
  } else {
    replace_line_two(pass);
  }

  // Emptied first, so the search starts with a fresh read even when the
  // line before held the landmark.
  pass.line = {};
  copy_through(pass, bp::kCitationStart);
}

}  // namespace rodozerez
