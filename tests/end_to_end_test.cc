// The real binary on a pseudo-terminal: answers typed, the screen read
// back, the files and the exit status checked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <thread>

#include "lineio/byte_text.h"
#include "lineio/line_file.h"
#include "phase_runner.h"
#include "scratch.h"
#include "terminal.h"

namespace rodozerez {
namespace {

using testing::crlf;
using testing::file_exists;
using testing::numbered_name;
using testing::read_file;
using testing::ScratchDir;
using testing::Terminal;
using testing::write_file;

// A short template holding every landmark.
std::string complete_template(const std::string& title = "T") {
  return crlf({"<?xml version=\"1.0\"?>", "<!DOCTYPE metadata SYSTEM \"x.dtd\">", "<metadata>",
               "  <idinfo>", "    <citation>", "      <citeinfo>", "        <origin>",
               "        </origin>", "        <title>" + title + "</title>", "      </citeinfo>",
               "    </citation>", "  </idinfo>", "  <dataqual>", "    <attracc>",
               "    </attracc>", "  </dataqual>", "  <spref>", "  </spref>", "  <metainfo>",
               "    <metd>20040115</metd>", "    <metc>", "    </metc>", "  </metainfo>",
               "</metadata>"});
}

// One that ends before its spatial reference section closes.
std::string early_ending_template() {
  std::string text = complete_template();
  return text.substr(0, text.find("  </spref>"));
}

const char* const kHeader =
    "Rodozerez Version 1.0     (15-Apr-2004)\n"
    "Zeph Contract Metadata Merge Program\n"
    "\n";

std::string today_yyyymmdd() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

// Types both answers once each prompt is up; returns the exit status.
int answer(Terminal& term, const std::string& stylesheet, const std::string& specification) {
  EXPECT_TRUE(term.wait_for("(->Y/N):")) << term.screen();
  term.type(stylesheet + "\r");
  EXPECT_TRUE(term.wait_for("processing:")) << term.screen();
  term.type(specification + "\r");
  return term.wait_exit();
}

TEST(EndToEnd, InformationScreenAsksNothingAndTouchesNothing) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  for (const char* argument : {"--help", "--version", "/x"}) {
    Terminal term(dir.path().string(), {argument});
    EXPECT_EQ(term.wait_exit(), 0);
    EXPECT_EQ(term.screen(),
              "\n"
              "Rodozerez Version 1.0     (15-Apr-2004)\n"
              "\n"
              "  Merges project XML metadata boilerplate info into short template contract\n"
              "  XML datafiles to fill in the missing pieces.  The proccont info is removed\n"
              "  from the final output and HDC is made the metadata POC for the data.\n"
              "  The metadata date is also updated.\n"
              "\n"
              "  Missing logic, complete and eainfo elements are inserted.  The citeinfo -\n"
              "  originator is changed to VRA.\n"
              "  This program replaces the original metadata files.  Make sure that you have\n"
              "  backups of all metadata files before running.\n");
  }
  EXPECT_EQ(read_file(dir.file("a.xml")), complete_template());
}

TEST(EndToEnd, ArgumentsOfOnlySpacesRunTheBatch) {
  ScratchDir dir;
  Terminal term(dir.path().string(), {"  ", " "});
  EXPECT_EQ(answer(term, "", "*"), 0);
  EXPECT_NE(term.screen().find("Sorry"), std::string::npos);
}

TEST(EndToEnd, TypicalRunSkipsTheFileThatEndsEarlyAndCountsTheRest) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  write_file(dir.file("b.xml"), early_ending_template());
  write_file(dir.file("c.xml"), complete_template());
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "*.xml"), 1);
  EXPECT_EQ(term.screen(), std::string(kHeader) +
                               "Insert XSL Style Sheet reference? (->Y/N):  y\n"
                               " Enter filespec for processing:  *.xml\n"
                               "\n"
                               "Working...\n"
                               "a.xml\n"
                               "b.xml\n"
                               "Error!  Processed past end of file. Proceeding with next file.\n"
                               "  Ended at line 17 while looking for \"</spref>\".\n"
                               "c.xml\n"
                               "\n"
                               "Finished ------     2 files modified.\n"
                               "  1 file left as it was:\n"
                               "  b.xml (incomplete)\n");
  EXPECT_EQ(read_file(dir.file("b.xml")), early_ending_template());
  for (const char* name : {"a.xml", "c.xml"}) {
    std::string out = read_file(dir.file(name));
    EXPECT_NE(out.find("<metd>" + today_yyyymmdd() + "</metd>"), std::string::npos);
    EXPECT_TRUE(out.ends_with("  </metainfo>\r\n</metadata>\r\n"));
  }
}

