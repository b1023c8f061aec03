// The replace of an input by its work file, in three steps that a commit
// group takes for many files at once: the end of staging, durability, and
// the put in place; and the work file left behind when it is not to
// replace its input.
#pragma once

#include <string>

#include "lineio/file_descriptor.h"
#include "lineio/line_file.h"

namespace rodozerez {

// What became of the input when its work file was to replace it.
enum class Replacement {
  kStaged,            // (finish_work_file) ready to take its place once durable
  kReplaced,          // the work file took its place
  kNotWellFormed,     // the rewritten text would break a well-formed document
  kChangedElsewhere,  // another program changed or replaced the input meanwhile
};

// Ends the staging of a work file: flushes it, starts its writeback, gives
// it the input's owner, group, permission bits, access ACL and extended
// attributes (before it is made durable, so that a crash never puts it in
// place without them), and frees the buffers of both files. The guard: a
// rewritten text that is not well-formed XML never replaces an input that
// is (the input is parsed only then): kNotWellFormed, and the file is to
// be left alone. A read-only input (also for root) is 70.
Replacement finish_work_file(WorkFile& work, InputFile& input);

// Waits until the work file's data is on disk.
void make_durable(WorkFile& work);

// A descriptor on `folder`, opened before a commit group's first write,
// through which `sync_file_system` hears of every write error the file
// system meets from then on: the kernel samples a file system's error
// state when a descriptor is opened, and syncfs reports only the errors
// since. (Through a work file opened later, an error that another
// program's sync had already collected would pass unseen.)
FileDescriptor watch_for_write_errors(const Folder& folder);

// Makes everything written to the file system that `watch` is on durable
// at once (syncfs): one journal commit and one cache flush for a whole
// commit group, where an fsync per file costs a flush each. Done only
// while little else on the machine waits to be written back, so that
// another program's large writes never stall the run, and only on kernels
// whose syncfs reports write errors (Linux 5.8 on); returns false when it
// was not done or failed, and the caller then fsyncs file by file, which
// also tells which file an error belongs to.
bool sync_file_system(const FileDescriptor& watch);

// Puts a durable work file in the input's place in one atomic step: gives
// an unnamed one the work file's name and renames it over the input, still
// open and locked, so that no other run can take it over in between. An input that another program
// has changed or replaced since it was opened is left as it is (kChangedElsewhere), both files
// still open. Any failure leaves the input as it was; both files are closed on success.
Replacement put_in_place(WorkFile& work, InputFile& input);

// A work file that is not to replace its input stays behind under the
// work file's name, holding what was written, for the operator to look
// at, the operator's and private (0600) again; both files are then closed.
// (A work file already there is taken over as `open_for_writing` would.)
void leave_work_file(WorkFile& work, InputFile& input);

}  // namespace rodozerez
