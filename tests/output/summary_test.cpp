// "Summary.dat": the line formats, the lines that depend on the options,
// the derived cable quantities against a hand computation, and the rewrite
// of the file at every writing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "output/output.hpp"
#include "output/summary_lines.hpp"
#include "output/report_case.hpp"

namespace vorn::test {
namespace {

// --- line formats -------------------------------------------------------------

std::string one_line(void (*write)(SummaryLines&)) {
    TempDir dir;
    const fs::path p = dir.path() / "lines.dat";
    {
        OutFile f;
        EXPECT_TRUE(f.open(p.string(), OpenMode::Replace));
        SummaryLines o(f);
        write(o);
    }
    return read_file(p);
}

TEST(SummaryLineFormats, LabelValueAndUnitFillFiftyFourteenAndTwelve) {
    const std::string v = one_line([](SummaryLines& o) { o.value("w: Cable width,", 5.0, ",mm"); });
    EXPECT_EQ(v, std::string(35, ' ') + "w: Cable width," + "      5.000000" + std::string(9, ' ') +
                     ",mm\n");
    EXPECT_EQ(v.size(), 50u + 14u + 12u + 1u);

    const std::string e =
        one_line([](SummaryLines& o) { o.value_e("Minimum rho,", 1e-14, ",Ohm m"); });
    EXPECT_EQ(e, std::string(38, ' ') + "Minimum rho," + "    0.1000E-13" + "      ,Ohm m\n");

    const std::string i = one_line([](SummaryLines& o) { o.integer("NS: Number of strands,", 12, ",-"); });
    EXPECT_EQ(i, std::string(28, ' ') + "NS: Number of strands," + std::string(12, ' ') + "12" +
                     std::string(10, ' ') + ",-\n");

    const std::string w = one_line([](SummaryLines& o) { o.word("Type of Superconductor,", "NbTi"); });
    EXPECT_EQ(w, std::string(27, ' ') + "Type of Superconductor," + std::string(10, ' ') + "NbTi\n");
}

TEST(SummaryLineFormats, OverflowGivesAsterisksAndLongTextsStayWhole) {
    const std::string v =
        one_line([](SummaryLines& o) { o.value("Free volume,", 1.0e9, ",mm^3"); });
    EXPECT_EQ(v.substr(50, 14), std::string(14, '*'));
    EXPECT_EQ(v.size(), 77u);  // still aligned

    // A label longer than its 50 characters is written whole, value after it.
    const std::string label = "Scaling factor for heat flow between adjacent contacts,";
    const std::string l = one_line([](SummaryLines& o) {
        o.value("Scaling factor for heat flow between adjacent contacts,", 1.0, ",-");
    });
    EXPECT_EQ(l, label + "      1.000000" + std::string(10, ' ') + ",-\n");

    const std::string h = one_line([](SummaryLines& o) {
        o.header("H");
        o.title("T");
        o.text("Short");
    });
    EXPECT_EQ(h, "\nH\n\n\nT\n" + std::string(45, ' ') + "Short\n");
}

// --- the whole file on a small cable ---------------------------------------------

class Summary : public ::testing::Test {
protected:
    void SetUp() override { set_example_parameters(m); }

    void build(int NB, int NS = 8) { build_report_case(m, NB, NS, dir.str() + "/"); }
    std::string text() {
        write_summary(m);
        return read_file(dir.path() / "Summary.dat");
    }
    static bool has(const std::string& text, const std::string& label) {
        return text.find(label) != std::string::npos;
    }
    // The value field of the first line whose label is `label`.
    static double value_of(const std::string& text, const std::string& label) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.size() >= 64 && line.substr(0, 50).find(label) != std::string::npos &&
                line.substr(50 - label.size(), label.size()) == label)
                return std::stod(line.substr(50, 14));
        ADD_FAILURE() << "no line " << label;
        return NAN;
    }

    TempDir dir;
    Model m;
};

TEST_F(Summary, InfiniteCableHasNoLengthAndStopsPerMetre) {
    m.Opt_Cable = 1;
    m.VoltStop = 1000e-6;  // V/m as read
    build(1);
    const std::string t = text();
    EXPECT_TRUE(has(t, "             Infinitely long cable\n"));
    EXPECT_FALSE(has(t, "Cable length,"));
    EXPECT_FALSE(has(t, "Nr. of bands for mut. ind. calculation,"));
    EXPECT_TRUE(has(t, "Voltage at which the calculation stops,   1000.000000       ,uV/m\n"));
}

TEST_F(Summary, FiniteCableStopsPerCable) {
    m.Opt_Cable = 2;
    m.VoltStop = 1000e-6;
    build(3);
    const std::string t = text();
    // Length 3 bands x TPStr/NS = 3 x 60/8 mm = 22.5 mm; 1000 uV/m over it.
    EXPECT_NEAR(value_of(t, "Cable length,"), 0.0225, 1e-6);
    EXPECT_TRUE(has(t, "Voltage at which the calculation stops,     22.500000         ,uV\n"));
    EXPECT_EQ(value_of(t, "Nr. of bands for mut. ind. calculation,"), 2.0);
}

