// Failures of the operating system at every step of the per-file cycle,
// injected into the real binary with an LD_PRELOAD shim: each halts the run
// with its mapped number, leaves the input exactly as it was, and puts the
// terminal back. Failures the tool rides out (EINTR, a work file that
// vanishes) let the run complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

#include "phase_runner.h"
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

constexpr const char* kWork = kWorkFileName.data();

struct Fault {
  const char* call;
  int error;
  const char* path;  // suffix of the path the failing call is made on; "" for the folder
  int number;        // the number on the fatal line; 0: the run completes
  int times = 0;     // fail this many times only; 0 for always
};

std::ostream& operator<<(std::ostream& out, const Fault& f) {
  return out << f.call << " " << f.path << " errno " << f.error;
}

struct Outcome {
  int status;
  std::string screen;
  tcflag_t local_flags;  // the terminal's settings after the run
  std::string lines;     // as printed, before the terminal wrapped them
};

Outcome run_with_fault(const ScratchDir& dir, const Fault& fault) {
  std::string path = *fault.path ? fault.path : dir.path().filename().string();
  testing::RunOptions options = testing::with_fault_shim(
      {std::string("FAULT_CALL=") + fault.call, "FAULT_ERRNO=" + std::to_string(fault.error),
       "FAULT_PATH=" + path});
  if (fault.times) options.environment.push_back("FAULT_TIMES=" + std::to_string(fault.times));
  options.columns = 200;  // the halt lines unwrapped
  Terminal term(dir.path().string(), {}, options);
  EXPECT_TRUE(term.wait_for("(->Y/N):")) << term.screen();
  term.type("y\ra.xml\r");
  Outcome outcome{term.wait_exit(), "", 0, ""};
  outcome.screen = term.screen();
  outcome.lines = term.lines_sent();
  termios after;
  tcgetattr(term.master(), &after);
  outcome.local_flags = after.c_lflag;
  return outcome;
}

class Faults : public ::testing::TestWithParam<Fault> {};

