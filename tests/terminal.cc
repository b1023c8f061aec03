#include "terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace rodozerez::testing {

std::string tool_path() { return RODOZEREZ_BINARY; }

std::string Terminal::lines_sent() const {
  std::string lines = received_;
  std::erase(lines, '\r');
  return lines;
}

RunOptions with_fault_shim(const std::vector<std::string>& settings) {
  RunOptions options;
  options.environment = {std::string("LD_PRELOAD=") + FAULT_SHIM,
                         "ASAN_OPTIONS=verify_asan_link_order=0"};
  options.environment.insert(options.environment.end(), settings.begin(), settings.end());
  return options;
}

// ---- ScreenModel ----------------------------------------------------------

ScreenModel::ScreenModel(int columns, int rows)
    : columns_(columns), rows_(rows), cells_(rows, std::vector<std::string>(columns, " ")) {}

void ScreenModel::line_feed() {
  if (row_ + 1 < rows_) {
    ++row_;
    return;
  }
  cells_.erase(cells_.begin());
  cells_.emplace_back(columns_, " ");
}

void ScreenModel::put(const std::string& cell) {
  if (pending_wrap_) {
    column_ = 0;
    line_feed();
    pending_wrap_ = false;
  }
  cells_[row_][column_] = cell;
  if (column_ + 1 < columns_) {
    ++column_;
  } else {
    pending_wrap_ = true;
  }
}

void ScreenModel::control_sequence(const std::string& params, char final) {
  int n = params.empty() ? 1 : std::atoi(params.c_str());
  pending_wrap_ = false;
  switch (final) {
    case 'H':
      if (params.empty()) {
        row_ = column_ = 0;
        return;
      }
      break;
    case 'J':
      if (params == "2") {
        for (auto& row : cells_) row.assign(columns_, " ");
        return;
      }
      if (params == "3") return;  // scrollback: nothing kept here
      if (params.empty() || params == "0") {  // from the cursor to the end
        cells_[row_].resize(column_);
        cells_[row_].resize(columns_, " ");
        for (int r = row_ + 1; r < rows_; ++r) cells_[r].assign(columns_, " ");
        return;
      }
      break;
    case 'm':
      if (params.empty() || params == "0") return;
      break;
    case 'A':
      row_ = std::max(0, row_ - n);
      return;
    case 'G':
      column_ = std::min(columns_ - 1, std::max(0, n - 1));
      return;
    default:
      break;
  }
  unexpected_ += "ESC[" + params + final;
}

void ScreenModel::feed(std::string_view bytes) {
  std::string data = partial_ + std::string(bytes);
  partial_.clear();
  for (std::size_t i = 0; i < data.size();) {
    auto b = static_cast<unsigned char>(data[i]);
    if (b == 0x1B) {
      if (i + 1 >= data.size()) {
        partial_ = data.substr(i);
        return;
      }
      if (data[i + 1] != '[') {
        unexpected_ += "ESC";
        i += 1;
        continue;
      }
      std::size_t j = i + 2;
      while (j < data.size() && (static_cast<unsigned char>(data[j]) < 0x40 ||
                                 static_cast<unsigned char>(data[j]) > 0x7E)) {
        ++j;
      }
      if (j >= data.size()) {
        partial_ = data.substr(i);
        return;
      }
      control_sequence(data.substr(i + 2, j - i - 2), data[j]);
      i = j + 1;
    } else if (b == '\r') {
      column_ = 0;
      pending_wrap_ = false;
      ++i;
    } else if (b == '\n') {
      line_feed();
      pending_wrap_ = false;
      ++i;
    } else if (b == '\b') {
      if (column_ > 0 && !pending_wrap_) --column_;
      pending_wrap_ = false;
      ++i;
    } else if (b < 32 || b == 127) {
      unexpected_ += '^';
      unexpected_ += std::to_string(b);
      ++i;
    } else {
      std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      if (i + n > data.size()) {
        partial_ = data.substr(i);
        return;
      }
      // C1 controls arrive as C2 80 to C2 9F, or as raw bytes 80 to 9F.
      if (b >= 0x80 &&
          (b < 0xC2 || (b == 0xC2 && static_cast<unsigned char>(data[i + 1]) < 0xA0))) {
        unexpected_ += "C1";
      }
      put(data.substr(i, n));
      i += n;
    }
  }
}

std::vector<std::string> ScreenModel::rows() const {
  std::vector<std::string> out;
  for (const auto& row : cells_) {
    std::string text;
    for (const auto& cell : row) text += cell;
    text.erase(text.find_last_not_of(' ') + 1);
    out.push_back(text);
  }
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

std::string ScreenModel::text() const {
  std::string out;
  for (const auto& row : rows()) out += row + "\n";
  return out;
}

// ---- Terminal -------------------------------------------------------------

Terminal::Terminal(const std::string& directory, const std::vector<std::string>& arguments,
                   const RunOptions& options)
    : model_(options.columns, options.rows) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(options.columns);
  size.ws_row = static_cast<unsigned short>(options.rows);
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) {
    if (chdir(directory.c_str()) != 0) _exit(120);
    if (options.file_size_limit >= 0) {
      rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                   static_cast<rlim_t>(options.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    setenv("TERM", "xterm", 1);
    // A UTF-8 terminal unless a test says otherwise.
    setenv("LC_ALL", "C.UTF-8", 1);
    for (const auto& entry : options.environment) putenv(const_cast<char*>(entry.c_str()));
    // What the suite inherited (a background job ignores SIGINT and SIGQUIT,
    // say) is undone: the tool starts as from an interactive shell, with
    // only the dispositions a test asks for.
    for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : options.ignored_signals) signal(s, SIG_IGN);
    if (options.as_job) {
      pid_t job = fork();
      if (job == 0) {
        setpgid(0, 0);
      } else if (job > 0) {
        setpgid(job, job);
        tcsetpgrp(STDIN_FILENO, job);
        int status;
        while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
      }
    }
    std::vector<char*> argv;
    std::string program = tool_path();
    argv.push_back(program.data());
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

Terminal::~Terminal() {
  if (status_ < 0 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

void Terminal::type(std::string_view keys) {
  while (!keys.empty()) {
    ssize_t n = write(master_, keys.data(), keys.size());
    if (n <= 0) {
      if (errno == EINTR) continue;
      return;
    }
    keys.remove_prefix(static_cast<std::size_t>(n));
  }
}

bool Terminal::pump(int timeout_ms) {
  pollfd wait{master_, POLLIN, 0};
  if (poll(&wait, 1, timeout_ms) <= 0) return false;
  char buffer[4096];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;  // EIO once the program has ended
  received_.append(buffer, static_cast<std::size_t>(n));
  model_.feed({buffer, static_cast<std::size_t>(n)});
  return true;
}

bool Terminal::wait_for(std::string_view text, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (model_.text().find(text) == std::string::npos &&
         received_.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return false;
    pump(static_cast<int>(std::min<long>(left, 100)));
  }
  return true;
}

int Terminal::wait_exit(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (status_ < 0) {
    pump(20);
    int raw;
    rusage usage{};
    pid_t done = wait4(pid_, &raw, WNOHANG, &usage);
    if (done == pid_) {
      peak_kib_ = usage.ru_maxrss;
      while (pump(50)) {
      }
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    } else if (std::chrono::steady_clock::now() > deadline) {
      return -1;
    }
  }
  return status_;
}

}  // namespace rodozerez::testing
