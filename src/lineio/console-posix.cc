// The console on a POSIX terminal, drawn with VT100 sequences.
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "lineio/byte_text.h"
#include "lineio/console.h"
#include "lineio/file_descriptor.h"
#include "lineio/key_decoder.h"
#include "lineio/screen_text.h"

namespace rodozerez {
namespace {

constexpr std::size_t kTypedLineLimit = 10000;
// How long a lone Escape waits for the rest of a sequence.
constexpr int kEscapeWaitMs = 40;
// Ended lines reach the terminal at most this often while nothing is asked:
// a name line per file is one write per file otherwise.
constexpr auto kFlushInterval = std::chrono::milliseconds(50);

// One console per process; the signal handler needs it too.
struct ConsoleState {
  int out_fd = -1;
  int tty_fd = -1;
  bool plain = false;
  bool raw = false;
  bool ascii_only = false;  // the locale's character set is not UTF-8
  termios saved{};
  termios raw_settings{};
  std::size_t column = 0;
  std::size_t width = 80;
  std::string pending_output;
  std::chrono::steady_clock::time_point last_flush;
  KeyDecoder decoder;
  std::vector<Key> keys;  // decoded keys not yet taken, typed ahead
  std::size_t next_key = 0;
};

ConsoleState console;
// Set by SIGWINCH: the width is asked again before the next text.
volatile std::sig_atomic_t width_changed = 1;
// Set by SIGCONT and SIGWINCH: a question being answered is shown again.
volatile std::sig_atomic_t continued = 0;
volatile std::sig_atomic_t resized = 0;
// Set by SIGINT once the run may be stopped.
volatile std::sig_atomic_t stop_flag = 0;

void on_stop_request(int) {
  stop_flag = 1;
}

void write_fully(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = retry_interrupted([&] { return write(fd, data, size); });
    if (n <= 0) return;  // a terminal that has gone away takes nothing more
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void flush_output() {
  console.last_flush = std::chrono::steady_clock::now();
  if (console.out_fd < 0 || console.pending_output.empty()) return;
  write_fully(console.out_fd, console.pending_output.data(), console.pending_output.size());
  console.pending_output.clear();
}

std::size_t terminal_width() {
  if (width_changed) {
    width_changed = 0;
    winsize size{};
    if (!console.plain && ioctl(console.out_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
      console.width = size.ws_col;
    }
  }
  return console.width;
}

void on_window_change(int) {
  width_changed = 1;
  resized = 1;
}

// Puts one rendered cell out and wraps as a cell console does: the cell in
// the last column moves the cursor to the next row at once.
void advance_column(std::size_t width) {
  if (++console.column >= width) {
    console.pending_output += "\r\n";
    console.column = 0;
  }
}

void restore_terminal_settings() {
  if (console.raw) tcsetattr(console.tty_fd, TCSANOW, &console.saved);
}

// The signals sent from outside whose default action ends the process:
// each puts the terminal back first. (The faults a program makes itself,
// such as SIGSEGV, are left to their defaults and to the sanitizers.)
constexpr int kEndingSignals[] = {SIGTERM, SIGHUP,  SIGINT,    SIGQUIT,  SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,  SIGXCPU,
                                  SIGPIPE, SIGIO,   SIGPWR,    SIGSTKFLT};

// Installs `action` for `signal_number`, unless the process was started
// with that signal ignored (nohup, a background job): it stays ignored.
void catch_unless_ignored(int signal_number, const struct sigaction& action) {
  struct sigaction before {};
  if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) return;
  sigaction(signal_number, &action, nullptr);
}

// Only async-signal-safe calls: put the terminal back, then die of the
// signal as if it had not been caught.
void on_fatal_signal(int signal_number) {
  restore_terminal_settings();
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void enter_raw_mode() {
  if (console.raw) tcsetattr(console.tty_fd, TCSANOW, &console.raw_settings);
}

void on_stop_signal(int);

void catch_stop_signal() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTSTP, &action, nullptr);
}

// Stopped from outside (kill -TSTP): the shell gets its terminal back as
// it was, and the dialogue takes it up again in raw mode once continued.
void on_stop_signal(int) {
  int saved_errno = errno;
  restore_terminal_settings();
  std::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);  // stops here until SIGCONT
  catch_stop_signal();
  enter_raw_mode();
  errno = saved_errno;
}

// Continued after a stop this program did not see (SIGSTOP): raw again.
void on_continue(int) {
  int saved_errno = errno;
  enter_raw_mode();
  continued = 1;
  errno = saved_errno;
}

// True when the locale's character set (LC_ALL, LC_CTYPE, LANG) is UTF-8.
bool locale_is_utf8() {
  std::string previous = std::setlocale(LC_CTYPE, nullptr);
  std::setlocale(LC_CTYPE, "");
  std::string codeset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, previous.c_str());
  std::erase(codeset, '-');
  return upper_case(codeset) == "UTF8";
}

