// Self-field coefficients, self field with return lead and rates, total field.
//
// Oracles: the field of a straight line current, mu0 I/(2 pi r), and the
// closed form of a finite straight segment, mu0 I/(4 pi rho) (sin a2 -
// sin a1).  The program's coefficients are those of a current along -z.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

#include "field/field.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

constexpr double kMu0 = 4e-7 * std::numbers::pi;

struct Vec2 {
    double x, y;
};

// Field at `obs` of an infinite line current I along -z through `src`.
Vec2 line_field(double I, double xs, double ys, double xo, double yo) {
    const double rx = xo - xs, ry = yo - ys, r2 = rx * rx + ry * ry;
    const double k = kMu0 * I / (2 * std::numbers::pi * r2);
    return {k * ry, -k * rx};  // (-z) x r
}

// Field at (xo, yo, zo) of the segment z1..z2 at (xs, ys) carrying I along -z.
Vec2 segment_field(double I, double xs, double ys, double z1, double z2, double xo, double yo,
                   double zo) {
    const double rx = xo - xs, ry = yo - ys, rho = std::hypot(rx, ry);
    const double s2 = (z2 - zo) / std::hypot(z2 - zo, rho),
                 s1 = (z1 - zo) / std::hypot(z1 - zo, rho);
    const double k = kMu0 * I / (4 * std::numbers::pi * rho) * (s2 - s1) / rho;
    return {k * ry, -k * rx};
}

// An NS = 8 cable with hand-placed, irregular section centres (a few mm
// across, times `scale`).
std::unique_ptr<Model> sf_store(int cable, int NB, int NBSF, double TPStr = 0.08,
                                double scale = 1.0) {
    auto mp = std::make_unique<Model>();
    Model& m = *mp;
    test::set_example_parameters(m);
    m.NS = 8;
    m.NB = NB;
    m.Opt_Cable = cable;
    m.Opt_SF = 1;
    m.NBSF = NBSF;
    m.TPStr = TPStr;
    set_derived_counts(m);
    allocate_input_arrays(m);
    m.Twice.allocate(2, m.NS_2m1, 1.0);
    m.Twice(2) = m.Twice(m.NS_2m1) = 2.0;
    m.PosX.allocate(2, m.NS_2m1, 0.0);
    m.PosY.allocate(2, m.NS_2m1, 0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        m.PosX(s) = scale * 1e-3 * (0.3 * s + 0.05 * (s % 3));
        m.PosY(s) = scale * (1e-3 * (s % 2 ? 1.2 : 0.4) + 1e-5 * s);
    }
    allocate_arrays(m);
    return mp;
}

void fill_currents(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            m.Cs(b, s) = 100.0 + 7.0 * s - 13.0 * b + (s * b % 5);
            m.Cs_prev(b, s) = m.Cs(b, s) - 0.5 * s + b;
        }
}

TEST(SelfFieldCoefficients, InfiniteCableIsTheLineCurrentField) {
    auto mp = sf_store(1, 1, 0);
    Model& m = *mp;
    self_field_array_calculation(m);
    EXPECT_EQ(m.RSFx.lo2(), 0);
    EXPECT_EQ(m.RSFx.hi2(), 0);
    for (int so = 2; so <= m.NS_2m1; ++so)
        for (int sc = 2; sc <= m.NS_2m1; ++sc) {
            const Vec2 b = so == sc
                               ? Vec2{0, 0}
                               : line_field(1.0, m.PosX(sc), m.PosY(sc), m.PosX(so), m.PosY(so));
            EXPECT_NEAR(m.RSFx(so, 0, sc), b.x, 1e-12 * std::abs(b.x) + 1e-18) << so << " " << sc;
            EXPECT_NEAR(m.RSFy(so, 0, sc), b.y, 1e-12 * std::abs(b.y) + 1e-18) << so << " " << sc;
            EXPECT_EQ(m.RSFz(so, 0, sc), 0.0);
        }
    // A section to the right gives a positive y field (current along -z).
    EXPECT_GT(m.RSFy(3, 0, 15), 0.0);
}

