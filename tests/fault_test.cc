// Failures of the operating system during the per-file cycle, injected
// into the real binary: each halts the run with its number and leaves the
// input exactly as it was.
#include <gtest/gtest.h>

#include <cerrno>

#include "scratch.h"
#include "terminal.h"

namespace rodozerez {
namespace {

using testing::crlf;
using testing::file_exists;
using testing::read_file;
using testing::ScratchDir;
using testing::Terminal;
using testing::write_file;

const std::string kTemplate =
    crlf({"<?xml version=\"1.0\"?>", "<!DOCTYPE x>", "<metadata>", "      <citeinfo>",
          "        <origin>", "        </origin>", "      </citeinfo>", "    </attracc>",
          "  </dataqual>", "  </spref>", "  <metainfo>", "    <metd>20040115</metd>",
          "  </metainfo>", "</metadata>"});

struct Fault {
  std::string call;
  int error;
  std::string path;  // suffix of the path the failing call is made on
};

// Runs the tool over one template with `fault` injected; returns the exit
// status and leaves the screen in `screen`.
int run_with_fault(const ScratchDir& dir, const Fault& fault, std::string& screen) {
  testing::RunOptions options;
  options.environment = {std::string("LD_PRELOAD=") + FAULT_SHIM, "FAULT_CALL=" + fault.call,
                         "FAULT_ERRNO=" + std::to_string(fault.error),
                         "FAULT_PATH=" + fault.path, "ASAN_OPTIONS=verify_asan_link_order=0"};
  Terminal term(dir.path().string(), {}, options);
  EXPECT_TRUE(term.wait_for("(->Y/N):")) << term.screen();
  term.type("y\ra.xml\r");
  int status = term.wait_exit();
  screen = term.screen();
  return status;
}

TEST(Faults, FailedRenameHaltsWithItsNumberAndTheInputStays) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  std::string screen;
  EXPECT_EQ(run_with_fault(dir, {"rename", EXDEV, "a.xml"}, screen), 2);
  EXPECT_NE(screen.find("a.xml\nUnknown error! - Program Halt. 74\n"), std::string::npos) << screen;
  EXPECT_EQ(read_file(dir.file("a.xml")), kTemplate);
  EXPECT_TRUE(read_file(dir.file("tempxxx.xxx")).ends_with("</metadata>\r\n"));
}

TEST(Faults, FailedFsyncIsFinalAndNothingIsRenamed) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  std::string screen;
  EXPECT_EQ(run_with_fault(dir, {"fsync", EIO, "tempxxx.xxx"}, screen), 2);
  EXPECT_NE(screen.find("Unknown error! - Program Halt. 72\n"), std::string::npos) << screen;
  EXPECT_EQ(read_file(dir.file("a.xml")), kTemplate);
  EXPECT_TRUE(file_exists(dir.file("tempxxx.xxx")));
}

TEST(Faults, DiskFullWhileWritingHalts61) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  std::string screen;
  EXPECT_EQ(run_with_fault(dir, {"write", ENOSPC, "tempxxx.xxx"}, screen), 2);
  EXPECT_NE(screen.find("Unknown error! - Program Halt. 61\n"), std::string::npos) << screen;
  EXPECT_EQ(read_file(dir.file("a.xml")), kTemplate);
}

TEST(Faults, FailedFolderFsyncBeforeTheSummaryHalts) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  std::string screen;
  EXPECT_EQ(run_with_fault(dir, {"fsync", EIO, dir.path().filename().string()}, screen), 2);
  EXPECT_NE(screen.find("Unknown error! - Program Halt. 72\n"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Finished"), std::string::npos);
}

}  // namespace
}  // namespace rodozerez
