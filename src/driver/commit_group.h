// The commit group: files rewritten into their work files wait here, both
// files open and locked, until the group is full; then all are made durable
// together and put in place one by one, in listing order. A group is
// bounded in files, bytes and descriptors, and in time: on a slow or loaded
// machine no rewritten file waits long for its commit, so a run cut short
// has done what it could.
//
// The group knows nothing of the screen or of the run's counts: it tells
// its owner of each file it is done with, and an error it raises says
// which listed file it belongs to.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "lineio/directory.h"
#include "lineio/errors.h"
#include "lineio/file_descriptor.h"
#include "lineio/line_file.h"

namespace rodozerez {

// Hears of each staged file the group is done with, by its index in the
// file list: kReplaced, or kChangedElsewhere when another program changed
// its input meanwhile (then left as it was, its work file gone).
using PlacedFile = std::function<void(std::size_t index, Replacement outcome)>;

class CommitGroup {
 public:
  // A group for the files of `folder`, sized for `open_file_limit`
  // descriptors (two a staged file), whose first file waits at most
  // `longest_wait` for the commit.
  CommitGroup(const Folder& folder, std::size_t open_file_limit, PlacedFile placed,
              std::chrono::milliseconds longest_wait = std::chrono::milliseconds(50));

  bool empty() const { return staged_.empty(); }

  // A fresh work file for the next file: the first of a group takes the
  // work file's name; the files behind it wait in unnamed work files. Where
  // the file system makes none, the group is committed first and each file
  // goes on its own. A group's watch for write errors is opened before its
  // first file is written.
  WorkFile new_work_file();

  // Takes listed file `index`, rewritten and staged; commits the group
  // once it is full (files, bytes or time).
  void add(std::size_t index, InputFile input, WorkFile work);

  // Commits every staged file: makes them durable (several at once with
  // their file system where that is cheap; otherwise each fsynced in
  // turn), then puts them in place in listing order.
  void commit();

  // The halt path, on `error`, which belongs to a staged file or else to
  // listed file `current`: every staged file listed before that one goes in
  // place, and it and every later one are left as they were. A failure on
  // the way belongs to an earlier file and takes over. Returns the error
  // that halts the run, saying which file it belongs to.
  NumberedError halt(NumberedError error, std::size_t current);

 private:
  // A file rewritten into its work file, waiting for the group's commit.
  struct StagedFile {
    std::size_t index;  // in the file list
    InputFile input;
    WorkFile work;
  };

  void commit_first(std::size_t count);
  void clear();

  Folder folder_;
  std::size_t most_files_;
  std::chrono::milliseconds longest_wait_;
  PlacedFile placed_file_;
  std::vector<StagedFile> staged_;  // in listing order
  FileDescriptor write_errors_;     // opened before the group's first write
  std::size_t bytes_ = 0;
  std::size_t durable_ = 0;                      // staged files on disk, from the first on
  std::size_t placed_ = 0;                       // staged files done with, from the first on
  bool unnamed_work_files_ = true;               // this file system makes them
  std::chrono::steady_clock::time_point since_;  // when its first file was staged
};

}  // namespace rodozerez
