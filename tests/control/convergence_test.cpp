// Convergence decision, its progress lines, saturation counts and the
// previous-step bookkeeping; the case directories; the QE result files.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "control/control.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

class Convergence : public ::testing::Test {
protected:
    void SetUp() override {
        set_example_parameters(m);
        set_derived_counts(m);
        allocate_input_arrays(m);
        allocate_arrays(m);
        m.ConvFR.allocate(1, 5, 1.0);
        for (int c = 2; c <= 5; ++c) m.ConvFR(c) = m.ConvFR(c - 1) / 2;
        m.con_out = &console;
        m.Run = 1;
        m.Iter = 1;
        m.CntR = 1;
    }
    Model m;
    std::ostringstream console;
};

TEST_F(Convergence, ConstantResistivityConvergesUnlessTheRightHandSideMoves) {
    m.Opt_RsCalc = 1;
    m.NTS = 0;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 1);

    m.NTS = 3;  // inductive check with coupled bands
    m.IndUnch = 0;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 0);
    m.IndUnch = 1;
    m.NrCsCh = 2;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 0);
    m.NBMut = 0;  // no coupled bands: no inductive check
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 1);
}

TEST_F(Convergence, TemperaturesOnNeverConvergeAtTheFirstPass) {
    m.Opt_RsCalc = 2;
    m.Opt_Temp = 1;
    m.NTS = 0;
    m.NrItRs = 1;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 0);
    m.NrItRs = 2;  // nothing changed, no resistive section
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 1);
    m.NrSecRes = 4;  // resistive sections: currents must settle too
    m.NrCsCh = 1;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 0);
    m.NrCsCh = 0;
    m.NrTHsCh = 1;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 0);
}

// What the network solution is told before it runs: the iteration cannot
// end its step.  Over the options and counters the decision reads (every
// other counter settled, so that only these decide), "cannot" is never
// followed by a converged decision, and it is said where it should be.
TEST_F(Convergence, CannotConvergeIsNeverFollowedByConvergence) {
    int said = 0;
    for (int rs : {1, 2, 3})
        for (int temp : {0, 1})
            for (int unif : {0, 1, 2})
                for (int nts : {0, 3})
                    for (int it : {1, 2})
                        for (int sec : {0, 2})
                            for (int ch : {0, 1}) {
                                m.Opt_RsCalc = rs;
                                m.Opt_Temp = temp;
                                m.Opt_UnifCur1 = unif;
                                m.NTS = nts;
                                m.NrItRs = it;
                                m.NrSecRes = sec;
                                m.NrRsCh = ch;
                                m.IndUnch = 1;
                                m.NrCsCh = m.NrTsCh = m.NrTHsCh = 0;
                                const bool cannot = iteration_cannot_converge(m);
                                iteration_yn(m);
                                if (cannot) {
                                    ++said;
                                    EXPECT_EQ(m.ConvYN, 0) << rs << temp << unif << nts << it << sec << ch;
                                }
                            }
    EXPECT_GT(said, 0);
    m.Opt_RsCalc = 2;
    m.Opt_Temp = 1;
    m.Opt_UnifCur1 = 0;
    m.NTS = 3;
    m.NrItRs = 2;
    m.NrSecRes = 2;
    m.NrRsCh = 1;
    EXPECT_TRUE(iteration_cannot_converge(m));
    m.NrRsCh = 0;
    EXPECT_FALSE(iteration_cannot_converge(m)) << "the currents and temperatures decide";
    m.NrItRs = 1;
    EXPECT_TRUE(iteration_cannot_converge(m));
}

TEST_F(Convergence, SelfFieldShortcutAtTheFirstPass) {
    m.Opt_RsCalc = 2;
    m.Opt_Temp = 0;
    m.Opt_SF = 1;
    m.NTS = 0;
    m.NrItRs = 1;
    m.nPow = 10;
    m.ICs.fill(100);
    const double limit = std::pow(0.1, 0.1) * 100;  // 79.4 A
    m.Cs.fill(limit - 0.01);
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 1);
    m.Cs(7, 9) = limit + 0.01;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 0);
}

TEST_F(Convergence, UniformStartConvergesAtOnce) {
    m.Opt_RsCalc = 3;
    m.Opt_Temp = 1;
    m.Opt_UnifCur1 = 1;
    m.NTS = 0;
    m.NrItRs = 1;
    iteration_yn(m);
    EXPECT_EQ(m.ConvYN, 1);
}

TEST_F(Convergence, StepsBackOneLevelOnlyWhileTheCurrentIsNotRising) {
    m.Opt_RsCalc = 1;
    m.NTS = 0;
    m.CntR = 3;
    m.NrItRs = 1;
    m.NrItBack = 3;
    m.dIdt = 5;
    iteration_yn(m);
    EXPECT_EQ(m.CntR, 3);
    m.dIdt = 0;
    iteration_yn(m);
    EXPECT_EQ(m.CntR, 2);
    m.NrItRs = 3;  // not quicker than NrItBack
    iteration_yn(m);
    EXPECT_EQ(m.CntR, 2);
}