// At the questions Ctrl+C is an ignored key; during the run it stops the
// run: the files rewritten before it are in place, every other file is as
// it was, and the status is 2. The shim holds the run so that the key
// lands mid-run on any machine: at a rename while a group is committed
// (the run stops at the next file boundary, no file's rewrite begun), and
// at the first read of a file (the run stops inside it: that file is left
// as it was, says so below its name and in the list, and its work file is
// private).
TEST(EndToEnd, CtrlCStopsTheRunBetweenFilesOrInsideOne) {
  for (bool inside : {false, true}) {
    ScratchDir dir, marks;
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i) {
      write_file(dir.file(numbered_name("t", 10000 + i, ".xml")), complete_template());
    }
    std::string holding = marks.file("holding");
    Terminal term(
        dir.path().string(), {},
        testing::with_fault_shim({inside ? "FAULT_CALL=read" : "FAULT_CALL=rename",
                                  inside ? "FAULT_PATH=t10300.xml" : "FAULT_PATH=t10100.xml",
                                  "FAULT_MARK=" + holding, "FAULT_HOLD=1"}));
    ASSERT_TRUE(term.wait_for("(->Y/N):"));
    term.type("\x03y\r\x03*\r");
    ASSERT_TRUE(testing::wait_for_file(holding)) << term.screen();
    term.type("\x03");
    std::remove(holding.c_str());
    EXPECT_EQ(term.wait_exit(), 2);
    std::string rewritten = testing::run_pass_today(complete_template()).bytes;
    int done = 0;
    for (int i = 0; i < kFiles; ++i) {
      std::string now = read_file(dir.file(numbered_name("t", 10000 + i, ".xml")));
      EXPECT_TRUE(now == rewritten || now == complete_template()) << i;
      done += now == rewritten;
    }
    EXPECT_GT(done, 100);
    EXPECT_LT(done, kFiles);
    std::string stop_line = "Stopped by Ctrl+C ------" + format_count(done) + " files modified.\n";
    if (inside) {
      EXPECT_EQ(done, 300);  // every file before t10300, and not it
      EXPECT_NE(
          term.lines_sent().find("\nt10300.xml\nStopped by Ctrl+C; left as it was.\n\n" +
                                 stop_line + "  1 file left as it was:\n  t10300.xml (stopped)\n"),
          std::string::npos)
          << term.lines_sent();
      struct stat left;
      ASSERT_EQ(stat(dir.file(kWorkFileName).c_str(), &left), 0);
      EXPECT_EQ(left.st_mode & 07777, 0600u);
    } else {
      // The file boundary: no later file's name is shown, none is left.
      EXPECT_NE(term.lines_sent().find(".xml\n\n" + stop_line), std::string::npos)
          << term.lines_sent();
      EXPECT_TRUE(term.lines_sent().ends_with(stop_line));
    }
    EXPECT_NE(term.lines_sent().find("(->Y/N):  y\n Enter filespec for processing:  *\n"),
              std::string::npos);
    termios after;
    ASSERT_EQ(tcgetattr(term.master(), &after), 0);
    EXPECT_NE(after.c_lflag & ICANON, 0u) << "terminal not restored";
  }
}

// Each file is told apart on screen by the landmark it lacks and the
// number of its last line.
TEST(EndToEnd, FileMissingAnyLandmarkIsReportedAndLeftByteIdentical) {
  ScratchDir dir;
  std::vector<std::pair<std::string, std::string>> files;
  std::string reported;
  for (std::string landmark : {"<citeinfo>", "</attracc>", "</dataqual>", "</spref>", "<metd>"}) {
    std::string text = complete_template();
    std::size_t at = text.find(landmark);
    text.erase(text.rfind("\r\n", at) + 2, text.find("\r\n", at) - text.rfind("\r\n", at));
    ASSERT_EQ(text.find(landmark), std::string::npos);
    files.emplace_back(numbered_name("m", static_cast<long>(files.size()), ".xml"), text);
    write_file(dir.file(files.back().first), text);
    reported += files.back().first +
                "\nError!  Processed past end of file. Proceeding with next file.\n  Ended at "
                "line " +
                std::to_string(std::count(text.begin(), text.end(), '\n')) +
                " while looking for \"" + landmark + "\".\n";
  }
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "m*"), 1);
  for (const auto& [name, text] : files) EXPECT_EQ(read_file(dir.file(name)), text) << name;
  EXPECT_NE(term.lines_sent().find("Working...\n" + reported + "\nFinished ------     0 files"),
            std::string::npos)
      << term.lines_sent();
}

TEST(EndToEnd, LastFileSkippedLeavesItsPartialTextInThePrivateWorkFile) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  write_file(dir.file("b.xml"), early_ending_template());
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "n", "*.xml"), 1);
  EXPECT_EQ(read_file(dir.file("b.xml")), early_ending_template());
  struct stat st;
  ASSERT_EQ(stat(dir.file(kWorkFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::string partial = read_file(dir.file(kWorkFileName));
  EXPECT_NE(partial.find("csdgm2.dtd"), std::string::npos);
  EXPECT_TRUE(partial.ends_with("  <spref>\r\n"));  // every line read was written
}

TEST(EndToEnd, EveryFileRewrittenExitsZero) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "a.xml"), 0);
  EXPECT_NE(term.screen().find("Finished ------     1 files modified."), std::string::npos);
}

