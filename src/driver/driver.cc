// The program driver: the only part that talks to the operator.
//
// With any text on the command line it shows the information screen. With
// none it asks its two questions, lists every matching file, fixes today's
// date, and rewrites each file in place through the work file. A file that
// ends before a landmark is reported and left as it was; any other error
// halts the run with its number. The input is replaced only by an atomic
// rename of a durable work file, so at every moment it exists whole.
#include "driver/driver.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "lineio/console.h"
#include "lineio/date.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/line_file.h"
#include "lineio/text.h"
#include "rewriter/pass.h"

namespace rodozerez {
namespace {

constexpr std::string_view kTitle = "Rodozerez Version 1.0     (15-Apr-2004)";

constexpr std::string_view kInformation[] = {
    "",
    kTitle,
    "",
    "  Merges project XML metadata boilerplate info into short template contract",
    "  XML datafiles to fill in the missing pieces.  The proccont info is removed",
    "  from the final output and HDC is made the metadata POC for the data.",
    "  The metadata date is also updated.",
    "",
    "  Missing logic, complete and eainfo elements are inserted.  The citeinfo -",
    "  originator is changed to VRA.",
    "  This program replaces the original metadata files.  Make sure that you have",
    "  backups of all metadata files before running.",
    "",
};

void print_line(std::string_view text) {
  print_text(text);
  new_line();
}

void show_information_screen() {
  for (auto line : kInformation) print_line(line);
}

// The fatal path: the number on screen, then the end of the run. What was
// renamed before is made durable first, so the screen never overstates.
int halt(int number, const std::string& directory, bool renamed_any) {
  if (renamed_any) {
    try {
      sync_directory(directory);
    } catch (const NumberedError&) {
      // Already halting; the number shown is the first failure.
    }
  }
  print_text("Unknown error! - Program Halt.");
  print_number(number);
  new_line();
  return kExitHalted;
}

// The per-file cycle over the whole list, with the run's one error handler:
// 62 skips the file, anything else halts the run.
int rewrite_listed_files(const std::vector<ListedFile>& files, const RunValues& values) {
  const std::string& directory = files.front().directory;
  std::size_t replaced = 0;
  std::size_t skipped = 0;
  for (const ListedFile& file : files) {
    print_line(file.name);
    InputFile input;
    WorkFile work;
    int number = 0;
    try {
      input = open_for_reading(file.path());
      work = open_for_writing(file.directory);
      rewrite_file(input, work, values);
      replace_input(work, input);
      ++replaced;
      continue;
    } catch (const NumberedError& e) {
      number = e.number();
    } catch (const std::bad_alloc&) {
      number = kNoMemory;
    }
    // The work file keeps every line written so far; the input is untouched.
    int close_error = close_all_files(input, work);
    if (number == kInputPastEnd && close_error == 0) {
      print_line("Error!  Processed past end of file. Proceeding with next file.");
      ++skipped;
      continue;
    }
    return halt(number == kInputPastEnd ? close_error : number, directory, replaced > 0);
  }

  // What the summary reports as done must be on disk.
  if (replaced > 0) {
    try {
      sync_directory(directory);
    } catch (const NumberedError& e) {
      return halt(e.number(), directory, false);
    }
  }
  new_line();
  print_line("Finished ------" + format_count(replaced) + " files modified.");
  return skipped > 0 ? kExitSkipped : kExitDone;
}

int run_batch() {
  // The title and the two questions.
  print_line(kTitle);
  print_line("Zeph Contract Metadata Merge Program");
  new_line();
  print_text("Insert XSL Style Sheet reference? (->Y/N):  ");
  auto answer = read_typed_line();
  if (!answer) return kExitHalted;
  bool stylesheet = upper_case(*answer) != "N";
  print_text(" Enter filespec for processing:  ");
  auto specification = read_typed_line();
  if (!specification) return kExitHalted;
  new_line();

  // The ".xml" default, for a specification without any ".".
  if (find_text(1, *specification, ".") == 0) *specification += ".xml";

  // The file list, complete before any file is touched.
  std::vector<ListedFile> files = list_matching_files(*specification);
  if (files.empty()) {
    print_line(" Sorry....");
    print_text(" No files found to match your specification:  ");
    print_line(*specification);
    new_line();
    return kExitDone;
  }

  // Today's date, fixed for the whole run even past midnight.
  std::string today = date_text();
  std::string metadata_date = metadata_date_from(today);
  std::string current_year = current_year_from(today);

  print_line("Working...");
  return rewrite_listed_files(files, {stylesheet, current_year, metadata_date});
}

}  // namespace

int run_program(int argc, char** argv) {
  std::string tail = command_tail(argc, argv);
  if (!open_console()) {
    if (!tail.empty()) {
      // Nobody to talk to, but the information is worth printing anyway.
      open_plain_output();
      show_information_screen();
      restore_console();
      return kExitDone;
    }
    std::fputs("rodozerez: no terminal to talk to; start it from a terminal window\n", stderr);
    return kExitHalted;
  }
  ignore_size_limit_signal();
  clear_screen();
  int status = kExitDone;
  if (tail.empty()) {
    status = run_batch();
  } else {
    show_information_screen();
  }
  restore_console();
  return status;
}

}  // namespace rodozerez
