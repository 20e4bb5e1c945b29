// Per-time-step result files: snapshot names and criteria, the field-line
// files, and the exact lines of Progress.dat and Signals.dat.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "output/output.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

// A tiny cable of 2 bands x 4 strands, its arrays created, the run
// directory a fresh temporary one.
class PerStep : public ::testing::Test {
protected:
    void SetUp() override {
        set_example_parameters(m);
        m.NB = 2;
        m.NS = 4;
        m.NrPFL = 2;
        set_derived_counts(m);
        allocate_input_arrays(m);
        allocate_arrays(m);
        m.wrarrays.allocate(1, 100, 1, 8, 0.0);
        m.signals.allocate(1, 100, 1, 8, 0.0);
        m.run_dir = dir.str() + "/";
        m.Run = 1;
        m.TimeEnd = 0.05;
        m.Ts.fill(4.2);
        m.NrWrArrays = 0;
        m.NrSignals = 0;
    }
    void select(int row, int code, double mult, int b1, int b2, int i1, int i2) {
        const double v[] = {double(row), double(code), mult,       double(b1),
                            double(b2),  double(i1),   double(i2), 0.0};
        for (int j = 1; j <= 8; ++j) m.wrarrays(row, j) = v[j - 1];
        m.NrWrArrays = std::max(m.NrWrArrays, row);
    }
    void step(int nts, double time, int force = 0) {
        m.NTS = nts;
        m.Time = time;
        write_nts(m, force);
    }
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            names.insert(e.path().filename().string());
        return names;
    }

    TempDir dir;
    Model m;
};

TEST_F(PerStep, StampNamesSortByTime) {
    select(1, 3, 1.0, 1, m.NB, 2, m.NS_2m1);
    const double times[] = {5e-6, 99999.9999994, 123456.789, 9999999.9994, 2e7};
    const char* stamps[] = {" 1 00000000005", " 1 99999999999", " 1 M0123456789", " 1 M9999999999",
                            " 1 S0020000000"};
    for (double t : times) step(1, t, 1);
    std::vector<std::string> expected;
    for (const char* s : stamps) expected.push_back(std::string(s) + " Cs.dat");
    const std::set<std::string> got = files();
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), expected);
    const auto lines = read_lines(dir.path() / expected[0]);
    EXPECT_EQ(lines.at(0), " Strand currents per section, Cs [A]");
    EXPECT_EQ(lines.at(4).substr(0, 15), "  NB,       Sum");
    EXPECT_EQ(lines.size(), 7u);  // header block, column line, two bands
}

TEST_F(PerStep, CriteriaForSnapshots) {
    select(1, 4, 1.0, 1, m.NB, 1, m.NS);
    m.dt_NTS = m.dT_NTS = m.dI_NTS = 1e9;
    step(0, 0.0);
    step(1, 0.125);
    step(2, 0.25);
    step(3, 0.5, 1);  // the final step is forced
    EXPECT_EQ(files(), (std::set<std::string>{" 1 00000000000 Cp.dat", " 1 00000500000 Cp.dat"}));

    m.dt_NTS = 0.25;
    m.dT_NTS = 0.5;
    m.dI_NTS = 10.0;
    step(4, 0.625);  // nothing changed enough
    step(5, 0.75);   // time reached
    step(6, 0.875);
    m.Ts(2, 5) = 4.8;
    step(7, 0.9375);  // temperature
    m.CPC = 10.5;
    step(8, 0.96875);  // current
    const auto got = files();
    EXPECT_EQ(got.size(), 5u);
    for (const char* name :
         {" 1 00000750000 Cp.dat", " 1 00000937500 Cp.dat", " 1 00000968750 Cp.dat"})
        EXPECT_TRUE(got.count(name)) << name;
}

TEST_F(PerStep, SelectionsThatWriteNothingAndRangesThatDoNotFit) {
    select(1, 83, 1.0, 1, m.NB, 2, m.NS_2m1);   // temperatures are off
    select(2, 999, 1.0, 1, m.NB, 1, m.NS);      // no such array
    select(3, 113, 1.0, 1, m.NB, 2, m.NS_2m1);  // self field is off
    // Critical currents per section with the per-position default range:
    // written over the sections of the array.
    select(4, 74, 1.0, 1, m.NB, 1, m.NS);
    step(0, 0.0);
    EXPECT_EQ(files(), std::set<std::string>{" 1 00000000000 ICs.dat"});
    const auto lines = read_lines(dir.path() / " 1 00000000000 ICs.dat");
    EXPECT_EQ(lines.at(4).substr(59),
              ",         2,         3,         4,         5,         6,"
              "         7");
}

TEST_F(PerStep, FieldLineRawAndCompensated) {
    m.Opt_FLC = 1;
    m.CPC = 40.0;  // 10 A per strand
    m.BFL_x(1) = 0.002;
    m.BFL_x(2) = 0.004;
    m.BFLtr_x(1) = 1e-4;
    m.BFLtr_x(2) = 2e-4;
    step(0, 0.0);
    EXPECT_EQ(files(), (std::set<std::string>{
                           " 1 00000000000 BFL_x.dat", " 1 00000000000 BFL_x-BFLtr_x.dat",
                           " 1 00000000000 BFL_y.dat", " 1 00000000000 BFL_y-BFLtr_y.dat",
                           " 1 00000000000 BFLz.dat", " 1 00000000000 BFL_z-BFLtr_z.dat"}));
    const auto raw = read_lines(dir.path() / " 1 00000000000 BFL_x.dat");
    const auto comp = read_lines(dir.path() / " 1 00000000000 BFL_x-BFLtr_x.dat");
    ASSERT_EQ(raw.size(), 6u);
    ASSERT_EQ(comp.size(), 6u);
    EXPECT_EQ(raw[5],
              "     6.000,     3.000,     1.414,     2.000,     4.000,     2.000,     4.000");
    EXPECT_EQ(comp[0],
              " Field in x-direction along a line compensated for the transport field, "
              "BFL_x-BFLtr [mT]");
    EXPECT_EQ(comp[5],
              "     3.000,     1.500,     0.707,     1.000,     2.000,     1.000,     2.000");
}

