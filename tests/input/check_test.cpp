#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "control/model.hpp"
#include "input/input.hpp"
#include "support/fmtwrite.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

using Lines = std::vector<std::string>;

struct Outcome {
    bool stopped = false;
    Lines messages, console, errors;  // errors: the error stream
    std::string path;                  // of the messages file
};

// The example case with its per-strand arrays and a schedule of 1-s steps
// without ramps; `body` runs with the messages file and the console captured.
Outcome capture(const std::function<void(Model&, int&)>& body) {
    test::TempDir dir;
    Model m;
    std::ostringstream con;
    test::set_example_parameters(m);
    set_derived_counts(m);
    allocate_input_arrays(m);
    m.F_Ra_w.fill(1.0);
    m.F_Rc_w.fill(1.0);
    for (RArr1* a : {&m.dur_inp, &m.didt_inp, &m.cpc_fin, &m.dba1dt_inp, &m.ba1_fin, &m.dba2dt_inp,
                     &m.ba2_fin})
        a->allocate(0, m.NrSteps_inp, 0.0);
    for (int i = 1; i <= m.NrSteps_inp; ++i) m.dur_inp(i) = 1.0;
    m.dt_inp.allocate(0, m.NrSteps_inp, 0.5);
    const auto path = dir.path() / "VORN_messages.dat";
    m.msg_unit.open(path.string(), OpenMode::Append);
    m.con_out = &con;
    std::ostringstream err;
    m.con_err = &err;
    Outcome r;
    int NrErr = 0;
    try {
        body(m, NrErr);
    } catch (const ProgramStop&) {
        r.stopped = true;
    }
    m.msg_unit.close();
    r.messages = test::read_lines(path);
    std::istringstream in(con.str());
    for (std::string l; std::getline(in, l);) r.console.push_back(l);
    std::istringstream ein(err.str());
    for (std::string l; std::getline(ein, l);) r.errors.push_back(l);
    r.path = path.string();
    return r;
}

Outcome check_with(const std::function<void(Model&)>& change) {
    return capture([&](Model& m, int&) {
        change(m);
        check_input_parameters(m);
    });
}

std::string count_line(int n, const char* text) {
    std::string s = list_directed({n, text});
    s.pop_back();
    return s;
}
std::string errors(int n) {
    return count_line(n, " errors detected in the input. Program is stopped");
}
std::string warnings(int n) {
    return count_line(
        n, " warnings detected in the input. Program is continued but results may be wrong");
}

// The stop on the error stream: the count, then the file that lists them.
void expect_stop_lines(const Outcome& r, int n) {
    EXPECT_EQ(r.errors, (Lines{errors(n), "Nothing was computed: the errors are listed in " + r.path}));
}

// The prescribed lines: without the line in file units that follows each
// range error (indented), which every range error must have.
bool is_detail(const std::string& l) {
    return l.size() > 2 && l[0] == ' ' && l[1] == ' ' && l[2] != ' ';
}

Lines prescribed(const Lines& messages) {
    Lines out;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (is_detail(messages[i])) continue;
        out.push_back(messages[i]);
        if (messages[i].find(" is smaller than ") != std::string::npos ||
            messages[i].find(" is larger than ") != std::string::npos) {  // a range error
            EXPECT_TRUE(i + 1 < messages.size() && is_detail(messages[i + 1]))
                << "no detail after " << messages[i];
        }
    }
    return out;
}

// A check that stops after listing `lines` and the error count.
void expect_errors(const std::function<void(Model&)>& change, Lines lines) {
    const Outcome r = check_with(change);
    EXPECT_TRUE(r.stopped);
    const int n = int(lines.size());
    lines.push_back(errors(n));
    EXPECT_EQ(prescribed(r.messages), lines);
    EXPECT_TRUE(r.console.empty());
    expect_stop_lines(r, n);
}

void expect_silent(const std::function<void(Model&)>& change) {
    const Outcome r = check_with(change);
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(r.messages.empty()) << r.messages.front();
    EXPECT_TRUE(r.console.empty());
    EXPECT_TRUE(r.errors.empty());
}

