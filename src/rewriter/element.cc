// Elements the rules take whole: found by their start tag, with or without
// attributes, and read through the first line holding their end tag. The
// tests look at bytes only; nothing here parses XML.
#include "rewriter/phases.h"

namespace rodozerez {

std::size_t tag_at(std::string_view line, std::string_view tag) {
  if (tag.starts_with("</")) return line.find(tag);
  // "<origin>" without its ">" is the name with its opening bracket.
  std::string_view name = tag.substr(0, tag.size() - 1);
  for (std::size_t at = line.find(name); at != std::string_view::npos;
       at = line.find(name, at + 1)) {
    std::size_t after = at + name.size();
    if (after == line.size()) continue;  // a tag split over lines is no start tag here
    char next = line[after];
    if (next == '>' || next == ' ' || next == '\t' || next == '/') return at;
  }
  return std::string_view::npos;
}

bool closes_itself(std::string_view line, const Element& element) {
  std::size_t at = tag_at(line, element.start_tag);
  if (at == std::string_view::npos) return false;
  std::size_t close = line.find('>', at);
  return close != std::string_view::npos && line[close - 1] == '/';
}

void copy_element(Pass& pass, const Element& element) {
  walk_element(pass, element, [&](std::string_view line) { pass.work.write_line(line); });
}

void skip_element(Pass& pass, const Element& element) {
  walk_element(pass, element, [](std::string_view) {});
}

}  // namespace rodozerez
