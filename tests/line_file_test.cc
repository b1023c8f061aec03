#include "lineio/line_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "lineio/errors.h"
#include "scratch.h"

namespace rodozerez {
namespace {

using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

Folder folder_of(const ScratchDir& dir) {
  return open_folder(dir.path().string());
}

// Every line of a file with these bytes, and the error that ended reading.
struct Reading {
  std::vector<std::string> lines;
  int error = 0;
};

Reading read_all(const std::string& bytes) {
  ScratchDir dir;
  write_file(dir.file("in.xml"), bytes);
  InputFile in = InputFile::open(folder_of(dir), "in.xml");
  Reading result;
  try {
    for (;;) result.lines.emplace_back(in.read_line());
  } catch (const NumberedError& e) {
    result.error = e.number();
  }
  return result;
}

int error_of(const std::function<void()>& step) {
  try {
    step();
  } catch (const NumberedError& e) {
    return e.number();
  }
  return 0;
}

using Lines = std::vector<std::string>;

// The end of a file, as the completed-file test sees it: taken from what
// the first read brought in for a small file, read apart for a large one,
// and the reading position is left where it was either way.
TEST(ReadFileEnd, IsTheFilesLastBytesWhateverItsSize) {
  for (std::size_t size : {std::size_t{10}, 3 * kLineBufferSize + 5}) {
    std::string text = "a\r\n";
    for (std::size_t i = 0; text.size() < size; ++i) text += static_cast<char>('a' + i % 26);
    ScratchDir dir;
    write_file(dir.file("in.xml"), text);
    InputFile in = InputFile::open(folder_of(dir), "in.xml");
    EXPECT_EQ(in.read_end(6), text.substr(text.size() - 6)) << size;
    EXPECT_EQ(in.read_end(2 * size), text) << size;
    EXPECT_EQ(in.read_line(), "a") << size;
  }
}

TEST(ReadLine, CrLfAndLoneCrEndLinesThenPastEndIs62) {
  EXPECT_EQ(read_all("a\r\nb\r\n").lines, (Lines{"a", "b"}));
  EXPECT_EQ(read_all("a\r\nb\r\n").error, kInputPastEnd);
  EXPECT_EQ(read_all("a\rb").lines, (Lines{"a", "b"}));
  EXPECT_EQ(read_all("a\r\r\n").lines, (Lines{"a", ""}));
}

TEST(ReadLine, LoneLfStaysInsideTheLineOfACrLfFile) {
  EXPECT_EQ(read_all("a\nb\r\nc\n").lines, (Lines{"a\nb", "c\n"}));
}

// A file with no CR before the end of its data has LF line ends, however
// far ahead that end lies.
TEST(ReadLine, FileWithoutCrBeforeItsEndHasLfLines) {
  EXPECT_EQ(read_all("a\nb\n").lines, (Lines{"a", "b"}));
  EXPECT_EQ(read_all("a\n\nb").lines, (Lines{"a", "", "b"}));
  EXPECT_EQ(read_all("a\nb\x1A\r\n").lines, (Lines{"a", "b"}));
  std::string long_line(3 * kLineBufferSize, 'q');
  EXPECT_EQ(read_all(long_line + "\nb\n").lines, (Lines{long_line, "b"}));
  EXPECT_EQ(read_all(long_line + "\nb\r\n").lines, (Lines{long_line + "\nb"}));
}

TEST(ReadLine, EmptyFileIsPastEndAtOnce) {
  Reading r = read_all("");
  EXPECT_TRUE(r.lines.empty());
  EXPECT_EQ(r.error, kInputPastEnd);
}

TEST(ReadLine, Byte26EndsTheDataForGood) {
  EXPECT_EQ(read_all("a\r\nb\x1A"
                     "c\r\nd\r\n")
                .lines,
            (Lines{"a", "b"}));
  EXPECT_EQ(read_all("a\r\n\x1A"
                     "b\r\n")
                .lines,
            (Lines{"a"}));
  EXPECT_EQ(read_all("\x1A").lines, Lines{});
}

TEST(ReadLine, ByteZeroAndTabsAreOrdinaryBytes) {
  EXPECT_EQ(read_all(std::string("a\0\tb\r\n", 6)).lines, (Lines{std::string("a\0\tb", 4)}));
}

TEST(ReadLine, CrLfSplitAcrossBufferRefillsIsOneTerminator) {
  // Lines of every length around the buffer size put the CR LF pair at and
  // across each refill boundary.
  for (std::size_t n : {kLineBufferSize - 1, kLineBufferSize, kLineBufferSize + 1}) {
    std::string first(n - 1, 'x');
    Reading r = read_all(first + "\r\nnext\r\n");
    ASSERT_EQ(r.lines.size(), 2u) << n;
    EXPECT_EQ(r.lines[0], first);
    EXPECT_EQ(r.lines[1], "next");
  }
}

TEST(ReadLine, LongLinesReadWhole) {
  std::string line(300 * 1024, 'q');
  Reading r = read_all("<a>\r\n" + line + "\r\n<b>");
  EXPECT_EQ(r.lines, (Lines{"<a>", line, "<b>"}));
}

TEST(WriteLine, AddsCrLfAndKeepsEveryByte) {
  ScratchDir dir;
  WorkFile work = WorkFile::create(folder_of(dir));
  InputFile none;
  work.write_line("");
  work.write_line("a\nb");
  work.write_line({"<pubdate>", "2026", "</pubdate>"});
  work.write_line(std::string(200 * 1024, 'w'));
  close_all_files(none, work);
  EXPECT_EQ(read_file(dir.file(kWorkFileName)),
            "\r\na\nb\r\n<pubdate>2026</pubdate>\r\n" + std::string(200 * 1024, 'w') + "\r\n");
}

TEST(OpenForReading, MissingFileIs53AndMissingDirectoryIs76) {
  ScratchDir dir;
  EXPECT_EQ(error_of([&] { InputFile::open(folder_of(dir), "gone.xml"); }), kFileNotFound);
  EXPECT_EQ(error_of([&] { InputFile::open(open_folder(dir.file("gone")), "a.xml"); }),
            kPathNotFound);
}

TEST(OpenForReading, FileLockedByAnotherProgramIs70) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "x\r\n");
  int holder = open(dir.file("a.xml").c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(error_of([&] { InputFile::open(folder_of(dir), "a.xml"); }), kPermissionDenied);
  close(holder);
  EXPECT_EQ(error_of([&] { InputFile::open(folder_of(dir), "a.xml"); }), 0);
}

TEST(OpenForReading, SymbolicLinkAndDirectoryAre70) {
  ScratchDir dir;
  write_file(dir.file("real.xml"), "x\r\n");
  ASSERT_EQ(symlink("real.xml", dir.file("link.xml").c_str()), 0);
  ASSERT_EQ(mkdir(dir.file("d.xml").c_str(), 0755), 0);
  EXPECT_EQ(error_of([&] { InputFile::open(folder_of(dir), "link.xml"); }), kPermissionDenied);
  EXPECT_EQ(error_of([&] { InputFile::open(folder_of(dir), "d.xml"); }), kPermissionDenied);
}

// A work file left behind may still be open in another program (one that
// opened it while it wore that program's owner): the next work file is a
// new, private file, and what the run writes never reaches that program.
TEST(OpenForWriting, LeftOverWorkFileIsRemovedAndNeverWrittenInto) {
  ScratchDir dir;
  write_file(dir.file(kWorkFileName), "left over\r\n");
  chmod(dir.file(kWorkFileName).c_str(), 0644);
  int holder = open(dir.file(kWorkFileName).c_str(), O_RDONLY);
  struct stat left, fresh;
  ASSERT_EQ(fstat(holder, &left), 0);
  WorkFile work = WorkFile::create(folder_of(dir));
  work.write_line("secret");
  work.close();
  ASSERT_EQ(stat(dir.file(kWorkFileName).c_str(), &fresh), 0);
  EXPECT_NE(fresh.st_ino, left.st_ino);
  EXPECT_EQ(fresh.st_mode & 0777, 0600u);
  char seen[64] = {};
  EXPECT_EQ(pread(holder, seen, sizeof seen, 0), 11);
  EXPECT_EQ(std::string(seen), "left over\r\n");
  close(holder);
}

TEST(OpenForWriting, NeverOpensThroughALinkOrAnythingButAFile) {
  ScratchDir dir;
  write_file(dir.file("target"), "keep me");
  ASSERT_EQ(symlink("target", dir.file(kWorkFileName).c_str()), 0);
  EXPECT_EQ(error_of([&] { WorkFile::create(folder_of(dir)); }), kPermissionDenied);
  EXPECT_EQ(read_file(dir.file("target")), "keep me");

  ScratchDir dangling;
  ASSERT_EQ(symlink("nowhere", dangling.file(kWorkFileName).c_str()), 0);
  EXPECT_EQ(error_of([&] { WorkFile::create(open_folder(dangling.path().string())); }),
            kPermissionDenied);
  EXPECT_FALSE(testing::file_exists(dangling.file("nowhere")));

  ScratchDir fifo;
  ASSERT_EQ(mkfifo(fifo.file(kWorkFileName).c_str(), 0600), 0);
  EXPECT_EQ(error_of([&] { WorkFile::create(open_folder(fifo.path().string())); }),
            kPermissionDenied);
}

TEST(OpenForWriting, LockedWorkFileIs70AndKeepsItsText) {
  ScratchDir dir;
  write_file(dir.file(kWorkFileName), "held");
  int holder = open(dir.file(kWorkFileName).c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(error_of([&] { WorkFile::create(folder_of(dir)); }), kPermissionDenied);
  EXPECT_EQ(read_file(dir.file(kWorkFileName)), "held");
  close(holder);
}

// A work file that is a hard link to another file would write through to
// that file: it is refused, and both names keep their text.
TEST(OpenForWriting, HardLinkedWorkFileIs70AndBothStayWhole) {
  ScratchDir dir;
  write_file(dir.file("keep.xml"), "keep");
  ASSERT_EQ(link(dir.file("keep.xml").c_str(), dir.file(kWorkFileName).c_str()), 0);
  EXPECT_EQ(error_of([&] { WorkFile::create(folder_of(dir)); }), kPermissionDenied);
  EXPECT_EQ(read_file(dir.file("keep.xml")), "keep");
}

// One file on its own, as the run commits a group of one: staged, made
// durable, put in place.
Replacement replace_input(WorkFile& work, InputFile& input) {
  Replacement staged = work.stage(input);
  if (staged != Replacement::kStaged) return staged;
  work.make_durable();
  return work.put_in_place(input);
}

// Replaces the file `name` in `dir` with the one line "new".
Replacement replace_with_new_text(const ScratchDir& dir, const std::string& name) {
  InputFile in = InputFile::open(folder_of(dir), name);
  WorkFile work = WorkFile::create(folder_of(dir));
  work.write_line("new");
  return replace_input(work, in);
}

// The access ACL (user nobody may write, the group may only read) and a
// user attribute go with the text, as sed -i keeps them.
TEST(ReplaceInput, KeepsTheInputsAclAndUserAttributes) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "old\r\n");
  std::string path = dir.file("a.xml");
  // user::rw- user:65534:rw- group::r-- mask::rw- other::r--
  const std::uint32_t acl[] = {2,          1u | (6u << 16),    0xFFFFFFFF, 2u | (6u << 16),
                               65534,      4u | (4u << 16),    0xFFFFFFFF, 0x10u | (6u << 16),
                               0xFFFFFFFF, 0x20u | (4u << 16), 0xFFFFFFFF};
  if (setxattr(path.c_str(), "user.origin", "survey", 6, 0) != 0 ||
      setxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) != 0) {
    GTEST_SKIP() << "this file system takes no user attributes or ACLs";
  }
  ASSERT_EQ(replace_with_new_text(dir, "a.xml"), Replacement::kReplaced);
  char value[64];
  ASSERT_EQ(getxattr(path.c_str(), "user.origin", value, sizeof value), 6);
  EXPECT_EQ(std::string(value, 6), "survey");
  char copied[sizeof acl];
  ASSERT_EQ(getxattr(path.c_str(), "system.posix_acl_access", copied, sizeof copied),
            static_cast<ssize_t>(sizeof acl));
  EXPECT_EQ(std::memcmp(copied, acl, sizeof acl), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0664u);  // the group bits are the ACL's mask
}