TEST(CheckRange, LinesOfTheRealAndIntegerTests) {
    const Outcome r = capture([](Model& m, int& e) {
        checkd(m, e, "NrSteps_inp", -1.0, 0.0, 1e20);  // cut to 10
        checkd(m, e, "TauIF", 3.0, 5.0, 1.0);          // both tests fail, in order
        checki(m, e, "NS", 7, 8, 80);
        checki(m, e, "Opt_Trans_HF", 5, 0, 3);  // first 6 characters
        checki(m, e, "NB", 3, 5, 1);
        EXPECT_EQ(e, 7);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        checkd(m, e, "w", nan, 0.0, 1.0);  // bounds inclusive, NaN passes
        checkd(m, e, "w", 0.0, 0.0, 1.0);
        checkd(m, e, "w", 1.0, 0.0, 1.0);
        checki(m, e, "NS", 8, 8, 80);
        checki(m, e, "NS", 80, 8, 80);
        EXPECT_EQ(e, 7);
    });
    EXPECT_EQ(prescribed(r.messages), (Lines{"NrSteps_in with value    -1.000000 is smaller than     0.000000",
                                 "TauIF      with value     3.000000 is smaller than     5.000000",
                                 "TauIF      with value     3.000000  is larger than     1.000000",
                                 "NS     with value   7 is smaller than   8",
                                 "Opt_Tr with value   5  is larger than   3",
                                 "NB     with value   3 is smaller than   5",
                                 "NB     with value   3  is larger than   1"}));
    EXPECT_TRUE(r.console.empty());
}

TEST(CheckInput, ValidExamplePassesSilently) {
    expect_silent([](Model&) {});
    const Outcome r = check_with([](Model& m) { m.DbgMsg = 1; });
    EXPECT_EQ(r.messages, Lines{"Check_Input_Parameters finished"});
}

TEST(CheckInput, SingleErrorsStopTheProgram) {
    expect_errors([](Model& m) { m.MR_con = 2e-9; },
                  {"MR_con     with value     0.000000  is larger than     0.000000"});
    expect_errors([](Model& m) { m.NB = 20000; }, {"NB     with value ***  is larger than ***"});
    expect_errors([](Model& m) { m.NB = 2; }, {"NB should be at least 3 for a finite cable"});
    expect_errors([](Model& m) { m.d_fil_out = 0.0009; },  // above DiamStr
                  {"d_fil_out  with value     0.000900  is larger than     0.000825"});
    expect_errors([](Model& m) { m.Opt_CuSCRRR = 2, m.CuSC_con = -5; },
                  {"CuSC_con   with value    -5.000000 is smaller than     0.000000"});
    // the strand count: a range error and a width warning, both counted
    const Outcome r = check_with([](Model& m) { m.NS = 7; });
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(prescribed(r.messages),
              (Lines{"NS     with value   7 is smaller than   8",
                     "DiamStr seems too small as compared to w", warnings(1), errors(1)}));
    EXPECT_EQ(r.console, (Lines{warnings(1)}));
    expect_stop_lines(r, 1);
}

// Each range error is followed by its file, item and the value with its
// bounds in the file's units, every digit shown (the prescribed line above
// prints micro-ohms as 0.000000).
TEST(CheckInput, RangeErrorsNameFileItemAndValueInTheFilesUnits) {
    const auto detail = [](const std::function<void(Model&)>& change) {
        const Outcome r = check_with(change);
        EXPECT_TRUE(r.stopped);
        return r.messages.size() >= 2 ? r.messages.at(1) : std::string();
    };
    EXPECT_EQ(detail([](Model& m) { m.RcCon = 0; }),
              "  inp_STEP05.txt, item 6 RcCon: value 0, allowed 1e-14 .. 1e+26 (uOhm)");
    EXPECT_EQ(detail([](Model& m) { m.RcCon = -5e-6; }),
              "  inp_STEP05.txt, item 6 RcCon: value -5, allowed 1e-14 .. 1e+26 (uOhm)");
    EXPECT_EQ(detail([](Model& m) { m.d_fil_out = 0.0009; }),
              "  inp_STEP01.txt, item 10 d_fil_out: value 0.9, allowed 0.3 .. 0.825 (mm)");
    EXPECT_EQ(detail([](Model& m) { m.TauIF = 2000; }),
              "  inp_STEP04.txt, item 1 TauIF: value 2000, allowed 0 .. 1000 (s)");
    EXPECT_EQ(detail([](Model& m) { m.NS = 81; }),
              "  inp_STEP01.txt, item 5 NS: value 81, allowed 8 .. 80");
}

