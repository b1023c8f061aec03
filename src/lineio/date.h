// Today's local date, as the metadata needs it.
#pragma once

#include <string>

namespace rodozerez {

// Today's local date as MM-DD-YYYY; TZ is honoured.
std::string date_text();

// yyyymmdd from a MM-DD-YYYY date text.
std::string metadata_date_from(const std::string& date_text);

// yyyy from a MM-DD-YYYY date text.
std::string current_year_from(const std::string& date_text);

}  // namespace rodozerez
