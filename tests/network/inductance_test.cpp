// Self and mutual inductances of the sections and the inductive terms of the
// network matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "network/network.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

using test::read_lines;
using test::TempDir;

// Neumann integral (H) of two parallel filaments at distance d along z
// ranges [a1, b1] and [a2, b2]: mu0/4pi ∫∫ dz1 dz2 / sqrt(d² + (z2 - z1)²).
// The inner integral is the asinh antiderivative, the outer one composite
// Simpson.
double neumann(double d, double a1, double b1, double a2, double b2, int n = 4000) {
    auto inner = [&](double z) { return std::asinh((b2 - z) / d) - std::asinh((a2 - z) / d); };
    const double h = (b1 - a1) / n;
    double sum = inner(a1) + inner(b1);
    for (int k = 1; k < n; ++k) sum += (k % 2 ? 4.0 : 2.0) * inner(a1 + k * h);
    return 1e-7 * sum * h / 3.0;
}

// Side-by-side filaments of equal length l at distance d.
double side_by_side(double l, double d) {
    return 2e-7 * (l * std::asinh(l / d) - std::sqrt(l * l + d * d) + d);
}

TEST(Inductance, ParmutClosedFormsAndSymmetry) {
    const double l = 0.004, d = 0.0005;
    EXPECT_NEAR(parmut(0, 0, l, d, 0, 0, l, l), side_by_side(l, d), 1e-22);
    // only the distance in the cross-section counts
    EXPECT_NEAR(parmut(1e-3, 2e-3, l, 1e-3 + 0.6 * d, 2e-3 - 0.8 * d, 0, l, l), side_by_side(l, d),
                1e-22);

    // collinear and separated by g: 1e-7 [α ln α - β ln β - γ ln γ + g ln g]
    // (the distance raised to 1 µm in asinh adds a relative (1 µm / g)²)
    const double l1 = 0.003, l2 = 0.005, g = 0.002;
    const double al = l1 + l2 + g, be = l1 + g, ga = l2 + g;
    const double collinear =
        1e-7 * (al * std::log(al) - be * std::log(be) - ga * std::log(ga) + g * std::log(g));
    EXPECT_NEAR(parmut(0, 0, l1, 0, 0, l1 + g, l1, l2), collinear, 1e-6 * collinear);

    // swapping the two filaments (lengths and positions) changes nothing
    for (double gap : {-0.004, -0.001, 0.0, 0.0015}) {
        const double m12 = parmut(0, 0, l1, 3e-4, 1e-4, l1 + gap, l1, l2);
        const double m21 = parmut(3e-4, 1e-4, l2, 0, 0, l2 + gap, l2, l1);
        EXPECT_NEAR(m12, m21, 1e-15 * std::abs(m12)) << gap;
    }
}

TEST(Inductance, ParmutMatchesNeumannIntegral) {
    struct Case {
        double d, l1, l2, g;
    };
    const Case cases[] = {
        {0.0005, 0.0025, 0.0025, -0.0025},  // side by side
        {0.0003, 0.0050, 0.0025, -0.0050},  // same start, second shorter
        {0.0003, 0.0025, 0.0050, -0.0040},  // partial overlap
        {0.0008, 0.0050, 0.0025, -0.0040},  // second inside the first
        {0.0004, 0.0025, 0.0025, 0.0},      // touching
        {0.0002, 0.0025, 0.0050, 0.0030},   // separated
        {0.0020, 0.0100, 0.0030, 0.0150},   // far apart
    };
    for (const Case& c : cases) {
        const double ref = neumann(c.d, 0, c.l1, c.l1 + c.g, c.l1 + c.g + c.l2);
        EXPECT_NEAR(parmut(0, 0, c.l1, 0, c.d, c.l1 + c.g, c.l1, c.l2), ref, 1e-7 * std::abs(ref))
            << c.d << " " << c.l1 << " " << c.l2 << " " << c.g;
    }
}

