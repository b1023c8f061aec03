// The program driver: the information screen, or one interactive batch.
#pragma once

namespace rodozerez {

// Exit statuses, higher is worse.
inline constexpr int kExitDone = 0;     // every listed file rewritten, or nothing to do
inline constexpr int kExitSkipped = 1;  // finished, but a file ended too early
inline constexpr int kExitHalted = 2;   // the run halted on an error, or no terminal

// Runs the program with its command line; returns the exit status.
int run_program(int argc, char** argv);

}  // namespace rodozerez
