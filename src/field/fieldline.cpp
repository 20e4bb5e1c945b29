#include "field/field.hpp"

namespace vorn {

// Not implemented yet.
void field_across_w_loops(Model&) {}

// Not implemented yet.
void field_across_w_strands(Model&) {}

// Not implemented yet.
void fl_calculation(Model&) {}

// Not implemented yet.
void fl_transport_calculation(Model&) {}

}  // namespace vorn
