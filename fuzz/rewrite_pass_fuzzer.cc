// The whole rewrite pass over any bytes, with the well-formedness guard. It
// either completes, ending with the 32 trailer lines, or stops with 62;
// the prologue and the lines it copies come out byte for byte, with the
// input's own line ends; a completed rewrite replaces the input only when
// it leaves a well-formed document well-formed; memory stays bounded by the
// longest line (and the parser's own fixed tables).
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "fuzz_support.h"
#include "lineio/byte_text.h"
#include "lineio/errors.h"
#include "lineio/well_formed.h"
#include "rewriter/boilerplate.h"
#include "rewriter/pass.h"

using namespace rodozerez;
using fuzzing::check;

namespace {

std::string joined(const std::vector<std::string>& lines, std::string_view line_end) {
  std::string out;
  for (const auto& l : lines) {
    out += l;
    out += line_end;
  }
  return out;
}

bool has_element_markup(std::string_view line) {
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    char c = line[i + 1];
    if (line[i] == '<' &&
        (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '/')) {
      return true;
    }
  }
  return false;
}

// A start tag by the rules' reading: "<name" followed by ">", a space, a
// tab or "/" (attributes, an empty-element tag).
bool holds_start_tag(std::string_view line, std::string_view name) {
  for (std::size_t at = line.find(name); at != std::string_view::npos;
       at = line.find(name, at + 1)) {
    if (at + name.size() < line.size() &&
        std::string_view(">\t /").find(line[at + name.size()]) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

bool well_formed(std::string_view document) {
  WellFormedCheck guard;
  guard.feed(document);
  return guard.finish();
}

// What the prologue and the copy-through to "<citeinfo>" must write, when
// the input holds that landmark.
bool expected_opening(const std::vector<std::string>& in, bool stylesheet,
                      std::string_view line_end, std::string& out) {
  if (in.size() < 2) return false;
  std::vector<std::string> lines = {in[0]};
  std::size_t first_copied = 2;
  const std::string doctype(boilerplate::kDocumentTypeLine);
  const std::string sheet(boilerplate::kStylesheetLine);
  if (has_element_markup(in[1])) {
    // Line 2 is kept; only what the document can take goes before it.
    bool root_first = has_element_markup(in[0]);
    if (!root_first && !contains(in[0], "<!DOCTYPE")) lines.push_back(doctype);
    if (stylesheet && !root_first && !contains(in[0], "FGDC_V2") && !contains(in[1], "FGDC_V2")) {
      lines.push_back(sheet);
    }
    lines.push_back(in[1]);
  } else {
    lines.push_back(doctype);
    if (stylesheet) {
      if (in.size() < 3) return false;
      if (!contains(in[2], "FGDC_V2")) lines.push_back(sheet);
      lines.push_back(in[2]);
      first_copied = 3;
    }
  }
  std::size_t citation = first_copied;
  while (citation < in.size() && !holds_start_tag(in[citation], "<citeinfo")) ++citation;
  if (citation >= in.size()) return false;
  lines.insert(lines.end(), in.begin() + first_copied, in.begin() + citation + 1);
  out = joined(lines, line_end);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  bool stylesheet = data[0] & 1;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> lines = fuzzing::reference_lines(bytes);
  std::string_view line_end = fuzzing::is_lf_file(bytes) ? "\n" : "\r\n";
  std::size_t longest = 0;
  for (const auto& l : lines) longest = std::max(longest, l.size());
  std::string path = fuzzing::file_holding(bytes);

  fuzzing::measure_allocations();
  fuzzing::largest_allocation = 0;
  int error = 0;
  Replacement replacement = Replacement::kReplaced;
  {
    Folder folder = open_folder(fuzzing::folder());
    InputFile input = InputFile::open(folder, "input.xml");
    WorkFile work = WorkFile::create(folder);
    try {
      rewrite_file(input, work, {stylesheet, "2026", "20261208"});
      replacement = work.stage(input);
      if (replacement == Replacement::kStaged) {
        work.make_durable();
        replacement = work.put_in_place(input);
      }
    } catch (const NumberedError& e) {
      error = e.number();
    }
    close_all_files(input, work);  // a failure throws, which the fuzzer reports
  }
  check(fuzzing::largest_allocation <= 2 * longest + 64 * 1024,
        "memory bounded by the longest line");
  check(error == 0 || error == kInputPastEnd, "only 62 stops the pass");

  bool replaced = error == 0 && replacement == Replacement::kReplaced;
  std::string out = fuzzing::contents(replaced ? path : fuzzing::folder() + "/tempxxx.xxx");
  check(out.empty() || out.ends_with(line_end), "every line ends as the input's do");
  if (error == 0) {
    std::vector<std::string> trailer(boilerplate::kTrailer.begin(), boilerplate::kTrailer.end());
    check(out.ends_with(joined(trailer, line_end)), "a completed pass ends with the trailer");
    bool kept_whole = well_formed(out) || !well_formed(bytes);
    check(replaced == kept_whole, "the guard replaces exactly when nothing gets worse");
  }
  std::string opening;
  if (expected_opening(lines, stylesheet, line_end, opening)) {
    check(out.starts_with(opening), "prologue and copied lines come out byte for byte");
  }
  return 0;
}
