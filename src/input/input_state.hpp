// Case parameters: the values of the sixteen step files and the tables of
// the auxiliary input files, stored in SI units once read (lengths m,
// resistances Ohm, resistivities Ohm m, times s, fields T, currents A).
#pragma once

#include <string>
#include <vector>

#include "support/oarray.hpp"

namespace vorn {

struct InputState {
    // Values of the input files that are not finite numbers, as the readers
    // described them: listed by the validation as errors.
    std::vector<std::string> NonFiniteInputs;

    // --- STEP01: cable type and geometry ---------------------------------
    int Opt_SC = 0;       // 1 NbTi; 11, 12, 13 Nb3Sn type 1..3
    int Opt_Mat = 0;      // 1 copper
    int Opt_Cable = 0;    // 1 infinitely long cable; 2 finite cable of NB bands
    int NB = 0;           // bands along the cable
    int NS = 0;           // strands
    double w = 0;         // cable width (m)
    double Th1 = 0;       // thickness at edge 1 (m)
    double Th2 = 0;       // thickness at edge 2 (m)
    double d_fil_in = 0;  // inner diameter of the filament zone (m)
    double d_fil_out = 0; // outer diameter of the filament zone (m)
    double DiamStr = 0;   // strand diameter (m)
    double TPFil = 0;     // filament twist pitch (m)
    double TPStr = 0;     // strand twist pitch (m)
    int Opt_CuSCRRR = 0;  // 0 constants; 1 per strand; 2 RRR per section
    double CuSC_con = 0;  // copper-to-superconductor ratio
    double RRR_con = 0;   // residual resistivity ratio
    double MR_con = 0;    // magnetoresistivity of copper (Ohm m / T)

    // --- STEP02: applied fields ------------------------------------------
    int Opt_LongB = 0;
    double The_Ba1 = 0, Phi_Ba1 = 0;  // degrees
    int Opt_Ba1 = 0;
    double F1_Ba1 = 0, F2_Ba1 = 0;
    int Opt_AddBa2 = 0;
    double The_Ba2 = 0, Phi_Ba2 = 0;  // degrees
    int Opt_Ba2 = 0;
    double F1_Ba2 = 0, F2_Ba2 = 0;

    // --- STEP03: self field ----------------------------------------------
    int Opt_SF = 0;
    int NBSF = 0;
    int Opt_RetLead = 0;
    double d_RL = 0;  // distance cable - return lead (m)

    // --- STEP04: inter-filament coupling ---------------------------------
    double TauIF = 0;  // s

    // --- STEP05: contact resistances -------------------------------------
    double RaCon = 0;  // Ohm
    double FRaW = 0;
    int Opt_RaRand = 0;
    double FRaRand = 0;
    int NrRaSp = 0;
    double RcCon = 0;  // Ohm
    double FRcW = 0;
    int Opt_RcRand = 0;
    double FRcRand = 0;
    int NrRcSp = 0;
    int Opt_Core = 0;
    double RcCore = 0;  // Ohm
    int Core_pos1 = 0, Core_pos2 = 0;
    int Opt_StrRes = 0;
    int Opt_RaW = 0, Opt_RcW = 0;
    int Opt_LongR = 0;

    // --- STEP06: strand resistivity and transition -------------------------
    int Opt_RsCalc = 0;
    double RhoMin = 0;  // Ohm m
    double RhoIc = 0;   // Ohm m
    int nPow = 0;
    int NrRhoSp = 0;
    int Opt_LongRho = 0;

    // --- STEP07: critical current ------------------------------------------
    int Opt_Ic = 0;
    double IcCon = 0;  // A
    double ConIcA = 0, ConIcB = 0, ConIcC = 0, ConIcD = 0, ConIcE = 0, ConIcF = 0;
    int NrIcLT = 0;
    int Opt_StrIc = 0;
    int Opt_IcRedIF = 0;

    // --- STEP08: temperature and cooling (two records) ---------------------
    int Opt_Temp = 0;
    double TBath = 0;  // K
    double F_HF_str = 0, F_cont = 0, P_cont = 0, F_ISCL = 0;
    int Opt_Trans_HF = 0;
    double a_Trans = 0, n_Trans = 0, E_Trans_Lim0 = 0, E_Trans_Lim2 = 0;
    double aKap = 0, nKap = 0, aFB_II = 0, HF_Lim_Kap = 0;
    double aNC = 0, aNB = 0, aFB_I = 0, HF_Lim_NC = 0, HF_Lim_NB = 0;
    int Opt_kCu = 0;
    int Opt_He = 0;
    // second record: supercritical helium and contact heat-flow scaling
    double C = 0, k = 0, p = 0, a_inf = 0, dT = 0;
    double F_HF_Ad = 0, F_HF_Cr = 0;

