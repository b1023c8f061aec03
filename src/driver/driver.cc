// The program driver: the only part that talks to the operator.
//
// With any text on the command line it shows the information screen. With
// none it asks its two questions, lists every matching file, fixes today's
// date, and rewrites each file in place through its work file, committing
// files in batches. A file that ends before a landmark, was completed
// before, would come out broken or was changed by another program is
// reported and left as it was; any other error halts the run with its
// number. The input is replaced only by an atomic rename of a durable work
// file, so at every moment it exists whole.
#include "driver/driver.h"

#include <algorithm>
#include <chrono>
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

constexpr std::string_view kPastEndMessage =
    "Error!  Processed past end of file. Proceeding with next file.";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Files are committed in batches: each is rewritten into its work file and
// waits, both files open and locked, until the batch is full; then all are
// made durable together and put in place one by one, in listing order. A
// batch is bounded in files, bytes and descriptors, and in time: on a slow
// or loaded machine no rewritten file waits long for its commit, so a run
// cut short has done what it could.
constexpr std::size_t kBatchFiles = 64;
constexpr std::size_t kBatchBytes = 8 << 20;
constexpr auto kBatchTime = std::chrono::milliseconds(50);

// Two descriptors a staged file, and room for everything else.
std::size_t batch_limit(std::size_t open_file_limit) {
  if (open_file_limit < 64 + 2) return 1;
  return std::clamp<std::size_t>((open_file_limit - 64) / 2, 1, kBatchFiles);
}

// A file rewritten into its work file, waiting for its batch.
struct StagedFile {
  std::size_t index;  // in the file list
  InputFile input;
  WorkFile work;
};

// The processing stage of a run: the list, the values fixed for it, the
// file being rewritten, the batch waiting, and what has happened so far.
struct Batch {
  Batch(const std::vector<ListedFile>& list, const RunValues& run_values)
      : files(list), values(run_values) {}

  const std::vector<ListedFile>& files;
  const RunValues& values;
  std::size_t limit = 1;
  std::size_t next = 0;  // the file being rewritten
  std::size_t replaced = 0;
  std::size_t skipped = 0;
  std::size_t last_named = kNone;  // the file whose name is the last line shown
  InputFile input;
  WorkFile work;
  std::vector<StagedFile> staged;
  std::size_t staged_bytes = 0;
  std::chrono::steady_clock::time_point staged_since;  // when the batch's first file was
  std::size_t durable = 0;         // staged files on disk
  std::size_t placed = 0;          // staged files done with
  std::size_t failing = kNone;     // the staged file a commit step is at
  bool unnamed_work_files = true;  // this file system makes them
};

void print_name(Batch& batch, std::size_t index) {
  print_line(batch.files[index].name);
  batch.last_named = index;
}

// What became of a file goes on the line below its name; the name comes
// again when other lines stand between.
void print_outcome(Batch& batch, std::size_t index, std::string_view message) {
  if (batch.last_named != index && index < batch.files.size()) print_name(batch, index);
  print_line(message);
  batch.last_named = kNone;
}

// Puts the staged files that are on disk in their inputs' places, in
// listing order; a file another program changed meanwhile is left alone.
void place_durable_files(Batch& batch) {
  while (batch.placed < batch.durable) {
    StagedFile& file = batch.staged[batch.placed];
    batch.failing = batch.placed;
    Replacement replacement = put_in_place(file.work, file.input);
    ++batch.placed;
    if (replacement == Replacement::kReplaced) {
      ++batch.replaced;
      continue;
    }
    leave_work_file(file.work, file.input);
    print_outcome(batch, file.index, skip_message(replacement));
    ++batch.skipped;
  }
  batch.failing = kNone;
  if (batch.placed == batch.staged.size()) {
    batch.staged.clear();
    batch.staged_bytes = batch.durable = batch.placed = 0;
  }
}

// Makes every staged file durable, then puts them in place. Several files
// are synced with their file system at once where that is cheap; one on
// its own, or when that is not done, each is fsynced in turn.
void commit_batch(Batch& batch) {
  if (batch.staged.size() - batch.durable > 1 && sync_file_system_of(batch.staged.back().work)) {
    batch.durable = batch.staged.size();
  }
  for (; batch.durable < batch.staged.size(); ++batch.durable) {
    batch.failing = batch.durable;
    make_durable(batch.staged[batch.durable].work);
  }
  place_durable_files(batch);
}

