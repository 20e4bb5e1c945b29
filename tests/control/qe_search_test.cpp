// The quench decision of the quench-energy search on a bare store: which
// wires decide, when recovery may be called, the bracket-and-bisect sequence
// of the trials with the rescaled heater table, the accuracy test on the
// last two trials, and the two stops.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "control/control.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

// NS = 4 wires, NB = 3 bands, one heater on wire 1; the pulse ends at 1 ms.
// QE_rho_Q = 1e-11 and QE_nr_sec = 2: a wire with two bands above 1e-11
// counts as quenched.
class QEDecision : public ::testing::Test {
protected:
    void SetUp() override {
        m.con_out = &console_text;
        m.con_err = &console_text;
        m.NS = 4;
        m.NB = 3;
        set_derived_counts(m);
        m.Rho_w.allocate(1, m.NB, 1, m.NS, 1e-14);
        m.Rho_s.allocate(1, m.NB, 2, m.NS_2m1, 1e-14);
        m.Normw.allocate(1, m.NS, 0);
        m.Norms.allocate(1, m.NB, 2, m.NS_2m1, 0);
        m.NW_HP.allocate(1, 1, 1);
        m.QE_Dec.allocate(1, NrItQE_M, -99);
        m.QE_rho_Q = 1e-11;
        m.QE_rho_NQ = 5e-14;
        m.QE_nr_sec = 2;
        m.t_HP_end = 1e-3;
        m.TimeEnd = 1.0;
        m.Run = 1;
        m.Iter = 1;
        for (IArr1* a : {&m.hp_or_tc, &m.qe_reg}) a->allocate(1, 1, 1);
        m.ny_bi.allocate(1, 1, 0);
        m.qe_f.allocate(1, 1, 2.0);
        m.qe_acc.allocate(1, 1, 5.0);
        m.b_qe.allocate(1, 1, 5.0);
        m.e_hp.allocate(1, 1, 1, NrItQE_M, 0.0);
        m.tc_qe.allocate(1, 1, 1, NrItQE_M, 0.0);
        m.e_hp(1, 1) = 1e-3;
        m.tc_qe(1, 1) = 1000;
        // Heater table: two points, 0 and 2 W; its input energy 1 mJ.
        m.NrT_HP = 2;
        m.Nr_HP = 1;
        m.P_HP_inp.allocate(1, 2, 1, 1, 0.0);
        m.P_HP_inp(2, 1) = 2.0;
        m.P_HP = m.P_HP_inp;
        m.E_HP_inp = 1e-3;
        m.E_HP_min = 0;
        m.E_HP_max = 1e20;
        m.TC_min = m.TC_max = 1000;
        m.output_dir = m.run_dir = tmp.str() + "/";
        ASSERT_TRUE(m.msg_unit.open(m.output_dir + "VORN_messages.dat", OpenMode::Append));
        ASSERT_TRUE(m.log_unit.open(m.run_dir + "VORN_convergency.dat", OpenMode::Replace));
        qe_file_open(m);
    }

    // Wire w quenched over `bands` bands (the others superconducting).
    void quench_wire(int w, int bands) {
        for (int b = 1; b <= bands; ++b) m.Rho_w(b, w) = 1e-9;
    }
    void all_recovered() {
        m.Rho_w.fill(1e-14);
        m.Rho_s.fill(1e-14);
    }

    // One QE iteration with the given outcome at a step well after the
    // pulse; returns the decision recorded.
    int iterate(bool quench) {
        m.QE_Dec(m.Iter) = -99;
        all_recovered();
        if (quench) quench_wire(m.NW_HP(1), 2);
        m.Time = 5e-3;
        qe_decision(m);
        const int d = m.QE_Dec(m.Iter);
        if (m.RunDone == 0) m.Iter += 1;
        return d;
    }

    std::vector<std::string> qe_lines() {
        m.qe_unit.flush();
        return read_lines(tmp.path() / "VORN_QE.dat");
    }

    TempDir tmp;
    std::ostringstream console_text;
    Model m;
};

