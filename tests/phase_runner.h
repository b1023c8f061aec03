// Test support for the rewriter: runs a phase, or the whole pass, over a
// small document held in a real input file, and returns what reached the
// work file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "rewriter/phases.h"
#include "scratch.h"

namespace rodozerez::testing {

struct PhaseResult {
  std::vector<std::string> lines;  // the work file split at CR LF
  std::string bytes;               // the work file as it stands
  int error = 0;                   // the error number thrown, 0 for none
};

inline constexpr const char* kTestYear = "2026";
inline constexpr const char* kTestDate = "20261208";

// Runs `phase` with `input` as the rest of the input file and `current` as
// the current line it starts from.
PhaseResult run_phase(const std::string& input, const std::function<void(Pass&)>& phase,
                      const std::string& current = "", bool stylesheet = true,
                      const std::string& year = kTestYear, const std::string& date = kTestDate);

// Runs the whole pass over `input`.
PhaseResult run_pass(const std::string& input, bool stylesheet = true);

// What the tool writes for `input` today: the pass with today's date.
PhaseResult run_pass_today(const std::string& input, bool stylesheet = true);

}  // namespace rodozerez::testing