// The file being rewritten is not to replace its input: those staged before
// it go in place first, as they would one at a time, and its work file
// stays behind with what was written, for the operator to look at.
void leave_behind(Batch& batch, std::string_view message) {
  commit_batch(batch);
  leave_work_file(batch.work, batch.input);
  print_outcome(batch, batch.next, message);
  ++batch.skipped;
}

// The first file of a batch takes the work file's name; the files behind
// it wait in unnamed work files. Where the file system makes none, the
// batch is committed first and each file goes on its own.
WorkFile open_work_file(Batch& batch, const std::string& directory) {
  if (!batch.staged.empty() && batch.unnamed_work_files) {
    WorkFile unnamed = open_unnamed_work_file(directory);
    if (unnamed.is_open()) return unnamed;
    batch.unnamed_work_files = false;
  }
  commit_batch(batch);
  return open_for_writing(directory);
}

// Rewrites every file from `batch.next` on into its work file and commits
// them batch by batch, then syncs the folder so the renames are durable
// before the summary claims them. The replaced inputs, closed beside the
// run, are all closed by then too. Errors are thrown to the run's one
// handler.
void rewrite_remaining_files(Batch& batch) {
  for (; batch.next < batch.files.size(); ++batch.next) {
    const ListedFile& file = batch.files[batch.next];
    print_name(batch, batch.next);
    batch.input = open_for_reading(file.path());
    // A file an earlier run completed is left alone: a second rewrite would
    // take the agency's own origin for somebody else's and repeat reports.
    if (is_already_complete(read_file_end(batch.input, kCompletedFileEndBytes))) {
      close_all_files(batch.input, batch.work);
      print_outcome(batch, batch.next, "Already complete; left as it is.");
      continue;
    }
    batch.work = open_work_file(batch, file.directory);
    rewrite_file(batch.input, batch.work, batch.values);
    Replacement staged = finish_work_file(batch.work, batch.input);
    if (staged != Replacement::kReplaced) {
      leave_behind(batch, skip_message(staged));
      continue;
    }
    auto now = std::chrono::steady_clock::now();
    if (batch.staged.empty()) batch.staged_since = now;
    batch.staged_bytes += batch.work.size();
    batch.staged.push_back({batch.next, std::move(batch.input), std::move(batch.work)});
    if (batch.staged.size() >= batch.limit || batch.staged_bytes >= kBatchBytes ||
        now - batch.staged_since >= kBatchTime) {
      commit_batch(batch);
    }
  }
  commit_batch(batch);
  wait_for_replaced_inputs();
  if (batch.replaced > 0) sync_directory(batch.files.front().directory);
}

// The run's one error handler. 62, the input ending before a landmark,
// skips the file: the files staged before it go in place, its work file
// stays behind with the lines written so far, and the run goes on.
// Anything else halts the run with its number, shown below the name of the
// file it belongs to (again, when other names came between): files staged
// before it that are on disk still go in place, and what was renamed is
// made durable, so the screen never overstates. A failure on the way
// (closing after a 62, a commit) takes over as the number shown, since one
// file at a time would have met it first. Returns true when the run goes
// on.
bool handle_error(Batch& batch, int number) {
  std::size_t file = batch.failing == kNone ? batch.next : batch.staged[batch.failing].index;
  try {
    if (batch.failing == kNone) {
      if (number == kInputPastEnd) {
        leave_behind(batch, kPastEndMessage);
        ++batch.next;
        return true;
      }
      commit_batch(batch);
      try {
        // Its work file stays behind with what was written, as named.
        leave_work_file(batch.work, batch.input);
      } catch (const NumberedError&) {
        // Already halting; the number shown is the first failure.
      }
    } else if (batch.failing == batch.durable) {
      place_durable_files(batch);  // the files before the one whose fsync failed
    }
  } catch (const NumberedError& e) {
    number = e.number();
    if (batch.failing != kNone) file = batch.staged[batch.failing].index;
  }
  if (batch.replaced > 0) {
    try {
      sync_directory(batch.files.front().directory);
    } catch (const NumberedError&) {
      // Already halting; the number shown is the first failure.
    }
  }
  print_outcome(batch, file, "Unknown error! - Program Halt." + number_text(number));
  return false;
}

int rewrite_listed_files(const std::vector<ListedFile>& files, const RunValues& values) {
  Batch batch(files, values);
  batch.limit = batch_limit(raise_open_file_limit());
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
