// The metadata reference: the metadata date element gets today's date, one
// more line is handled, and the fixed trailer ends the document. Nothing of
// the input after that line is read; the trailer takes the place of its
// metadata contact, standard name and version and closing tags.
#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {

void rewrite_metadata_reference(Pass& pass) {
  // The line the section before left is never examined for "<metd>".
  pass.line = {};
  for (;;) {
    read_next(pass);
    if (contains(pass.line, boilerplate::kMetadataDateTag)) break;
    pass.work.write_line(pass.line);
  }
  replace_tag_value(pass, boilerplate::kMetadataDateTag, pass.values.metadata_date);

  // The trailer brings its own contact and section end.
  read_next(pass);
  if (!contains(pass.line, boilerplate::kMetadataReferenceEnd) &&
      !contains(pass.line, boilerplate::kMetadataContactStart)) {
    pass.work.write_line(pass.line);
  }
  for (auto line : boilerplate::kTrailer) pass.work.write_line(line);
}

bool is_already_complete(std::string_view file_end) {
  std::size_t end = file_end.find_last_not_of("\r\n");
  if (end == std::string_view::npos) return false;
  file_end = file_end.substr(0, end + 1);
  for (std::string_view line_end : {"\r\n", "\n"}) {
    // The trailer's rows from the last up, each after a line end but the first.
    std::string_view rest = file_end;
    bool whole = true;
    for (auto row = boilerplate::kTrailer.rbegin(); whole && row != boilerplate::kTrailer.rend();
         ++row) {
      whole = rest.ends_with(*row);
      if (whole) rest.remove_suffix(row->size());
      if (whole && row + 1 != boilerplate::kTrailer.rend()) {
        whole = rest.ends_with(line_end);
        if (whole) rest.remove_suffix(line_end.size());
      }
    }
    // The first row starts a line of its own.
    if (whole && (rest.empty() || rest.back() == '\n' || rest.back() == '\r')) return true;
  }
  return false;
}

}  // namespace rodozerez
