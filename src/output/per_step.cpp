// Documented for users in docs/output-files.md (Progress.dat, Signals.dat, snapshots).
// Per-time-step result files: the snapshots of selected arrays (one file per
// array, named after the run and the time), the field along the line, and
// the appended lines of "Progress.dat" and "Signals.dat".
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/output.hpp"
#include "output/tables.hpp"

namespace vorn {

namespace {

// ---------------------------------------------------------------------------
// The array catalogue shared by the snapshots and the signals.

enum class Cond { Always, Temp, SelfField };

struct Entry {
    int code;
    RArr2 Model::*real;     // real array, or
    IArr2 Model::*integer;  // integer array
    const char* file;
    const char* title;
    Cond cond;
};

constexpr Entry R(int code, RArr2 Model::*a, const char* file, const char* title,
                  Cond cond = Cond::Always) {
    return {code, a, nullptr, file, title, cond};
}
constexpr Entry I(int code, IArr2 Model::*a, const char* file, const char* title,
                  Cond cond = Cond::Always) {
    return {code, nullptr, a, file, title, cond};
}

constexpr Cond T = Cond::Temp;
constexpr Cond SF = Cond::SelfField;

const Entry kCatalogue[] = {
    R(1, &Model::Ca, "Ca.dat", "Currents in the adjacent contacts, Ca [A]"),
    R(2, &Model::Cc, "Cc.dat", "Currents in the crossing contacts, Cc [A]"),
    R(3, &Model::Cs, "Cs.dat", "Strand currents per section, Cs [A]"),
    R(4, &Model::Cp, "Cp.dat", "Strand currents per position, Cp [A]"),
    R(5, &Model::Cw, "Cw.dat", "Strand currents per wire, Cw [A]"),
    R(6, &Model::CaInf, "Ca_Inf.dat", "Ca for infinitely constant dB/dt, Ca_Inf [A]"),
    R(7, &Model::CcInf, "Cc_Inf.dat", "Cc for infinitely constant dB/dt, Cc_Inf [A]"),
    R(8, &Model::CpInf, "Cp_Inf.dat", "Cp for infinitely constant dB/dt, Cp_Inf [A]"),
    R(13, &Model::Rho_s, "RHOs.dat", "Resistivities per section, Rho_s [10-14 Ohm m]"),
    R(14, &Model::Rho_p, "RHOp.dat", "Resistivities per position, Rho_p [10-14 Ohm m]"),
    R(15, &Model::Rho_w, "RHOw.dat", "Resistivities per wire, Rho_w [10-14 Ohm m]"),
    R(23, &Model::VRs, "VRs.dat", "Resistive voltages per section, VRs [V]"),
    R(24, &Model::VRp, "VRp.dat", "Resistive voltages per position, VRp [V]"),
    R(25, &Model::VRw, "VRw.dat", "Resistive voltages per wire, VRw [V]"),
    R(26, &Model::VRwZ, "VRwZ.dat", "Resistive voltages per wire, VRwZ [V]"),
    R(33, &Model::VIs, "VIs.dat", "Inductive voltages per section, VIs [V]"),
    R(34, &Model::VIp, "VIp.dat", "Inductive voltages per position, VIp [V]"),
    R(35, &Model::VIw, "VIw.dat", "Inductive voltages per wire, VIw [V]"),
    R(36, &Model::VIwZ, "VIwZ.dat", "Inductive voltages per wire, VIwZ [V]"),
    R(43, &Model::VTs, "VTs.dat", "Total voltages per section, VTs [V]"),
    R(44, &Model::VTp, "VTp.dat", "Total voltages per position, VTp [V]"),
    R(45, &Model::VTw, "VTw.dat", "Total voltages per wire, VTw [V]"),
    R(46, &Model::VTwZ, "VTwZ.dat", "Total voltages per wire, VTwZ [V]"),
    R(51, &Model::Pa, "Pa.dat", "Powers in the adjacent contacts, Pa [W]"),
    R(52, &Model::Pc, "Pc.dat", "Powers in the crossing contacts, Pc [W]"),
    R(53, &Model::Ps, "Ps.dat", "Strand powers per section, Ps [W]"),
    R(54, &Model::Pp, "Pp.dat", "Strand powers per position, Pp [W]"),
    R(55, &Model::Pw, "Pw.dat", "Strand powers per wire, Pw [W]"),
    R(56, &Model::PaInf, "Pa_Inf.dat", "Pa for infinitely constant dB/dt, Pa_Inf [W]"),
    R(57, &Model::PcInf, "Pc_Inf.dat", "Pc for infinitely constant dB/dt, Pc_Inf [W]"),
    R(58, &Model::PpInf, "Pp_Inf.dat", "Pp for infinitely constant dB/dt, Pp_Inf [W]"),
    R(63, &Model::PFs, "PFs.dat", "IFCP per section, PFs [W]"),
    R(64, &Model::PFp, "PFp.dat", "IFCP per position, PFp [W]"),
    R(65, &Model::PFw, "PFw.dat", "IFCP per wire, PFw [W]"),
    R(66, &Model::P_IS, "P_IS.dat", "Inter-strand powers per section, P_IS [W]"),
    R(74, &Model::ICs, "ICs.dat", "Critical currents per section, ICs [A]"),
    R(75, &Model::ICp, "ICp.dat", "Critical currents per position, ICp [A]"),
    R(76, &Model::ICw, "ICw.dat", "Critical currents per wire, ICw [A]"),
    R(83, &Model::Ts, "Ts.dat", "Strand temperatures per section, Ts [K]", T),
    R(84, &Model::Tp, "Tp.dat", "Strand temperatures per position, Tp [K]", T),
    R(85, &Model::Tw, "Tw.dat", "Strand temperatures per wire, Tw [K]", T),
    R(93, &Model::THs, "THs.dat", "Helium temperatures per section, THs [K]", T),
    R(94, &Model::THp, "THp.dat", "Helium temperatures per position, THp [K]", T),
    R(95, &Model::THw, "THw.dat", "Helium temperatures per wire, THw [K]", T),
    R(103, &Model::dTs, "Ts-THs.dat",
      "Temperature difference between strand and helium per section, Ts-THs [K]", T),
    R(104, &Model::dTp, "Tp-THp.dat",
      "Temperature difference between strand and helium per position, Tp-THp [K]", T),
    R(105, &Model::dTw, "Tw-THw.dat",
      "Temperature difference between strand and helium per wire, Tw-THw [K]", T),
    R(113, &Model::BSF_x, "BSFs_x.dat", "Self field per section in x-direction, BSFs_x [T]", SF),
    R(114, &Model::BSFp_x, "BSFp_x.dat", "Self field per position in x-direction, BSFp_x [T]", SF),
    R(115, &Model::BSF_y, "BSFs_y.dat", "Self field per section in y-direction, BSFs_y [T]", SF),
    R(116, &Model::BSFp_y, "BSFp_y.dat", "Self field per position in y-direction, BSFp_y [T]", SF),
    R(117, &Model::BSF_z, "BSFs_z.dat", "Self field per section in z-direction, BSFs_z [T]", SF),
    R(118, &Model::BSFp_z, "BSFp_z.dat", "Self field per position in z-direction, BSFp_z [T]", SF),
    R(123, &Model::BTs, "BTs.dat", "Total field per section, BTs [T]"),
    R(124, &Model::BTp, "BTp.dat", "Total field per position, BTp [T]"),
    R(133, &Model::BDOTs, "BDOTs.dat", "Field change per section, BDOTs [T]"),
    R(141, &Model::HF_adj, "HF_adj.dat", "Heat flow through the adjacent contacts, HF_adj [W]", T),
    R(142, &Model::HF_cross, "HF_cross.dat",
      "Heat flow through the crossing contacts, HF_cross [W]", T),
    R(143, &Model::HF_str, "HF_str.dat", "Heat flow through the strands, HF_str [W]", T),
    R(144, &Model::HF_str_p, "HF_str_p.dat", "Heat flow through the strands, HF_str_p [W]", T),
    R(145, &Model::HF_str_w, "HF_str_w.dat", "Heat flow through the strands, HF_str_w [W]", T),
    R(146, &Model::HF_He, "HF_He.dat", "Heat flow into the helium, HF_He [W]", T),
    R(147, &Model::HF_ins, "HF_ins.dat", "Heat flow through the insulation, HF_ins [W]", T),
    R(149, &Model::E_Trans, "E_Trans.dat", "Energy in the transient cooling regime, E_Trans [J]",
      T),
    I(191, &Model::NrSATs, "NrSATs.dat", "Number of saturated strand sections, NrSATs [-]"),
    I(192, &Model::Regime, "Regime.dat", "Regime [-]"),
    I(193, &Model::NY_T, "NY_T.dat", "NY_T [-]", T),
};

const Entry* find_entry(int code) {
    for (const Entry& e : kCatalogue)
        if (e.code == code) return &e;
    return nullptr;
}

// The entry's array exists and its condition holds for this case.
bool available(const Model& m, const Entry& e) {
    if (e.cond == Cond::Temp && m.Opt_Temp <= 0) return false;
    if (e.cond == Cond::SelfField && m.Opt_SF <= 0) return false;
    return e.real ? (m.*e.real).allocated() : (m.*e.integer).allocated();
}

// Short name and unit of an array, from its title "..., Name [unit]".
std::string_view short_name(std::string_view title) {
    std::string_view head = title.substr(0, title.rfind(" ["));
    const auto comma = head.rfind(", ");
    return comma == std::string_view::npos ? head : head.substr(comma + 2);
}

std::string unit_of(std::string_view title) {
    const auto open = title.rfind('[');
    const auto close = title.rfind(']');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return "(-)";
    return "(" + std::string(title.substr(open + 1, close - open - 1)) + ")";
}

// Nearest integer of a table value, halves away from zero; a value that is
// not a number or does not fit gives 0.
int nearest_int(double x) {
    if (!(std::fabs(x) < 2147483647.0)) return 0;
    return static_cast<int>(std::lround(x));
}

// One row of the selection tables: code, multiplier and the ranges.
struct Selection {
    int code;
    double mult;
    int b1, b2, i1, i2;
};

Selection selection(const RArr2& table, int row) {
    return {nearest_int(table(row, 2)), table(row, 3),
            nearest_int(table(row, 4)), nearest_int(table(row, 5)),
            nearest_int(table(row, 6)), nearest_int(table(row, 7))};
}

int table_rows(const RArr2& table, int count) {
    if (!table.allocated()) return 0;
    return std::min(count, table.hi1());
}

// ---------------------------------------------------------------------------
// Output criteria and whole-array reductions.

double max_all(const RArr2& a) {
    if (a.size() == 0) return 0;
    double v = a.data()[0];
    for (std::size_t k = 1; k < a.size(); ++k) v = std::max(v, a.data()[k]);
    return v;
}

double min_all(const RArr2& a) {
    if (a.size() == 0) return 0;
    double v = a.data()[0];
    for (std::size_t k = 1; k < a.size(); ++k) v = std::min(v, a.data()[k]);
    return v;
}

double min_abs(const RArr2& a) {
    if (a.size() == 0) return 0;
    double v = std::fabs(a.data()[0]);
    for (std::size_t k = 1; k < a.size(); ++k) v = std::min(v, std::fabs(a.data()[k]));
    return v;
}

// Applies the criteria of one output family and, when they hold, records
// the time, the highest strand temperature and the cable current.
bool output_due(const Model& m, OutputTrigger& trig, bool always, double dt_w, double dT_w,
                double dI_w) {
    const double tmax = max_all(m.Ts);
    const bool due = m.NTS == 0 || always || m.Time >= trig.time + dt_w ||
                     std::fabs(tmax - trig.tmax) > dT_w || std::fabs(m.CPC - trig.cpc) > dI_w;
    if (due) {
        trig.time = m.Time;
        trig.tmax = tmax;
        trig.cpc = m.CPC;
    }
    return due;
}

// ---------------------------------------------------------------------------
// Snapshots.

// The 14-character stamp that starts every snapshot file name: the run
// number (I2), a blank, and 11 characters of time.  Below 100000 s these are
// the time in microseconds, zero-padded to 11 digits.  From 100000 s on they
// are "M" and the time in milliseconds in 10 zero-padded digits, and from
// 10^7 s on "S" and the seconds in 10 digits.  "M" and "S" sort after the
// digits and "S" after "M", so the file names sort by time in every range.
std::string nts_stamp(int run, double time) {
    static const Format micro("(I2,A1,I11.11)");
    static const Format coarse("(I2,A1,A1,I10.10)");
    std::string s;
    if (time * 1e6 < 99999999999.5) {
        const std::array<FItem, 3> items{run, " ", std::llround(time * 1e6)};
        s = micro.apply(items);
    } else if (time * 1e3 < 9999999999.5) {
        const std::array<FItem, 4> items{run, " ", "M", std::llround(time * 1e3)};
        s = coarse.apply(items);
    } else {
        // Beyond 10^10 s the digits overflow into asterisks, still 14 wide.
        const std::array<FItem, 4> items{run, " ", "S", std::llround(std::min(time, 1e10))};
        s = coarse.apply(items);
    }
    s.pop_back();  // the record's line end
    return s;
}

struct FieldLineFile {
    RArr1 Model::*bfl;
    RArr1 Model::*ref;
    const char* raw_file;
    const char* raw_title;
    const char* comp_file;
    const char* comp_title;
};

const FieldLineFile kFieldLine[] = {
    {&Model::BFL_x, &Model::BFLtr_x, "BFL_x.dat", "Field in x-direction along a line, BFL_x [mT]",
     "BFL_x-BFLtr_x.dat",
     "Field in x-direction along a line compensated for the transport field, BFL_x-BFLtr [mT]"},
    {&Model::BFL_y, &Model::BFLtr_y, "BFL_y.dat", "Field in y-direction along a line, BFL_y [mT]",
     "BFL_y-BFLtr_y.dat",
     "Field in y-direction along a line compensated for the transport field, BFL_y-BFLtr [mT]"},
    {&Model::BFL_z, &Model::BFLtr_z, "BFLz.dat", "Field in z-direction along a line, BFL_z [mT]",
     "BFL_z-BFLtr_z.dat",
     "Field in z-direction along a line compensated for the transport field, BFL_z-BFLtr [mT]"},
};

// Raw line field in mT, then the field less the transport field of the
// mean strand current (the line field is left compensated).
void write_field_line(Model& m, const std::string& prefix) {
    OutFile f;
    for (const FieldLineFile& fl : kFieldLine) {
        RArr1& bfl = m.*fl.bfl;
        const RArr1& ref = m.*fl.ref;
        if (!bfl.allocated() || !ref.allocated()) continue;
        const int n = std::min({m.NrPFL, bfl.hi(), ref.hi()});
        if (f.open(prefix + fl.raw_file, OpenMode::Whole))
            print_1d_real(m, f, bfl, 1, n, 1000.0, fl.raw_title);
        for (int i = 1; i <= n; ++i) bfl(i) = bfl(i) - ref(i) * m.CPC / m.NS;
        if (f.open(prefix + fl.comp_file, OpenMode::Whole))
            print_1d_real(m, f, bfl, 1, n, 1000.0, fl.comp_title);
    }
}

// A range that does not fit the array is replaced by the array's own range
// in that dimension (an empty range is kept: nothing is read from it).
template <class A>
void fit_to(const A& a, Selection& s) {
    if (s.b1 <= s.b2 && (s.b1 < a.lo1() || s.b2 > a.hi1())) {
        s.b1 = a.lo1();
        s.b2 = a.hi1();
    }
    if (s.i1 <= s.i2 && (s.i1 < a.lo2() || s.i2 > a.hi2())) {
        s.i1 = a.lo2();
        s.i2 = a.hi2();
    }
}

void write_snapshot(Model& m, const Entry& e, Selection s, const std::string& prefix) {
    OutFile f;
    if (!f.open(prefix + e.file, OpenMode::Whole)) return;
    if (e.real) {
        RArr2& a = m.*e.real;
        fit_to(a, s);
        print_2d_real(m, f, a, s.b1, s.b2, s.i1, s.i2, s.mult, e.title);
    } else {
        const IArr2& a = m.*e.integer;
        fit_to(a, s);
        print_2d_integer(m, f, a, s.b1, s.b2, s.i1, s.i2, e.title);
    }
}

// ---------------------------------------------------------------------------
// Signals.

// Scaled mean of the selected block; 0 when the code is not in the
// catalogue, the array is not available, or the block is empty or leaves
// the array.
template <class A>
double block_mean(const A& a, const Selection& s) {
    if (s.b1 > s.b2 || s.i1 > s.i2) return 0;
    if (s.b1 < a.lo1() || s.b2 > a.hi1() || s.i1 < a.lo2() || s.i2 > a.hi2()) return 0;
    double sum = 0;
    for (int b = s.b1; b <= s.b2; ++b)
        for (int i = s.i1; i <= s.i2; ++i) sum += a(b, i);
    const double count = double(s.b2 - s.b1 + 1) * double(s.i2 - s.i1 + 1);
    return s.mult * sum / count;
}

double signal_value(const Model& m, const Selection& s) {
    const Entry* e = find_entry(s.code);
    if (!e || !available(m, *e)) return 0;
    return e->real ? block_mean(m.*e->real, s) : block_mean(m.*e->integer, s);
}

// The unit of a signal as written: the multiplier scales the array's
// values, so 1000 times a power in W is written in mW.  The factors with an
// SI prefix (1e-3, 1e3, 1e6, 1e9) on a plain unit give the prefixed unit;
// any other factor leaves the array's unit, and the "Multipl." row gives it.
std::string signal_unit(const std::string& unit, double mult) {
    static const char* const kPlain[] = {"(W)", "(J)", "(A)", "(V)", "(T)", "(K)"};
    if (std::find(std::begin(kPlain), std::end(kPlain), unit) == std::end(kPlain)) return unit;
    const char* prefix = mult == 1e3 ? "m" : mult == 1e6 ? "u" : mult == 1e9 ? "n"
                       : mult == 1e-3 ? "k" : nullptr;
    return prefix ? "(" + std::string(prefix) + unit.substr(1) : unit;
}

void signals_header(const Model& m, OutFile& f, int n) {
    static const Format numbers("(A14,A1,A11,200(A1,I11))");
    static const Format reals("(A14,A1,A11,200(A1,ES11.3))");
    static const Format texts("(A14,A1,A11,200(A1,A11))");
    const std::string_view sep = m.Sep;
    f.line(m.run_dir);

    std::vector<Selection> sel;
    std::vector<std::string> names, units;
    for (int k = 1; k <= n; ++k) {
        sel.push_back(selection(m.signals, k));
        const Entry* e = find_entry(sel.back().code);
        names.emplace_back(e ? short_name(e->title) : "");
        units.push_back(e ? signal_unit(unit_of(e->title), sel.back().mult) : "(-)");
    }

    std::vector<FItem> items;
    auto start = [&](std::string_view label, std::string_view second) {
        items.clear();
        items.emplace_back(label);
        items.emplace_back(sep);
        items.emplace_back(second);
    };
    auto int_row = [&](std::string_view label, auto value) {
        start(label, "");
        for (int k = 0; k < n; ++k) {
            items.emplace_back(sep);
            items.emplace_back(value(k));
        }
        f.fmt(numbers, items);
    };
    int_row("Signal number", [](int k) { return k + 1; });
    start("Multipl.", "");
    for (const Selection& s : sel) {
        items.emplace_back(sep);
        items.emplace_back(s.mult);
    }
    f.fmt(reals, items);
    int_row("Ini band", [&](int k) { return sel[std::size_t(k)].b1; });
    int_row("Fin band", [&](int k) { return sel[std::size_t(k)].b2; });
    int_row("Ini section", [&](int k) { return sel[std::size_t(k)].i1; });
    int_row("Fin section", [&](int k) { return sel[std::size_t(k)].i2; });
    auto text_row = [&](std::string_view first, std::string_view second,
                        const std::vector<std::string>& list) {
        start(first, second);
        for (const std::string& t : list) {
            items.emplace_back(sep);
            items.emplace_back(t);
        }
        f.fmt(texts, items);
    };
    text_row("NTS", "t", names);
    text_row("(-)", "(s)", units);
}

}  // namespace

// ---------------------------------------------------------------------------

double sum_all(const RArr2& a) {
    double s = 0;
    for (std::size_t k = 0; k < a.size(); ++k) s += a.data()[k];
    return s;
}

double max_abs(const RArr2& a) {
    double v = 0;
    for (std::size_t k = 0; k < a.size(); ++k) v = std::max(v, std::fabs(a.data()[k]));
    return v;
}

void write_nts(Model& m, int force) {
    if (!output_due(m, m.trig_nts, force == 1, m.dt_NTS, m.dT_NTS, m.dI_NTS)) return;
    const std::string prefix = m.run_dir + nts_stamp(m.Run, m.Time) + " ";
    if (m.Opt_FLC == 1) write_field_line(m, prefix);
    const int rows = table_rows(m.wrarrays, m.NrWrArrays);
    for (int r = 1; r <= rows; ++r) {
        const Selection s = selection(m.wrarrays, r);
        const Entry* e = find_entry(s.code);
        if (e && available(m, *e)) write_snapshot(m, *e, s, prefix);
    }
}

void write_progress(Model& m) {
    // The last step of the run always gets its line: the end of the
    // schedule, or the resistive voltage above VoltStop.
    const bool last = m.Time >= m.TimeEnd || m.VoltStopFlag == 1;
    if (!output_due(m, m.trig_prog, last, m.dt_Prog, m.dT_Prog, m.dI_Prog)) return;
    static const Format head("(A5,A1,A14, A1,A14, 9(A1,A11), 16(A1,A13), 8(A1,A13))");
    static const Format line("(I5,A1,F14.9,A1,F14.7,9(A1,F11.4),16(A1,F13.6),8(A1,F13.6))");
    static const char* const names[36] = {
        "NTS",     "dt",     "Time",    "dBa1dt",   "Ba1",    "dBa2dt", "Ba2",     "dIdt",
        "CPC",     "Ts_max", "THs_max", "Pt_T/CPC", "P_HP_T", "HF_s_T", "HF_He_T", "HF_ins_T",
        "Pa_T",    "Pc_T",   "Ps_T",    "PFs_T",    "Pt_T",   "P_IS_T", "PaInf_T", "PcInf_T",
        "PsInf_T", "Pa_max", "Pc_max",  "Ps_max",   "Ca_av",  "Cc_av",  "Cs_av",   "Ca_max",
        "Cc_max",  "Cs_max", "Cs_min",  "ICs_min"};
    static const char* const units[36] = {
        "(-)",  "(s)",  "(s)",  "(T/s)", "(T)",  "(T/s)", "(T)",  "(A/s)", "(A)",
        "(K)",  "(K)",  "(uV)", "(mW)",  "(mW)", "(mW)",  "(mW)", "(mW)",  "(mW)",
        "(mW)", "(mW)", "(mW)", "(mW)",  "(mW)", "(mW)",  "(mW)", "(mW)",  "(mW)",
        "(mW)", "(A)",  "(A)",  "(A)",   "(A)",  "(A)",   "(A)",  "(A)",   "(A)"};

    OutFile f;
    if (!f.open(m.run_dir + "Progress.dat", OpenMode::Append)) return;
    const std::string_view sep = m.Sep;
    std::vector<FItem> items;
    items.reserve(72);
    if (m.NTS == 0) {
        for (const char* const* row : {names, units}) {
            items.clear();
            for (int k = 0; k < 36; ++k) {
                if (k > 0) items.emplace_back(sep);
                items.emplace_back(row[k]);
            }
            f.fmt(head, items);
        }
    }

    const int NB = m.NB, NS = m.NS;
    const double Pa_T = sum_all(m.Pa), Pc_T = sum_all(m.Pc), Ps_T = sum_all(m.Ps);
    const double PFs_T = sum_all(m.PFs);
    const double Pt_T = Pa_T + Pc_T + Ps_T + PFs_T;
    const double volt = std::fabs(m.CPC) > 1e-6 ? Pt_T / std::fabs(m.CPC) * 1e6 : 0.0;
    double Cc_bands = 0;
    for (int b = 1; b <= NB && m.Cc.allocated(); ++b)
        for (int k = 1; k <= NS - 1; ++k) Cc_bands += m.Cc(b, k);

    const double values[35] = {
        m.dt, m.Time, m.dBa1dt, m.Ba1, m.dBa2dt, m.Ba2, m.dIdt, m.CPC, max_all(m.Ts),
        max_all(m.THs), volt,
        // mW
        1000 * sum_all(m.P_HP_arr), 1000 * sum_all(m.HF_s), 1000 * sum_all(m.HF_He),
        1000 * sum_all(m.HF_ins), 1000 * Pa_T, 1000 * Pc_T, 1000 * Ps_T, 1000 * PFs_T, 1000 * Pt_T,
        1000 * sum_all(m.P_IS), 1000 * m.PaInf_T, 1000 * m.PcInf_T, 1000 * m.PsInf_T,
        1000 * max_all(m.Pa), 1000 * max_all(m.Pc), 1000 * max_all(m.Ps),
        // A
        sum_all(m.Ca) / (double(NB) * 2.0 * NS), Cc_bands / (double(NB) * (NS - 1)),
        sum_all(m.Cs) / (double(NB) * (2.0 * NS - 2)), max_abs(m.Ca), max_abs(m.Cc), max_abs(m.Cs),
        min_abs(m.Cs), min_all(m.ICs)};
    items.clear();
    items.emplace_back(m.NTS);
    for (double v : values) {
        items.emplace_back(sep);
        items.emplace_back(v);
    }
    f.fmt(line, items);
    f.close();

    if (m.NrSignals > 0) write_signals(m);
    if (m.Opt_Temp > 0) write_energy(m);
}

void write_signals(Model& m) {
    static const Format line("(I14,201(A1,F11.3))");
    const int n = table_rows(m.signals, m.NrSignals);
    if (n <= 0) return;
    OutFile f;
    if (!f.open(m.run_dir + "Signals.dat", OpenMode::Append)) return;
    if (m.NTS == 0) signals_header(m, f, n);
    std::vector<FItem> items;
    items.reserve(std::size_t(2 * n + 3));
    items.emplace_back(m.NTS);
    items.emplace_back(m.Sep);
    items.emplace_back(m.Time);
    for (int k = 1; k <= n; ++k) {
        items.emplace_back(m.Sep);
        items.emplace_back(signal_value(m, selection(m.signals, k)));
    }
    f.fmt(line, items);
    f.close();
}

}  // namespace vorn