TEST(EndToEnd, NoMatchShowsTheSpecificationWithItsXmlDefault) {
  ScratchDir dir;
  write_file(dir.file("doqq.txt"), "x");
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "", "doqq*"), 0);
  EXPECT_EQ(term.screen(), std::string(kHeader) +
                               "Insert XSL Style Sheet reference? (->Y/N):\n"
                               " Enter filespec for processing:  doqq*\n"
                               "\n"
                               " Sorry....\n"
                               " No files found to match your specification:  doqq*.xml\n");
  EXPECT_EQ(read_file(dir.file("doqq.txt")), "x");
}

TEST(EndToEnd, XmlDefaultFindsTheTemplates) {
  ScratchDir dir;
  write_file(dir.file("tile1.xml"), complete_template());
  write_file(dir.file("tile2.txt"), complete_template());
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "", "tile*"), 0);
  EXPECT_NE(read_file(dir.file("tile1.xml")), complete_template());
  EXPECT_EQ(read_file(dir.file("tile2.txt")), complete_template());
}

// An answer starting with n (spaces aside) says no; any other says yes.
TEST(EndToEnd, AnswerStartingWithNLeavesOutTheStylesheet) {
  const std::string stylesheet_line =
      "\r\n<?xml-stylesheet href=\"FGDC_V2.xsl\" type=\"text/xsl\"?>\r\n";
  const std::pair<std::string, bool> answers[] = {
      {"n", false}, {"N", false}, {"no", false}, {" n", false},         {"Nein", false},
      {"y", true},  {"", true},   {" ", true},   {"yes, not now", true}};
  for (const auto& [typed, wanted] : answers) {
    ScratchDir dir;
    write_file(dir.file("a.xml"), complete_template());
    Terminal term(dir.path().string());
    ASSERT_EQ(answer(term, typed, "a.xml"), 0) << typed;
    bool written = read_file(dir.file("a.xml")).find(stylesheet_line) != std::string::npos;
    EXPECT_EQ(written, wanted) << "answer '" << typed << "'";
  }
}

TEST(EndToEnd, TypedLineEditingIgnoresKeysThatAreNotCharacters) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  Terminal term(dir.path().string());
  ASSERT_TRUE(term.wait_for("(->Y/N):"));
  // x, Backspace, an arrow, Ctrl+C, Tab, F5, then n: the answer is "n".
  term.type("x\x7F\x1b[D\x03\t\x1b[15~n\r");
  ASSERT_TRUE(term.wait_for("processing:"));
  term.type("b\ba\x1b[1;5C.xml\r");
  EXPECT_EQ(term.wait_exit(), 0);
  EXPECT_NE(term.screen().find("(->Y/N):  n\n Enter filespec for processing:  a.xml\n"),
            std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file("a.xml")).find("xml-stylesheet"), std::string::npos);
}

TEST(EndToEnd, TypedLineStopsTakingCharactersAtTenThousandBytes) {
  ScratchDir dir;
  Terminal term(dir.path().string());
  ASSERT_TRUE(term.wait_for("(->Y/N):"));
  std::size_t before = term.received().size();
  term.type(std::string(10003, 'x') + "\r");
  ASSERT_TRUE(term.wait_for("processing:"));
  std::string echoed = term.received().substr(before);
  EXPECT_EQ(std::count(echoed.begin(), echoed.end(), 'x'), 10000);
  term.type("\r");
  EXPECT_EQ(term.wait_exit(), 0);
}

TEST(EndToEnd, KeysTypedAheadAreKept) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  Terminal term(dir.path().string());
  term.type("n\ra.xml\r");  // before the first prompt is even drawn
  EXPECT_EQ(term.wait_exit(), 0);
  EXPECT_NE(term.screen().find("Finished ------     1 files modified."), std::string::npos)
      << term.screen();
}

TEST(EndToEnd, TextEndingAtTheRightEdgeLeavesAnEmptyRow) {
  ScratchDir dir;
  std::string name = std::string(46, 'w') + ".xml";  // exactly 50 columns
  write_file(dir.file(name), complete_template());
  testing::RunOptions narrow;
  narrow.columns = 50;
  Terminal term(dir.path().string(), {}, narrow);
  EXPECT_EQ(answer(term, "y", "*"), 0);
  EXPECT_NE(term.screen().find("Working...\n" + name + "\n\n\nFinished"), std::string::npos)
      << term.screen();
}

