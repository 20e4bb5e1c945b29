#include "output/output.hpp"

namespace vorn {

// Not implemented yet, apart from the magnetisation table that goes with it.
void write_summary(Model& m) {
    if (m.Opt_Magn == 1) write_mp(m);
}

// Not implemented yet.
void write_matprop(Model&) {}

}  // namespace vorn
