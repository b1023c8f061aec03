// The program driver: the only part that talks to the operator.
//
// With any text on the command line it shows the information screen. With
// none it asks its two questions, lists every matching file, fixes today's
// date, and rewrites each file in place through the work file. A file that
// ends before a landmark is reported and left as it was; any other error
// halts the run with its number. The input is replaced only by an atomic
// rename of a durable work file, so at every moment it exists whole.
#include "driver/driver.h"

#include <new>
#include <string>
#include <vector>

#include "lineio/byte_text.h"
#include "lineio/console.h"
#include "lineio/date.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/line_file.h"
#include "rewriter/pass.h"

namespace rodozerez {
namespace {

constexpr std::string_view kTitle = "Rodozerez Version " RODOZEREZ_VERSION "     (15-Apr-2004)";

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

// The processing stage of a run: the list, the values fixed for it, the
// files of the cycle in progress, and what has happened so far.
struct Batch {
  const std::vector<ListedFile>& files;
  const RunValues& values;
  std::size_t next = 0;  // index of the file the cycle is at
  std::size_t replaced = 0;
  std::size_t skipped = 0;
  InputFile input;
  WorkFile work;
};

// The line that says why a file was left as it was.
std::string_view skip_message(Replacement replacement) {
  switch (replacement) {
    case Replacement::kNotWellFormed:
      return "Error!  Rewritten file would not be well-formed XML. Proceeding with next file.";
    case Replacement::kChangedElsewhere:
      return "File changed by another program. Proceeding with next file.";
    case Replacement::kReplaced:
      break;
  }
  return {};
}

// The per-file cycle for every file from `batch.next` on, then the folder
// sync that makes the renames durable before the summary claims them.
// Errors are thrown to the run's one handler.
void rewrite_remaining_files(Batch& batch) {
  for (; batch.next < batch.files.size(); ++batch.next) {
    const ListedFile& file = batch.files[batch.next];
    print_line(file.name);
    batch.input = open_for_reading(file.path());
    // A file an earlier run completed is left alone: a second rewrite would
    // take the agency's own origin for somebody else's and repeat reports.
    if (is_already_complete(read_file_end(batch.input, kCompletedFileEndBytes))) {
      close_all_files(batch.input, batch.work);
      print_line("Already complete; left as it is.");
      continue;
    }
    batch.work = open_for_writing(file.directory);
    rewrite_file(batch.input, batch.work, batch.values);
    Replacement replacement = replace_input(batch.work, batch.input);
    if (replacement == Replacement::kReplaced) {
      ++batch.replaced;
      continue;
    }
    // Left as it was; the work file keeps the rewritten text to look at.
    close_all_files(batch.input, batch.work);
    print_line(skip_message(replacement));
    ++batch.skipped;
  }
  if (batch.replaced > 0) sync_directory(batch.files.front().directory);
}

// The run's one error handler. 62, the input ending before a landmark,
// skips the file: both files are closed, the work file keeping the lines
// written so far, and the cycle goes on. Anything else, including a
// failure to close after a 62, halts the run with its number; what was
// renamed before is made durable first, so the screen never overstates.
// Returns true when the run goes on.
bool handle_error(Batch& batch, int number) {
  try {
    close_all_files(batch.input, batch.work);
  } catch (const NumberedError& e) {
    if (number == kInputPastEnd) number = e.number();
  }
  if (number == kInputPastEnd) {
    print_line("Error!  Processed past end of file. Proceeding with next file.");
    ++batch.skipped;
    ++batch.next;
    return true;
  }
  if (batch.replaced > 0) {
    try {
      sync_directory(batch.files.front().directory);
    } catch (const NumberedError&) {
      // Already halting; the number shown is the first failure.
    }
  }
  print_text("Unknown error! - Program Halt.");
  print_number(number);
  new_line();
  return false;
}

int rewrite_listed_files(const std::vector<ListedFile>& files, const RunValues& values) {
  Batch batch{files, values, 0, 0, 0, {}, {}};
  for (;;) {
    int number = 0;
    try {
      rewrite_remaining_files(batch);
      break;
    } catch (const NumberedError& e) {
      number = e.number();
    } catch (const std::bad_alloc&) {
      number = kNoMemory;
    }
    if (!handle_error(batch, number)) return kExitHalted;
  }
  new_line();
  print_line("Finished ------" + format_count(batch.replaced) + " files modified.");
  return batch.skipped > 0 ? kExitSkipped : kExitDone;
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
    report_without_terminal("rodozerez: no terminal to talk to; start it from a terminal window");
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
