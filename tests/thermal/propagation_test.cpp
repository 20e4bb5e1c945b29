// Normal-zone propagation along an isolated strand against the adiabatic
// closed form v = (J / C) sqrt(L0 Ts / (Ts - T0)): current sharing between
// Tcs and Tcb, Wiedemann-Franz conduction, no heat through the contacts.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "thermal/materials.hpp"
#include "thermal_fixture.hpp"

namespace vorn::test {
namespace {

constexpr double kL0 = 2.45e-8;  // W Ohm / K^2
constexpr double kIc0 = 1000.0;  // A at T = 0
constexpr double kTcb = 9.2;     // K (no field)

struct Front {
    double measured, closed_form;
};

// Copper resistivity consistent with the Wiedemann-Franz conductivity of
// the thermal model (residual part 1.7e-8/RRR), so that rho k = L0 T.
double rho_wf(const Model& m, double T) { return 1.7e-8 / 100.0 + rho_cu_t(m, T); }

void propagate(double I, Front& front, int coupled = 0, double dt = 4e-6) {
    Model m;
    thermal_cable(m, 12, 1);
    m.CoupledStep = coupled;
    m.Opt_kCu = 1;
    m.F_cont = 0;  // strands thermally isolated from one another
    m.MR_con = 0;
    m.TincrM = 10;
    const double Tcs = (1 - I / kIc0) * kTcb;
    m.Tcs.fill(Tcs);
    const double Ts = (Tcs + kTcb) / 2, T0 = m.TBath;

    // Current sharing with the copper: the strand current I above Ic(T).
    auto joule = [I](Model& c) {
        for (int b = 1; b <= c.NB; ++b)
            for (int s = 2; s <= c.NS_2m1; ++s) {
                const double T = c.Ts(b, s);
                const double ic = std::max(kIc0 * (1 - T / kTcb), 0.0);
                const double R = rho_wf(c, T) * c.Length_s(s) / c.Cs_mat(b, s);
                c.Ps(b, s) = I * I * R * std::max(0.0, 1 - ic / I);
            }
    };

    // The strand through section 5 of band 6, followed to the right.
    std::vector<std::pair<int, int>> chain{{6, 5}};
    std::vector<double> x{0.0};
    for (;;) {
        auto [b, s] = chain.back();
        const int nb = b + m.NB_str_R(s);
        if (nb > m.NB - 2) break;
        x.push_back(x.back() + m.l_str_r(s));
        chain.push_back({nb, m.NS_str_R(s)});
    }
    std::vector<double> t_pass(chain.size(), -1.0);

    m.P_HP_arr(6, 5) = 2.0;  // W, until the section is normal
    std::vector<double> T_prev(chain.size(), T0);
    for (int step = 0; step < 4000 && t_pass.back() < 0; ++step) {
        const double taken = thermal_step(m, dt, 3, joule);
        ASSERT_GT(taken, 0.0) << step;
        if (m.Ts(6, 5) > kTcb + 1) m.P_HP_arr(6, 5) = 0;
        for (std::size_t i = 0; i < chain.size(); ++i) {
            const double T = m.Ts(chain[i].first, chain[i].second);
            if (t_pass[i] < 0 && T >= Ts)  // interpolated within the step
                t_pass[i] = m.Time - taken * (T - Ts) / (T - T_prev[i]);
            T_prev[i] = T;
        }
    }

    // Least-squares slope of x over t, away from the heater.
    double st = 0, sx = 0, stt = 0, stx = 0;
    int n = 0;
    for (std::size_t i = 3; i < chain.size(); ++i) {
        if (t_pass[i] < 0) continue;
        st += t_pass[i], sx += x[i], stt += t_pass[i] * t_pass[i], stx += t_pass[i] * x[i];
        ++n;
    }
    EXPECT_GE(n, 6);
    const double v = (n * stx - st * sx) / (n * stt - st * st);

    // Strand heat capacity per volume, averaged between T0 and Ts.
    double C = 0;
    const int K = 400;
    for (int k = 0; k < K; ++k) {
        const double T = T0 + (Ts - T0) * (k + 0.5) / K;
        C += cp_calculation(m, 6, 5, T) / m.Vol_s(5) / K;
    }
    const double J = I / m.A_str;
    front = {v, J / C * std::sqrt(kL0 * Ts / (Ts - T0))};
}

TEST(NormalZone, PropagatesAtTheAdiabaticSpeed) {
    Front low{}, high{};
    propagate(300.0, low);
    propagate(400.0, high);
    std::printf("front speed at 300 A: %.2f m/s (closed form %.2f m/s)\n", low.measured,
                low.closed_form);
    std::printf("front speed at 400 A: %.2f m/s (closed form %.2f m/s)\n", high.measured,
                high.closed_form);
    EXPECT_NEAR(low.measured, low.closed_form, 0.3 * low.closed_form);
    EXPECT_NEAR(high.measured, high.closed_form, 0.3 * high.closed_form);
    EXPECT_GT(high.measured, low.measured);
}

// The temperatures of a step solved together give the front of the
// section-by-section passes at their step length, and keep it at steps
// five times longer, where the passes stall.
TEST(NormalZone, CoupledSolutionKeepsTheFrontSpeed) {
    Front passes{}, coupled{}, longer{};
    propagate(400.0, passes, 0);
    propagate(400.0, coupled, 1);
    propagate(400.0, longer, 1, 2e-5);
    std::printf("front speed at 400 A: %.3f m/s section by section, %.3f m/s coupled, "
                "%.3f m/s coupled at 20 us\n",
                passes.measured, coupled.measured, longer.measured);
    EXPECT_NEAR(coupled.measured, passes.measured, 0.01 * passes.measured);
    EXPECT_NEAR(longer.measured, passes.measured, 0.05 * passes.measured);
}

}  // namespace
}  // namespace vorn::test