TEST(Inductance, SelfLongWireLimitAndGeometricMeanRadius) {
    const double a = 1e-4;
    for (double l : {1.0, 10.0}) {
        const double limit = 2e-7 * l * (std::log(2 * l / a) - 1);
        EXPECT_NEAR(self(a, l, l * l), limit, 1e-4 * limit) << l;
    }
    // a round wire acts as a filament at its geometric mean radius
    const double l = 0.0025, r = 3e-4;
    EXPECT_NEAR(self(r, l, l * l), parmut(0, 0, l, r, 0, 0, l, l), 1e-15 * self(r, l, l * l));
}

// A cable of NS strands and NB bands with the section coordinates of a
// rectangular cable (thickness T, width w) set by hand.
void make_cable(Model& m, int NS, int NB, int NBMut, int Opt_Cable) {
    m.NS = NS;
    m.NB = NB;
    m.NBMut = NBMut;
    m.Opt_Cable = Opt_Cable;
    m.w = 0.005;
    m.Th1 = m.Th2 = 0.0016;
    m.TPStr = 0.06;
    m.DiamStr = 0.000825;
    m.EffLC = 1.0;
    set_derived_counts(m);
    const double d = m.w / (2 * NS), T = m.Th1;
    m.Twice.allocate(2, 2 * NS - 1, 1.0);
    m.Twice(2) = m.Twice(2 * NS - 1) = 2.0;
    m.PosX.allocate(2, 2 * NS - 1);
    m.PosY.allocate(2, 2 * NS - 1);
    for (int s = 3; s <= NS; ++s) {  // first half of the band
        m.PosX(s) = (2 * s - 3) * d;
        m.PosY(s) = (s % 2 ? 0.75 : 0.25) * T;
    }
    for (int s = NS + 1; s <= 2 * NS - 2; ++s) {  // second half
        m.PosX(s) = (2 * (s - NS) + 1) * d;
        m.PosY(s) = (s % 2 ? 0.25 : 0.75) * T;
    }
    m.PosX(2) = m.w / NS;
    m.PosX(2 * NS - 1) = (1 - 1.0 / NS) * m.w;
    m.PosY(2) = m.PosY(2 * NS - 1) = 0.5 * T;
}

// Section s of band j as a z range [start, end] of the finite cable.
struct Zrange {
    double a, b;
};
Zrange zrange(const Model& m, int j, int s) {
    const double h = m.TPStr / (2 * m.NS);
    const double start = j * m.TPStr / m.NS + ((s == 2 || s > m.NS) ? h : 0.0);
    return {start, start + h * m.Twice(s)};
}

double neumann_sections(const Model& m, int j1, int s1, int j2, int s2, int n = 4000) {
    const double d = std::hypot(m.PosX(s1) - m.PosX(s2), m.PosY(s1) - m.PosY(s2));
    const Zrange z1 = zrange(m, j1, s1), z2 = zrange(m, j2, s2);
    return neumann(d, z1.a, z1.b, z2.a, z2.b, n);
}

TEST(Inductance, RMutFiniteCable) {
    Model m;
    make_cable(m, 8, 6, 2, 2);  // middle band jm = 3
    mutual_ind_array_calculation(m);
    ASSERT_EQ(m.RMut.lo2(), -2);
    ASSERT_EQ(m.RMut.hi2(), 2);
    for (int s1 = 2; s1 <= 15; ++s1)
        for (int d = -2; d <= 2; ++d)
            for (int s2 = 2; s2 <= 15; ++s2) {
                EXPECT_EQ(m.RMut(s1, d, s2), m.RMut(s2, d, s1));
                EXPECT_GT(m.RMut(s1, d, s2), 0.0);
            }
    const double a = 0.7788 * m.DiamStr / 2, h = m.TPStr / 16;
    EXPECT_EQ(m.RMut(5, 0, 5), self(a, h, h * h));
    EXPECT_EQ(m.RMut(2, 0, 2), self(a, 2 * h, 4 * h * h));
    // every other entry against the Neumann integral of the pair computed
    // last: the larger section number lies in the middle band, e.g.
    // RMut(3, +1, 10) = section 10 of band 3 against section 3 of band 4
    // (touching), not section 3 of band 3 against section 10 of band 4 (a
    // half band apart)
    for (int d = -2; d <= 2; ++d)
        for (int s1 = 2; s1 <= 15; ++s1)
            for (int s2 = s1 + 1; s2 <= 15; ++s2) {
                const double ref = neumann_sections(m, 3, s2, 3 + d, s1, 2000);
                EXPECT_NEAR(m.RMut(s1, d, s2), ref, 1e-7 * ref) << d << " " << s1 << " " << s2;
            }
    const double earlier = neumann_sections(m, 3, 3, 4, 10);
    EXPECT_GT(std::abs(m.RMut(3, 1, 10) - earlier), 0.05 * earlier);
    // a collinear section two bands on: distance raised to 1 µm in asinh only
    const Zrange z1 = zrange(m, 3, 7), z2 = zrange(m, 5, 7);
    EXPECT_DOUBLE_EQ(m.RMut(7, 2, 7), parmut(0, 0, z1.b, 0, 0, z2.a, h, h));

    // a second creation is fatal
    EXPECT_THROW(mutual_ind_array_calculation(m), FatalError);
}