// In a folder whose default ACL lets another user in, an input without an
// ACL comes out without one, its bits as they were: never readable by
// more users than before.
TEST(ReplaceInput, FoldersDefaultAclNeverWidensAFileWithoutOne) {
  ScratchDir dir;
  // user::rw- user:65534:rwx group::r-- mask::rwx other::---
  const std::uint32_t acl[] = {2,          1u | (6u << 16),    0xFFFFFFFF, 2u | (7u << 16),
                               65534,      4u | (4u << 16),    0xFFFFFFFF, 0x10u | (7u << 16),
                               0xFFFFFFFF, 0x20u | (0u << 16), 0xFFFFFFFF};
  if (setxattr(dir.path().c_str(), "system.posix_acl_default", acl, sizeof acl, 0) != 0) {
    GTEST_SKIP() << "this file system takes no default ACLs";
  }
  std::string path = dir.file("a.xml");
  write_file(path, "old\r\n");
  removexattr(path.c_str(), "system.posix_acl_access");  // as made elsewhere
  chmod(path.c_str(), 0640);
  ASSERT_EQ(replace_with_new_text(dir, "a.xml"), Replacement::kReplaced);
  char none[256];
  EXPECT_LT(getxattr(path.c_str(), "system.posix_acl_access", none, sizeof none), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ReplaceInput, PutsTheWorkFileInPlaceWithTheInputsBits) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "old\r\n");
  chmod(dir.file("a.xml").c_str(), 0640);
  InputFile in = InputFile::open(folder_of(dir), "a.xml");
  WorkFile work = WorkFile::create(folder_of(dir));
  work.write_line("new");
  replace_input(work, in);
  EXPECT_EQ(read_file(dir.file("a.xml")), "new\r\n");
  EXPECT_FALSE(testing::file_exists(dir.file(kWorkFileName)));
  struct stat st;
  ASSERT_EQ(stat(dir.file("a.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(in.is_open());
  EXPECT_FALSE(work.is_open());
}

TEST(ReplaceInput, ReadOnlyInputIs70AndStaysAsItWas) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "old\r\n");
  chmod(dir.file("a.xml").c_str(), 0444);  // no write bit: even root leaves it
  InputFile in = InputFile::open(folder_of(dir), "a.xml");
  WorkFile work = WorkFile::create(folder_of(dir));
  work.write_line("new");
  EXPECT_EQ(error_of([&] { replace_input(work, in); }), kPermissionDenied);
  close_all_files(in, work);
  EXPECT_EQ(read_file(dir.file("a.xml")), "old\r\n");
  EXPECT_EQ(read_file(dir.file(kWorkFileName)), "new\r\n");
}

