// The whole rewrite pass over any bytes. It either completes, ending with
// the 32 trailer lines, or stops with 62; the prologue and the lines it
// copies come out byte for byte; memory stays bounded by the longest line.
#include <algorithm>
#include <cstdint>

#include "fuzz_support.h"
#include "lineio/errors.h"
#include "lineio/byte_text.h"
#include "rewriter/boilerplate.h"
#include "rewriter/pass.h"

using namespace rodozerez;
using fuzzing::check;

namespace {

std::string crlf_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// What the prologue and the copy-through to "<citeinfo>" must write, when
// the input holds that landmark.
bool expected_opening(const std::vector<std::string>& in, bool stylesheet, std::string& out) {
  std::size_t first_copied = stylesheet ? 3 : 2;
  std::size_t citation = first_copied;
  while (citation < in.size() && !contains(in[citation], "<citeinfo>")) ++citation;
  if (citation >= in.size()) return false;
  std::vector<std::string> lines = {in[0], std::string(boilerplate::kDocumentTypeLine)};
  if (stylesheet) {
    if (!contains(in[2], boilerplate::kStylesheetMark)) {
      lines.emplace_back(boilerplate::kStylesheetLine);
    }
    lines.push_back(in[2]);
  }
  lines.insert(lines.end(), in.begin() + first_copied, in.begin() + citation + 1);
  out = crlf_lines(lines);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  bool stylesheet = data[0] & 1;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> lines = fuzzing::reference_lines(bytes);
  std::size_t longest = 0;
  for (const auto& l : lines) longest = std::max(longest, l.size());
  std::string path = fuzzing::file_holding(bytes);

  fuzzing::measure_allocations();
  fuzzing::largest_allocation = 0;
  int error = 0;
  {
    InputFile input = open_for_reading(path);
    WorkFile work = open_for_writing(fuzzing::folder());
    try {
      rewrite_file(input, work, {stylesheet, "2026", "20261208"});
    } catch (const NumberedError& e) {
      error = e.number();
    }
    close_all_files(input, work);  // a failure throws, which the fuzzer reports
  }
  check(fuzzing::largest_allocation <= 2 * longest + 4096, "memory bounded by the longest line");
  check(error == 0 || error == kInputPastEnd, "only 62 stops the pass");

  std::string out = fuzzing::contents(fuzzing::folder() + "/tempxxx.xxx");
  check(out.empty() || out.ends_with("\r\n"), "every line ends with CR LF");
  if (error == 0) {
    std::vector<std::string> trailer(boilerplate::kTrailer.begin(), boilerplate::kTrailer.end());
    check(out.ends_with(crlf_lines(trailer)), "a completed pass ends with the trailer");
  }
  std::string opening;
  if (expected_opening(lines, stylesheet, opening)) {
    check(out.starts_with(opening), "prologue and copied lines come out byte for byte");
  }
  return 0;
}
