// Inter-strand coupling power moved from the contacts onto the sections.
#include <gtest/gtest.h>

#include "small_cable.hpp"

namespace vorn::test {
namespace {

void contact_cable(Model& m, int NB) {
    small_cable(m, NB);
    allocate_arrays(m);
}

double total_p_is(const Model& m) {
    double sum = 0;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) sum += m.P_IS(b, s);
    return sum;
}

// Inside the cable every contact power ends up on the sections in full:
// one contact at a time, in the middle band, its power summed over all
// sections comes back exactly.  A wrong index in a table row loses or
// doubles a quarter somewhere.
TEST(HeatPerSection, EachInnerContactIsDistributedInFull) {
    Model m;
    contact_cable(m, 5);
    const int n = m.NS;
    for (int k = 1; k <= 2 * n; ++k) {
        m.Pa.fill(0);
        m.Pc.fill(0);
        m.Pa(3, k) = 1.0;
        heat_per_section(m);
        EXPECT_DOUBLE_EQ(total_p_is(m), 1.0) << "adjacent contact " << k;
    }
    for (int k = 1; k <= n - 1; ++k) {
        m.Pa.fill(0);
        m.Pc.fill(0);
        m.Pc(3, k) = 1.0;
        heat_per_section(m);
        EXPECT_DOUBLE_EQ(total_p_is(m), 1.0) << "crossing contact " << k;
    }
}

// A contact's power goes to the sections that touch it: adjacent contact k
// of band b to sections of bands b-1..b+1 only, each share a quarter.
TEST(HeatPerSection, SharesAreQuarters) {
    Model m;
    contact_cable(m, 5);
    m.Pa(3, 5) = 4.0;  // between sections 4 and 6 of band 3 (n = 8)
    heat_per_section(m);
    EXPECT_DOUBLE_EQ(m.P_IS(3, 4), 1.0);
    EXPECT_DOUBLE_EQ(m.P_IS(3, 6), 1.0);
    EXPECT_DOUBLE_EQ(m.P_IS(3, 11), 1.0);  // s = n+3: Pa(b, s-n+2)
    EXPECT_DOUBLE_EQ(m.P_IS(2, 11), 1.0);  // s = n+3 of the band before: Pa(b+1, s-n+2)
}

// First band: terms of band 0 do not exist.  The left edge section then
// collects Pa(1,1) + Pa(1,2) + Pa(1,n+1) + Pa(2,1) + Pa(2,3).
TEST(HeatPerSection, FirstBandLeavesOutTheMissingBand) {
    Model m;
    contact_cable(m, 4);
    const int n = m.NS;
    for (int b = 1; b <= 4; ++b)
        for (int k = 1; k <= 2 * n; ++k) m.Pa(b, k) = 100.0 * b + k;
    heat_per_section(m);
    const double A = m.Pa(1, 1) + m.Pa(1, 2) + m.Pa(1, n + 1) + m.Pa(2, 1) + m.Pa(2, 3);
    EXPECT_DOUBLE_EQ(m.P_IS(1, 2), 0.25 * A);
    // Last band, right edge: Pa(NB+1, ..) left out.
    const double B = m.Pa(3, 2 * n - 1) + m.Pa(4, 2 * n - 2) + m.Pa(4, 2 * n - 1) + m.Pa(4, 2 * n);
    EXPECT_DOUBLE_EQ(m.P_IS(4, 2 * n - 1), 0.25 * B);
}

// A single band is its own neighbour: P_IS(1, 2) =
// 0.25 (2 Pa(1,1) + 2 Pa(1,2) + Pa(1,3) + Pa(1,n+1) + 2 Pc(1,1)), and the
// whole loss of a periodic cable reaches the sections.
TEST(HeatPerSection, SingleBandCountsItselfTwice) {
    Model m;
    contact_cable(m, 1);
    const int n = m.NS;
    double sum = 0;
    for (int k = 1; k <= 2 * n; ++k) sum += m.Pa(1, k) = 1.0 + 0.1 * k;
    for (int k = 1; k <= n - 1; ++k) sum += m.Pc(1, k) = 2.0 + 0.3 * k;
    heat_per_section(m);
    EXPECT_DOUBLE_EQ(m.P_IS(1, 2), 0.25 * (2 * m.Pa(1, 1) + 2 * m.Pa(1, 2) + m.Pa(1, 3) +
                                           m.Pa(1, n + 1) + 2 * m.Pc(1, 1)));
    EXPECT_NEAR(total_p_is(m), sum, 1e-12 * sum);
}

}  // namespace
}  // namespace vorn::test