TEST(CheckInput, NotANumberAndUnusedConstantsPass) {
    expect_silent([](Model& m) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        m.TauIF = m.RaCon = m.DiamStr = m.dur_inp(1) = nan;
        m.Opt_CuSCRRR = 1, m.CuSC_con = -5, m.RRR_con = 0;
    });
}

TEST(CheckInput, GroupsWhoseConditionIsFalseAreNotTested) {
    expect_silent([](Model& m) {
        m.The_Ba2 = 400, m.Opt_Ba2 = 3;  // Opt_AddBa2 = 0
        m.Opt_SF = 2, m.NBSF = 21, m.Opt_RetLead = 2, m.d_RL = -1;
        m.NB1_M = 0, m.NB2_M = 30;                                 // Opt_Magn = 0
        m.RcCore = 0, m.Core_pos1 = 0;                             // Opt_Core = 0
        m.F_Ra_w(1) = 0;                                           // Opt_StrRes = 0
        m.ConIcA = -1, m.ConIcB = 1, m.ConIcC = 2e10;              // Opt_Ic = 1
        m.F_HF_str = 11, m.aKap = -1, m.NrItT_M = 0, m.TsAcc = 0;  // Opt_Temp = 0
        m.a_Trans = m.E_Trans_Lim0 = m.E_Trans_Lim2 = -1;          // Opt_Trans_HF = 0
        m.Th_ins_1 = 0, m.F_ins_1 = 3;                             // Opt_Ins = 0
        m.NrPFL = -1, m.FLx1 = 2e10;                               // Opt_FLC = 0
        m.Nr_HP = 0, m.NrRunT = 0;                                 // Opt_HP = 0
        m.NrItR0 = 0, m.CsAcc = 0;                                 // Opt_RsCalc = 1
    });
    expect_silent([](Model& m) {  // infinite cable: no self-field bands, field line, NBMut
        m.Opt_Cable = 1, m.NB = 1, m.Opt_SF = 1, m.NBSF = 21, m.Opt_FLC = 2, m.NBMut = 5;
    });
    expect_silent([](Model& m) { m.Opt_Ic = 2, m.IcCon = 0, m.ConIcC = 2e10; });
}

TEST(CheckInput, GroupsWhoseConditionIsTrueAreTested) {
    expect_errors([](Model& m) { m.Opt_AddBa2 = 1, m.Opt_Ba2 = 3; },
                  {"Opt_Ba with value   3  is larger than   2"});
    expect_errors([](Model& m) { m.Opt_SF = 1, m.NBSF = 21, m.d_RL = -0.001; },
                  {"NBSF   with value  21  is larger than  20",
                   "d_RL       with value    -0.001000 is smaller than     0.000000"});
    expect_errors([](Model& m) { m.Opt_Magn = 1, m.NB1_M = 5, m.NB2_M = 4; },
                  {"NB2_M  with value   4 is smaller than   5"});
    expect_errors([](Model& m) { m.Opt_Core = 1, m.Core_pos1 = 10, m.Core_pos2 = 11; },
                  {"Core_p with value  11  is larger than  10"});
    expect_errors([](Model& m) { m.Opt_Ic = 3, m.ConIcB = 1, m.ConIcF = -2e10; },
                  {"ConIcB     with value     1.000000  is larger than     0.000000",
                   "ConIcF     with value ************ is smaller than ************"});
    expect_errors([](Model& m) { m.Opt_Temp = 1, m.F_HF_str = 11, m.nKap = 101, m.NrItT_M = 0; },
                  {"F_HF_str   with value    11.000000  is larger than    10.000000",
                   "NrItT_ with value   0 is smaller than   1"});
    expect_errors([](Model& m) { m.Opt_Temp = 2, m.nKap = 101, m.Opt_Trans_HF = 4; },
                  {"nKap       with value   101.000000  is larger than   100.000000",
                   "Opt_Tr with value   4  is larger than   3"});
    expect_errors(  // with Opt_Temp = 0
        [](Model& m) {
            m.Opt_Trans_HF = 3, m.n_Trans = 101, m.E_Trans_Lim0 = -1, m.E_Trans_Lim2 = -2;
        },
        {"n_Trans    with value   101.000000  is larger than   100.000000",
         "E_Trans_Li with value    -2.000000 is smaller than     0.000000"});
    expect_errors([](Model& m) { m.Opt_Ins = 1, m.F_ins_f = 3; },
                  {"F_ins_f    with value     3.000000  is larger than     2.000000"});
    expect_errors([](Model& m) { m.Opt_FLC = 1, m.dFLz = 2e10; },
                  {"dFLz       with value ************  is larger than ************"});
    expect_errors([](Model& m) { m.Opt_RsCalc = 2, m.CsAcc = 0; },
                  {"CsAcc      with value     0.000000 is smaller than     0.000001"});
}

