// The time schedule: interval membership, interpolation, halving of a failed
// step and growing back after five steps, the quench-energy override.
#include <gtest/gtest.h>

#include <sstream>

#include "control/control.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

// A table of three intervals: 0..1 ms (dt 0.1 ms, current ramp 1e5 A/s),
// 1..3 ms (dt 0.5 ms, field ramp 2 T/s), 3..4 ms (dt 1 ms, flat).
class Schedule : public ::testing::Test {
protected:
    void SetUp() override {
        m.con_err = &stop_echo;  // keep the echo of stop messages off the test log
        set_example_parameters(m);
        m.NrSteps_inp = 3;
        for (RArr1* a :
             {&m.t_inp, &m.dt_inp, &m.dur_inp, &m.cpc_ini, &m.cpc_fin, &m.ba1_ini, &m.ba1_fin,
              &m.ba2_ini, &m.ba2_fin, &m.dba1dt_inp, &m.dba2dt_inp, &m.didt_inp})
            a->allocate(0, 3, 0.0);
        const double dur[] = {0, 1e-3, 2e-3, 1e-3};
        const double dt[] = {0, 1e-4, 5e-4, 1e-3};
        const double didt[] = {0, 1e5, 0, 0};
        const double dbdt[] = {0, 0, 2, 0};
        m.cpc_fin(0) = 10;
        m.ba1_fin(0) = 0.5;
        m.ba2_fin(0) = 0.25;
        m.dba1dt_inp(0) = 7;  // rates of row 0 are those of t = 0
        for (int i = 0; i <= 3; ++i) {
            m.dur_inp(i) = dur[i];
            m.dt_inp(i) = dt[i];
            m.didt_inp(i) = didt[i];
            m.dba1dt_inp(i) = i == 0 ? 7 : dbdt[i];
        }
        for (int i = 1; i <= 3; ++i) {
            m.t_inp(i) = m.t_inp(i - 1) + m.dur_inp(i);
            m.cpc_fin(i) = m.cpc_fin(i - 1) + m.dur_inp(i) * m.didt_inp(i);
            m.ba1_fin(i) = m.ba1_fin(i - 1) + m.dur_inp(i) * m.dba1dt_inp(i);
            m.ba2_fin(i) = m.ba2_fin(i - 1);
        }
        for (int i = 0; i <= 3; ++i) {
            m.cpc_ini(i) = m.cpc_fin(i == 0 ? 0 : i - 1);
            m.ba1_ini(i) = m.ba1_fin(i == 0 ? 0 : i - 1);
            m.ba2_ini(i) = m.ba2_fin(i == 0 ? 0 : i - 1);
        }
        m.TimeEnd = m.t_inp(3);
    }

    // Advances like the driver: next NTS, new time values.
    void step() {
        m.NTS = m.NTS + 1;
        time_calculation(m);
        m.StepAdd = 0;
    }

    Model m;
    std::ostringstream stop_echo;
};

TEST_F(Schedule, StartsFromRowZero) {
    m.NTS = -1;
    m.dIdt = 123;  // kept at t = 0
    step();
    EXPECT_EQ(m.Time, 0.0);
    EXPECT_EQ(m.dt, 0.0);
    EXPECT_EQ(m.CPC, 10.0);
    EXPECT_EQ(m.Ba1, 0.5);
    EXPECT_EQ(m.Ba2, 0.25);
    EXPECT_EQ(m.dBa1dt, 7.0);
    EXPECT_EQ(m.dIdt, 123.0);
}

TEST_F(Schedule, IntervalsIncludeTheirUpperEnd) {
    // A step that ends exactly on the end of the first interval (0.9 ms +
    // 0.1 ms is exactly 1 ms in binary as well) belongs to that interval.
    m.NTS = 9;
    m.NrStepDt = 1;
    m.Time = 0.0009;
    m.dt = 1e-4;
    time_calculation(m);
    ASSERT_EQ(m.Time, m.t_inp(1));
    EXPECT_NEAR(m.CPC, 110.0, 1e-9);  // end of the current ramp
    EXPECT_EQ(m.dIdt, 1e5);
    EXPECT_EQ(m.dBa1dt, 0.0);

    // The next step starts in the second interval: its step length is the
    // first interval's (the interval of the time reached), its values the
    // second's.
    time_calculation(m);
    EXPECT_NEAR(m.Time, 1.1e-3, 1e-15);
    EXPECT_EQ(m.dIdt, 0.0);
    EXPECT_EQ(m.dBa1dt, 2.0);
}

