#include <cstdio>
#include <ctime>

#include "lineio/date.h"

namespace rodozerez {

std::string date_text() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900);
  return text;
}

std::string metadata_date_from(const std::string& date_text) {
  return date_text.substr(6, 4) + date_text.substr(0, 2) + date_text.substr(3, 2);
}

std::string current_year_from(const std::string& date_text) { return date_text.substr(6, 4); }

}  // namespace rodozerez
