#include "magnetisation/magnetisation.hpp"

namespace vorn {

// Not implemented yet.
void magnetisation_calculation(Model&) {}

}  // namespace vorn
