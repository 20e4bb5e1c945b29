#include "control/control.hpp"

namespace vorn {

// Not implemented yet.
void qe_decision(Model&) {}

}  // namespace vorn