TEST_F(Schedule, InterpolatesInsideAnInterval) {
    m.Time = 2e-3;  // placed by hand in the second interval
    m.NTS = 7;
    m.NrStepDt = 1;
    m.dt = 5e-4;
    time_calculation(m);
    EXPECT_NEAR(m.Time, 2.5e-3, 1e-15);
    EXPECT_NEAR(m.Ba1, 0.5 + 2 * 1.5e-3, 1e-12);
    EXPECT_EQ(m.dBa1dt, 2.0);
    EXPECT_EQ(m.dIdt, 0.0);
    EXPECT_NEAR(m.CPC, 110.0, 1e-9);
}

TEST_F(Schedule, FailedStepIsRepeatedWithHalfTheStepThenGrowsBack) {
    m.NTS = -1;
    step();
    step();
    step();  // NTS 2 at 0.2 ms
    ASSERT_EQ(m.NTS, 2);
    const double start = m.Time_prev;

    // The attempt of NTS 2 failed: the driver's next pass repeats it.
    m.StepAdd = 1;
    m.NTS = m.NTS + 1;
    time_calculation(m);
    m.StepAdd = 0;
    EXPECT_EQ(m.NTS, 2);
    EXPECT_EQ(m.Time_prev, start);
    EXPECT_NEAR(m.dt, 5e-5, 1e-18);
    EXPECT_NEAR(m.Time, start + 5e-5, 1e-15);

    // Five steps of the halved length, then the step doubles back to the
    // table's 0.1 ms and stays there.
    for (int i = 0; i < 5; ++i) {
        step();
        EXPECT_NEAR(m.dt, 5e-5, 1e-18) << "step " << i;
    }
    step();
    EXPECT_NEAR(m.dt, 1e-4, 1e-18);
    step();
    EXPECT_NEAR(m.dt, 1e-4, 1e-18);
}

// The last step of the schedule: an attempt beyond TimeEnd that failed is
// repeated with half the step (which may end before TimeEnd), and only a
// converged step beyond TimeEnd ends the run.
TEST_F(Schedule, AFailedLastStepIsRepeatedNotTheEnd) {
    m.NTS = -1;
    while (m.Time + m.dt_inp(3) <= m.TimeEnd) step();
    step();  // the attempt beyond 4 ms
    ASSERT_GT(m.Time, m.TimeEnd);
    EXPECT_FALSE(end_of_schedule(m, false));
    EXPECT_TRUE(end_of_schedule(m, true));

    m.StepAdd = 1;  // it failed: the driver's next pass halves it
    m.NTS = m.NTS + 1;
    time_calculation(m);
    m.StepAdd = 0;
    EXPECT_LE(m.Time, m.TimeEnd);
    EXPECT_FALSE(end_of_schedule(m, true));
    step();
    EXPECT_TRUE(end_of_schedule(m, true));
}

TEST_F(Schedule, AStepThatKeepsFailingStopsTheProgram) {
    TempDir tmp;
    ASSERT_TRUE(m.msg_unit.open((tmp.path() / "msg.dat").string(), OpenMode::Append));
    m.NTS = 5;
    m.Time = 5e-4;
    m.Time_prev = 4e-4;
    m.dt = 1e-4;
    int halvings = 0;
    try {
        for (;;) {
            m.StepAdd = 1;
            m.NTS = m.NTS + 1;
            time_calculation(m);
            ++halvings;
        }
    } catch (const ProgramStop&) {
    }
    EXPECT_EQ(halvings, 39);
    m.msg_unit.close();
    EXPECT_NE(read_file(tmp.path() / "msg.dat").find("time step halved 40 times"),
              std::string::npos);
}

TEST_F(Schedule, GrowthIsCappedByTheTableStep) {
    m.NTS = 4;
    m.Time = 5e-4;
    m.dt = 8e-5;
    m.NrStepDt = 5;
    time_calculation(m);
    EXPECT_NEAR(m.dt, 1e-4, 1e-18);  // min(0.1 ms, 2 x 0.08 ms)
    EXPECT_EQ(m.NrStepDt, 0);
    EXPECT_EQ(m.dt_prev, 8e-5);
}