TEST_F(Summary, TransitionLawDecidesTheRhoLines) {
    m.Opt_RsCalc = 1;
    build(3);
    std::string t = text();
    EXPECT_TRUE(has(t, "Transition described by constant resistivity"));
    EXPECT_FALSE(has(t, "Rho at I=Ic,"));
    EXPECT_FALSE(has(t, "n-value,"));
    EXPECT_FALSE(has(t, "Initial nr. of iterations in Rs,"));

    m.Opt_RsCalc = 2;
    t = text();
    EXPECT_TRUE(has(t, "Rho at I=Ic,    0.1000E-13      ,Ohm m"));
    EXPECT_EQ(value_of(t, "n-value,"), 30.0);
    // Five relaxation levels: the last factor is 1/16.
    EXPECT_EQ(value_of(t, "Min. conv. factor for Rs,"), 0.0625);
}

TEST_F(Summary, PredefinedSelfFieldHasNoReturnLead) {
    m.Opt_SF = 2;
    build(3);
    const std::string t = text();
    EXPECT_TRUE(has(t, "Self Field calculation based on predefined values"));
    EXPECT_FALSE(has(t, "return lead"));
    EXPECT_FALSE(has(t, "Return lead"));
    EXPECT_FALSE(has(t, "Nr. of bands for SF,"));
    EXPECT_FALSE(has(t, "PosRetLeadP_x"));
}

TEST_F(Summary, CalculatedSelfFieldWithReturnLead) {
    m.Opt_SF = 1;
    m.Opt_RetLead = 1;
    build(3);
    const std::string t = text();
    EXPECT_TRUE(has(t, "Self Field calculation included"));
    EXPECT_EQ(value_of(t, "Nr. of bands for SF,"), 2.0);
    EXPECT_TRUE(has(t, "Return lead included"));
    EXPECT_EQ(value_of(t, "Distance between cable and return lead,"), 10.0);
    EXPECT_TRUE(has(t, "    Pos#,         PosXP,         PosYP, PosRetLeadP_x, PosRetLeadP_y\n"));
}

TEST_F(Summary, SpecialVariantParametersFromTen) {
    m.Nr_Opt = 9;
    build(3);
    std::string t = text();
    EXPECT_EQ(value_of(t, "Nr_Opt,"), 9.0);
    EXPECT_FALSE(has(t, "C1_Opt,"));

    m.Nr_Opt = 10;
    m.C1_Opt = 1.5;
    m.C4_Opt = -2.0;
    t = text();
    EXPECT_EQ(value_of(t, "C1_Opt,"), 1.5);
    EXPECT_EQ(value_of(t, "C2_Opt,"), 0.0);
    EXPECT_EQ(value_of(t, "C3_Opt,"), 0.0);
    EXPECT_EQ(value_of(t, "C4_Opt,"), -2.0);
}

TEST_F(Summary, EveryWritingReplacesTheLast) {
    build(3);
    m.t_cpu_iter(1, 1) = 1.25;
    text();
    m.t_cpu_iter(1, 2) = 2.5;
    const std::string t = text();
    std::size_t n = 0;
    for (std::size_t p = t.find("OUTPUT VORN: SUMMARY"); p != std::string::npos;
         p = t.find("OUTPUT VORN: SUMMARY", p + 1))
        ++n;
    EXPECT_EQ(n, 1u);
    EXPECT_TRUE(has(t, "\nCPU times (s)\n       1     1.250\n       2     2.500\n       3     0.000\n"));
    // 19 QE iterations, one line each.
    EXPECT_TRUE(has(t, "\n      19     0.000\n"));
    EXPECT_FALSE(has(t, "\n      20 "));
}

// The example cable: w = 5 mm, Th1 = Th2 = 1.6 mm, DiamStr = 0.825 mm,
// TPStr = 60 mm, NS = 12.  theta = atan(10/60) = 9.4623222 deg; strand
// cross-section pi 0.4125^2 = 0.5345616 mm^2; c = 12 x 0.5345616 /
// (5 x 1.6 x cos theta) = 0.8129029; free volume (1 - c) x 8 mm^2 x 1000 mm
// = 1496.777 mm^3.
TEST_F(Summary, DerivedValuesOfTheExampleCable) {
    build(3, 12);
    EXPECT_NEAR(m.Theta_tr * 180 / m.Pi, 9.4623222, 1e-7);
    EXPECT_NEAR(m.F_compact, 0.8129029, 1e-7);
    EXPECT_NEAR(m.Vol_free * 1e9, 1496.777, 1e-3);
    EXPECT_NEAR(m.ThMid, 0.0016, 1e-15);
    const std::string t = text();
    EXPECT_TRUE(has(t, "Transposition angle,      9.462322        ,deg\n"));
    EXPECT_TRUE(has(t, "Compaction factor,      0.812903          ,-\n"));
    EXPECT_TRUE(has(t, "Free volume for a cable of 1 meter length,   1496.777155       ,mm^3\n"));
    EXPECT_TRUE(has(t, "Cross-section strand,      0.534562       ,mm^2\n"));
}