TEST(Inductance, RMutBandRangeClippedAndNBMutZero) {
    Model m;
    make_cable(m, 8, 4, 3, 2);  // jm = 2: bands 1..4 are distances -1..2
    mutual_ind_array_calculation(m);
    for (int d = -3; d <= 3; ++d) {
        const bool inside = d >= -1 && d <= 2;
        for (int s1 = 2; s1 <= 15; ++s1)
            for (int s2 = 2; s2 <= 15; ++s2)
                EXPECT_EQ(m.RMut(s1, d, s2) > 0, inside) << d << " " << s1 << " " << s2;
    }

    Model z;
    make_cable(z, 8, 4, 0, 2);
    mutual_ind_array_calculation(z);
    EXPECT_EQ(z.RMut.lo2(), 0);
    EXPECT_EQ(z.RMut.hi2(), 0);
    for (int s1 = 2; s1 <= 15; ++s1)
        for (int s2 = 2; s2 <= 15; ++s2) EXPECT_EQ(z.RMut(s1, 0, s2), m.RMut(s1, 0, s2));
}

TEST(Inductance, RMutInfiniteCableAndOption60Scaling) {
    Model m;
    make_cable(m, 8, 1, 0, 1);
    m.EffLC = 0.5;
    mutual_ind_array_calculation(m);
    const double a = 0.7788 * m.DiamStr / 2;
    const double l = m.EffLC * 2 * std::sqrt(m.w * m.w + m.TPStr * m.TPStr / 4) / m.TPStr;
    const double scale = m.TPStr / (2 * 8 * m.EffLC);  // section length over EffLC
    for (int s1 = 2; s1 <= 15; ++s1)
        for (int s2 = 2; s2 <= 15; ++s2) {
            const double t1 = m.Twice(s1), t2 = m.Twice(s2);
            const double d = std::hypot(m.PosX(s1) - m.PosX(s2), m.PosY(s1) - m.PosY(s2));
            const double ref = s1 == s2 ? self(a, l, l * l) * scale * t1
                                        : side_by_side(l, d) * 0.5 * t1 * t2 * scale;
            EXPECT_NEAR(m.RMut(s1, 0, s2), ref, 1e-10 * ref) << s1 << " " << s2;
        }

    Model k;
    make_cable(k, 8, 1, 0, 1);
    k.EffLC = 0.5;
    k.Nr_Opt = 60;
    k.C1_Opt = 2.5;
    mutual_ind_array_calculation(k);
    for (int s1 = 2; s1 <= 15; ++s1)
        for (int s2 = 2; s2 <= 15; ++s2)
            EXPECT_DOUBLE_EQ(k.RMut(s1, 0, s2), 2.5 * m.RMut(s1, 0, s2));
}