TEST_F(QEDecision, QuenchesDivideByTheFactorThenBisectOnTheLastTwoTrials) {
    // 1 mJ quenches, 0.5 quenches, 0.25 survives: bracket [0.25, 0.5]; then
    // bisection 0.375 (q), 0.3125 (q).  The last two trials differ by
    // 0.0625 / 0.6875 = 9.1 % < 10 %, which ends the run, while the bracket
    // [0.25, 0.3125] is still 11 % wide.
    m.qe_acc(1) = 10.0;
    const bool outcome[] = {true, true, false, true, true};
    const double expected_next[] = {0.5e-3, 0.25e-3, 0.375e-3, 0.3125e-3, 0.28125e-3};
    for (int k = 0; k < 5; ++k) {
        ASSERT_EQ(m.RunDone, 0) << k;
        EXPECT_EQ(iterate(outcome[k]), outcome[k] ? 1 : 0);
        EXPECT_DOUBLE_EQ(m.e_hp(1, k + 2), expected_next[k]) << k;
        EXPECT_EQ(m.tc_qe(1, k + 2), 1000.0);  // the fixed variable is carried on
        // The pulse keeps its shape and carries the new energy.
        EXPECT_DOUBLE_EQ(m.P_HP(2, 1), 2.0 * expected_next[k] / 1e-3) << k;
    }
    EXPECT_EQ(m.Iter, 5);
    EXPECT_EQ(m.RunDone, 1);
    EXPECT_DOUBLE_EQ(m.E_HP_min, 0.25e-3);
    EXPECT_DOUBLE_EQ(m.E_HP_max, 0.3125e-3);

    const auto lines = qe_lines();
    ASSERT_EQ(lines.size(), 9u + 2u + 5u + 1u);
    EXPECT_EQ(lines.back(), "QE_accuracy in the energy pulse reached. Simulation stopped");
    // Iteration 2: decided at NTS 0, 5 ms, brackets after the update in uJ.
    EXPECT_EQ(lines[12],
              "      2,      0,     5.00000,     0.00000,   500.00000,   500.00000,  1000.00000,"
              "  1000.00000,  1000.00000,     0.00000,     0.00000,     0.00000,      1,      0,"
              "      2,      0");
    // Iteration 1: the quench sets the upper bracket; no lower one yet.
    EXPECT_EQ(lines[11].substr(0, 55), "      1,      0,     5.00000,     0.00000,  1000.00000,");
    // Four times the next-iteration message, on the console and in the
    // convergency file.
    std::size_t n = 0, pos = 0;
    const std::string next = "Start next QE iteration with new estimate of Energy Pulse";
    while ((pos = console_text.str().find(next, pos)) != std::string::npos) ++n, ++pos;
    EXPECT_EQ(n, 4u);
    m.log_unit.flush();
    EXPECT_EQ(read_lines(tmp.path() / "VORN_convergency.dat").size(), 4u);
}

TEST_F(QEDecision, UnsetUpperBracketOverflowsItsField) {
    EXPECT_EQ(iterate(false), 0);
    // 1e20 J = 1e26 uJ does not fit F12.5.
    EXPECT_EQ(qe_lines().back().substr(29, 26), "  1000.00000,************,");
}

TEST_F(QEDecision, CurrentSearchMultipliesUntilAQuenchAndTestsAccuracy) {
    m.hp_or_tc(1) = 2;
    m.E_HP_min = m.E_HP_max = 1e-3;
    m.TC_min = 0;
    m.TC_max = 1e20;
    m.qe_acc(1) = 10.0;
    // 1000 A survives, 2000 A quenches, 1500 A: |2000 - 1500| / 3500 = 14 %,
    // 1750 A: 250 / 3250 = 7.7 % < 10 %.
    EXPECT_EQ(iterate(false), 0);
    EXPECT_EQ(m.tc_qe(1, 2), 2000.0);
    EXPECT_EQ(iterate(true), 1);
    EXPECT_EQ(m.tc_qe(1, 3), 1500.0);
    EXPECT_EQ(m.e_hp(1, 3), 1e-3);
    EXPECT_EQ(m.P_HP(2, 1), 2.0);  // the pulse stays as it is
    EXPECT_EQ(iterate(false), 0);
    EXPECT_EQ(m.RunDone, 0);
    EXPECT_EQ(iterate(true), 1);
    EXPECT_EQ(m.RunDone, 1);
    EXPECT_EQ(m.TC_min, 1500.0);
    EXPECT_EQ(m.TC_max, 1750.0);
    EXPECT_EQ(qe_lines().back(),
              "QE_accuracy in the transport current reached. Simulation stopped");
}

