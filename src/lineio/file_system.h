// The file system a folder is on: hearing of every write error it meets,
// and making everything written to it durable at once. A commit group
// makes its files durable this way.
#pragma once

#include "lineio/directory.h"
#include "lineio/file_descriptor.h"

namespace rodozerez {

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

}  // namespace rodozerez