// A halt puts the files before it in place and says which were not.
TEST(EndToEnd, ReadOnlyInputHaltsWith70AndStaysAsItWas) {
  ScratchDir dir;
  for (const char* name : {"a.xml", "b.xml", "c.xml"})
    write_file(dir.file(name), complete_template());
  chmod(dir.file("b.xml").c_str(), 0444);
  Terminal term(dir.path().string(), {}, {200, 24, {}});  // the halt line unwrapped
  EXPECT_EQ(answer(term, "y", "*.xml"), 2);
  EXPECT_NE(term.screen().find("Working...\na.xml\nb.xml\nUnknown error! - Program Halt. 70"
                               "\n  Halted at b.xml: the file is read-only. It and every file "
                               "listed after it are as they were.\n"),
            std::string::npos)
      << term.screen();
  EXPECT_EQ(term.screen().find("Finished"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("a.xml")), testing::run_pass_today(complete_template()).bytes);
  EXPECT_EQ(read_file(dir.file("b.xml")), complete_template());
  EXPECT_EQ(read_file(dir.file("c.xml")), complete_template());  // the run ended before it
  EXPECT_NE(read_file(dir.file(kWorkFileName)).find("</metadata>"), std::string::npos);
}

// Two listed names of one file (hard links) each get their own rewritten
// copy, as sed -i gives them; the run's own lock on the first never halts
// it.
TEST(EndToEnd, HardLinkedNamesAreEachRewritten) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  ASSERT_EQ(link(dir.file("a.xml").c_str(), dir.file("b.xml").c_str()), 0);
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "*"), 0);
  EXPECT_NE(term.screen().find("Finished ------     2 files modified."), std::string::npos)
      << term.screen();
  std::string rewritten = testing::run_pass_today(complete_template()).bytes;
  EXPECT_EQ(read_file(dir.file("a.xml")), rewritten);
  EXPECT_EQ(read_file(dir.file("b.xml")), rewritten);
}

TEST(EndToEnd, RewrittenFileKeepsItsPermissionBits) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  chmod(dir.file("a.xml").c_str(), 0640);
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "a.xml"), 0);
  struct stat st;
  ASSERT_EQ(stat(dir.file("a.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(file_exists(dir.file(kWorkFileName)));
}

// The folder part's own dot leaves the ".xml" default in force. The
// folder is on another file system than the current one where the machine
// has one (/dev/shm): every work file is made in the listed folder.
TEST(EndToEnd, SpecificationWithAFolderRewritesTheFilesThere) {
  ScratchDir dir;
  bool shm = std::filesystem::is_directory("/dev/shm");
  ScratchDir elsewhere(shm ? std::filesystem::path("/dev/shm") : dir.path());
  std::filesystem::create_directory_symlink(elsewhere.path(), dir.path() / "data");
  write_file(dir.file("data/t1.xml"), complete_template());
  write_file(dir.file("data/t2.xml"), complete_template());
  write_file(dir.file("data/notes.txt"), complete_template());
  write_file(dir.file("data/copy.xml.bak"), complete_template());
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "./data/*"), 0);
  EXPECT_NE(term.screen().find("Working...\nt1.xml\nt2.xml\n\nFinished ------     2 files"),
            std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file("data/notes.txt")), complete_template());
  EXPECT_EQ(read_file(dir.file("data/copy.xml.bak")), complete_template());
  EXPECT_NE(read_file(dir.file("data/t1.xml")).find("csdgm2.dtd"), std::string::npos);
  EXPECT_FALSE(file_exists(dir.file(kWorkFileName)));
  EXPECT_FALSE(file_exists(dir.file("data/" + std::string(kWorkFileName))));
}

TEST(EndToEnd, OnlyRegularFilesAreListed) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  write_file(dir.file(".hidden.xml"), complete_template());
  write_file(dir.file(kWorkFileName), "old work");
  ASSERT_EQ(mkdir(dir.file("folder.xml").c_str(), 0755), 0);
  write_file(dir.file("folder.xml/target.xml"), complete_template());
  ASSERT_EQ(symlink("folder.xml/target.xml", dir.file("link.xml").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.file("pipe.xml").c_str(), 0600), 0);
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "*.*"), 0);
  EXPECT_NE(term.screen().find("Working...\na.xml\n\nFinished ------     1 files modified."),
            std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file(".hidden.xml")), complete_template());
  EXPECT_EQ(read_file(dir.file("folder.xml/target.xml")), complete_template());
}

TEST(EndToEnd, WorkFileThatIsALinkHaltsWith70AndItsTargetIsUntouched) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  write_file(dir.file("precious.txt"), "precious");
  ASSERT_EQ(symlink("precious.txt", dir.file(kWorkFileName).c_str()), 0);
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "a.xml"), 2);
  EXPECT_NE(term.screen().find("a.xml\nUnknown error! - Program Halt. 70\n"), std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file("precious.txt")), "precious");
  EXPECT_EQ(read_file(dir.file("a.xml")), complete_template());
}