TEST_F(QEDecision, SecondNeighboursDecideCyclicallyAndCopperWiresNeverQuench) {
    m.qe_reg(1) = 2;  // wire 1 heated: the wires one place further, 4 and 2
    m.Time = 0.5e-3;  // within the pulse: no recovery can be called
    quench_wire(1, 3);
    quench_wire(3, 3);
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(1), -99);  // neither the heated wire nor wire 3 decides

    quench_wire(4, 2);  // left of wire 1, cyclically
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(1), 1);
    // The decision line shows the adjacent wires 4, 1, 2 whatever qe_reg.
    const std::string line = qe_lines().back();
    EXPECT_EQ(line.substr(line.size() - 31), "      1,      2,      3,      0");

    m.Iter = 2;
    m.QE_Dec(2) = -99;
    all_recovered();
    quench_wire(2, 1);  // one band only: below QE_nr_sec
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(2), -99);

    m.Normw(2) = 1;  // a copper wire is resistive, never quenched
    quench_wire(2, 3);
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(2), -99);
    m.Normw(2) = 0;
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(2), 1);
}

TEST_F(QEDecision, RecoveryIsCalledOnlyAfterThePulseAndWithoutResistiveSections) {
    // qe_reg = 1: after 1.101 t_HP_end; between 1.1 and 1.101 nothing yet.
    m.Time = 1.1005e-3;
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(1), -99);
    m.Time = 1.102e-3;
    m.Rho_s(2, 3) = 1e-13;  // a section still above QE_rho_NQ
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(1), -99);
    m.Norms(2, 3) = 1;  // ... of a copper strand: does not hold the decision
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(1), 0);

    // qe_reg > 1: already after 1.1 t_HP_end.
    m.qe_reg(1) = 3;
    m.Iter = 2;
    m.QE_Dec(2) = -99;
    m.Time = 1.1005e-3;
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(2), 0);
}

TEST_F(QEDecision, VoltageStopCountsAsQuench) {
    m.Time = 0.5e-3;
    m.VoltStopFlag = 1;
    qe_decision(m);
    EXPECT_EQ(m.QE_Dec(1), 1);
    EXPECT_EQ(m.e_hp(1, 2), 0.5e-3);
}

TEST_F(QEDecision, NoDecisionAtTheEndOfTheScheduleStops) {
    m.Time = 0.5e-3;
    m.TimeEnd = 0.4e-3;
    EXPECT_THROW(qe_decision(m), ProgramStop);
    const std::string text = "No QE decision can be taken at final time step.";
    EXPECT_EQ(qe_lines().back(), text);
    EXPECT_EQ(read_lines(tmp.path() / "VORN_messages.dat").back(), text);
}

TEST_F(QEDecision, NineteenthIterationStopsWhateverTheDecision) {
    m.Iter = NrItQE_M;
    m.Time = 5e-3;
    quench_wire(1, 2);
    EXPECT_THROW(qe_decision(m), ProgramStop);
    const std::string text = "No QE decision can be taken at final iteration. Program is aborded.";
    EXPECT_EQ(qe_lines().back(), text);
    EXPECT_EQ(read_lines(tmp.path() / "VORN_messages.dat").back(), text);
}

TEST(QECyclicWire, WrapsBothWays) {
    EXPECT_EQ(qe_cyclic_wire(0, 4), 4);
    EXPECT_EQ(qe_cyclic_wire(-1, 4), 3);
    EXPECT_EQ(qe_cyclic_wire(5, 4), 1);
    EXPECT_EQ(qe_cyclic_wire(2, 4), 2);
    EXPECT_EQ(qe_cyclic_wire(-39, 8), 1);
}

}  // namespace
}  // namespace vorn::test
