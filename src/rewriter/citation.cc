// The citation rules. The line after "<citeinfo>" decides: an origin that is
// missing, empty, or names the distribution organisation in both its forms
// gets the imagery agency as originator; an origin naming anybody else is
// removed. The publication-date line with the current year always follows.
//
// When the origin start tag stands alone and a value line follows, one more
// line is read: an "</origin>" there is consumed with the element, so the
// citation stays balanced and the publication date never lands inside the
// origin; any other line is written after the publication date.
#include <string>

#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {
namespace {

bool names_distributor_in_both_forms(std::string_view line) {
  return contains(line, boilerplate::kDistributorAbbreviation) &&
         contains(line, boilerplate::kDistributorName);
}

void write_replacement_origin(Pass& pass) {
  pass.work.write_line(boilerplate::kOriginStartLine);
  pass.work.write_line(boilerplate::kOriginatorLine);
  pass.work.write_line(boilerplate::kOriginEndLine);
}

void write_publication_date(Pass& pass) {
  pass.work.write_line(
      {boilerplate::kPubdateOpen, pass.values.current_year, boilerplate::kPubdateClose});
}

// The origin start tag stands alone on `start_tag_line`; the current line is
// the one after it.
void rewrite_origin_element(Pass& pass, const std::string& start_tag_line) {
  if (trimmed(pass.line) == "</origin>") {
    // An empty element: the agency goes between the input's own tags.
    pass.work.write_line(start_tag_line);
    pass.work.write_line(boilerplate::kOriginatorLine);
    pass.work.write_line(pass.line);
    write_publication_date(pass);
    return;
  }
  if (names_distributor_in_both_forms(pass.line)) {
    pass.work.write_line(start_tag_line);
    pass.work.write_line(boilerplate::kOriginatorLine);
    pass.work.write_line(boilerplate::kOriginEndLine);
  }
  read_next(pass);
  bool end_tag_consumed = trimmed(pass.line) == "</origin>";
  write_publication_date(pass);
  if (!end_tag_consumed) pass.work.write_line(pass.line);
}

}  // namespace

void apply_citation_rules(Pass& pass) {
  read_next(pass);
  if (!contains(pass.line, "<origin>")) {
    // No origin: the examined line is dropped, whatever it holds.
    write_replacement_origin(pass);
  } else if (trimmed(pass.line) != "<origin>") {
    // A one-line origin element, or a start tag sharing its line.
    if (names_distributor_in_both_forms(pass.line)) write_replacement_origin(pass);
  } else {
    // The start tag stands alone; its line is kept for writing after the
    // next read has replaced the current line.
    std::string start_tag_line(pass.line);
    read_next(pass);
    rewrite_origin_element(pass, start_tag_line);
    return;
  }
  write_publication_date(pass);
}

}  // namespace rodozerez
