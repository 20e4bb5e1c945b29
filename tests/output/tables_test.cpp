// Result tables: statistics, the exact text of the printers, and the
// aggregation of per-section results per position and per wire.
#include "output/tables.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "network/network.hpp"
#include "output/output.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

TEST(Stdev, SampleDeviationFromTheTwoSums) {
    const double one[] = {7.5};
    EXPECT_EQ(stdev(3, 3, one), 0.0);
    const double two[] = {2.0, 4.0};
    EXPECT_NEAR(stdev(1, 2, two), std::sqrt(2.0), 1e-15);
    const double same[] = {0.1, 0.1, 0.1};  // rounding must not give a NaN
    EXPECT_NEAR(stdev(0, 2, same), 0.0, 1e-8);
    const int ints[] = {0, 0, 1};
    EXPECT_NEAR(stdevi(2, 4, ints), std::sqrt(1.0 / 3.0), 1e-15);
    EXPECT_EQ(stdevi(1, 1, ints), 0.0);
}

class Tables : public ::testing::Test {
protected:
    void SetUp() override {
        m.NTS = 3;
        m.Time = 5e-6;
        ASSERT_TRUE(f.open(path(), OpenMode::Replace));
    }
    std::string path() const { return (dir.path() / "table.dat").string(); }
    std::string text() const { return read_file(path()); }

    TempDir dir;
    Model m;
    OutFile f;
};

TEST_F(Tables, IntegerTableWithRealMeanAndDeviation) {
    IArr2 a(1, 1, 2, 4, 0);
    a(1, 4) = 1;
    print_2d_integer(m, f, a, 1, 1, 2, 4, "Regime [-]");
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(text(),
              " Regime [-]\n"
              " Time step           3\n"
              " Time   5.0000000000000004E-006\n"
              "    NB,   Sum,  Aver, StDev,   Min,   Max,  2,  3,  4\n"
              "     1,     1, 0.333, 0.577,     0,     1,  0,  0,  1\n");
}

TEST_F(Tables, ScaledRealTableKeepsTheArrayAndOverflowsIntoAsterisks) {
    // Volts per wire with band 0, printed in mV.
    RArr2 a(0, 1, 0, 2);
    const double v[2][3] = {{0.0012, -0.0034, 0.0005}, {2.0, 4.0, 12345.678}};
    for (int b = 0; b <= 1; ++b)
        for (int i = 0; i <= 2; ++i) a(b, i) = v[b][i];
    print_2d_real(m, f, a, 0, 1, 0, 2, 1000.0, "Resistive voltages per wire, VRwZ [V]");
    EXPECT_EQ(text(),
              " Resistive voltages per wire, VRwZ [V]\n"
              " Time step           3\n"
              " Time   5.0000000000000004E-006\n"
              " All values multplied by:   1000.0000000000000     \n"
              "  NB,       Sum,      Aver,     StDev,       Min,       Max,         0,         1,"
              "         2\n"
              "   0,    -1.700,    -0.567,     2.479,    -3.400,     1.200,     1.200,    -3.400,"
              "     0.500\n"
              "   1,**********,**********,**********,  2000.000,**********,  2000.000,  4000.000,"
              "**********\n");
    for (int b = 0; b <= 1; ++b)
        for (int i = 0; i <= 2; ++i) EXPECT_EQ(a(b, i), v[b][i]) << b << ' ' << i;
}