TEST_F(PerStep, ProgressLines) {
    m.dBa1dt = 0.5;
    m.Ba1 = 1.25;
    m.dIdt = 100.0;
    m.CPC = 200.0;
    m.Ts(2, 5) = 4.75;
    m.THs.fill(4.2);
    m.Pa.fill(0.001);
    m.Pc(3, 1) = 0.002;  // the plane at the far end counts in the totals
    m.Ps(1, 2) = 0.0005;
    m.P_HP_arr(1, 3) = 0.25;
    m.PaInf_T = 0.003;
    m.Ca(1, 1) = -3.0;
    m.Cc(1, 1) = 1.5;
    m.Cc(3, 2) = -6.0;  // ... but not in the mean over the bands
    m.Cs.fill(50.0);
    m.Cs(2, 4) = -70.0;
    m.ICs.fill(500.0);
    m.ICs(1, 6) = 320.0;
    m.dt_Prog = 1e9;
    m.dT_Prog = m.dI_Prog = 1e9;
    m.NTS = 0;
    write_progress(m);
    const auto lines = read_lines(dir.path() / "Progress.dat");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "  NTS,            dt,          Time,     dBa1dt,        Ba1,     dBa2dt,        Ba2,"
              "       dIdt,        CPC,     Ts_max,    THs_max,   Pt_T/CPC,       P_HP_T,       "
              "HF_s_T,      HF_He_T,     HF_ins_T,         Pa_T,         Pc_T,         Ps_T,      "
              "  PFs_T,         Pt_T,       P_IS_T,      PaInf_T,      PcInf_T,      PsInf_T,     "
              "  Pa_max,       Pc_max,       Ps_max,        Ca_av,        Cc_av,        Cs_av,    "
              "   Ca_max,       Cc_max,       Cs_max,       Cs_min,      ICs_min");
    EXPECT_EQ(
        lines[1],
        "  (-),           (s),           (s),      (T/s),        (T),      (T/s),        (T),"
        "      (A/s),        (A),        (K),        (K),       (uV),         (mW),         "
        "(mW),         (mW),         (mW),         (mW),         (mW),         (mW),         "
        "(mW),         (mW),         (mW),         (mW),         (mW),         (mW),         "
        "(mW),         (mW),         (mW),          (A),          (A),          (A),          "
        "(A),          (A),          (A),          (A),          (A)");
    EXPECT_EQ(lines[2],
              "    0,   0.000000000,     0.0000000,     0.5000,     1.2500,     0.0000,     0.0000,"
              "   100.0000,   200.0000,     4.7500,     4.2000,    92.5000,   250.000000,     "
              "0.000000,     0.000000,     0.000000,    16.000000,     2.000000,     0.500000,     "
              "0.000000,    18.500000,     0.000000,     3.000000,     0.000000,     0.000000,     "
              "1.000000,     2.000000,     0.500000,    -0.187500,     0.250000,    40.000000,     "
              "3.000000,     6.000000,    70.000000,    50.000000,   320.000000");

    // Appended: no line while nothing changes, then the end of the schedule.
    m.NTS = 1;
    m.Time = 0.01;
    write_progress(m);
    m.NTS = 2;
    m.Time = 0.05;
    write_progress(m);
    const auto more = read_lines(dir.path() / "Progress.dat");
    ASSERT_EQ(more.size(), 4u);
    EXPECT_EQ(more[3].substr(0, 36), "    2,   0.000000000,     0.0500000,");
}

TEST_F(PerStep, SignalsHeaderAndMeans) {
    // The third signal: currents times 1000, written in mA.
    m.NrSignals = 3;
    const double rows[3][8] = {
        {1, 3, 1, 1, 2, 2, 3, 0}, {2, 999, 1000, 1, 1, 1, 4, 0}, {3, 3, 1000, 1, 1, 2, 2, 0}};
    for (int r = 0; r < 3; ++r)
        for (int j = 0; j < 8; ++j) m.signals(r + 1, j + 1) = rows[r][j];
    m.Cs(1, 2) = 10.0;
    m.Cs(1, 3) = 11.0;
    m.Cs(2, 2) = 14.0;
    m.Cs(2, 3) = 15.0;
    m.Cs(2, 4) = 1000.0;  // outside the block
    m.NTS = 0;
    write_progress(m);  // writes its line, then the signals
    m.NTS = 1;
    m.Time = 0.002;
    m.Cs(1, 2) = 14.0;
    write_signals(m);
    EXPECT_EQ(read_file(dir.path() / "Signals.dat"),
              m.run_dir + "\n" +
                  " Signal number,           ,          1,          2,          3\n"
                  "      Multipl.,           ,  1.000E+00,  1.000E+03,  1.000E+03\n"
                  "      Ini band,           ,          1,          1,          1\n"
                  "      Fin band,           ,          2,          1,          1\n"
                  "   Ini section,           ,          2,          1,          2\n"
                  "   Fin section,           ,          3,          4,          2\n"
                  "           NTS,          t,         Cs,           ,         Cs\n"
                  "           (-),        (s),        (A),        (-),       (mA)\n"
                  "             0,      0.000,     12.500,      0.000,  10000.000\n"
                  "             1,      0.002,     13.500,      0.000,  14000.000\n");
}

}  // namespace
}  // namespace vorn::test
