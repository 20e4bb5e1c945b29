#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void iscc_inf_calculation(Model&) {}

}  // namespace vorn
