#include "control/messages.hpp"

#include <ostream>
#include <span>
#include <string>

#include "support/stop.hpp"

namespace vorn {

void msg(Model& m, std::string_view text) {
    if (!m.msg_unit.is_open()) return;
    m.msg_unit.line(text);
    m.msg_unit.flush();
}

void msg_fmt(Model& m, std::string_view spec, std::initializer_list<FItem> items) {
    if (!m.msg_unit.is_open()) return;
    m.msg_unit.fmt(spec, std::span<const FItem>(items.begin(), items.size()));
    m.msg_unit.flush();
}

void console(Model& m, std::string_view text) { *m.con_out << text << '\n' << std::flush; }

void stop_with_message(Model& m, std::string_view text) {
    msg(m, text);
    *m.con_err << text << '\n' << std::flush;
    throw ProgramStop{};
}

void stop_on_console(Model& m, std::string_view text) {
    console(m, text);
    throw ProgramStop{};
}

}  // namespace vorn
