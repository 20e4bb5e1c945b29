// Validation of the case parameters once the step files and their auxiliary
// files are read: range tests of every parameter (bounds in the stored SI
// units), the time schedule, combinations of options and the plausibility of
// the strand diameter.  Errors are all listed before the program stops, so
// one run shows every problem of a case; warnings only inform.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

#include "control/messages.hpp"
#include "input/input.hpp"
#include "input/step_items.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// The name in its 10-character field: cut to 10 characters, or padded with
// blanks.
std::string name10(const std::string& name) {
    std::string s = name.substr(0, 10);
    s.resize(10, ' ');
    return s;
}

// A bound computed from other parameters (2*NS, NS-2, ...), kept inside the
// integer range whatever the stored values are.
int ibound(long long v) {
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// Number of elements of a count-sized list to test: 1..count, limited to the
// part of the list that exists.
template <class A>
int list_end(const A& a, int count) {
    if (!a.allocated() || a.lo() > 1) return 0;
    return std::min(count, a.hi());
}

void check_list(Model& m, int& NrErr, const std::string& name, const IArr1& a, int count, int lower,
                int upper) {
    const int n = list_end(a, count);
    for (int k = 1; k <= n; ++k) checki(m, NrErr, name, a(k), lower, upper);
}

void check_list(Model& m, int& NrErr, const std::string& name, const RArr1& a, int count,
                double lower, double upper) {
    const int n = list_end(a, count);
    for (int k = 1; k <= n; ++k) checkd(m, NrErr, name, a(k), lower, upper);
}

// STEP01: cable type, geometry and strand composition.
void check_cable(Model& m, int& e) {
    checki(m, e, "NB", m.NB, 1, 10000);
    checki(m, e, "NS", m.NS, 8, 80);
    checkd(m, e, "w", m.w, 0.0, 1e20);
    checkd(m, e, "Th1", m.Th1, 0.0, 1e20);
    checkd(m, e, "Th2", m.Th2, 0.0, 1e20);
    checkd(m, e, "d_fil_in", m.d_fil_in, 0.0, m.d_fil_out);
    checkd(m, e, "d_fil_out", m.d_fil_out, m.d_fil_in, m.DiamStr);
    checkd(m, e, "DiamStr", m.DiamStr, 0.0, 1e20);
    checkd(m, e, "TPFil", m.TPFil, 0.0, 1e20);
    checkd(m, e, "TPStr", m.TPStr, 0.0, 1e20);
    if (m.Opt_CuSCRRR != 1) {  // per-strand values replace the constants
        checkd(m, e, "CuSC_con", m.CuSC_con, 0.0, 100.0);
        checkd(m, e, "RRR_con", m.RRR_con, 1.0, 10000.0);
    }
    checkd(m, e, "MR_con", m.MR_con, 0.0, 1e-9);
}

// STEP02 to STEP04 and the band range of the magnetisation output.
void check_fields(Model& m, int& e) {
    checki(m, e, "Opt_LongB", m.Opt_LongB, 0, 1);
    checkd(m, e, "The_Ba1", m.The_Ba1, -0.1, 360.1);
    checkd(m, e, "Phi_Ba1", m.Phi_Ba1, -0.1, 360.1);
    checki(m, e, "Opt_Ba1", m.Opt_Ba1, 0, 4);
    if (m.Opt_AddBa2 == 1) {
        checkd(m, e, "The_Ba2", m.The_Ba2, -0.1, 360.1);
        checkd(m, e, "Phi_Ba2", m.Phi_Ba2, -0.1, 360.1);
        checki(m, e, "Opt_Ba2", m.Opt_Ba2, 0, 2);
    }
    checki(m, e, "Opt_SF", m.Opt_SF, 0, 2);
    if (m.Opt_SF == 1 && m.Opt_Cable == 2) checki(m, e, "NBSF", m.NBSF, 0, m.NB);
    if (m.Opt_SF == 1) {
        checki(m, e, "Opt_RetLead", m.Opt_RetLead, 0, 1);
        checkd(m, e, "d_RL", m.d_RL, 0.0, 1e20);
    }
    if (m.Opt_Magn == 1) {
        checki(m, e, "NB1_M", m.NB1_M, 1, m.NB);
        checki(m, e, "NB2_M", m.NB2_M, m.NB1_M, m.NB);
    }
    checkd(m, e, "TauIF", m.TauIF, 0.0, 1000.0);
}

// STEP05: contact resistances, their special values and the core.
void check_contacts(Model& m, int& e) {
    checki(m, e, "Opt_LongR", m.Opt_LongR, 0, 1);
    checkd(m, e, "RaCon", m.RaCon, 1e-20, 1e20);
    checkd(m, e, "FRaW", m.FRaW, -1.0, 1.0);
    checki(m, e, "Opt_RaRand", m.Opt_RaRand, 0, 1);
    checkd(m, e, "FRaRand", m.FRaRand, 0.0, 1.0);
    checki(m, e, "NrRaSp", m.NrRaSp, 0, 100);
    check_list(m, e, "NBRaSp", m.NBRaSp, m.NrRaSp, 1, m.NB);
    check_list(m, e, "NSRaSp", m.NSRaSp, m.NrRaSp, 1, ibound(2LL * m.NS));
    check_list(m, e, "RaSp", m.RaSp, m.NrRaSp, 1e-20, 1e20);
    checkd(m, e, "RcCon", m.RcCon, 1e-20, 1e20);
    checkd(m, e, "FRcW", m.FRcW, -1.0, 1.0);
    checki(m, e, "Opt_RcRand", m.Opt_RcRand, 0, 1);
    checkd(m, e, "FRcRand", m.FRcRand, 0.0, 1.0);
    checki(m, e, "Opt_Core", m.Opt_Core, 0, 1);
    if (m.Opt_Core == 1) {
        checkd(m, e, "RcCore", m.RcCore, 1e-20, 1e20);
        checki(m, e, "Core_pos1", m.Core_pos1, 2, ibound(m.NS - 2LL));
        checki(m, e, "Core_pos2", m.Core_pos2, m.Core_pos1, ibound(m.NS - 2LL));
    }
    checki(m, e, "Opt_StrRes", m.Opt_StrRes, 0, 1);
    // The per-strand factors exist only for a valid cable size.
    if (m.Opt_StrRes == 1 && m.F_Ra_w.allocated() && m.F_Rc_w.allocated()) {
        const int n = std::min({m.NS, m.F_Ra_w.hi(), m.F_Rc_w.hi()});
        for (int i = 1; i <= n; ++i) {
            checkd(m, e, "F_Ra_w", m.F_Ra_w(i), 1e-20, 1e20);
            checkd(m, e, "F_Rc_w", m.F_Rc_w(i), 1e-20, 1e20);
        }
    }
    checki(m, e, "NrRcSp", m.NrRcSp, 0, 100);
    check_list(m, e, "NBRcSp", m.NBRcSp, m.NrRcSp, 1, m.NB);
    check_list(m, e, "NSRcSp", m.NSRcSp, m.NrRcSp, 1, ibound(m.NS - 1LL));
    check_list(m, e, "RcSp", m.RcSp, m.NrRcSp, 1e-20, 1e20);
}

// STEP06 and STEP07: strand resistivity, transition and critical current.
void check_strand_state(Model& m, int& e) {
    checki(m, e, "Opt_RsCalc", m.Opt_RsCalc, 1, 3);
    checkd(m, e, "RhoMin", m.RhoMin, 1e-30, 0.01);
    checkd(m, e, "RhoIc", m.RhoIc, 1e-30, 0.01);
    checki(m, e, "nPow", m.nPow, 1, 200);
    checki(m, e, "NrRhoSp", m.NrRhoSp, 0, 100);
    check_list(m, e, "NBRhoSp", m.NBRhoSp, m.NrRhoSp, 1, m.NB);
    check_list(m, e, "NSRhoSp", m.NSRhoSp, m.NrRhoSp, 2, ibound(2LL * m.NS - 1));
    check_list(m, e, "RhoSp", m.RhoSp, m.NrRhoSp, 1e-20, 1e20);
    checki(m, e, "Opt_LongRho", m.Opt_LongRho, 0, 1);
    checki(m, e, "Opt_Ic", m.Opt_Ic, 1, 4);
    if (m.Opt_Ic == 1) checkd(m, e, "IcCon", m.IcCon, 1e-20, 1e10);
    if (m.Opt_Ic == 2 || m.Opt_Ic == 3) {
        checkd(m, e, "ConIcA", m.ConIcA, 0.0, 1e10);
        checkd(m, e, "ConIcB", m.ConIcB, -1e10, 0.0);
    }
    if (m.Opt_Ic == 3) {
        checkd(m, e, "ConIcC", m.ConIcC, -1e10, 1e10);
        checkd(m, e, "ConIcD", m.ConIcD, -1e10, 1e10);
        checkd(m, e, "ConIcE", m.ConIcE, -1e10, 1e10);
        checkd(m, e, "ConIcF", m.ConIcF, -1e10, 1e10);
    }
    checki(m, e, "Opt_IcRedIF", m.Opt_IcRedIF, 0, 1);
    check_list(m, e, "NBIcL", m.NBIcL, m.NrIcLT, 1, m.NB);
    check_list(m, e, "NsecIcL", m.NsecIcL, m.NrIcLT, 2, ibound(2LL * m.NS - 1));
    check_list(m, e, "IcRatioSec", m.IcRatioSec, m.NrIcLT, 1e-20, 1e20);
}

// STEP08 and STEP10: temperature, cooling and insulation.
void check_thermal(Model& m, int& e) {
    checki(m, e, "Opt_Temp", m.Opt_Temp, 0, 3);
    checkd(m, e, "TBath", m.TBath, 0.0, 100.0);
    if (m.Opt_Temp > 0) {
        checkd(m, e, "F_HF_str", m.F_HF_str, 0.0, 10.0);
        checkd(m, e, "F_cont", m.F_cont, 0.0, 1e10);
        checkd(m, e, "P_cont", m.P_cont, 0.0, 10.0);
    }
    if (m.Opt_Temp > 1) {
        checkd(m, e, "aKap", m.aKap, 0.0, 1e20);
        checkd(m, e, "nKap", m.nKap, 0.0, 100.0);
        checkd(m, e, "F_Vol_He", m.F_Vol_He, 0.0, 1000.0);
        checki(m, e, "Opt_Trans_HF", m.Opt_Trans_HF, 0, 3);
    }
    if (m.Opt_Trans_HF > 0) {
        checkd(m, e, "a_Trans", m.a_Trans, 0.0, 1e20);
        checkd(m, e, "n_Trans", m.n_Trans, 0.0, 100.0);
    }
    if (m.Opt_Trans_HF == 2) checkd(m, e, "E_Trans_Lim0", m.E_Trans_Lim0, 0.0, 1e20);
    if (m.Opt_Trans_HF == 3) checkd(m, e, "E_Trans_Lim2", m.E_Trans_Lim2, 0.0, 1e20);
    checki(m, e, "Opt_Ins", m.Opt_Ins, 0, 1);
    if (m.Opt_Ins == 1) {
        checkd(m, e, "Th_ins_1", m.Th_ins_1, 1e-10, 1e10);
        checkd(m, e, "Th_ins_2", m.Th_ins_2, 1e-10, 1e10);
        checkd(m, e, "Th_ins_f", m.Th_ins_f, 1e-10, 1e10);
        checkd(m, e, "k_ins_1", m.k_ins_1, 1e-10, 1e10);
        checkd(m, e, "k_ins_2", m.k_ins_2, 1e-10, 1e10);
        checkd(m, e, "k_ins_f", m.k_ins_f, 1e-10, 1e10);
        checkd(m, e, "F_ins_1", m.F_ins_1, 0.0, 2.0);
        checkd(m, e, "F_ins_2", m.F_ins_2, 0.0, 2.0);
        checkd(m, e, "F_ins_f", m.F_ins_f, 0.0, 2.0);
    }
}

// STEP11 and STEP12: field line and calculation in time.
void check_line_and_time(Model& m, int& e) {
    if (m.Opt_Cable == 2) checki(m, e, "Opt_FLC", m.Opt_FLC, 0, 1);
    if (m.Opt_Cable == 2 && m.Opt_FLC == 1) {
        checki(m, e, "NrPFL", m.NrPFL, 0, 500);
        checkd(m, e, "FLx1", m.FLx1, -1e10, 1e10);
        checkd(m, e, "FLy1", m.FLy1, -1e10, 1e10);
        checkd(m, e, "FLz1", m.FLz1, -1e10, 1e10);
        checkd(m, e, "dFLx", m.dFLx, -1e10, 1e10);
        checkd(m, e, "dFLy", m.dFLy, -1e10, 1e10);
        checkd(m, e, "dFLz", m.dFLz, -1e10, 1e10);
    }
    checki(m, e, "Opt_StrCur", m.Opt_StrCur, 0, 1);
    checki(m, e, "NrSteps_inp", m.NrSteps_inp, 0, 10000);
    checkd(m, e, "VoltStop", m.VoltStop, 0.0, 1e6);
    if (m.Opt_Cable == 2) checki(m, e, "NBMut", m.NBMut, 0, m.NB);
}

// Heat pulses (STEP12, "inp_EP.txt") and the quench-energy search
// ("inp_QE.txt").
void check_heat_pulses(Model& m, int& e) {
    checki(m, e, "Opt_HP", m.Opt_HP, 0, 2);
    if (m.Opt_HP > 0) {
        checki(m, e, "Nr_HP", m.Nr_HP, 1, 1000);
        check_list(m, e, "NB_HP", m.NB_HP, m.Nr_HP, 1, m.NB);
        check_list(m, e, "Ns_HP", m.Ns_HP, m.Nr_HP, 2, ibound(2LL * m.NS - 1));
        const RArr2& p = m.P_HP_inp;
        if (p.allocated() && p.lo1() <= 1 && p.lo2() <= 1) {
            const int nt = std::min(m.NrT_HP, p.hi1());
            const int nh = std::min(m.Nr_HP, p.hi2());
            for (int t = 1; t <= nt; ++t)
                for (int k = 1; k <= nh; ++k) checkd(m, e, "P_HP_inp", p(t, k), -1e-20, 1e20);
        }
    }
    if (m.Opt_HP == 2) {
        checki(m, e, "NrRunT", m.NrRunT, 1, 26);
        check_list(m, e, "qe_reg", m.qe_reg, m.NrRunT, 1, 40);
        check_list(m, e, "QE_F", m.qe_f, m.NrRunT, 1.0, 1000.0);
        check_list(m, e, "QE_acc", m.qe_acc, m.NrRunT, 0.001, 1000.0);
    }
}

// STEP13, STEP14 and STEP16: iteration control, magnetisation, expert values.
void check_iteration(Model& m, int& e) {
    if (m.Opt_RsCalc > 1) {
        checki(m, e, "NrItR0", m.NrItR0, 1, 100);
        checki(m, e, "CntR_M", m.CntR_M, 1, 10);
        checkd(m, e, "FRsLim", m.FRsLim, 1.0, 100.0);
        checkd(m, e, "CsAcc", m.CsAcc, 1e-6, 1e4);
        checkd(m, e, "RhoAcc", m.RhoAcc, 0.0, 1e4);
    }
    if (m.Opt_Temp > 0) {
        checki(m, e, "NrItT_M", m.NrItT_M, 1, 6000);
        checkd(m, e, "TincrM", m.TincrM, 1e-6, 10.0);
        checkd(m, e, "TsAcc", m.TsAcc, 1e-15, 10.0);
    }
    checki(m, e, "Opt_Magn", m.Opt_Magn, 0, 1);
    checkd(m, e, "One", m.One, 1e-20, 1e20);
    checki(m, e, "IniRand", m.IniRand, 0, 9999);
    checkd(m, e, "EffLC", m.EffLC, 0.0, 1e20);
}

void error(Model& m, int& e, const char* text) {
    msg(m, text);
    ++e;
}

// The quench-energy search: each run searches the heater energy (1) or the
// transport current (2), and its first trial of that variable is positive
// (the search multiplies, divides and bisects it; a zero trial would stay
// zero for all iterations).
void check_qe_runs(Model& m, int& e) {
    if (m.Opt_HP != 2) return;
    const int n = list_end(m.hp_or_tc, m.NrRunT);
    for (int k = 1; k <= n; ++k) {
        const std::string run = " (run " + std::to_string(k) + " of inp_QE.txt)";
        const int var = m.hp_or_tc(k);
        if (var != 1 && var != 2) {
            error(m, e, ("HP_or_Tc should be 1 (heater energy) or 2 (transport current)" + run)
                            .c_str());
        } else if (var == 1 && !(m.e_hp(k, 1) > 0)) {
            error(m, e, ("E_HP, the first trial energy, should be positive" + run).c_str());
        } else if (var == 2 && !(m.tc_qe(k, 1) > 0)) {
            error(m, e, ("Tc_QE, the first trial current, should be positive" + run).c_str());
        }
    }
}

// Steps 1..NrSteps_inp of the time schedule: each step lasts at least a
// nanosecond and its end values follow from the start values and the rates.
void check_schedule(Model& m, int& e) {
    int n = m.NrSteps_inp;
    for (const RArr1* a : {&m.dur_inp, &m.didt_inp, &m.cpc_fin, &m.dba1dt_inp, &m.ba1_fin,
                           &m.dba2dt_inp, &m.ba2_fin}) {
        if (!a->allocated() || a->lo() > 0) return;
        n = std::min(n, a->hi());
    }
    for (int i = 1; i <= n; ++i) {
        const double dur = m.dur_inp(i);
        if (dur <= 1e-9)
            error(m, e, "duration should be larger than 1 nsec; check the time step input");
        if (std::abs(dur * m.didt_inp(i) + m.cpc_fin(i - 1) - m.cpc_fin(i)) > 0.1)
            error(m, e, "Problem with combination dt, dI/dt, and CPC in time step input");
        if (std::abs(dur * m.dba1dt_inp(i) + m.ba1_fin(i - 1) - m.ba1_fin(i)) > 0.001)
            error(m, e, "Problem with combination dt, dB/dt, and Ba1 in time step input");
        if (std::abs(dur * m.dba2dt_inp(i) + m.ba2_fin(i - 1) - m.ba2_fin(i)) > 0.001)
            error(m, e, "Problem with combination dt, dB/dt, and Ba2 in time step input");
    }
}

// Steps 1..NrSteps_inp: the time-step length must be positive and finite
// (a zero step never reaches the end of the schedule, a negative one runs
// time backwards).  One line per bad step, in the style of the range tests,
// with the step's number in the name.
void check_time_step_lengths(Model& m, int& e) {
    static constexpr const char* kFormat = "(A,A12,F12.6,A)";
    const RArr1& dt = m.dt_inp;
    if (!dt.allocated() || dt.lo() > 1) return;
    const int n = std::min(m.NrSteps_inp, dt.hi());
    for (int i = 1; i <= n; ++i) {
        const double v = dt(i);
        if (v > 0 && std::isfinite(v)) continue;
        std::string name = "dt_inp(" + std::to_string(i) + ")";
        if (name.size() < 10) name.resize(10, ' ');
        msg_fmt(m, kFormat,
                {name, " with value ", v,
                 " should be positive and finite (time-step length in inp_TimeSteps.txt)"});
        ++e;
    }
}

// Heater power of the first time point of the heat-pulse table, summed over
// the heaters; 0 when the table has no time point.
double first_heat_pulse(const Model& m) {
    const RArr2& p = m.P_HP_inp;
    if (!p.allocated() || p.lo1() > 1 || p.hi1() < 1 || p.lo2() > 1) return 0.0;
    const int nh = std::min(m.Nr_HP, p.hi2());
    double sum = 0.0;
    for (int k = 1; k <= nh; ++k) sum += std::abs(p(1, k));
    return sum;
}

void check_combinations(Model& m, int& e) {
    const bool infinite = m.Opt_Cable == 1;
    if (infinite && m.NB > 1) error(m, e, "NB should be 1 for infinit cable");
    if (infinite && (m.Opt_LongB == 1 || m.Opt_LongR == 1 || m.Opt_LongRho == 1))
        error(m, e, "Opt_LongB, Opt_LongR, and Opt_LongRho should be 0 for infinit cable");
    if (infinite && m.Opt_FLC == 1) error(m, e, "Opt_FLC should be 0 for infinit cable");
    if (m.Opt_Cable == 2 && m.NB < 3) error(m, e, "NB should be at least 3 for a finite cable");
    if (m.Opt_HP > 0 && m.NrT_HP >= 1 && first_heat_pulse(m) >= 1e-20)
        error(m, e, "No external heat pulse allowed in the first time step");
    if (infinite && m.Opt_UnifCur1 > 0)
        error(m, e,
              "It is not possible to select uniform cur. distr. in first time step for infinit "
              "cable");

    // The cable maps put NS/2 strands in each of the two layers.  An NS
    // outside its range has been reported above already.
    if (m.NS >= 8 && m.NS <= 80 && m.NS % 2 != 0) error(m, e, "NS should be even");
    // Profile 3 fills no width profile; the field would read empty tables.
    if (m.Opt_Ba1 == 3)
        error(m, e, "Opt_Ba1=3 defines no field profile across the width; use 0, 1, 2 or 4");
}

// Strand diameter against the width and the mean thickness of the cable;
// returns the number of warnings.
int check_strand_diameter(Model& m) {
    int n = 0;
    auto warn = [&](const char* text) {
        msg(m, text);
        ++n;
    };
    const double d = m.DiamStr;
    const double ThMid = (m.Th1 + m.Th2) / 2.0;
    if (d > 1.2 * 2.0 * m.w / m.NS) warn("DiamStr seems too large as compared to w");
    if (d < 0.8 * 2.0 * m.w / m.NS) warn("DiamStr seems too small as compared to w");
    if (d > 1.2 * ThMid / 2.0) warn("DiamStr seems too large as compared to ThMid");
    if (d < 0.8 * ThMid / 2.0) warn("DiamStr seems too small as compared to ThMid");
    return n;
}

// One list-directed record to the console and to the messages file.
void report_count(Model& m, int count, const char* text) {
    std::string line = list_directed({count, text});
    if (!line.empty() && line.back() == '\n') line.pop_back();
    console(m, line);
    msg(m, line);
}

// Stored SI value per unit of a step file's value: the conversions the
// reader makes (mm to m, uOhm to Ohm, ...); 1 for the units kept as read.
double file_unit_scale(std::string_view unit) {
    if (unit == "mm") return 1e-3;
    if (unit == "mm2") return 1e-6;
    if (unit == "mm3") return 1e-9;
    if (unit == "uOhm" || unit == "uV per metre of cable") return 1e-6;
    return 1.0;
}

// The special-value lists and tables of the auxiliary files, by the names
// the range tests give them.
const char* aux_file_of(const std::string& name) {
    static const std::pair<const char*, const char*> kFiles[] = {
        {"NBRaSp", "inp_RaSpecial.txt"},  {"NSRaSp", "inp_RaSpecial.txt"},
        {"RaSp", "inp_RaSpecial.txt"},    {"NBRcSp", "inp_RcSpecial.txt"},
        {"NSRcSp", "inp_RcSpecial.txt"},  {"RcSp", "inp_RcSpecial.txt"},
        {"NBRhoSp", "inp_RhoSpecial.txt"}, {"NSRhoSp", "inp_RhoSpecial.txt"},
        {"RhoSp", "inp_RhoSpecial.txt"},  {"NBIcL", "inp_IcLocal.txt"},
        {"NsecIcL", "inp_IcLocal.txt"},   {"IcRatioSec", "inp_IcLocal.txt"},
        {"F_Ra_w", "inp_RaRc_per_strand.txt"}, {"F_Rc_w", "inp_RaRc_per_strand.txt"},
        {"P_HP_inp", "inp_EP.txt"},       {"NB_HP", "inp_EP.txt"},
        {"Ns_HP", "inp_EP.txt"}};
    for (const auto& [n, f] : kFiles)
        if (name == n) return f;
    return nullptr;
}

// The value with 15 significant digits, trailing zeros dropped: all the
// digits of a value as typed in a file, without the last-bit noise of the
// unit conversion (-5 uOhm, not -5.000000000000001).
std::string shortest(double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return std::string(buf, r.ptr);
}

// The line after a range error: where the value is and what it may be, in
// the units of its file and with all the digits that tell them apart (the
// prescribed line above it prints SI values in F12.6, where 5 uOhm reads
// 0.000005).
void range_detail(Model& m, const std::string& name, double value, double lower, double upper) {
    const StepItemPlace at = find_step_item(name);
    std::string where, unit;
    double scale = 1.0;
    if (at.item) {
        int number = at.value + 1;
        const auto& records = step_file_records()[std::size_t(at.step - 1)];
        for (int r = 0; r < at.record; ++r) number += int(records[std::size_t(r)].size());
        where = step_file_name(at.step) + ", item " + std::to_string(number) + " " + name;
        unit = at.item->unit;
        scale = file_unit_scale(unit);
    } else if (const char* file = aux_file_of(name)) {
        where = std::string(file) + ", " + name;
        unit = "SI units, as stored";
    } else {
        where = name;
        unit = "SI units, as stored";
    }
    std::string line = "  " + where + ": value " + shortest(value / scale) + ", allowed " +
                       shortest(lower / scale) + " .. " + shortest(upper / scale);
    if (!unit.empty()) line += " (" + unit + ")";
    msg(m, line);
}

}  // namespace

