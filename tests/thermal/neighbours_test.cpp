// Thermal neighbour tables of the sections and their distances.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "network/network.hpp"
#include "small_cable.hpp"

namespace vorn::test {
namespace {

class Neighbours : public ::testing::Test {
protected:
    void SetUp() override { small_cable(m, 4); }
    Model m;
};

// Every column of the tables for N = 8, s = 2..15, written out by hand
// from the table and its offset rule.
TEST_F(Neighbours, TablesForEightStrands) {
    const int str_L[] = {3, 10, 9, 12, 11, 14, 13, 2, 5, 4, 7, 6, 15, 8};
    const int nb_L[] = {0, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, -1, 0};
    const int str_R[] = {9, 2, 11, 10, 13, 12, 15, 4, 3, 6, 5, 8, 7, 14};
    const int nb_R[] = {1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1};
    const int adj_L[] = {9, 2, 11, 10, 13, 12, 15, 4, 3, 6, 5, 8, 7, 14};
    const int nb_adj_L[] = {0, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0};
    const int adj_R[] = {3, 10, 9, 12, 11, 14, 13, 2, 5, 4, 7, 6, 15, 8};
    const int nb_adj_R[] = {1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1};
    const int cross[] = {9, 4, 3, 6, 5, 8, 7, 2, 11, 10, 13, 12, 15, 14};
    neighbour_tables(m);
    ASSERT_EQ(m.NS_str_L.lo(), 2);
    ASSERT_EQ(m.NS_str_L.hi(), 15);
    for (int s = 2; s <= 15; ++s) {
        const int i = s - 2;
        EXPECT_EQ(m.NS_str_L(s), str_L[i]) << s;
        EXPECT_EQ(m.NB_str_L(s), nb_L[i]) << s;
        EXPECT_EQ(m.NS_str_R(s), str_R[i]) << s;
        EXPECT_EQ(m.NB_str_R(s), nb_R[i]) << s;
        EXPECT_EQ(m.NS_adj_L(s), adj_L[i]) << s;
        EXPECT_EQ(m.NB_adj_L(s), nb_adj_L[i]) << s;
        EXPECT_EQ(m.NS_adj_R(s), adj_R[i]) << s;
        EXPECT_EQ(m.NB_adj_R(s), nb_adj_R[i]) << s;
        EXPECT_EQ(m.NS_cross(s), cross[i]) << s;
    }
}

// Along a strand: the right neighbour's left neighbour is the section itself
// (the band offsets undo each other), the neighbours carry the same wire,
// and the crossing strand's crossing strand is the section again.
TEST_F(Neighbours, FollowingAStrandComesBack) {
    for (int NS : {8, 10, 12, 14, 20, 42, 80}) {
        Model c;
        small_cable(c, 4, NS);
        neighbour_tables(c);
        for (int s = 2; s <= 2 * NS - 1; ++s) {
            const int r = c.NS_str_R(s), l = c.NS_str_L(s);
            EXPECT_EQ(c.NS_str_L(r), s) << NS << " " << s;
            EXPECT_EQ(c.NB_str_L(r), -c.NB_str_R(s)) << NS << " " << s;
            EXPECT_EQ(c.NS_str_R(l), s) << NS << " " << s;
            EXPECT_EQ(c.NB_str_R(l), -c.NB_str_L(s)) << NS << " " << s;
            EXPECT_EQ(c.NS_cross(c.NS_cross(s)), s) << NS << " " << s;
            const int b = 2;  // a band with both neighbours
            const int wire = wire_at(position_of_section(s, NS), b, NS);
            EXPECT_EQ(wire_at(position_of_section(r, NS), b + c.NB_str_R(s), NS), wire);
            EXPECT_EQ(wire_at(position_of_section(l, NS), b + c.NB_str_L(s), NS), wire);
        }
    }
}

// The adjacent-strand tables pair a section with the strands next to it:
// the neighbours' wires sit, in the section's band, at the positions before
// (left) and after (right) the section's own position on the closed loop of
// positions; and away from the edges they lie in the same layer, one strand
// pitch (2d) to the side.
TEST_F(Neighbours, AdjacentStrandsAreNeighboursInTheSameLayer) {
    for (int NS : {8, 12, 20}) {
        Model c;
        small_cable(c, 4, NS);
        position_calculation(c);
        neighbour_tables(c);
        const double d = c.w / (2 * NS);
        auto is_edge = [&](int s) { return s == 2 || s == 2 * NS - 1; };
        auto layer = [&](int s) { return std::lround(4 * c.PosY(s) / c.Th1); };  // 3 or 1
        const int b = 2;
        for (int s = 2; s <= 2 * NS - 1; ++s) {
            const int p = position_of_section(s, NS);
            const int wl = wire_at(position_of_section(c.NS_adj_L(s), NS), b + c.NB_adj_L(s), NS);
            const int wr = wire_at(position_of_section(c.NS_adj_R(s), NS), b + c.NB_adj_R(s), NS);
            EXPECT_EQ(wl, wire_at(p == 1 ? NS : p - 1, b, NS)) << NS << " " << s;
            EXPECT_EQ(wr, wire_at(p == NS ? 1 : p + 1, b, NS)) << NS << " " << s;
            if (is_edge(s)) continue;
            for (int a : {c.NS_adj_L(s), c.NS_adj_R(s)}) {
                if (is_edge(a)) continue;
                EXPECT_EQ(layer(a), layer(s)) << NS << " " << s << " " << a;
                EXPECT_NEAR(std::abs(c.PosX(a) - c.PosX(s)), 2 * d, 1e-12) << NS << " " << s;
            }
            // the crossing strand lies in the other layer
            if (!is_edge(c.NS_cross(s))) {
                EXPECT_NE(layer(c.NS_cross(s)), layer(s)) << s;
            }
        }
    }
}

TEST_F(Neighbours, SingleBandHasNoOffsets) {
    Model c;
    small_cable(c, 1);
    neighbour_tables(c);
    for (int s = 2; s <= 15; ++s) {
        EXPECT_EQ(c.NB_str_L(s), 0);
        EXPECT_EQ(c.NB_str_R(s), 0);
        EXPECT_EQ(c.NB_adj_L(s), 0);
        EXPECT_EQ(c.NB_adj_R(s), 0);
    }
    EXPECT_EQ(c.NS_str_L(3), 10);  // the sections are those of a long cable
}

TEST_F(Neighbours, CentreDistances) {
    m.Th1 = 0.002;
    m.Th2 = 0.0016;
    neighbour_tables(m);
    const double l = m.Length_s(3);            // ordinary section; the edge ones are 2 l
    EXPECT_DOUBLE_EQ(m.l_str_l(2), l * 1.5);   // left: section 3
    EXPECT_DOUBLE_EQ(m.l_str_r(2), l * 1.5);   // right: section 9
    EXPECT_DOUBLE_EQ(m.l_str_l(3), l);         // 10
    EXPECT_DOUBLE_EQ(m.l_str_r(3), l * 1.5);   // 2
    EXPECT_DOUBLE_EQ(m.l_str_l(14), l * 1.5);  // 15
    EXPECT_DOUBLE_EQ(m.l_str_r(14), l);        // 7
    EXPECT_DOUBLE_EQ(m.l_str_l(15), l * 1.5);  // 8
    // l_cr: 0.5 (Th1 + (s - 1.5)(Th2 - Th1)/8), Th2 - Th1 = -0.4 mm
    EXPECT_DOUBLE_EQ(m.l_cr(2), 0.5 * (0.002 - 0.5 * 0.0004 / 8));
    EXPECT_DOUBLE_EQ(m.l_cr(8), 0.5 * (0.002 - 6.5 * 0.0004 / 8));
    for (int s = 10; s <= 14; ++s) EXPECT_EQ(m.l_cr(s), m.l_cr(s - 8)) << s;
    // s = 9 would copy the missing section 1: the same rule at s - 8 = 1
    EXPECT_DOUBLE_EQ(m.l_cr(9), 0.5 * (0.002 + 0.5 * 0.0004 / 8));
    EXPECT_DOUBLE_EQ(m.l_cr(15), 0.5 * (0.002 - 7.5 * 0.0004 / 8));
}

TEST_F(Neighbours, MadeByTheHeatTransferSetUp) {
    initialize_hf(m);
    ASSERT_TRUE(m.NS_cross.allocated());
    EXPECT_EQ(m.NS_str_L(4), 9);
    EXPECT_EQ(m.NB_str_L(9), -1);
    EXPECT_GT(m.l_cr(5), 0.0);
}

}  // namespace
}  // namespace vorn::test

