// Documented for users in docs/output-files.md (the result block).
// The result block of a case: the figures a user looks for first, printed
// on the console at the end of a run and appended to Summary.dat, from where
// `vorn report CASE_DIR` prints it again.
//
// Powers in the result files are for the whole modelled cable: NB bands of
// TPStr/NS each, or one such band for an infinitely long cable.  The block
// gives them per cable and per metre.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "control/messages.hpp"
#include "output/headline.hpp"
#include "output/output.hpp"
#include "support/fmtwrite.hpp"
#include "support/outfile.hpp"

namespace vorn {

namespace {

// Any strand section carrying at least its critical current (the
// saturation flags of the step).
bool any_saturated(const Model& m) {
    const IArr2& f = m.NrSATs;
    for (std::size_t i = 0; i < f.size(); ++i)
        if (f.data()[i] != 0) return true;
    return false;
}

// One number in the edit descriptor `spec` ("(F16.7)"), without the blanks
// that lead it.
std::string num(std::string_view spec, double v) {
    std::string s = format_records(spec, {v});
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s.substr(std::min(s.size(), s.find_first_not_of(' ')));
}

std::string at_time(double t) { return num("(F16.7)", t) + " s"; }

std::string loss_line(const char* what, double watt, double length, double t) {
    return std::string(what) + ": " + num("(ES11.4)", watt / length) + " W/m, " +
           num("(ES11.4)", watt) + " W, at t = " + at_time(t);
}

std::vector<std::string> quench_lines(const RunHeadline& h) {
    std::vector<std::string> out;
    if (h.t_saturated < 0 && h.t_voltstop < 0) {
        out.push_back("Quench: none (no section reached its critical current)");
        return out;
    }
    if (h.t_saturated >= 0)
        out.push_back("Quench: first section at its critical current at t = " + at_time(h.t_saturated));
    if (h.t_voltstop >= 0)
        out.push_back("Quench: resistive voltage above VoltStop at t = " + at_time(h.t_voltstop));
    return out;
}

std::vector<std::string> search_lines(const Model& m) {
    std::vector<std::string> out;
    for (const QeResult& q : m.Head.qe) {
        const std::string what = "Quench " + std::string(q.energy ? "energy" : "current") +
                                 ", run " + std::to_string(q.run);
        const std::string unit = q.energy ? " uJ" : " A";
        out.push_back(what + ": " + num("(F16.3)", (q.lo + q.hi) / 2) + unit + " (between " +
                      num("(F16.3)", q.lo) + " and " + num("(F16.3)", q.hi) + unit + ")");
    }
    return out;
}

}  // namespace

void headline_reset(Model& m) { m.Head.it = RunHeadline{}; }

void headline_track(Model& m) {
    RunHeadline& h = m.Head.it;
    const double P = sum_all(m.Pa) + sum_all(m.Pc);  // W
    const bool first = h.steps == 0;
    ++h.steps;
    h.P_last = P;
    h.t_last = m.Time;
    if (first || P > h.P_max) {
        h.P_max = P;
        h.t_P_max = m.Time;
    }
    if (first || m.Ts_max > h.Ts_max) {
        h.Ts_max = m.Ts_max;
        h.t_Ts_max = m.Time;
    }
    if (h.t_saturated < 0 && any_saturated(m)) h.t_saturated = m.Time;
    if (h.t_voltstop < 0 && m.VoltStopFlag == 1) h.t_voltstop = m.Time;
    h.C_max = std::max({h.C_max, max_abs(m.Ca), max_abs(m.Cc)});
}

void headline_search_result(Model& m, bool energy, double lo, double hi) {
    m.Head.qe.push_back(QeResult{m.Run, energy, lo, hi});
}

double modelled_length(const Model& m) {
    // One band of an infinitely long cable stands for TPStr/NS of it.
    return m.TPStr / m.NS * (m.Opt_Cable == 1 ? 1 : m.NB);
}

std::vector<std::string> headline_lines(const Model& m) {
    const RunHeadline& h = m.Head.it;
    const double L = modelled_length(m);
    std::vector<std::string> out;
    out.push_back(kHeadlineTitle);
    out.push_back("Modelled cable length: " + num("(F16.5)", L) +
                      (m.Opt_Cable == 1 ? " m (one band of an infinitely long cable)" : " m"));
    if (h.steps == 0) {
        out.push_back("Time steps: none written");
    } else {
        out.push_back(loss_line("Coupling loss (contacts), last", h.P_last, L, h.t_last));
        out.push_back(loss_line("Coupling loss (contacts), largest", h.P_max, L, h.t_P_max));
        out.push_back("Highest strand temperature: " + num("(F16.4)", h.Ts_max) + " K at t = " +
                      at_time(h.t_Ts_max));
        for (std::string& s : quench_lines(h)) out.push_back(std::move(s));
    }
    for (std::string& s : search_lines(m)) out.push_back(std::move(s));
    return out;
}

void report_headline(Model& m) {
    const std::vector<std::string> lines = headline_lines(m);
    for (const std::string& s : lines) console(m, s);
    const RunHeadline& h = m.Head.it;
    if (h.C_max > 0 && m.CsAcc > 0.1 * h.C_max)
        warn(m, "Warning: CsAcc = " + num("(ES10.3)", m.CsAcc) +
                    " A is more than a tenth of the largest coupling current of the run (" +
                    num("(ES10.3)", h.C_max) + " A); see docs/choosing-the-model.md");
    OutFile f;
    const std::string path = m.output_dir + "Summary.dat";
    if (!f.open(path, OpenMode::Append)) {
        msg(m, "Cannot write " + path);
        return;
    }
    f.line("");
    for (const std::string& s : lines) f.line(s);
    f.close();
}

int print_case_report(const std::string& case_dir, std::ostream& out, std::ostream& err) {
    std::string dir = case_dir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const std::string path = dir + "output/Summary.dat";
    std::ifstream in(path);
    if (!in) {
        err << "vorn report: cannot read " << path << " (has the case been run?)\n";
        return 1;
    }
    std::vector<std::string> block;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line == kHeadlineTitle) {
            block.clear();  // the last block stands
            inside = true;
        }
        if (inside) block.push_back(line);
    }
    if (block.empty()) {
        err << "vorn report: " << path
            << " holds no result block (the run did not end, or an earlier version wrote it)\n";
        return 1;
    }
    for (const std::string& s : block) out << s << '\n';
    out << std::flush;
    return 0;
}

}  // namespace vorn
