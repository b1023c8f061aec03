// The metadata reference: the metadata date element gets today's date, one
// more line is handled, and the fixed trailer ends the document. Nothing of
// the input after that line is read; the trailer takes the place of its
// metadata contact, standard name and version and closing tags.
#include <string>

#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {

void rewrite_metadata_reference(Pass& pass) {
  // The line the section before left is never examined for "<metd>".
  pass.line = {};
  pass.looking_for = boilerplate::kMetadataDateTag;
  for (;;) {
    read_next(pass);
    if (contains(pass.line, boilerplate::kMetadataDateTag)) break;
    pass.work.write_line(pass.line);
  }
  replace_tag_value(pass, boilerplate::kMetadataDateTag, pass.values.metadata_date);

  // The trailer brings its own contact and section end.
  pass.looking_for = boilerplate::kMetadataReferenceEnd;
  read_next(pass);
  if (!contains(pass.line, boilerplate::kMetadataReferenceEnd) &&
      !contains(pass.line, boilerplate::kMetadataContactStart)) {
    pass.work.write_line(pass.line);
  }
  for (auto line : boilerplate::kTrailer) pass.work.write_line(line);
}

namespace {

// The trailer's rows joined by `line_end`, without a line end after the last.
std::string trailer_text(std::string_view line_end) {
  std::string text;
  for (auto row : boilerplate::kTrailer) {
    if (!text.empty()) text += line_end;
    text += row;
  }
  return text;
}

}  // namespace

bool is_already_complete(std::string_view file_end) {
  static const std::string kWritten[] = {trailer_text("\r\n"), trailer_text("\n")};
  // Trailing empty lines aside (npos + 1 leaves nothing).
  file_end = file_end.substr(0, file_end.find_last_not_of("\r\n") + 1);
  for (const std::string& trailer : kWritten) {
    if (!file_end.ends_with(trailer)) continue;
    // The trailer's first row starts a line of its own.
    std::string_view before = file_end.substr(0, file_end.size() - trailer.size());
    if (before.empty() || before.back() == '\n' || before.back() == '\r') return true;
  }
  return false;
}

}  // namespace rodozerez
