// Wildcard names as operators type them: "*" is any run of characters, "?"
// is one character, letters match in either case (ASCII only), and "*.*"
// matches every name, with or without a dot.
#pragma once

#include <string_view>

namespace rodozerez {

// The wildcard pattern that names every file, with or without a dot.
inline constexpr std::string_view kEveryName = "*.*";

bool matches_wildcard(std::string_view pattern, std::string_view name);

// Listing order: case-insensitive for ASCII letters, then bytewise, so a run
// over the same folder always visits its files in the same order.
bool listed_before(std::string_view a, std::string_view b);

}  // namespace rodozerez
