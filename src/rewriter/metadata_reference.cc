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
    if (holds_tag(pass.line, boilerplate::kMetadataDateTag)) break;
    pass.work.write_line(pass.line);
  }
  replace_tag_value(pass, boilerplate::kMetadataDateTag, pass.values.metadata_date);

  // The trailer brings its own contact and section end.
  pass.looking_for = boilerplate::kMetadataReferenceEnd;
  read_next(pass);
  if (!holds_tag(pass.line, boilerplate::kMetadataReferenceEnd) &&
      !holds_tag(pass.line, boilerplate::kMetadataContactStart)) {
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

// The text as the reader sees it, with its line ends, of any kind the
// reader knows (CR LF, LF CR, CR, LF), all made LF.
std::string with_lf_line_ends(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') {
      out += c;
      continue;
    }
    out += '\n';
    char pair = c == '\r' ? '\n' : '\r';
    if (i + 1 < text.size() && text[i + 1] == pair) ++i;
  }
  return out;
}

}  // namespace

// Another program may have touched a completed file since: what follows
// the trailer is passed over when the reader would not take it for text
// (byte 26 and all after it) or it is only blanks, NULs and line ends; the
// line ends may be of any kind; and a byte order mark before a trailer
// that is the whole file changes nothing.
bool is_already_complete(std::string_view file_end) {
  static const std::string kWritten = trailer_text("\n");
  file_end = file_end.substr(0, file_end.find('\x1A'));
  // npos + 1 leaves nothing.
  file_end = file_end.substr(0, file_end.find_last_not_of(std::string_view(" \t\r\n\0", 5)) + 1);
  // Two bytes a line end at most: room enough for the trailer's rows.
  std::size_t most = 2 * kWritten.size();
  if (file_end.size() > most) file_end.remove_prefix(file_end.size() - most);
  std::string text = with_lf_line_ends(file_end);
  if (!std::string_view(text).ends_with(kWritten)) return false;
  // The trailer's first row starts a line of its own.
  std::string_view before = std::string_view(text).substr(0, text.size() - kWritten.size());
  return before.empty() || before.back() == '\n' || before == "\xEF\xBB\xBF";
}

}  // namespace rodozerez
