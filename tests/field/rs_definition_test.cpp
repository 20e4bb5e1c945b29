// Initial section resistance of the constant-resistivity model.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>

#include "field/field.hpp"
#include "test_util.hpp"
#include "thermal/thermal.hpp"

namespace vorn {
namespace {

// The example case (NS = 12, NB = 20, RhoMin = 1e-14 Ohm m, TBath = 4.2 K)
// with special resistivities {band, section, Ohm m}, set up to the
// time-dependent arrays (the set-up forms RsSp from RhoSp).
void example_store(Model& m, std::initializer_list<std::array<double, 3>> special = {}) {
    test::set_example_parameters(m);
    set_derived_counts(m);
    allocate_input_arrays(m);
    m.NrRhoSp = int(special.size());
    m.NBRhoSp.allocate(1, m.NrRhoSp, 0);
    m.NSRhoSp.allocate(1, m.NrRhoSp, 0);
    m.RhoSp.allocate(1, m.NrRhoSp, 0.0);
    int i = 0;
    for (const auto& sp : special) {
        ++i;
        m.NBRhoSp(i) = int(sp[0]), m.NSRhoSp(i) = int(sp[1]), m.RhoSp(i) = sp[2];
    }
    initialize_2(m);
    allocate_arrays(m);
}

TEST(RsDefinition, MinimumLongitudinalAndSpecialResistivities) {
    Model m;
    example_store(m, {{3, 2, 4e-12}, {20, 23, 1e-12}, {3, 2, 2e-12}});  // (3, 2) twice: adds up
    for (int b = 1; b <= 20; ++b) m.rholong(b) = b * 1e-13;
    m.Rs.fill(-1.0);
    rs_definition(m);
    // l/A of an ordinary section: sqrt(w^2 + TPStr^2/4)/NS over pi (d/2)^2;
    // the edge sections 2 and 23 are twice as long
    const double l_div_a = std::sqrt(0.005 * 0.005 + 0.03 * 0.03) / 12 /
                           (3.141592653589793 * 0.0004125 * 0.0004125);
    for (int b = 1; b <= 20; ++b)
        for (int s = 2; s <= 23; ++s) {
            double rho = 1e-14 + b * 1e-13;
            if (b == 3 && s == 2) rho += 6e-12;
            if (b == 20 && s == 23) rho += 1e-12;
            const double R = rho * (s == 2 || s == 23 ? 2 : 1) * l_div_a;
            EXPECT_NEAR(m.Rs(b, s), R, 1e-12 * R) << b << " " << s;
        }
}

TEST(RsDefinition, NormalStrandsAtBathTemperature) {
    Model m;
    example_store(m);
    m.RRRs.fill(100.0);
    m.RRRs(4, 2) = 50.0;
    m.Norms(4, 2) = m.Norms(4, 7) = m.Norms(9, 7) = 1;
    // the flag of the cable decides: without it the sections stay at RhoMin
    m.AnyNormS = 0;
    rs_definition(m);
    EXPECT_DOUBLE_EQ(m.Rs(4, 7), 1e-14 * m.l_div_a(7));

    m.AnyNormS = 1;
    rs_definition(m);
    const double rho_42 = 5.5685985289261324e-15;  // copper at TBath = 4.2 K, table point 42
    EXPECT_DOUBLE_EQ(m.Rs(4, 2), (1e-8 / 50 + rho_42) * m.l_div_a(2));
    EXPECT_DOUBLE_EQ(m.Rs(4, 7), (1e-8 / 100 + rho_42) * m.l_div_a(7));
    EXPECT_DOUBLE_EQ(m.Rs(9, 7), (1e-8 / 100 + rho_42) * m.l_div_a(7));
    EXPECT_DOUBLE_EQ(m.Rs(4, 8), 1e-14 * m.l_div_a(8));
    EXPECT_DOUBLE_EQ(m.Rs(5, 7), 1e-14 * m.l_div_a(7));
}

}  // namespace
}  // namespace vorn
