// Contact resistances and loop surfaces.
#include "network/contacts.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "network/network.hpp"
#include "small_cable.hpp"

namespace vorn::test {
namespace {

// NS = 8: the positions each adjacent contact k = 1..16 joins, and each
// crossing contact k = 1..7, written out by hand from the contact tables.
const int kRaPos[17][2] = {{0, 0}, {1, 2}, {1, 8}, {7, 8}, {1, 2}, {6, 7}, {2, 3}, {5, 6}, {3, 4},
                           {1, 2}, {7, 8}, {2, 3}, {6, 7}, {3, 4}, {5, 6}, {4, 5}, {5, 6}};
const int kRcPos[8][2] = {{0, 0}, {1, 8}, {1, 7}, {2, 7}, {2, 6}, {3, 6}, {3, 5}, {4, 5}};

const int NB = 3;

class Contacts : public ::testing::Test {
protected:
    void SetUp() override {
        small_cable(m, NB);
        for (int j = 1; j <= NB + 1; ++j) {
            m.ralong(j) = 1e-6 * j;  // differs per band
            m.rclong(j) = 1e-5 * j;
        }
    }
    // The contact surfaces of Opt_SurfVol = 1 (normally made by the
    // heat-transfer set-up).
    void constant_surfaces() {
        for (int s = 2; s <= 15; ++s) {
            m.A_Ad(s) = m.Twice(s) * m.A_Ad_con;
            m.A_Cr(s) = m.Twice(s) * m.A_Cr_con;
        }
    }
    Model m;
};

TEST_F(Contacts, PositionPairsOfTheContacts) {
    for (int k = 1; k <= 16; ++k) {
        const PositionPair pp = ra_contact_positions(k, 8);
        EXPECT_EQ(pp.first, kRaPos[k][0]) << k;
        EXPECT_EQ(pp.second, kRaPos[k][1]) << k;
    }
    for (int k = 1; k <= 7; ++k) {
        const PositionPair pp = rc_contact_positions(k, 8);
        EXPECT_EQ(pp.first, kRcPos[k][0]) << k;
        EXPECT_EQ(pp.second, kRcPos[k][1]) << k;
    }
    // every adjacent pair twice per band, the two edge pairs (1, NS) and
    // (NS/2, NS/2+1) once, besides the copies k = 1 and k = 2NS
    for (int NS : {8, 12, 40}) {
        std::vector<int> count(NS + 1, 0);  // by the pair's lower position
        for (int k = 2; k <= 2 * NS - 1; ++k) {
            const PositionPair pp = ra_contact_positions(k, NS);
            ASSERT_TRUE(pp.second == pp.first + 1 || (pp.first == 1 && pp.second == NS)) << k;
            ++count[pp.second == NS && pp.first == 1 ? NS : pp.first];
        }
        for (int p = 1; p <= NS; ++p) EXPECT_EQ(count[p], p == NS || p == NS / 2 ? 1 : 2) << p;
    }
}

TEST_F(Contacts, ConstantAcrossTheWidth) {
    ra_definition(m);
    rc_definition(m);
    ASSERT_EQ(m.Ra.hi1(), NB);
    ASSERT_EQ(m.Ra.hi2(), 16);
    ASSERT_EQ(m.Rc.hi1(), NB + 1);
    ASSERT_EQ(m.Rc.hi2(), 7);
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k) EXPECT_EQ(m.Ra(j, k), 1e-6 * j);
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k) EXPECT_EQ(m.Rc(j, k), 1e-5 * j);
    // a width factor of 0 with option 1 is the same table
    const RArr2 ra = m.Ra, rc = m.Rc;
    m.Opt_RaW = m.Opt_RcW = 1;
    m.FRaW = m.FRcW = 0.0;
    ra_definition(m);
    rc_definition(m);
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k) EXPECT_EQ(m.Ra(j, k), ra(j, k));
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k) EXPECT_EQ(m.Rc(j, k), rc(j, k));
}

