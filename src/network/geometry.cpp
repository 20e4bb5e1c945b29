#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void position_calculation(Model&) {}

// Not implemented yet.
void strand_specific_data(Model&) {}

}  // namespace vorn
