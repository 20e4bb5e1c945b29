// Material properties of the strand and the coolant: closed-form fits of the
// heat capacities, the copper resistivity and the copper thermal
// conductivity, their tables on the temperature grid T_i = 0.1 i K
// (i = 1..10000, 0.1 K .. 1000 K) and the lookups that the resistance and
// temperature calculations use in the inner iteration.
//
// Lookups outside the tables clamp the index (temperature 1..10000, RRR
// column 1..40); a temperature (or RRR) that is not a number gives NaN.
#pragma once

#include "control/model.hpp"

namespace vorn {

// --- closed-form fits --------------------------------------------------
// Copper volumetric heat capacity, J/(m^3 K).
double cp_cu(double T);
// Superconductor volumetric heat capacity in the normal state, J/(m^3 K);
// type = Opt_SC (1 NbTi; 11, 12, 13 Nb3Sn).  NaN for another type and for
// NbTi above 1000.01 K.
double cp_sc_above(int type, double T);
// Superconductor volumetric heat capacity in the superconducting state at
// field B (T), J/(m^3 K).  NaN for an unknown type.
double cp_sc_below(int type, double T, double B, double Tc0, double Bc20);
// Helium specific heat at 1 atm, J/(kg K).
double cp_he(double T);
// Copper thermal conductivity by the NIST fit, W/(m K).
double k_cu_nist(double T, double RRR);
// Temperature part of the copper resistivity, Ohm m (the residual part
// RRR-dependent, the magnetoresistance field-dependent, both added by the
// callers).
double rho_cu_fit(double T);

// --- tables ------------------------------------------------------------
// Allocates and fills Cp_Cu_a, Cp_SC_above_a (for Opt_SC), Rho_Cu_a
// (1..10000) and K_Cu_NIST_a (1..10000 x RRR = 10 j, j = 1..40).
void material_tables(Model& m);

// --- lookups (the tables must exist) ------------------------------------
// Temperature part of the copper resistivity at T, Ohm m: the grid point at
// or just above T, no interpolation.
double rho_cu_t(const Model& m, double T);
// Copper thermal conductivity (NIST) at T and RRR, W/(m K): the grid point
// at or just above T and the RRR column at or just above RRR.
double k_cu_nist_t(const Model& m, double T, double RRR);
// Copper volumetric heat capacity at T, J/(m^3 K): linear on the grid
// segment that starts at the grid point nearest to T.
double cp_cu_t(const Model& m, double T);
// Normal-state superconductor heat capacity at T, J/(m^3 K): the nearest
// grid point, no interpolation.
double cp_sc_above_t(const Model& m, double T);

// --- section properties ------------------------------------------------
// Copper thermal conductivity k (W/(m K)) at T (K), field B (T) and RRR by
// Opt_kCu: 0 NIST table; 1 Wiedemann-Franz; 2 NIST table scaled by the
// magnetoresistance.  Any other option leaves k as it is.
void k_cu_calculation(const Model& m, double T, double B, double RRR, double& k);
// Heat capacity of section (b, s) at temperature T, J/K: copper plus
// superconductor, the latter in the normal state once T reaches Tcs(b, s).
double cp_calculation(const Model& m, int b, int s, double T);

}  // namespace vorn