TEST_F(Contacts, WidthProfileByFactor) {
    m.Opt_RaW = m.Opt_RcW = 1;
    m.FRaW = m.FRcW = 0.5;
    ra_definition(m);
    rc_definition(m);
    for (int j = 1; j <= NB; ++j) {
        const double r = m.ralong(j);
        EXPECT_DOUBLE_EQ(m.Ra(j, 1), 0.5 * r);
        EXPECT_DOUBLE_EQ(m.Ra(j, 2), 0.5 * r);
        for (int k = 3; k <= 8; ++k) {
            EXPECT_DOUBLE_EQ(m.Ra(j, k), (0.5 + (k - 2) / 7.0) * r) << k;
            EXPECT_DOUBLE_EQ(m.Ra(j, k + 6), (0.5 + (k - 2) / 7.0) * r) << k;
        }
        EXPECT_DOUBLE_EQ(m.Ra(j, 15), 1.5 * r);
        EXPECT_DOUBLE_EQ(m.Ra(j, 16), 1.5 * r);
    }
    // Rc: linear from 1 - F at k = 1 to 1 + F at k = NS-1
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k)
            EXPECT_DOUBLE_EQ(m.Rc(j, k), (0.5 + (k - 1) / 6.0) * m.rclong(j)) << j << " " << k;
}

TEST_F(Contacts, WidthProfileLinkedToTheContactSurface) {
    m.Opt_RaW = m.Opt_RcW = 2;
    constant_surfaces();
    ra_definition(m);
    rc_definition(m);
    // surfaces proportional to the section lengths: Ra constant
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k) EXPECT_DOUBLE_EQ(m.Ra(j, k), m.ralong(j)) << k;
    // c_1 = A(2) + A(9) = 3 A0, c_7 = A(8) + A(15) = 3 A0, the others 2 A0:
    // M = (2/3 + 2/3 + 5)/7 / A0 = 19/21 / A0; Rc = rclong 2/(c M)
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k)
            EXPECT_DOUBLE_EQ(m.Rc(j, k), m.rclong(j) * (k == 1 || k == 7 ? 14.0 / 19 : 21.0 / 19))
                << k;

    // one section with twice the surface: S = (16 - 1 + 1/2)/A0, M = S/16
    m.A_Ad(5) *= 2;
    ra_definition(m);
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k)
            EXPECT_DOUBLE_EQ(m.Ra(j, k), m.ralong(j) * (k == 5 ? 8.0 : 16.0) / 15.5) << k;
}

TEST_F(Contacts, PerStrandFactorsChangeTheContactsOfThatWire) {
    m.Opt_StrRes = 1;
    m.F_Ra_w.fill(1.0);
    m.F_Rc_w.fill(1.0);
    ra_definition(m);
    rc_definition(m);
    const RArr2 ra = m.Ra, rc = m.Rc;  // all factors 1: unchanged
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k) EXPECT_EQ(m.Ra(j, k), 1e-6 * j);

    m.F_Ra_w(3) = 3.0;  // mean with a neighbour's 1: factor 2
    m.F_Rc_w(3) = 5.0;  // factor 3
    ra_definition(m);
    rc_definition(m);
    for (int j = 1; j <= NB + 1; ++j) {
        int p3 = 0;  // position of wire 3 in band (or plane) j
        for (int p = 1; p <= 8; ++p)
            if (wire_at(p, j, 8) == 3) p3 = p;
        EXPECT_EQ(p3, (3 - j + 8) % 8 + 1);
        if (j <= NB)
            for (int k = 1; k <= 16; ++k) {
                const bool touches = kRaPos[k][0] == p3 || kRaPos[k][1] == p3;
                EXPECT_DOUBLE_EQ(m.Ra(j, k), ra(j, k) * (touches ? 2.0 : 1.0)) << j << " " << k;
            }
        for (int k = 1; k <= 7; ++k) {
            const bool touches = kRcPos[k][0] == p3 || kRcPos[k][1] == p3;
            EXPECT_DOUBLE_EQ(m.Rc(j, k), rc(j, k) * (touches ? 3.0 : 1.0)) << j << " " << k;
        }
    }
    // band 1: wire 3 at position 3 touches Ra contacts 6, 8, 11, 13 and Rc 5, 6
    EXPECT_DOUBLE_EQ(m.Ra(1, 6), 2 * ra(1, 6));
    EXPECT_DOUBLE_EQ(m.Ra(1, 13), 2 * ra(1, 13));
    EXPECT_DOUBLE_EQ(m.Ra(1, 7), ra(1, 7));
    EXPECT_DOUBLE_EQ(m.Rc(1, 5), 3 * rc(1, 5));
    EXPECT_DOUBLE_EQ(m.Rc(1, 4), rc(1, 4));
}