TEST(CheckInput, ListsAreTestedRowByRowUpToTheirCounts) {
    expect_errors(
        [](Model& m) {
            m.NrRaSp = 2;
            m.NBRaSp.allocate(1, 3, 1), m.NSRaSp.allocate(1, 2, 1), m.RaSp.allocate(1, 2, 1e-5);
            m.NBRaSp(2) = 21, m.NBRaSp(3) = 99, m.NSRaSp(1) = 25, m.RaSp(1) = 0;
            m.Opt_StrRes = 1, m.F_Rc_w(3) = 0, m.F_Ra_w(12) = 2e20;
            m.NrRcSp = 1;
            m.NBRcSp.allocate(1, 1, 1), m.NSRcSp.allocate(1, 1, 12), m.RcSp.allocate(1, 1, 1e-5);
            m.NrRhoSp = 1;
            m.NBRhoSp.allocate(1, 1, 0), m.NSRhoSp.allocate(1, 1, 1), m.RhoSp.allocate(1, 1, 1e-5);
            m.NrIcLT = 1;
            m.NBIcL.allocate(1, 1, 20), m.NsecIcL.allocate(1, 1, 23),
                m.IcRatioSec.allocate(1, 1, -1);
        },
        {"NBRaSp with value  21  is larger than  20", "NSRaSp with value  25  is larger than  24",
         "RaSp       with value     0.000000 is smaller than     0.000000",
         "F_Rc_w     with value     0.000000 is smaller than     0.000000",
         "F_Ra_w     with value ************  is larger than ************",
         "NSRcSp with value  12  is larger than  11", "NBRhoS with value   0 is smaller than   1",
         "NSRhoS with value   1 is smaller than   2",
         "IcRatioSec with value    -1.000000 is smaller than     0.000000"});
}

TEST(CheckInput, HeatPulsesAndQuenchEnergySearch) {
    expect_errors(
        [](Model& m) {
            m.Opt_HP = 2, m.Nr_HP = 2, m.NrT_HP = 3, m.NrRunT = 2;
            m.NB_HP.allocate(1, 2, 1), m.Ns_HP.allocate(1, 2, 2);
            m.NB_HP(2) = 21, m.Ns_HP(1) = 24;
            m.P_HP_inp.allocate(1, 3, 1, 2, 0.0);
            m.P_HP_inp(1, 1) = 0.5e-20, m.P_HP_inp(1, 2) = -0.5e-20;  // |sum| reaches 1e-20
            m.P_HP_inp(2, 1) = 5, m.P_HP_inp(2, 2) = -1;
            m.qe_reg.allocate(1, 2, 1), m.qe_f.allocate(1, 2, 1), m.qe_acc.allocate(1, 2, 0.001);
            m.qe_reg(2) = 41, m.qe_f(1) = 0.5, m.qe_acc(2) = 1000.5;
        },
        {"NB_HP  with value  21  is larger than  20", "Ns_HP  with value  24  is larger than  23",
         "P_HP_inp   with value    -1.000000 is smaller than    -0.000000",
         "qe_reg with value  41  is larger than  40",
         "QE_F       with value     0.500000 is smaller than     1.000000",
         "QE_acc     with value  1000.500000  is larger than  1000.000000",
         "No external heat pulse allowed in the first time step"});
}

