// "Mat_prop.dat" and the per-band set-up tables: block order, grids, and
// rows against hand-worked material values.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "output/output.hpp"
#include "output/report_case.hpp"

namespace vorn::test {
namespace {

class MatProp : public ::testing::Test {
protected:
    void SetUp() override { set_example_parameters(m); }
    std::vector<std::string> write(int NB = 3) {
        build_report_case(m, NB, 8, dir.str() + "/");
        write_matprop(m);
        return read_lines(dir.path() / "Mat_prop.dat");
    }
    // Index of the line equal to `text`; fails when there is none.
    static std::size_t find(const std::vector<std::string>& lines, const std::string& text,
                            std::size_t from = 0) {
        for (std::size_t i = from; i < lines.size(); ++i)
            if (lines[i] == text) return i;
        ADD_FAILURE() << "no line " << text;
        return lines.size();
    }
    // The comma-separated numbers of a row.
    static std::vector<double> numbers(const std::string& line) {
        std::vector<double> v;
        std::istringstream in(line);
        for (std::string f; std::getline(in, f, ',');) v.push_back(std::stod(f));
        return v;
    }
    // Rows of the block that starts at `title`: the numeric lines after its
    // three header lines, up to the next blank line.
    static std::vector<std::string> rows(const std::vector<std::string>& lines,
                                         std::size_t first) {
        std::vector<std::string> r;
        for (std::size_t i = first; i < lines.size() && !lines[i].empty(); ++i) r.push_back(lines[i]);
        return r;
    }

    TempDir dir;
    Model m;
};

TEST_F(MatProp, FiveBlocksInOrderAndSixTables) {
    const auto lines = write();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "========== OUTPUT VORN: MATERIAL PROPERTIES ==========");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], dir.str() + "/");
    EXPECT_EQ(lines[3], "");
    std::size_t at = 0;
    for (const char* t : {"===== Resistivities =====",
                          "===== Resistivities and thermal conductivities at B=0, 3, and 6 T =====",
                          "===== Heat capacities at B=8 T =====",
                          "===== Critical currents at 1.9 and 4.3 K ====="}) {
        at = find(lines, t, at);
        EXPECT_EQ(lines.at(at - 1), "") << t;
    }

    const struct {
        const char* file;
        const char* title;
        std::size_t rows;
    } tables[] = {
        {"Ra.dat", " Contact resistances between adjacent strands, Ra [microOhm]", 3},
        {"Rc.dat", " Contact resistances between crossing strands, Rc [microOhm]", 4},
        {"RRRs.dat", " RRR values per section, RRRs [-]", 3},
        {"RRRp.dat", " RRR values per position, RRRp [-]", 3},
        {"ICRATs.dat", " Ratio I/Ic per section, ICRATs [-]", 3},
        {"ICRATp.dat", " Ratio I/Ic per position, ICRATp [-]", 3},
    };
    for (const auto& t : tables) {
        const auto tl = read_lines(dir.path() / t.file);
        ASSERT_EQ(tl.size(), 3 + t.rows) << t.file;
        EXPECT_EQ(tl[0], t.title);
    }
    // Ra in uOhm over contacts 1..2NS; Rc down to the plane at the far end.
    const auto ra = read_lines(dir.path() / "Ra.dat");
    EXPECT_EQ(numbers(ra[3]).size(), 1u + 5u + 16u);
    EXPECT_EQ(ra[3].substr(0, 26), "   1,   320.000,    20.000");
    const auto rc = read_lines(dir.path() / "Rc.dat");
    EXPECT_EQ(rc[6].substr(0, 26), "   4,   105.000,    15.000");
    const auto rrrs = read_lines(dir.path() / "RRRs.dat");
    EXPECT_EQ(numbers(rrrs[3]).size(), 1u + 5u + 14u);
    EXPECT_DOUBLE_EQ(m.Ra(1, 1), 20e-6);  // the array is left as it was
}

// rho = MR B + 1e-8/RRR + 1e-8/(163/T + 957000/T^3 + 2.33e9/T^5), in 1e-10 Ohm m.
// At 10 K the temperature part is 1e-8/24273.3 = 4.1198e-13 Ohm m; at 100 K
// 1e-8/2.82 = 3.5461e-9 Ohm m.  MR = 5e-11 Ohm m/T gives 4e-10 at 8 T.
TEST_F(MatProp, ResistivityRowsFollowTheCopperFit) {
    const auto lines = write();
    const std::size_t head = find(lines, "===== Resistivities =====");
    EXPECT_EQ(lines[head + 1], "Magn Res Cu=,  5.000000E-11,Ohm m/T");
    EXPECT_EQ(lines[head + 3], "     Temp,        rho_Cu,        rho_Cu");
    EXPECT_EQ(lines[head + 4], "         ,   RRR=100,B=0,   RRR=200,B=8");
    EXPECT_EQ(lines[head + 5], "      (K), (1^-10 Ohm m), (1^-10 Ohm m)");
    const auto r = rows(lines, head + 6);
    ASSERT_EQ(r.size(), 50u + 99u);  // 0.2..10 K by 0.2, 20..1000 K by 10
    EXPECT_EQ(r[0].substr(0, 9), "      0.2");
    EXPECT_EQ(r[49], "     10.0,       1.00412,       4.50412");
    EXPECT_EQ(r[50].substr(0, 9), "     20.0");
    EXPECT_EQ(r[58], "    100.0,      36.46099,      39.96099");
    EXPECT_EQ(r.back().substr(0, 9), "   1000.0");
}