TEST_F(Contacts, ResistiveCoreAndSpecialValues) {
    m.Opt_Core = 1;
    m.Core_pos1 = 2;
    m.Core_pos2 = 4;
    m.RcCore = 7e-4;
    m.NrRcSp = 1;
    m.NBRcSp.allocate(1, 1, 2);
    m.NSRcSp.allocate(1, 1, 3);
    m.RcSp.allocate(1, 1, 2e-6);
    m.NrRaSp = 2;
    m.NBRaSp.allocate(1, 2, 0);
    m.NSRaSp.allocate(1, 2, 0);
    m.RaSp.allocate(1, 2, 0.0);
    m.NBRaSp(1) = 3, m.NSRaSp(1) = 16, m.RaSp(1) = 9e-6;
    m.NBRaSp(2) = 1, m.NSRaSp(2) = 1, m.RaSp(2) = 8e-6;
    ra_definition(m);
    rc_definition(m);
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k) {
            const double expect = j == 2 && k == 3   ? 2e-6  // special value inside the core
                                  : k >= 2 && k <= 4 ? 7e-4
                                                     : m.rclong(j);
            EXPECT_EQ(m.Rc(j, k), expect) << j << " " << k;
        }
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k) {
            const double expect = j == 3 && k == 16 ? 9e-6 : j == 1 && k == 1 ? 8e-6 : m.ralong(j);
            EXPECT_EQ(m.Ra(j, k), expect) << j << " " << k;
        }
}

TEST_F(Contacts, SpecialOption50) {
    m.Nr_Opt = 50;
    m.C3_Opt = 4e-6;
    m.C4_Opt = 5e-6;
    m.Opt_Core = 1;  // option 50 comes after the core
    m.Core_pos1 = 1;
    m.Core_pos2 = 2;
    m.RcCore = 1e-3;
    ra_definition(m);
    rc_definition(m);
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k)
            EXPECT_EQ(m.Ra(j, k), k == 1 || k == 2 || k == 3 || k == 9 ? 4e-6 : m.ralong(j)) << k;
    for (int j = 1; j <= NB + 1; ++j) {
        EXPECT_EQ(m.Rc(j, 1), 5e-6);
        EXPECT_EQ(m.Rc(j, 2), 1e-3);
        EXPECT_EQ(m.Rc(j, 3), m.rclong(j));
    }
}

TEST(RandomScatter, Transformation) {
    const double r = 2.0, F = 0.3;
    EXPECT_EQ(random_scatter(r, 0.5, F), r);  // a draw of 0.5 leaves the value
    // clamped to [1e-5, 0.99999]: at the upper clamp the logarithm term is
    // ln(2 (1 - 0.99999)) = -10.819778284414834 (1 - 0.99999 is not exactly
    // 1e-5 in binary), at the lower one ln(2e-5) = -10.819778284410283
    EXPECT_DOUBLE_EQ(random_scatter(r, 1.0, F), r / (1 + 10.819778284414834 * F));
    EXPECT_EQ(random_scatter(r, 1.0, F), random_scatter(r, 0.99999, F));
    EXPECT_DOUBLE_EQ(random_scatter(r, 0.0, F), r * (1 + 10.819778284410283 * F));
    EXPECT_EQ(random_scatter(r, 1e-9, F), random_scatter(r, 1e-5, F));
    EXPECT_NEAR(random_scatter(r, 0.0, F), r * (1 + 10.819778284414834 * F), 1e-11);
    // E = ln(1/(2 min(u, 1-u))): ln 2 at u = 1/4 and 3/4
    EXPECT_DOUBLE_EQ(random_scatter(r, 0.25, F), r * (1 + std::log(2.0) * F));
    EXPECT_DOUBLE_EQ(random_scatter(r, 0.75, F), r / (1 + std::log(2.0) * F));
    EXPECT_EQ(random_scatter(r, 0.9, 0.0), r);
}

