// Coupling currents of a unit field ramp in an infinitely long cable with
// the contact resistances of each band.
#include <gtest/gtest.h>

#include <array>

#include "network/network_fixture.hpp"

namespace vorn {
namespace {

using namespace test;

// A finite cable of NB bands in the middle of its time loop, with loop
// surfaces, width factors and section resistances (Ohm) of its own.
void ramp_cable(Model& m, int NB, unsigned seed) {
    make_small_cable(m, NB, 2, 1, seed);
    const int N = m.NS;
    m.SurfLoopX.allocate(1, N - 1, 2e-6);
    m.SurfLoopY.allocate(1, N - 1, 1e-5);
    m.SurfLoopZ.allocate(1, N - 1, 3e-7);
    m.ba1_w_emf.allocate(1, N - 1, 1.0);
    m.l_div_a.allocate(2, 2 * N - 1, 4e9);
    m.l_div_a(2) = m.l_div_a(2 * N - 1) = 8e9;
    m.RhoMin = 1e-14;
    m.Opt_Ba1 = 1;
    m.The_Ba1 = 0.0;
    m.Phi_Ba1 = 0.0;
}

// Every contact resistance of band 1 in all bands.
void same_contacts_everywhere(Model& m) {
    for (int j = 2; j <= m.NB + 1; ++j) {
        for (int k = 1; k <= m.NS - 1; ++k) m.Rc(j, k) = m.Rc(1, k);
        if (j <= m.NB)
            for (int k = 1; k <= 2 * m.NS; ++k) m.Ra(j, k) = m.Ra(1, k);
    }
}

// The eight result tables, currents and powers alternating.
std::array<RArr2*, 8> tables(Model& m) {
    return {&m.CaInf, &m.PaInf, &m.CcInf, &m.PcInf, &m.CsInf, &m.PsInf, &m.CpInf, &m.PpInf};
}

TEST(IsccInf, BandsFollowTheLongitudinalFieldFactor) {
    Model m;
    ramp_cable(m, 3, 1);
    same_contacts_everywhere(m);
    m.Opt_LongB = 1;
    m.ba1_long(1) = 1.0;
    m.ba1_long(2) = 0.0;
    m.ba1_long(3) = 0.5;
    m.The_Ba1 = 25.0;
    m.Phi_Ba1 = 70.0;
    for (RArr2* a : {&m.CaInf, &m.CcInf, &m.CsInf, &m.PpInf}) a->fill(9.0);
    iscc_inf_calculation(m);
    const auto t = tables(m);
    double peak = 0;
    for (int i = 0; i < 8; ++i) {
        RArr2& a = *t[i];
        const double f = (i % 2 == 0) ? 0.5 : 0.25;  // currents, powers
        for (int k = a.lo2(); k <= a.hi2(); ++k) {
            EXPECT_EQ(a(2, k), 0.0) << i << " " << k;
            EXPECT_NEAR(a(3, k), f * a(1, k), 1e-12 * std::abs(a(1, k))) << i << " " << k;
            peak = std::max(peak, std::abs(a(1, k)));
        }
    }
    EXPECT_GT(peak, 0.0);
    // no transport current: nothing passes the cross-section of a band
    const int N = m.NS;
    for (int j = 1; j <= 3; ++j) {
        double sum = m.CaInf(j, 1) + m.CaInf(j, 2) + m.CsInf(j, 2);
        for (int k = N + 1; k <= 2 * N; ++k) sum += m.CaInf(j, k);
        for (int s = N + 1; s <= 2 * N - 1; ++s) sum += m.CsInf(j, s);
        EXPECT_NEAR(sum, 0.0, 1e-12 * peak) << j;
    }
    // powers at the resistances of the reference: RhoMin l/A per section
    EXPECT_DOUBLE_EQ(m.PsInf(1, 2), 1e-14 * 8e9 * m.CsInf(1, 2) * m.CsInf(1, 2));
    EXPECT_DOUBLE_EQ(m.PcInf(1, 3), m.Rc(1, 3) * m.CcInf(1, 3) * m.CcInf(1, 3));
}

TEST(IsccInf, WithoutLongitudinalVariationEveryBandCopiesTheFirst) {
    Model m;
    ramp_cable(m, 3, 2);  // contact resistances differ from band to band
    m.The_Ba1 = 40.0;
    iscc_inf_calculation(m);
    const auto t = tables(m);
    for (int i = 0; i < 8; ++i)
        for (int j = 2; j <= 3; ++j)
            for (int k = t[i]->lo2(); k <= t[i]->hi2(); ++k)
                EXPECT_EQ((*t[i])(j, k), (*t[i])(1, k)) << i << " " << j << " " << k;
    EXPECT_NE(m.CcInf(1, 4), 0.0);
}

TEST(IsccInf, FieldAlongYDrivesOnlyTheYPartAndAnglesAreDegrees) {
    Model m;
    ramp_cable(m, 3, 3);
    m.Phi_Ba1 = 37.0;
    iscc_inf_calculation(m);
    for (int k = 1; k <= m.NS - 1; ++k) {
        EXPECT_EQ(m.EMF(1, k, 1), 0.0);
        EXPECT_EQ(m.EMF(1, k, 3), 0.0);
        EXPECT_EQ(m.EMF(1, k, 2), m.SurfLoopY(k));
    }
    m.The_Ba1 = 90.0;  // along x
    m.Phi_Ba1 = 90.0;
    iscc_inf_calculation(m);
    for (int k = 1; k <= m.NS - 1; ++k) {
        EXPECT_DOUBLE_EQ(m.EMF(1, k, 1), m.SurfLoopX(k));
        EXPECT_LT(std::abs(m.EMF(1, k, 2)), 1e-15 * m.SurfLoopY(k));
        EXPECT_LT(std::abs(m.EMF(1, k, 3)), 1e-15 * m.SurfLoopZ(k));
    }
    m.Phi_Ba1 = 0.0;  // along z: the z part with its minus sign
    iscc_inf_calculation(m);
    EXPECT_DOUBLE_EQ(m.EMF(1, 2, 3), -m.SurfLoopZ(2));
}

TEST(IsccInf, PositionTableTakesThePlaceOfTheWidthFactor) {
    Model a, b;
    for (Model* m : {&a, &b}) {
        ramp_cable(*m, 3, 4);
        m->The_Ba1 = 30.0;
        m->Phi_Ba1 = 60.0;
        m->ba1_long.fill(0.8);
    }
    const int N = a.NS;
    for (int k = 1; k <= N - 1; ++k) a.ba1_w_emf(k) = 1.5;
    b.Opt_Ba1 = 4;
    b.bpx_inp.fill(1.5);
    b.bpy_inp.fill(1.5);
    b.bpz_inp.fill(1.5);
    iscc_inf_calculation(a);
    iscc_inf_calculation(b);
    for (int k = 1; k <= N - 1; ++k)
        for (int c = 1; c <= 3; ++c) EXPECT_EQ(a.EMF(1, k, c), b.EMF(1, k, c)) << k << " " << c;
    for (int s = 2; s <= 2 * N - 1; ++s) EXPECT_EQ(a.CsInf(2, s), b.CsInf(2, s)) << s;

    // the loops average the strands that bound them: positions k' and
    // N-k'+1 for odd loops, k', k'+1, N-k', N-k'+1 for even loops
    for (int p = 1; p <= N; ++p) b.bpy_inp(p) = p * p;
    iscc_inf_calculation(b);
    const double y = b.SurfLoopY(1) * 0.8 * std::cos(30.0 * b.Pi / 180.0);
    EXPECT_DOUBLE_EQ(b.EMF(1, 3, 2), y * (4 + 49) / 2.0);            // positions 2, 7
    EXPECT_DOUBLE_EQ(b.EMF(1, 2, 2), y * (1 + 4 + 64 + 49) / 4.0);   // 1, 2, 8, 7
    EXPECT_DOUBLE_EQ(b.EMF(1, 6, 2), y * (9 + 16 + 36 + 25) / 4.0);  // 3, 4, 6, 5
}

TEST(IsccInf, RestoresTheSettingsOfTheTimeLoop) {
    Model m;
    ramp_cable(m, 3, 5);
    m.The_Ba1 = 10.0;
    m.CPC = 7.5;
    const RArr2 Rs = m.Rs;
    const int NCa = m.NCa, NEq = m.NEq, NBw = m.NBw;
    iscc_inf_calculation(m);
    EXPECT_EQ(m.Opt_Cable, 2);
    EXPECT_EQ(m.NCa, NCa);
    EXPECT_EQ(m.NEq, NEq);
    EXPECT_EQ(m.NBw, NBw);
    EXPECT_EQ(m.CPC, 7.5);
    EXPECT_FALSE(m.A.allocated());
    for (int j = 1; j <= 3; ++j)
        for (int s = 2; s <= 2 * m.NS - 1; ++s) EXPECT_EQ(m.Rs(j, s), Rs(j, s));
    // and the time loop's matrix can be made again
    assemble_finite(m);
    EXPECT_EQ(m.A.hi1(), NEq);
    EXPECT_EQ(m.A.hi2(), NCa);
}

}  // namespace
}  // namespace vorn
