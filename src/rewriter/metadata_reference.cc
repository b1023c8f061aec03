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

}  // namespace rodozerez
