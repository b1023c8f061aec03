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

#include <algorithm>
#include <chrono>
#include <new>
#include <string>
#include <vector>

#include "lineio/byte_text.h"
#include "lineio/closer.h"
#include "lineio/console.h"
#include "lineio/date.h"
#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/file_names.h"
#include "lineio/line_file.h"
#include "lineio/process_limits.h"
#include "lineio/replace_input.h"
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

// The one word for why a file was left as it was, in the summary's list.
std::string_view skip_word(Replacement replacement) {
  return replacement == Replacement::kNotWellFormed ? "ill-formed" : "changed";
}

// The line that says why a file was left as it was.
std::string_view skip_message(Replacement replacement) {
  switch (replacement) {
    case Replacement::kNotWellFormed:
      return "Error!  Rewritten file would not be well-formed XML. Proceeding with next file.";
    case Replacement::kChangedElsewhere:
      return "File changed by another program. Proceeding with next file.";
    case Replacement::kStaged:
    case Replacement::kReplaced:
      break;
  }
  return {};
}

constexpr std::string_view kPastEndMessage =
    "Error!  Processed past end of file. Proceeding with next file.";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Files are committed in groups: each is rewritten into its work file and
// waits, both files open and locked, until the group is full; then all are
// made durable together and put in place one by one, in listing order. A
// commit group is bounded in files, bytes and descriptors, and in time: on
// a slow or loaded machine no rewritten file waits long for its commit, so
// a run cut short has done what it could.
constexpr std::size_t kGroupFiles = 64;
constexpr std::size_t kGroupBytes = 8 << 20;
constexpr auto kGroupTime = std::chrono::milliseconds(50);

// Two descriptors a staged file, and room for everything else.
std::size_t group_limit(std::size_t open_file_limit) {
  if (open_file_limit < 64 + 2) return 1;
  return std::clamp<std::size_t>((open_file_limit - 64) / 2, 1, kGroupFiles);
}

// A file rewritten into its work file, waiting for its group's commit.
struct StagedFile {
  std::size_t index;  // in the file list
  InputFile input;
  WorkFile work;
};

// The processing stage of a run: the list, the values fixed for it, the
// file being rewritten, the commit group waiting, and what has happened so
// far.
struct Run {
  Run(const FileList& list, const RunValues& run_values)
      : folder(list.folder), names(list.names), values(run_values) {}

