#include "lineio/directory.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "lineio/line_file.h"
#include "scratch.h"

namespace rodozerez {
namespace {

using testing::ScratchDir;
using testing::write_file;

std::vector<std::string> names(const FileList& list) {
  return list.names;
}

// The folder is the current directory for the listing, as for the tool.
class InFolder {
 public:
  explicit InFolder(const ScratchDir& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir.path());
  }
  ~InFolder() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

using Names = std::vector<std::string>;

TEST(ListMatchingFiles, RegularFilesOnlyNeverHiddenLinksOrTheWorkFile) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "");
  write_file(dir.file(".h.xml"), "");
  write_file(dir.file(kWorkFileName), "");
  ASSERT_EQ(mkdir(dir.file("d.xml").c_str(), 0755), 0);
  ASSERT_EQ(symlink("a.xml", dir.file("l.xml").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.file("f.xml").c_str(), 0600), 0);
  InFolder here(dir);
  EXPECT_EQ(names(list_matching_files("*.xml")), Names{"a.xml"});
  EXPECT_EQ(names(list_matching_files("*.*")), Names{"a.xml"});
}

TEST(ListMatchingFiles, SortedSoRunsAreRepeatable) {
  ScratchDir dir;
  for (auto n : {"c.xml", "B.xml", "a.xml", "b.xml"}) write_file(dir.file(n), "");
  InFolder here(dir);
  EXPECT_EQ(names(list_matching_files("*.xml")), (Names{"a.xml", "B.xml", "b.xml", "c.xml"}));
}

TEST(ListMatchingFiles, DirectoryPartGivesBareNamesAndTheirFolder) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.path() / "data");
  write_file(dir.file("data/t1.xml"), "");
  InFolder here(dir);
  FileList list = list_matching_files("data/*.xml");
  EXPECT_EQ(list.names, Names{"t1.xml"});
  struct stat listed, data;
  ASSERT_EQ(fstat(list.folder.fd(), &listed), 0);
  ASSERT_EQ(stat("data", &data), 0);
  EXPECT_EQ(listed.st_ino, data.st_ino);
  EXPECT_EQ(names(list_matching_files("data/")), Names{"t1.xml"});
}

TEST(ListMatchingFiles, NothingMatchingOrAMissingFolderListsNothing) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), "");
  InFolder here(dir);
  EXPECT_TRUE(list_matching_files("*.txt").names.empty());
  EXPECT_TRUE(list_matching_files("nowhere/*.xml").names.empty());
}

}  // namespace
}  // namespace rodozerez
