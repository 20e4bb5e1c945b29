// Applied field: section components and rates, loop flux rates (EMF).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "field/field.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

// NS = 8, 3 bands, with distinct loop surfaces, length and width profiles so
// that a swapped index or factor shows.  Ba1 = 2 T, 0.5 T/s.
std::unique_ptr<Model> applied_store() {
    auto mp = std::make_unique<Model>();
    Model& m = *mp;
    test::set_example_parameters(m);
    m.NS = 8;
    m.NB = 3;
    set_derived_counts(m);
    allocate_input_arrays(m);
    allocate_arrays(m);
    field_across_w_loops(m);
    field_across_w_strands(m);
    for (RArr1* a : {&m.SurfLoopX, &m.SurfLoopY, &m.SurfLoopZ}) a->allocate(1, 7, 0.0);
    for (int j = 1; j <= 7; ++j) {
        m.SurfLoopX(j) = 1e-6 * (1 + 0.1 * j);
        m.SurfLoopY(j) = 2e-5 * (1 + 0.2 * j);
        m.SurfLoopZ(j) = 3e-6 * (1 + 0.3 * j);
        m.ba1_w_emf(j) = 1 + 0.05 * j;
        m.ba2_w_emf(j) = 2 - 0.07 * j;
    }
    for (int s = 2; s <= 15; ++s) {
        m.ba1_w_b(s) = 0.9 + 0.01 * s;
        m.ba2_w_b(s) = 1.3 - 0.02 * s;
    }
    for (int b = 1; b <= 3; ++b) {
        m.ba1_long(b) = 1.0 + 0.25 * b;
        m.ba2_long(b) = 0.5 + 0.125 * b;
    }
    m.Ba1 = 2.0;
    m.dBa1dt = 0.5;
    return mp;
}

// Angles in degrees; with Ba2 = dBa2dt = 0 exactly the Ba1 field, and the z
// part of the loop values with the opposite sign.
TEST(AppliedField, MainFieldFollowsItsDirection) {
    const double c30 = std::sqrt(3.0) / 2;
    const struct {
        double theta, phi, x, y, z;
    } cases[] = {
        {0, 40, 0, 1, 0}, {90, 90, 1, 0, 0}, {90, 0, 0, 0, 1}, {30, 60, 0.5 * c30, c30, 0.25}};
    auto mp = applied_store();
    Model& m = *mp;
    m.Opt_AddBa2 = 1;
    m.The_Ba2 = 45;
    m.Phi_Ba2 = 10;
    for (const auto& c : cases) {
        m.The_Ba1 = c.theta;
        m.Phi_Ba1 = c.phi;
        b_applied_definition(m);
        if (c.theta == 0) {  // along y exactly
            EXPECT_EQ(m.Ba_x(2, 5), 0.0);
            EXPECT_EQ(m.Ba_z(2, 5), 0.0);
            EXPECT_EQ(m.EMF(2, 3, 3), 0.0);
        }
        for (int b = 1; b <= 3; ++b) {
            for (int s = 2; s <= 15; ++s) {
                const double f = m.ba1_w_b(s) * m.ba1_long(b);
                EXPECT_NEAR(m.Ba_x(b, s), f * 2.0 * c.x, 1e-15) << c.theta;
                EXPECT_NEAR(m.Ba_y(b, s), f * 2.0 * c.y, 1e-15) << c.theta;
                EXPECT_NEAR(m.Ba_z(b, s), f * 2.0 * c.z, 1e-15) << c.theta;
                EXPECT_NEAR(m.dBadt_x(b, s), f * 0.5 * c.x, 1e-15) << c.theta;
                EXPECT_NEAR(m.dBadt_y(b, s), f * 0.5 * c.y, 1e-15) << c.theta;
                EXPECT_NEAR(m.dBadt_z(b, s), f * 0.5 * c.z, 1e-15) << c.theta;
            }
            for (int j = 1; j <= 7; ++j) {
                const double r = m.ba1_long(b) * 0.5 * m.ba1_w_emf(j);
                EXPECT_NEAR(m.EMF(b, j, 1), m.SurfLoopX(j) * r * c.x, 1e-18) << c.theta;
                EXPECT_NEAR(m.EMF(b, j, 2), m.SurfLoopY(j) * r * c.y, 1e-18) << c.theta;
                EXPECT_NEAR(m.EMF(b, j, 3), -m.SurfLoopZ(j) * r * c.z, 1e-18) << c.theta;
            }
        }
    }
}