namespace vorn::test {
namespace {

TEST(ContactSurfaces, ConstantsPerSectionAndHeliumMass) {
    Model m;
    set_example_parameters(m);
    set_derived_counts(m);
    allocate_input_arrays(m);
    initialize_2(m);
    initialize_hf(m);
    EXPECT_DOUBLE_EQ(m.A_Ad(3), 0.5e-6);
    EXPECT_DOUBLE_EQ(m.A_Ad(2), 1.0e-6);  // edge sections are twice as long
    EXPECT_DOUBLE_EQ(m.A_Cr(23), 0.8e-6);
    EXPECT_DOUBLE_EQ(m.Vol_He(10), 0.05e-9);
    EXPECT_DOUBLE_EQ(m.Mass_He(10), 0.05e-9 * 126.0);  // 4.2 K: 126 kg/m^3

    m.TBath = 2.17;
    initialize_hf(m);
    EXPECT_DOUBLE_EQ(m.Mass_He(10), 0.05e-9 * 147.0);
}

TEST(ContactSurfaces, EmpiricalSurfacesAreFiniteAndPositive) {
    Model m;
    set_example_parameters(m);
    m.Opt_SurfVol = 3;
    set_derived_counts(m);
    allocate_input_arrays(m);
    initialize_2(m);
    initialize_hf(m);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        EXPECT_GT(m.A_Ad(s), 0.0) << s;
        EXPECT_GT(m.A_Cr(s), 0.0) << s;
        EXPECT_GT(m.A_He(s), 0.0) << s;
        EXPECT_GT(m.Vol_He(s), 0.0) << s;
    }
    // Sections of the same position and thickness get the same surfaces.
    EXPECT_DOUBLE_EQ(m.A_Cr(3), m.A_Cr(5));
}

}  // namespace
}  // namespace vorn::test