TEST_F(Tables, ReportTablesHaveNoTimeLines) {
    RArr1 a(1, 2);
    a(1) = 2.0;
    a(2) = 4.0;
    print_1d_r(f, a, 1, 2, 1.0, ",", "Field in x-direction along a line, BFL_x [mT]");
    EXPECT_EQ(text(),
              " Field in x-direction along a line, BFL_x [mT]\n"
              " All values multplied by:   1.0000000000000000     \n"
              "       Sum,      Aver,     StDev,       Min,       Max,         1,         2\n"
              "     6.000,     3.000,     1.414,     2.000,     4.000,     2.000,     4.000\n");

    // Per band: the row format carries the band, then the statistics.
    RArr2 r(1, 2, 1, 1, 0.5);
    ASSERT_TRUE(f.open(path(), OpenMode::Replace));
    print_2d_r(f, r, 1, 2, 1, 1, 2.0, ";", "Ra");
    const auto lines = read_lines(path());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "  NB;       Sum;      Aver;     StDev;       Min;       Max;         1");
    EXPECT_EQ(lines[4], "   2;     1.000;     1.000;     0.000;     1.000;     1.000;     1.000");
}

// A store of 4 bands x 12 strands with its arrays, as after the set-up.
class ConvertArrays : public ::testing::Test {
protected:
    void SetUp() override {
        set_example_parameters(m);
        m.NB = 4;
        set_derived_counts(m);
        allocate_input_arrays(m);
        allocate_arrays(m);
    }
    Model m;
};

TEST_F(ConvertArrays, MeansSumsAndWireOrder) {
    const int NS = m.NS;
    m.Ps.fill(1.0);
    m.ICs.fill(321.5);
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Cs(b, s) = 100.0 * b + position_of_section(s, NS);
    convert_arrays(m);
    for (int b = 1; b <= m.NB; ++b) {
        for (int p = 1; p <= NS; ++p) {
            EXPECT_EQ(m.ICp(b, p), 321.5);
            EXPECT_EQ(m.Cp(b, p), 100.0 * b + p);
            // positions NS/2 and NS own one section each, the others two
            EXPECT_EQ(m.Pp(b, p), p == NS / 2 || p == NS ? 1.0 : 2.0) << p;
            // position p of band b carries wire ((p + b - 2) mod NS) + 1
            EXPECT_EQ(m.Cw(b, (p + b - 2) % NS + 1), 100.0 * b + p) << b << ' ' << p;
        }
    }
}

TEST_F(ConvertArrays, ResistivityFromResistanceThenPerWire) {
    // Section lengths over the strand cross-section, 1/m.
    m.l_div_a.allocate(2, m.NS_2m1, 0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) m.l_div_a(s) = 1000.0 * s;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = 1e-10 * b * s;
    convert_arrays(m);
    EXPECT_DOUBLE_EQ(m.Rho_s(3, 7), 3e-13);
    // Both sections of a position hold the same resistivity, so does the
    // position and the wire it carries: wire ((p + b - 2) mod NS) + 1.
    EXPECT_DOUBLE_EQ(m.Rho_p(2, 5), 2e-13);
    EXPECT_DOUBLE_EQ(m.Rho_w(4, (5 + 4 - 2) % m.NS + 1), 4e-13);
}

TEST_F(ConvertArrays, TemperatureAndSelfFieldOnlyWhenSwitchedOn) {
    m.Ts.fill(5.0);
    m.THs.fill(4.5);
    m.Tp.fill(-1.0);
    convert_arrays(m);  // Opt_Temp = 0, Opt_SF = 0
    EXPECT_EQ(m.Tp(2, 3), -1.0);
    EXPECT_EQ(m.dTs(2, 3), 0.0);
    EXPECT_EQ(m.BSFp_x(2, 3), 0.0);

    m.Opt_Temp = 1;
    m.Opt_SF = 1;
    for (RArr2* a : {&m.BSF_x, &m.BSF_y, &m.BSF_z}) a->allocate(1, m.NB, 2, m.NS_2m1, 0.25);
    convert_arrays(m);
    EXPECT_EQ(m.Tp(2, 3), 5.0);
    EXPECT_EQ(m.THw(4, 12), 4.5);
    EXPECT_EQ(m.dTs(2, 3), 0.5);
    EXPECT_EQ(m.dTw(1, 1), 0.5);
    EXPECT_EQ(m.BSFp_z(3, 6), 0.25);
}

}  // namespace
}  // namespace vorn::test
