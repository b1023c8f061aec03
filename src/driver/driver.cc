// The program driver: the only part that talks to the operator.
//
// With any text on the command line it shows the information screen. With
// none it asks its two questions, lists every matching file, fixes today's
// date, and rewrites each file in place through its work file, committing
// files in groups. A file that ends before a landmark, was completed
// before, would come out broken or was changed by another program is
// reported and left as it was; any other error halts the run with its
// number. The input is replaced only by an atomic rename of a durable work
// file, so at every moment it exists whole.
#include "driver/driver.h"

#include <new>
#include <string>
#include <vector>

#include "driver/commit_group.h"
#include "driver/messages.h"
#include "lineio/byte_text.h"
#include "lineio/closer.h"
#include "lineio/console.h"
#include "lineio/date.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/file_names.h"
#include "lineio/line_file.h"
#include "lineio/process_limits.h"
#include "rewriter/pass.h"

namespace rodozerez {
namespace {

void print_line(std::string_view text) {
  print_text(text);
  new_line();
}

void show_information_screen() {
  for (auto line : kInformation) print_line(line);
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The processing stage of a run: the list, the values fixed for it, the
// file being rewritten, the commit group waiting, and what has happened so
// far. It stays where it was made: its group reports back to it.
struct Run {
  Run(const FileList& list, const RunValues& run_values)
      : folder(list.folder),
        names(list.names),
        values(run_values),
        group(list.folder, raise_open_file_limit(),
              [this](std::size_t index, Replacement outcome) { placed(index, outcome); }) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  void placed(std::size_t index, Replacement outcome);

  const Folder& folder;                   // where every listed file is
  const std::vector<std::string>& names;  // the listed files
  const RunValues& values;
  CommitGroup group;
  std::size_t next = 0;  // the file being rewritten
  std::size_t replaced = 0;
  std::size_t last_named = kNone;  // the file whose name is the last line shown
  bool stopped = false;            // Ctrl+C stopped it inside a file
  InputFile input;
  WorkFile work;
  std::vector<std::pair<std::size_t, Skip>> left_alone;  // with why
};

void print_name(Run& run, std::size_t index) {
  print_line(run.names[index]);
  run.last_named = index;
}

// What became of a file goes on the line below its name; the name comes
// again when other lines stand between.
void print_outcome(Run& run, std::size_t index, std::string_view message) {
  if (run.last_named != index && index < run.names.size()) print_name(run, index);
  print_line(message);
  run.last_named = kNone;
}

// A file left as it was: the line below its name says why, with the
// details on one more line when there are any.
void report_skip(Run& run, std::size_t index, Skip skip, const std::string& details = {}) {
  print_outcome(run, index, reason(skip).message);
  if (!details.empty()) print_line(details);
  run.left_alone.emplace_back(index, skip);
}

void Run::placed(std::size_t index, Replacement outcome) {
  if (outcome == Replacement::kReplaced) {
    ++replaced;
  } else {
    report_skip(*this, index, Skip::kChanged);
  }
}

// The file being rewritten is not to replace its input: those staged before
// it go in place first, as they would one at a time, and its work file is
// left.
void skip_current_file(Run& run, Skip skip, const std::string& details = {}) {
  run.group.commit();
  run.work.leave(run.input);
  report_skip(run, run.next, skip, details);
}

// Opens a listed file. A lock refused may be the run's own: the file is
// another listed name (a hard link) of a file staged in the group, or of
// one whose replaced input is still being closed. Then those are committed
// and closed, and the file opened again: the name gets its own rewritten
// copy, as sed -i gives it. A lock held elsewhere is refused again.
InputFile open_listed_file(Run& run, const std::string& name) {
  try {
    return InputFile::open(run.folder, name);
  } catch (const NumberedError& e) {
    if (e.number() != kPermissionDenied) throw;
  }
  run.group.commit();
  wait_for_replaced_inputs();
  return InputFile::open(run.folder, name);
}

// One file's cycle: its name, its open, its rewrite into a work file, and
// its staging in the commit group (which commits once full).
void rewrite_next_file(Run& run) {
  print_name(run, run.next);
  run.input = open_listed_file(run, run.names[run.next]);
  // A file an earlier run completed is left alone: a second rewrite would
  // take the agency's own origin for somebody else's and repeat reports.
  if (is_already_complete(run.input.read_end(kCompletedFileEndBytes))) {
    run.input.close();
    return print_outcome(run, run.next, "Already complete; left as it is.");
  }
  run.work = run.group.new_work_file();
  rewrite_file(run.input, run.work, run.values);
  if (run.work.stage(run.input) == Replacement::kNotWellFormed) {
    return skip_current_file(run, Skip::kIllFormed, "  Not well-formed from " + run.work.fault());
  }
  run.group.add(run.next, std::move(run.input), std::move(run.work));
}

// Rewrites every file from `run.next` on, until Ctrl+C asks the run to
// stop, and commits the last group; then syncs the folder so the renames
// are durable before the summary claims them. The replaced inputs, closed
// beside the run, are all closed by then too. Errors are thrown to the
// run's handler.
void rewrite_remaining_files(Run& run) {
  for (; run.next < run.names.size() && !stop_requested(); ++run.next) rewrite_next_file(run);
  run.group.commit();
  wait_for_replaced_inputs();
  if (run.replaced > 0) sync_directory(run.folder);
}

// An error from the file being rewritten that only skips it: 62 (it ends
// before a landmark), or Ctrl+C inside it. The run then goes on with the
// next file. False for any other error, or when the skip itself fails;
// `error` then holds what halts the run.
bool skip_after(Run& run, NumberedError& error) {
  bool past_end = error.number() == kInputPastEnd;
  bool stopped = error.number() == kStoppedByCtrlC;
  if (error.file() != NumberedError::kNoFile || !(past_end || stopped)) return false;
  try {
    if (past_end) {
      skip_current_file(run, Skip::kIncomplete, past_end_details(run.input, error.landmark()));
    } else {
      skip_current_file(run, Skip::kStopped);
      run.stopped = true;
    }
    ++run.next;
    return true;
  } catch (const NumberedError& e) {
    error = e;
    return false;
  }
}

// Halts the run on `error`, shown below the name of the file it belongs
// to: every file staged before that one still goes in place, the folder is
// synced so the screen never overstates, and one more line gives the cause
// in words and says from which listed file on nothing was rewritten (none,
// when the folder's sync fails after the last file).
void halt(Run& run, NumberedError error) {
  bool current_failed = error.file() == NumberedError::kNoFile;
  error = run.group.halt(error, run.next);
  // Each step is tried on its own: a failure in one (already halting, the
  // number shown is the first failure) must not keep the folder unsynced.
  try {
    // The file being rewritten leaves its work file behind, once the files
    // before it have taken the name in turn.
    if (current_failed) run.work.leave(run.input);
  } catch (const NumberedError&) {
  }
  try {
    if (run.replaced > 0) sync_directory(run.folder);
  } catch (const NumberedError&) {
  }
  std::size_t failed = error.file();
  print_outcome(run, failed, "Unknown error! - Program Halt." + number_text(error.number()));
  std::string cause(error.cause());
  if (failed >= run.names.size()) return print_line("  After the last file: " + cause + ".");
  print_line("  Halted at " + run.names[failed] + ": " + cause + ". " +
             (failed + 1 == run.names.size()
                  ? "It is as it was."
                  : "It and every file listed after it are as they were."));
}

// After the summary: how many files were left as they were, and which,
// with one word each for why (the first few; a long run's screen would
// scroll the rest away).
constexpr std::size_t kMostNamesListed = 20;

void list_files_left_alone(const Run& run) {
  std::size_t count = run.left_alone.size();
  if (count == 0) return;
  print_line("  " + std::to_string(count) +
             (count == 1 ? " file left as it was:" : " files left as they were:"));
  for (std::size_t i = 0; i < count && i < kMostNamesListed; ++i) {
    auto [index, skip] = run.left_alone[i];
    print_line("  " + run.names[index] + " (" + std::string(reason(skip).word) + ")");
  }
  if (count > kMostNamesListed) {
    print_line("  and " + std::to_string(count - kMostNamesListed) + " more");
  }
}

int rewrite_listed_files(const FileList& files, const RunValues& values) {
  Run run(files, values);
  for (;;) {
    NumberedError error(0);
    try {
      rewrite_remaining_files(run);
      break;
    } catch (const NumberedError& e) {
      error = e;
    } catch (const std::bad_alloc&) {
      error = NumberedError(kNoMemory);
    }
    if (!skip_after(run, error)) {
      halt(run, error);
      return kExitHalted;
    }
  }
  // The summary. After Ctrl+C the files rewritten before it are in place
  // and on disk, and every other file is as it was.
  bool stopped = run.stopped || run.next < run.names.size();
  new_line();
  print_line(std::string(stopped ? "Stopped by Ctrl+C ------" : "Finished ------") +
             format_count(run.replaced) + " files modified.");
  list_files_left_alone(run);
  if (stopped) return kExitHalted;
  return run.left_alone.empty() ? kExitDone : kExitSkipped;
}

int run_dialogue() {
  // The title and the two questions.
  print_line(kTitle);
  print_line("Zeph Contract Metadata Merge Program");
  new_line();
  auto answer = read_typed_line("Insert XSL Style Sheet reference? (->Y/N):  ");
  if (!answer) return kExitHalted;
  // "no", " n" and "Nein" all say no; anything else, Enter alone too, yes.
  std::size_t first = answer->find_first_not_of(' ');
  bool stylesheet = first == std::string::npos || upper_case(answer->substr(first, 1)) != "N";
  auto specification = read_typed_line(" Enter filespec for processing:  ");
  if (!specification) return kExitHalted;
  new_line();
  let_ctrl_c_stop_the_run();

  // The ".xml" default, for a name part without any ".".
  *specification = with_xml_default(*specification);

  // The file list, complete before any file is touched.
  FileList files = list_matching_files(*specification);
  if (files.names.empty()) {
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
    status = run_dialogue();
  } else {
    show_information_screen();
  }
  restore_console();
  return status;
}

}  // namespace rodozerez
