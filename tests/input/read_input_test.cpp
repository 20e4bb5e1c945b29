// The step-file reader on the shipped example case and on variants of it:
// values land in their parameters with their units converted, the record
// layout of the files, the post-read corrections, the time schedule and the
// defaults of the tables no file supplies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "input/read_test_util.hpp"

namespace vorn::test {
namespace {

// Every scalar parameter of the step files.
// clang-format off
#define VORN_INT_PARAMS(X)                                                                         \
    X(Opt_SC) X(Opt_Mat) X(Opt_Cable) X(NB) X(NS) X(Opt_CuSCRRR) X(Opt_LongB) X(Opt_Ba1)           \
    X(Opt_AddBa2) X(Opt_Ba2) X(Opt_SF) X(NBSF) X(Opt_RetLead) X(Opt_RaRand) X(NrRaSp)             \
    X(Opt_RcRand) X(NrRcSp) X(Opt_Core) X(Core_pos1) X(Core_pos2) X(Opt_StrRes) X(Opt_RaW)        \
    X(Opt_RcW) X(Opt_LongR) X(Opt_RsCalc) X(nPow) X(NrRhoSp) X(Opt_LongRho) X(Opt_Ic) X(NrIcLT)   \
    X(Opt_StrIc) X(Opt_IcRedIF) X(Opt_Temp) X(Opt_Trans_HF) X(Opt_kCu) X(Opt_He) X(Opt_SurfVol)   \
    X(Opt_Ins) X(Opt_FLC) X(NrPFL) X(NrSteps_inp) X(NBMut) X(Opt_StrCur) X(NrT_HP) X(Opt_HP)      \
    X(Nr_HP) X(NrRunT) X(QE_nr_sec) X(NrItR0) X(CntR_M) X(NrItT_M) X(Opt_Magn) X(NB1_M) X(NB2_M)  \
    X(Opt_PrMat) X(Opt_PrIter) X(NrWrArrays) X(NrSignals) X(IniRand) X(NrItBack)                  \
    X(Opt_UnifCur1) X(Nr_Opt)
#define VORN_REAL_PARAMS(X)                                                                        \
    X(w) X(Th1) X(Th2) X(d_fil_in) X(d_fil_out) X(DiamStr) X(TPFil) X(TPStr) X(CuSC_con)          \
    X(RRR_con) X(MR_con) X(The_Ba1) X(Phi_Ba1) X(F1_Ba1) X(F2_Ba1) X(The_Ba2) X(Phi_Ba2)          \
    X(F1_Ba2) X(F2_Ba2) X(d_RL) X(TauIF) X(RaCon) X(FRaW) X(FRaRand) X(RcCon) X(FRcW)            \
    X(FRcRand) X(RcCore) X(RhoMin) X(RhoIc) X(IcCon) X(ConIcA) X(ConIcB) X(ConIcC) X(ConIcD)      \
    X(ConIcE) X(ConIcF) X(TBath) X(F_HF_str) X(F_cont) X(P_cont) X(F_ISCL) X(a_Trans) X(n_Trans)  \
    X(E_Trans_Lim0) X(E_Trans_Lim2) X(aKap) X(nKap) X(aFB_II) X(HF_Lim_Kap) X(aNC) X(aNB)         \
    X(aFB_I) X(HF_Lim_NC) X(HF_Lim_NB) X(C) X(k) X(p) X(a_inf) X(dT) X(F_HF_Ad) X(F_HF_Cr)        \
    X(A_Ad_con) X(A_Cr_con) X(A_He_con) X(Vol_He_con) X(F_Vol_He) X(F_A_He) X(Th_ins_1)          \
    X(Th_ins_2) X(Th_ins_f) X(k_ins_1) X(k_ins_2) X(k_ins_f) X(F_ins_1) X(F_ins_2) X(F_ins_f)     \
    X(FLx1) X(FLy1) X(FLz1) X(dFLx) X(dFLy) X(dFLz) X(VoltStop) X(F_SolAcc) X(SolAcc)           \
    X(QE_rho_NQ) X(QE_rho_Q) X(FRsLim) X(CsAcc) X(RhoAcc) X(TincrM) X(TsAcc) X(HFAccRel)        \
    X(HFAccAbs) X(dt_Prog) X(dT_Prog) X(dI_Prog) X(dt_NTS) X(dT_NTS) X(dI_NTS) X(One) X(EffLC)    \
    X(C1_Opt) X(C2_Opt) X(C3_Opt) X(C4_Opt)
// clang-format on

void expect_example_parameters(const Model& m) {
    Model ref;
    set_example_parameters(ref);
#define VORN_EXPECT_INT(n) EXPECT_EQ(m.n, ref.n) << #n;
#define VORN_EXPECT_REAL(n) EXPECT_DOUBLE_EQ(m.n, ref.n) << #n;
    VORN_INT_PARAMS(VORN_EXPECT_INT)
    VORN_REAL_PARAMS(VORN_EXPECT_REAL)
#undef VORN_EXPECT_INT
#undef VORN_EXPECT_REAL
    EXPECT_EQ(m.Text_Opt, ref.Text_Opt);
}

// The example as shipped: every parameter in SI units, the tables that no
// file supplies at their defaults, and the completed schedule.
TEST(ReadInput, ExampleCase) {
    InputCase c;
    c.read();
    const Model& m = c.m();
    expect_example_parameters(m);
    EXPECT_EQ(m.NEq, 20 * 57);
    ASSERT_EQ(m.rclong.hi(), 21);  // one crossing-contact plane more than bands
    for (int b = 1; b <= 21; ++b) {
        EXPECT_DOUBLE_EQ(m.ralong(b), 20e-6) << b;
        EXPECT_DOUBLE_EQ(m.rclong(b), 15e-6) << b;
    }
    EXPECT_EQ(m.ba2_long(20), 1.0);
    EXPECT_EQ(m.rholong(20), 0.0);
    EXPECT_EQ(m.ICRATw(12), 1.0);
    EXPECT_EQ(m.NPOWw(12), 30.0);
    EXPECT_DOUBLE_EQ(m.CWB1perc(12), 100.0 / 12);
    EXPECT_EQ(m.e_hp.hi1(), 1);  // one run of up to 19 trials
    EXPECT_EQ(m.e_hp.hi2(), 19);
    EXPECT_EQ(m.RaSp.size(), 0u);
    EXPECT_EQ(m.NB_HP.size(), 0u);
    ASSERT_EQ(m.t_inp.hi(), 3);
    const double t[] = {0, 0.01, 0.03, 0.05}, b[] = {0, 0.01, 0.03, 0.03};
    for (int i = 0; i <= 3; ++i) {
        EXPECT_DOUBLE_EQ(m.t_inp(i), t[i]) << i;
        EXPECT_DOUBLE_EQ(m.ba1_fin(i), b[i]) << i;
        EXPECT_DOUBLE_EQ(m.ba1_ini(i), b[i == 0 ? 0 : i - 1]) << i;
    }
    EXPECT_DOUBLE_EQ(m.dt_inp(2), 0.005);
    EXPECT_DOUBLE_EQ(m.TimeEnd, 0.05);
}

// The same values one per line: a read runs over as many lines as it needs;
// STEP08's second read starts on the line after the first read's last value.
TEST(ReadInput, OneValuePerLineGivesTheSameParameters) {
    InputCase c;
    for (int s = 1; s <= 16; ++s) {
        const fs::path p = c.step_file(s);
        std::string text = read_file(p), out;
        for (char ch : text) out += ch == ',' ? '\n' : ch;
        write_file(p, out);
    }
    c.read();
    expect_example_parameters(c.m());
}

// A read error names the file and the value; nothing else stops the reader.
TEST(ReadInput, ReadErrorsNameTheFileAndTheValue) {
    auto error_of = [](auto change) {
        InputCase c;
        change(c);
        return c.read_error();
    };
    // STEP08 in one record: the second read finds no line of its own
    std::string e = error_of([](InputCase& c) {
        std::string text = read_file(c.step_file(8));
        text[text.find('\n')] = ',';
        write_file(c.step_file(8), text);
    });
    EXPECT_TRUE(contains_all(e, {"inp_STEP08.txt", "end of file", "(C)"})) << e;
    e = error_of([](InputCase& c) { write_file(c.step_file(5), "20.0, 0.0, 0, 0.0, 0, 15.0\n"); });
    EXPECT_TRUE(contains_all(e, {"inp_STEP05.txt", "(FRcW)"})) << e;
    e = error_of([](InputCase& c) { c.set_value(c.step_file(1), 5, "12.5"); });
    EXPECT_TRUE(contains_all(e, {"inp_STEP01.txt", "(NS)", "12.5"})) << e;
    e = error_of([](InputCase& c) { fs::remove(c.step_file(14)); });
    EXPECT_TRUE(contains_all(e, {"inp_STEP14.txt"})) << e;
}

TEST(ReadInput, CorrectionsAfterReading) {
    InputCase c;
    c.set_value(c.step_file(8), 7, "2");        // Opt_Trans_HF
    c.set_value(c.step_file(8), 22, "1");       // Opt_He: supercritical
    c.set_value(c.step_file(8), 28, "0");       // F_HF_Ad
    c.set_value(c.step_file(8), 29, "5e-5");    // F_HF_Cr
    c.set_value(c.step_file(13), 9, "0");       // HFAccRel
    c.set_value(c.step_file(13), 10, "1e-13");  // HFAccAbs
    c.set_value(c.step_file(1), 3, "1");        // Opt_Cable: infinitely long
    c.read();
    const Model& m = c.m();
    EXPECT_EQ(m.F_HF_Ad, 1.0);
    EXPECT_EQ(m.F_HF_Cr, 1.0);
    EXPECT_EQ(m.Opt_Trans_HF, 0);
    EXPECT_EQ(m.HFAccRel, 1.0);
    EXPECT_EQ(m.HFAccAbs, 1.0);
    EXPECT_EQ(m.NBMut, 0);
}

TEST(ReadInput, PredefinedSelfFieldTableChoice) {
    InputCase c;
    c.set_value(c.step_file(3), 1, "2");  // Opt_SF
    c.set_value(c.step_file(3), 3, "1");  // Opt_RetLead
    c.set_value(c.step_file(1), 5, "14");
    EXPECT_TRUE(c.read_stops());
    EXPECT_EQ(c.m().Opt_RetLead, 0);
    const std::string none =
        "Problem with self field option 2: no predefined self-field table "
        "for NS = 14";
    // A stop: on the error stream and, once, in the messages file.
    EXPECT_EQ(c.errors(), none + "\n");
    EXPECT_EQ(c.console(), "");
    const auto lines = c.messages();
    EXPECT_EQ(lines.back(), none);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), none), 1);

    c.set_value(c.step_file(1), 5, "28");  // 28 strands need a diameter above 1 mm
    EXPECT_TRUE(c.read_stops());
    EXPECT_EQ(c.errors(), "Problem with self field option 2\n");
    EXPECT_EQ(c.messages().back(), "Problem with self field option 2");
    c.set_value(c.step_file(1), 5, "36");  // 36 strands need at most 1 mm ...
    c.set_value(c.step_file(1), 11, "1.0001");
    EXPECT_TRUE(c.read_stops());
    c.set_value(c.step_file(1), 11, "1.0");  // ... and exactly 1 mm is the small class
    if (fs::exists(std::string(VORN_SF_DIR) + "KSB02-36.csv")) {
        c.read();
        EXPECT_EQ(c.m().sff_x.hi(), 71);
    } else {
        EXPECT_NE(c.read_error().find("KSB02-36.csv"), std::string::npos);
    }
}

