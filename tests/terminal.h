// Test support for end-to-end runs: the real binary on a pseudo-terminal,
// keys typed into it, and the screen read back through a small model of a
// VT100 terminal (autowrap with the pending-wrap column, as xterm does).
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace rodozerez::testing {

// What the terminal shows: rows of cells, each one UTF-8 character.
class ScreenModel {
 public:
  ScreenModel(int columns, int rows);
  void feed(std::string_view bytes);
  // The rows, trailing blanks cut, trailing empty rows dropped.
  std::vector<std::string> rows() const;
  std::string text() const;  // rows() joined with "\n"
  // Control bytes or sequences the model does not know: a safe program
  // sends none of them.
  const std::string& unexpected() const { return unexpected_; }

 private:
  void put(const std::string& cell);
  void line_feed();
  void control_sequence(const std::string& params, char final);

  int columns_, rows_;
  std::vector<std::vector<std::string>> cells_;
  int row_ = 0, column_ = 0;
  bool pending_wrap_ = false;
  std::string partial_;  // an escape sequence or UTF-8 character split across reads
  std::string unexpected_;
};

struct RunOptions {
  int columns = 80;
  int rows = 24;
  std::vector<std::string> environment;  // extra NAME=value entries
  long file_size_limit = -1;              // RLIMIT_FSIZE in bytes, -1 for none
  // Runs the tool as a job of its own under a waiting parent, as a shell
  // with job control does, so that it can be stopped (SIGTSTP is dropped
  // for a process group without a parent in its session to continue it).
  // Signal it through the terminal's foreground group.
  bool as_job = false;
  // Signals the tool is started with ignored, as nohup starts it with SIGHUP.
  std::vector<int> ignored_signals = {};
};

// The binary running on a pseudo-terminal in `directory`.
class Terminal {
 public:
  Terminal(const std::string& directory, const std::vector<std::string>& arguments = {},
           const RunOptions& options = {});
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  void type(std::string_view keys);
  // Waits until `text` is on the screen, or has been sent to the terminal
  // (it may have scrolled away since); false after `timeout_ms`. The
  // limits are generous: a loaded machine running the sanitizer build is
  // slow, and a correct program only ever waits as long as it needs.
  bool wait_for(std::string_view text, int timeout_ms = 20000);
  // Waits for the program to end; its exit status, or 128 + signal.
  int wait_exit(int timeout_ms = 30000);

  std::string screen() const { return model_.text(); }
  const ScreenModel& model() const { return model_; }
  const std::string& received() const { return received_; }  // every byte sent to the terminal
  // What was sent with the CRs taken out: the lines as printed, however
  // long, before the terminal wrapped them.
  std::string lines_sent() const;
  pid_t pid() const { return pid_; }
  long peak_memory_kib() const { return peak_kib_; }  // once ended
  int master() const { return master_; }

 private:
  bool pump(int timeout_ms);

  pid_t pid_ = -1;
  int master_ = -1;
  int status_ = -1;
  long peak_kib_ = 0;
  ScreenModel model_;
  std::string received_;
};

// Options that load the fault shim (tests/fault_shim.cc) into the tool,
// with its FAULT_* settings ("FAULT_CALL=rename", ...).
RunOptions with_fault_shim(const std::vector<std::string>& settings);

// The tool's path, as built.
std::string tool_path();

}  // namespace rodozerez::testing