TEST_F(Schedule, BeyondTheTableTheValuesStay) {
    m.NTS = 20;
    m.Time = 4e-3;
    m.dt = 1e-3;
    m.NrStepDt = 1;
    m.CPC = 1.0;
    m.Ba1 = 2.0;
    time_calculation(m);
    EXPECT_NEAR(m.Time, 5e-3, 1e-15);
    EXPECT_EQ(m.CPC, 1.0);
    EXPECT_EQ(m.Ba1, 2.0);
}

TEST_F(Schedule, QuenchEnergySearchOverridesCurrentAndFieldAtTimeZero) {
    TempDir tmp;
    ASSERT_TRUE(m.msg_unit.open((tmp.path() / "msg.dat").string(), OpenMode::Append));
    m.Opt_HP = 2;
    m.Run = 1;
    m.Iter = 2;
    m.tc_qe.allocate(1, 1, 1, NrItQE_M, 0.0);
    m.b_qe.allocate(1, 1, 3.0);
    m.ny_bi.allocate(1, 1, 1);
    m.tc_qe(1, 1) = 100;
    m.tc_qe(1, 2) = 50;
    m.NTS = -1;
    step();
    EXPECT_EQ(m.CPC, 50.0);
    EXPECT_EQ(m.Ba1, 1.5);  // proportional to the current
    EXPECT_EQ(m.Ba2, 1.5);
    m.msg_unit.close();
    EXPECT_EQ(read_file(tmp.path() / "msg.dat"),
              "Ba2 has been set equal to Ba1 because Opt_HP=2\n");

    m.ny_bi(1) = 0;
    m.NTS = -1;
    step();
    EXPECT_EQ(m.Ba1, 3.0);
    m.ny_bi(1) = 2;
    m.NTS = -1;
    EXPECT_THROW(step(), ProgramStop);
}

TEST(TimeStepSetUp, MatrixWidthAndHeaterPower) {
    Model m;
    set_example_parameters(m);
    set_derived_counts(m);
    allocate_input_arrays(m);
    allocate_arrays(m);
    m.NTS = 0;
    initialize_time_step(m);
    EXPECT_EQ(m.NBw, 7 * 12 - 1);
    EXPECT_EQ(m.NCa, 14 * 12 - 2);
    m.NTS = 1;
    initialize_time_step(m);
    EXPECT_EQ(m.NCa, 16 * 12 - 6);
    m.Opt_Cable = 1;
    initialize_time_step(m);
    EXPECT_EQ(m.NCa, 5 * 12 - 2);

    // Two heaters on one section overwrite; power linear within the table
    // and zero outside it.
    m.Opt_HP = 1;
    m.NrT_HP = 3;
    m.Nr_HP = 2;
    m.t_hp_inp.allocate(1, 3, 0.0);
    m.t_hp_inp(2) = 1e-3;
    m.t_hp_inp(3) = 2e-3;
    m.P_HP.allocate(1, 3, 1, 2, 0.0);
    m.P_HP(2, 1) = 10;
    m.P_HP(2, 2) = 20;
    m.NB_HP.allocate(1, 2, 4);
    m.Ns_HP.allocate(1, 2, 5);
    m.Time = 0.5e-3;
    initialize_time_step(m);
    EXPECT_DOUBLE_EQ(m.P_HP_arr(4, 5), 10.0);  // the second heater's half of 20 W
    m.Time = 2e-3;
    initialize_time_step(m);
    EXPECT_EQ(m.P_HP_arr(4, 5), 0.0);
}

TEST(CurrentEstimate, SharesTheCurrentAndItsIncrease) {
    Model m;
    set_example_parameters(m);
    set_derived_counts(m);
    allocate_input_arrays(m);
    allocate_arrays(m);
    m.NTS = 0;
    m.CPC = 120;
    cs_estimate(m);
    EXPECT_EQ(m.Cs(1, 2), 10.0);
    EXPECT_EQ(m.Cs(20, 23), 10.0);
    m.NTS = 3;
    m.Cs_prev.fill(5);
    m.dIdt = 1200;
    m.dt = 0.01;
    cs_estimate(m);
    EXPECT_DOUBLE_EQ(m.Cs(7, 13), 6.0);
}

}  // namespace
}  // namespace vorn::test
