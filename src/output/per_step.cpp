#include "output/output.hpp"

namespace vorn {

// Not implemented yet.
void write_nts(Model&, int) {}

// Not implemented yet.
void write_progress(Model&) {}

// Not implemented yet.
void write_signals(Model&) {}

}  // namespace vorn
