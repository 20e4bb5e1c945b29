// Critical current and resistance over sweeps of field and temperature on a
// small cable, one sweep point per section: Ic falls with B and T, the
// current-sharing temperature is where Ic meets the current, and the
// resistance rises through the transition without jumps at Tcs and Tcb.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "field/field.hpp"
#include "field/resistance_fixture.hpp"
#include "small_cable.hpp"

namespace vorn {
namespace {

// NS = 8 and five bands: 70 sections, point k = 0..69 at band 1 + k/14,
// section 2 + k%14.  NbTi, copper 0.3 mm^2, RRR 100, n = 30; a later step's
// iteration without relaxation or limit.
class TransitionSweep : public ::testing::Test {
protected:
    static constexpr int kPoints = 70;

    void SetUp() override {
        test::small_cable(m, 5);
        allocate_arrays(m);
        m.ICRATs.fill(1.0);
        m.RRRs.fill(100.0);
        m.Cs_mat.fill(3e-7);
        m.NPOWs.fill(30.0);
        m.BDOTs.fill(0.0);
        m.Opt_IcRedIF = 0;
        m.RhoIc = 1e-14;
        m.RhoMin = 1e-16;
        test::second_iteration_plain_strands(m);
    }
    static int band(int k) { return 1 + k / 14; }
    static int sec(int k) { return 2 + k % 14; }
    // Field, temperature and current of every point from functions of k.
    void sweep(const std::function<double(int)>& B, const std::function<double(int)>& T, double I) {
        for (int k = 0; k < kPoints; ++k) {
            m.BTs(band(k), sec(k)) = B(k);
            m.Ts(band(k), sec(k)) = T(k);
            m.Cs(band(k), sec(k)) = I;
        }
    }
    // Resistance per unit l/A of point k (Ohm m), comparable across sections.
    double rho(int k) const { return m.Rs(band(k), sec(k)) / m.l_div_a(sec(k)); }
    double rho_mat(int k) const { return m.R_mat(band(k), sec(k)) / m.l_div_a(sec(k)); }
    double ic(int k) const { return m.ICs(band(k), sec(k)); }

    void fit(int opt) {
        m.Opt_Ic = opt;
        if (opt == 2) m.ConIcA = 1000, m.ConIcB = -50;
        if (opt == 3)
            m.ConIcA = 800, m.ConIcB = -50, m.ConIcC = 300, m.ConIcD = 0.5, m.ConIcE = -100,
            m.ConIcF = 2;
        if (opt == 4) {  // Nb3Sn with its own Tc0 and Bc20, as the set-up does
            m.Opt_SC = 11;
            m.ConIcA = 2e5, m.ConIcB = 28, m.ConIcC = 18, m.ConIcD = 0.5, m.ConIcE = 2,
            m.ConIcF = 1;
            m.Tc0 = 18, m.Bc20 = 28;
        }
    }
    Model m;
};

TEST_F(TransitionSweep, CriticalCurrentFallsWithFieldAndTemperature) {
    // Strictly falling until the floor, flat on it; true when it got there.
    const auto falls = [&](const char* what) {
        bool floor_reached = false;
        for (int k = 1; k < kPoints; ++k) {
            if (ic(k - 1) <= 0.01) floor_reached = true;
            if (floor_reached)
                EXPECT_EQ(ic(k), ic(k - 1)) << m.Opt_Ic << what << k;
            else
                EXPECT_LT(ic(k), ic(k - 1)) << m.Opt_Ic << what << k;
        }
        return floor_reached;
    };
    for (int opt : {2, 3, 4}) {
        fit(opt);
        const double Bmax = opt == 4 ? 22.0 : 14.3;
        sweep([&](int k) { return 0.5 + k * (Bmax - 0.5) / (kPoints - 1); },
              [](int) { return 4.2; }, 0.0);
        crit_cur_and_temp_calculation(m);
        // NbTi: Tcb falls below 4.2 K at 10.7 T
        EXPECT_EQ(falls(" B, k "), opt != 4);

        const double Tmax = opt == 4 ? 20.0 : 11.0;
        sweep([](int) { return 5.0; },
              [&](int k) { return 1.5 + k * (Tmax - 1.5) / (kPoints - 1); }, 0.0);
        crit_cur_and_temp_calculation(m);
        EXPECT_TRUE(falls(" T, k "));  // above Tcb (7.17 K) or Bc2(T) = 5 T
    }
}

TEST_F(TransitionSweep, CriticalCurrentMeetsTheCurrentAtTcs) {
    for (int opt : {2, 3}) {
        fit(opt);
        // currents of either sign, fields 1..12 T
        for (int k = 0; k < kPoints; ++k) {
            m.BTs(band(k), sec(k)) = 1 + 11.0 * k / (kPoints - 1);
            m.Cs(band(k), sec(k)) = (k % 2 ? -1 : 1) * (20 + 5 * k);
        }
        m.Ts.fill(4.2);
        crit_cur_and_temp_calculation(m);
        m.Ts = m.Tcs;
        crit_cur_and_temp_calculation(m);
        for (int k = 0; k < kPoints; ++k) {
            const double I = std::fabs(m.Cs(band(k), sec(k)));
            if (m.Tcs(band(k), sec(k)) > 0)
                EXPECT_NEAR(ic(k), I, 1e-9 * I) << opt << " k " << k;
            else  // the current is above Ic0 at this field: Ic0 at 0 K
                EXPECT_LT(ic(k), I) << opt << " k " << k;
        }
    }
}

TEST_F(TransitionSweep, ResistanceRisesThroughTheTransition) {
    fit(2);
    const double I = 300;  // Ic0 = 750 A at 5 T: Tcs = 0.6 Tcb = 4.30 K
    for (int opt : {2, 3}) {
        m.Opt_RsCalc = opt;
        sweep([](int) { return 5.0; }, [](int k) { return 3.0 + 0.1 * k; }, I);
        crit_cur_and_temp_calculation(m);
        const double Tcs = m.Tcs(1, 2), Tcb = m.Tcb(1, 2);
        ASSERT_NEAR(Tcs, 0.6 * Tcb, 1e-12);
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = m.RhoMin * m.l_div_a(s);
        rs_calculation(m);
        for (int k = 1; k < kPoints; ++k) EXPECT_GE(rho(k), rho(k - 1)) << opt << " k " << k;
        EXPECT_EQ(rho(0), m.RhoMin);  // 3 K: superconducting
        // above Tcb the copper (model 3 less the 0.01 A floor's share)
        const int last = kPoints - 1;
        EXPECT_NEAR(rho(last), rho_mat(last), (0.01 / I) * rho_mat(last) * 1.0001) << opt;
        // model 3: every point above Tcs (4.4 K and up) is resistive
        if (opt == 3) {
            EXPECT_EQ(m.NrSecRes, kPoints - 14);
        }

        // No jump at Tcs and at Tcb: two points 2 uK apart
        for (double Tx : {Tcs, Tcb}) {
            sweep([](int) { return 5.0; }, [&](int k) { return Tx + (k % 2 ? 1e-6 : -1e-6); }, I);
            crit_cur_and_temp_calculation(m);
            rs_calculation(m);
            const double jump = std::fabs(rho(1) - rho(0));
            const double allowed = Tx == Tcb && opt == 3 ? 0.01 / I + 1e-5 : 1e-5;
            EXPECT_LE(jump, allowed * rho_mat(0)) << opt << " at " << Tx;
        }
    }
}

}  // namespace
}  // namespace vorn