// Below 10 K the NIST conductivity is RRR T / 0.634; the contact term is
// F_cont T^P_cont, Fac 1 adds F_HF_Ad and the section length 3 (sqrt(5^2 +
// 30^2)/8 mm), Fac 2 F_HF_Cr and half the mid thickness (0.8 mm).
TEST_F(MatProp, ConductivityRowsWithContactFactors) {
    m.Opt_Temp = 1;
    m.F_cont = 2.0;
    m.P_cont = 3.0;
    m.F_HF_str = 0.5;
    m.F_HF_Ad = 0.5;
    m.F_HF_Cr = 2.0;
    const auto lines = write();
    const std::size_t head =
        find(lines, "===== Resistivities and thermal conductivities at B=0, 3, and 6 T =====");
    const std::size_t cols = find(lines, "   Field,    Temp,          k_Cu,     F_HF*k_Cu,       "
                                         "k_Cu_Cu,         Fac 1,         Fac 2",
                                  head);
    const auto r = rows(lines, cols + 2);
    ASSERT_EQ(r.size(), 3u * 93u);
    std::size_t found = 0;
    for (const auto& row : r) {
        const auto v = numbers(row);
        if (v[1] != 2.0) continue;
        ++found;
        EXPECT_NEAR(v[2], 100 * 2.0 / 0.634, 1e-4);
        EXPECT_NEAR(v[3], 0.5 * 100 * 2.0 / 0.634, 1e-4);
        EXPECT_NEAR(v[4], 16.0, 1e-4);
        EXPECT_NEAR(v[5], 0.5 * 16.0 * std::sqrt(25.0 + 900.0) / 8e3, 1e-4);
        EXPECT_NEAR(v[6], 2.0 * 16.0 * 0.8e-3, 1e-4);
    }
    EXPECT_EQ(found, 3u);  // at 0, 3 and 6 T
}

// NbTi at 8 T: Tcs = 9.2 (1 - 8/14.5)^0.59 = 5.7306 K.  At 5.5 K the
// superconducting fit 49.1 T^3 + 64 B T = 10985.0; at 6 K the normal one
// 928 T + 16.24 T^3 = 9075.8.  Copper at 6 K: 2058.8 J/K/m^3.
TEST_F(MatProp, HeatCapacitySwitchesAtTheSharingTemperature) {
    const auto lines = write();
    const std::size_t head = find(lines, "===== Heat capacities at B=8 T =====");
    EXPECT_EQ(lines[head + 2].substr(0, 32), "Tcs=TcB(8 T,I=0)=,  5.730593E+00");
    const auto r = rows(lines, find(lines, "      (K),   (J/K/m^3),   (J/K/m^3),   (J/K/m^3)", head) + 1);
    ASSERT_EQ(r.size(), 39u + 40u + 20u);
    bool below = false, above = false;
    for (const auto& row : r) {
        const auto v = numbers(row);
        if (v[0] == 5.5) {
            below = true;
            EXPECT_NEAR(v[2], 10985.0, 0.06);
        }
        if (v[0] == 6.0) {
            above = true;
            EXPECT_NEAR(v[1], 2058.8, 0.06);
            EXPECT_NEAR(v[2], 9075.8, 0.06);
            // Helium at 1 atm, 126 kg/m^3 at 4.2 K bath.
            EXPECT_NEAR(v[3], 1000 * (5.2 + 1489.4 * std::pow(6.0, -4.06)) * 126, 0.06);
        }
    }
    EXPECT_TRUE(below && above);
}

TEST_F(MatProp, CriticalCurrentGrid) {
    const auto lines = write();
    const std::size_t head = find(lines, "===== Critical currents at 1.9 and 4.3 K =====");
    EXPECT_EQ(lines[head + 1].substr(0, 34), "Jc based on Ic using CuSC ratio=, ");
    EXPECT_EQ(lines[head + 2], "Critical currents at 1 T/s are different if the option \"Ic "
                               "reduction due to IFCCs\" is selected");
    const auto r = rows(lines, find(lines, "     (K),     (T),             (A),             (A),"
                                           "             (A),             (A),       (kA/mm^2),"
                                           "       (kA/mm^2)",
                                    head) + 1);
    ASSERT_EQ(r.size(), 2u * 30u);  // 0.5..15 T for NbTi at two temperatures
    EXPECT_EQ(r.front().substr(0, 18), "     1.9,     0.5,");
    EXPECT_EQ(r.back().substr(0, 18), "     4.3,    15.0,");
}

}  // namespace
}  // namespace vorn::test