int first_terminal_output(int tty_fd) {
  if (isatty(STDOUT_FILENO)) return STDOUT_FILENO;
  if (isatty(STDERR_FILENO)) return STDERR_FILENO;
  return tty_fd;
}

// Takes more bytes from the keyboard into decoded keys. False when the
// terminal has gone away. While it waits, the signals in `waiting_mask`'s
// complement are let in, and a handled one ends the wait (EINTR).
bool take_keys(const sigset_t& waiting_mask) {
  pollfd wait{console.tty_fd, POLLIN, 0};
  timespec escape_wait{0, kEscapeWaitMs * 1000000L};
  int ready = ppoll(&wait, 1, console.decoder.pending() ? &escape_wait : nullptr, &waiting_mask);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) {
    console.decoder.time_out(console.keys);
    return true;
  }
  unsigned char bytes[256];
  ssize_t n = read(console.tty_fd, bytes, sizeof bytes);
  if (n < 0) return errno == EINTR || errno == EAGAIN;
  if (n == 0) return false;
  for (ssize_t i = 0; i < n; ++i) console.decoder.feed(bytes[i], console.keys);
  return true;
}

void erase_last_cell() {
  if (console.column > 0) {
    console.pending_output += "\b \b";
    --console.column;
    return;
  }
  // The character stood in the last column of the row above.
  std::string last_column = "\x1b[" + std::to_string(terminal_width()) + "G";
  console.pending_output += "\x1b[A" + last_column + " " + last_column;
  console.column = terminal_width() - 1;
}

}  // namespace

bool open_console() {
  int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return false;
  termios settings;
  if (tcgetattr(tty, &settings) != 0) {
    close(tty);
    return false;
  }
  console.tty_fd = tty;
  console.out_fd = first_terminal_output(tty);
  console.saved = settings;

  struct sigaction action {};
  action.sa_handler = on_fatal_signal;
  sigemptyset(&action.sa_mask);
  for (int s : kEndingSignals) catch_unless_ignored(s, action);
  action.sa_handler = on_window_change;
  action.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &action, nullptr);
  action.sa_handler = on_continue;
  sigaction(SIGCONT, &action, nullptr);
  catch_stop_signal();
  console.ascii_only = !locale_is_utf8();

  // Raw input; TCSANOW, not TCSAFLUSH, so keys typed ahead survive.
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
  settings.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  console.raw_settings = settings;
  console.raw = tcsetattr(tty, TCSANOW, &settings) == 0;
  return true;
}

void let_ctrl_c_stop_the_run() {
  struct sigaction action {};
  action.sa_handler = on_stop_request;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  catch_unless_ignored(SIGINT, action);
  if (!console.raw) return;
  // NOFLSH: the interrupt must not throw away what is still on its way to
  // the screen.
  console.raw_settings.c_lflag |= ISIG | NOFLSH;
  console.raw_settings.c_cc[VQUIT] = _POSIX_VDISABLE;
  enter_raw_mode();
}

