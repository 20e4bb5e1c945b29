// Material fits, their tables and lookups.  Reference values were computed
// by hand from the fit formulas, independently of this code.
#include "thermal/materials.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "small_cable.hpp"

namespace vorn {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double below(double x) {
    return std::nextafter(x, 0.0);
}

#define EXPECT_REL(a, b) EXPECT_NEAR(a, b, 1e-12 * std::fabs(b))

// A store with the material tables (NbTi).
void build_tables(Model& m) {
    m.Opt_SC = 1;
    m.MR_con = 5.0e-11;
    material_tables(m);
}

TEST(MaterialFits, CopperHeatCapacityPiecesAndLimits) {
    const double T[] = {5, 20, 77, 200, 400, 700, 1500};
    const double v[] = {1343.1831, 69144.791, 1762456.3958, 3190500, 3555920, 3783774, 4556232};
    for (int k = 0; k < 7; ++k) EXPECT_REL(cp_cu(T[k]), v[k]) << T[k];
    // On a (single-precision) limit the upper piece, just below it the lower.
    const double lim[] = {9.441f, 31.134f, 123.34f, 306.12f, 498.15f, 1000.f};
    const double lower[] = {6613.306104988244,  273507.3237755749, 2619462.684395358,
                            3462757.6712903185, 3643830.143344152, 3983232.0};
    const double upper[] = {6613.3084906108015, 273507.3086118138,  2619455.1847420433,
                            3462758.9699300947, 3630479.0545957284, 4091232.0};
    for (int k = 0; k < 6; ++k) {
        EXPECT_REL(cp_cu(lim[k]), upper[k]) << lim[k];
        EXPECT_REL(cp_cu(below(lim[k])), lower[k]) << lim[k];
    }
}

TEST(MaterialFits, SuperconductorNormalState) {
    EXPECT_REL(cp_sc_above(1, 5), 6670.0);
    EXPECT_REL(cp_sc_above(1, 100), 2103200.0);
    EXPECT_TRUE(std::isnan(cp_sc_above(2, 10)));
    for (int type : {11, 12, 13}) {
        EXPECT_REL(cp_sc_above(type, 5), 8537.5);
        EXPECT_REL(cp_sc_above(type, 200), 1347457.0);
        EXPECT_EQ(cp_sc_above(type, 5000), 1415377.0);
    }
}

// The limits are the decimal values: on a limit the upper piece, at the
// next double below it the lower one.
TEST(MaterialFits, SuperconductorNormalStateLimits) {
    const double lim1[] = {28.358, 50.099, 165.8, 496.54};
    const double upper1[] = {396665.7354571621, 1175320.5460495786, 2468499.1499924883,
                             2861080.1132988003};
    const double lower1[] = {396666.6251774827, 1173520.795689918, 2465799.5471833283,
                             2865579.337863034};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(cp_sc_above(1, lim1[k]), upper1[k], 1e-10 * upper1[k]) << lim1[k];
        EXPECT_NEAR(cp_sc_above(1, below(lim1[k])), lower1[k], 1e-10 * lower1[k]) << lim1[k];
    }
    EXPECT_NEAR(cp_sc_above(1, below(1000.01)), 3148504.4149742997, 1e-3);
    EXPECT_TRUE(std::isnan(cp_sc_above(1, 1000.01)));
    const double lim3[] = {26.113, 169.416, 300};
    const double upper3[] = {171865.71172268497, 1296876.3629104383, 1415377};
    const double lower3[] = {171865.7037727357, 1296875.95661344, 1415377};
    for (int type : {11, 12, 13})
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(cp_sc_above(type, lim3[k]), upper3[k], 1e-10 * upper3[k]) << lim3[k];
            EXPECT_NEAR(cp_sc_above(type, below(lim3[k])), lower3[k], 1e-10 * lower3[k]) << lim3[k];
        }
}

