#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void voltage_calculation(Model&) {}

}  // namespace vorn
