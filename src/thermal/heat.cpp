#include "thermal/thermal.hpp"

namespace vorn {

// Not implemented yet.
void heat_per_section(Model&) {}

}  // namespace vorn
