#include "field/field.hpp"

namespace vorn {

// Not implemented yet.
void crit_cur_and_temp_calculation(Model&) {}

// Not implemented yet.
void rs_calculation(Model&) {}

// Not implemented yet.
void rs_definition(Model&) {}

}  // namespace vorn
