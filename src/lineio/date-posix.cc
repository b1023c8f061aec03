// Today's local date from the system clock; TZ is honoured.
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

}  // namespace rodozerez
