#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void ra_definition(Model&) {}

// Not implemented yet.
void rc_definition(Model&) {}

// Not implemented yet.
void surf_loop_definition(Model&) {}

}  // namespace vorn