TEST(EndToEnd, InputOrWorkFileLockedElsewhereHaltsWith70) {
  const std::map<std::string, std::string> cause = {
      {"a.xml", "the file is in use by another program"},
      {std::string(kWorkFileName),
       "the work file tempxxx.xxx is in use by another program or another run"}};
  for (const char* locked : {"a.xml", kWorkFileName.data()}) {
    ScratchDir dir;
    write_file(dir.file("a.xml"), complete_template());
    write_file(dir.file(kWorkFileName), "held by another program");
    int holder = open(dir.file(locked).c_str(), O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    Terminal term(dir.path().string(), {}, {200, 24, {}});  // the halt line unwrapped
    EXPECT_EQ(answer(term, "y", "a.xml"), 2) << locked;
    EXPECT_NE(term.lines_sent().find("a.xml\nUnknown error! - Program Halt. 70 \n  Halted at "
                                     "a.xml: " +
                                     cause.at(locked) + ". It is as it was.\n"),
              std::string::npos)
        << term.lines_sent();
    EXPECT_EQ(read_file(dir.file("a.xml")), complete_template());
    EXPECT_EQ(read_file(dir.file(kWorkFileName)), "held by another program");
    close(holder);
  }
}

TEST(EndToEnd, DanglingWorkFileLinkHaltsWith70AndCreatesNothing) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  ASSERT_EQ(symlink("elsewhere/target.xml", dir.file(kWorkFileName).c_str()), 0);
  std::filesystem::create_directory(dir.path() / "elsewhere");
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "a.xml"), 2);
  EXPECT_NE(term.screen().find("Program Halt. 70\n"), std::string::npos) << term.screen();
  EXPECT_FALSE(file_exists(dir.file("elsewhere/target.xml")));
  EXPECT_EQ(read_file(dir.file("a.xml")), complete_template());
}

TEST(EndToEnd, MoreThanFiveThousandFilesAreAllProcessed) {
  ScratchDir dir;
  for (int i = 1; i <= 5001; ++i) write_file(dir.file(numbered_name("t", i, ".xml")), "");
  Terminal term(dir.path().string(), {}, {80, 24, {}});
  EXPECT_EQ(answer(term, "y", "*"), 1);
  // Every name is shown once, in listing order, each followed by its skip.
  std::string bytes = term.lines_sent();
  std::size_t at = 0;
  std::vector<std::string> names;
  for (int i = 1; i <= 5001; ++i) names.push_back(numbered_name("t", i, ".xml"));
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    at = bytes.find("\n" + name + "\nError!  Processed past end of file.", at);
    ASSERT_NE(at, std::string::npos) << name;
  }
  EXPECT_NE(bytes.find("t999.xml\nError!  Processed past end of file. Proceeding with next "
                       "file.\n  Ended before its first line, looking for \"<citeinfo>\".\n\n"
                       "Finished ------     0 files modified.\n  5001 files left as they were:\n"
                       "  t1.xml (incomplete)\n"),
            std::string::npos)
      << term.screen();
  // The first twenty in listing order, then how many more.
  EXPECT_NE(term.screen().find("  t1015.xml (incomplete)\n  and 4981 more"), std::string::npos)
      << term.screen();
}

// The only control bytes the tool itself sends: line ends, Backspace, and
// the few sequences that clear the screen and move the cursor.
void expect_only_own_control_codes(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0x1B) {
      std::size_t end = bytes.find_first_of("mHJAG", i);
      ASSERT_NE(end, std::string::npos);
      std::string sequence = bytes.substr(i, end - i + 1);
      bool own = sequence == "\x1b[0m" || sequence == "\x1b[H" || sequence == "\x1b[2J" ||
                 sequence == "\x1b[3J" || sequence == "\x1b[J" || sequence == "\x1b[A" ||
                 (sequence.size() > 3 && sequence[1] == '[' && sequence.back() == 'G' &&
                  sequence.find_first_not_of("0123456789", 2) == sequence.size() - 1);
      EXPECT_TRUE(own) << "foreign sequence at " << i;
      i = end;
    } else {
      EXPECT_FALSE(b < 32 && b != '\r' && b != '\n' && b != '\b') << "control byte " << int(b);
      EXPECT_NE(b, 127);
      // Everything else is well-formed UTF-8, and no C1 control (C2 80 to C2 9F).
      if (b >= 0x80) {
        std::size_t n = utf8_sequence_length(bytes, i);
        ASSERT_GT(n, 0u) << "malformed UTF-8 at " << i;
        EXPECT_FALSE(b == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0)
            << "C1 control at " << i;
        i += n - 1;
      }
    }
  }
}