  const Folder& folder;                   // where every listed file is
  const std::vector<std::string>& names;  // the listed files
  const RunValues& values;
  std::size_t group_limit = 1;
  std::size_t next = 0;  // the file being rewritten
  std::size_t replaced = 0;
  std::size_t last_named = kNone;  // the file whose name is the last line shown
  InputFile input;
  WorkFile work;
  std::vector<StagedFile> staged;  // the commit group, in listing order
  FileDescriptor write_errors;     // opened before the group's first write
  std::size_t staged_bytes = 0;
  std::size_t durable = 0;         // staged files on disk, from the first on
  std::size_t placed = 0;          // staged files done with, from the first on
  bool unnamed_work_files = true;  // this file system makes them
  std::string_view looking_for;    // what the file being rewritten lacked
  // The files left as they were, each with one word for why.
  std::vector<std::pair<std::size_t, std::string_view>> left_alone;
  std::chrono::steady_clock::time_point staged_since;  // when its first file was
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

// A file that is not to replace its input: its work file stays behind
// under the work file's name with what was written, for the operator to
// look at, and the line below the file's name says why, with the details
// on one more line when there are any.
void skip_file(Run& run, std::size_t index, WorkFile& work, InputFile& input,
               std::string_view message, std::string_view word, const std::string& details = {}) {
  leave_work_file(work, input);
  print_outcome(run, index, message);
  if (!details.empty()) print_line(details);
  run.left_alone.emplace_back(index, word);
}

// A commit step for a staged file: an error it raises says which listed
// file it belongs to.
template <typename Step>
auto for_staged(const StagedFile& file, Step step) {
  try {
    return step();
  } catch (const NumberedError& e) {
    throw e.about_file(file.index);
  }
}

// Commits the first `count` staged files: makes them durable (several at
// once with their file system where that is cheap; one on its own, or when
// that is not done, each fsynced in turn), then puts them in place in
// listing order; a file another program changed meanwhile is skipped.
void commit_staged(Run& run, std::size_t count) {
  if (count - std::min(count, run.durable) > 1 && sync_file_system(run.write_errors)) {
    run.durable = std::max(run.durable, count);
  }
  for (; run.durable < count; ++run.durable) {
    StagedFile& file = run.staged[run.durable];
    for_staged(file, [&] { make_durable(file.work); });
  }
  for (; run.placed < count; ++run.placed) {
    StagedFile& file = run.staged[run.placed];
    Replacement replacement = for_staged(file, [&] { return put_in_place(file.work, file.input); });
    if (replacement == Replacement::kReplaced) {
      ++run.replaced;
    } else {
      for_staged(file, [&] {
        skip_file(run, file.index, file.work, file.input, skip_message(replacement),
                  skip_word(replacement));
      });
    }
  }
  if (run.placed == run.staged.size()) {
    run.staged.clear();
    run.staged_bytes = run.durable = run.placed = 0;
  }
}

void commit_group(Run& run) {
  commit_staged(run, run.staged.size());
}

// The file being rewritten is not to replace its input: those staged before
// it go in place first, as they would one at a time, and it is skipped.
void skip_current_file(Run& run, std::string_view message, std::string_view word,
                       const std::string& details) {
  commit_group(run);
  skip_file(run, run.next, run.work, run.input, message, word, details);
}

// The first file of a group takes the work file's name; the files behind
// it wait in unnamed work files. Where the file system makes none, the
// group is committed first and each file goes on its own. A group's
// watch for write errors is opened before its first file is written.
WorkFile open_work_file(Run& run) {
  if (!run.staged.empty() && run.unnamed_work_files) {
    WorkFile unnamed = open_unnamed_work_file(run.folder);
    if (unnamed.is_open()) return unnamed;
    run.unnamed_work_files = false;
  }
  commit_group(run);
  if (run.unnamed_work_files) run.write_errors = watch_for_write_errors(run.folder);
  return open_for_writing(run.folder);
}

// Opens a listed file. A lock refused may be the run's own: the file is
// another listed name (a hard link) of a file staged in the group, or of
// one whose replaced input is still being closed. Then those are committed
// and closed, and the file opened again: the name gets its own rewritten
// copy, as sed -i gives it. A lock held elsewhere is refused again.
InputFile open_listed_file(Run& run, const std::string& name) {
  try {
    return open_for_reading(run.folder, name);
  } catch (const NumberedError& e) {
    if (e.number() != kPermissionDenied) throw;
  }
  commit_group(run);
  wait_for_replaced_inputs();
  return open_for_reading(run.folder, name);
}

// Rewrites every file from `run.next` on into its work file and commits
// them group by group, then syncs the folder so the renames are durable
// before the summary claims them. The replaced inputs, closed beside the
// run, are all closed by then too. Errors are thrown to the run's handler.
void rewrite_remaining_files(Run& run) {
  for (; run.next < run.names.size() && !stop_requested(); ++run.next) {
    print_name(run, run.next);
    run.input = open_listed_file(run, run.names[run.next]);
    // A file an earlier run completed is left alone: a second rewrite would
    // take the agency's own origin for somebody else's and repeat reports.
    if (is_already_complete(read_file_end(run.input, kCompletedFileEndBytes))) {
      close_all_files(run.input, run.work);
      print_outcome(run, run.next, "Already complete; left as it is.");
      continue;
    }
    run.work = open_work_file(run);
    rewrite_file(run.input, run.work, run.values, &run.looking_for);
    Replacement staged = finish_work_file(run.work, run.input);
    if (stop_requested()) {
      // Stopped while this file was being rewritten: it stays as it was.
      close_all_files(run.input, run.work);
      break;
    }
    if (staged != Replacement::kStaged) {
      skip_current_file(run, skip_message(staged), skip_word(staged),
                        "  Not well-formed from " + run.work.fault());
      continue;
    }
    auto now = std::chrono::steady_clock::now();
    if (run.staged.empty()) run.staged_since = now;
    run.staged_bytes += run.work.size();
    run.staged.push_back({run.next, std::move(run.input), std::move(run.work)});
    if (run.staged.size() >= run.group_limit || run.staged_bytes >= kGroupBytes ||
        now - run.staged_since >= kGroupTime) {
      commit_group(run);
    }
  }
  commit_group(run);
  wait_for_replaced_inputs();
  if (run.replaced > 0) sync_directory(run.folder);
}

// 62 from the file being rewritten: it ends before a landmark, so it is
// skipped (the files staged before it go in place) and the run goes on
// with the next. False for any other error, or when the skip itself fails;
// `error` then holds what halts the run.
bool skip_past_end(Run& run, NumberedError& error) {
  if (error.number() != kInputPastEnd || error.file() != NumberedError::kNoFile) return false;
  try {
    skip_current_file(run, kPastEndMessage, "incomplete",
                      past_end_details(run.input, run.looking_for));
    ++run.next;
    return true;
  } catch (const NumberedError& e) {
    error = e;
    return false;
  }
}

// Halts the run on `error`, shown below the name of the file it belongs
// to: every file staged before that one still goes in place (a failure on
// the way belongs to an earlier file and takes over), the folder is synced
// so the screen never overstates, and one more line gives the cause in
// words and says from which listed file on nothing was rewritten (none,
// when the folder's sync fails after the last file).
void halt(Run& run, NumberedError error) {
  bool current_failed = error.file() == NumberedError::kNoFile;
  std::size_t failed;
  for (;;) {
    failed = error.file() == NumberedError::kNoFile ? run.next : error.file();
    auto before = std::find_if(run.staged.begin(), run.staged.end(),
                               [&](const StagedFile& file) { return file.index >= failed; });
    try {
      commit_staged(run, static_cast<std::size_t>(before - run.staged.begin()));
      break;
    } catch (const NumberedError& e) {
      error = e;
    }
  }
  // The file being rewritten leaves its work file behind, with what was
  // written, once the files before it have taken the name in turn.
  if (current_failed && run.work.is_open()) {
    try {
      leave_work_file(run.work, run.input);
    } catch (const NumberedError&) {
      // Already halting; the number shown is the first failure.
    }
  }
  if (run.replaced > 0) {
    try {
      sync_directory(run.folder);
    } catch (const NumberedError&) {
      // Already halting; the number shown is the first failure.
    }
  }
  print_outcome(run, failed, "Unknown error! - Program Halt." + number_text(error.number()));
  std::string cause(error.cause());
  if (failed >= run.names.size()) {
    print_line("  After the last file: " + cause + ".");
    return;
  }
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
    auto [index, word] = run.left_alone[i];
    print_line("  " + run.names[index] + " (" + std::string(word) + ")");
  }
  if (count > kMostNamesListed) {
    print_line("  and " + std::to_string(count - kMostNamesListed) + " more");
  }
}

int rewrite_listed_files(const FileList& files, const RunValues& values) {
  Run run(files, values);
  run.group_limit = group_limit(raise_open_file_limit());
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
    if (!skip_past_end(run, error)) {
      halt(run, error);
      return kExitHalted;
    }
  }
  new_line();
  // Ctrl+C: the files rewritten before it are in place and on disk, and
  // every other file is as it was.
  if (run.next < run.names.size()) {
    print_line("Stopped by Ctrl+C ------" + format_count(run.replaced) + " files modified.");
    list_files_left_alone(run);
    return kExitHalted;
  }
  print_line("Finished ------" + format_count(run.replaced) + " files modified.");
  list_files_left_alone(run);
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