// Statistics over every element of the tables: Ra has 2 NS contacts per
// band, Rc NS - 1 per plane on NB + 1 planes (the planes at both ends
// included).
TEST_F(Summary, ContactResistanceStatisticsCoverTheWholeTables) {
    build(3);  // Ra 3 x 16 = 48 values of 20 uOhm, Rc 4 x 7 = 28 of 15 uOhm
    m.Ra(2, 5) = 40e-6;
    m.Rc(4, 7) = 5e-6;  // last plane
    cable_derived_values(m);
    EXPECT_DOUBLE_EQ(m.Ra_min * 1e6, 20.0);
    EXPECT_DOUBLE_EQ(m.Ra_max * 1e6, 40.0);
    EXPECT_NEAR(m.Ra_aver * 1e6, (47 * 20.0 + 40.0) / 48, 1e-12);
    EXPECT_NEAR(m.Ra_inv_aver / 1e6, (47 / 20.0 + 1 / 40.0) / 48, 1e-12);
    EXPECT_DOUBLE_EQ(m.Rc_min * 1e6, 5.0);
    EXPECT_NEAR(m.Rc_aver * 1e6, (27 * 15.0 + 5.0) / 28, 1e-12);

    const std::string t = text();
    EXPECT_EQ(value_of(t, "Ra_max,"), 40.0);
    EXPECT_EQ(value_of(t, "Ra_aver,"), 20.416667);
    EXPECT_EQ(value_of(t, "(1/Ra)_aver,"), 0.049479);
    EXPECT_EQ(value_of(t, "Rc_min,"), 5.0);
    EXPECT_EQ(value_of(t, "Rc_aver,"), 14.642857);
}

TEST_F(Summary, SpecialValueListsAndHeatedSections) {
    build(3);
    m.NrRaSp = 1;
    m.NBRaSp.allocate(1, 1, 2);
    m.NSRaSp.allocate(1, 1, 5);
    m.RaSp.allocate(1, 1, 40e-6);
    m.Opt_HP = 1;
    m.Nr_HP = 2;
    m.NB_HP.allocate(1, 2, 1);
    m.Ns_HP.allocate(1, 2, 7);
    m.E_HP_inp = 2.5e-6;
    const std::string t = text();
    EXPECT_TRUE(has(t, "Number,band,position,value (uOhm)\n    1,    2,    5,    40.000\n"));
    EXPECT_TRUE(has(t, "Heat pulse added"));
    EXPECT_EQ(value_of(t, "Energy pulse,"), 2.5);
    EXPECT_TRUE(has(t, std::string(22, ' ') + "number,      band,   section\n" +
                           std::string(27, ' ') + "1," + std::string(9, ' ') + "1," +
                           std::string(9, ' ') + "7\n"));
}

TEST_F(Summary, SetUpTablesInMillimetres) {
    build(3);
    const std::string t = text();
    // Section 2 of an 8-strand cable: an edge section at x = w/NS = 0.625 mm
    // on the mid-plane, two ordinary lengths long.
    const double len = 2 * std::sqrt(5.0 * 5.0 + 30.0 * 30.0) / 8;  // mm
    std::ostringstream row;
    row << "       2,     0.625,     0.800,     " << std::fixed;
    row.precision(3);
    row << len << ",";
    EXPECT_TRUE(has(t, row.str())) << row.str();
    EXPECT_TRUE(has(t, " section,      A_He,    Vol_He,   Mass_He\n"));
    // 0.1 mm^3 of helium at 126 kg/m^3 (4.2 K) weighs 12.6 ug.
    EXPECT_TRUE(has(t, "       2,     0.600,     0.100,    12.600\n"));
    EXPECT_TRUE(has(t, "       1,     1.800,   100.000,     1.000,    30.000,     1.000,     1.000\n"));
}

TEST_F(Summary, SupercriticalStartTimesInMilliseconds) {
    build(3);
    m.Opt_Temp = 3;
    m.Opt_He = 1;
    m.T0_supercr.allocate(1, 3, 2, m.NS_2m1, -0.001);
    m.T0_supercr(2, 4) = 0.0125;
    const std::string t = text();
    EXPECT_TRUE(has(t, "Supercritical helium"));
    const std::string title =
        "===== Start times cooling to supercritical helium [ms], -1 means no cooling =====\n";
    ASSERT_TRUE(has(t, title));
    const std::string tail = t.substr(t.find(title) + title.size());
    EXPECT_EQ(tail.substr(0, 16), "    NB, section\n");
    EXPECT_TRUE(has(tail, "     2,  -1.000,  -1.000,  12.500,  -1.000,"));
}

}  // namespace
}  // namespace vorn::test