TEST(CheckInput, QuenchEnergyRunsSearchOneVariableFromAPositiveTrial) {
    expect_errors(
        [](Model& m) {
            m.Opt_HP = 2, m.Nr_HP = 1, m.NrT_HP = 0, m.NrRunT = 4;
            m.NB_HP.allocate(1, 1, 1), m.Ns_HP.allocate(1, 1, 2);
            m.qe_reg.allocate(1, 4, 1), m.qe_f.allocate(1, 4, 2), m.qe_acc.allocate(1, 4, 5);
            m.hp_or_tc.allocate(1, 4, 1);
            m.e_hp.allocate(1, 4, 1, NrItQE_M, 1e-5);
            m.tc_qe.allocate(1, 4, 1, NrItQE_M, 1000);
            m.hp_or_tc(1) = 3;
            m.e_hp(2, 1) = 0;  // energy searched from zero
            m.hp_or_tc(3) = 2, m.e_hp(3, 1) = 0;  // fixed energy: not tested here
            m.hp_or_tc(4) = 2, m.tc_qe(4, 1) = -5;
        },
        {"HP_or_Tc should be 1 (heater energy) or 2 (transport current) (run 1 of inp_QE.txt)",
         "E_HP, the first trial energy, should be positive (run 2 of inp_QE.txt)",
         "Tc_QE, the first trial current, should be positive (run 4 of inp_QE.txt)"});
}

TEST(CheckInput, ArraysThatWereNeverCreatedAreSkipped) {
    expect_silent([](Model& m) {
        m.F_Ra_w.deallocate(), m.F_Rc_w.deallocate(), m.dur_inp.deallocate();
        m.Opt_StrRes = 1, m.NrRaSp = 2, m.NrIcLT = 3;
        m.Opt_HP = 2, m.Nr_HP = 2, m.NrT_HP = 2, m.NrRunT = 2;
    });
}

TEST(CheckInput, TimeSchedule) {
    expect_errors(
        [](Model& m) {
            for (RArr1* a : {&m.dur_inp, &m.didt_inp, &m.cpc_fin, &m.dba1dt_inp, &m.ba1_fin,
                             &m.dba2dt_inp, &m.ba2_fin})
                a->allocate(0, 4, 0.0);  // one row past NrSteps_inp = 3
            m.dur_inp(1) = 1, m.dur_inp(2) = 1e-9, m.dur_inp(3) = 1;
            m.didt_inp(1) = 100, m.didt_inp(3) = -100;
            m.cpc_fin(1) = 100.2, m.cpc_fin(2) = 100;  // end values of 100 and 0 expected
            m.dba1dt_inp(1) = 0.5, m.ba1_fin(1) = m.ba1_fin(2) = m.ba1_fin(3) = 0.5;
            m.dba2dt_inp(3) = 0.002;
            m.ba1_fin(4) = 7;  // row 4 is not part of the schedule
        },
        {"Problem with combination dt, dI/dt, and CPC in time step input",
         "duration should be larger than 1 nsec; check the time step input",
         "Problem with combination dt, dI/dt, and CPC in time step input",
         "Problem with combination dt, dB/dt, and Ba2 in time step input"});
}

TEST(CheckInput, TimeStepLengthsArePositiveAndFinite) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string tail =
        " should be positive and finite (time-step length in inp_TimeSteps.txt)";
    expect_errors(
        [&](Model& m) {
            m.dt_inp.allocate(0, 4, 0.0);  // row 0 is not tested, nor row 4 > NrSteps_inp
            m.dt_inp(1) = 0.0, m.dt_inp(2) = -0.002, m.dt_inp(3) = inf;
        },
        {"dt_inp(1)  with value     0.000000" + tail, "dt_inp(2)  with value    -0.002000" + tail,
         "dt_inp(3)  with value     Infinity" + tail});
    expect_errors([&](Model& m) { m.dt_inp(2) = nan; },
                  {"dt_inp(2)  with value          NaN" + tail});
    expect_errors([&](Model& m) { m.dt_inp(3) = -inf; },
                  {"dt_inp(3)  with value    -Infinity" + tail});
    // The smallest positive step passes; so does a schedule without steps.
    expect_silent([](Model& m) { m.dt_inp(1) = std::numeric_limits<double>::denorm_min(); });
    expect_silent([](Model& m) { m.NrSteps_inp = 0, m.dt_inp(0) = 0.0; });
    expect_silent([](Model& m) { m.dt_inp.deallocate(); });
    // Long step numbers keep the whole name.
    expect_errors(
        [](Model& m) {
            m.NrSteps_inp = 1000;
            for (RArr1* a : {&m.dur_inp, &m.didt_inp, &m.cpc_fin, &m.dba1dt_inp, &m.ba1_fin,
                             &m.dba2dt_inp, &m.ba2_fin})
                a->allocate(0, 1000, 0.0);
            for (int i = 1; i <= 1000; ++i) m.dur_inp(i) = 1.0;
            m.dt_inp.allocate(0, 1000, 1.0);
            m.dt_inp(1000) = 0.0;
        },
        {"dt_inp(1000) with value     0.000000" + tail});
}