TEST_P(Faults, HaltWithTheMappedNumberAndLeaveTheInputWhole) {
  const Fault& fault = GetParam();
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  Outcome outcome = run_with_fault(dir, fault);
  EXPECT_NE(outcome.local_flags & ICANON, 0u) << "terminal not restored";
  if (fault.number == 0) {
    EXPECT_EQ(outcome.status, 0) << outcome.screen;
    EXPECT_NE(read_file(dir.file("a.xml")).find("csdgm2.dtd"), std::string::npos);
    return;
  }
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.screen.find("a.xml\nUnknown error! - Program Halt. " +
                                std::to_string(fault.number) + "\n"),
            std::string::npos)
      << outcome.screen;
  EXPECT_EQ(outcome.screen.find("Finished"), std::string::npos);
  // The line below names the one listed file, which is as it was; or, past
  // the last file, says so.
  std::size_t below = outcome.lines.find(" \n  ", outcome.lines.find("Program Halt."));
  ASSERT_NE(below, std::string::npos) << outcome.lines;
  std::string cause_line = outcome.lines.substr(below + 2);
  EXPECT_TRUE(*fault.path ? cause_line.starts_with("  Halted at a.xml: ") &&
                                cause_line.ends_with(". It is as it was.\n")
                          : cause_line.starts_with("  After the last file: "))
      << cause_line;
  // A failing call on the input or work file leaves the input as it was;
  // the folder's fsync fails after the rename, so the file is whole and new.
  std::string expected = *fault.path ? kTemplate : testing::run_pass_today(kTemplate).bytes;
  EXPECT_EQ(read_file(dir.file("a.xml")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, Faults,
    ::testing::Values(
        // Opening the input.
        Fault{"open", EACCES, "a.xml", 70}, Fault{"open", EMFILE, "a.xml", 67},
        Fault{"open", EIO, "a.xml", 72}, Fault{"open", ENOENT, "a.xml", 53},
        // Opening the work file; one that exists only for a moment is taken over.
        Fault{"open", ENOSPC, kWork, 61}, Fault{"open", EACCES, kWork, 70},
        Fault{"open", EMFILE, kWork, 67}, Fault{"open", EEXIST, kWork, 0, 1},
        Fault{"open", EEXIST, kWork, 58},
        // Locking either file.
        Fault{"flock", EWOULDBLOCK, "a.xml", 70}, Fault{"flock", EWOULDBLOCK, kWork, 70},
        // Reading and writing; EINTR is retried.
        Fault{"read", EIO, "a.xml", 72}, Fault{"read", EINTR, "a.xml", 0, 1},
        Fault{"write", ENOSPC, kWork, 61}, Fault{"write", EIO, kWork, 72},
        Fault{"write", EINTR, kWork, 0, 1},
        // Making the work file durable and giving it the input's bits.
        Fault{"fsync", EIO, kWork, 72}, Fault{"fsync", ENOSPC, kWork, 61},
        Fault{"fchmod", EIO, kWork, 72}, Fault{"fchmod", EPERM, kWork, 70},
        // The work file is closed after its rename, once its data is on disk: a
        // failing close loses nothing, and the run completes.
        Fault{"close", EIO, "a.xml", 0}, Fault{"close", EINTR, "a.xml", 0},
        // Putting it in the input's place.
        Fault{"rename", EXDEV, "a.xml", 74}, Fault{"rename", EACCES, "a.xml", 70},
        Fault{"rename", ENOSPC, "a.xml", 61}, Fault{"rename", EEXIST, "a.xml", 58},
        // The folder's fsync before the summary.
        Fault{"fsync", EIO, "", 72}));

TEST(FaultsAsRoot, OwnerAndGroupAreKeptAndAFailedChownHalts) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  ASSERT_EQ(chown(dir.file("a.xml").c_str(), 1234, 5678), 0);
  Outcome outcome = run_with_fault(dir, Fault{"fchown", EIO, kWork, 72});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.screen.find("Program Halt. 72\n"), std::string::npos) << outcome.screen;
  EXPECT_EQ(read_file(dir.file("a.xml")), kTemplate);

  // Without the fault: rewritten, still 1234:5678.
  outcome = run_with_fault(dir, Fault{"none", 0, kWork, 0});
  EXPECT_EQ(outcome.status, 0);
  struct stat st;
  ASSERT_EQ(stat(dir.file("a.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 5678u);
  EXPECT_NE(read_file(dir.file("a.xml")).find("csdgm2.dtd"), std::string::npos);
}

TEST(DiskFull, FileSizeLimitGives61AndLosesNothing) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), kTemplate);
  testing::RunOptions options;
  options.file_size_limit = 1024;  // the rewritten text is larger
  Terminal term(dir.path().string(), {}, options);
  term.type("y\ra.xml\r");
  EXPECT_EQ(term.wait_exit(), 2);
  EXPECT_NE(term.screen().find("a.xml\nUnknown error! - Program Halt. 61\n"), std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file("a.xml")), kTemplate);
  EXPECT_TRUE(file_exists(dir.file(kWorkFileName)));
}

// Options that slow one step of the cycle down in the real binary.
testing::RunOptions slowed(const char* call, const char* path, int delay_ms,
                           const std::string& mark = "") {
  testing::RunOptions options = testing::with_fault_shim(
      {std::string("FAULT_CALL=") + call, std::string("FAULT_PATH=") + path,
       "FAULT_DELAY_MS=" + std::to_string(delay_ms)});
  if (!mark.empty()) options.environment.push_back("FAULT_MARK=" + mark);
  return options;
}

// The first matching call holds until the test removes `mark`.
testing::RunOptions held(const char* call, const char* path, const std::string& mark) {
  testing::RunOptions options = slowed(call, path, 0, mark);
  options.environment.insert(options.environment.end(), {"FAULT_HOLD=1", "FAULT_TIMES=1"});
  return options;
}

