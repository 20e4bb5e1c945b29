// The critical-state filament model: its support functions, the layer stack
// over field histories, and the saturation magnetisation of the critical
// state of a round filament.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "magnetisation/filament.hpp"

namespace vorn::test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMu0 = 4e-7 * kPi;

struct History {
    RArr1 M;
    int warnings = 0;
};

// Runs the filament model over the field history B with a constant
// critical-current parameter c (A/m^2).
History run(const std::vector<double>& B, double c, double d_in, double d_out) {
    const int n = int(B.size()) - 1;
    RArr1 b(0, n), cc(0, n, c), T(0, n, 4.2);
    for (int t = 0; t <= n; ++t) b(t) = B[std::size_t(t)];
    History r;
    r.M = analyt(n, d_in, d_out, cc, T, b, [&r](std::string_view) { ++r.warnings; });
    return r;
}

std::vector<double> ramp(double from, double to, int steps) {
    std::vector<double> v;
    for (int i = 0; i <= steps; ++i) v.push_back(from + (to - from) * i / steps);
    return v;
}

std::vector<double> join(std::vector<double> a, const std::vector<double>& b) {
    a.insert(a.end(), b.begin() + 1, b.end());
    return a;
}

FilamentConsts consts(double P0, double d) {
    return {P0, d * (1 - std::log(2.0)), kPi, kMu0};
}

TEST(FilamentFunctions, PenetrationFractionsNeverExceedOne) {
    const FilamentConsts k = consts(1e9, 10e-6);
    for (double B : {0.0, 1e-3, 0.01, 0.1, 1.0, 10.0, -10.0}) {
        EXPECT_LE(entl(k, B), 1.0) << B;
        EXPECT_GE(entl(k, B), 0.0) << B;
        for (double B2 : {-5.0, -0.01, 0.0, 0.02, 3.0}) EXPECT_LE(secl(k, B, B2), 1.0);
    }
    // Below full penetration: 2|B|^1.5 / (3 P0 P1 mu0) for a virgin sweep;
    // a sweep between two fields counts |B2^1.5 - B1^1.5| (signed powers)
    // with half that weight.
    const double B = 1e-3;
    const double e = 2 * std::pow(B, 1.5) / (3 * k.P0 * k.P1 * k.P3);
    ASSERT_LT(e, 0.5);
    EXPECT_NEAR(entl(k, B), e, 1e-15);
    EXPECT_NEAR(entl(k, -B), e, 1e-15);
    EXPECT_NEAR(secl(k, 0.0, B), e / 2, 1e-15);
    EXPECT_NEAR(secl(k, -B, B), e, 1e-15);
    EXPECT_NEAR(secl(k, B, -B), e, 1e-15);
}

TEST(FilamentFunctions, SignedPowerRankingAndIntegerCompare) {
    EXPECT_DOUBLE_EQ(pow_signed(-8.0, 1.0 / 3.0), -2.0);
    EXPECT_DOUBLE_EQ(pow_signed(4.0, 1.5), 8.0);
    EXPECT_EQ(icmpch(2.7, 2.1), 0.0);
    EXPECT_EQ(icmpch(3.1, 2.9), 1.0);
    EXPECT_EQ(icmpch(-1.5, 0.5), -1.0);  // integer parts -1 and 0
    int idx[3];
    const double v1[3] = {0.5, 0.1, 0.3};
    sortzv(v1, idx);
    EXPECT_EQ(idx[0], 2);
    EXPECT_EQ(idx[1], 3);  // the third value lies between the other two
    EXPECT_EQ(idx[2], 1);
    const double v2[3] = {0.1, 0.3, 0.5};
    sortzv(v2, idx);
    EXPECT_EQ(idx[1], 2);
    // A layer over a zero-width shell contributes nothing.
    const FilamentConsts k = consts(1e9, 10e-6);
    EXPECT_EQ(magn(k, 0.5, 0.3, 0.3, 10e-6, 1.0), 0.0);
}

TEST(Filament, ZeroFieldOrCurrentGivesNoMagnetisation) {
    const History r = run(std::vector<double>(20, 0.0), 2e9, 0.0, 20e-6);
    for (int t = 0; t <= 19; ++t) EXPECT_EQ(r.M(t), 0.0);
    const History q = run(ramp(0.0, 1.0, 10), 0.0, 0.0, 20e-6);
    for (int t = 0; t <= 10; ++t) EXPECT_EQ(q.M(t), 0.0);
}

// Bean's critical state of a round filament: fully penetrated,
// mu0 |M| = mu0 (2 / (3 pi)) Jc d.  With Jc falling as 1/sqrt(B), Jc at the
// field of the step is the critical-current parameter c of that step.
TEST(Filament, FullyPenetratedMagnetisationMatchesTheCriticalState) {
    for (double d : {6e-6, 40e-6}) {
        for (double Bmax : {2.0, 6.0}) {
            const double c = 3e9;  // A/m^2
            const History r = run(ramp(0.0, Bmax, 400), c, 0.0, d);
            const double bean = kMu0 * 2.0 / (3.0 * kPi) * c * d;
            EXPECT_NEAR(std::abs(r.M(400)), bean, 0.01 * bean) << "d=" << d << " B=" << Bmax;
            // A rising field magnetises diamagnetically.
            EXPECT_LT(r.M(400), 0.0);
        }
    }
}

