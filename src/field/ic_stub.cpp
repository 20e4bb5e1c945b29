#include "field/field.hpp"

namespace vorn {

// STUB: filled in by the critical-current code.  Until then the critical
// currents of "Mat_prop.dat" are written as 0.
double ic_at(Model&, double, double) { return 0.0; }

}  // namespace vorn