void checkd(Model& m, int& NrErr, const std::string& name, double value, double lower,
            double upper) {
    static constexpr const char* kFormat = "(A10,A12,F12.6,A17,F12.6)";
    const std::string n = name10(name);
    if (value < lower) {
        msg_fmt(m, kFormat, {n, " with value ", value, " is smaller than ", lower});
        range_detail(m, name, value, lower, upper);
        ++NrErr;
    }
    if (value > upper) {
        msg_fmt(m, kFormat, {n, " with value ", value, " is larger than ", upper});
        range_detail(m, name, value, lower, upper);
        ++NrErr;
    }
}

void checki(Model& m, int& NrErr, const std::string& name, int value, int lower, int upper) {
    static constexpr const char* kFormat = "(A6,A12,I3,A17,I3)";
    const std::string n = name10(name);
    if (value < lower) {
        msg_fmt(m, kFormat, {n, " with value ", value, " is smaller than ", lower});
        range_detail(m, name, value, lower, upper);
        ++NrErr;
    }
    if (value > upper) {
        msg_fmt(m, kFormat, {n, " with value ", value, " is larger than ", upper});
        range_detail(m, name, value, lower, upper);
        ++NrErr;
    }
}

// The values of the input files that are not finite numbers (NaN, an
// infinity, a literal beyond the largest double): each one an error, its
// file, value and token named.  Every range test passes a NaN, so these
// are caught here or not at all.
void list_nonfinite_inputs(Model& m, int& NrErr, std::size_t from) {
    for (std::size_t k = from; k < m.NonFiniteInputs.size(); ++k) {
        msg(m, m.NonFiniteInputs[k]);
        ++NrErr;
    }
}

