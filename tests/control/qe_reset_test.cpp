// The state a QE iteration starts from: what the time loop changes comes
// back as it was before the first run; the search's own tables stay.
#include <gtest/gtest.h>

#include "control/control.hpp"
#include "small_cable.hpp"

namespace vorn::test {
namespace {

TEST(QEStartState, TimeLoopStateComesBackSearchTablesStay) {
    Model m;
    small_cable(m, 3);
    allocate_arrays(m);
    m.Ts.fill(4.2);
    m.e_hp.allocate(1, 1, 1, NrItQE_M, 0.0);
    qe_keep_start_state(m);

    // What an iteration leaves behind.
    m.Ts(2, 5) = 9.0;
    m.Rs(1, 3) = 1e-3;
    m.Cs_prev(3, 2) = 250.0;
    m.A_nca(4) = 7.0;
    m.NrSATs(2, 2) = 1;
    m.energy.E_HP = 1e-4;
    m.trig_prog.time = 0.5;
    m.dIdt = 100.0;
    m.Ts_max = 9.0;
    m.DtReduced = 1;
    m.NrStepDt = 3;
    // What the search itself keeps.
    m.e_hp(1, 2) = 2e-5;
    m.E_HP_max = 4e-5;
    m.Iter = 2;

    qe_restore_start_state(m);
    EXPECT_EQ(m.Ts(2, 5), 4.2);
    EXPECT_EQ(m.Rs(1, 3), 0.0);
    EXPECT_EQ(m.Cs_prev(3, 2), 0.0);
    EXPECT_EQ(m.A_nca(4), 0.0);
    EXPECT_EQ(m.NrSATs(2, 2), 0);
    EXPECT_EQ(m.energy.E_HP, 0.0);
    EXPECT_EQ(m.trig_prog.time, 0.0);
    EXPECT_EQ(m.dIdt, 0.0);
    EXPECT_EQ(m.Ts_max, 0.0);
    EXPECT_EQ(m.DtReduced, 0);
    EXPECT_EQ(m.NrStepDt, 0);
    EXPECT_EQ(m.e_hp(1, 2), 2e-5);
    EXPECT_EQ(m.E_HP_max, 4e-5);
    EXPECT_EQ(m.Iter, 2);
    // The set-up tables are still there.
    EXPECT_GT(m.l_div_a(2), 0.0);
    EXPECT_TRUE(m.Cp_Cu_a.allocated());
}

TEST(QEStartState, NothingKeptNothingRestored) {
    Model m;
    m.dIdt = 5.0;
    qe_restore_start_state(m);  // without the search
    EXPECT_EQ(m.dIdt, 5.0);
}

}  // namespace
}  // namespace vorn::test