// A hollow filament is fully penetrated when the flux front reaches its
// inner diameter: its magnetisation peaks at a lower field, and in the
// critical state it carries the fraction 1 - (d_in/d_out)^3 of the solid
// filament's magnetisation.
TEST(Filament, HollowFilamentSaturatesEarlierAndLower) {
    const double c = 3e9, d = 40e-6, d_in = 20e-6;
    const auto B = ramp(0.0, 0.3, 300);
    const History solid = run(B, c, 0.0, d);
    const History hollow = run(B, c, d_in, d);
    auto peak = [](const RArr1& M) {
        int tp = 0;
        for (int t = 1; t <= M.hi(); ++t)
            if (std::abs(M(t)) > std::abs(M(tp))) tp = t;
        return tp;
    };
    EXPECT_LT(peak(hollow.M), peak(solid.M));
    // Identical while the flux front has not reached the hole.
    EXPECT_EQ(hollow.M(20), solid.M(20));

    const auto high = ramp(0.0, 6.0, 600);
    const double ratio = run(high, c, d_in, d).M(600) / run(high, c, 0.0, d).M(600);
    EXPECT_NEAR(ratio, 1 - std::pow(d_in / d, 3), 0.01);
}

// A first positive sweep keeps the single virgin layer; a first negative
// field starts with the two layers (0, B).  Fields are magnitudes in
// practice, so only the first case occurs in a simulation.
TEST(Filament, FirstSweepLayers) {
    const double c = 3e9, d = 20e-6, b = 0.01;
    const History p = run({0.0, b}, c, 0.0, d);
    const History q = run({0.0, -b}, c, 0.0, d);
    const FilamentConsts k = consts(std::sqrt(b) * c, d);
    EXPECT_NEAR(p.M(1), magn(k, b, 0.0, entl(k, b), d, -1.0), 1e-15);
    const double f2 = secl(k, -b, 0.0);
    ASSERT_LT(f2, 1.0);
    EXPECT_NEAR(q.M(1), magn(k, -b, 0.0, f2, d, 1.0) + magn(k, 0.0, f2, entl(k, 0.0), d, -1.0),
                1e-15);
}

// The model follows the field magnitude: over 0 -> +B -> 0 -> +B (the
// magnitude of 0 -> +B -> -B -> +B) the second rising branch repeats the
// first (up to the small memory of the reversal near zero), and the falling branch
// is nearly opposite to the rising one at the same field far above the
// penetration field.
TEST(Filament, HysteresisLoopRepeatsAndIsNearlySymmetric) {
    const double c = 3e9, d = 20e-6;
    const int n = 200;
    auto B = join(join(join(ramp(0.0, 3.0, n), ramp(3.0, 0.001, n)), ramp(0.001, 3.0, n)),
                  ramp(3.0, 0.001, n));
    const History r = run(B, c, 0.0, d);
    // Rising branches at the same field: identical beyond the re-penetration.
    for (int i : {n / 2, 3 * n / 4, n})
        EXPECT_NEAR(r.M(2 * n + i), r.M(i), 1e-5 * std::abs(r.M(i))) << i;
    // The falling branches repeat too.
    for (int i : {n / 4, n / 2}) EXPECT_NEAR(r.M(3 * n + i), r.M(n + i), 1e-5 * std::abs(r.M(n + i)));
    // Falling at 1.5 T against rising at 1.5 T: opposite signs, similar size.
    const double rising = r.M(n / 2), falling = r.M(n + n / 2);
    EXPECT_LT(rising, 0.0);
    EXPECT_GT(falling, 0.0);
    EXPECT_NEAR(falling, -rising, 0.05 * std::abs(rising));
    EXPECT_EQ(r.warnings, 0);
}

// A field that oscillates with a shrinking amplitude nests one reversal
// inside the other: more than the stack holds.  The model says so once and
// carries on within its stack.
TEST(Filament, StackOverflowIsReportedAndContained) {
    std::vector<double> B{0.0, 5.0};
    double amp = 2.0;
    for (int i = 0; i < 1100; ++i) {
        B.push_back(3.0 - amp);
        B.push_back(3.0 + amp);
        amp *= 0.995;
    }
    const History r = run(B, 3e9, 0.0, 1e-3);  // a thick filament: no saturation
    EXPECT_EQ(r.warnings, 1);
    for (int t = 0; t <= r.M.hi(); ++t) ASSERT_TRUE(std::isfinite(r.M(t))) << t;
}

}  // namespace
}  // namespace vorn::test
