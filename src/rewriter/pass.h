// The rewrite pass: one forward pass over an input document's lines that
// writes its completed copy to the work file.
//
// The pass never parses XML. It finds its way by landmarks, tag texts
// searched for inside lines, and copies every line no rule touches byte for
// byte. It makes no end-of-file test of its own: a missing landmark sends a
// read past the end, which throws the input-past-end error (62).
#pragma once

#include <string>
#include <string_view>

#include "lineio/line_file.h"

namespace rodozerez {

// What the driver fixes once per run.
struct RunValues {
  bool stylesheet = true;           // write the stylesheet line
  std::string_view current_year;   // yyyy
  std::string_view metadata_date;  // yyyymmdd
};

// Rewrites the document read from `input` into `work`, ending with
// "</metadata>". Throws NumberedError: 62 when the input ends too early,
// carrying the landmark the pass was looking for, for the operator.
void rewrite_file(InputFile& input, WorkFile& work, const RunValues& values);

// The line under the skip message for `input`, which ended while the pass
// was looking for `landmark`: where it ended, and, when the landmark stands
// in a line already read, why it was not found there (the file's lines end
// in LF after a CR LF, or it is not laid out one element per line). Reads
// the file again from its start.
std::string past_end_details(InputFile& input, std::string_view landmark);

// How much of a file's end `is_already_complete` needs: the trailer with
// either line end, and room for trailing empty lines.
inline constexpr std::size_t kCompletedFileEndBytes = 16 * 1024;

// True when `file_end`, the end of a file, is the trailer this tool
// writes, whole lines with either line end, trailing empty lines aside:
// the file was completed by an earlier run, and rewriting it again would
// only damage it.
bool is_already_complete(std::string_view file_end);

}  // namespace rodozerez
