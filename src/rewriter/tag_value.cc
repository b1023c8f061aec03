// Tag value replacement: a simple element gets a new value while keeping
// its layout, whether it stands on one line or spreads over several.
//
//   <metd>19990101</metd>          ->  <metd>V</metd>
//   <metd Sync="TRUE">1999</metd>  ->  <metd Sync="TRUE">V</metd>
//   <metd/>, <metd />              ->  <metd>V</metd>
//   <metd> / 19990101 / </metd>    ->  <metd> / V two columns deeper than
//                                      the closing line's "<" / </metd>
//   <metd> / 19990101</metd>       ->  <metd> / V</metd>, with the closing
//                                      line's own leading blanks
//   <metd> / <!-- c --> / 1999...  ->  <metd> / V with the value line's
//                                      leading blanks; the closing line is
//                                      left for the caller
#include <string>

#include "rewriter/phases.h"

namespace rodozerez {
namespace {

std::string closing_tag_of(std::string_view tag) {
  std::string closing(tag.substr(0, 1));
  closing += '/';
  closing += tag.substr(1);
  return closing;
}

// A comment that opens on this line and does not close on it is written
// whole, through its line holding ">", and every line between; an input
// that ends inside it throws 62.
void copy_open_comment(Pass& pass) {
  if (!contains(pass.line, "<!") || contains(pass.line, ">")) return;
  pass.work.write_line(pass.line);
  do {
    read_next(pass);
    pass.work.write_line(pass.line);
  } while (!contains(pass.line, ">"));
}

// The current line holds the closing tag. When only blanks stand before it,
// the value goes on a line of its own; when an old value stands there too,
// that line becomes blanks, value and the line from the closing tag on, so
// no old value is left beside the new one.
void write_value_and_closing_line(Pass& pass, std::string_view closing, std::string_view value) {
  std::string_view line = pass.line;
  std::size_t at = line.find(closing);
  std::string_view blanks = leading_blanks(line);
  if (blanks.size() < at) {
    pass.work.write_line({blanks, value, line.substr(at)});
    return;
  }
  std::size_t first_open = line.find('<');  // 0-based: q - 1
  pass.work.write_line({std::string(first_open + 2, ' '), value});
  pass.work.write_line(line);
}

}  // namespace

void replace_tag_value(Pass& pass, std::string_view tag, std::string_view value) {
  std::string closing = closing_tag_of(tag);
  std::string_view line = pass.line;
  // The start tag as found, attributes and all: through its ">".
  std::size_t tag_end = line.find('>', tag_at(line, tag));

  // An empty-element tag is the whole element: it is written as the
  // one-line form, its "/" (and the blanks before it) gone.
  if (closes_itself(line, {tag, closing})) {
    std::string_view open = line.substr(0, tag_end - 1);
    open = open.substr(0, open.find_last_not_of(" \t") + 1);
    pass.work.write_line({open, ">", value, closing});
    return;
  }

  // One-line element: everything after the tag gives way to value and
  // closing tag; text before the tag stays.
  if (contains(line, closing)) {
    pass.work.write_line({line.substr(0, tag_end + 1), value, closing});
    return;
  }

  pass.work.write_line(line);
  read_next(pass);
  if (!contains(pass.line, closing)) {
    // An old value line, or a comment ahead of the value: dropped, unless
    // it is a comment that runs on over further lines.
    copy_open_comment(pass);
    read_next(pass);
  }
  if (contains(pass.line, closing)) {
    write_value_and_closing_line(pass, closing, value);
    return;
  }
  // A value line that does not close the element: it keeps its leading
  // blanks; its closing line is the caller's next read.
  pass.work.write_line({leading_blanks(pass.line), value});
}

}  // namespace rodozerez
