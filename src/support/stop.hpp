// How the program ends early.
//
// ProgramStop: the message has already been written where it belongs; the
// top level only turns it into the exit status.
// FatalError: the top level writes the message to the messages file (when it
// is open) and to the console, then exits with a non-zero status.
//
// Both unwind to the driver's entry point, so every stop leaves the process
// through one place with a non-zero exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace vorn {

inline constexpr int kStopStatus = 1;

struct ProgramStop {
    int status = kStopStatus;
};

class FatalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vorn