TEST(MaterialFits, SuperconductorBelowTcs) {
    EXPECT_REL(cp_sc_below(1, 5, 3, 9.2, 14.5), 7097.5);
    EXPECT_REL(cp_sc_below(11, 5, 3, 18, 23.5), 4277.356185973207);
    EXPECT_REL(cp_sc_below(12, 5, 3, 18, 23.5), 4604.609996092075);
    EXPECT_TRUE(std::isnan(cp_sc_below(7, 5, 3, 18, 23.5)));
    // Type 13 at T = 5 K: the base fits at 0, 4, 10, 16 T and Bc20.
    const double F0 = 4032.8, F4 = 5106.5, F10 = 5727.75, F16 = 7343.0;
    auto c13 = [](double B, double Bc20) { return cp_sc_below(13, 5, B, 18, Bc20); };
    EXPECT_REL(c13(0, 23.5), F0);
    EXPECT_REL(c13(7, 23.5), 5417.125);
    EXPECT_REL(c13(20, 23.5), 9473.4);
    EXPECT_REL(c13(23.5, 23.5), 11337.5);
    const double knots[] = {4, 10, 16};
    const double at[] = {F4, F10, F16};
    for (int k = 0; k < 3; ++k) {
        EXPECT_REL(c13(knots[k], 23.5), at[k]);
        EXPECT_NEAR(c13(below(knots[k]), 23.5), at[k], 1e-9 * at[k]) << knots[k];
    }
    // Bc20 <= 16 T: the 16 T fit above 16 T, no division by zero.
    for (double Bc20 : {16.0, 12.0})
        for (double B : {16.0, 18.0, 30.0}) EXPECT_REL(c13(B, Bc20), F16);
}

TEST(MaterialFits, HeliumLambdaPointAndLimits) {
    // The jump at the lambda point, 2.17 K exactly: about 10.5 kJ/(kg K) just
    // below it, about 4.6 kJ/(kg K) on it.
    EXPECT_NEAR(cp_he(below(2.17)), 10480.718431991701, 1e-8);
    EXPECT_NEAR(cp_he(2.17), 4618.237149999459, 1e-6);
    EXPECT_REL(cp_he(2.169), 10433.991703844633);
    EXPECT_REL(cp_he(2.3), 2170.85);
    EXPECT_REL(cp_he(4.2), 5010.732);
    EXPECT_REL(cp_he(10), 5329.721317088059);
    // the other limits, on them and just below
    EXPECT_NEAR(cp_he(2.5), 2196.875, 1e-6);
    EXPECT_NEAR(cp_he(below(2.5)), 1618.75, 1e-6);
    EXPECT_NEAR(cp_he(4.3), 9191.4382959295, 1e-8);
    EXPECT_NEAR(cp_he(below(4.3)), 5341.187, 1e-8);
    EXPECT_EQ(cp_he(15), 5200.0);
    EXPECT_NEAR(cp_he(below(15)), 5225.008108087425, 1e-8);
}

TEST(MaterialFits, HeliumDensityAtTheLambdaPoint) {
    for (auto [TBath, rho] : {std::pair{2.17, 147.0}, {2.18, 126.0}, {below(2.18), 147.0}}) {
        Model m;
        test::small_cable(m, 2);
        m.TBath = TBath;
        initialize_hf(m);
        EXPECT_EQ(m.Rho_He, rho) << TBath;
    }
}

TEST(MaterialFits, CopperConductivityAndResistivity) {
    EXPECT_REL(k_cu_nist(4, 100), 630.9148264984227);
    EXPECT_REL(k_cu_nist(below(10), 100), 1577.2870662460564);
    EXPECT_REL(k_cu_nist(10, 100), 1540.3314456074909);
    EXPECT_REL(k_cu_nist(20, 50), 1361.683551858227);
    EXPECT_REL(k_cu_nist(300, 100), 401.2710845105257);
    EXPECT_REL(rho_cu_fit(4.2), 5.5685985289261324e-15);
    EXPECT_REL(rho_cu_fit(273), 1.548847295026243e-08);
}

TEST(MaterialTables, GridAndEntries) {
    Model m;
    build_tables(m);
    ASSERT_EQ(m.K_Cu_NIST_a.lo2(), 1);
    ASSERT_EQ(m.K_Cu_NIST_a.hi2(), 40);
    ASSERT_EQ(m.Rho_Cu_a.hi(), 10000);
    // entry i is T = 0.1 i, column j is RRR = 10 j
    EXPECT_REL(m.Rho_Cu_a(2730), 1.548847295026243e-08);
    EXPECT_REL(m.Rho_Cu_a(10000), 6.099073471451731e-08);
    EXPECT_REL(m.K_Cu_NIST_a(3000, 10), 401.2710845105257);
    EXPECT_REL(m.K_Cu_NIST_a(3000, 40), 405.1342523059108);
    EXPECT_REL(m.K_Cu_NIST_a(40, 10), 630.9148264984227);
    EXPECT_REL(m.Cp_Cu_a(50), 1343.1831);
    EXPECT_REL(m.Cp_SC_above_a(1000), 2103200.0);
    EXPECT_TRUE(std::isfinite(m.Cp_SC_above_a(10000)));
}

