#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void mutual_ind_array_calculation(Model&) {}

// Not implemented yet.
void inductance(Model&, int, int, int, int, int) {}

// Not implemented yet.
void inductance_infinite(Model&, int, int, int) {}

}  // namespace vorn
