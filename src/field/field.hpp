// Fields and strand electrical state.
#pragma once

#include "control/model.hpp"

namespace vorn {

void b_applied_definition(Model& m);
void self_field_array_calculation(Model& m);
void self_field_calculation(Model& m);
void total_field_calculation(Model& m);
void field_across_w_loops(Model& m);
void field_across_w_strands(Model& m);
void fl_calculation(Model& m);
void fl_transport_calculation(Model& m);
void crit_cur_and_temp_calculation(Model& m);
void rs_calculation(Model& m);
void rs_definition(Model& m);
// Critical current (A) of one strand with Ic ratio 1 at field B (T) and
// temperature T (K), by the fit selected with Opt_Ic, with the floor and
// without the reduction by filament coupling currents.
double ic_at(const Model& m, double B, double T);
// Critical current ic (A) reduced by the filament coupling currents of a
// field changing at bdot (T/s).
double ic_coupling_reduced(const Model& m, double bdot, double ic);

}  // namespace vorn
