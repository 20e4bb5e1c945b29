// Messages to the messages file and the console, and the stops.
//
// Flood cap: within one message period (one time step; the set-up before the
// first step is one period too) at most kMaxRepeats messages of one kind are
// written to "VORN_messages.dat".  The rest are counted, and when the period
// ends one line says how many of that kind were suppressed.  The kind of a
// plain message is its text; the kind of a formatted message is its format
// and its first text item, so that "LEFT: Element i,c in array (A) ..." is
// one kind whatever i and c are.
#pragma once

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "control/model.hpp"
#include "support/fmtwrite.hpp"

namespace vorn {

// Messages of one kind written per period before the rest are suppressed.
inline constexpr int kMaxRepeats = 100;

// One line to "VORN_messages.dat" (written through at once, so that the file
// is complete whatever happens next).  Nothing is written before the file is
// open.
void msg(Model& m, std::string_view text);
// The same for a message whose kind (for the flood cap) is given apart from
// its text, e.g. the text without its numbers.
void msg_kind(Model& m, std::string_view kind, std::string_view text);
// One formatted WRITE to the messages file.
void msg_fmt(Model& m, std::string_view spec, std::initializer_list<FItem> items);
// One line to the console.
void console(Model& m, std::string_view text);
// A warning: to the console at once and to the messages file (when it is
// open; otherwise it is kept and written once the file is open).
void warn(Model& m, const std::string& text);
// Writes the warnings kept while the messages file was not open.
void write_kept_warnings(Model& m);

// Ends the present message period: one line per kind of message that was
// suppressed, then counting starts anew.  Called at the start of every time
// step and before the last line of the program.
void new_message_period(Model& m);

// A path as the program tried it, made absolute (relative paths are taken
// from the working directory), for messages.
std::string shown_path(const std::string& path);
// A time in seconds for a message, e.g. "1.23450E-04".
std::string seconds_text(double t);

// Writes the message to the messages file (unless it is its last line
// already), echoes it to the error stream so that a console user sees why
// the program ended, and stops the program with a non-zero exit status.
[[noreturn]] void stop_with_message(Model& m, std::string_view text);
// The same for the stops whose message the dialogue's console must show;
// the console of a stop is the error stream.
[[noreturn]] void stop_on_console(Model& m, std::string_view text);
// The reason of a stop, to the messages file (when open) and the error
// stream, without stopping (the caller unwinds).
void report_stop_reason(Model& m, std::string_view text);

// The console lines at the end of a run: where the results are and the last
// line of the messages file.  Nothing when the messages file was never opened
// (the reason of the stop has been written to the error stream then).
void report_end_of_run(Model& m, std::ostream& os);

}  // namespace vorn