// Reversing phi by 180 degrees reverses the x and z parts of both fields,
// at the sections and at the loops alike.
TEST(AppliedField, ReversedAzimuthReversesXAndZ) {
    auto mp = applied_store();
    Model& m = *mp;
    m.Opt_AddBa2 = 1;
    m.Ba2 = 0.7;
    m.dBa2dt = -0.3;
    m.The_Ba1 = 30;
    m.Phi_Ba1 = 60;
    m.The_Ba2 = 70;
    m.Phi_Ba2 = 20;
    b_applied_definition(m);
    const RArr2 bx = m.Ba_x, by = m.Ba_y, bz = m.Ba_z, rz = m.dBadt_z;
    const RArr3 emf = m.EMF;
    m.Phi_Ba1 += 180;
    m.Phi_Ba2 += 180;
    b_applied_definition(m);
    for (int b = 1; b <= 3; ++b) {
        for (int s = 2; s <= 15; ++s) {
            EXPECT_NEAR(m.Ba_x(b, s), -bx(b, s), 1e-14);
            EXPECT_NEAR(m.Ba_y(b, s), by(b, s), 1e-14);
            EXPECT_NEAR(m.Ba_z(b, s), -bz(b, s), 1e-14);
            EXPECT_NEAR(m.dBadt_z(b, s), -rz(b, s), 1e-14);
        }
        for (int j = 1; j <= 7; ++j) {
            EXPECT_NEAR(m.EMF(b, j, 1), -emf(b, j, 1), 1e-20);
            EXPECT_NEAR(m.EMF(b, j, 2), emf(b, j, 2), 1e-20);
            EXPECT_NEAR(m.EMF(b, j, 3), -emf(b, j, 3), 1e-20);
        }
    }
}

// Without Opt_AddBa2 the schedule's Ba2 does nothing; with it, field 2
// superposes with its own profiles.
TEST(AppliedField, SecondFieldOnlyWhenAdded) {
    auto mp = applied_store();
    Model& m = *mp;
    m.Opt_AddBa2 = 0;
    b_applied_definition(m);
    const RArr2 bx = m.Ba_x, by = m.Ba_y, rz = m.dBadt_z;
    const RArr3 emf = m.EMF;
    m.Ba2 = 3.0;
    m.dBa2dt = 1.5;
    m.The_Ba2 = 80;
    m.Phi_Ba2 = 30;
    b_applied_definition(m);
    for (int s = 2; s <= 15; ++s) EXPECT_EQ(m.Ba_x(3, s), bx(3, s));
    for (int j = 1; j <= 7; ++j) EXPECT_EQ(m.EMF(3, j, 2), emf(3, j, 2));

    m.Opt_AddBa2 = 1;
    b_applied_definition(m);
    const double t = 80 * m.Pi / 180, p = 30 * m.Pi / 180;
    const double d[] = {std::sin(t) * std::sin(p), std::cos(t), std::sin(t) * std::cos(p)};
    const int b = 3, s = 11, j = 6;
    const double f2 = m.ba2_w_b(s) * m.ba2_long(b), r2 = m.ba2_long(b) * 1.5 * m.ba2_w_emf(j);
    EXPECT_NEAR(m.Ba_x(b, s), bx(b, s) + f2 * 3.0 * d[0], 1e-14);
    EXPECT_NEAR(m.Ba_y(b, s), by(b, s) + f2 * 3.0 * d[1], 1e-14);
    EXPECT_NEAR(m.dBadt_z(b, s), rz(b, s) + f2 * 1.5 * d[2], 1e-14);
    EXPECT_NEAR(m.EMF(b, j, 1), emf(b, j, 1) + m.SurfLoopX(j) * r2 * d[0], 1e-19);
    EXPECT_NEAR(m.EMF(b, j, 2), emf(b, j, 2) + m.SurfLoopY(j) * r2 * d[1], 1e-19);
    EXPECT_NEAR(m.EMF(b, j, 3), emf(b, j, 3) - m.SurfLoopZ(j) * r2 * d[2], 1e-19);
}