// Two runs in one folder: one over every file, slow at each rename, and
// one over the last file, slow at its fsync, started while the first waits
// to rename another file. Each file ends holding its own text, old or new,
// never the other's.
TEST(Overlap, TwoRunsInOneFolderNeverMixFiles) {
  ScratchDir dir;
  std::map<std::string, std::string> original, rewritten;
  for (int i = 0; i < 4; ++i) {
    std::string name = testing::numbered_name("f", 10 + i, ".xml");
    original[name] = kTemplate;
    original[name].replace(original[name].find("<metadata>"), 10,
                           "<metadata>\r\n<!-- " + name + " -->");
    rewritten[name] = testing::run_pass_today(original[name]).bytes;
    write_file(dir.file(name), original[name]);
  }
  ScratchDir marks;
  std::string renaming = marks.file("renaming");
  Terminal slow(dir.path().string(), {}, slowed("rename", ".xml", 1000, renaming));
  Terminal fast(dir.path().string(), {}, slowed("fsync", kWork, 1500));
  slow.type("y\r*\r");
  ASSERT_TRUE(fast.wait_for("(->Y/N):"));
  ASSERT_TRUE(testing::wait_for_file(renaming));  // the slow run is in its first rename
  fast.type("y\rf13.xml\r");
  fast.wait_exit();
  slow.wait_exit();
  for (const auto& [name, text] : original) {
    std::string now = read_file(dir.file(name));
    EXPECT_TRUE(now == text || now == rewritten[name]) << name << " holds another text";
  }
}

// A folder swapped for a symbolic link to another one while a run works in
// it (here while the run opens its first file) never sends the run to that
// other folder: every file of the list is found, rewritten and renamed in
// the folder that was listed, wherever it now is, and the other folder's
// files of the same names stay as they were.
TEST(Overlap, AFolderSwappedForALinkMidRunNeverRedirectsTheRun) {
  ScratchDir dir, marks;
  std::filesystem::create_directory(dir.path() / "a");
  std::filesystem::create_directory(dir.path() / "b");
  for (const char* name : {"1.xml", "2.xml", "3.xml"}) {
    write_file(dir.file("a/" + std::string(name)), kTemplate);
    write_file(dir.file("b/" + std::string(name)), kTemplate);
  }
  std::string opening = marks.file("opening");
  Terminal term(dir.path().string(), {}, held("open", "/1.xml", opening));
  term.type("y\ra/*.xml\r");
  ASSERT_TRUE(testing::wait_for_file(opening)) << term.screen();
  std::filesystem::rename(dir.path() / "a", dir.path() / "listed");
  std::filesystem::create_directory_symlink("b", dir.path() / "a");
  std::remove(opening.c_str());
  EXPECT_EQ(term.wait_exit(), 0) << term.screen();
  EXPECT_NE(term.screen().find("Finished ------     3 files modified."), std::string::npos)
      << term.screen();
  std::string rewritten = testing::run_pass_today(kTemplate).bytes;
  for (const char* name : {"1.xml", "2.xml", "3.xml"}) {
    EXPECT_EQ(read_file(dir.file("listed/" + std::string(name))), rewritten) << name;
    EXPECT_EQ(read_file(dir.file("b/" + std::string(name))), kTemplate) << name;
  }
  EXPECT_FALSE(testing::file_exists(dir.file("b/" + std::string(kWorkFileName))));
}

// An edit another program makes while a file waits for its commit (here
// while the commit's first sync is held) stands, whether it replaced the
// file (a new file renamed in, as sed -i does) or changed it in place, and
// also where the modification time cannot tell (whole seconds, as on
// coarse file systems, or set back to the very nanosecond, as rsync -t and
// touch -r do, and the same size): the file is skipped, not put back, and
// its work file, which wore the input's owner and bits, is gone.
TEST(Overlap, AnotherProgramsEditIsNeverUndone) {
  ScratchDir dir, marks;
  for (const char* name : {"a.xml", "b.xml", "c.xml", "d.xml"}) {
    write_file(dir.file(name), kTemplate);
  }
  struct stat d_before;
  ASSERT_EQ(stat(dir.file("d.xml").c_str(), &d_before), 0);
  const timespec whole_second[2] = {{1700000000, 0}, {1700000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.file("c.xml").c_str(), whole_second, 0), 0);
  chmod(dir.file("c.xml").c_str(), 0644);
  std::string syncing = marks.file("syncing");
  Terminal term(dir.path().string(), {}, held("syncfs,fsync", "", syncing));
  term.type("y\r*\r");
  ASSERT_TRUE(testing::wait_for_file(syncing)) << term.screen();
  std::string replaced = kTemplate + "<!-- replaced -->\r\n";
  write_file(dir.file("edit.tmp"), replaced);
  ASSERT_EQ(std::rename(dir.file("edit.tmp").c_str(), dir.file("a.xml").c_str()), 0);
  std::ofstream(dir.file("b.xml"), std::ios::app | std::ios::binary) << "<!-- edited -->\r\n";
  std::string same_size = kTemplate;
  same_size.replace(same_size.find("metadata"), 8, "METADATA");
  for (const char* name : {"c.xml", "d.xml"}) {
    std::fstream edited(dir.file(name), std::ios::in | std::ios::out | std::ios::binary);
    edited << same_size;
  }
  ASSERT_EQ(utimensat(AT_FDCWD, dir.file("c.xml").c_str(), whole_second, 0), 0);
  const timespec as_before[2] = {d_before.st_atim, d_before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.file("d.xml").c_str(), as_before, 0), 0);
  std::remove(syncing.c_str());
  EXPECT_EQ(term.wait_exit(), 1);
  for (const char* name : {"a.xml", "b.xml", "c.xml", "d.xml"}) {
    EXPECT_NE(term.screen().find(std::string(name) + "\nFile changed by another program. "
                                                     "Proceeding with next file.\n"),
              std::string::npos)
        << term.screen();
  }
  EXPECT_EQ(read_file(dir.file("a.xml")), replaced);
  EXPECT_EQ(read_file(dir.file("b.xml")), kTemplate + "<!-- edited -->\r\n");
  EXPECT_EQ(read_file(dir.file("c.xml")), same_size);
  EXPECT_EQ(read_file(dir.file("d.xml")), same_size);
  EXPECT_FALSE(file_exists(dir.file(kWorkFileName)));
}

