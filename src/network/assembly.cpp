#include "network/network.hpp"

namespace vorn {

// Not implemented yet.
void fill_band_1(Model&) {}

// Not implemented yet.
void fill_array(Model&) {}

// Not implemented yet.
void fill_band_nb(Model&) {}

// Not implemented yet.
void fill_infinit_array(Model&, int) {}

}  // namespace vorn
