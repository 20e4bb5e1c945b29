// Documented for users in docs/input-files.md (step files).
// The sixteen step files inp_STEP01.txt .. inp_STEP16.txt, each followed by
// the auxiliary files its options ask for, the defaults of the tables that no
// file supplies, and the conversion to SI units (lengths mm -> m,
// resistances uOhm -> Ohm, VoltStop uV -> V, surfaces mm^2 -> m^2, volumes
// mm^3 -> m^3).  Every conversion is applied exactly once, right after its
// file.
#include <string>

#include "control/messages.hpp"
#include "input/input.hpp"
#include "input/read_files.hpp"
#include "support/listread.hpp"

namespace vorn {

using namespace input_files;

namespace {

ListReader open_step(const Model& m, int step) {
    const std::string n = (step < 10 ? "0" : "") + std::to_string(step);
    return ListReader::from_file(input_path(m, "inp_STEP" + n + ".txt"));
}

void step_done(Model& m, int step) {
    debug_line(m, "Read parameters STEP " + std::to_string(step) + " finished");
}

// Cable type and geometry; creates the arrays that depend on NB and NS.
void step01(Model& m) {
    int reserved17 = 0, reserved19 = 0;
    open_step(m, 1).read({{"Opt_SC", &m.Opt_SC},
                          {"Opt_Mat", &m.Opt_Mat},
                          {"Opt_Cable", &m.Opt_Cable},
                          {"NB", &m.NB},
                          {"NS", &m.NS},
                          {"w", &m.w},
                          {"Th1", &m.Th1},
                          {"Th2", &m.Th2},
                          {"d_fil_in", &m.d_fil_in},
                          {"d_fil_out", &m.d_fil_out},
                          {"DiamStr", &m.DiamStr},
                          {"TPFil", &m.TPFil},
                          {"TPStr", &m.TPStr},
                          {"Opt_CuSCRRR", &m.Opt_CuSCRRR},
                          {"CuSC_con", &m.CuSC_con},
                          {"RRR_con", &m.RRR_con},
                          {"reserved", &reserved17},
                          {"MR_con", &m.MR_con},
                          {"reserved", &reserved19}});
    set_derived_counts(m);
    // An absurd NB or NS must not exhaust memory or index out of range: the
    // arrays are created only for a valid size; the validation then stops.
    const bool sized = cable_size_valid(m);
    if (sized) {
        allocate_input_arrays(m);
        if (m.Opt_CuSCRRR == 1) read_str_mech(m);
        if (m.Opt_CuSCRRR == 2) {
            m.RRRs.fill(m.RRR_con);
            read_rrr_per_section(m);
        }
    }
    for (double* x :
         {&m.w, &m.Th1, &m.Th2, &m.d_fil_in, &m.d_fil_out, &m.DiamStr, &m.TPFil, &m.TPStr})
        *x /= 1000.0;
    step_done(m, 1);
}

// Applied fields; the angles stay in degrees.
void step02(Model& m) {
    int reserved13 = 0, reserved14 = 0;
    open_step(m, 2).read({{"Opt_LongB", &m.Opt_LongB},
                          {"The_Ba1", &m.The_Ba1},
                          {"Phi_Ba1", &m.Phi_Ba1},
                          {"Opt_Ba1", &m.Opt_Ba1},
                          {"F1_Ba1", &m.F1_Ba1},
                          {"F2_Ba1", &m.F2_Ba1},
                          {"Opt_AddBa2", &m.Opt_AddBa2},
                          {"The_Ba2", &m.The_Ba2},
                          {"Phi_Ba2", &m.Phi_Ba2},
                          {"Opt_Ba2", &m.Opt_Ba2},
                          {"F1_Ba2", &m.F1_Ba2},
                          {"F2_Ba2", &m.F2_Ba2},
                          {"reserved", &reserved13},
                          {"reserved", &reserved14}});
    if (cable_size_valid(m)) {
        if (m.Opt_LongB == 1) {
            read_long_var_b(m);
        } else {
            m.ba1_long.fill(1.0);
            m.ba2_long.fill(1.0);
        }
        if (m.Opt_Ba1 == 4) read_b_posit(m);
    }
    step_done(m, 2);
}

// Self field.
void step03(Model& m) {
    int reserved5 = 0, reserved6 = 0;
    open_step(m, 3).read({{"Opt_SF", &m.Opt_SF},
                          {"NBSF", &m.NBSF},
                          {"Opt_RetLead", &m.Opt_RetLead},
                          {"d_RL", &m.d_RL},
                          {"reserved", &reserved5},
                          {"reserved", &reserved6}});
    if (m.Opt_SF == 2) {
        // The predefined tables have no return lead.
        m.Opt_RetLead = 0;
        if (cable_size_valid(m)) read_sf_table(m);
    }
    m.d_RL /= 1000.0;
    step_done(m, 3);
}

// Inter-filament coupling.
void step04(Model& m) {
    int reserved2 = 0, reserved3 = 0;
    open_step(m, 4).read({{"TauIF", &m.TauIF}, {"reserved", &reserved2}, {"reserved", &reserved3}});
    step_done(m, 4);
}

// Contact resistances, with the per-strand factors, the special values and
// the values per band; all resistances uOhm -> Ohm afterwards.
void step05(Model& m) {
    int reserved19 = 0, reserved20 = 0;
    open_step(m, 5).read({{"RaCon", &m.RaCon},
                          {"FRaW", &m.FRaW},
                          {"Opt_RaRand", &m.Opt_RaRand},
                          {"FRaRand", &m.FRaRand},
                          {"NrRaSp", &m.NrRaSp},
                          {"RcCon", &m.RcCon},
                          {"FRcW", &m.FRcW},
                          {"Opt_RcRand", &m.Opt_RcRand},
                          {"FRcRand", &m.FRcRand},
                          {"NrRcSp", &m.NrRcSp},
                          {"Opt_Core", &m.Opt_Core},
                          {"RcCore", &m.RcCore},
                          {"Core_pos1", &m.Core_pos1},
                          {"Core_pos2", &m.Core_pos2},
                          {"Opt_StrRes", &m.Opt_StrRes},
                          {"Opt_RaW", &m.Opt_RaW},
                          {"Opt_RcW", &m.Opt_RcW},
                          {"Opt_LongR", &m.Opt_LongR},
                          {"reserved", &reserved19},
                          {"reserved", &reserved20}});
    const bool sized = cable_size_valid(m);
    if (sized && m.Opt_StrRes == 1) read_rarc_per_strand(m);
    read_special_lists(m, 5);
    if (sized) {
        if (m.Opt_LongR == 1) {
            read_long_var_r(m);
        } else {
            m.ralong.fill(m.RaCon);
            m.rclong.fill(m.RcCon);
        }
    }
    m.RaCon /= 1e6;
    m.RcCon /= 1e6;
    m.RcCore /= 1e6;
    for (RArr1* a : {&m.RaSp, &m.RcSp, &m.ralong, &m.rclong}) divide(*a, 1e6);
    step_done(m, 5);
}

// Strand resistivity; the special and per-band resistivities come in units
// of 1e-14 Ohm m.
void step06(Model& m) {
    double reserved7 = 0, reserved8 = 0;
    open_step(m, 6).read({{"Opt_RsCalc", &m.Opt_RsCalc},
                          {"RhoMin", &m.RhoMin},
                          {"RhoIc", &m.RhoIc},
                          {"nPow", &m.nPow},
                          {"NrRhoSp", &m.NrRhoSp},
                          {"Opt_LongRho", &m.Opt_LongRho},
                          {"reserved", &reserved7},
                          {"reserved", &reserved8}});
    read_special_lists(m, 6);
    if (cable_size_valid(m)) {
        if (m.Opt_LongRho == 1)
            read_long_var_rho(m);
        else
            m.rholong.fill(0.0);
    }
    multiply(m.RhoSp, 1e-14);
    multiply(m.rholong, 1e-14);
    step_done(m, 6);
}

// Critical current, the local Ic variations and the per-strand Ic data.
void step07(Model& m) {
    int reserved9 = 0, reserved13 = 0, reserved14 = 0;
    open_step(m, 7).read({{"Opt_Ic", &m.Opt_Ic},
                          {"IcCon", &m.IcCon},
                          {"ConIcA", &m.ConIcA},
                          {"ConIcB", &m.ConIcB},
                          {"ConIcC", &m.ConIcC},
                          {"ConIcD", &m.ConIcD},
                          {"ConIcE", &m.ConIcE},
                          {"ConIcF", &m.ConIcF},
                          {"reserved", &reserved9},
                          {"NrIcLT", &m.NrIcLT},
                          {"Opt_StrIc", &m.Opt_StrIc},
                          {"Opt_IcRedIF", &m.Opt_IcRedIF},
                          {"reserved", &reserved13},
                          {"reserved", &reserved14}});
    read_special_lists(m, 7);
    if (cable_size_valid(m)) {
        if (m.Opt_StrIc != 0) {
            read_str_ic(m);
        } else {
            m.ICRATw.fill(1.0);
            m.NPOWw.fill(double(m.nPow));
        }
    }
    step_done(m, 7);
}

// Temperature and cooling: two records, values 1..22 and 23..29.
void step08(Model& m) {
    ListReader r = open_step(m, 8);
    r.read({{"Opt_Temp", &m.Opt_Temp},
            {"TBath", &m.TBath},
            {"F_HF_str", &m.F_HF_str},
            {"F_cont", &m.F_cont},
            {"P_cont", &m.P_cont},
            {"F_ISCL", &m.F_ISCL},
            {"Opt_Trans_HF", &m.Opt_Trans_HF},
            {"a_Trans", &m.a_Trans},
            {"n_Trans", &m.n_Trans},
            {"E_Trans_Lim0", &m.E_Trans_Lim0},
            {"E_Trans_Lim2", &m.E_Trans_Lim2},
            {"aKap", &m.aKap},
            {"nKap", &m.nKap},
            {"aFB_II", &m.aFB_II},
            {"HF_Lim_Kap", &m.HF_Lim_Kap},
            {"aNC", &m.aNC},
            {"aNB", &m.aNB},
            {"aFB_I", &m.aFB_I},
            {"HF_Lim_NC", &m.HF_Lim_NC},
            {"HF_Lim_NB", &m.HF_Lim_NB},
            {"Opt_kCu", &m.Opt_kCu},
            {"Opt_He", &m.Opt_He}});
    r.read({{"C", &m.C},
            {"k", &m.k},
            {"p", &m.p},
            {"a_inf", &m.a_inf},
            {"dT", &m.dT},
            {"F_HF_Ad", &m.F_HF_Ad},
            {"F_HF_Cr", &m.F_HF_Cr}});
    // A contact heat-flow factor left at (nearly) zero means no scaling.
    if (m.F_HF_Ad < 1e-4) m.F_HF_Ad = 1.0;
    if (m.F_HF_Cr < 1e-4) m.F_HF_Cr = 1.0;
    // Supercritical helium has no transient regime.
    if (m.Opt_He == 1) m.Opt_Trans_HF = 0;
    step_done(m, 8);
}

// Contact surfaces and helium volume.
void step09(Model& m) {
    double reserved3 = 0, reserved6 = 0, reserved9 = 0, reserved12 = 0;
    int reserved4 = 0, reserved7 = 0, reserved10 = 0, reserved15 = 0;
    open_step(m, 9).read({{"Opt_SurfVol", &m.Opt_SurfVol},
                          {"A_Ad_con", &m.A_Ad_con},
                          {"reserved", &reserved3},
                          {"reserved", &reserved4},
                          {"A_Cr_con", &m.A_Cr_con},
                          {"reserved", &reserved6},
                          {"reserved", &reserved7},
                          {"A_He_con", &m.A_He_con},
                          {"reserved", &reserved9},
                          {"reserved", &reserved10},
                          {"Vol_He_con", &m.Vol_He_con},
                          {"reserved", &reserved12},
                          {"F_Vol_He", &m.F_Vol_He},
                          {"F_A_He", &m.F_A_He},
                          {"reserved", &reserved15}});
    if (cable_size_valid(m) && m.Opt_SurfVol == 2) read_surf_vol(m);
    m.A_Ad_con /= 1e6;
    m.A_Cr_con /= 1e6;
    m.A_He_con /= 1e6;
    m.Vol_He_con /= 1e9;
    step_done(m, 9);
}

// Cable insulation.
void step10(Model& m) {
    int reserved11 = 0, reserved12 = 0;
    open_step(m, 10).read({{"Opt_Ins", &m.Opt_Ins},
                           {"Th_ins_1", &m.Th_ins_1},
                           {"Th_ins_2", &m.Th_ins_2},
                           {"Th_ins_f", &m.Th_ins_f},
                           {"k_ins_1", &m.k_ins_1},
                           {"k_ins_2", &m.k_ins_2},
                           {"k_ins_f", &m.k_ins_f},
                           {"F_ins_1", &m.F_ins_1},
                           {"F_ins_2", &m.F_ins_2},
                           {"F_ins_f", &m.F_ins_f},
                           {"reserved", &reserved11},
                           {"reserved", &reserved12}});
    for (double* x : {&m.Th_ins_1, &m.Th_ins_2, &m.Th_ins_f}) *x /= 1000.0;
    step_done(m, 10);
}

// Field along a line.
void step11(Model& m) {
    int reserved9 = 0, reserved10 = 0, reserved11 = 0;
    open_step(m, 11).read({{"Opt_FLC", &m.Opt_FLC},
                           {"NrPFL", &m.NrPFL},
                           {"FLx1", &m.FLx1},
                           {"FLy1", &m.FLy1},
                           {"FLz1", &m.FLz1},
                           {"dFLx", &m.dFLx},
                           {"dFLy", &m.dFLy},
                           {"dFLz", &m.dFLz},
                           {"reserved", &reserved9},
                           {"reserved", &reserved10},
                           {"reserved", &reserved11}});
    for (double* x : {&m.FLx1, &m.FLy1, &m.FLz1, &m.dFLx, &m.dFLy, &m.dFLz}) *x /= 1000.0;
    step_done(m, 11);
}

// Calculation in time: the schedule, end currents, heat pulses and the runs
// of the quench-energy search, in this order.
void step12(Model& m) {
    double reserved14 = 0, reserved15 = 0;
    open_step(m, 12).read({{"NrSteps_inp", &m.NrSteps_inp},
                           {"VoltStop", &m.VoltStop},
                           {"NBMut", &m.NBMut},
                           {"F_SolAcc", &m.F_SolAcc},
                           {"SolAcc", &m.SolAcc},
                           {"Opt_StrCur", &m.Opt_StrCur},
                           {"NrT_HP", &m.NrT_HP},
                           {"Opt_HP", &m.Opt_HP},
                           {"Nr_HP", &m.Nr_HP},
                           {"NrRunT", &m.NrRunT},
                           {"QE_rho_NQ", &m.QE_rho_NQ},
                           {"QE_nr_sec", &m.QE_nr_sec},
                           {"QE_rho_Q", &m.QE_rho_Q},
                           {"reserved", &reserved14},
                           {"reserved", &reserved15}});
    m.VoltStop /= 1e6;
    read_time_steps(m);
    if (cable_size_valid(m)) {
        if (m.Opt_StrCur != 0) {
            read_str_cur(m);
        } else {
            m.CWB1perc.fill(100.0 / m.NS);
            m.CWB2perc.fill(100.0 / m.NS);
        }
    }
    read_heat_pulses(m);
    if (m.NrRunT == 0 || m.Opt_HP <= 1) m.NrRunT = 1;
    // An infinitely long cable has no neighbouring bands.
    if (m.Opt_Cable == 1) m.NBMut = 0;
    read_qe_runs(m);
    step_done(m, 12);
}

// Iteration parameters.
void step13(Model& m) {
    open_step(m, 13).read({{"NrItR0", &m.NrItR0},
                           {"CntR_M", &m.CntR_M},
                           {"FRsLim", &m.FRsLim},
                           {"CsAcc", &m.CsAcc},
                           {"RhoAcc", &m.RhoAcc},
                           {"NrItT_M", &m.NrItT_M},
                           {"TincrM", &m.TincrM},
                           {"TsAcc", &m.TsAcc},
                           {"HFAccRel", &m.HFAccRel},
                           {"HFAccAbs", &m.HFAccAbs}});
    // An accuracy left at (nearly) zero falls back to 1.
    if (m.HFAccRel < 1e-6) m.HFAccRel = 1.0;
    if (m.HFAccAbs < 1e-12) m.HFAccAbs = 1.0;
    step_done(m, 13);
}

// Magnetisation.
void step14(Model& m) {
    int reserved4 = 0, reserved5 = 0;
    open_step(m, 14).read({{"Opt_Magn", &m.Opt_Magn},
                           {"NB1_M", &m.NB1_M},
                           {"NB2_M", &m.NB2_M},
                           {"reserved", &reserved4},
                           {"reserved", &reserved5}});
    step_done(m, 14);
}

// Print options.
void step15(Model& m) {
    double reserved4 = 0, reserved8 = 0, reserved11 = 0;
    int reserved14 = 0;
    open_step(m, 15).read({{"dt_Prog", &m.dt_Prog},
                           {"dT_Prog", &m.dT_Prog},
                           {"dI_Prog", &m.dI_Prog},
                           {"reserved", &reserved4},
                           {"dt_NTS", &m.dt_NTS},
                           {"dT_NTS", &m.dT_NTS},
                           {"dI_NTS", &m.dI_NTS},
                           {"reserved", &reserved8},
                           {"Opt_PrMat", &m.Opt_PrMat},
                           {"Opt_PrIter", &m.Opt_PrIter},
                           {"reserved", &reserved11},
                           {"NrWrArrays", &m.NrWrArrays},
                           {"NrSignals", &m.NrSignals},
                           {"reserved", &reserved14}});
    step_done(m, 15);
}

// Parameters for experienced users.
void step16(Model& m) {
    int reserved1 = 0, reserved13 = 0, reserved14 = 0;
    std::string text;
    open_step(m, 16).read({{"reserved", &reserved1},
                           {"One", &m.One},
                           {"IniRand", &m.IniRand},
                           {"EffLC", &m.EffLC},
                           {"NrItBack", &m.NrItBack},
                           {"Opt_UnifCur1", &m.Opt_UnifCur1},
                           {"Nr_Opt", &m.Nr_Opt},
                           {"C1_Opt", &m.C1_Opt},
                           {"C2_Opt", &m.C2_Opt},
                           {"C3_Opt", &m.C3_Opt},
                           {"C4_Opt", &m.C4_Opt},
                           {"reserved", &text},
                           {"reserved", &reserved13},
                           {"reserved", &reserved14}});
    // A 12-character text field: cut or blank-padded.
    text.resize(12, ' ');
    m.Text_Opt = text;
    if (m.Nr_Opt == 60) {
        // Variant 60 scales the whole applied-field schedule by C2_Opt.
        for (RArr1* a :
             {&m.dba1dt_inp, &m.dba2dt_inp, &m.ba1_ini, &m.ba1_fin, &m.ba2_ini, &m.ba2_fin})
            multiply(*a, m.C2_Opt);
    }
    step_done(m, 16);
}

}  // namespace

bool cable_size_valid(const Model& m) {
    return m.NB >= 1 && m.NB <= 10000 && m.NS >= 8 && m.NS <= 80 && m.NS % 2 == 0;
}

void read_input_parameters(Model& m) {
    step01(m);
    step02(m);
    step03(m);
    step04(m);
    step05(m);
    step06(m);
    step07(m);
    step08(m);
    step09(m);
    step10(m);
    step11(m);
    step12(m);
    step13(m);
    step14(m);
    step15(m);
    step16(m);
}

}  // namespace vorn
