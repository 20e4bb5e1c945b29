// The energy account: against a hand sum over the sections, and as the
// check of conservation in heated runs (adiabatic, with a current, with the
// helium of the voids).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "thermal_fixture.hpp"

namespace vorn::test {
namespace {

double input(const Model& m) {
    const auto& e = m.energy;
    return e.E_HP + e.E_Joule + e.E_Contacts + e.E_IFC;
}

// One step booked by hand: powers averaged as the strand balance does,
// the helium's share of the contact loss at the end of the step, stored heat
// of the solved sections, everything of the held ones as given away.
TEST(EnergyAccount, OneStepAgainstAHandSum) {
    Model m;
    thermal_cable(m, 3, 3);
    m.F_HF_str = 0;  // no flows between sections: the held ones get only their own
    m.F_cont = 0;
    m.F_ISCL = 0.7;
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (RArr2* a : {&m.Ps, &m.Ps_prev, &m.PFs, &m.PFs_prev, &m.P_IS, &m.P_IS_prev, &m.P_HP_arr,
                     &m.PsMean, &m.HF_He, &m.HF_ins, &m.Cap_s, &m.Cap_He, &m.Ts, &m.THs})
        for (int b = 1; b <= 3; ++b)
            for (int s = 2; s <= 15; ++s) (*a)(b, s) = u(gen);
    m.Solved_s.fill(1);
    m.Solved_s(1, 4) = m.Solved_s(3, 12) = 0;
    m.NTS = 0;
    energy_account_step(m);  // t = 0 clears the account
    m.NTS = 1;
    m.dt = 0.002;
    energy_account_step(m);

    double hp = 0, joule = 0, ifc = 0, contacts = 0, he = 0, ins = 0, fixed = 0, str = 0, hel = 0;
    const double F = 0.7, dt = 0.002;
    for (int b = 1; b <= 3; ++b)
        for (int s = 2; s <= 15; ++s) {
            hp += m.P_HP_arr(b, s) * dt;
            joule += (m.Ps(b, s) + m.Ps_prev(b, s)) / 2 * dt;
            ifc += (m.PFs(b, s) + m.PFs_prev(b, s)) / 2 * dt;
            contacts += (F * (m.P_IS(b, s) + m.P_IS_prev(b, s)) / 2 + (1 - F) * m.P_IS(b, s)) * dt;
            if (m.Solved_s(b, s) == 0) {
                fixed += (m.PsMean(b, s) + m.P_HP_arr(b, s) + (1 - F) * m.P_IS(b, s)) * dt;
                continue;
            }
            str += m.Cap_s(b, s) * (m.Ts(b, s) - m.TBath);
            hel += m.Cap_He(b, s) * (m.THs(b, s) - m.TBath);
            he += ((1 - F) * m.P_IS(b, s) - m.HF_He(b, s)) * dt;
            ins -= m.HF_ins(b, s) * dt;
        }
    const auto& e = m.energy;
    EXPECT_NEAR(e.E_HP, hp, 1e-15);
    EXPECT_NEAR(e.E_Joule, joule, 1e-15);
    EXPECT_NEAR(e.E_IFC, ifc, 1e-15);
    EXPECT_NEAR(e.E_Contacts, contacts, 1e-15);
    EXPECT_NEAR(e.E_He, he, 1e-15);
    EXPECT_NEAR(e.E_ins, ins, 1e-15);
    EXPECT_NEAR(e.E_Fixed, fixed, 1e-15);
    EXPECT_NEAR(e.E_Strands, str, 1e-12);
    EXPECT_NEAR(e.E_Helium, hel, 1e-12);
    // Voids: the helium keeps what it is given.
    EXPECT_NEAR(energy_residual(m), hp + joule + ifc + contacts - str - hel - ins - fixed, 1e-12);
    m.Opt_Temp = 2;  // unlimited bath: it is given away
    EXPECT_NEAR(energy_residual(m), hp + joule + ifc + contacts - str - hel - ins - fixed - he,
                1e-12);
}

// The tolerance.  Each solved section balances its heat to C 0.4 TsAcc per
// step (C the heat capacity of strand or helium), and the flow between two
// neighbours is evaluated at temperatures that agree to TsAcc after the
// passes.  With TsAcc = 1e-5 K both stay below 1e-3 of the heat put in
// here; the account closes to what the solver guarantees, not better.
constexpr double kResidual = 1e-3;

void accurate(Model& m) {
    m.TsAcc = 1e-5;
    m.NrItT_M = 400;
}

// Adiabatic, no current: the heater energy ends up in the strands (the part
// that reaches the held cable ends is booked as given away).
// Both temperature solutions: section by section (0) and coupled (1).
class EnergyConservation : public ::testing::TestWithParam<int> {};

TEST_P(EnergyConservation, AdiabaticHeater) {
    Model m;
    thermal_cable(m, 6, 1);
    accurate(m);
    m.CoupledStep = GetParam();
    m.P_HP_arr(3, 5) = 0.02;
    ASSERT_TRUE(run_until(m, 2e-3, 1e-4, [](Model&) {}));
    m.P_HP_arr.fill(0);
    ASSERT_TRUE(run_until(m, 3e-3, 1e-4, [](Model&) {}));
    const auto& e = m.energy;
    EXPECT_NEAR(e.E_HP, 0.02 * 2e-3, 1e-12);
    EXPECT_EQ(e.E_Joule, 0.0);
    EXPECT_LT(std::fabs(energy_residual(m)), kResidual * input(m));
    // Part of it has reached the held cable ends.
    EXPECT_GT(e.E_Strands, 0.0);
    EXPECT_GT(e.E_Fixed, 0.0);
}

// With a current: the Joule heat of the warm sections (here a resistance
// that grows with the temperature) is added.
TEST_P(EnergyConservation, AdiabaticWithJouleHeat) {
    Model m;
    thermal_cable(m, 4, 1);
    accurate(m);
    m.CoupledStep = GetParam();
    m.P_HP_arr(2, 5) = 0.02;
    auto joule = [](Model& c) {
        for (int b = 1; b <= c.NB; ++b)
            for (int s = 2; s <= c.NS_2m1; ++s)
                c.Ps(b, s) = 0.004 * std::max(0.0, c.Ts(b, s) - c.TBath - 0.05);
    };
    ASSERT_TRUE(run_until(m, 3e-3, 1e-4, joule));
    const auto& e = m.energy;
    EXPECT_GT(e.E_Joule, 0.05 * e.E_HP);
    EXPECT_LT(std::fabs(energy_residual(m)), kResidual * input(m));
}

// Helium in the voids: what the strands give to the helium is what the
// helium stores, and the whole account closes; with part of the contact
// loss going straight to the helium as well.
TEST_P(EnergyConservation, HeliumInTheVoids) {
    for (double F : {1.0, 0.4}) {
        Model m;
        thermal_cable(m, 4, 3);
        accurate(m);
        m.CoupledStep = GetParam();
        m.A_He.fill(3e-6);  // m^2: a well-cooled strand
        m.aNC = 1000, m.aNB = 1.0e4, m.aFB_I = 300, m.HF_Lim_NC = 1e3, m.HF_Lim_NB = 3e4;
        m.F_ISCL = F;
        m.P_HP_arr(2, 5) = 0.02;
        auto contacts = [](Model& c) {
            for (int s = 4; s <= 6; ++s) c.P_IS(2, s) = 0.01;
        };
        ASSERT_TRUE(run_until(m, 3e-3, 1e-4, contacts));
        const auto& e = m.energy;
        EXPECT_GT(e.E_He, 0.01 * e.E_HP) << F;
        EXPECT_LT(std::fabs(e.E_He - e.E_Helium), 1e-2 * e.E_He) << F;
        EXPECT_LT(std::fabs(energy_residual(m)), kResidual * input(m)) << F;
    }
}

INSTANTIATE_TEST_SUITE_P(Method, EnergyConservation, ::testing::Values(0, 1));

}  // namespace
}  // namespace vorn::test
