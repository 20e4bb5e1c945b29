// Documented for users in docs/input-files.md (inp_TimeSteps, inp_EP, inp_QE, output selections).
// Tables whose length is a count of the step files: the time schedule
// (rows 0..NrSteps_inp), the heat pulses (NrT_HP time points x Nr_HP
// heaters), the runs of the quench-energy search (1..NrRunT), and the
// output selections read by read_other_files.  Rows are read into
// temporaries and the arrays created afterwards, so that a count larger than
// its file ends with the reader's end-of-file error rather than with an
// attempt to create a huge array; a negative count gives an empty table.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "control/messages.hpp"
#include "input/input.hpp"
#include "input/read_files.hpp"
#include "support/listread.hpp"

namespace vorn {

namespace input_files {

namespace {

// --- time schedule ----------------------------------------------------------------

// One row of inp_TimeSteps.txt: T/s, T, A/s, A, s.
struct StepRow {
    double dur = 0, dba1dt = 0, ba1_fin = 0, dba2dt = 0, ba2_fin = 0, didt = 0, cpc_fin = 0, dt = 0;
};

StepRow read_step_row(ListReader& r, int i) {
    StepRow x;
    int index = 0;
    double unused = 0;
    r.read({{"index", &index},
            {indexed("dur_inp", i), &x.dur},
            {"not used", &unused},
            {indexed("dba1dt_inp", i), &x.dba1dt},
            {indexed("ba1_fin", i), &x.ba1_fin},
            {indexed("dba2dt_inp", i), &x.dba2dt},
            {indexed("ba2_fin", i), &x.ba2_fin},
            {indexed("didt_inp", i), &x.didt},
            {indexed("cpc_fin", i), &x.cpc_fin},
            {indexed("dt_inp", i), &x.dt}});
    return x;
}

// Times from the durations; the end values of rows 1..last from the start
// value and rate x duration (only row 0's end values are taken from the
// file); each row starts where the previous one ended.
void complete_schedule(Model& m, int last) {
    m.t_inp(0) = 0.0;
    for (int i = 1; i <= last; ++i) {
        m.t_inp(i) = m.t_inp(i - 1) + m.dur_inp(i);
        m.ba1_fin(i) = m.ba1_fin(i - 1) + m.dur_inp(i) * m.dba1dt_inp(i);
        m.ba2_fin(i) = m.ba2_fin(i - 1) + m.dur_inp(i) * m.dba2dt_inp(i);
        m.cpc_fin(i) = m.cpc_fin(i - 1) + m.dur_inp(i) * m.didt_inp(i);
    }
    m.ba1_ini(0) = m.ba1_fin(0);
    m.ba2_ini(0) = m.ba2_fin(0);
    m.cpc_ini(0) = m.cpc_fin(0);
    for (int i = 1; i <= last; ++i) {
        m.ba1_ini(i) = m.ba1_fin(i - 1);
        m.ba2_ini(i) = m.ba2_fin(i - 1);
        m.cpc_ini(i) = m.cpc_fin(i - 1);
    }
    m.TimeEnd = m.t_inp(last);
}

// --- heat pulses -------------------------------------------------------------------

// An upper bound of the number of values the file can give: every value
// takes at least one character, except the copies of a repeat "r*c".
long long value_capacity(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    long long n = static_cast<long long>(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t j = i;
        long long r = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
            r = std::min(r * 10 + (text[j] - '0'), 1'000'000'000LL);
            ++j;
        }
        if (j > i && j < text.size() && text[j] == '*') n += r;
        i = j > i ? j : i + 1;
    }
    return n;
}

// One row of inp_EP.txt: a leading value, then one value per heater.  A
// heater count beyond what the file can hold builds a read of only one value
// more than the file holds, which fails at the end of the file with the same
// message as the full read would.
std::vector<double> read_heater_row(ListReader& r, long long capacity, const std::string& lead_name,
                                    double& lead, int heaters, const std::string& name, int row) {
    const int n = static_cast<int>(std::min<long long>(std::max(heaters, 0), capacity));
    std::vector<double> vals(static_cast<std::size_t>(n) + 1, 0.0);
    std::vector<RItem> items;
    items.reserve(vals.size() + 1);
    items.emplace_back(lead_name, &lead);
    const int listed = n < heaters ? n + 1 : n;
    for (int i = 1; i <= listed; ++i)
        items.emplace_back(row > 0 ? indexed(name, row, i) : indexed(name, i), &vals[i - 1]);
    r.read(items);
    if (listed > n)
        throw ReadError("Error reading file " + r.name() + ": too few values for " +
                        indexed(name, listed));
    vals.resize(static_cast<std::size_t>(n));
    return vals;
}

// Band or section of a heater, given as a real: truncated toward zero.
int heater_index(Model& m, const std::string& path, const char* what, int heater, double v) {
    std::string bad;
    if (std::isnan(v)) {
        bad = "NaN";
    } else if (std::isinf(v)) {
        bad = v > 0 ? "Infinity" : "-Infinity";
    } else if (std::trunc(v) < double(INT_MIN) || std::trunc(v) > double(INT_MAX)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%g", v);
        bad = std::string(buf) + ", too large for an integer";
    }
    if (!bad.empty())
        stop_with_message(m, "Error in file " + path + ": " + what + " of heater " +
                                 std::to_string(heater) + " is " + bad);
    return static_cast<int>(v);
}

void allocate_heater_arrays(Model& m, int heaters, int times) {
    m.NB_HP.allocate(1, heaters, 0);
    m.Ns_HP.allocate(1, heaters, 0);
    m.NW_HP.allocate(1, heaters, 0);
    m.t_hp_inp.allocate(1, times, 0.0);
    m.P_HP_inp.allocate(1, times, 1, heaters, 0.0);
    m.P_HP.allocate(1, times, 1, heaters, 0.0);
}

// --- quench-energy runs -------------------------------------------------------------

struct QERow {
    int hp_or_tc = 0, ny_bi = 0, qe_reg = 0;
    double e_hp = 0, tc_qe = 0, b_qe = 0, qe_f = 0, qe_acc = 0;
};

QERow read_qe_row(ListReader& r, int k) {
    QERow q;
    double unused = 0;
    r.read({{indexed("hp_or_tc", k), &q.hp_or_tc},
            {indexed("e_hp", k, 1), &q.e_hp},
            {indexed("tc_qe", k, 1), &q.tc_qe},
            {indexed("b_qe", k), &q.b_qe},
            {indexed("ny_bi", k), &q.ny_bi},
            {indexed("qe_reg", k), &q.qe_reg},
            {indexed("qe_f", k), &q.qe_f},
            {indexed("qe_acc", k), &q.qe_acc},
            {"not used", &unused}});
    return q;
}

}  // namespace

void read_time_steps(Model& m) {
    CaseFile f(m, input_path(m, "inp_TimeSteps.txt"));
    ListReader& r = f.r;
    std::vector<StepRow> rows;
    for (int i = 0; i <= m.NrSteps_inp; ++i) rows.push_back(read_step_row(r, i));

    const int last = std::max(m.NrSteps_inp, 0);
    for (RArr1* a : {&m.t_inp, &m.dt_inp, &m.dur_inp, &m.cpc_ini, &m.cpc_fin, &m.ba1_ini,
                     &m.ba1_fin, &m.ba2_ini, &m.ba2_fin, &m.dba1dt_inp, &m.dba2dt_inp, &m.didt_inp})
        a->allocate(0, last, 0.0);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const StepRow& x = rows[static_cast<std::size_t>(i)];
        m.dur_inp(i) = x.dur;
        m.dba1dt_inp(i) = x.dba1dt;
        m.ba1_fin(i) = x.ba1_fin;
        m.dba2dt_inp(i) = x.dba2dt;
        m.ba2_fin(i) = x.ba2_fin;
        m.didt_inp(i) = x.didt;
        m.cpc_fin(i) = x.cpc_fin;
        m.dt_inp(i) = x.dt;
    }
    complete_schedule(m, last);
    debug_line(m, "Read parameters STEP 12 (inp_TimeSteps) finished");
}

// Three parts: a row with the band of every heater, a row with its section
// (both as reals), then NrT_HP rows of time (ms) and one value per heater;
// times ms -> s, values / 1000.  Without heat pulses the tables are empty.
void read_heat_pulses(Model& m) {
    if (m.Opt_HP <= 0) {
        allocate_heater_arrays(m, 0, 0);
        return;
    }
    const std::string path = input_path(m, "inp_EP.txt");
    CaseFile f(m, path);
    ListReader& r = f.r;
    const long long capacity = value_capacity(path);
    double unused = 0;
    const std::vector<double> bands =
        read_heater_row(r, capacity, "not used", unused, m.Nr_HP, "NB_HP", 0);
    const std::vector<double> sections =
        read_heater_row(r, capacity, "not used", unused, m.Nr_HP, "Ns_HP", 0);
    std::vector<double> times;
    std::vector<std::vector<double>> powers;
    for (int k = 1; k <= m.NrT_HP; ++k) {
        double t = 0;
        powers.push_back(
            read_heater_row(r, capacity, indexed("t_hp_inp", k), t, m.Nr_HP, "P_HP_inp", k));
        times.push_back(t);
    }

    const int heaters = static_cast<int>(bands.size());
    const int nt = static_cast<int>(times.size());
    allocate_heater_arrays(m, heaters, nt);
    for (int i = 1; i <= heaters; ++i) {
        m.NB_HP(i) = heater_index(m, path, "band", i, bands[i - 1]);
        m.Ns_HP(i) = heater_index(m, path, "section", i, sections[i - 1]);
    }
    for (int k = 1; k <= nt; ++k) {
        m.t_hp_inp(k) = times[k - 1] / 1000.0;
        for (int i = 1; i <= heaters; ++i) m.P_HP_inp(k, i) = powers[k - 1][i - 1] / 1000.0;
    }
    debug_line(m, "Read parameters STEP 12 (inp_EP) finished");
}

// Quench-energy arrays of runs 1..NrRunT, trials 1..NrItQE_M, zero unless
// inp_QE.txt gives the first trial of a run (Opt_HP = 2).
void read_qe_runs(Model& m) {
    std::vector<QERow> rows;
    if (m.Opt_HP == 2) {
        CaseFile f(m, input_path(m, "inp_QE.txt"));
        ListReader& r = f.r;
        for (int k = 1; k <= m.NrRunT; ++k) rows.push_back(read_qe_row(r, k));
    }
    // With Opt_HP = 2 the rows read give the size; an invalid Opt_HP above 2
    // keeps NrRunT as read, so its (unused) arrays are bounded by the largest
    // valid number of runs.
    int runs = std::max(m.NrRunT, 0);
    if (m.Opt_HP > 2) runs = std::min(runs, 26);
    for (IArr1* a : {&m.hp_or_tc, &m.ny_bi, &m.qe_reg}) a->allocate(1, runs, 0);
    for (RArr1* a : {&m.b_qe, &m.qe_f, &m.qe_acc}) a->allocate(1, runs, 0.0);
    m.e_hp.allocate(1, runs, 1, NrItQE_M, 0.0);
    m.tc_qe.allocate(1, runs, 1, NrItQE_M, 0.0);
    for (int k = 1; k <= static_cast<int>(rows.size()); ++k) {
        const QERow& q = rows[static_cast<std::size_t>(k - 1)];
        m.hp_or_tc(k) = q.hp_or_tc;
        m.e_hp(k, 1) = q.e_hp / 1000.0;
        m.tc_qe(k, 1) = q.tc_qe;
        m.b_qe(k) = q.b_qe;
        m.ny_bi(k) = q.ny_bi;
        m.qe_reg(k) = q.qe_reg;
        m.qe_f(k) = q.qe_f;
        m.qe_acc(k) = q.qe_acc;
    }
    if (m.Opt_HP == 2) debug_line(m, "Read parameters STEP 12 (inp_QE) finished");
}

}  // namespace input_files

