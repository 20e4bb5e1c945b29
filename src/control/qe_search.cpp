// The quench decision of the quench-energy search, taken after every
// converged time step: quench or recovery of the heated wire (or of the
// wires qe_reg - 1 places left and right of it), the next trial value of the
// searched heater energy or transport current, and the end of the run once
// two successive trials agree within qe_acc per cent.
#include <cmath>
#include <string>

#include "control/control.hpp"
#include "control/messages.hpp"

namespace vorn {

namespace {

constexpr int kUndecided = -99;

// Step 1: some superconducting section still above QE_rho_NQ (the cable has
// not recovered yet).  Only looked at once the pulse is well over.
int any_not_recovered(const Model& m) {
    if (!(m.Time > 1.1 * m.t_HP_end)) return 0;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s)
            if (m.Norms(b, s) == 0 && m.Rho_s(b, s) > m.QE_rho_NQ) return 1;
    return 0;
}

// Step 3: 1 quench, 0 no quench, kUndecided otherwise.
int decide(const Model& m, const IArr1& nQ, int AnyNQ) {
    const int reg = m.qe_reg(m.Run);
    const int hw = m.NW_HP(1);
    if (reg == 1) {
        if (nQ(hw) >= m.QE_nr_sec) return 1;
        if (m.Time > 1.101 * m.t_HP_end && AnyNQ == 0) return 0;
        return kUndecided;
    }
    const int L = qe_cyclic_wire(hw - (reg - 1), m.NS);
    const int R = qe_cyclic_wire(hw + (reg - 1), m.NS);
    if (nQ(R) >= m.QE_nr_sec || nQ(L) >= m.QE_nr_sec) return 1;
    if (m.Time > 1.1 * m.t_HP_end && AnyNQ == 0) return 0;
    return kUndecided;
}

// A stop of the search: the message goes to the run's QE file as well.
[[noreturn]] void qe_stop(Model& m, const std::string& text) {
    if (m.qe_unit.is_open()) {
        m.qe_unit.line(text);
        m.qe_unit.flush();
    }
    stop_with_message(m, text);
}

// Step 8: the brackets and the trial of the next iteration.  Without the
// other end of the bracket the trial moves by the factor qe_f, with both
// ends it is bisected.
void next_trial(Model& m) {
    const int r = m.Run, it = m.Iter;
    const double F = m.qe_f(r);
    const bool quench = m.QE_Dec(it) == 1;
    // A quench lowers the upper end of the bracket, a recovery raises the
    // lower end; a missing other end (still at its start value) means the
    // trial is divided or multiplied by F, else the bracket is bisected.
    auto next_of = [&](double x, double& lo, double& hi) {
        if (quench) {
            hi = x;
            return lo < 1e-10 ? x / F : (x + lo) / 2;
        }
        lo = x;
        return hi > 1e10 ? x * F : (x + hi) / 2;
    };
    if (m.hp_or_tc(r) == 1) {
        const double next = next_of(m.e_hp(r, it), m.E_HP_min, m.E_HP_max);
        m.e_hp(r, it + 1) = next;
        m.tc_qe(r, it + 1) = m.tc_qe(r, it);
        // The pulse keeps its shape; its energy becomes the new trial.
        scale_heater_table_to(m, next);
    } else {
        m.tc_qe(r, it + 1) = next_of(m.tc_qe(r, it), m.TC_min, m.TC_max);
        m.e_hp(r, it + 1) = m.e_hp(r, it);
    }
}

// Step 10: the last two trials (not the bracket) agree within qe_acc %.
void accuracy_test(Model& m) {
    const int r = m.Run, it = m.Iter;
    const int var = m.hp_or_tc(r);
    if (it <= 1 || (var != 1 && var != 2)) return;
    const RArr2& x = var == 1 ? m.e_hp : m.tc_qe;
    const double p = x(r, it - 1), c = x(r, it);
    if (std::abs(p - c) / (p + c) < m.qe_acc(r) / 100) {
        m.RunDone = 1;
        m.qe_unit.line(var == 1
                           ? "QE_accuracy in the energy pulse reached. Simulation stopped"
                           : "QE_accuracy in the transport current reached. Simulation stopped");
    }
}

}  // namespace

int qe_cyclic_wire(int w, int NS) {
    return ((w - 1) % NS + NS) % NS + 1;
}

void scale_heater_table_to(Model& m, double energy) {
    // Always from the input table, so that a trial's heater powers do not
    // depend on the trials before it.
    const double f = energy / m.E_HP_inp;
    for (int t = 1; t <= m.NrT_HP; ++t)
        for (int i = 1; i <= m.Nr_HP; ++i) m.P_HP(t, i) = m.P_HP_inp(t, i) * f;
}

void qe_decision(Model& m) {
    const int NS = m.NS, it = m.Iter;
    const int AnyNQ = any_not_recovered(m);

    // Step 2: sections above QE_rho_Q per wire; copper-only wires count 0.
    IArr1 nQ(1, NS, 0);
    for (int w = 1; w <= NS; ++w) {
        if (m.Normw(w) != 0) continue;
        for (int b = 1; b <= m.NB; ++b)
            if (m.Rho_w(b, w) > m.QE_rho_Q) nQ(w) += 1;
    }

    m.QE_Dec(it) = decide(m, nQ, AnyNQ);
    if (m.VoltStopFlag == 1) m.QE_Dec(it) = 1;
    if (m.Time > m.TimeEnd && m.QE_Dec(it) == kUndecided)
        qe_stop(m, "No QE decision can be taken at final time step.");
    if (it == NrItQE_M)
        qe_stop(m, "No QE decision can be taken at final iteration. Program is aborded.");
    if (m.QE_Dec(it) == kUndecided) return;

    next_trial(m);
    const int hw = m.NW_HP(1);
    qe_decision_line(m, nQ(qe_cyclic_wire(hw - 1, NS)), nQ(hw), nQ(qe_cyclic_wire(hw + 1, NS)));
    accuracy_test(m);
    m.qe_unit.flush();
    if (m.RunDone == 0) {
        const char* text = m.hp_or_tc(m.Run) == 1
                               ? "Start next QE iteration with new estimate of Energy Pulse"
                               : "Start next QE iteration with new estimate of Transport Current";
        console(m, text);
        m.log_unit.line(text);
    }
}

}  // namespace vorn
