// The driver's own words: the title, the information screen, and why a
// file was left as it was (the line below its name, and the one word for
// it in the summary's list).
#pragma once

#include <cstddef>
#include <string_view>

namespace rodozerez {

inline constexpr std::string_view kTitle =
    "Rodozerez Version " RODOZEREZ_VERSION "     (15-Apr-2004)";

inline constexpr std::string_view kInformation[] = {
    "",
    kTitle,
    "",
    "  Merges project XML metadata boilerplate info into short template contract",
    "  XML datafiles to fill in the missing pieces.  The proccont info is removed",
    "  from the final output and HDC is made the metadata POC for the data.",
    "  The metadata date is also updated.",
    "",
    "  Missing logic, complete and eainfo elements are inserted.  The citeinfo -",
    "  originator is changed to VRA.",
    "  This program replaces the original metadata files.  Make sure that you have",
    "  backups of all metadata files before running.",
    "",
};

// Why a file was left as it was: the line below its name, and the word in
// the summary's list.
enum class Skip { kIncomplete, kIllFormed, kChanged, kStopped };

struct SkipReason {
  std::string_view message;
  std::string_view word;
};

inline constexpr SkipReason kSkipReasons[] = {
    {"Error!  Processed past end of file. Proceeding with next file.", "incomplete"},
    {"Error!  Rewritten file would not be well-formed XML. Proceeding with next file.",
     "ill-formed"},
    {"File changed by another program. Proceeding with next file.", "changed"},
    {"Stopped by Ctrl+C; left as it was.", "stopped"},
};

inline const SkipReason& reason(Skip skip) {
  return kSkipReasons[static_cast<std::size_t>(skip)];
}

}  // namespace rodozerez
