// Pieces of a temperature pass shared by the section-by-section passes and
// the coupled solution of all sections (thermal/temperature*.cpp).
#pragma once

#include "control/model.hpp"

namespace vorn {

// Power balance of a section: the heat that comes in (Pin >= 0, W) and goes
// out (Pout <= 0) must match, relatively (HFAccRel) or absolutely (HFAccAbs).
bool balanced(const Model& m, double Pin, double Pout);
// Helium of section (b, s) over the step, the strand at property
// temperature Tp (K), in the section's Regime.  Sets THs, HF_He and Cap_He;
// true when converged inside its bracket.
bool helium_solution(Model& m, int b, int s, double Tp, double TH0, double tol);
// Validity of the section's helium regime at its helium temperature and
// heat flux.
bool regime_valid(const Model& m, int b, int s);
// Solves one section by bisection in the case's cooling model (regime
// search included), its neighbours at Tmid; false when it cannot.
bool solve_section(Model& m, int b, int s, double tol);
// Cable ends: the sections whose strand continues beyond the first or the
// last band are held at their start state.
bool at_cable_end(const Model& m, int b, int s);
// A quiet section: too little power and heat flow around it to change its
// temperature by tol (E_q, J), and it and its neighbours still at the bath.
bool quiet(const Model& m, int b, int s, double E_q, double tol);
// Powers and start values of a pass; the pass-start temperatures go to Ts0
// and THs0.
void pass_start(Model& m, RArr2& Ts0, RArr2& THs0);

}  // namespace vorn
