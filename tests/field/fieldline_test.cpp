// Width profiles of the applied fields; field along a line of points.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "field/field.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

std::unique_ptr<Model> store(int NS, int NB, int NrPFL = 0) {
    auto mp = std::make_unique<Model>();
    Model& m = *mp;
    test::set_example_parameters(m);
    m.NS = NS;
    m.NB = NB;
    m.NrPFL = NrPFL;
    m.w = 0.01;
    set_derived_counts(m);
    allocate_input_arrays(m);
    allocate_arrays(m);
    m.PosX.allocate(2, m.NS_2m1, 0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) m.PosX(s) = m.w * (0.07 * s - 0.1 * (s % 2));
    return mp;
}

TEST(WidthProfiles, NoProfileIsExactlyOne) {
    auto mp = store(12, 2);
    Model& m = *mp;
    m.F1_Ba1 = m.F1_Ba2 = 0.3;  // not used without a profile
    m.F2_Ba1 = m.F2_Ba2 = 1.7;
    for (int opt1 : {0, 4}) {
        m.Opt_Ba1 = opt1;
        m.Opt_Ba2 = 0;
        field_across_w_loops(m);
        field_across_w_strands(m);
        EXPECT_EQ(m.ba1_w_b.lo(), 2);
        EXPECT_EQ(m.ba1_w_b.hi(), 23);
        EXPECT_EQ(m.ba2_w_emf.lo(), 1);
        EXPECT_EQ(m.ba2_w_emf.hi(), 11);
        for (int s = 2; s <= 23; ++s) EXPECT_EQ(m.ba1_w_b(s) * m.ba2_w_b(s), 1.0);
        for (int j = 1; j <= 11; ++j) EXPECT_EQ(m.ba1_w_emf(j) * m.ba2_w_emf(j), 1.0);
    }
}

TEST(WidthProfiles, LinearAcrossTheWidth) {
    auto mp = store(8, 2);
    Model& m = *mp;
    m.Opt_Ba1 = m.Opt_Ba2 = 1;
    m.F1_Ba1 = m.F2_Ba1 = m.F1_Ba2 = m.F2_Ba2 = 0.6;
    field_across_w_loops(m);
    field_across_w_strands(m);
    for (int s = 2; s <= 15; ++s) EXPECT_DOUBLE_EQ(m.ba1_w_b(s), 0.6);
    for (int j = 1; j <= 7; ++j) EXPECT_DOUBLE_EQ(m.ba2_w_emf(j), 0.6);

    m.F1_Ba1 = m.F1_Ba2 = 0;
    m.F2_Ba1 = m.F2_Ba2 = 1;
    field_across_w_loops(m);
    field_across_w_strands(m);
    for (int s = 2; s <= 15; ++s) EXPECT_EQ(m.ba1_w_b(s), m.PosX(s) / m.w);
    // field 2 by section index: 0 at s = 2 and NS+1, 1 at s = NS and 2NS-1
    const double f2[] = {0, 1 / 6., 2 / 6., 3 / 6., 4 / 6., 5 / 6., 1,
                         0, 1 / 6., 2 / 6., 3 / 6., 4 / 6., 5 / 6., 1};
    for (int s = 2; s <= 15; ++s) EXPECT_DOUBLE_EQ(m.ba2_w_b(s), f2[s - 2]) << s;
    // loops: the edge loops half a loop pitch from the edges
    const double u[] = {1 / 12., 1 / 6., 2 / 6., 3 / 6., 4 / 6., 5 / 6., 11 / 12.};
    for (int j = 1; j <= 7; ++j) {
        EXPECT_DOUBLE_EQ(m.ba1_w_emf(j), u[j - 1]) << j;
        EXPECT_DOUBLE_EQ(m.ba2_w_emf(j), u[j - 1]) << j;
    }
}

