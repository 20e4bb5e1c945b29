#include "output/output.hpp"

namespace vorn {

// Placeholder until the magnetisation table is written.
void write_mp(Model&) {}

}  // namespace vorn