void stop_for_input_errors(Model& m, int NrErr) {
    // A stop: its reason to the messages file and the error stream, with
    // the file that lists the errors.
    std::string line = list_directed({NrErr, " errors detected in the input. Program is stopped"});
    if (!line.empty() && line.back() == '\n') line.pop_back();
    report_stop_reason(m, line);
    m.InputRejected = 1;
    *m.con_err << "Nothing was computed: the errors are listed in "
               << shown_path(m.msg_unit.path()) << '\n'
               << std::flush;
    throw ProgramStop{};
}

void check_input_parameters(Model& m) {
    int NrErr = 0;
    list_nonfinite_inputs(m, NrErr, 0);

    check_cable(m, NrErr);
    check_fields(m, NrErr);
    check_contacts(m, NrErr);
    check_strand_state(m, NrErr);
    check_thermal(m, NrErr);
    check_line_and_time(m, NrErr);
    check_heat_pulses(m, NrErr);
    check_qe_runs(m, NrErr);
    check_iteration(m, NrErr);
    check_schedule(m, NrErr);
    check_time_step_lengths(m, NrErr);
    check_combinations(m, NrErr);
    const int NrWarn = check_strand_diameter(m);

    if (NrWarn > 0)
        report_count(m, NrWarn,
                     " warnings detected in the input. Program is continued but results may be "
                     "wrong");
    if (NrErr > 0) stop_for_input_errors(m, NrErr);
    if (m.DbgMsg == 1) msg(m, "Check_Input_Parameters finished");
}

}  // namespace vorn
