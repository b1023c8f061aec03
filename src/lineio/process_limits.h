// Process-wide settings the run makes before its first file: as many
// open files as it may have, and a file-size limit that fails a write
// instead of killing the process.
#pragma once

#include <cstddef>

namespace rodozerez {

// Raises the soft limit on open files to the hard limit; returns the
// limit now in force.
std::size_t raise_open_file_limit();

// Makes a file-size limit arrive as a failed write (61), not as a kill.
void ignore_size_limit_signal();

}  // namespace rodozerez