TEST(MaterialLookups, IndexRulesClampsAndNaN) {
    Model m;
    build_tables(m);
    // Resistivity: nearest to 10 T + 0.5, ties to even.
    EXPECT_EQ(rho_cu_t(m, 4.2), m.Rho_Cu_a(42));   // 42.5 -> 42
    EXPECT_EQ(rho_cu_t(m, 4.3), m.Rho_Cu_a(44));   // 43.5 -> 44
    EXPECT_EQ(rho_cu_t(m, 4.21), m.Rho_Cu_a(43));  // 42.6 -> 43
    EXPECT_EQ(rho_cu_t(m, 4.25), m.Rho_Cu_a(43));  // 43.0
    EXPECT_EQ(rho_cu_t(m, 0.0), m.Rho_Cu_a(1));
    EXPECT_EQ(rho_cu_t(m, -3.0), m.Rho_Cu_a(1));
    EXPECT_EQ(rho_cu_t(m, 2500.0), m.Rho_Cu_a(10000));
    EXPECT_EQ(rho_cu_t(m, kInf), m.Rho_Cu_a(10000));
    // Conductivity: the same temperature rule; RRR column nearest to
    // RRR/10 + 0.5, ties to even.
    EXPECT_EQ(k_cu_nist_t(m, 300, 105), m.K_Cu_NIST_a(3000, 11));
    EXPECT_EQ(k_cu_nist_t(m, 300, 100), m.K_Cu_NIST_a(3000, 10));
    EXPECT_EQ(k_cu_nist_t(m, 300, 96), m.K_Cu_NIST_a(3000, 10));
    EXPECT_EQ(k_cu_nist_t(m, 4.3, 100), m.K_Cu_NIST_a(44, 10));
    EXPECT_EQ(k_cu_nist_t(m, 300, 1000), m.K_Cu_NIST_a(3000, 40));
    EXPECT_EQ(k_cu_nist_t(m, 300, 3), m.K_Cu_NIST_a(3000, 1));
    EXPECT_EQ(k_cu_nist_t(m, 5000, 100), m.K_Cu_NIST_a(10000, 10));
    // Copper heat capacity: linear on the segment from the nearest point,
    // backwards below it; i clamped to 1..9999.
    const auto& c = m.Cp_Cu_a;
    EXPECT_EQ(cp_cu_t(m, 4.2), c(42));
    EXPECT_REL(cp_cu_t(m, 4.23), c(42) + (c(43) - c(42)) * 0.3);
    EXPECT_REL(cp_cu_t(m, 4.27), c(43) - (c(44) - c(43)) * 0.3);
    EXPECT_REL(cp_cu_t(m, 0.01), c(1) - (c(2) - c(1)) * 0.9);
    EXPECT_REL(cp_cu_t(m, 1200), c(9999) + (c(10000) - c(9999)) * 2001);
    // Normal-state superconductor: nearest point, no interpolation.
    EXPECT_EQ(cp_sc_above_t(m, 4.23), m.Cp_SC_above_a(42));
    EXPECT_EQ(cp_sc_above_t(m, 4.27), m.Cp_SC_above_a(43));
    EXPECT_EQ(cp_sc_above_t(m, 0.01), m.Cp_SC_above_a(1));
    EXPECT_EQ(cp_sc_above_t(m, 1e6), m.Cp_SC_above_a(10000));
    // Not a number in, not a number out.
    EXPECT_TRUE(std::isnan(rho_cu_t(m, kNaN)));
    EXPECT_TRUE(std::isnan(k_cu_nist_t(m, kNaN, 100)));
    EXPECT_TRUE(std::isnan(k_cu_nist_t(m, 300, kNaN)));
    EXPECT_TRUE(std::isnan(cp_cu_t(m, kNaN)));
    EXPECT_TRUE(std::isnan(cp_sc_above_t(m, kNaN)));
}