// A file wears its input's permission bits (and owner and attributes)
// before it is made durable, so that no crash can put it in place without
// them.
TEST(CommitGroup, FilesTakeTheirInputsBitsBeforeTheyAreMadeDurable) {
  ScratchDir dir, marks;
  write_file(dir.file("a.xml"), kTemplate);
  chmod(dir.file("a.xml").c_str(), 0640);
  std::string syncing = marks.file("syncing");
  Terminal term(dir.path().string(), {}, held("fsync", kWork, syncing));
  term.type("y\ra.xml\r");
  ASSERT_TRUE(testing::wait_for_file(syncing)) << term.screen();
  struct stat staged;
  ASSERT_EQ(stat(dir.file(kWorkFileName).c_str(), &staged), 0);
  EXPECT_EQ(staged.st_mode & 07777, 0640u);
  std::remove(syncing.c_str());
  EXPECT_EQ(term.wait_exit(), 0);
}

// Files are made durable in groups, with their file system at once. A
// write error is heard through the folder's descriptor opened before the
// group's first write: here that syncfs fails while one through a work
// file, opened later, would report nothing (as the kernel's does when
// another program's sync has collected the error meanwhile). Then each
// file is fsynced in turn; when the fsync of one of them fails, those
// before it are put in place, it and those after it stay as they were,
// its name is shown again above the halt line, and the line below says
// so. The same holds when the commit is set off by a file that ends early.
// (The files behind the first of a group wait unnamed: their descriptors'
// paths end in "(deleted)".)
TEST(CommitGroup, FailedSyncHaltsAtItsFileAfterPuttingTheFilesBeforeItInPlace) {
  const std::string early = kTemplate.substr(0, kTemplate.find("  </spref>"));
  for (bool ends_early : {false, true}) {
    ScratchDir dir;
    for (const char* name : {"a.xml", "b.xml", "c.xml"}) write_file(dir.file(name), kTemplate);
    write_file(dir.file("d.xml"), ends_early ? early : kTemplate);
    testing::RunOptions options = testing::with_fault_shim(
        {"FAULT_CALL=syncfs@" + dir.path().filename().string() + ",fsync@(deleted)",
         "FAULT_ERRNO=5"});
    options.columns = 200;  // the halt line unwrapped
    Terminal term(dir.path().string(), {}, options);
    term.type("y\r*\r");
    EXPECT_EQ(term.wait_exit(), 2);
    EXPECT_NE(term.screen().find("a.xml\nb.xml\nc.xml\nd.xml\nb.xml\nUnknown error! - "
                                 "Program Halt. 72\n  Halted at b.xml: an I/O error of the "
                                 "disk. It and every file listed after it are as they were.\n"),
              std::string::npos)
        << term.screen();
    std::string rewritten = testing::run_pass_today(kTemplate).bytes;
    EXPECT_EQ(read_file(dir.file("a.xml")), rewritten) << "ends early: " << ends_early;
    EXPECT_EQ(read_file(dir.file("b.xml")), kTemplate);
    EXPECT_EQ(read_file(dir.file("c.xml")), kTemplate);
    EXPECT_EQ(read_file(dir.file("d.xml")), ends_early ? early : kTemplate);
  }
}

