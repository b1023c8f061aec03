// The commit group on real files.
#include "driver/commit_group.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "scratch.h"

namespace rodozerez {
namespace {

using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

// A halt at one of three staged files: those before it go in place, it and
// every later one stay as they were, and none of their work files (which
// wear their inputs' bits) is left.
TEST(CommitGroup, HaltPutsTheFilesBeforeItsFileInPlaceAndLeavesTheRest) {
  const std::vector<std::string> names = {"a.xml", "b.xml", "c.xml"};
  for (std::size_t halted_at : {0, 1}) {
    ScratchDir dir;
    for (const auto& name : names) write_file(dir.file(name), "old\r\n");
    Folder folder = open_folder(dir.path().string());
    std::vector<std::size_t> replaced;
    CommitGroup group(
        folder, 1024, [&](std::size_t index, Replacement) { replaced.push_back(index); },
        std::chrono::hours(1));
    for (std::size_t index = 0; index < names.size(); ++index) {
      InputFile input = InputFile::open(folder, names[index]);
      WorkFile work = group.new_work_file();
      work.write_line("new");
      ASSERT_EQ(work.stage(input), Replacement::kStaged);
      group.add(index, std::move(input), std::move(work));
    }
    NumberedError halted = group.halt(NumberedError(kMediaError).about_file(halted_at), 3);
    EXPECT_EQ(halted.file(), halted_at);
    EXPECT_EQ(replaced.size(), halted_at);
    for (std::size_t index = 0; index < names.size(); ++index) {
      EXPECT_EQ(read_file(dir.file(names[index])), index < halted_at ? "new\r\n" : "old\r\n");
    }
    EXPECT_FALSE(testing::file_exists(dir.file(kWorkFileName))) << halted_at;
    EXPECT_TRUE(group.empty());
  }
}

}  // namespace
}  // namespace rodozerez
