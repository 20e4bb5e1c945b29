#include "field/field.hpp"

namespace vorn {

// Not implemented yet.
void b_applied_definition(Model&) {}

}  // namespace vorn
