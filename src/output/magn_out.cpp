#include "output/output.hpp"

namespace vorn {

// Not implemented yet.
void write_magn(Model&) {}

}  // namespace vorn
