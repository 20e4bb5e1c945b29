// Messages to the messages file and the console, and the stops.
#pragma once

#include <initializer_list>
#include <string_view>

#include "control/model.hpp"
#include "support/fmtwrite.hpp"

namespace vorn {

// One line to "VORN_messages.dat" (written through at once, so that the file
// is complete whatever happens next).  Nothing is written before the file is
// open.
void msg(Model& m, std::string_view text);
// One formatted WRITE to the messages file.
void msg_fmt(Model& m, std::string_view spec, std::initializer_list<FItem> items);
// One line to the console.
void console(Model& m, std::string_view text);

// Writes the message to the messages file, echoes it to the error stream so
// that a console user sees why the program ended, and stops the program with
// a non-zero exit status.
[[noreturn]] void stop_with_message(Model& m, std::string_view text);
// The same for the stops whose message belongs on the console.
[[noreturn]] void stop_on_console(Model& m, std::string_view text);

}  // namespace vorn
