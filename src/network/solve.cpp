#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void solve_array(Model&) {}

// Not implemented yet.
void solve_infinit_array(Model&) {}

// Not implemented yet.
void check_zero_columns(Model&) {}

// Not implemented yet.
void currents_powers_calculation(Model&) {}

// Not implemented yet.
void currents_powers_calculation_equal(Model&) {}

// Not implemented yet.
void boundary_currents_definition(Model&) {}

}  // namespace vorn
