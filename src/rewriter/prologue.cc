// The document prologue. Line 1 (the XML declaration in the templates) is
// copied; line 2 is replaced whatever it holds; line 3 gets the stylesheet
// line ahead of it when the operator asked for one and the template does not
// already refer to the stylesheet.
#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {

void write_document_prologue(Pass& pass) {
  read_next(pass);
  pass.work.write_line(pass.line);

  read_next(pass);
  pass.work.write_line(boilerplate::kDocumentTypeLine);

  // With "N", line 3 is left to the copy-through below like any other line.
  if (pass.values.stylesheet) {
    read_next(pass);
    if (!contains(pass.line, boilerplate::kStylesheetMark)) {
      pass.work.write_line(boilerplate::kStylesheetLine);
    }
    pass.work.write_line(pass.line);
  }

  // Emptied first, so the search starts with a fresh read even when line 3
  // held the landmark.
  pass.line = {};
  copy_through(pass, boilerplate::kCitationStart);
}

}  // namespace rodozerez
