// The auxiliary input files read with the step files, and read_other_files:
// row-to-index mapping, unit conversions, range tests and the default index
// ranges of the output selection.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "input/read_test_util.hpp"

namespace vorn::test {
namespace {

TEST(ReadAux, PerBandResistancesAndResistivities) {
    InputCase c;
    c.set_value(c.step_file(5), 18, "1");  // Opt_LongR
    c.set_value(c.step_file(6), 6, "1");   // Opt_LongRho
    std::string r, rho;
    for (int b = 1; b <= 20; ++b) {
        r += std::to_string(b) + " " + std::to_string(b) + " " + std::to_string(100 + b) + "\n";
        rho += std::to_string(b) + " " + std::to_string(2 * b) + "\n";
    }
    write_file(c.input / "inp_LongVarR.txt", r);
    write_file(c.input / "inp_LongVarRho.txt", rho);
    c.read();
    const Model& m = c.m();
    EXPECT_DOUBLE_EQ(m.ralong(1), 1e-6);
    EXPECT_DOUBLE_EQ(m.rclong(7), 107e-6);
    EXPECT_DOUBLE_EQ(m.rclong(20), 120e-6);
    EXPECT_DOUBLE_EQ(m.rclong(21), 120e-6);  // the plane at the far cable end
    EXPECT_DOUBLE_EQ(m.ralong(21), 20e-6);
    EXPECT_DOUBLE_EQ(m.rholong(3), 6e-14);
    EXPECT_DOUBLE_EQ(m.RaCon, 20e-6);  // the constants are converted as well
}

TEST(ReadAux, RRRPerSection) {
    InputCase c;
    c.set_value(c.step_file(1), 14, "2");
    write_file(c.input / "inp_RRR_per_section.txt", "2\n1 3 23 250\n2 20 2 300\n");
    c.read();
    EXPECT_EQ(c.m().RRRs(3, 23), 250.0);  // section 2NS-1 is accepted
    EXPECT_EQ(c.m().RRRs(20, 2), 300.0);
    EXPECT_EQ(c.m().RRRs(3, 22), 100.0);  // RRR_con elsewhere
    EXPECT_EQ(c.m().RRRs(1, 2), 100.0);

    for (const char* row : {"1 3 24 250", "1 21 5 250", "1 0 5 250", "1 1 1 250"}) {
        write_file(c.input / "inp_RRR_per_section.txt", std::string("1\n") + row + "\n");
        EXPECT_TRUE(c.read_stops()) << row;
        EXPECT_EQ(c.messages().back(), "Band or section out of range in file inp_RRR_per_section");
    }
}

TEST(ReadAux, FieldPerPositionIsNormalisedAndMappedToSections) {
    InputCase c;
    c.set_value(c.step_file(2), 4, "4");  // Opt_Ba1
    std::string text;
    for (int p = 1; p <= 12; ++p)
        text += std::to_string(p) + (p == 5 ? " 0 3 4\n" : p == 9 ? " 0 0 -2\n" : " 1 0 0\n");
    write_file(c.input / "inp_B-posit.txt", text);
    c.read();
    const Model& m = c.m();
    EXPECT_DOUBLE_EQ(m.bpy_inp(5), 0.6);
    EXPECT_DOUBLE_EQ(m.bpz_inp(5), 0.8);
    EXPECT_DOUBLE_EQ(m.bpx_inp(1), 0.2);
    EXPECT_DOUBLE_EQ(m.bpz_inp(9), -0.4);
    // NS = 12: position 5 owns sections 11 and 20, position 9 sections 8 and 19
    for (int s : {11, 20}) EXPECT_DOUBLE_EQ(m.by_inp(s), 0.6) << s;
    for (int s : {8, 19}) EXPECT_DOUBLE_EQ(m.bz_inp(s), -0.4) << s;
    for (int s : {2, 3, 13, 23}) EXPECT_DOUBLE_EQ(m.bx_inp(s), 0.2) << s;

    std::string zero;
    for (int p = 1; p <= 12; ++p) zero += std::to_string(p) + " 0 0 0\n";
    write_file(c.input / "inp_B-posit.txt", zero);
    EXPECT_TRUE(c.read_stops());
    const std::string msg = c.messages().back();
    EXPECT_NE(msg.find("inp_B-posit.txt"), std::string::npos) << msg;
    EXPECT_NE(msg.find("zero"), std::string::npos) << msg;
}

// Per-section surfaces (mm^2, helium scaled by F_A_He) and volumes (mm^3,
// scaled by F_Vol_He); special values in uOhm and 1e-14 Ohm m.
TEST(ReadAux, UnitsOfTheAuxiliaryFiles) {
    InputCase c;
    c.set_value(c.step_file(9), 1, "2");   // inp_SurfVol
    c.set_value(c.step_file(9), 13, "3");  // F_Vol_He
    c.set_value(c.step_file(9), 14, "2");  // F_A_He
    c.set_value(c.step_file(5), 5, "2");   // NrRaSp
    c.set_value(c.step_file(6), 5, "1");   // NrRhoSp
    c.write_rows("inp_SurfVol.txt", 2, 23, "0.5 0.4 0.3 0.05");
    write_file(c.input / "inp_RaSpecial.txt", "3 5 40\n4 6 50\n");
    write_file(c.input / "inp_RhoSpecial.txt", "2 7 3.5\n");
    c.read();
    const Model& m = c.m();
    EXPECT_DOUBLE_EQ(m.A_Ad(2), 0.5e-6);
    EXPECT_DOUBLE_EQ(m.A_He(10), 0.6e-6);
    EXPECT_DOUBLE_EQ(m.Vol_He(10), 0.15e-9);
    EXPECT_DOUBLE_EQ(m.A_He_con, 0.3e-6);  // the constant is not scaled
    ASSERT_EQ(m.RaSp.hi(), 2);
    EXPECT_EQ(m.NBRaSp(2), 4);
    EXPECT_DOUBLE_EQ(m.RaSp(1), 40e-6);
    EXPECT_DOUBLE_EQ(m.RhoSp(1), 3.5e-14);
}

// Bands and sections of the heaters are reals truncated toward zero; times
// ms -> s and powers / 1000; one run only without the quench-energy search.
TEST(ReadAux, HeatPulses) {
    InputCase c;
    for (auto [k, value] : {std::pair{7, "3"}, {8, "1"}, {9, "2"}, {10, "5"}})
        c.set_value(c.step_file(12), k, value);  // NrT_HP, Opt_HP, Nr_HP, NrRunT
    write_file(c.input / "inp_EP.txt", "0 3.9 5\n0 7.2 -2.7\n0 0 0\n1.5 2000 3000\n3 0 0\n");
    c.read();
    const Model& m = c.m();
    EXPECT_EQ(m.NrRunT, 1);
    EXPECT_EQ(m.e_hp.hi1(), 1);
    EXPECT_EQ(m.NB_HP(1), 3);
    EXPECT_EQ(m.NB_HP(2), 5);
    EXPECT_EQ(m.Ns_HP(1), 7);
    EXPECT_EQ(m.Ns_HP(2), -2);
    EXPECT_DOUBLE_EQ(m.t_hp_inp(2), 0.0015);
    EXPECT_DOUBLE_EQ(m.t_hp_inp(3), 0.003);
    EXPECT_DOUBLE_EQ(m.P_HP_inp(2, 1), 2.0);
    EXPECT_DOUBLE_EQ(m.P_HP_inp(2, 2), 3.0);

    write_file(c.input / "inp_EP.txt", "0 3 NaN\n0 7 2\n0 0 0\n1.5 2 3\n3 0 0\n");
    EXPECT_TRUE(c.read_stops());
    EXPECT_EQ(c.messages().back(),
              "Error in file " + c.input.string() + "/inp_EP.txt: band of heater 2 is NaN");
    write_file(c.input / "inp_EP.txt", "0 3 5\n0 7 4e10\n0 0 0\n1.5 2 3\n3 0 0\n");
    EXPECT_TRUE(c.read_stops());
    EXPECT_NE(c.messages().back().find("section of heater 2"), std::string::npos);
}

TEST(ReadAux, QuenchEnergyRuns) {
    InputCase c;
    for (auto [k, value] : {std::pair{7, "2"}, {8, "2"}, {9, "1"}, {10, "2"}})
        c.set_value(c.step_file(12), k, value);  // NrT_HP, Opt_HP, Nr_HP, NrRunT
    write_file(c.input / "inp_EP.txt", "0 3\n0 7\n0 0\n1 5\n");
    write_file(c.input / "inp_QE.txt",
               "1 500 8000 1.5 0 3 2.0 0.01 0\n2 250 6000 2.5 1 4 3.0 0.02 0\n");
    c.read();
    const Model& m = c.m();
    ASSERT_EQ(m.e_hp.hi1(), 2);
    ASSERT_EQ(m.e_hp.hi2(), 19);
    EXPECT_DOUBLE_EQ(m.e_hp(2, 1), 0.25);  // J
    EXPECT_EQ(m.e_hp(2, 2), 0.0);
    EXPECT_EQ(m.tc_qe(2, 1), 6000.0);
    EXPECT_EQ(m.hp_or_tc(2), 2);
    EXPECT_EQ(m.b_qe(2), 2.5);
    EXPECT_EQ(m.ny_bi(2), 1);
    EXPECT_EQ(m.qe_reg(2), 4);
    EXPECT_EQ(m.qe_f(2), 3.0);
    EXPECT_EQ(m.qe_acc(2), 0.02);
}

TEST(ReadOther, OutputSelectionsWithDefaultRanges) {
    InputCase c;
    c.set_value(c.step_file(15), 12, "4");  // NrWrArrays
    c.set_value(c.step_file(15), 13, "1");  // NrSignals
    write_file(c.input / "inp_WrArrays.txt",
               "1 2.6 1 9 9 9 9 8\n2 6.5 2 9 9 9 9 8\n3 193 1 9 9 9 9 8\n4 26 1 9 9 9 9 8\n");
    write_file(c.input / "inp_Signals.txt", "1 3 1 1 20 2 23 7\n");
    c.read();
    read_other_files(c.m());
    const Model& m = c.m();
    const int want[4][4] = {{1, 20, 2, 23},   // 2.6 -> 3: per section
                            {1, 21, 1, 11},   // 6.5 -> 7 (halves away from zero): crossing
                            {2, 19, 2, 23},   // 193: inner bands
                            {0, 20, 1, 12}};  // 26: per wire with band 0
    for (int i = 1; i <= 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_EQ(m.wrarrays(i, 4 + j), want[i - 1][j]) << i << j;
        EXPECT_EQ(m.wrarrays(i, 1), i);
        EXPECT_EQ(m.wrarrays(i, 8), 8.0);
    }
    EXPECT_EQ(m.wrarrays(2, 2), 6.5);  // the code itself is kept as read
    EXPECT_EQ(m.wrarrays(5, 2), 0.0);
    EXPECT_EQ(m.signals(1, 7), 23.0);  // no default ranges for signals
    EXPECT_EQ(m.signals(1, 8), 7.0);
    EXPECT_EQ(m.signals.hi1(), 100);
}

TEST(ReadOther, AtMostOneHundredRows) {
    InputCase c;
    c.set_value(c.step_file(15), 12, "0");
    c.set_value(c.step_file(15), 13, "120");
    c.write_rows("inp_Signals.txt", 1, 100, "3 1 1 20 2 23 0");
    c.read();
    read_other_files(c.m());
    EXPECT_EQ(c.m().signals(100, 1), 100.0);
    EXPECT_EQ(c.m().wrarrays.hi1(), 100);
    EXPECT_EQ(c.m().wrarrays(1, 5), 0.0);
    ASSERT_FALSE(c.messages().empty());
    EXPECT_NE(c.messages().back().find("only the first 100"), std::string::npos);
}

}  // namespace
}  // namespace vorn::test
