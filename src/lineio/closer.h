// The thread that closes replaced inputs beside the run.
#pragma once

#include "lineio/file_descriptor.h"

namespace rodozerez {

// Closes an input that a rename has replaced, beside the run: on a file
// system that trims freed blocks, that close waits for the device.
void close_replaced_input(FileDescriptor fd);

// Waits until every replaced input handed to `close_replaced_input` is
// closed, its blocks freed.
void wait_for_replaced_inputs();

}  // namespace rodozerez