TEST(CloseAllFiles, FlushesEveryLineWrittenAndClosesBoth) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "x");
  InputFile in = InputFile::open(folder_of(dir), "a.xml");
  WorkFile work = WorkFile::create(folder_of(dir));
  work.write_line("written so far");
  close_all_files(in, work);
  EXPECT_FALSE(in.is_open());
  EXPECT_FALSE(work.is_open());
  EXPECT_EQ(read_file(dir.file(kWorkFileName)), "written so far\r\n");
  close_all_files(in, work);  // nothing open: nothing to do
}

// The numbers an operator reads on the fatal line, as the manual page lists
// them: what a failing call means, whatever errno the system chose for it.
TEST(ErrorNumbers, EachErrnoMapsToItsNumber) {
  const std::pair<int, int> table[] = {
      {ENOSPC, 61}, {EDQUOT, 61},  {EFBIG, 61},        {EACCES, 70}, {EPERM, 70},
      {EROFS, 70},  {ETXTBSY, 70}, {EWOULDBLOCK, 70},  {EISDIR, 70}, {ELOOP, 70},
      {EMFILE, 67}, {ENFILE, 67},  {EIO, 72},          {EXDEV, 74},  {EEXIST, 58},
      {ENOMEM, 7},  {ENOTDIR, 76}, {ENAMETOOLONG, 75}, {EINVAL, 75}, {ENOENT, 53},
  };
  for (auto [errno_value, number] : table) {
    EXPECT_EQ(error_number_for(errno_value), number) << std::strerror(errno_value);
  }
}

}  // namespace
}  // namespace rodozerez
