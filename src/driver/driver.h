// The program driver: the information screen, or one interactive batch.
#pragma once

namespace rodozerez {

// Exit statuses, higher is worse.
// Every listed file rewritten or already complete, or nothing to do.
inline constexpr int kExitDone = 0;
// Finished, but a file was left as it was: it ended early, its rewrite
// would not be well-formed, or another program changed it meanwhile.
inline constexpr int kExitSkipped = 1;
// The run halted on an error, Ctrl+C stopped it, or there is no terminal.
inline constexpr int kExitHalted = 2;

// Runs the program with its command line; returns the exit status.
int run_program(int argc, char** argv);

}  // namespace rodozerez