// Row 1 gives an end field that disagrees with rate x duration: the computed
// value wins and the next row starts from it.  Variant 60 then scales the
// field schedule, not the current.
TEST(ReadInput, ScheduleIsCompletedFromRatesAndDurations) {
    InputCase c;
    write_file(c.input / "inp_TimeSteps.txt",
               "0  0.00  0  5.0  0.20  0    0.1  0     100  0.002\n"
               "1  0.01  0  1.0  0.50  2.0  0    1000  0    0.002\n"
               "2  0.02  0  0.0  9.99  0    9    0     0    0.005\n"
               "3  0.02  0  0.0  0.00  0    0    -500  0    0.005\n");
    c.set_value(c.step_file(16), 7, "60");
    c.set_value(c.step_file(16), 9, "2.5");  // C2_Opt
    c.read();
    const Model& m = c.m();
    const double ba1[] = {0.2, 0.21, 0.21, 0.21}, ba2[] = {0.1, 0.12, 0.12, 0.12},
                 cpc[] = {100, 110, 110, 100};
    for (int i = 0; i <= 3; ++i) {
        EXPECT_DOUBLE_EQ(m.ba1_fin(i), 2.5 * ba1[i]) << i;
        EXPECT_DOUBLE_EQ(m.ba2_ini(i), 2.5 * ba2[i == 0 ? 0 : i - 1]) << i;
        EXPECT_DOUBLE_EQ(m.cpc_fin(i), cpc[i]) << i;
        EXPECT_DOUBLE_EQ(m.cpc_ini(i), cpc[i == 0 ? 0 : i - 1]) << i;
    }
    EXPECT_EQ(m.dba1dt_inp(0), 12.5);  // row 0's rate is kept (and scaled)
    EXPECT_EQ(m.didt_inp(1), 1000.0);
    EXPECT_DOUBLE_EQ(m.TimeEnd, 0.05);
}

