// Temperature solution: helium heat flux per regime, the regime search,
// quiet sections, the bisection's energy balance and the step halving.
#include <gtest/gtest.h>

#include <cmath>

#include "thermal/materials.hpp"
#include "thermal_fixture.hpp"

namespace vorn::test {
namespace {

void helium_coefficients(Model& m) {
    m.a_Trans = 3000, m.n_Trans = 2.0;
    m.aKap = 900, m.nKap = 4.0, m.aFB_II = 800, m.HF_Lim_Kap = 1e4;
    m.aNC = 250, m.aNB = 1.0e4, m.aFB_I = 300, m.HF_Lim_NC = 1e3, m.HF_Lim_NB = 3e4;
    m.C = 1500, m.k = 0.02, m.p = -0.5, m.a_inf = 200, m.dT = 0.1;
}

// Each regime's flux from the helium (THe = 4.2 K) into a strand at 5 K,
// by hand.
TEST(HeliumFlux, EachRegimeByHand) {
    Model m;
    thermal_cable(m, 1, 2);
    helium_coefficients(m);
    const double Ts = 5.0, THe = 4.2, d = THe - Ts;
    const std::pair<int, double> expected[] = {
        {1, 3000 * (4.2 * 4.2 - 25.0)},
        {2, 900 * (std::pow(4.2, 4) - 625.0)},
        {3, 800 * d},
        {4, 250 * d},
        {5, -1.0e4 * std::pow(0.8, 2.5)},
        {6, 300 * d},
    };
    for (auto [regime, q] : expected) {
        m.Regime(1, 5) = regime;
        EXPECT_NEAR(helium_flux(m, 1, 5, Ts, THe), q, 1e-9 * std::fabs(q)) << regime;
        heat_flow_helium(m, 1, 5, Ts, THe);
        EXPECT_NEAR(m.HF_He(1, 5), m.A_He(5) * q, 1e-9 * std::fabs(q) * m.A_He(5)) << regime;
    }
    // Nucleate boiling keeps the sign of the difference.
    m.Regime(1, 5) = 5;
    EXPECT_NEAR(helium_flux(m, 1, 5, 4.2, 5.0), 1.0e4 * std::pow(0.8, 2.5), 1e-6);
}

// Supercritical helium cools only once the section has warmed by dT: before
// that the flux is zero, afterwards the transient term falls with time.
TEST(HeliumFlux, SupercriticalStartsAtItsOwnTime) {
    Model m;
    m.Opt_He = 1;
    thermal_cable(m, 1, 3);
    helium_coefficients(m);
    m.Regime(1, 5) = 10;
    m.T0_supercr.fill(-0.001);
    m.Time = 0.05;
    EXPECT_EQ(helium_flux(m, 1, 5, 6.0, 4.5), 0.0);
    m.T0_supercr(1, 5) = 0.01;
    const double h = 0.5 * std::sqrt(m.Pi * 1500 * 0.02) / std::sqrt(0.04) + 200;
    EXPECT_NEAR(helium_flux(m, 1, 5, 6.0, 4.5), -1.5 * h, 1e-9 * h);
}

// No power, quiet neighbours: every section keeps the bath temperature
// exactly, and with more than one band none of them is even solved.
TEST(TemperaturePass, QuietCableKeepsItsTemperatureExactly) {
    Model m;
    thermal_cable(m, 4, 1);
    ASSERT_GT(thermal_step(m, 1e-4, 2, [](Model&) {}), 0.0);
    for (int b = 1; b <= 4; ++b)
        for (int s = 2; s <= 15; ++s) {
            EXPECT_EQ(m.Ts(b, s), m.TBath) << b << " " << s;
            EXPECT_EQ(m.Solved_s(b, s), 0) << b << " " << s;
        }
    EXPECT_EQ(m.TsConv, 1);
}

// Cable ends are held: in band 1 sections 3..NS+1 and 2NS-2, in band NB
// section 2 and NS+1..2NS-1, even when heated.  The single band has no ends.
TEST(TemperaturePass, CableEndsAreHeld) {
    Model m;
    thermal_cable(m, 3, 1);
    m.P_HP_arr.fill(0.1);
    ASSERT_GT(thermal_step(m, 1e-5, 1, [](Model&) {}), 0.0);
    for (int s = 2; s <= 15; ++s) {
        const bool held1 = (s > 2 && s <= 9) || s == 14;
        const bool held3 = s == 2 || s > 8;
        EXPECT_EQ(m.Solved_s(1, s), held1 ? 0 : 1) << s;
        EXPECT_EQ(m.Solved_s(3, s), held3 ? 0 : 1) << s;
        EXPECT_EQ(m.Solved_s(2, s), 1) << s;
        EXPECT_EQ(m.NY_T(2, s), 1) << s;
        if (held1) {
            EXPECT_EQ(m.Ts(1, s), m.TBath);
        }
    }
    Model one;
    thermal_cable(one, 1, 1);
    ASSERT_GT(thermal_step(one, 1e-4, 1, [](Model&) {}), 0.0);
    for (int s = 2; s <= 15; ++s) {
        EXPECT_EQ(one.Solved_s(1, s), 1);
        EXPECT_NEAR(one.Ts(1, s), one.TBath, one.TsAcc);
    }
}

// An isolated section with a heater: the stored heat C (T - T0) equals the
// heater energy to within C tol, and the bracket limit TincrM makes a step
// that needs more fail.
TEST(TemperaturePass, IsolatedSectionStoresItsHeaterEnergy) {
    Model m;
    thermal_cable(m, 1, 1);
    m.F_HF_str = 0;
    m.F_cont = 0;
    m.P_HP_arr(1, 5) = 0.02;  // W
    const double dt = 1e-4;
    ASSERT_EQ(thermal_step(m, dt, 1, [](Model&) {}), dt);
    const double T0 = m.TBath, T = m.Ts(1, 5);
    EXPECT_GT(T, T0 + 0.05);
    const double C = cp_calculation(m, 1, 5, (T0 + T) / 2);
    EXPECT_NEAR(C * (T - T0), 0.02 * dt, C * 0.4 * m.TsAcc + 1e-3 * 0.02 * dt);
    EXPECT_NEAR(m.Ts(1, 6), T0, m.TsAcc);

    Model small;
    thermal_cable(small, 1, 1);
    small.F_HF_str = 0;
    small.F_cont = 0;
    small.TincrM = 0.1 * (T - T0);
    small.P_HP_arr(1, 5) = 0.02;
    // One pass alone asks for the step to be repeated ...
    small.NTS = 1, small.dt = dt, small.NrItRs = 0, small.NrItTs = 1;
    temp_calculation(small);
    EXPECT_EQ(small.StepAdd, 1);
    // ... and the step goes through with a fraction of it.
    const double taken = thermal_step(small, dt, 1, [](Model&) {});
    EXPECT_GT(taken, 0.0);
    EXPECT_LE(taken, dt / 8);
}

// Regime search above the lambda point starts at natural convection and
// moves on as the flux passes each regime's limit.
TEST(RegimeSearch, AboveLambdaByHeatFlux) {
    for (auto [lim_nc, lim_nb, regime] : {std::tuple{1e9, 1e9, 4}, std::tuple{1.0, 1e9, 5},
                                          std::tuple{1.0, 1.0, 6}}) {
        Model m;
        thermal_cable(m, 1, 2);
        helium_coefficients(m);
        m.HF_Lim_NC = lim_nc, m.HF_Lim_NB = lim_nb;
        m.P_HP_arr(1, 5) = 0.02;
        ASSERT_GT(thermal_step(m, 1e-4, 1, [](Model&) {}), 0.0);
        EXPECT_EQ(m.Regime(1, 5), regime);
        EXPECT_EQ(m.Regime(1, 9), 4);  // unheated: natural convection holds
        EXPECT_EQ(m.THs(1, 5), m.TBath);  // an unlimited bath
        EXPECT_LT(m.HF_He(1, 5), 0.0);
    }
}

// Below the lambda point the search starts at Kapitza; a flux above its
// limit goes on to superfluid film boiling.  When the helium of the voids
// warms beyond 2.1652 K both are invalid and a normal-helium regime
// takes over.
TEST(RegimeSearch, BelowLambdaAndTheSwitch) {
    for (auto [lim_kap, regime] : {std::pair{1e9, 2}, std::pair{1.0, 3}}) {
        Model m;
        thermal_cable(m, 1, 2, 1.9);
        helium_coefficients(m);
        m.HF_Lim_Kap = lim_kap;
        m.P_HP_arr(1, 5) = 0.02;
        ASSERT_GT(thermal_step(m, 1e-4, 1, [](Model&) {}), 0.0);
        EXPECT_EQ(m.Regime(1, 5), regime);
        if (lim_kap > 1e8) {  // far from the heater
            EXPECT_EQ(m.Regime(1, 13), 2);
        }
    }
    Model m;
    thermal_cable(m, 1, 3, 2.1);
    helium_coefficients(m);
    m.Vol_He.fill(1e-13);  // little helium: it warms with the strand
    for (int s = 2; s <= 15; ++s) m.Mass_He(s) = 147 * m.Vol_He(s);
    m.P_HP_arr(1, 5) = 0.02;
    ASSERT_TRUE(run_until(m, 4e-4, 1e-4, [](Model&) {}, 1));
    EXPECT_GT(m.THs(1, 5), m.T_He_ref);
    EXPECT_GE(m.Regime(1, 5), 4);
}

// Transient regime while the section's energy is below its limit.
TEST(RegimeSearch, TransientFirst) {
    Model m;
    thermal_cable(m, 1, 2);
    helium_coefficients(m);
    m.Opt_Trans_HF = 1;
    initialize_hf(m);
    m.P_HP_arr(1, 5) = 0.02;
    ASSERT_GT(thermal_step(m, 1e-4, 1, [](Model&) {}), 0.0);
    EXPECT_EQ(m.Regime(1, 5), 1);
}

}  // namespace
}  // namespace vorn::test
