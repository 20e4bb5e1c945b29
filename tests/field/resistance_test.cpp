// Section resistance in the resistance iteration: the three transition
// models, the lower bound, all-copper strands, the longitudinal and special
// resistances, the reference value, under-relaxation and limiter, the two
// counters and the uniform start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "field/field.hpp"
#include "field/resistance_fixture.hpp"
#include "small_cable.hpp"

namespace vorn {
namespace {

#define EXPECT_REL(a, b) EXPECT_NEAR(a, b, 1e-12 * std::fabs(b))

// Copper at 5 T, 4.2 K, RRR 100: 5e-11 * 5 + 1e-8/100 + rho(4.2 K), the last
// the table point 42.
const double kRhoCu = 2.5e-10 + 1e-10 + 5.5685985289261324e-15;

// NS = 8, two bands, every section at 5 T and 4.2 K with Ic 500 A and no
// current; copper area 0.3 mm^2, n = 20, RhoIc 1e-13 and RhoMin 1e-15 Ohm m.
// A later step's second iteration (reference = Rs on entry, the minimum), relaxation
// level 1 (no relaxation) and no practical limit, unless a test says so.
class Resistance : public ::testing::Test {
protected:
    void SetUp() override {
        test::small_cable(m, 2);
        allocate_arrays(m);
        m.RRRs.fill(100.0);
        m.Cs_mat.fill(3e-7);
        m.NPOWs.fill(20.0);
        m.BTs.fill(5.0);
        m.Ts.fill(4.2);
        m.ICs.fill(500.0);
        m.Cs.fill(0.0);
        m.RhoIc = 1e-13;
        m.RhoMin = 1e-15;
        m.RhoAcc = 1e-16;
        m.Opt_RsCalc = 2;
        test::second_iteration_plain_strands(m);
        for (int s = 2; s <= m.NS_2m1; ++s) ASSERT_EQ(rsmin(s), 1e-15 * m.l_div_a(s));
        // on entry: the minimum (a zero reference would hold Rs at 0)
        for (int b = 1; b <= 2; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = m.Rs_prev(b, s) = rsmin(s);
    }
    double rsmin(int s) const { return m.RhoMin * m.l_div_a(s); }
    // Two resistance iterations of the coupled step on section (1, 3) from
    // x0, the current of each iteration given by its input resistance;
    // returns the resistance the second one gives.
    template <class Current>
    double two_gain_iterations(double x0, Current current) {
        m.CoupledStep = 1;
        m.RhoIc = 1e-14;
        m.FRsLim = 1e30;
        m.CntR = 1;
        m.NTS = 3;
        double x = x0;
        m.Rs_prev.fill(0.0);
        m.Rs_prev(1, 3) = x;
        for (int it = 1; it <= 2; ++it) {
            m.NrItRs = it;
            m.Cs(1, 3) = current(x);
            m.Rs(1, 3) = x;
            rs_calculation(m);
            x = m.Rs(1, 3);
        }
        return x;
    }
    double rmat(int s) const { return kRhoCu * m.Length_s(s) / 3e-7; }
    void special(int b, int s, double R) {
        m.NrRhoSp = 1;
        m.NBRhoSp.allocate(1, 1, b);
        m.NSRhoSp.allocate(1, 1, s);
        m.RsSp.allocate(1, 1, R);
    }
    Model m;
};

TEST_F(Resistance, PowerLawUpToTheCopper) {
    m.Cs(1, 3) = 450;   // 0.9 Ic
    m.Cs(1, 4) = -450;  // the same
    m.Cs(1, 6) = 1000;  // 2 Ic: 2^20 RhoIc is far above the copper
    rs_calculation(m);
    EXPECT_REL(m.R_mat(1, 3), rmat(3));
    EXPECT_REL(m.Rs(1, 3), 1e-13 * m.l_div_a(3) * 0.12157665459056928801);
    EXPECT_EQ(m.Rs(1, 4), m.Rs(1, 3));
    EXPECT_REL(m.Rs(1, 6), rmat(6));
    EXPECT_EQ(m.Rs(1, 5), rsmin(5));  // no current: the minimum
    EXPECT_EQ(m.Rs(2, 15), rsmin(15));
    EXPECT_EQ(m.NrSecRes, 3);
}

TEST_F(Resistance, MatrixCurrentSharing) {
    m.Opt_RsCalc = 3;
    m.Cs(1, 3) = 1000;
    m.Cs(1, 4) = -2000;
    m.Cs(1, 5) = 300;  // below Ic: negative product
    m.ICs(2, 7) = 0;   // 0/0
    m.ICs(2, 8) = 0;
    m.Cs(2, 8) = 10;
    rs_calculation(m);
    EXPECT_REL(m.Rs(1, 3), 0.5 * rmat(3));
    EXPECT_REL(m.Rs(1, 4), 0.75 * rmat(4));
    EXPECT_EQ(m.Rs(1, 5), rsmin(5));
    EXPECT_EQ(m.Rs(1, 6), rsmin(6));  // zero current: the minimum
    EXPECT_EQ(m.Rs(2, 7), rsmin(7));
    EXPECT_REL(m.Rs(2, 8), rmat(8));
    EXPECT_EQ(m.NrSecRes, 3);
}

TEST_F(Resistance, CopperStrandsLongitudinalAndSpecialResistances) {
    m.CoupledStep = 0;
    m.AnyNormS = 1;
    m.Norms(2, 8) = 1;
    m.Norms(1, 2) = 1;
    m.Ts(1, 2) = 30.03;  // table point 301
    m.rholong(2) = 1e-12;
    special(2, 9, 3e-9);
    // relaxation 0.5 and limit 2 towards a tiny reference: all-copper
    // sections are not relaxed or limited
    m.CntR = 2;
    m.FRsLim = 2;
    m.Rs.fill(1e-20);
    m.Cs(2, 8) = 1000;  // no effect on a copper strand
    rs_calculation(m);
    EXPECT_REL(m.Rs(2, 8), (kRhoCu + 1e-12) * m.l_div_a(8));
    const double rho_301 = m.Rho_Cu_a(301);
    EXPECT_REL(m.Rs(1, 2), (2.5e-10 + 1e-10 + rho_301) * m.l_div_a(2));
    EXPECT_EQ(m.Rs(2, 9), 2e-20);
    EXPECT_EQ(m.NrSecRes, 1);  // (2, 8) by its power law, before the copper takes over

    // relaxation and limit off: band 2 has its longitudinal resistivity,
    // section (2, 9) also the special resistance
    m.CntR = 1;
    m.FRsLim = 1e30;
    rs_calculation(m);
    EXPECT_REL(m.Rs(2, 9), (1e-15 + 1e-12) * m.l_div_a(9) + 3e-9);
    EXPECT_REL(m.Rs(2, 10), (1e-15 + 1e-12) * m.l_div_a(10));
    EXPECT_EQ(m.Rs(1, 10), rsmin(10));
}

TEST_F(Resistance, ReferenceValueByStepAndIteration) {
    // FRsLim = 1 freezes Rs at the reference.
    m.FRsLim = 1;
    m.rholong(2) = 1e-12;
    special(2, 9, 3e-9);
    m.Cs.fill(1000);
    const auto run = [&](int NTS, int NrItRs) {
        m.NTS = NTS;
        m.NrItRs = NrItRs;
        m.Rs.fill(7e-9);
        m.Rs_prev.fill(5e-9);
        rs_calculation(m);
    };
    for (int it : {0, 1}) {  // steady state, first iterations
        run(0, it);
        EXPECT_REL(m.Rs(1, 4), 1e-16 * m.l_div_a(4));
        EXPECT_REL(m.Rs(2, 4), (1e-12 + 1e-16) * m.l_div_a(4));
        EXPECT_REL(m.Rs(2, 9), (1e-12 + 1e-16) * m.l_div_a(9) + 3e-9);
    }
    run(0, 2);
    EXPECT_EQ(m.Rs(2, 9), 7e-9);
    for (int it : {0, 1}) {  // a later step's first iteration
        run(3, it);
        EXPECT_EQ(m.Rs(2, 9), 5e-9);
    }
    run(3, 2);
    EXPECT_EQ(m.Rs(2, 9), 7e-9);
}

TEST_F(Resistance, RelaxationLimiterAndChangeCount) {
    m.CoupledStep = 0;  // the linear relaxation by the level's factor
    m.Cs(1, 3) = 450;   // power law X
    m.Cs(1, 4) = 1000;  // the copper
    const double X = 1e-13 * m.l_div_a(3) * 0.12157665459056928801;
    m.CntR = 2;  // c = 0.5
    m.FRsLim = 5;
    m.Rs.fill(0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(1, s) = m.Rs(2, s) = rsmin(s);
    m.Rs(1, 3) = 1.2 * X;
    m.Rs(1, 4) = rmat(4) / 100;
    m.Rs(1, 5) = 1000 * rsmin(5);
    m.Rs(2, 6) = 1.0001 * rsmin(6);  // changes by less than RhoAcc
    rs_calculation(m);
    EXPECT_REL(m.Rs(1, 3), 1.1 * X);            // 0.5 X + 0.5 * 1.2 X
    EXPECT_REL(m.Rs(1, 4), 5 * rmat(4) / 100);  // upper limit
    EXPECT_REL(m.Rs(1, 5), 500.5 * rsmin(5));   // 0.5 RsMin + 500 RsMin
    EXPECT_REL(m.Rs(2, 6), 1.00005 * rsmin(6));
    EXPECT_EQ(m.NrRsCh, 3);
    EXPECT_EQ(m.NrSecRes, 2);

    // without relaxation the lower limit: 1000 RsMin / 5
    m.CntR = 1;
    m.Rs(1, 5) = 1000 * rsmin(5);
    rs_calculation(m);
    EXPECT_REL(m.Rs(1, 5), 200 * rsmin(5));
}

TEST_F(Resistance, ConstantResistivityCountsAgainstTheEntryValue) {
    m.Opt_RsCalc = 1;
    m.AnyNormS = 1;
    m.Norms(1, 7) = 1;
    m.Cs.fill(1000);  // no effect: no transition
    m.R_mat.fill(-1.0);
    for (int b = 1; b <= 2; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = rsmin(s);
    m.Rs(2, 3) = 3 * rsmin(3);
    m.Rs(2, 4) = rsmin(4) + 0.5e-16 * m.l_div_a(4);  // within RhoAcc
    rs_calculation(m);
    EXPECT_EQ(m.Rs(2, 3), rsmin(3));
    EXPECT_EQ(m.Rs(2, 4), rsmin(4));
    EXPECT_REL(m.Rs(1, 7), kRhoCu * m.l_div_a(7));
    EXPECT_EQ(m.R_mat(1, 3), -1.0);  // not formed
    EXPECT_EQ(m.NrSecRes, 0);
    EXPECT_EQ(m.NrRsCh, 2);  // (2, 3) and the copper section
}

TEST_F(Resistance, UniformStartKeepsTheCounts) {
    m.NTS = 0;
    m.NrItRs = 3;
    m.Cs(1, 3) = 1000;
    m.Cs(2, 5) = 600;
    const auto at_minimum = [&] {
        for (int b = 1; b <= 2; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = rsmin(s);
    };
    rs_calculation(m);
    const int sec_res = m.NrSecRes, changed = m.NrRsCh;
    ASSERT_EQ(sec_res, 2);
    ASSERT_EQ(changed, 2);
    m.Opt_UnifCur1 = 1;
    at_minimum();
    rs_calculation(m);
    for (int b = 1; b <= 2; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) EXPECT_EQ(m.Rs(b, s), rsmin(s)) << b << " " << s;
    EXPECT_EQ(m.NrSecRes, sec_res);
    EXPECT_EQ(m.NrRsCh, changed);
    // a later step is not affected
    m.NTS = 1;
    rs_calculation(m);
    EXPECT_REL(m.Rs(1, 3), rmat(3));
}

// The coupled step relaxes ln Rs by the gain of each section: on a section
// whose law answers its input with a fixed gain g (here the resistance the
// law gives falls as the input rises, as when a resistive section loses
// its current to its neighbours), the second iteration lands on the fixed
// point, where the level's factor alone would crawl or overshoot.
TEST_F(Resistance, GainRelaxationStepsToTheFixedPointOfASection) {
    // ln y = ln(RhoIc l) + 20 ln(I/Ic): the law's output for the current
    // I(x) = 600 (x / x0)^(-0.05), a gain of -1 in ln Rs.
    const double x0 = 1e-14 * m.l_div_a(3);
    const double x =
        two_gain_iterations(x0, [&](double r) { return 600 * std::pow(r / x0, -0.05); });
    // Fixed point: ln x = ln x0 + 20 ln(600/500) - ln(x/x0), i.e.
    // x = x0 (1.2)^10; the first iteration takes the law's value (level 1),
    // the second the secant step of factor 1/2.
    EXPECT_NEAR(std::log(x / x0), 10 * std::log(1.2), 1e-9);
}

// A section that heats itself answers a higher resistance with a higher one
// (a gain between 0 and 1): the secant step is longer than the law's value.
// With a gain of 1/2 the second iteration lands on the fixed point; with 0.8
// (secant factor 5) it goes at most twice the law's step, the bound against
// overshooting where sections interact.
TEST_F(Resistance, GainRelaxationStepsBeyondTheLawOnASelfHeatingSection) {
    const double x0 = 1e-14 * m.l_div_a(3), A = 20 * std::log(1.2);
    for (double gain : {0.5, 0.8}) {
        // ln y = ln x0 + A + gain ln(x / x0): current I(x) = 600 (x/x0)^(gain/20)
        const double x =
            two_gain_iterations(x0, [&](double r) { return 600 * std::pow(r / x0, gain / 20); });
        // first iteration: ln(x1/x0) = A; the law then answers A + gain A,
        // and the step from x1 is f gain A with f = min(1/(1-gain), 2).
        const double f = std::min(1 / (1 - gain), 2.0);
        EXPECT_NEAR(std::log(x / x0), A + f * gain * A, 1e-9) << "gain " << gain;
        if (gain == 0.5) {
            EXPECT_NEAR(std::log(x / x0), A / (1 - gain), 1e-9);
        }
    }
}

}  // namespace
}  // namespace vorn
