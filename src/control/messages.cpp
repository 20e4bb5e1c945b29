#include "control/messages.hpp"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "control/control.hpp"
#include "support/fmtwrite.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// Writes one or more records (separated by '\n', without the last line end)
// to the messages file and remembers the last of them.
void write_records(Model& m, std::string_view text) {
    if (!m.msg_unit.is_open()) return;
    m.msg_unit.line(text);
    m.msg_unit.flush();
    const auto nl = text.rfind('\n');
    m.msg_last_line = std::string(nl == std::string_view::npos ? text : text.substr(nl + 1));
}

// Where the present period is, for the line that counts the suppressed
// messages.
std::string period_name(const Model& m) {
    if (m.Run <= 0) return "during the set-up";
    return "in time step " + std::to_string(m.NTS) + " of run " + std::to_string(m.Run);
}

// Counts one message of the kind; the entry when it is to be written,
// nullptr when it is suppressed.
MessageRepeat* admit(Model& m, std::string kind) {
    MessageRepeat& r = m.msg_repeats[std::move(kind)];
    if (r.written < kMaxRepeats) {
        ++r.written;
        return &r;
    }
    if (r.suppressed++ == 0) {
        r.order = m.msg_suppressed_kinds++;
        r.where = period_name(m);
    }
    return nullptr;
}

void capped(Model& m, std::string kind, std::string_view text) {
    if (!m.msg_unit.is_open()) return;
    MessageRepeat* r = admit(m, std::move(kind));
    if (!r) return;
    if (r->written == 1) r->first = std::string(text);
    write_records(m, text);
}

}  // namespace

void msg(Model& m, std::string_view text) {
    capped(m, std::string(text), text);
}

void msg_kind(Model& m, std::string_view kind, std::string_view text) {
    // A separator no message contains keeps these kinds apart from texts.
    capped(m, std::string("\x1f") + std::string(kind), text);
}

void msg_fmt(Model& m, std::string_view spec, std::initializer_list<FItem> items) {
    if (!m.msg_unit.is_open()) return;
    // The kind: the format and the first text item (the message's words).
    std::string kind = "\x1e" + std::string(spec);
    for (const FItem& it : items)
        if (it.kind == FItem::Kind::Text) {
            kind += '\x1f';
            kind += it.s;
            break;
        }
    MessageRepeat* r = admit(m, std::move(kind));
    if (!r) return;  // suppressed: not even formatted
    std::string text = format_records(spec, std::span<const FItem>(items.begin(), items.size()));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (r->written == 1) r->first = text;
    write_records(m, text);
}

void console(Model& m, std::string_view text) {
    progress_line_clear(m);
    *m.con_out << text << '\n' << std::flush;
}

void warn(Model& m, const std::string& text) {
    console(m, text);
    if (m.msg_unit.is_open())
        msg(m, text);
    else
        m.msg_kept.push_back(text);
}

void write_kept_warnings(Model& m) {
    if (!m.msg_unit.is_open()) return;
    for (const std::string& w : m.msg_kept) msg(m, w);
    m.msg_kept.clear();
}

void new_message_period(Model& m) {
    std::vector<const MessageRepeat*> cut;
    for (const auto& [kind, r] : m.msg_repeats)
        if (r.suppressed > 0) cut.push_back(&r);
    std::sort(cut.begin(), cut.end(),
              [](const MessageRepeat* a, const MessageRepeat* b) { return a->order < b->order; });
    for (const MessageRepeat* r : cut)
        write_records(m, std::to_string(r->suppressed) + " more messages like \"" + r->first +
                             "\" suppressed " + r->where + " (at most " +
                             std::to_string(kMaxRepeats) + " of a kind are written per time step)");
    m.msg_repeats.clear();
    m.msg_suppressed_kinds = 0;
}

std::string seconds_text(double t) {
    const std::string s = edit_es(t, 12, 5);
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? s : s.substr(first);
}

std::string shown_path(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.string();
}

void report_stop_reason(Model& m, std::string_view text) {
    // The counts of suppressed messages come first: the reason stays the
    // last line of the messages file.
    // The messages file may be the file that failed (a full disk): the
    // reason still reaches the error stream.
    try {
        new_message_period(m);
        if (m.msg_last_line != text) write_records(m, text);
    } catch (const WriteError&) {
    }
    *m.con_err << text << '\n' << std::flush;
}

void stop_with_message(Model& m, std::string_view text) {
    report_stop_reason(m, text);
    throw ProgramStop{};
}

void stop_on_console(Model& m, std::string_view text) {
    report_stop_reason(m, text);
    throw ProgramStop{};
}

void report_end_of_run(Model& m, std::ostream& os) {
    if (!m.msg_unit.is_open()) return;
    if (m.InputRejected == 1) {  // said by the validation: nothing computed
        os << "Last line of " << shown_path(m.msg_unit.path()) << ": " << m.msg_last_line << '\n'
           << std::flush;
        return;
    }
    std::string where = "Results are in " + shown_path(m.output_dir);
    const auto& runs = m.run_dirs_used;
    if (runs.size() == 1) {
        where += " and " + shown_path(runs.front());
    } else if (runs.size() > 1) {
        const std::string last =
            std::filesystem::path(runs.back()).parent_path().filename().string();
        where += " and " + shown_path(runs.front()) + " to " + last + "/";
    }
    os << where << '\n'
       << "Last line of " << shown_path(m.msg_unit.path()) << ": " << m.msg_last_line << '\n'
       << std::flush;
}

}  // namespace vorn