    // --- STEP09: contact surfaces and helium volume ------------------------
    int Opt_SurfVol = 0;
    double A_Ad_con = 0, A_Cr_con = 0, A_He_con = 0;  // m^2
    double Vol_He_con = 0;                             // m^3
    double F_Vol_He = 0, F_A_He = 0;

    // --- STEP10: insulation --------------------------------------------------
    int Opt_Ins = 0;
    double Th_ins_1 = 0, Th_ins_2 = 0, Th_ins_f = 0;  // m
    double k_ins_1 = 0, k_ins_2 = 0, k_ins_f = 0;     // W/m/K
    double F_ins_1 = 0, F_ins_2 = 0, F_ins_f = 0;

    // --- STEP11: field along a line ------------------------------------------
    int Opt_FLC = 0;
    int NrPFL = 0;
    double FLx1 = 0, FLy1 = 0, FLz1 = 0;  // m
    double dFLx = 0, dFLy = 0, dFLz = 0;  // m

    // --- STEP12: calculation in time ------------------------------------------
    int NrSteps_inp = 0;
    double VoltStop = 0;  // V (per metre as read; per cable after set-up)
    int NBMut = 0;
    double F_SolAcc = 0, SolAcc = 0;
    int Opt_StrCur = 0;
    int NrT_HP = 0;
    int Opt_HP = 0;
    int Nr_HP = 0;
    int NrRunT = 0;
    double QE_rho_NQ = 0;
    int QE_nr_sec = 0;
    double QE_rho_Q = 0;

    // --- STEP13: iteration parameters ------------------------------------------
    int NrItR0 = 0, CntR_M = 0;
    double FRsLim = 0, CsAcc = 0, RhoAcc = 0;
    int NrItT_M = 0;
    double TincrM = 0, TsAcc = 0, HFAccRel = 0, HFAccAbs = 0;

    // --- STEP14: magnetisation ---------------------------------------------------
    int Opt_Magn = 0, NB1_M = 0, NB2_M = 0;

    // --- STEP15: print options ---------------------------------------------------
    double dt_Prog = 0, dT_Prog = 0, dI_Prog = 0;
    double dt_NTS = 0, dT_NTS = 0, dI_NTS = 0;
    int Opt_PrMat = 0, Opt_PrIter = 0;
    int NrWrArrays = 0, NrSignals = 0;

    // --- STEP16: parameters for experienced users ----------------------------
    double One = 0;
    int IniRand = 0;
    double EffLC = 0;
    int NrItBack = 0;
    int Opt_UnifCur1 = 0;
    int Nr_Opt = 0;
    double C1_Opt = 0, C2_Opt = 0, C3_Opt = 0, C4_Opt = 0;
    std::string Text_Opt;  // 12-character text, not used

    // --- auxiliary tables ----------------------------------------------------------
    RArr1 ba1_long, ba2_long;          // band 1..NB
    RArr1 bpx_inp, bpy_inp, bpz_inp;   // position 1..NS, normalised
    RArr1 bx_inp, by_inp, bz_inp;      // section 2..2NS-1
    IArr1 NBRaSp, NSRaSp;              // 1..NrRaSp
    RArr1 RaSp;                        // Ohm
    IArr1 NBRcSp, NSRcSp;              // 1..NrRcSp
    RArr1 RcSp;                        // Ohm
    RArr1 ralong, rclong;              // band 1..NB+1, Ohm
    IArr1 NBRhoSp, NSRhoSp;            // 1..NrRhoSp
    RArr1 RhoSp;                       // Ohm m
    RArr1 rholong;                     // band 1..NB, Ohm m
    IArr1 NBIcL, NsecIcL;              // 1..NrIcLT
    RArr1 IcRatioSec;
    RArr1 CWB1perc, CWB2perc;          // wire 1..NS, % of the cable current

    // time-step table, rows 0..NrSteps_inp
    RArr1 t_inp, dt_inp, dur_inp;
    RArr1 cpc_ini, cpc_fin, ba1_ini, ba1_fin, ba2_ini, ba2_fin;
    RArr1 dba1dt_inp, dba2dt_inp, didt_inp;

    // heat pulses
    IArr1 NB_HP, Ns_HP, NW_HP;  // 1..Nr_HP
    RArr1 t_hp_inp;             // 1..NrT_HP, s
    RArr2 P_HP_inp, P_HP;       // 1..NrT_HP x 1..Nr_HP, W

    // quench-energy search, runs 1..NrRunT
    IArr1 hp_or_tc, ny_bi, qe_reg;
    RArr1 b_qe, qe_f, qe_acc;
    RArr2 e_hp, tc_qe;  // 1..NrRunT x 1..NrItQE_M (J, A)

    // output selections, 1..100 x 1..8
    RArr2 wrarrays, signals;
};

}  // namespace vorn