TEST(WidthProfiles, CentreToEdges) {
    auto mp = store(4, 2);
    Model& m = *mp;
    m.Opt_Ba2 = 2;
    m.F1_Ba2 = 0.5;
    m.F2_Ba2 = 2.5;  // D2 = 2
    field_across_w_loops(m);
    EXPECT_DOUBLE_EQ(m.ba2_w_emf(1), 1.5);
    EXPECT_DOUBLE_EQ(m.ba2_w_emf(2), 0.5);
    EXPECT_DOUBLE_EQ(m.ba2_w_emf(3), 1.5);

    // NS = 8: sections F2 at the edges (s = 2, NS; NS+1, 2NS-1 mirror the
    // index), F1 at s = h+1 and NS+h.
    auto m8 = store(8, 2);
    m8->Opt_Ba2 = 2;
    m8->F1_Ba2 = 0.5;
    m8->F2_Ba2 = 2.0;
    field_across_w_strands(*m8);
    const double f[] = {2.0, 1.5, 1.0, 0.5, 1.0, 1.5, 2.0, 2.0, 1.5, 1.0, 0.5, 1.0, 1.5, 2.0};
    for (int s = 2; s <= 15; ++s) EXPECT_DOUBLE_EQ(m8->ba2_w_b(s), f[s - 2]) << s;
    // field 1 by x: F1 at the centre, F2 at the edges
    m8->Opt_Ba1 = 2;
    m8->F1_Ba1 = 1.0;
    m8->F2_Ba1 = 3.0;
    m8->PosX(3) = m8->w / 2;
    m8->PosX(4) = 0;
    m8->PosX(5) = m8->w * 0.75;
    field_across_w_strands(*m8);
    EXPECT_DOUBLE_EQ(m8->ba1_w_b(3), 1.0);
    EXPECT_DOUBLE_EQ(m8->ba1_w_b(4), 3.0);
    EXPECT_DOUBLE_EQ(m8->ba1_w_b(5), 2.0);

    // The two loop rules agree.
    for (int NS : {8, 12, 20, 36}) {
        auto n = store(NS, 2);
        n->Opt_Ba1 = n->Opt_Ba2 = 2;
        n->F1_Ba1 = n->F1_Ba2 = 0.8;
        n->F2_Ba1 = n->F2_Ba2 = 1.9;
        field_across_w_loops(*n);
        for (int j = 1; j <= NS - 1; ++j)
            EXPECT_NEAR(n->ba1_w_emf(j), n->ba2_w_emf(j), 1e-14) << NS << " " << j;
        EXPECT_DOUBLE_EQ(n->ba1_w_emf(NS / 2), 0.8);
    }
}

// --- field along a line ------------------------------------------------------

struct Vec3 {
    double x, y, z;
};

// Biot-Savart by the midpoint rule along the straight piece from `from` to
// `to`, current I flowing from `from` to `to`.
Vec3 piece_field(double I, Vec3 from, Vec3 to, Vec3 P, int n = 20000) {
    Vec3 B{0, 0, 0};
    const Vec3 dl{(to.x - from.x) / n, (to.y - from.y) / n, (to.z - from.z) / n};
    for (int i = 0; i < n; ++i) {
        const double t = (i + 0.5) / n;
        const Vec3 r{P.x - (from.x + t * (to.x - from.x)), P.y - (from.y + t * (to.y - from.y)),
                     P.z - (from.z + t * (to.z - from.z))};
        const double r3 = std::pow(r.x * r.x + r.y * r.y + r.z * r.z, 1.5);
        B.x += 1e-7 * I * (dl.y * r.z - dl.z * r.y) / r3;
        B.y += 1e-7 * I * (dl.z * r.x - dl.x * r.z) / r3;
        B.z += 1e-7 * I * (dl.x * r.y - dl.y * r.x) / r3;
    }
    return B;
}

void place_positions(Model& m) {
    m.PosXP.allocate(0, m.NS, 0.0);
    m.PosYP.allocate(0, m.NS, 0.0);
    for (int p = 1; p <= m.NS; ++p) {
        m.PosXP(p) = 1e-3 * (1.0 + 0.8 * p);
        m.PosYP(p) = 1e-3 * (p % 2 ? 0.5 : 1.4);
    }
    m.PosXP(0) = m.PosXP(m.NS);
    m.PosYP(0) = m.PosYP(m.NS);
}

// The pieces of band j run from position p at the band's start to
// position p-1 at its end; the field is that of the current flowing back
// along them (along -z, as the self field).
TEST(FieldLine, PiecesAgainstBiotSavart) {
    auto mp = store(4, 3, 2);
    Model& m = *mp;
    m.TPStr = 0.02;
    place_positions(m);
    for (int j = 1; j <= 3; ++j)
        for (int p = 1; p <= 4; ++p) m.Cp(j, p) = 100.0 * p - 30.0 * j;
    m.FLx1 = 0.004;
    m.FLy1 = 0.003;
    m.FLz1 = 0.001;
    m.dFLx = -0.001;
    m.dFLy = 0.0;
    m.dFLz = 0.004;
    fl_calculation(m);
    for (int k = 0; k < 2; ++k) {
        const Vec3 P{m.FLx1 + k * m.dFLx, m.FLy1 + k * m.dFLy, m.FLz1 + k * m.dFLz};
        Vec3 B{0, 0, 0};
        for (int j = 1; j <= 2; ++j)  // the last band has no piece
            for (int p = 1; p <= 4; ++p) {
                const Vec3 A{m.PosXP(p), m.PosYP(p), 0.005 * (j - 1)};
                const Vec3 E{m.PosXP(p - 1), m.PosYP(p - 1), 0.005 * j};
                const Vec3 b = piece_field(m.Cp(j, p), E, A, P);
                B.x += b.x;
                B.y += b.y;
                B.z += b.z;
            }
        const double size = std::sqrt(B.x * B.x + B.y * B.y + B.z * B.z);
        EXPECT_NEAR(m.BFL_x(k + 1), B.x, 1e-6 * size) << k;
        EXPECT_NEAR(m.BFL_y(k + 1), B.y, 1e-6 * size) << k;
        EXPECT_NEAR(m.BFL_z(k + 1), B.z, 1e-6 * size) << k;
    }
}

