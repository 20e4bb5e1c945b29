// The command line: `vorn [OPTIONS] [SUBDIR CASE]`.
#pragma once

#include <ostream>

#include "control/control_state.hpp"

namespace vorn {

// parse_command_line's result when the case is to be run.
inline constexpr int kRunCase = -1;
// parse_command_line's result for `vorn set` / `vorn get` (RunOptions::edit).
inline constexpr int kEditCase = -2;
// Exit status after a usage error (unknown option, wrong number of arguments).
inline constexpr int kUsageStatus = 2;

// Reads the arguments into `o`.  Returns kRunCase when the case is to be run;
// otherwise the exit status, the text already written: 0 after -h/--help or
// --version (to `out`), kUsageStatus after a usage error (the error and the
// usage to `err`).
int parse_command_line(int argc, const char* const* argv, RunOptions& o, std::ostream& out,
                       std::ostream& err);

// The version of the program (the CMake project version).
const char* program_version();

}  // namespace vorn