TEST(EndToEnd, FileNamesCannotReachTheTerminalAsControlCodes) {
  ScratchDir dir;
  std::vector<std::string> hostile = {"a\x1b[2J\x1b]0;owned\x07.xml", "b\x9b" "31m.xml",
                                      "c\x1b[31mred.xml", "d\rhidden.xml", "e\b\b\bx.xml",
                                      "f\xff\xc3(\xc2\x9b.xml", "g\x07" "bell.xml",
                                      "h\xe2\x80\xaelmx.exe.xml", "i\xe2\x80\x8bz.xml"};
  for (const auto& name : hostile) write_file(dir.file(name), complete_template());
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "*"), 0);
  expect_only_own_control_codes(term.received());
  EXPECT_EQ(term.model().unexpected(), "");
  // ESC shows as ←, BEL as •, CSI as ¢, CR as ♪, Backspace as ◘.
  EXPECT_NE(term.screen().find("a←[2J←]0;owned•.xml\nb¢31m.xml\nc←[31mred.xml\nd♪hidden.xml\n"
                               "e◘◘◘x.xml\n"),
            std::string::npos)
      << term.screen();
  // A right-to-left override or a zero-width space would let a name pose as
  // another: each shows as U+FFFD instead.
  EXPECT_NE(term.screen().find("h\xef\xbf\xbdlmx.exe.xml\ni\xef\xbf\xbdz.xml\n"),
            std::string::npos);
  EXPECT_EQ(term.received().find("\xe2\x80\xae"), std::string::npos);
  EXPECT_EQ(term.received().find("\xe2\x80\x8b"), std::string::npos);
  for (const auto& name : hostile) {
    EXPECT_NE(read_file(dir.file(name)).find("csdgm2.dtd"), std::string::npos) << name;
  }
}

// On a terminal whose locale is not UTF-8, a byte >= 0x80 could act as a
// C1 control (0x9B is CSI): none is sent, whatever the names hold.
TEST(EndToEnd, NonUtf8TerminalGetsOnlyAscii) {
  ScratchDir dir;
  write_file(dir.file("j\xe2\x80\x9b.xml"), complete_template());
  write_file(dir.file("k\xe9t\x01.xml"), complete_template());
  Terminal term(dir.path().string(), {}, {80, 24, {"LC_ALL=C"}});
  EXPECT_EQ(answer(term, "y", "*"), 0);
  for (unsigned char b : term.received()) ASSERT_LT(b, 0x80) << term.screen();
  EXPECT_NE(term.screen().find("j???.xml\nk?t?.xml\n"), std::string::npos) << term.screen();
}

