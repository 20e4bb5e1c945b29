// Thermal model: temperatures, heat flows, powers per section, material
// tables and the heat-transfer geometry.  Per-section arrays are b x s.
#pragma once

#include "support/oarray.hpp"

namespace vorn {

struct ThermalState {
    RArr2 Ts, Ts_prev, THs, THs_prev;  // K
    RArr2 PsMean, PFs, PFs_prev, P_IS, P_IS_prev, P_HP_arr;  // W
    RArr2 HF_adj, HF_cross, HF_str, HF_He, HF_ins, HF_s;     // W
    RArr2 E_Trans;     // J
    IArr2 Regime;      // cooling regime
    IArr2 NY_T;        // bands 2..NB-1: section solved in this pass
    RArr2 T0_supercr;  // s, -0.001 = not yet warmed (supercritical helium)

    // work arrays of the temperature passes, b x s (bands 1..NB)
    RArr2 Tmid;          // K, mid-step strand temperature seen by the neighbours
    IArr2 Solved_s;      // 1 = solved in the last pass, 0 = held at its start state
    RArr2 Cap_s, Cap_He; // J/K, heat capacities of strand and helium in the last solve
    // coupled solution, per section: the last Newton update of the present
    // temperature loop (K) and how often it turned back
    RArr2 NewtonStep;
    IArr2 NewtonTurns;

    // Energy account of the QE iteration, cumulative since t = 0 (J).
    struct EnergyAccount {
        double E_HP = 0, E_Joule = 0, E_Contacts = 0, E_IFC = 0;  // put in
        double E_He = 0, E_ins = 0, E_Fixed = 0;  // given to helium, insulation, fixed sections
        double E_Strands = 0, E_Helium = 0;      // stored
    } energy;

    // material tables on T = 0.1 K .. 1000 K
    RArr1 Cp_Cu_a, Cp_SC_above_a, Rho_Cu_a;  // 1..10000
    RArr2 K_Cu_NIST_a;                       // 1..10000 x 1..40 (RRR = 10 j)

    // heat-transfer geometry, per section s
    RArr1 A_Ad, A_Cr, A_He;  // m^2
    RArr1 Vol_He, Mass_He;   // m^3, kg
    IArr1 NS_str_L, NB_str_L, NS_str_R, NB_str_R;
    IArr1 NS_adj_L, NB_adj_L, NS_adj_R, NB_adj_R;
    IArr1 NS_cross;
    RArr1 l_str_l, l_str_r, l_cr;  // m
    RArr1 f_hf_ins;                // W/K
    RArr1 e_trans_lim;             // J

    double RadStr = 0, A_str = 0;  // m, m^2
    double Rho_He = 0;             // kg/m^3
};

}  // namespace vorn
