// Critical temperature, the four critical-current fits, the floor, the
// reduction by inter-filament coupling currents and the current-sharing
// temperature.  Reference values were worked out by hand from the fit
// formulas (exponent 0.59 in single precision: 0.5899999737739563).
#include <gtest/gtest.h>

#include <cmath>

#include "field/field.hpp"
#include "small_cable.hpp"

namespace vorn {
namespace {

#define EXPECT_REL(a, b) EXPECT_NEAR(a, b, 1e-12 * std::fabs(b))

const double kFloor = 0.009999999776482582;  // 0.01 A in single precision

// NbTi (Tc0 9.2 K, Bc20 14.5 T), NS = 8, two bands, every section at 4.2 K,
// no field, no current, strand ratio 1.
class CritCur : public ::testing::Test {
protected:
    void SetUp() override {
        test::small_cable(m, 2);
        allocate_arrays(m);
        m.ICRATs.fill(1.0);
        m.Ts.fill(4.2);
        m.BTs.fill(0.0);
        m.BDOTs.fill(0.0);
        m.Cs.fill(0.0);
        m.Opt_IcRedIF = 0;
    }
    // Field B, temperature T and current I at section (b, s).
    void at(int b, int s, double B, double T, double I) {
        m.BTs(b, s) = B;
        m.Ts(b, s) = T;
        m.Cs(b, s) = I;
    }
    Model m;
};

TEST_F(CritCur, CriticalTemperatureAtTheSectionField) {
    ASSERT_EQ(m.Tc0, 9.2);
    ASSERT_EQ(m.Bc20, 14.5);
    at(1, 2, 5, 4.2, 0);
    at(2, 15, 8, 4.2, 0);
    at(2, 9, 15, 4.2, 0);  // above Bc20
    crit_cur_and_temp_calculation(m);
    EXPECT_EQ(m.Tcb(1, 3), 9.2);
    EXPECT_REL(m.Tcb(1, 2), 7.168654306898197);
    EXPECT_REL(m.Tcb(2, 15), 5.730593404203798);
    EXPECT_TRUE(std::isnan(m.Tcb(2, 9)));
}

TEST_F(CritCur, ConstantFitAndSharingWithEitherCurrentDirection) {
    m.Opt_Ic = 1;
    m.IcCon = 500;
    m.ICRATs(2, 7) = 0.6;
    at(1, 4, 5, 4.2, 300);
    at(1, 5, 5, 4.2, -300);
    at(1, 6, 5, 4.2, 600);  // above Ic0: no sharing temperature
    at(2, 9, 15, 4.2, 0);   // above Bc20
    crit_cur_and_temp_calculation(m);
    EXPECT_EQ(m.ICs(1, 4), 500.0);
    EXPECT_EQ(m.ICs(2, 7), 300.0);
    // Ic0 = IcCon: (1 - 300/500) Tcb(5 T), the same for -300 A
    EXPECT_REL(m.Tcs(1, 4), 2.8674617227592787);
    EXPECT_EQ(m.Tcs(1, 5), m.Tcs(1, 4));
    EXPECT_EQ(m.Tcs(1, 6), 0.0);
    EXPECT_EQ(m.Tcs(1, 3), 9.2);  // no current: Tcb
    EXPECT_EQ(m.Tcs(2, 9), 0.0);  // undefined Tcb
    EXPECT_EQ(m.ICs(2, 9), 500.0);
}

TEST_F(CritCur, LinearFitFloorAndNegativeIc0) {
    m.Opt_Ic = 2;
    m.ConIcA = 1000;
    m.ConIcB = -60;
    m.ICRATs(1, 2) = 0.8;
    at(1, 2, 5, 4.2, 350);
    at(1, 3, 5, 7.5, 0);   // T above Tcb (7.17 K): negative before the floor
    at(2, 4, 15, 4.2, 0);  // above Bc20: undefined before the floor
    crit_cur_and_temp_calculation(m);
    // (1 - 4.2/Tcb) (1000 - 60 * 5) * 0.8
    EXPECT_REL(m.ICs(1, 2), 231.90494905902548);
    EXPECT_REL(m.Tcs(1, 2), 3.5843271534490984);  // Ic0 before the ratio: 700 A
    EXPECT_EQ(m.ICs(1, 3), kFloor);
    EXPECT_EQ(m.ICs(2, 4), kFloor);
    EXPECT_EQ(m.Tcs(2, 4), 0.0);

    // Beyond the fit's zero field (16.7 T) Ic0 is negative: the section
    // shares at any temperature, Tcs does not rise above Tcb, and above Tcb
    // (3.5 K at 20 T) the two negative factors do not make a positive Ic.
    m.Bc20 = 25;
    at(2, 5, 20, 4.2, 100);
    at(2, 6, 20, 2.0, 100);
    crit_cur_and_temp_calculation(m);
    EXPECT_GT(m.Tcb(2, 5), 0.0);
    EXPECT_EQ(m.Tcs(2, 5), 0.0);
    EXPECT_EQ(m.ICs(2, 5), kFloor);
    EXPECT_EQ(m.ICs(2, 6), kFloor);
    EXPECT_EQ(m.Tcs(2, 6), 0.0);
}

TEST_F(CritCur, ExponentialFit) {
    m.Opt_Ic = 3;
    m.ConIcA = 800, m.ConIcB = -40, m.ConIcC = 300, m.ConIcD = 0.5, m.ConIcE = -100, m.ConIcF = 2;
    at(2, 11, 3, 5, -400);
    crit_cur_and_temp_calculation(m);
    // Ic0 = 800 - 120 + 300 e^-1.5 - 100 e^-6 = 746.69 A
    EXPECT_REL(m.ICs(2, 11), 281.406670718003);
    EXPECT_REL(m.Tcs(2, 11), 3.7255826408951553);
}

TEST_F(CritCur, StrainScalingFit) {
    m.Opt_SC = 11;
    m.Opt_Ic = 4;
    m.ConIcA = 2e5, m.ConIcB = 28, m.ConIcC = 18, m.ConIcD = 0.5, m.ConIcE = 2, m.ConIcF = 0.9;
    m.Tc0 = m.ConIcC;  // as the set-up does for Nb3Sn with this fit
    m.Bc20 = m.ConIcB;
    m.ICRATs(1, 5) = 0.5;
    at(1, 4, 10, 4.2, 150);
    at(1, 5, 10, 4.2, 0);
    at(1, 6, 10, 17.5, 0);  // t > 1: Tc = 18 * 0.9^0.33333 = 17.38 K
    at(1, 7, 23, 4.2, 0);   // b > 1: Bc2(4.2 K) = 22.29 T
    at(1, 8, 0, 4.2, 0);    // no field: evaluated at 1 mT
    crit_cur_and_temp_calculation(m);
    // C6 only inside Tc and Bc2, not as a factor of Ic
    EXPECT_NEAR(m.ICs(1, 4), 3391.7774997462734, 1e-9);
    EXPECT_NEAR(m.ICs(1, 5), 0.5 * 3391.7774997462734, 1e-9);
    EXPECT_EQ(m.ICs(1, 6), kFloor);
    EXPECT_EQ(m.ICs(1, 7), kFloor);
    EXPECT_NEAR(m.ICs(1, 8), 1115599.0102001766, 1e-6);
    // Ic0 = the fit at 0 K (4583.70 A), Tcb(10 T) = 13.87 K
    EXPECT_REL(m.Tcb(1, 4), 13.869475880804778);
    EXPECT_NEAR(m.Tcs(1, 4), 13.41560168845702, 1e-12);
}

TEST_F(CritCur, ReductionByFilamentCouplingCurrents) {
    m.Opt_Ic = 1;
    m.IcCon = 500;
    m.Opt_IcRedIF = 1;
    // d 0.825 mm, tauIF 15 ms, twist pitch 15 mm:
    // x = BDOTs d^2 pi^2 tauIF / (Ic mu0 Lp)
    m.BDOTs(1, 2) = 10;   // x = 0.107: f^2 = 0.798
    m.BDOTs(1, 3) = 200;  // x = 2.14: f < 0 and f^2 > 1
    m.BDOTs(2, 4) = 0.001;
    m.ICRATs(2, 4) = 0;  // the floor, then reduced below it
    at(1, 2, 5, 4.2, 300);
    crit_cur_and_temp_calculation(m);
    EXPECT_REL(m.ICs(1, 2), 398.80279762517097);
    EXPECT_REL(m.ICs(1, 3), 647.8025472098792);
    EXPECT_REL(m.ICs(2, 4), 0.002166328649930581);
    EXPECT_EQ(m.ICs(2, 5), 500.0);  // no field change, no reduction
    // the sharing temperature stays with the unreduced Ic0
    EXPECT_REL(m.Tcs(1, 2), 2.8674617227592787);

    // a zero twist pitch without field change leaves Ic as it is
    m.TPFil = 0;
    crit_cur_and_temp_calculation(m);
    EXPECT_EQ(m.ICs(2, 5), 500.0);
}

}  // namespace
}  // namespace vorn
