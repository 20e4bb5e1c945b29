#include "thermal/thermal.hpp"

namespace vorn {

// Not implemented yet.
void temp_calculation(Model&) {}

}  // namespace vorn