TEST(CheckInput, AllErrorsAreListedInOrderBeforeTheStop) {
    const Outcome r = check_with([](Model& m) {
        m.TauIF = 2000, m.IniRand = 10000;
        m.Opt_Cable = 1, m.Opt_LongRho = 1, m.Opt_FLC = 1, m.Opt_UnifCur1 = 1;
        m.NS = 9, m.Opt_Ba1 = 3;
    });
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(
        prescribed(r.messages),
        (Lines{
            "TauIF      with value  2000.000000  is larger than  1000.000000",
            "IniRan with value ***  is larger than ***", "NB should be 1 for infinit cable",
            "Opt_LongB, Opt_LongR, and Opt_LongRho should be 0 for infinit cable",
            "Opt_FLC should be 0 for infinit cable",
            "It is not possible to select uniform cur. distr. in first time step for infinit cable",
            "NS should be even",
            "Opt_Ba1=3 defines no field profile across the width; use 0, 1, 2 or 4",
            "DiamStr seems too small as compared to w", warnings(1), errors(8)}));
    EXPECT_EQ(r.console, (Lines{warnings(1)}));
    expect_stop_lines(r, 8);
}

TEST(CheckInput, OddStrandCountOnlyWithinItsRange) {
    expect_errors([](Model& m) { m.NS = 9, m.w = 0.0045; }, {"NS should be even"});
    const Outcome r = check_with([](Model& m) { m.NS = 81; });
    EXPECT_EQ(prescribed(r.messages),
              (Lines{"NS     with value  81  is larger than  80",
                     "DiamStr seems too large as compared to w", warnings(1), errors(1)}));
    expect_silent([](Model& m) { m.Opt_Ba1 = 4; });
}

TEST(CheckInput, StrandDiameterWarningsAreStrict) {
    struct Case {
        std::function<void(Model&)> change;
        const char* warning;  // nullptr: none
    };
    const Case cases[] = {
        {[](Model& m) { m.Th1 = m.Th2 = 0.0018, m.DiamStr = 2.4 * m.w / m.NS; }, nullptr},
        {[](Model& m) {
             m.Th1 = m.Th2 = 0.0018, m.DiamStr = std::nextafter(2.4 * m.w / m.NS, 1.0);
         },
         "DiamStr seems too large as compared to w"},
        {[](Model& m) {
             m.Th1 = m.Th2 = 0.0014, m.d_fil_out = 0.0006, m.DiamStr = 1.6 * m.w / m.NS;
         },
         nullptr},
        {[](Model& m) {
             m.Th1 = m.Th2 = 0.0014, m.d_fil_out = 0.0006;
             m.DiamStr = std::nextafter(1.6 * m.w / m.NS, 0.0);
         },
         "DiamStr seems too small as compared to w"},
        {[](Model& m) { m.Th1 = 0.0010, m.Th2 = 0.0022; }, nullptr},  // the mean thickness counts
        {[](Model& m) { m.Th1 = m.Th2 = 0.0012; }, "DiamStr seems too large as compared to ThMid"},
        {[](Model& m) { m.Th1 = m.Th2 = 0.0025; }, "DiamStr seems too small as compared to ThMid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.warning ? c.warning : "no warning");
        if (!c.warning) {
            expect_silent(c.change);
            continue;
        }
        const Outcome r = check_with(c.change);
        EXPECT_FALSE(r.stopped);
        EXPECT_EQ(r.messages, (Lines{c.warning, warnings(1)}));
        EXPECT_EQ(r.console, Lines{warnings(1)});
    }
}

}  // namespace
}  // namespace vorn