TEST(ReadInput, CountsBeyondTheirFiles) {
    InputCase c;  // a huge count in a short file ends at the end of the file
    c.set_value(c.step_file(12), 1, "2000000000");
    std::string e = c.read_error();
    EXPECT_TRUE(contains_all(e, {"inp_TimeSteps.txt", "end of file"})) << e;

    c.set_value(c.step_file(12), 1, "-4");          // a negative count: an empty table
    c.set_value(c.step_file(12), 8, "1");           // Opt_HP
    c.set_value(c.step_file(12), 9, "2000000000");  // Nr_HP
    write_file(c.input / "inp_EP.txt", "0 1 2\n0 3 4\n");
    e = c.read_error();
    EXPECT_TRUE(contains_all(e, {"inp_EP.txt", "end of file"})) << e;
    EXPECT_EQ(c.m().NrSteps_inp, -4);  // kept for the validation
    EXPECT_EQ(c.m().t_inp.hi(), 0);
    EXPECT_EQ(c.m().TimeEnd, 0.0);
}

// An absurd cable size creates no per-band or per-strand arrays and reads
// none of their files (here all missing); everything else is read.
TEST(ReadInput, InvalidCableSizeSkipsTheCableArrays) {
    for (const char* ns : {"7", "12"}) {
        InputCase c;
        c.set_value(c.step_file(1), 4, ns[0] == '7' ? "20" : "20000");
        c.set_value(c.step_file(1), 5, ns);
        const std::tuple<int, int, const char*> options[] = {
            {1, 14, "2"}, {2, 1, "1"},  {2, 4, "4"}, {3, 1, "2"}, {5, 15, "1"},
            {5, 18, "1"}, {7, 11, "1"}, {9, 1, "2"}, {12, 6, "1"}};
        for (auto [step, k, value] : options) c.set_value(c.step_file(step), k, value);
        c.read();
        EXPECT_FALSE(c.m().ralong.allocated());
        EXPECT_FALSE(c.m().RRRs.allocated());
        EXPECT_FALSE(c.m().sff_x.allocated());
        EXPECT_DOUBLE_EQ(c.m().RaCon, 2e-5);
        EXPECT_DOUBLE_EQ(c.m().TimeEnd, 0.05);
    }
}

}  // namespace
}  // namespace vorn::test