TEST_F(Convergence, WritesTheConsoleAndConvergencyLines) {
    TempDir tmp;
    ASSERT_TRUE(m.log_unit.open((tmp.path() / "conv.dat").string(), OpenMode::Replace));
    m.Opt_RsCalc = 1;
    m.Run = 2;
    m.Iter = 3;
    m.NTS = 12;
    m.NBMut = 0;
    m.Time = 0.0125;
    m.CntR = 2;
    m.NrItRs = 4;
    m.NrCsCh = 17;
    iteration_yn(m);
    EXPECT_EQ(console.str(),
              "   B    3     0.012500   0.500      4      0     17      0      0      0      0\n");
    m.log_unit.close();
    EXPECT_EQ(read_file(tmp.path() / "conv.dat"),
              "      B,      3,     12,    0.012500,  0.500,      4,      0,     17,      0,      "
              "0,      0,      0\n");
}

TEST_F(Convergence, SaturationCountsAtTheCriticalCurrent) {
    m.ICs.fill(10);
    m.Cs.fill(0);
    m.Cs(1, 2) = 10;    // at Ic: saturated
    m.Cs(1, 3) = -10;   // at -Ic: not
    m.Cs(1, 4) = -10.5; // below -Ic
    saturation_check(m);
    EXPECT_EQ(m.NrSATs(1, 2), 1);
    EXPECT_EQ(m.NrSATs(1, 3), 0);
    EXPECT_EQ(m.NrSATs(1, 4), -1);
    EXPECT_EQ(m.NrSATs(2, 2), 0);
}

TEST_F(Convergence, PreviousValuesAndMaximumTemperature) {
    m.Ts.fill(4.2);
    m.Ts(3, 5) = std::numeric_limits<double>::quiet_NaN();
    m.Ts(9, 7) = 6.5;
    m.Cs.fill(3);
    m.Ts_max = 5.0;
    define_prev_min_max(m);
    EXPECT_EQ(m.Ts_max, 6.5);
    EXPECT_EQ(m.Tmax_prev, 5.0);
    EXPECT_EQ(m.Cs_prev(4, 4), 3.0);

    m.Ts.fill(std::numeric_limits<double>::quiet_NaN());
    define_prev_min_max(m);
    EXPECT_TRUE(std::isnan(m.Ts_max));
}

TEST(CaseDirectories, ComposedBelowTheRoot) {
    Model m;
    std::ostringstream out;
    m.con_out = &out;  // a cut name is a warning on the console
    m.root_dir = "VORN_data/";
    m.sub_dir = "Test";
    m.case_nr = "045";
    compose_case_directories(m);
    EXPECT_EQ(m.case_dir, "VORN_data/Test/Test-045");
    EXPECT_EQ(m.input_dir, "VORN_data/Test/Test-045/input/");
    EXPECT_EQ(m.output_dir, "VORN_data/Test/Test-045/output/");

    m.sub_dir = std::string(20, 's');
    m.case_nr = std::string(20, 'c');
    m.root_dir = std::string(9, 'r') + "/";
    compose_case_directories(m);
    EXPECT_EQ(m.case_dir.size(), 72u);
    EXPECT_EQ(m.input_dir.size(), 79u);
    EXPECT_EQ(m.output_dir, m.case_dir + "/output/");  // exactly 80 characters
    EXPECT_EQ(out.str(), "");
    m.root_dir = std::string(10, 'r') + "/";
    compose_case_directories(m);
    EXPECT_EQ(m.output_dir, m.case_dir + "/output");  // cut at 80 characters
    EXPECT_EQ(out.str(), "Warning: the output directory \"" + m.case_dir +
                             "/output/\" is longer than 80 characters; it is cut to \"" +
                             m.output_dir + "\"\n");
    EXPECT_EQ(m.msg_kept.size(), 1u);  // for the messages file, once it is open
}

TEST(QuenchEnergyFiles, HeadersAndSummaryLine) {
    TempDir tmp;
    Model m;
    m.output_dir = tmp.str() + "/";
    m.run_dir = tmp.str() + "/";
    qe_summary_open(m);
    qe_file_open(m);
    m.Run = 1;
    m.Ba1 = 2.5;
    m.hp_or_tc.allocate(1, 1, 1);
    m.qe_f.allocate(1, 1, 2.0);
    m.qe_acc.allocate(1, 1, 1.0);
    m.e_hp.allocate(1, 1, 1, NrItQE_M, 0.0);
    m.tc_qe.allocate(1, 1, 1, NrItQE_M, 0.0);
    m.e_hp(1, 1) = 20e-6;
    m.tc_qe(1, 1) = 500;
    m.E_HP_min = 10e-6;
    m.E_HP_max = 30e-6;
    m.TC_min = m.TC_max = 500;
    qe_summary_line(m);
    m.qesum_unit.close();
    m.qe_unit.close();

    const auto sum = read_lines(tmp.path() / "VORN_QE_Sum.dat");
    ASSERT_EQ(sum.size(), 3u);
    EXPECT_EQ(sum[0].substr(0, 31), " Case,         Ba1,      TC_ini");
    EXPECT_EQ(sum[1].substr(0, 18), "  (-),         (T)");
    EXPECT_EQ(sum[2],
              "    1,       2.500,     500.000,      20.000,       2.000,       1.000,     "
              "500.000,     500.000,     500.000,      10.000,      30.000,      20.000,      "
              "50.000");

    const auto qe = read_lines(tmp.path() / "VORN_QE.dat");
    ASSERT_EQ(qe.size(), 11u);
    EXPECT_EQ(qe[0], "QDM:       Quench Decision Moment");
    EXPECT_EQ(qe[8], "");
    EXPECT_EQ(qe[9].substr(0, 28), "   Iter,    NTS,         QDM");
    EXPECT_EQ(qe[10].size(), 7u + 8u + 10u * 13u + 4u * 8u);
}

}  // namespace
}  // namespace vorn::test