TEST_F(Contacts, RandomScatterDrawsRaByBandThenRcByPlane) {
    m.Opt_RaRand = m.Opt_RcRand = 1;
    m.FRaRand = 0.2;
    m.FRcRand = 0.4;
    std::mt19937_64 copy = m.rng;  // the draws, replayed
    ControlState replay;
    replay.rng = copy;
    ra_definition(m);
    rc_definition(m);
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k)
            EXPECT_EQ(m.Ra(j, k), random_scatter(m.ralong(j), uniform01(replay), 0.2)) << j << k;
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k)
            EXPECT_EQ(m.Rc(j, k), random_scatter(m.rclong(j), uniform01(replay), 0.4)) << j << k;
    EXPECT_TRUE(replay.rng == m.rng);  // one draw per element, no more

    // without the random options nothing is drawn
    m.Opt_RaRand = m.Opt_RcRand = 0;
    const std::mt19937_64 before = m.rng;
    ra_definition(m);
    rc_definition(m);
    EXPECT_TRUE(before == m.rng);
}

TEST_F(Contacts, SameSeedSameTableIniRandAnother) {
    auto tables = [](int ini_rand) {
        auto c = std::make_unique<Model>();
        set_example_parameters(*c);
        c->NB = NB;
        c->NS = 8;
        c->NB2_M = NB;
        set_derived_counts(*c);
        allocate_input_arrays(*c);
        c->ralong.fill(c->RaCon);
        c->rclong.fill(c->RcCon);
        c->IniRand = ini_rand;
        initialize_2(*c);  // discards IniRand draws
        c->Opt_RaRand = c->Opt_RcRand = 1;
        c->FRaRand = c->FRcRand = 0.5;
        ra_definition(*c);
        rc_definition(*c);
        return c;
    };
    const auto a = tables(0), b = tables(0), c = tables(3);
    int ra_diff = 0, rc_diff = 0;
    for (int j = 1; j <= NB; ++j)
        for (int k = 1; k <= 16; ++k) {
            EXPECT_EQ(a->Ra(j, k), b->Ra(j, k));
            ra_diff += a->Ra(j, k) != c->Ra(j, k);
        }
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= 7; ++k) {
            EXPECT_EQ(a->Rc(j, k), b->Rc(j, k));
            rc_diff += a->Rc(j, k) != c->Rc(j, k);
        }
    EXPECT_GT(ra_diff, 40);
    EXPECT_GT(rc_diff, 20);
    // IniRand = 3 is the same sequence three draws on
    EXPECT_EQ(c->Ra(1, 1), a->Ra(1, 4));
}

TEST_F(Contacts, LoopSurfaces) {
    m.Th1 = 0.002;
    m.Th2 = 0.0016;
    surf_loop_definition(m);
    ASSERT_EQ(m.SurfLoopX.lo(), 1);
    ASSERT_EQ(m.SurfLoopX.hi(), 7);
    const double Th = 0.0018, w_eff = 0.75 * m.w, band = m.TPStr / 8;
    for (int k = 1; k <= 7; ++k) {
        EXPECT_DOUBLE_EQ(m.SurfLoopX(k), Th * 0.25 * band);
        const double y = band * w_eff / 6;  // w_eff/(NS-2) wide, one band long
        EXPECT_DOUBLE_EQ(m.SurfLoopY(k), k == 1 || k == 7 ? y / 2 : y);
        EXPECT_DOUBLE_EQ(m.SurfLoopZ(k), w_eff * Th / 2 / 6);
    }
}

}  // namespace
}  // namespace vorn::test
