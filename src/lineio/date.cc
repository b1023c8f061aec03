// The metadata date and the current year, cut from the date text.
#include "lineio/date.h"

namespace rodozerez {

std::string metadata_date_from(const std::string& date_text) {
  return date_text.substr(6, 4) + date_text.substr(0, 2) + date_text.substr(3, 2);
}

std::string current_year_from(const std::string& date_text) {
  return date_text.substr(6, 4);
}

}  // namespace rodozerez
