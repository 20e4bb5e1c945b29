#include "output/output.hpp"

namespace vorn {

// Not implemented yet.
void convert_arrays(Model&) {}

}  // namespace vorn