// Middle band m = NB/2 = 3 of 6 bands, NBSF = 2: every coefficient against
// the segment formula, with the sections' axial extents written out:
// sections 3..NS start at the band start and 2, NS+1..2NS-1 half a band
// later; the edge sections 2 and 2NS-1 are a whole band long.
TEST(SelfFieldCoefficients, FiniteCableSegmentsMatchBiotSavart) {
    auto mp = sf_store(2, 6, 2);
    Model& m = *mp;
    self_field_array_calculation(m);
    const double L = m.TPStr / 8;
    auto start = [&](int j, int s) { return L * j + (s == 2 || s > 8 ? L / 2 : 0.0); };
    auto length = [&](int s) { return s == 2 || s == 15 ? L : L / 2; };
    for (int so = 2; so <= 15; ++so) {
        const double zo = start(3, so) + length(so) / 2;
        for (int d = -2; d <= 2; ++d)
            for (int sc = 2; sc <= 15; ++sc) {
                Vec2 b{0, 0};  // the section's own axis: no field
                if (sc != so) {
                    const double z1 = start(3 + d, sc);
                    b = segment_field(1.0, m.PosX(sc), m.PosY(sc), z1, z1 + length(sc), m.PosX(so),
                                      m.PosY(so), zo);
                }
                EXPECT_NEAR(m.RSFx(so, d, sc), b.x, 1e-9 * std::abs(b.x) + 1e-16) << so << d << sc;
                EXPECT_NEAR(m.RSFy(so, d, sc), b.y, 1e-9 * std::abs(b.y) + 1e-16) << so << d << sc;
                EXPECT_EQ(m.RSFz(so, d, sc), 0.0);
            }
    }
}

// A long cable of short bands: summed over the bands, the segments of one
// section make up the line current (ordinary sections cover half of each
// band, the edge sections all of it).  Bands of 20 um, +-30 mm of cable
// around a cross-section 0.5 mm wide.
TEST(SelfFieldCoefficients, LongFiniteCableApproachesTheInfiniteOne) {
    auto inf = sf_store(1, 1, 0, 0.08, 0.1);
    self_field_array_calculation(*inf);
    auto mp = sf_store(2, 3000, 1499, 8 * 2e-5, 0.1);
    Model& m = *mp;
    self_field_array_calculation(m);
    for (int so = 2; so <= 15; ++so)
        for (int sc = 2; sc <= 15; ++sc) {
            double bx = 0, by = 0;
            for (int d = -1499; d <= 1499; ++d) {
                bx += m.RSFx(so, d, sc);
                by += m.RSFy(so, d, sc);
            }
            const double share = m.Twice(sc) / 2;
            const double ex = share * inf->RSFx(so, 0, sc), ey = share * inf->RSFy(so, 0, sc);
            const double size = std::hypot(ex, ey);
            EXPECT_NEAR(bx, ex, 5e-4 * size + 1e-18) << so << " " << sc;
            EXPECT_NEAR(by, ey, 5e-4 * size + 1e-18) << so << " " << sc;
        }
}

// The coefficients exist only for the bands that lie in the cable around
// the middle band: NB = 5 (middle band 2), NBSF = 4 keeps offsets -1..3.
TEST(SelfFieldCoefficients, ClippedAtTheCableEnds) {
    auto mp = sf_store(2, 5, 4);
    Model& m = *mp;
    self_field_array_calculation(m);
    EXPECT_EQ(m.RSFx.lo2(), -4);
    EXPECT_EQ(m.RSFx.hi2(), 4);
    for (int d = -4; d <= 4; ++d) {
        const bool inside = d >= -1 && d <= 3;
        EXPECT_EQ(m.RSFy(5, d, 12) != 0.0, inside) << d;
    }
    // One band: its own band is the middle band.
    auto one = sf_store(2, 1, 0);
    self_field_array_calculation(*one);
    EXPECT_NE(one->RSFy(5, 0, 12), 0.0);
    EXPECT_TRUE(std::isfinite(one->RSFx(5, 0, 12)));
}

TEST(SelfField, NeighbourBandsAndTheirRange) {
    auto mp = sf_store(2, 5, 0);  // NBSF = 0: the band's own currents only
    Model& m = *mp;
    self_field_array_calculation(m);
    fill_currents(m);
    m.NTS = 0;
    self_field_calculation(m);
    const RArr2 all = m.BSF_y;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s)
            if (b != 4) m.Cs(b, s) = 0;
    self_field_calculation(m);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        EXPECT_EQ(m.BSF_y(4, s), all(4, s));
        EXPECT_EQ(m.BSF_y(3, s), 0.0);
    }

    // NBSF = 2: band 4's currents reach bands 2..5, not band 1; band 1
    // sums over bands 1..3 only.
    auto wide = sf_store(2, 5, 2);
    Model& n = *wide;
    self_field_array_calculation(n);
    for (int s = 2; s <= n.NS_2m1; ++s) n.Cs(4, s) = 50.0 + s;
    self_field_calculation(n);
    for (int s = 2; s <= n.NS_2m1; ++s) {
        EXPECT_EQ(n.BSF_x(1, s), 0.0);
        EXPECT_EQ(n.BSF_y(1, s), 0.0);
        EXPECT_NE(n.BSF_y(2, s), 0.0);
        double by = 0;  // band 2 observes band 4 at offset +2
        for (int sc = 2; sc <= n.NS_2m1; ++sc) by += n.RSFy(s, 2, sc) * n.Cs(4, sc);
        EXPECT_NEAR(n.BSF_y(2, s), by, 1e-15);
    }
}

