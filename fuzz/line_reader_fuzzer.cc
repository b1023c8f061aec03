// The line reader against a byte-at-a-time reference, over any bytes: the
// same lines, then 62 for good, and memory bounded by the longest line.
#include <algorithm>
#include <cstdint>

#include "fuzz_support.h"
#include "lineio/errors.h"
#include "lineio/line_file.h"

using namespace rodozerez;
using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> expected = fuzzing::reference_lines(bytes);
  fuzzing::file_holding(bytes);  // as "input.xml" in the folder

  fuzzing::measure_allocations();
  fuzzing::largest_allocation = 0;
  std::size_t longest = 0;
  std::vector<std::size_t> lengths;
  {
    InputFile in = InputFile::open(open_folder(fuzzing::folder()), "input.xml");
    std::size_t n = 0;
    try {
      for (;; ++n) {
        std::string_view line = in.read_line();
        check(n < expected.size(), "no more lines than the reference");
        check(line == expected[n], "the reference's line");
        longest = std::max(longest, line.size());
      }
    } catch (const NumberedError& e) {
      check(e.number() == kInputPastEnd, "only 62 ends reading");
    }
    check(n == expected.size(), "as many lines as the reference");
    try {
      in.read_line();
      check(false, "62 again after the end");
    } catch (const NumberedError& e) {
      check(e.number() == kInputPastEnd, "62 again after the end");
    }
  }
  // The reader holds one line (with its growth) and its buffer, nothing more.
  check(fuzzing::largest_allocation <= 2 * longest + 4096, "memory bounded by the longest line");
  return 0;
}