// A file system of its own on a loop device whose backing store, a small
// tmpfs, can be filled: while it is full every write the device gets
// fails, as on a disk that falters for a moment. Requests are kept to one
// page, so that a write lands whole or fails: a longer one that fills the
// store midway ends short, and the loop driver reports a short write as
// done (the device itself would lie). Needs root, loop devices, tmpfs and
// mkfs.ext4; `ready` is false where the machine lacks any of them.
class FalteringDisk {
 public:
  explicit FalteringDisk(const ScratchDir& dir)
      : store_(dir.file("store")), mount_(dir.file("disk")) {
    std::filesystem::create_directories(store_);
    std::filesystem::create_directories(mount_);
    if (geteuid() != 0 || !sh("mount -t tmpfs -o size=40m tmpfs " + store_)) return;
    mounted_store_ = true;
    std::string device = store_ + "/device";
    if (!sh("truncate -s 64M " + store_ + "/image && losetup -f --show " + store_ + "/image > " +
            device)) {
      return;
    }
    loop_ = read_file(device);
    loop_.erase(loop_.find_last_not_of('\n') + 1);
    ready_ = sh("echo 4 > /sys/block/" + loop_.substr(loop_.rfind('/') + 1) +
                "/queue/max_sectors_kb && mkfs.ext4 -q -F -b 4096 " + loop_ + " && mount " + loop_ +
                " " + mount_);
  }
  ~FalteringDisk() {
    heal();
    if (ready_) sh("umount " + mount_);
    if (!loop_.empty()) sh("losetup -d " + loop_);
    if (mounted_store_) sh("umount " + store_);
  }

