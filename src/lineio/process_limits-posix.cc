// Process-wide settings on POSIX: the open-file limit and SIGXFSZ.
#include <sys/resource.h>

#include <csignal>
#include <cstdint>

#include "lineio/process_limits.h"

namespace rodozerez {

std::size_t raise_open_file_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_cur);
}

void ignore_size_limit_signal() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace rodozerez