// Rates from the current change of the step (the field of the change
// divided by dt); none at t = 0.
TEST(SelfField, RatesFollowTheCurrentChange) {
    auto mp = sf_store(2, 4, 1);
    Model& m = *mp;
    self_field_array_calculation(m);
    fill_currents(m);
    m.dt = 0.02;
    m.NTS = 0;
    self_field_calculation(m);
    for (int s = 2; s <= 15; ++s) EXPECT_EQ(m.dBSFdt_x(2, s), 0.0);
    m.NTS = 3;
    self_field_calculation(m);
    const RArr2 rx = m.dBSFdt_x, ry = m.dBSFdt_y;
    for (int b = 1; b <= 4; ++b)
        for (int s = 2; s <= 15; ++s) m.Cs(b, s) = (m.Cs(b, s) - m.Cs_prev(b, s)) / 0.02;
    self_field_calculation(m);
    for (int b = 1; b <= 4; ++b)
        for (int s = 2; s <= 15; ++s) {
            EXPECT_NEAR(rx(b, s), m.BSF_x(b, s), 1e-12 * std::abs(m.BSF_x(b, s)) + 1e-15);
            EXPECT_NEAR(ry(b, s), m.BSF_y(b, s), 1e-12 * std::abs(m.BSF_y(b, s)) + 1e-15);
        }
}

// The return lead: NS line currents of -CPC/NS each; its rate with dIdt.
TEST(SelfField, ReturnLead) {
    auto mp = sf_store(2, 3, 1);
    Model& m = *mp;
    self_field_array_calculation(m);
    m.Opt_RetLead = 1;
    m.PosRetLeadP_x.allocate(0, 8, 0.0);
    m.PosRetLeadP_y.allocate(0, 8, 0.0);
    for (int p = 0; p <= 8; ++p) {
        m.PosRetLeadP_x(p) = 1e-3 * (0.6 * (p == 0 ? 8 : p) - 0.2);
        m.PosRetLeadP_y(p) = 0.012 + 1e-4 * p;
    }
    m.CPC = 1200;
    m.dIdt = -300;
    m.dt = 0.01;
    m.NTS = 1;  // no section currents: only the lead acts
    self_field_calculation(m);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        double bx = 0, by = 0;
        for (int p = 1; p <= 8; ++p) {
            const Vec2 b =
                line_field(-1.0 / 8, m.PosRetLeadP_x(p), m.PosRetLeadP_y(p), m.PosX(s), m.PosY(s));
            bx += b.x;
            by += b.y;
        }
        for (int b = 1; b <= m.NB; ++b) {
            EXPECT_NEAR(m.BSF_x(b, s), 1200 * bx, 1e-12 * std::abs(1200 * bx));
            EXPECT_NEAR(m.BSF_y(b, s), 1200 * by, 1e-12 * std::abs(1200 * by));
            EXPECT_NEAR(m.dBSFdt_x(b, s), -300 * bx, 1e-12 * std::abs(300 * bx));
            EXPECT_NEAR(m.dBSFdt_y(b, s), -300 * by, 1e-12 * std::abs(300 * by));
            EXPECT_EQ(m.BSF_z(b, s), 0.0);
        }
    }
}

// The products are formed for all bands side by side where RSFz vanishes
// and every current is finite, else section by section with every product
// (RSFz's included).  A tiny RSFz entry forces the second way: the x and y
// sums, which do not involve RSFz, must come out the same to the bit, with
// the return lead, the rates and NBSF wider than the cable.
TEST(SelfField, BothWaysOfSummingAgreeToTheBit) {
    for (int nbsf : {1, 6}) {
        auto mp = sf_store(2, 5, nbsf);
        Model& m = *mp;
        self_field_array_calculation(m);
        fill_currents(m);
        m.Cs(3, 7) = -0.0;
        m.Opt_RetLead = 1;
        m.PosRetLeadP_x.allocate(0, 8, 0.0);
        m.PosRetLeadP_y.allocate(0, 8, 0.0);
        for (int p = 0; p <= 8; ++p) {
            m.PosRetLeadP_x(p) = 1e-3 * (0.6 * p - 0.2);
            m.PosRetLeadP_y(p) = 0.012 + 1e-4 * p;
        }
        m.CPC = 800;
        m.dIdt = 40;
        m.dt = 0.003;
        m.NTS = 2;
        self_field_calculation(m);
        const RArr2 bx = m.BSF_x, by = m.BSF_y, rx = m.dBSFdt_x, ry = m.dBSFdt_y;
        m.RSFz(4, 0, 9) = 1e-30;
        self_field_calculation(m);
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) {
                EXPECT_EQ(bx(b, s), m.BSF_x(b, s)) << nbsf << " " << b << " " << s;
                EXPECT_EQ(by(b, s), m.BSF_y(b, s)) << nbsf << " " << b << " " << s;
                EXPECT_EQ(rx(b, s), m.dBSFdt_x(b, s)) << nbsf << " " << b << " " << s;
                EXPECT_EQ(ry(b, s), m.dBSFdt_y(b, s)) << nbsf << " " << b << " " << s;
            }
        m.RSFz(4, 0, 9) = 0.0;
        self_field_calculation(m);
        EXPECT_EQ(m.BSF_x(2, 5), bx(2, 5));
        EXPECT_FALSE(std::signbit(m.BSF_z(2, 5)));
    }
}