bool stop_requested() {
  return stop_flag != 0;
}

void open_plain_output() {
  console.out_fd = STDOUT_FILENO;
  console.plain = true;
}

void report_without_terminal(std::string_view message) {
  std::string line(message);
  line += '\n';
  write_fully(STDERR_FILENO, line.data(), line.size());
}

void restore_console() {
  flush_output();
  restore_terminal_settings();
  console.raw = false;
}

void clear_screen() {
  if (!console.plain) console.pending_output += "\x1b[0m\x1b[H\x1b[2J\x1b[3J";
  console.column = 0;
}

std::size_t print_text(std::string_view text) {
  std::size_t width = terminal_width();
  std::size_t cells = 0;
  for (std::size_t at = 0; at < text.size(); ++cells) {
    at += render_character(text, at, console.pending_output, console.ascii_only);
    advance_column(width);
  }
  return cells;
}

void new_line() {
  console.pending_output += console.plain ? "\n" : "\r\n";
  console.column = 0;
  if (std::chrono::steady_clock::now() - console.last_flush >= kFlushInterval) flush_output();
}

namespace {

// After a stop and `fg` the shell has written below the question; after a
// change of size the terminal has cut or moved what was typed. Either way
// the question and the answer so far are shown again, whole: the rows they
// took (at the width they were written with) are cleared first, so that
// nothing stale stays on screen.
void show_question_again(std::string_view question, std::string_view answer, std::size_t cells) {
  if (continued) {
    console.pending_output += "\r\x1b[J";  // the shell left the cursor on a line of its own
  } else if (resized) {
    for (std::size_t rows = cells / console.width; rows > 0; --rows) {
      console.pending_output += "\x1b[A";
    }
    console.pending_output += "\r\x1b[J";
  } else {
    return;
  }
  continued = 0;
  resized = 0;
  console.column = 0;
  print_text(question);
  print_text(answer);
}

// The question, and the answer typed to it.
std::optional<std::string> read_answer(std::string_view question, const sigset_t& waiting_mask) {
  continued = 0;
  resized = 0;
  std::size_t cells = print_text(question);
  std::string answer;
  // Backspace removes one character: its bytes, and the cells it showed as.
  std::vector<std::pair<std::size_t, std::size_t>> characters;
  for (;;) {
    if (console.next_key == console.keys.size()) {
      console.keys.clear();
      console.next_key = 0;
      flush_output();
      if (!take_keys(waiting_mask)) return std::nullopt;
      show_question_again(question, answer, cells);
      continue;
    }
    Key& key = console.keys[console.next_key++];
    switch (key.kind) {
      case KeyKind::kEnter:
        new_line();
        return answer;
      case KeyKind::kBackspace:
        if (!characters.empty()) {
          auto [bytes, shown] = characters.back();
          answer.resize(answer.size() - bytes);
          characters.pop_back();
          cells -= shown;
          for (; shown > 0; --shown) erase_last_cell();
        }
        break;
      case KeyKind::kCharacter:
        if (answer.size() + key.bytes.size() <= kTypedLineLimit) {
          answer += key.bytes;
          characters.emplace_back(key.bytes.size(), print_text(key.bytes));
          cells += characters.back().second;
        }
        break;
    }
  }
}

}  // namespace

std::optional<std::string> read_typed_line(std::string_view question) {
  // SIGCONT and SIGWINCH are held back except while the keyboard is waited
  // on: one that came between the look at their flags and the wait would
  // otherwise leave the question unshown until the next key.
  sigset_t redraw_signals, before;
  sigemptyset(&redraw_signals);
  sigaddset(&redraw_signals, SIGCONT);
  sigaddset(&redraw_signals, SIGWINCH);
  sigprocmask(SIG_BLOCK, &redraw_signals, &before);
  auto answer = read_answer(question, before);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return answer;
}

std::string command_tail(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail.substr(std::min(tail.size(), tail.find_first_not_of(' ')));
}

}  // namespace rodozerez
