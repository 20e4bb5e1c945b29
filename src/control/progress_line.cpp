// The one-line progress indicator: on a terminal, the error stream shows the
// simulated time, the fraction of the schedule done and an estimate of the
// time left, redrawn in place at most once a second.  Nothing of it reaches
// a pipe or a file (the result files and the console log stay as they are).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <algorithm>
#include <string>

#include "control/control.hpp"
#include "support/fmtwrite.hpp"

namespace vorn {

namespace {

double wall_now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool enabled(Model& m) {
    if (m.Prog.enabled < 0)
        m.Prog.enabled = (m.con_err == &std::cerr && isatty(STDERR_FILENO) == 1) ? 1 : 0;
    return m.Prog.enabled == 1;
}

// "1 h 05 min", "3 min 20 s", "45 s".
std::string duration_text(double s) {
    const long t = long(s + 0.5);
    if (t >= 3600) return format_records("(I0,A,I2.2,A)", {t / 3600, " h ", (t % 3600) / 60, " min"});
    if (t >= 60) return format_records("(I0,A,I2.2,A)", {t / 60, " min ", t % 60, " s"});
    return format_records("(I0,A)", {t, " s"});
}

std::string chomp(std::string s) {
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

}  // namespace

void progress_line_start(Model& m) {
    m.Prog.wall_start = wall_now();
    m.Prog.wall_shown = -1;
}

void progress_line_step(Model& m) {
    if (!enabled(m)) return;
    const double now = wall_now();
    if (m.Prog.wall_shown >= 0 && now - m.Prog.wall_shown < 1.0) return;
    m.Prog.wall_shown = now;
    const double f = m.TimeEnd > 0 ? std::min(1.0, std::max(0.0, m.Time / m.TimeEnd)) : 1.0;
    std::string line = chomp(format_records("(A,ES10.3,A,F6.1,A)",
                                            {"t =", m.Time, " s,", 100 * f, " % of the schedule"}));
    if (m.Opt_HP == 2)
        line += chomp(format_records("(A,I0,A,I0,A,I0,A)", {" (run ", m.Run, " of ", m.NrRunT,
                                                             ", iteration ", m.Iter, ")"}));
    const double spent = now - m.Prog.wall_start;
    if (f > 0.01 && spent > 2.0) line += ", about " + chomp(duration_text(spent * (1 - f) / f)) + " left";
    std::cerr << '\r' << line << "\033[K" << std::flush;
    m.Prog.shown = true;
}

void progress_line_clear(Model& m) {
    if (!m.Prog.shown) return;
    std::cerr << "\r\033[K" << std::flush;
    m.Prog.shown = false;
}

}  // namespace vorn