TEST(EndToEnd, TerminalSettingsAreRestoredOnExitAndOnSigterm) {
  ScratchDir dir;
  termios before;
  {
    Terminal term(dir.path().string());
    ASSERT_TRUE(term.wait_for("(->Y/N):"));
    termios raw;
    ASSERT_EQ(tcgetattr(term.master(), &raw), 0);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
    term.type("\r*\r");
    EXPECT_EQ(term.wait_exit(), 0);
    ASSERT_EQ(tcgetattr(term.master(), &before), 0);
    EXPECT_NE(before.c_lflag & ICANON, 0u);
    EXPECT_NE(before.c_lflag & ECHO, 0u);
  }
  // Every signal from outside that ends a program by default.
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU}) {
    Terminal term(dir.path().string());
    ASSERT_TRUE(term.wait_for("(->Y/N):"));
    kill(term.pid(), signal_number);
    EXPECT_EQ(term.wait_exit(), 128 + signal_number);
    termios after;
    ASSERT_EQ(tcgetattr(term.master(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag) << signal_number;
    EXPECT_EQ(after.c_iflag, before.c_iflag) << signal_number;
  }
  // Started under nohup, the tool outlives a hang-up, as nohup promises.
  testing::RunOptions nohup;
  nohup.ignored_signals = {SIGHUP};
  Terminal term(dir.path().string(), {}, nohup);
  ASSERT_TRUE(term.wait_for("(->Y/N):"));
  kill(term.pid(), SIGHUP);
  term.type("\r*\r");
  EXPECT_EQ(term.wait_exit(), 0);
}

// Stopped from outside (kill -TSTP) the tool gives the shell its terminal
// back as it found it; continued, it takes the dialogue up in raw mode.
// Stopped while typing, the terminal goes back to the shell; once
// continued (`fg`, after which the shell has written its own lines), the
// question and what was typed so far are shown again.
TEST(EndToEnd, StopFromOutsideGivesTheTerminalBackUntilContinued) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  testing::RunOptions job;
  job.as_job = true;
  Terminal term(dir.path().string(), {}, job);
  ASSERT_TRUE(term.wait_for("(->Y/N):"));
  term.type("n");
  ASSERT_TRUE(term.wait_for("(->Y/N):  n"));
  pid_t tool = tcgetpgrp(term.master());
  ASSERT_GT(tool, 0);
  auto local_flags = [&] {
    termios now;
    tcgetattr(term.master(), &now);
    return now.c_lflag;
  };
  auto settles = [&](bool cooked) {
    for (int i = 0; i < 600 && ((local_flags() & ICANON) != 0) != cooked; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ((local_flags() & ICANON) != 0) == cooked;
  };
  kill(-tool, SIGTSTP);
  EXPECT_TRUE(settles(true)) << "not cooked while stopped";
  EXPECT_NE(local_flags() & ECHO, 0u);
  {
    // What a shell writes meanwhile.
    int shell = open(ptsname(term.master()), O_WRONLY | O_NOCTTY);
    ASSERT_GE(shell, 0);
    std::string lines = "\r\n[1]+  Stopped   rodozerez\r\n$ fg\r\nrodozerez\r\n";
    ASSERT_EQ(write(shell, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    close(shell);
  }
  kill(-tool, SIGCONT);
  EXPECT_TRUE(settles(false)) << "not raw again once continued";
  EXPECT_TRUE(term.wait_for("rodozerez\nInsert XSL Style Sheet reference? (->Y/N):  n"))
      << term.screen();
  EXPECT_EQ(answer(term, "", "a.xml"), 0);
  EXPECT_NE(term.screen().find("rodozerez\nInsert XSL Style Sheet reference? (->Y/N):  n\n"),
            std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file("a.xml")).find("FGDC_V2"), std::string::npos);
}

// A window made narrower while an answer is typed: the question and the
// answer are shown again at the new width, and no row keeps text of the
// old rendering.
TEST(EndToEnd, NarrowedWindowShowsTheQuestionAgainWithoutStaleText) {
  ScratchDir dir;
  Terminal term(dir.path().string());
  ASSERT_TRUE(term.wait_for("(->Y/N):"));
  term.type("y\r");
  // The question and the answer as rows of a terminal `width` wide.
  auto rows = [](const std::string& shown, std::size_t width) {
    std::string text;
    for (std::size_t at = 0; at < shown.size(); at += width) {
      if (at > 0) text += '\n';
      text += shown.substr(at, width);
    }
    return text;
  };
  std::string typed(60, 'x');
  std::string question = " Enter filespec for processing:  ";
  term.type(typed);
  ASSERT_TRUE(term.wait_for(rows(question + typed, 80))) << term.screen();
  winsize narrow{24, 40, 0, 0};
  ASSERT_EQ(ioctl(term.master(), TIOCSWINSZ, &narrow), 0);
  term.type("z");  // echoed once the tool has shown the question again
  EXPECT_TRUE(term.wait_for(rows(question + typed + "z", 40))) << term.screen();
  std::string screen = term.screen();
  ASSERT_NE(screen.find(question), std::string::npos) << screen;
  EXPECT_EQ(screen.substr(screen.find(question)), rows(question + typed + "z", 40) + "\n")
      << screen;
  term.type("\x7f\x7f\r");  // Backspace still takes back what it should
  EXPECT_EQ(term.wait_exit(), 0);
  std::string searched =
      " No files found to match your specification:  " + typed.substr(1) + ".xml";
  EXPECT_NE(term.screen().find(rows(searched, 40)), std::string::npos) << term.screen();
}

// A second run over files the first completed, as after a halt: nothing
// changes and nothing counts as modified.
TEST(EndToEnd, SecondRunLeavesCompletedFilesAsTheyAre) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  write_file(dir.file("b.xml"), testing::without_cr(complete_template()));
  {
    Terminal term(dir.path().string());
    EXPECT_EQ(answer(term, "y", "*"), 0);
  }
  std::string a = read_file(dir.file("a.xml")), b = read_file(dir.file("b.xml"));
  ASSERT_NE(b.find("</metadata>\n"), std::string::npos);
  write_file(dir.file("a.xml"), a + "\r\n\r\n");  // trailing empty lines aside
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "*"), 0);
  EXPECT_NE(term.screen().find("a.xml\nAlready complete; left as it is.\nb.xml\nAlready "
                               "complete; left as it is.\n\nFinished ------     0 files modified."),
            std::string::npos)
      << term.screen();
  EXPECT_EQ(read_file(dir.file("a.xml")), a + "\r\n\r\n");
  EXPECT_EQ(read_file(dir.file("b.xml")), b);
  EXPECT_FALSE(file_exists(dir.file(kWorkFileName)));
}

TEST(EndToEnd, WithoutATerminalTheBatchDoesNotStart) {
  ScratchDir dir;
  write_file(dir.file("a.xml"), complete_template());
  std::string err = dir.file("stderr.txt");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addchdir_np(&files, dir.path().c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);  // no controlling terminal
  std::string program = testing::tool_path();
  char* argv[] = {program.data(), nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &files, &attributes, argv, environ), 0);
  int status;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(read_file(err), "rodozerez: no terminal to talk to; start it from a terminal window\n");
  EXPECT_EQ(read_file(dir.file("a.xml")), complete_template());
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
}

// The standard's schema, shared beside the checkout, and a validator.
const std::string kSchema =
    std::string(RODOZEREZ_SOURCE_DIR) + "/../shared/fgdc/fgdc-std-001-1998-annotated.xsd";

// xmllint's complaints about `path` against the schema, kept in `log`;
// empty when valid.
std::string schema_errors(const std::string& path, const std::string& log) {
  std::string command =
      "xmllint --noout --nonet --schema '" + kSchema + "' '" + path + "' > '" + log + "' 2>&1";
  int status = std::system(command.c_str());
  return status == 0 ? "" : read_file(log);
}

