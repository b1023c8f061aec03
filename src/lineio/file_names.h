// Wildcard names as operators type them: "*" is any run of characters, "?"
// is one character, letters match in either case (ASCII only), and "*.*"
// matches every name, with or without a dot.
#pragma once

#include <string>
#include <string_view>

namespace rodozerez {

// The wildcard pattern that names every file, with or without a dot.
inline constexpr std::string_view kEveryName = "*.*";

bool matches_wildcard(std::string_view pattern, std::string_view name);

// The file pattern as searched: ".xml" is added when its name part (the
// text after its last "/") holds no ".", so "./data/*" lists the folder's
// ".xml" files and "data.v2/*.txt" its ".txt" files.
std::string with_xml_default(std::string_view filespec);

// Listing order: case-insensitive for ASCII letters, then bytewise, so a run
// over the same folder always visits its files in the same order.
bool listed_before(std::string_view a, std::string_view b);

}  // namespace rodozerez
