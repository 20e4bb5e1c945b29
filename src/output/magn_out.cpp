// Documented for users in docs/output-files.md (Mp.dat and the magnetisation history).
#include "output/output.hpp"

namespace vorn {

// Not implemented yet.
void write_magn(Model&) {}

}  // namespace vorn
