// Voltages per position, per wire and along the cable.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "network/network.hpp"
#include "small_cable.hpp"

namespace vorn::test {
namespace {

const double mV = 1e-3;

class Voltage : public ::testing::Test {
protected:
    void make(int NB) {
        small_cable(m, NB);
        allocate_arrays(m);
        m.Rc.allocate(1, NB + 1, 1, 7, 0.0);
    }
    // The hand case (NB = 2): stored section voltages (before the sign
    // reversal) VRs(1, s) = -s mV, VRs(2, 3|5|7|8) = -10|20|30|40 mV, the
    // rest 0; VIs the same, VTs twice that; contact k of plane 2 carries
    // Rc Cc = k mV, the other planes carry a drop that must not count.
    void hand_case() {
        make(2);
        for (int s = 2; s <= 15; ++s) m.VRs(1, s) = -s * mV;
        m.VRs(2, 3) = -10 * mV;
        m.VRs(2, 5) = -20 * mV;
        m.VRs(2, 7) = -30 * mV;
        m.VRs(2, 8) = -40 * mV;
        for (int j = 1; j <= 2; ++j)
            for (int s = 2; s <= 15; ++s) {
                m.VIs(j, s) = m.VRs(j, s);
                m.VTs(j, s) = 2 * m.VRs(j, s);
            }
        for (int k = 1; k <= 7; ++k) {
            m.Rc(2, k) = 1e-3;
            m.Cc(2, k) = k;
            m.Rc(1, k) = m.Rc(3, k) = 5.0;
            m.Cc(1, k) = m.Cc(3, k) = 7.0;
        }
    }
    Model m;
};

// Expected potentials of the hand case in mV, rows 0..2, wires 1..8.
//
// Band 1 per wire (wire = position): the sums of the positions' sections,
// V1 = 5, 15, 19, 14, 23, 19, 15, 9.  The chain (wires 1, 2, 8, 3, 7, 4, 6,
// 5 through contacts 1..7) adds -V1(a) + V1(b), the contact term -k mV (odd
// k) or +k mV (even k), and +10, +20, +30 mV at contacts 1, 3, 5 and -40 mV
// at contact 7:
//   Z(2) = 0 - 5 + 15 - 1 + 10 = 19     Z(8) = 19 - 15 + 9 + 2 = 15
//   Z(3) = 15 - 9 + 19 - 3 + 20 = 42    Z(7) = 42 - 19 + 15 + 4 = 42
//   Z(4) = 42 - 15 + 14 - 5 + 30 = 66   Z(6) = 66 - 14 + 19 + 6 = 77
//   Z(5) = 77 - 19 + 23 - 7 - 40 = 34
// Row 1 adds V1; row 2 adds band 2 per wire (wire = position + 1): +10, +20,
// +30, +40 mV on wires 2, 3, 4, 6.
const double kVRwZ[3][8] = {{0, 19, 42, 66, 34, 77, 42, 15},
                            {5, 34, 61, 80, 57, 96, 57, 24},
                            {5, 44, 81, 110, 57, 136, 57, 24}};
// The same chain without the contact terms.
const double kVIwZ[3][8] = {{0, 20, 44, 69, 38, 74, 40, 14},
                            {5, 35, 63, 83, 61, 93, 55, 23},
                            {5, 45, 83, 113, 61, 133, 55, 23}};
// Row 0 the sum of the two; rows 1, 2 add twice the band voltages.
const double kVTwZ[3][8] = {{0, 39, 86, 135, 72, 151, 82, 29},
                            {10, 69, 124, 163, 118, 189, 112, 47},
                            {10, 89, 164, 223, 118, 269, 112, 47}};

TEST_F(Voltage, HandCaseEntrancePotentialsAndProfiles) {
    hand_case();
    voltage_calculation(m);
    // signs reversed in place
    EXPECT_DOUBLE_EQ(m.VRs(1, 7), 7 * mV);
    EXPECT_DOUBLE_EQ(m.VTs(2, 8), 80 * mV);
    // per position (sum of its sections) and per wire
    EXPECT_NEAR(m.VRp(1, 5), 23 * mV, 1e-15);
    EXPECT_NEAR(m.VIp(1, 4), 14 * mV, 1e-15);
    EXPECT_NEAR(m.VRw(2, 6), 40 * mV, 1e-15);  // band 2: position 5 holds wire 6
    EXPECT_NEAR(m.VTw(2, 1), 0.0, 1e-15);
    for (int j = 0; j <= 2; ++j)
        for (int w = 1; w <= 8; ++w) {
            EXPECT_NEAR(m.VRwZ(j, w), kVRwZ[j][w - 1] * mV, 1e-14) << j << " " << w;
            EXPECT_NEAR(m.VIwZ(j, w), kVIwZ[j][w - 1] * mV, 1e-14) << j << " " << w;
            EXPECT_NEAR(m.VTwZ(j, w), kVTwZ[j][w - 1] * mV, 1e-14) << j << " " << w;
        }
}

TEST_F(Voltage, ShiftByTheMinimum) {
    hand_case();
    m.Cc(2, 1) = 30;  // contact 1 now drops 30 mV: wires 2..8 lie 29 mV lower
    voltage_calculation(m);
    // VRwZ: the lowest entry is row 0, wire 8 at 15 - 29 = -14 mV
    for (int j = 0; j <= 2; ++j)
        for (int w = 1; w <= 8; ++w) {
            const double r = kVRwZ[j][w - 1] - (w == 1 ? 0 : 29) + 14;
            EXPECT_NEAR(m.VRwZ(j, w), r * mV, 1e-14) << j << " " << w;
            EXPECT_NEAR(m.VIwZ(j, w), kVIwZ[j][w - 1] * mV, 1e-14) << j << " " << w;
            // VTwZ: row 0 wire 8 at 29 - 29 = 0 next to wire 1: no shift
            const double t = kVTwZ[j][w - 1] - (w == 1 ? 0 : 29);
            EXPECT_NEAR(m.VTwZ(j, w), t * mV, 1e-14) << j << " " << w;
        }
    EXPECT_EQ(m.VRwZ(0, 8), 0.0);
}

TEST_F(Voltage, NotANumberIsSkippedInTheMinimum) {
    hand_case();
    m.Cc(2, 1) = 30;
    m.VRs(2, 9) = std::numeric_limits<double>::quiet_NaN();  // band 2, position 8: wire 1
    voltage_calculation(m);
    EXPECT_TRUE(std::isnan(m.VRwZ(2, 1)));
    for (int j = 0; j <= 2; ++j)
        for (int w = 1; w <= 8; ++w) {
            if (j == 2 && w == 1) continue;
            const double r = kVRwZ[j][w - 1] - (w == 1 ? 0 : 29) + 14;
            EXPECT_NEAR(m.VRwZ(j, w), r * mV, 1e-14) << j << " " << w;
        }
}

TEST_F(Voltage, AllZeroGivesAllZero) {
    make(3);
    for (int j = 1; j <= 4; ++j)
        for (int k = 1; k <= 7; ++k) m.Rc(j, k) = 1e-5;  // no current through them
    voltage_calculation(m);
    for (const RArr2* z : {&m.VRwZ, &m.VIwZ, &m.VTwZ})
        for (int j = 0; j <= 3; ++j)
            for (int w = 1; w <= 8; ++w) EXPECT_EQ((*z)(j, w), 0.0) << j << " " << w;
}

TEST_F(Voltage, EveryProfileHasAZeroAndNothingBelow) {
    make(4);
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-1e-3, 1e-3);
    for (int j = 1; j <= 4; ++j)
        for (int s = 2; s <= 15; ++s) {
            m.VRs(j, s) = u(gen);
            m.VIs(j, s) = u(gen);
            m.VTs(j, s) = m.VRs(j, s) + m.VIs(j, s);
        }
    for (int j = 1; j <= 5; ++j)
        for (int k = 1; k <= 7; ++k) {
            m.Rc(j, k) = 1e-5;
            m.Cc(j, k) = 100 * u(gen) / 1e-3;
        }
    voltage_calculation(m);
    for (const RArr2* z : {&m.VRwZ, &m.VIwZ, &m.VTwZ}) {
        int zeros = 0;
        for (int j = 0; j <= 4; ++j)
            for (int w = 1; w <= 8; ++w) {
                EXPECT_GE((*z)(j, w), 0.0);
                zeros += (*z)(j, w) == 0.0;
            }
        EXPECT_GE(zeros, 1);
    }
}

TEST_F(Voltage, SingleBandStopsAfterTheWires) {
    make(1);
    for (int s = 2; s <= 15; ++s) m.VRs(1, s) = -s * mV;
    for (RArr2* z : {&m.VRwZ, &m.VIwZ, &m.VTwZ}) z->fill(7.0);
    voltage_calculation(m);
    EXPECT_DOUBLE_EQ(m.VRs(1, 4), 4 * mV);
    EXPECT_NEAR(m.VRw(1, 2), 15 * mV, 1e-15);
    for (const RArr2* z : {&m.VRwZ, &m.VIwZ, &m.VTwZ})
        for (int j = 0; j <= 1; ++j)
            for (int w = 1; w <= 8; ++w) EXPECT_EQ((*z)(j, w), 7.0);
}

}  // namespace
}  // namespace vorn::test