// The samples and the golden template are templates whose only gaps are
// what the tool fills in: with either answer each comes out complete,
// well-formed and a valid record of the standard.
TEST(EndToEnd, SampleTemplatesBecomeValidRecords) {
  bool can_validate =
      std::filesystem::exists(kSchema) && std::system("command -v xmllint > /dev/null 2>&1") == 0;
  for (std::string stylesheet : {"y", "n"}) {
    ScratchDir dir;
    std::filesystem::copy(std::string(RODOZEREZ_SOURCE_DIR) + "/samples", dir.path() / "samples");
    std::filesystem::copy(std::string(RODOZEREZ_SOURCE_DIR) + "/tests/golden/template.xml",
                          dir.path() / "samples" / "golden.xml");
    Terminal term((dir.path() / "samples").string());
    EXPECT_EQ(answer(term, stylesheet, "*"), 0);
    EXPECT_NE(term.screen().find("Finished ------     4 files modified."), std::string::npos);
    for (auto& entry : std::filesystem::directory_iterator(dir.path() / "samples")) {
      std::string path = entry.path().string();
      std::string out = read_file(path);
      EXPECT_NE(out.find(today_yyyymmdd()), std::string::npos) << path;
      EXPECT_EQ(out.find("FGDC_V2.xsl") != std::string::npos, stylesheet == "y") << path;
      EXPECT_TRUE(
          out.ends_with("    <metstdv>FGDC-STD-001-1998</metstdv>\r\n  </metainfo>\r\n"
                        "</metadata>\r\n"));
      EXPECT_TRUE(testing::well_formed(out)) << path;
      if (can_validate) {
        EXPECT_EQ(schema_errors(path, dir.file("schema.log")), "") << "answered " << stylesheet;
      }
    }
  }
  if (!can_validate) {
    GTEST_SKIP() << "not validated against the schema: needs xmllint (libxml2-utils) and "
                 << kSchema;
  }
}

// The guard: a rewrite that would break a well-formed document leaves it
// as it was, the work file keeping the text to look at; a document that is
// already broken is completed as the rules say.
TEST(EndToEnd, RewriteThatWouldBreakAWellFormedDocumentIsSkipped) {
  ScratchDir dir;
  std::string broken = complete_template("Roads & Rails");
  std::string breaks = complete_template();
  // The line after the metadata date opens an element the trailer never closes.
  breaks.replace(breaks.find("    <metc>"), 10, "    <metextns>");
  breaks.replace(breaks.find("    </metc>"), 11, "    </metextns>");
  ASSERT_FALSE(testing::well_formed(broken));
  ASSERT_TRUE(testing::well_formed(breaks));
  write_file(dir.file("a.xml"), broken);
  write_file(dir.file("b.xml"), breaks);
  Terminal term(dir.path().string());
  EXPECT_EQ(answer(term, "y", "*"), 1);
  EXPECT_NE(term.lines_sent().find("a.xml\nb.xml\nError!  Rewritten file would not be "
                                   "well-formed XML. Proceeding with next file.\n  Not "
                                   "well-formed from line 70, column 5: mismatched tag\n\n"
                                   "Finished ------     1 files modified.\n  1 file left as it "
                                   "was:\n  b.xml (ill-formed)\n"),
            std::string::npos)
      << term.lines_sent();
  EXPECT_NE(read_file(dir.file("a.xml")).find("Varnholt Agency"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("b.xml")), breaks);
  std::string staged = read_file(dir.file(kWorkFileName));
  EXPECT_NE(staged.find("    <metextns>\r\n    <metc>"), std::string::npos);
}

// Real records as others wrote them (mostly LF, layouts off the template):
// each comes out well-formed or exactly as it was, and those that hold
// every landmark are completed.
TEST(EndToEnd, RealRecordsComeOutWellFormedOrAsTheyWere) {
  std::filesystem::path corpus = std::string(RODOZEREZ_SOURCE_DIR) + "/../shared/corpus/real";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no shared corpus beside the checkout";
  ScratchDir dir;
  std::map<std::string, std::string> original;
  for (auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".xml") continue;
    std::string name = entry.path().filename().string();
    original[name] = read_file(entry.path().string());
    write_file(dir.file(name), original[name]);
  }
  ASSERT_GE(original.size(), 20u);
  Terminal term(dir.path().string());
  answer(term, "y", "*");
  EXPECT_NE(term.screen().find("Finished ------"), std::string::npos) << term.screen();
  int rewritten = 0;
  for (const auto& [name, before] : original) {
    std::string after = read_file(dir.file(name));
    if (after == before) continue;
    ++rewritten;
    EXPECT_TRUE(testing::well_formed(after) || !testing::well_formed(before)) << name;
    EXPECT_EQ(after.find('\r') == std::string::npos, before.find('\r') == std::string::npos)
        << name << " changed its line ends";
  }
  EXPECT_GE(rewritten, 10);
}

}  // namespace
}  // namespace rodozerez
