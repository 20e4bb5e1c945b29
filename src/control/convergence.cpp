// Convergence control of the inner iteration: the decision whether a time
// step has converged, the relaxation-level step back, the progress lines,
// and the bookkeeping after a converged step.
#include <cmath>
#include <limits>
#include <string>

#include "control/control.hpp"
#include "control/messages.hpp"

namespace vorn {

namespace {

// Letter of the run in the progress lines: "A" for run 1, "B" for run 2, ...
std::string run_letter(int run) { return std::string(1, char(64 + run)); }

// First pass with the self field on and constant temperature: converged at
// once unless some section carries more than 0.1^(1/n) of its critical
// current (n the section's n-value).
bool below_saturation(const Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double n = m.Opt_StrIc == 0 ? double(m.nPow) : m.NPOWs(b, s);
            if (m.Cs(b, s) / m.ICs(b, s) > std::pow(0.1, 1.0 / n)) return false;
        }
    return true;
}

// The general test on the change counters.
bool counters_settled(const Model& m) {
    if (m.NrTsCh != 0 || m.NrTHsCh != 0) return false;
    if (m.NrSecRes == 0) return true;  // no resistive section
    return m.NrRsCh == 0 && m.NrCsCh == 0;
}

// Inductive check: after t = 0, with coupled bands, the right-hand side and
// the currents must not have changed any more.
int inductive_check(const Model& m) {
    if (m.NTS >= 1 && m.NBMut >= 1 && m.Opt_UnifCur1 != 2)
        return (m.IndUnch == 1 && m.NrCsCh == 0) ? 1 : 0;
    return 1;
}

int decide(const Model& m) {
    if (m.Opt_RsCalc == 1 || m.Opt_UnifCur1 == 2) return inductive_check(m);
    if (m.NTS == 0 && m.Opt_UnifCur1 == 1) return 1;
    if (m.Opt_Temp == 0) {
        if (m.Opt_SF == 0 || m.Opt_SF == 2) return inductive_check(m);
        if (m.NrItRs == 1) return below_saturation(m) ? inductive_check(m) : 0;
    } else if (m.NrItRs == 1) {
        return 0;  // with temperatures on, the first pass never converges
    }
    return counters_settled(m) ? inductive_check(m) : 0;
}

}  // namespace

// Before the network solution of a resistance iteration, whether the
// decision after it must be "not converged", from what that decision reads
// and is already known: with temperatures on, the first iteration never
// converges, and nor does one whose resistances (computed before the
// solution) have moved by more than RhoAcc while some section is resistive.
// Runs whose decision rests on other tests (constant resistivity, equal
// currents, the uniform first step, no temperatures) are never judged here.
bool iteration_cannot_converge(const Model& m) {
    if (m.Opt_RsCalc == 1 || m.Opt_UnifCur1 == 2) return false;
    if (m.NTS == 0 && m.Opt_UnifCur1 == 1) return false;
    if (m.Opt_Temp == 0) return false;
    return m.NrItRs == 1 || (m.NrSecRes != 0 && m.NrRsCh != 0);
}

void write_convergency_row(Model& m) {
    const std::string& s = m.Sep;
    m.log_unit.fmt("(A7,2(A1,I7),A1,F12.6,A1,F7.3,7(A1,I7))",
                   {run_letter(m.Run), s, m.Iter, s, m.NTS, s, m.Time, s, m.ConvFR(m.CntR), s,
                    m.NrItRs, s, m.NrItTs, s, m.NrCsCh, s, m.NrRsCh, s, m.NrTsCh, s, m.NrTHsCh, s,
                    m.NrIndCh});
}

void iteration_yn(Model& m) {
    m.ConvYN = decide(m);

    if (m.Opt_PrIter == 1) write_convergency_row(m);
    write_fmt(*m.con_out, "(A4,I5,F13.6,F8.3,7I7)",
              {run_letter(m.Run), m.Iter, m.Time, m.ConvFR(m.CntR), m.NrItRs, m.NrItTs, m.NrCsCh,
               m.NrRsCh, m.NrTsCh, m.NrTHsCh, m.NrIndCh});

    // An easy convergence while the current is not rising lets the next step
    // start one relaxation level lower.
    if (m.ConvYN == 1 && m.NrItRs < m.NrItBack && m.dIdt < 1e-12 && m.CntR >= 2)
        m.CntR = m.CntR - 1;
}

void saturation_check(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double cs = m.Cs(b, s), ic = m.ICs(b, s);
            m.NrSATs(b, s) = cs < -ic ? -1 : (cs < ic ? 0 : 1);
        }
}

void define_prev_min_max(Model& m) {
    m.Cs_prev = m.Cs;
    m.Rs_prev = m.Rs;
    m.Ps_prev = m.Ps;
    m.THs_prev = m.THs;
    m.Ts_prev = m.Ts;
    m.PFs_prev = m.PFs;
    m.P_IS_prev = m.P_IS;
    m.Tmax_prev = m.Ts_max;

    // Largest strand temperature; entries that are not a number are skipped
    // (all of them: the result is not a number).
    double tmax = std::numeric_limits<double>::quiet_NaN();
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double t = m.Ts(b, s);
            if (!std::isnan(t) && (std::isnan(tmax) || t > tmax)) tmax = t;
        }
    m.Ts_max = tmax;
}

}  // namespace vorn
