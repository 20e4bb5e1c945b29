// Documented for users in docs/output-files.md (reports written from a later version).
#include "output/output.hpp"

namespace vorn {

// Not implemented yet.
void write_summary(Model&) {}

// Not implemented yet.
void write_matprop(Model&) {}

}  // namespace vorn
