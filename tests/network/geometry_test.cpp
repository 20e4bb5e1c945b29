// Cable geometry: section and position coordinates, the return
// lead, and the strand data per wire, position and section.
#include <gtest/gtest.h>

#include "network/network.hpp"
#include "small_cable.hpp"
#include "support/stop.hpp"

namespace vorn::test {
namespace {

// NS = 8, s = 2..15: x of the section centre in units of d = w/16, and the
// share of the local thickness at which it lies (upper 0.75, lower 0.25,
// edge 0.5).
const int kSecX[] = {2, 3, 5, 7, 9, 11, 13, 3, 5, 7, 9, 11, 13, 14};
const double kSecLayer[] = {0.5,  0.75, 0.25, 0.75, 0.25, 0.75, 0.25,
                            0.25, 0.75, 0.25, 0.75, 0.25, 0.75, 0.5};
// p = 1..8: x in units of d.
const int kPosX[] = {2, 6, 10, 14, 14, 10, 6, 2};

class Geometry : public ::testing::Test {
protected:
    void SetUp() override { small_cable(m, 3); }
    Model m;
};

TEST_F(Geometry, FlatCableCoordinates) {
    position_calculation(m);
    const double d = m.w / 16, Th = m.Th1;
    ASSERT_EQ(m.PosX.lo(), 2);
    ASSERT_EQ(m.PosX.hi(), 15);
    for (int s = 2; s <= 15; ++s) {
        EXPECT_NEAR(m.PosX(s), kSecX[s - 2] * d, 1e-15) << s;
        EXPECT_DOUBLE_EQ(m.PosY(s), kSecLayer[s - 2] * Th) << s;
    }
    ASSERT_EQ(m.PosXP.lo(), 0);
    ASSERT_EQ(m.PosXP.hi(), 8);
    for (int p = 1; p <= 8; ++p) {
        EXPECT_NEAR(m.PosXP(p), kPosX[p - 1] * d, 1e-15) << p;
        EXPECT_DOUBLE_EQ(m.PosYP(p), (p <= 4 ? 0.75 : 0.25) * Th) << p;
    }
    EXPECT_EQ(m.PosXP(0), m.PosXP(8));
    EXPECT_EQ(m.PosYP(0), m.PosYP(8));
    // no return lead without the self field
    EXPECT_FALSE(m.PosRetLeadP_x.allocated());
    EXPECT_FALSE(m.PosRetLeadP_y.allocated());
}

TEST_F(Geometry, KeystoneThicknessRule) {
    m.Th1 = 0.002;
    m.Th2 = 0.001;
    position_calculation(m);
    const double d = m.w / 16;
    // T(x) = Th1 - (Th1 - Th2) x / w: at x = k d that is 2 mm - k/16 mm
    auto T = [](int k) { return 0.002 - 0.001 * k / 16.0; };
    for (int s = 2; s <= 15; ++s) {
        EXPECT_NEAR(m.PosX(s), kSecX[s - 2] * d, 1e-15) << s;
        EXPECT_NEAR(m.PosY(s), kSecLayer[s - 2] * T(kSecX[s - 2]), 1e-15) << s;
    }
    EXPECT_NEAR(m.PosY(2), 0.5 * 0.001875, 1e-15);    // left edge, x = w/8
    EXPECT_NEAR(m.PosY(15), 0.5 * 0.001125, 1e-15);   // right edge, x = 7w/8
    EXPECT_NEAR(m.PosYP(1), 0.75 * 0.001875, 1e-15);  // upper, x = w/8
    EXPECT_NEAR(m.PosYP(4), 0.75 * 0.001125, 1e-15);  // upper, x = 7w/8
    EXPECT_NEAR(m.PosYP(5), 0.25 * 0.001125, 1e-15);  // lower, x = 7w/8
    EXPECT_NEAR(m.PosYP(8), 0.25 * 0.001875, 1e-15);  // lower, x = w/8
    EXPECT_EQ(m.PosYP(0), m.PosYP(8));
}

TEST_F(Geometry, ReturnLeadIsAMirroredCableAboveTheCable) {
    m.Th1 = 0.002;
    m.Th2 = 0.001;
    m.d_RL = 0.01;
    m.Opt_SF = 1;
    m.Opt_RetLead = 1;
    position_calculation(m);
    ASSERT_TRUE(m.PosRetLeadP_x.allocated());
    ASSERT_EQ(m.PosRetLeadP_y.lo(), 0);
    ASSERT_EQ(m.PosRetLeadP_y.hi(), 8);
    // p = 1 at x = w/8: cable top 1.875 mm, lead thickness 1 + 1/8 mm
    EXPECT_NEAR(m.PosRetLeadP_y(1), 0.001875 + 0.01 + 0.75 * 0.001125, 1e-15);
    // p = 5 at x = 7w/8: cable top 1.125 mm, lead thickness 1 + 7/8 mm
    EXPECT_NEAR(m.PosRetLeadP_y(5), 0.001125 + 0.01 + 0.25 * 0.001875, 1e-15);
    for (int p = 0; p <= 8; ++p) EXPECT_EQ(m.PosRetLeadP_x(p), m.PosXP(p)) << p;
    EXPECT_EQ(m.PosRetLeadP_y(0), m.PosRetLeadP_y(8));
    // created once: a second creation is a fatal allocation error
    EXPECT_THROW(position_calculation(m), FatalError);
}

TEST_F(Geometry, ReturnLeadOnlyWithTheSelfField) {
    m.Opt_SF = 2;
    m.Opt_RetLead = 1;
    position_calculation(m);
    EXPECT_FALSE(m.PosRetLeadP_x.allocated());
}

TEST_F(Geometry, ConstantStrandData) {
    strand_specific_data(m);
    const double A = m.Pi * m.DiamStr * m.DiamStr / 4;
    const double cu = A * 1.8 / 2.8;
    EXPECT_EQ(m.AnyNormS, 0);
    for (int w = 1; w <= 8; ++w) {
        EXPECT_EQ(m.CuSCw(w), 1.8);
        EXPECT_EQ(m.RRRw(w), 100.0);
        EXPECT_EQ(m.Normw(w), 0);
    }
    for (int j = 1; j <= 3; ++j) {
        for (int p = 1; p <= 8; ++p) {
            EXPECT_EQ(m.CuSCp(j, p), 1.8);
            EXPECT_EQ(m.RRRp(j, p), 100.0);
            EXPECT_EQ(m.ICRATp(j, p), 1.0);
            EXPECT_EQ(m.NPOWp(j, p), 30.0);
        }
        for (int s = 2; s <= 15; ++s) {
            EXPECT_EQ(m.CuSCs(j, s), 1.8);
            EXPECT_EQ(m.RRRs(j, s), 100.0);
            EXPECT_EQ(m.ICRATs(j, s), 1.0);
            EXPECT_EQ(m.NPOWs(j, s), 30.0);
            EXPECT_EQ(m.Norms(j, s), 0);
            EXPECT_NEAR(m.Cs_mat(j, s), cu, 1e-20);
            EXPECT_NEAR(m.Cs_SC(j, s), A - cu, 1e-20);
            EXPECT_NEAR(m.Vol_Cu(j, s), cu * m.Length_s(s), 1e-25);
            EXPECT_NEAR(m.Vol_SC(j, s), (A - cu) * m.Length_s(s), 1e-25);
        }
    }
    // the edge sections are twice as long
    EXPECT_DOUBLE_EQ(m.Vol_Cu(1, 2), 2 * m.Vol_Cu(1, 3));
}

TEST_F(Geometry, PerStrandDataFollowTheWiresAndFindNormalStrands) {
    m.Opt_CuSCRRR = 1;
    for (int w = 1; w <= 8; ++w) {
        m.CuSCw(w) = 1.0 + w;
        m.RRRw(w) = 10.0 * w;
        m.ICRATw(w) = 0.9;
        m.NPOWw(w) = 20.0 + w;
    }
    m.CuSCw(3) = 100.0;  // not normal: the test is strictly greater
    m.CuSCw(5) = 100.5;  // normal
    strand_specific_data(m);
    EXPECT_EQ(m.AnyNormS, 1);
    for (int w = 1; w <= 8; ++w) {
        EXPECT_EQ(m.Normw(w), w == 5 ? 1 : 0) << w;
        EXPECT_EQ(m.ICRATw(w), w == 5 ? 0.0 : 0.9) << w;
    }
    // band 1: section 4 is position 7 (wire 7); band 2: wire 8; band 3: wire 1
    EXPECT_EQ(m.CuSCs(1, 4), 8.0);
    EXPECT_EQ(m.CuSCs(2, 4), 9.0);
    EXPECT_EQ(m.RRRs(3, 4), 10.0);
    // wire 5 sits at position 5 in band 1 (sections 8 and 15), position 4 in
    // band 2 (section 14), position 3 in band 3 (sections 7 and 12)
    for (int j = 1; j <= 3; ++j)
        for (int s = 2; s <= 15; ++s) {
            const bool w5 = (j == 1 && (s == 8 || s == 15)) || (j == 2 && s == 14) ||
                            (j == 3 && (s == 7 || s == 12));
            EXPECT_EQ(m.Norms(j, s), w5 ? 1 : 0) << j << " " << s;
            EXPECT_EQ(m.ICRATs(j, s), w5 ? 0.0 : 0.9) << j << " " << s;
            const int wire = wire_at(position_of_section(s, 8), j, 8);
            EXPECT_EQ(m.CuSCs(j, s), m.CuSCw(wire));
            EXPECT_EQ(m.RRRs(j, s), m.RRRw(wire));
            EXPECT_EQ(m.NPOWs(j, s), 20.0 + wire);
            const double r = m.CuSCw(wire);
            EXPECT_DOUBLE_EQ(m.Cs_mat(j, s), m.A_str * r / (r + 1));
        }
    for (int p = 1; p <= 8; ++p) EXPECT_EQ(m.Normp(2, p), p == 4 ? 1 : 0) << p;
}

TEST_F(Geometry, RrrPerSectionKeepsTheSectionValues) {
    m.Opt_CuSCRRR = 2;
    m.RRRs.fill(100.0);
    m.RRRs(2, 7) = 55.0;
    strand_specific_data(m);
    EXPECT_EQ(m.RRRs(2, 7), 55.0);
    EXPECT_EQ(m.RRRs(1, 7), 100.0);
    for (int w = 1; w <= 8; ++w) EXPECT_EQ(m.CuSCw(w), 1.8);
    EXPECT_DOUBLE_EQ(m.Cs_mat(2, 7), m.A_str * 1.8 / 2.8);
    EXPECT_EQ(m.AnyNormS, 0);
}

// The sections 2..15 of every band after strand_specific_data with Nr_Opt.
class SpecialOption : public Geometry {
protected:
    void run(int nr) {
        m.Nr_Opt = nr;
        m.C1_Opt = 11.0;
        m.C2_Opt = 0.5;
        m.C3_Opt = 0.25;
        m.C4_Opt = 4.0;
        strand_specific_data(m);
    }
    // RRRs and ICRATs of every band must be `rrr` and `ic` at s.
    void expect(int s, double rrr, double ic) {
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(m.RRRs(j, s), rrr) << "band " << j << " section " << s;
            EXPECT_EQ(m.ICRATs(j, s), ic) << "band " << j << " section " << s;
        }
    }
};

TEST_F(SpecialOption, Nr20And21SetTheEdgeRrr) {
    run(20);
    for (int s = 2; s <= 15; ++s) expect(s, s == 2 || s == 15 ? 11.0 : 100.0, 1.0);
    run(21);
    for (int s = 2; s <= 15; ++s)
        expect(s,
               s == 2 || s == 15                       ? 11.0
               : s == 3 || s == 8 || s == 9 || s == 14 ? 0.5
                                                       : 100.0,
               1.0);
}

TEST_F(SpecialOption, Nr30And31ScaleTheEdgeIc) {
    run(30);
    for (int s = 2; s <= 15; ++s) expect(s, 100.0, s == 2 ? 11.0 : s == 15 ? 0.5 : 1.0);
    run(31);  // strand_specific_data starts again from ICRATw
    for (int s = 2; s <= 15; ++s) {
        const double ic = s == 2              ? 11.0
                          : s == 15           ? 0.5
                          : s == 3 || s == 9  ? 0.25
                          : s == 8 || s == 14 ? 4.0
                                              : 1.0;
        expect(s, 100.0, ic);
    }
}

TEST_F(SpecialOption, Nr41And50) {
    run(41);
    for (int s = 2; s <= 15; ++s) {
        const double rrr = s == 2 ? 11.0 : s == 3 || s == 9 ? 0.5 : 100.0;
        const double ic = s == 2 ? 0.25 : s == 3 || s == 9 ? 4.0 : 1.0;
        expect(s, rrr, ic);
    }
    run(50);  // the constant copper option restores RRRs first
    for (int s = 2; s <= 15; ++s) {
        const bool hit = s == 2 || s == 3 || s == 9;
        expect(s, hit ? 11.0 : 100.0, hit ? 0.5 : 1.0);
    }
}

TEST_F(SpecialOption, OtherNumbersDoNothing) {
    for (int nr : {0, 19, 22, 40, 51, 60}) {
        run(nr);
        for (int s = 2; s <= 15; ++s) expect(s, 100.0, 1.0);
    }
}

TEST_F(Geometry, LocalIcEntriesMultiplyUp) {
    m.NrIcLT = 3;
    m.NBIcL.allocate(1, 3, 0);
    m.NsecIcL.allocate(1, 3, 0);
    m.IcRatioSec.allocate(1, 3, 0.0);
    m.NBIcL(1) = 2, m.NsecIcL(1) = 6, m.IcRatioSec(1) = 0.5;
    m.NBIcL(2) = 2, m.NsecIcL(2) = 6, m.IcRatioSec(2) = 0.4;
    m.NBIcL(3) = 3, m.NsecIcL(3) = 15, m.IcRatioSec(3) = 3.0;
    m.Nr_Opt = 30;  // applied before the local variation
    m.C1_Opt = 1.0;
    m.C2_Opt = 2.0;
    strand_specific_data(m);
    for (int j = 1; j <= 3; ++j)
        for (int s = 2; s <= 15; ++s) {
            double ic = s == 15 ? 2.0 : 1.0;
            if (j == 2 && s == 6) ic = 0.5 * 0.4;
            if (j == 3 && s == 15) ic = 6.0;
            EXPECT_DOUBLE_EQ(m.ICRATs(j, s), ic) << j << " " << s;
        }
}

}  // namespace
}  // namespace vorn::test