// A current that is not a number spoils the field of the bands within
// reach, and of no other band, as the plain sums do.
TEST(SelfField, NotANumberStaysWithinReach) {
    auto mp = sf_store(2, 6, 1);
    Model& m = *mp;
    self_field_array_calculation(m);
    fill_currents(m);
    m.NTS = 0;
    m.Cs(1, 4) = std::numeric_limits<double>::quiet_NaN();
    self_field_calculation(m);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        for (int b : {1, 2}) {
            EXPECT_TRUE(std::isnan(m.BSF_y(b, s))) << b << " " << s;
            EXPECT_TRUE(std::isnan(m.BSF_z(b, s))) << b << " " << s;
        }
        for (int b = 3; b <= 6; ++b) {
            EXPECT_TRUE(std::isfinite(m.BSF_y(b, s))) << b << " " << s;
            EXPECT_EQ(m.BSF_z(b, s), 0.0);
        }
    }
}

// Opt_SF = 2: the table per ampere times the transport current, no z part.
TEST(SelfField, PredefinedTable) {
    auto mp = sf_store(2, 3, 1);
    Model& m = *mp;
    m.Opt_SF = 2;
    m.sff_x.allocate(2, 15, 1e-5);
    m.sff_y.allocate(2, 15, -2e-5);
    m.BSF_x.fill(9.0);
    m.CPC = 0;
    self_field_calculation(m);
    for (int s = 2; s <= 15; ++s) EXPECT_EQ(m.BSF_x(2, s) + m.BSF_y(3, s), 0.0);
    m.CPC = 500;
    self_field_calculation(m);
    EXPECT_DOUBLE_EQ(m.BSF_x(2, 7), 500 * 1e-5);
    EXPECT_DOUBLE_EQ(m.BSF_y(3, 9), -500 * 2e-5);
    EXPECT_EQ(m.BSF_z(3, 9), 0.0);
}

// |B| adds the self field per option; the rate magnitude leaves out z.
TEST(TotalField, MagnitudesPerOption) {
    auto mp = sf_store(2, 2, 1);
    Model& m = *mp;
    const int b = 2, s = 6;
    m.Ba_x(b, s) = 0.3;
    m.Ba_y(b, s) = 0.4;
    m.Ba_z(b, s) = 1.2;
    m.dBadt_x(b, s) = 3;
    m.dBadt_y(b, s) = 0;
    m.dBadt_z(b, s) = 100;
    m.BSF_x(b, s) = 0.3;
    m.BSF_y(b, s) = -0.8;
    m.BSF_z(b, s) = 0.4;
    m.dBSFdt_x(b, s) = 1;
    m.dBSFdt_y(b, s) = 3;
    m.dBSFdt_z(b, s) = 50;

    m.Opt_SF = 0;
    total_field_calculation(m);
    EXPECT_DOUBLE_EQ(m.BTs(b, s), 1.3);
    EXPECT_DOUBLE_EQ(m.BDOTs(b, s), 3.0);
    m.Opt_SF = 1;
    total_field_calculation(m);
    EXPECT_DOUBLE_EQ(m.BTs(b, s), std::sqrt(0.36 + 0.16 + 2.56));
    EXPECT_DOUBLE_EQ(m.BDOTs(b, s), 5.0);
    m.Opt_SF = 2;
    total_field_calculation(m);
    EXPECT_DOUBLE_EQ(m.BTs(b, s), std::sqrt(0.36 + 0.16 + 1.44));
    EXPECT_DOUBLE_EQ(m.BDOTs(b, s), 3.0);

    // A field purely along the axis: however fast it changes, BDOTs = 0.
    m.Opt_SF = 0;
    m.Ba_x(b, s) = m.Ba_y(b, s) = m.dBadt_x(b, s) = 0;
    total_field_calculation(m);
    EXPECT_EQ(m.BDOTs(b, s), 0.0);
    EXPECT_EQ(m.BTs(b, s), 1.2);
}

}  // namespace
}  // namespace vorn