  bool ready() const { return ready_; }
  const std::string& path() const { return mount_; }
  void fail_writes() { sh("dd if=/dev/zero of=" + store_ + "/fill bs=1M"); }
  // Waits until no write started on the machine is still on its way (the
  // "Writeback:" line of /proc/meminfo reads 0 kB): by then each write
  // made while the device failed has failed.
  static bool wait_for_writes_in_flight() {
    for (int waited_ms = 0; waited_ms < 20000; waited_ms += 10) {
      std::string info = read_file("/proc/meminfo");
      std::size_t at = info.find("\nWriteback:");
      if (at != std::string::npos && std::stol(info.substr(at + 11)) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void heal() { std::remove((store_ + "/fill").c_str()); }
  // Mounted again, so that what is read comes from the device itself.
  bool remount() { return sh("umount " + mount_ + " && mount " + loop_ + " " + mount_); }

 private:
  static bool sh(const std::string& command) {
    return std::system(("(" + command + ") > /dev/null 2>&1").c_str()) == 0;
  }

  std::string store_, mount_, loop_;
  bool mounted_store_ = false;
  bool ready_ = false;
};

// The writes of a commit group's first files fail on the device, and
// another program's sync (a backup, say) collects the error before the
// group's later work files are even opened. The run must still hear of it:
// it halts, and every file holds its old text or its new one, read back
// from the device.
TEST(CommitGroup, AWriteErrorAnotherProgramSyncedFirstStillHaltsTheRun) {
  ScratchDir dir, marks;
  FalteringDisk disk(dir);
  if (!disk.ready()) GTEST_SKIP() << "needs root, loop devices, tmpfs and mkfs.ext4";
  std::string folder = disk.path() + "/batch";
  std::filesystem::create_directory(folder);
  std::vector<std::string> names;
  for (int i = 1; i <= 20; ++i) {
    names.push_back(testing::numbered_name("f", 100 + i, ".xml"));
    write_file(folder + "/" + names.back(), kTemplate);
  }
  ASSERT_EQ(std::system(("sync -f " + folder).c_str()), 0);
  std::string opening = marks.file("opening");
  testing::RunOptions options =
      testing::with_fault_shim({"FAULT_CALL=open@f101.xml,open@f110.xml", "FAULT_TIMES=2",
                                "FAULT_HOLD=1", "FAULT_MARK=" + opening});
  Terminal term(folder, {}, options);
  term.type("y\r*\r");
  ASSERT_TRUE(testing::wait_for_file(opening)) << term.screen();
  disk.fail_writes();
  std::remove(opening.c_str());
  ASSERT_TRUE(testing::wait_for_file(opening)) << term.screen();
  ASSERT_TRUE(FalteringDisk::wait_for_writes_in_flight());
  disk.heal();
  // The other program's sync hears of the error, and the kernel counts it
  // as seen.
  ASSERT_NE(std::system(("sync -f " + folder + " 2>/dev/null").c_str()), 0);
  std::remove(opening.c_str());
  int status = term.wait_exit();
  ASSERT_TRUE(disk.remount());
  std::string rewritten = testing::run_pass_today(kTemplate).bytes;
  std::size_t placed = 0;
  for (const std::string& name : names) {
    std::string text = read_file(folder + "/" + name);
    EXPECT_TRUE(text == kTemplate || text == rewritten) << name << " lost its text";
    placed += text == rewritten;
  }
  EXPECT_EQ(status, 2) << term.screen();
  EXPECT_LT(placed, names.size()) << term.screen();
}

// A file system that makes no unnamed files (NFS, FUSE) gets one file at a
// time, and every file is rewritten all the same. (The same fault with an
// error that is not "unsupported" halts the run: the fault does reach the
// unnamed work file's open, the third open of the folder, after the
// listing's and the one that watches for write errors.)
TEST(CommitGroup, WithoutUnnamedWorkFilesEachFileGoesOnItsOwn) {
  for (int error : {EOPNOTSUPP, EIO}) {
    ScratchDir dir;
    for (const char* name : {"a.xml", "b.xml", "c.xml"}) write_file(dir.file(name), kTemplate);
    testing::RunOptions options = testing::with_fault_shim({"FAULT_CALL=open", "FAULT_PATH=.",
                                                            "FAULT_ERRNO=" + std::to_string(error),
                                                            "FAULT_SKIP=2", "FAULT_TIMES=1"});
    Terminal term(dir.path().string(), {}, options);
    term.type("y\r*\r");
    std::string rewritten = testing::run_pass_today(kTemplate).bytes;
    if (error == EIO) {
      EXPECT_EQ(term.wait_exit(), 2) << term.screen();
      EXPECT_NE(term.screen().find("b.xml\nUnknown error! - Program Halt. 72"), std::string::npos)
          << term.screen();
      EXPECT_EQ(read_file(dir.file("a.xml")), rewritten);
      EXPECT_EQ(read_file(dir.file("b.xml")), kTemplate);
      EXPECT_EQ(read_file(dir.file("c.xml")), kTemplate);
      continue;
    }
    EXPECT_EQ(term.wait_exit(), 0) << term.screen();
    EXPECT_NE(term.screen().find("a.xml\nb.xml\nc.xml\n\nFinished ------     3 files modified."),
              std::string::npos)
        << term.screen();
    for (const char* name : {"a.xml", "b.xml", "c.xml"}) {
      EXPECT_EQ(read_file(dir.file(name)), rewritten);
    }
  }
}

// Replaced inputs are closed beside the run, which waits for no more than a
// few of them at a time: with every such close slow (a device that takes
// its time to trim), the queue fills and drains, and the run still ends
// with every file rewritten. (A replaced input's descriptor path ends in
// "(deleted)".)
TEST(CommitGroup, SlowClosesOfReplacedInputsFillTheQueueAndTheRunStillCompletes) {
  ScratchDir dir;
  constexpr int kFiles = 80;
  for (int i = 0; i < kFiles; ++i)
    write_file(dir.file(testing::numbered_name("t", 100 + i, ".xml")), kTemplate);
  Terminal term(dir.path().string(), {}, slowed("close", "(deleted)", 10));
  term.type("y\r*\r");
  EXPECT_EQ(term.wait_exit(), 0) << term.screen();
  EXPECT_NE(term.screen().find("Finished ------    80 files modified."), std::string::npos)
      << term.screen();
  std::string rewritten = testing::run_pass_today(kTemplate).bytes;
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(read_file(dir.file(testing::numbered_name("t", 100 + i, ".xml"))), rewritten) << i;
  }
}

}  // namespace
}  // namespace rodozerez