// The table index is rounded without a library call: it must be the
// nearest integer with ties to even (the default rounding of nearbyint),
// clamped, for any temperature: ties and their neighbours, negative,
// beyond the table, not a number excluded.  Rho_Cu_a rises with T, so the
// value tells the index.
TEST(MaterialLookups, TableIndexIsTheNearestEvenInteger) {
    Model m;
    build_tables(m);
    auto expected = [&](double T) {
        const double x = std::clamp(std::nearbyint(10.0 * T + 0.5), 1.0, 10000.0);
        return m.Rho_Cu_a(int(x));
    };
    std::vector<double> temps = {-1e300, -7.3, -0.05, 0.0, 0.05, 0.1, 999.95, 1000.0, 1e300, kInf};
    for (int k = 0; k <= 10010; ++k) {
        const double T = k / 10.0;  // 10 T + 0.5 on or next to a tie
        temps.insert(temps.end(), {T, below(T), std::nextafter(T, 2e3), T + 0.0371, T - 0.0629});
    }
    int checked = 0;
    for (double T : temps) {
        ASSERT_EQ(rho_cu_t(m, T), expected(T)) << T;
        ++checked;
    }
    EXPECT_GT(checked, 50000);
    // Ties of 10 T + 0.5 to both sides, and of RRR / 10 + 0.5.
    EXPECT_EQ(rho_cu_t(m, 0.2), m.Rho_Cu_a(2));  // 2.5 -> 2
    EXPECT_EQ(rho_cu_t(m, 0.5), m.Rho_Cu_a(6));  // 5.5 -> 6
    EXPECT_EQ(k_cu_nist_t(m, 300, 90), m.K_Cu_NIST_a(3000, 10));   // 9.5 -> 10
    EXPECT_EQ(k_cu_nist_t(m, 300, 110), m.K_Cu_NIST_a(3000, 12));  // 11.5 -> 12
}

TEST(MaterialLookups, ConductivityOptions) {
    Model m;
    build_tables(m);
    double k = -1;
    m.Opt_kCu = 0;
    k_cu_calculation(m, 20, 5, 80, k);
    EXPECT_REL(k, 2020.654638763135);  // NIST, T 20 K, RRR column 8
    m.Opt_kCu = 1;
    k_cu_calculation(m, 20, 5, 80, k);
    EXPECT_REL(k, 1033.3549954879065);  // 2.45e-8 T / (MR B + 1.7e-8/RRR + rho(T))
    m.Opt_kCu = 2;
    k_cu_calculation(m, 20, 5, 80, k);
    EXPECT_REL(k, 955.3211871704324);
    double k0 = 0, k2 = 0;
    m.Opt_kCu = 0;
    k_cu_calculation(m, 77.7, 0, 150, k0);
    m.Opt_kCu = 2;
    k_cu_calculation(m, 77.7, 0, 150, k2);
    EXPECT_REL(k2, k0);
    m.Opt_kCu = 3;
    k = 123.0;
    k_cu_calculation(m, 20, 5, 80, k);
    EXPECT_EQ(k, 123.0);
}

TEST(MaterialLookups, SectionHeatCapacitySwitchesAtTcs) {
    Model m;
    build_tables(m);
    m.Tc0 = 9.2;
    m.Bc20 = 14.5;
    for (RArr2* a : {&m.Vol_Cu, &m.Vol_SC, &m.Tcs, &m.BTs}) a->allocate(1, 1, 2, 3, 0.0);
    m.Vol_Cu(1, 3) = 2e-9;
    m.Vol_SC(1, 3) = 1e-9;
    m.Tcs(1, 3) = 6.0;
    m.BTs(1, 3) = 2.0;
    // at Tcs: normal state; just below it: superconducting state at 2 T
    EXPECT_REL(cp_calculation(m, 1, 3, 6.0), 2058.8327 * 2e-9 + 9075.84 * 1e-9);
    EXPECT_REL(cp_calculation(m, 1, 3, 5.9), 1976.99265312 * 2e-9 + 10839.3089 * 1e-9);
}

}  // namespace
}  // namespace vorn
