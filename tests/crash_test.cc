// The tool killed at random moments over a batch: afterwards every input
// name exists and holds either its original bytes or exactly its complete
// rewritten text; nothing partial, nothing missing, no other file changed.
#include <termios.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "phase_runner.h"
#include "scratch.h"
#include "terminal.h"

namespace rodozerez {
namespace {

using testing::crlf;
using testing::numbered_name;
using testing::read_file;
using testing::ScratchDir;
using testing::Terminal;
using testing::write_file;

constexpr int kFiles = 300;

// Templates of different sizes; every tenth ends early and is skipped.
std::string batch_template(int n) {
  std::vector<std::string> lines = {"<?xml version=\"1.0\"?>", "<!DOCTYPE x>", "<metadata>",
                                    "  <idinfo>",           "      <citeinfo>", "        <origin>",
                                    "        </origin>",    "      </citeinfo>"};
  for (int i = 0; i < 20 + n % 97; ++i) {
    lines.push_back("        <themekey>keyword " + std::to_string(i) + " of tile " +
                    std::to_string(n) + "</themekey>");
  }
  lines.insert(lines.end(), {"  </idinfo>", "    </attracc>", "  </dataqual>", "  </spref>"});
  if (n % 10 != 7) {
    lines.insert(lines.end(), {"  <metainfo>", "    <metd>20040115</metd>", "  </metainfo>",
                               "</metadata>"});
  }
  return crlf(lines);
}

struct Batch {
  std::map<std::string, std::string> original;
  std::map<std::string, std::string> rewritten;  // only the files the tool completes

  Batch() {
    for (int n = 0; n < kFiles; ++n) {
      std::string name = numbered_name("t", 1000 + n, ".xml");
      original[name] = batch_template(n);
      auto result = testing::run_pass_today(original[name]);
      if (result.error == 0) rewritten[name] = result.bytes;
    }
  }

  void lay_out(const ScratchDir& dir) const {
    for (const auto& [name, text] : original) write_file(dir.file(name), text);
  }

  // Every name holds its original or its whole rewritten text; returns how
  // many are rewritten.
  int check(const ScratchDir& dir) const {
    int done = 0;
    for (const auto& [name, text] : original) {
      std::string now = read_file(dir.file(name));
      auto it = rewritten.find(name);
      bool complete = it != rewritten.end() && now == it->second;
      EXPECT_TRUE(now == text || complete) << name << " holds a partial or foreign text";
      done += complete;
    }
    std::size_t entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
      std::string name = entry.path().filename().string();
      EXPECT_TRUE(original.count(name) || name == kWorkFileName) << "stray file " << name;
      ++entries;
    }
    EXPECT_GE(entries, original.size());
    return done;
  }
};

const Batch& batch() {
  static const Batch b;
  return b;
}

// The kill moments are picked along the run's progress, not its clock: the
// moment the tool renames a random file into place (the fault shim marks
// it, and lets the rename pass), then up to 2 ms more. A clock taken from
// one run misleads on a loaded machine, where runs vary severalfold, and so
// does the screen, which can trail the run by hundreds of files.
TEST(Crash, SigkillAtAnyMomentLosesNoFile) {
  ScratchDir whole;
  batch().lay_out(whole);
  {
    Terminal term(whole.path().string());
    term.type("y\r*\r");
    EXPECT_EQ(term.wait_exit(), 1);  // the early-ending files are skipped
  }
  EXPECT_EQ(batch().check(whole), static_cast<int>(batch().rewritten.size()));

  std::vector<std::string> completed;
  for (const auto& [name, text] : batch().rewritten) completed.push_back(name);
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> file(0, completed.size() - 1);
  std::uniform_int_distribution<long> extra_us(0, 2000);
  int cut_midway = 0;
  for (int kill_number = 0; kill_number < 24; ++kill_number) {
    ScratchDir dir, marks;
    batch().lay_out(dir);
    std::string renamed = marks.file("renamed");
    Terminal term(
        dir.path().string(), {},
        testing::with_fault_shim({"FAULT_CALL=rename", "FAULT_PATH=" + completed[file(random)],
                                  "FAULT_MARK=" + renamed, "FAULT_DELAY_MS=0"}));
    term.type("y\r*\r");
    EXPECT_TRUE(testing::wait_for_file(renamed)) << term.screen();
    std::this_thread::sleep_for(std::chrono::microseconds(extra_us(random)));
    kill(term.pid(), SIGKILL);
    term.wait_exit();
    int done = batch().check(dir);
    cut_midway += done > 0 && done < static_cast<int>(batch().rewritten.size());
  }
  // The kills must land inside runs, not only before or after them.
  EXPECT_GE(cut_midway, 6);
}

// Each signal lands while a file is being put in place: the fault shim
// holds that file's rename until the signal has been sent, so every run is
// cut midway however loaded the machine is.
TEST(Crash, SigtermAndSighupLoseNoFileAndRestoreTheTerminal) {
  termios cooked;
  {
    ScratchDir empty;
    Terminal term(empty.path().string());
    term.type("y\r*\r");
    term.wait_exit();
    ASSERT_EQ(tcgetattr(term.master(), &cooked), 0);
  }
  for (int signal_number : {SIGTERM, SIGHUP}) {
    for (int held_file : {1040, 1150, 1260}) {
      ScratchDir dir, marks;
      batch().lay_out(dir);
      std::string renaming = marks.file("renaming");
      Terminal term(dir.path().string(), {},
                    testing::with_fault_shim({"FAULT_CALL=rename",
                                              "FAULT_PATH=" + numbered_name("t", held_file, ".xml"),
                                              "FAULT_MARK=" + renaming, "FAULT_HOLD=1"}));
      term.type("y\r*\r");
      ASSERT_TRUE(testing::wait_for_file(renaming)) << term.screen();
      kill(term.pid(), signal_number);
      term.wait_exit();
      int done = batch().check(dir);
      EXPECT_GT(done, 0) << signal_number << " at " << held_file;
      EXPECT_LT(done, static_cast<int>(batch().rewritten.size()))
          << signal_number << " at " << held_file;
      termios after;
      ASSERT_EQ(tcgetattr(term.master(), &after), 0);
      EXPECT_EQ(after.c_lflag, cooked.c_lflag) << signal_number << " at " << held_file;
      EXPECT_EQ(after.c_iflag, cooked.c_iflag) << signal_number << " at " << held_file;
    }
  }
}

}  // namespace
}  // namespace rodozerez
