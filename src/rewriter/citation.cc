// The citation rules. The line after "<citeinfo>" decides. An origin that
// is missing, has no value, or names the distribution organisation in both
// its forms gets the imagery agency as originator; an origin naming anybody
// else is kept as it stands, and so are the origins that follow it at once.
// Then comes the publication-date line with the current year: the
// template's own publication date right after the origins gives way to it,
// and any other line there (a title, say) is kept, after it. A citation
// thus always holds an originator and exactly one publication date.
//
// Elements are taken whole, from the start tag (with or without
// attributes) through the first line holding the end tag, however many
// lines they span, so no stray end tag is left behind. Both forms of the
// organisation's name are looked for over all of an origin's lines
// together.
#include <string>
#include <vector>

#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {
namespace {

namespace bp = boilerplate;

constexpr Element kOrigin{bp::kOriginStartTag, bp::kOriginEndTag};
constexpr Element kPubdate{bp::kPubdateStartTag, bp::kPubdateEndTag};

// The most of an origin element held while the rules decide what becomes
// of it. A longer one names no organisation: it is kept, written as read,
// so that memory still follows the longest line.
constexpr std::size_t kHeldOriginBytes = 64 * 1024;

// The first origin element of the citation, read whole.
struct Origin {
  std::vector<std::string> lines;  // as read, for writing unchanged
  std::size_t bytes = 0;
  bool spilled = false;  // too long to hold: already written as read
  bool abbreviation = false;
  bool name = false;
  bool value = false;  // anything but blanks between its tags
};

void write_origin(Pass& pass, std::string_view start_line, std::string_view end_line) {
  pass.work.write_line(start_line);
  pass.work.write_line(bp::kOriginatorLine);
  pass.work.write_line(end_line);
}

void write_publication_date(Pass& pass) {
  pass.work.write_line({bp::kPubdateOpen, pass.values.current_year, bp::kPubdateEndTag});
}

// The part of one of the origin's lines that lies between its tags.
std::string_view between_tags(std::string_view line, bool start_line) {
  if (start_line) {
    if (closes_itself(line, kOrigin)) return {};
    std::size_t close = line.find('>', tag_at(line, kOrigin.start_tag));
    line = close == std::string_view::npos ? std::string_view{} : line.substr(close + 1);
  }
  return line.substr(0, line.find(kOrigin.end_tag));
}

// Reads the origin element that starts on the current line, writing
// nothing unless it is too long to hold.
Origin read_origin(Pass& pass) {
  Origin origin;
  walk_element(pass, kOrigin, [&](std::string_view line) {
    bool start_line = origin.lines.empty() && !origin.spilled;
    origin.abbreviation = origin.abbreviation || contains(line, bp::kDistributorAbbreviation);
    origin.name = origin.name || contains(line, bp::kDistributorName);
    std::string_view value = between_tags(line, start_line);
    origin.value = origin.value || value.find_first_not_of(" \t\r\n") != std::string_view::npos;
    if (!origin.spilled && origin.bytes + line.size() > kHeldOriginBytes) {
      for (const auto& held : origin.lines) pass.work.write_line(held);
      origin.lines.clear();
      origin.spilled = true;
    }
    if (origin.spilled) {
      pass.work.write_line(line);
    } else {
      origin.bytes += line.size();
      origin.lines.emplace_back(line);
    }
  });
  return origin;
}

// The first origin: the agency goes in where it has no value or names the
// distributor in both forms; otherwise it stays as it was, all its lines.
void complete_first_origin(Pass& pass) {
  bool alone = trimmed(pass.line) == bp::kOriginStartTag;
  Origin origin = read_origin(pass);
  if (origin.spilled) return;
  if (origin.value && !(origin.abbreviation && origin.name)) {
    for (const auto& line : origin.lines) pass.work.write_line(line);
    return;
  }
  if (!alone) {
    // The start tag shares its line: a fixed block takes the element's place.
    write_origin(pass, bp::kOriginStartLine, bp::kOriginEndLine);
    return;
  }
  // The start tag stands alone and is kept; so is an end tag that stands
  // alone right after it (the template's empty element).
  bool own_end = origin.lines.size() == 2 && trimmed(origin.lines[1]) == bp::kOriginEndTag;
  write_origin(pass, origin.lines.front(), own_end ? origin.lines[1] : bp::kOriginEndLine);
}

}  // namespace

void apply_citation_rules(Pass& pass) {
  pass.looking_for = bp::kAttributeAccuracyEnd;
  read_next(pass);
  if (holds_tag(pass.line, kOrigin.start_tag)) {
    complete_first_origin(pass);
    // Origins that follow at once are further originators: kept.
    read_next(pass);
    while (holds_tag(pass.line, kOrigin.start_tag)) {
      copy_element(pass, kOrigin);
      read_next(pass);
    }
  } else {
    write_origin(pass, bp::kOriginStartLine, bp::kOriginEndLine);
  }
  // The line after the origins: the template's own publication date gives
  // way to the inserted one; any other line stays, after it.
  write_publication_date(pass);
  if (holds_tag(pass.line, kPubdate.start_tag)) {
    skip_element(pass, kPubdate);
  } else {
    pass.work.write_line(pass.line);
  }
}

}  // namespace rodozerez
