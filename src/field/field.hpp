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

}  // namespace vorn