// Every position at one place and the current in position 1 only: a
// straight wire along the cable, mu0 I/(2 pi r) far from its ends.
TEST(FieldLine, LongStraightWire) {
    auto mp = store(4, 401, 1);
    Model& m = *mp;
    m.TPStr = 0.004;  // 1 mm bands: a wire of 400 mm
    m.PosXP.allocate(0, 4, 0.002);
    m.PosYP.allocate(0, 4, 0.001);
    for (int j = 1; j <= m.NB; ++j) m.Cp(j, 1) = 250.0;
    m.FLx1 = 0.002 + 0.003;  // 5 mm from the wire along x
    m.FLy1 = 0.001 + 0.004;
    m.FLz1 = 0.2;
    fl_calculation(m);
    const double B = 2e-7 * 250.0 / 0.005 * 0.2 / std::hypot(0.2, 0.005);
    // current along -z, point at r = (3, 4) mm: B along (-z) x r = (4, -3)/5
    EXPECT_NEAR(m.BFL_x(1), B * 0.8, 1e-12 * B);
    EXPECT_NEAR(m.BFL_y(1), -B * 0.6, 1e-12 * B);
    EXPECT_NEAR(m.BFL_z(1), 0.0, 1e-12 * B);
}

TEST(FieldLine, EmptyLineOneBandAndPointsOnAPiece) {
    auto mp = store(4, 1, 3);
    Model& m = *mp;
    m.TPStr = 0.02;
    place_positions(m);
    m.Cp.fill(100.0);
    m.BFL_x.fill(7.0);
    fl_calculation(m);  // one band: no piece
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(m.BFL_x(k), 0.0);

    auto none = store(4, 3, 0);
    place_positions(*none);
    none->NrPFL = 0;
    fl_calculation(*none);
    EXPECT_EQ(none->BFL_x.size(), 0u);

    // Points at the start, in the middle and at the end of the piece of
    // position 2 in band 1 (exactly on it): that piece is left out.
    auto on = store(4, 2, 3);
    Model& n = *on;
    n.TPStr = 0.02;
    place_positions(n);
    n.PosXP(1) = n.PosXP(2);  // piece 2 of band 1 runs straight along z
    n.PosYP(1) = n.PosYP(2);
    for (int p = 1; p <= 4; ++p) n.Cp(1, p) = 10.0 * p;
    n.FLx1 = n.PosXP(2);
    n.FLy1 = n.PosYP(2);
    n.FLz1 = 0;
    n.dFLz = 0.0025;  // z = 0, 2.5 mm, 5 mm
    fl_calculation(n);
    const RArr1 bx = n.BFL_x, by = n.BFL_y;
    n.Cp(1, 2) = 0;
    fl_calculation(n);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(std::isfinite(bx(k)) && std::isfinite(by(k))) << k;
        EXPECT_NEAR(bx(k), n.BFL_x(k), 1e-15) << k;
        EXPECT_NEAR(by(k), n.BFL_y(k), 1e-15) << k;
    }
}

TEST(FieldLine, TransportReference) {
    auto mp = store(4, 3, 2);
    Model& m = *mp;
    m.TPStr = 0.02;
    place_positions(m);
    m.FLx1 = 0.003;
    m.FLy1 = 0.006;
    m.dFLx = 0.002;
    m.NTS = 17;
    m.Cp.fill(3.0);
    fl_transport_calculation(m);
    EXPECT_EQ(m.NTS, 0);
    for (int j = 1; j <= 3; ++j)
        for (int p = 1; p <= 4; ++p) EXPECT_EQ(m.Cp(j, p), 0.0);
    m.Cp.fill(2.5);  // the field of 2.5 A in every strand is 2.5 times the reference
    fl_calculation(m);
    for (int k = 1; k <= 2; ++k) {
        EXPECT_NE(m.BFLtr_y(k), 0.0);
        EXPECT_NEAR(m.BFL_x(k), 2.5 * m.BFLtr_x(k), 1e-15);
        EXPECT_NEAR(m.BFL_y(k), 2.5 * m.BFLtr_y(k), 1e-15);
        EXPECT_NEAR(m.BFL_z(k), 2.5 * m.BFLtr_z(k), 1e-15);
    }
}

}  // namespace
}  // namespace vorn