TEST(Inductance, RMutFile) {
    TempDir tmp;
    Model m;
    make_cable(m, 8, 2, 1, 2);  // jm = 1: no band before it
    m.Opt_PrMat = 1;
    m.output_dir = tmp.str() + "/";
    mutual_ind_array_calculation(m);
    const auto lines = read_lines(tmp.path() / "RMut.dat");
    ASSERT_EQ(lines.size(), 1u + 3 * 15);
    EXPECT_EQ(lines[0], "Mutual inductances, M [nH]");
    auto row = [&](int d, int s1) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%4d,%5d", d, s1);
        std::string text = buf;
        for (int s2 = 2; s2 <= 15; ++s2) {
            std::snprintf(buf, sizeof buf, ",%12.6f", m.RMut(s1, d, s2) * 1e9);
            text += buf;
        }
        return text;
    };
    EXPECT_EQ(lines[1], row(-1, 2));
    EXPECT_EQ(lines[1].substr(0, 36), "  -1,    2,    0.000000,    0.000000");
    EXPECT_EQ(lines[14], row(-1, 15));
    EXPECT_EQ(lines[15], "");
    EXPECT_EQ(lines[16], row(0, 2));
    EXPECT_EQ(lines[44], row(1, 15));
    EXPECT_EQ(lines[45], "");
}

// Store for the matrix routines: NS = 8, NB = 4, NBMut = 1, RMut filled
// with values that tell every (s1, d, s2) apart.
class InductanceMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        make_cable(m, 8, 4, 1, 2);
        m.RMut.allocate(2, 15, -1, 1, 2, 15);
        for (int s1 = 2; s1 <= 15; ++s1)
            for (int d = -1; d <= 1; ++d)
                for (int s2 = 2; s2 <= 15; ++s2)
                    m.RMut(s1, d, s2) = 1e-9 * (s1 + 0.01 * s2 + 0.37 * (d + 2));
        m.Cs.allocate(1, 4, 2, 15);
        m.Cs_prev.allocate(1, 4, 2, 15);
        for (int b = 1; b <= 4; ++b)
            for (int s = 2; s <= 15; ++s) {
                m.Cs(b, s) = 10.0 * b + 0.3 * s;
                m.Cs_prev(b, s) = 11.0 * b - 0.2 * s * s;
            }
        m.dt = 2e-3;
        m.F_SolAcc = 0.25;
        m.MutExplicit = 1;  // the explicit scheme unless a test says otherwise
        m.NBw = 7 * 8 - 1;
        set_nca(16 * 8 - 6);
    }
    void set_nca(int NCa) {
        m.NCa = NCa;
        m.A.allocate(1, m.NEq, 1, NCa, 0.0);
    }
    // Global number of the variable Cs(b, s).
    static int cs_var(int b, int s) { return (b - 1) * 37 + 22 + s; }
    // Own band Cs_prev part and the other bands' (Cs_prev - Cs) part.
    double own_sum(int b, int i1) const {
        double sum = 0;
        for (int s = 2; s <= 15; ++s) sum += m.RMut(i1, 0, s) * m.Cs_prev(b, s);
        return sum;
    }
    double other_sum(int b, int i1) const {
        double sum = 0;
        for (int b2 : {b - 1, b + 1})
            if (b2 >= 1 && b2 <= 4)
                for (int s = 2; s <= 15; ++s)
                    sum += m.RMut(i1, b2 - b, s) * (m.Cs_prev(b2, s) - m.Cs(b2, s));
        return sum;
    }
    int nonzero_band_entries(int row) const {
        int n = 0;
        for (int c = 1; c < m.NCa; ++c) n += m.A(row, c) != 0.0;
        return n;
    }
    Model m;
};

TEST_F(InductanceMatrix, BandedRowAndRightHandSide) {
    const int b = 2, i1 = 6, row = cs_var(b, i1);  // row named after Cs(2, 6)
    m.NrItRs = 3;                                  // f = 0.75
    inductance(m, (b - 1) * 37 - row, row, b, i1, -1);
    for (int s = 2; s <= 15; ++s)
        EXPECT_DOUBLE_EQ(m.A(row, m.NBw + cs_var(b, s) - row), -m.RMut(i1, 0, s) / m.dt) << s;
    EXPECT_EQ(nonzero_band_entries(row), 14);
    const double rhs = -(own_sum(b, i1) + 0.75 * other_sum(b, i1)) / m.dt;
    EXPECT_NEAR(m.A(row, m.NCa), rhs, 1e-12 * std::abs(rhs));

    // a row of another band with +1, at the cable end (one neighbour), adds
    // to what is there
    const int row4 = cs_var(4, 9) - 3;
    m.A(row4, m.NCa) = 5.0;
    m.NrItRs = 10;  // f = min(1, 2.5)
    inductance(m, 3 * 37 - row4, row4, 4, 9, 1);
    EXPECT_DOUBLE_EQ(m.A(row4, m.NBw + cs_var(4, 15) - row4), m.RMut(9, 0, 15) / m.dt);
    const double rhs4 = 5.0 + (own_sum(4, 9) + other_sum(4, 9)) / m.dt;
    EXPECT_NEAR(m.A(row4, m.NCa), rhs4, 1e-12 * std::abs(rhs4));
}

