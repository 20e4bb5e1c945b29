#include "field/field.hpp"

namespace vorn {

// Not implemented yet.
void self_field_array_calculation(Model&) {}

// Not implemented yet.
void self_field_calculation(Model&) {}

// Not implemented yet.
void total_field_calculation(Model&) {}

}  // namespace vorn