namespace {

using input_files::indexed;

constexpr int kTableRows = 100, kTableCols = 8;

// Nearest integer, halves away from zero; a value that is not a number or
// does not fit an int gives 0 (a code without default ranges of its own).
int nearest_int(double x) {
    if (!(std::fabs(x) < 2147483647.0)) return 0;
    return static_cast<int>(std::lround(x));
}

bool among(int code, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Default band range (columns 4, 5) and second-index range (columns 6, 7)
// of the result array with the given code.
void set_default_ranges(Model& m, int row) {
    const int NB = m.NB, NS = m.NS;
    const int c = nearest_int(m.wrarrays(row, 2));
    std::array<int, 4> r = {1, NB, 1, NS};  // per position or per wire
    if (among(c, {1, 6, 51, 56})) {
        r = {1, NB, 1, 2 * NS};  // adjacent contacts
    } else if (among(c, {2, 7, 52, 57})) {
        r = {1, NB + 1, 1, NS - 1};  // crossing contacts on NB+1 planes
    } else if (among(c, {3,   13,  23,  33,  43,  53,  63,  66,  73,  83,  93,  103, 113,
                         115, 117, 123, 133, 141, 142, 143, 146, 147, 148, 149, 191, 192})) {
        r = {1, NB, 2, 2 * NS - 1};  // per section
    } else if (among(c, {26, 36, 46})) {
        r = {0, NB, 1, NS};  // per wire, with band 0
    } else if (c == 193) {
        r = {2, NB - 1, 2, 2 * NS - 1};  // inner bands, per section
    }
    for (int j = 0; j < 4; ++j) m.wrarrays(row, 4 + j) = r[static_cast<std::size_t>(j)];
}

// A table of 100 rows x 8 reals, `count` rows read (at most 100).
void read_selection(Model& m, const char* file, const char* name, int count, RArr2& table,
                    bool default_ranges) {
    table.allocate(1, kTableRows, 1, kTableCols, 0.0);
    if (count <= 0) return;
    if (count > kTableRows)
        msg(m, std::string(file) + ": " + std::to_string(count) +
                   " rows requested, only the first " + std::to_string(kTableRows) + " are used");
    input_files::CaseFile f(m, input_files::input_path(m, file));
    ListReader& r = f.r;
    std::vector<RItem> items;
    for (int i = 1; i <= std::min(count, kTableRows); ++i) {
        items.clear();
        for (int j = 1; j <= kTableCols; ++j) items.emplace_back(indexed(name, i, j), &table(i, j));
        r.read(items);
        if (default_ranges) set_default_ranges(m, i);
    }
}

}  // namespace

void read_other_files(Model& m) {
    const std::size_t checked = m.NonFiniteInputs.size();  // listed by the validation
    read_selection(m, "inp_WrArrays.txt", "wrarrays", m.NrWrArrays, m.wrarrays, true);
    read_selection(m, "inp_Signals.txt", "signals", m.NrSignals, m.signals, false);
    int NrErr = 0;
    list_nonfinite_inputs(m, NrErr, checked);
    if (NrErr > 0) stop_for_input_errors(m, NrErr);
    input_files::debug_line(m, "Read_other_files finished");
}

}  // namespace vorn