TEST_F(InductanceMatrix, OtherBandsWeight) {
    const int row = cs_var(3, 2);
    m.NrItRs = 0;  // no explicit coupling in the first iteration
    inductance(m, 2 * 37 - row, row, 3, 2, 1);
    EXPECT_NEAR(m.A(row, m.NCa), own_sum(3, 2) / m.dt, 1e-12 * std::abs(own_sum(3, 2) / m.dt));

    m.A.fill(0.0);
    m.NrItRs = 1;
    m.F_SolAcc = std::numeric_limits<double>::quiet_NaN();  // f = 1
    inductance(m, 2 * 37 - row, row, 3, 2, 1);
    const double rhs = (own_sum(3, 2) + other_sum(3, 2)) / m.dt;
    EXPECT_NEAR(m.A(row, m.NCa), rhs, 1e-12 * std::abs(rhs));
}

// Implicit coupling: the other bands' Cs_prev at full weight on the
// right-hand side, whatever the iteration, the present iterate nowhere, and
// the row recorded for the solver's operator; not recorded without a band
// in reach.
TEST_F(InductanceMatrix, ImplicitCouplingRecordsTheRow) {
    m.MutExplicit = 0;
    const int row = cs_var(3, 5);
    m.NrItRs = 0;
    m.Cs.fill(1e6);  // must not matter
    inductance(m, 2 * 37 - row, row, 3, 5, -1);
    double prev = 0;
    for (int b2 : {2, 4})
        for (int s = 2; s <= 15; ++s) prev += m.RMut(5, b2 - 3, s) * m.Cs_prev(b2, s);
    const double rhs = -(own_sum(3, 5) + prev) / m.dt;
    EXPECT_NEAR(m.A(row, m.NCa), rhs, 1e-12 * std::abs(rhs));
    ASSERT_EQ(m.MutRows.size(), 1u);
    EXPECT_EQ(m.MutRows[0].NRow, row);
    EXPECT_EQ(m.MutRows[0].NB1, 3);
    EXPECT_EQ(m.MutRows[0].i1, 5);
    EXPECT_EQ(m.MutRows[0].NFac, -1);

    m.NBMut = 0;
    inductance(m, 2 * 37 - row, row, 3, 5, 1);
    EXPECT_EQ(m.MutRows.size(), 1u);
}

// The assembly's inductive terms write what inductance() writes, to the
// bit, for the rows of every section of every band, both signs (and a
// factor other than one), explicit and implicit coupling.
TEST_F(InductanceMatrix, AssemblyTermsAreThoseOfTheRowByRowSums) {
    m.NrItRs = 3;
    for (int expl : {1, 0}) {
        m.MutExplicit = expl;
        RArr2 plain, terms;
        std::vector<MutTerm> plain_rows, terms_rows;
        for (int pass = 0; pass < 2; ++pass) {
            m.A.fill(0.0);
            m.MutRows.clear();
            InductiveTerms sums(m, 2, 4);
            for (int b = 2; b <= 4; ++b)
                for (int i1 = 2; i1 <= 15; ++i1)
                    for (int fac : {1, -1, 2}) {
                        const int row = cs_var(b, i1) - (fac == 2 ? 5 : 0);
                        if (pass == 0)
                            inductance(m, (b - 1) * 37 - row, row, b, i1, fac);
                        else
                            sums.add(m, (b - 1) * 37 - row, row, b, i1, fac);
                    }
            (pass == 0 ? plain : terms) = m.A;
            (pass == 0 ? plain_rows : terms_rows) = m.MutRows;
        }
        const double* a = plain.data();
        const double* b = terms.data();
        std::size_t differ = 0;
        for (std::size_t k = 0; k < plain.size(); ++k) differ += a[k] != b[k];
        EXPECT_EQ(differ, 0u) << "MutExplicit " << expl;
        EXPECT_GT(std::count_if(a, a + plain.size(), [](double v) { return v != 0.0; }), 500);
        ASSERT_EQ(plain_rows.size(), terms_rows.size());
        EXPECT_EQ(plain_rows.size(), expl ? 0u : 3u * 14 * 3);
        for (std::size_t k = 0; k < plain_rows.size(); ++k) {
            EXPECT_EQ(plain_rows[k].NRow, terms_rows[k].NRow);
            EXPECT_EQ(plain_rows[k].NFac, terms_rows[k].NFac);
        }
    }
}