// Opt_Ba1 = 4, NS = 8: sections take the per-section table, loops the mean
// of the positions that bound them (loop 1: 1, 8; loop 2: 1, 2, 7, 8; ...;
// loop 7: 4, 5) as flux rates with the orientation and the z sign.  Ba2 is
// not applied.
TEST(AppliedField, PositionTable) {
    auto mp = applied_store();
    Model& m = *mp;
    m.Opt_Ba1 = 4;
    m.Opt_AddBa2 = 1;
    m.Ba2 = 5.0;
    m.dBa2dt = 2.0;
    m.The_Ba1 = 30;
    m.Phi_Ba1 = 60;
    for (int p = 1; p <= 8; ++p) {
        m.bpx_inp(p) = p * p;
        m.bpy_inp(p) = 10 * p;
        m.bpz_inp(p) = -p;
    }
    for (int s = 2; s <= 15; ++s) {
        m.bx_inp(s) = 0.1 * s;
        m.by_inp(s) = 0.2 * s;
        m.bz_inp(s) = 0.3 * s;
    }
    b_applied_definition(m);
    const double dx = 0.5 * std::sqrt(3.0) / 2, dy = std::sqrt(3.0) / 2, dz = 0.25;
    const int b = 2;
    const double l = m.ba1_long(b);
    for (int s = 2; s <= 15; ++s) {
        EXPECT_NEAR(m.Ba_x(b, s), 0.1 * s * l * 2.0 * dx, 1e-14);
        EXPECT_NEAR(m.Ba_z(b, s), 0.3 * s * l * 2.0 * dz, 1e-14);
        EXPECT_NEAR(m.dBadt_y(b, s), 0.2 * s * l * 0.5 * dy, 1e-14);
    }
    const double mean_x[] = {0,
                             (1 + 64) / 2.0,
                             (1 + 4 + 64 + 49) / 4.0,
                             (4 + 49) / 2.0,
                             (4 + 9 + 49 + 36) / 4.0,
                             (9 + 36) / 2.0,
                             (9 + 16 + 36 + 25) / 4.0,
                             (16 + 25) / 2.0};
    for (int j = 1; j <= 7; ++j) {  // the linear y and z columns average to 4.5 everywhere
        const double r = l * 0.5;
        EXPECT_NEAR(m.EMF(b, j, 1), m.SurfLoopX(j) * r * mean_x[j] * dx, 1e-18) << j;
        EXPECT_NEAR(m.EMF(b, j, 2), m.SurfLoopY(j) * r * 45 * dy, 1e-18) << j;
        EXPECT_NEAR(m.EMF(b, j, 3), m.SurfLoopZ(j) * r * 4.5 * dz, 1e-18) << j;  // -(-4.5)
    }
    // A constant field induces nothing.
    m.dBa1dt = 0;
    b_applied_definition(m);
    for (int j = 1; j <= 7; ++j)
        for (int k = 1; k <= 3; ++k) EXPECT_EQ(m.EMF(b, j, k), 0.0);
    EXPECT_NE(m.Ba_y(b, 5), 0.0);
}

}  // namespace
}  // namespace vorn