TEST_F(InductanceMatrix, ColumnOutsideBandIsReportedAndSkipped) {
    TempDir tmp;
    ASSERT_TRUE(m.msg_unit.open((tmp.path() / "msg.dat").string(), OpenMode::Append));
    const int row = cs_var(2, 4);
    // NCol = 51 + s: Cs(2, 14) and Cs(2, 15) fall on or past NCa
    set_nca(51 + 14);
    m.NrItRs = 0;
    inductance(m, 37 - row, row, 2, 4, -1);
    EXPECT_EQ(nonzero_band_entries(row), 12);
    EXPECT_DOUBLE_EQ(m.A(row, m.NCa - 1), -m.RMut(4, 0, 13) / m.dt);
    EXPECT_NEAR(m.A(row, m.NCa), -own_sum(2, 4) / m.dt, 1e-12 * std::abs(own_sum(2, 4) / m.dt));
    m.msg_unit.close();
    const auto lines = read_lines(tmp.path() / "msg.dat");
    ASSERT_EQ(lines.size(), 18u);
    const std::string first[] = {"NCol<=0 or NCol>=NCa in subroutine Inductance",
                                 " NCol=          65",
                                 " NCA=          65",
                                 " NFac=          -1",
                                 " NRow=          63",
                                 " NB1=           2",
                                 " i1=           4",
                                 " NB2=           2",
                                 " i2=          14"};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(lines[k], first[k]) << k;
    EXPECT_EQ(lines[10], " NCol=          66");
    EXPECT_EQ(lines[17], " i2=          15");

    // columns at or before the left edge of the storage
    ASSERT_TRUE(m.msg_unit.open((tmp.path() / "msg.dat").string(), OpenMode::Replace));
    inductance(m, -(m.NBw + 22 + 3), 1, 1, 2, 1);  // NCol = s - 3: s = 2, 3 outside
    m.msg_unit.close();
    EXPECT_EQ(nonzero_band_entries(1), 12);
    EXPECT_DOUBLE_EQ(m.A(1, 1), m.RMut(2, 0, 4) / m.dt);
    const auto left = read_lines(tmp.path() / "msg.dat");
    ASSERT_EQ(left.size(), 18u);
    EXPECT_EQ(left[1], " NCol=          -1");
    EXPECT_EQ(left[10], " NCol=           0");
}

TEST(Inductance, FullMatrixOfInfiniteCable) {
    Model m;
    make_cable(m, 8, 1, 0, 1);
    m.RMut.allocate(2, 15, 0, 0, 2, 15);
    m.Cs_prev.allocate(1, 1, 2, 15);
    double rhs = 0;
    for (int s = 2; s <= 15; ++s) {
        m.RMut(7, 0, s) = 1e-9 * (1 + s);
        m.Cs_prev(1, s) = 100.0 - 3 * s;
        rhs += m.RMut(7, 0, s) * m.Cs_prev(1, s);
    }
    m.dt = 1e-3;
    m.NCa = 38;
    m.A.allocate(1, 37, 1, 38, 0.0);
    inductance_infinite(m, 29, 7, -1);
    for (int c = 1; c <= 37; ++c)
        EXPECT_DOUBLE_EQ(m.A(29, c), c >= 24 ? -m.RMut(7, 0, c - 22) / m.dt : 0.0) << c;
    EXPECT_NEAR(m.A(29, 38), -rhs / m.dt, 1e-12 * std::abs(rhs / m.dt));
}

}  // namespace
}  // namespace vorn
