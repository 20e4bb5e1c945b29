// The system matrix exists only while one solution is made: taken up from a
// workspace before the assembly, handed back after the currents have been
// taken from it.
//
// Finite cable: NEq = NB*NEqB rows in band storage.  Infinitely long cable:
// the NEqB rows of its single band; the infinitely-long-ramp reference of a
// finite cable uses this shape too, in a workspace of its own, so that it
// never holds (or zeroes) the NEq rows of the cable.  NCa columns, the last
// one the right-hand side.
//
// The matrix of a long cable is large (NEq*NCa reals, hundreds of MB for 36
// strands and hundreds of bands) and is needed for every iteration of every
// time step.  Each workspace is therefore allocated once for the case and
// reused without being zeroed here: fill_band_1 and fill_infinit_array,
// which start every assembly, zero it.
#include <utility>

#include "network/network.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

bool has_shape(const RArr2& a, int rows, int cols) {
    return a.allocated() && a.lo1() == 1 && a.hi1() == rows && a.lo2() == 1 && a.hi2() == cols;
}

}  // namespace

void create_system_matrix(Model& m, bool reference) {
    if (m.A.allocated()) throw FatalError("Attempting to allocate already allocated variable 'a'");
    const int rows = (reference || m.Opt_Cable == 1) ? m.NEqB : m.NEq;
    RArr2& store = reference ? m.A_ref_store : m.A_store;
    if (m.FreshMatrix == 1) store.deallocate();
    if (has_shape(store, rows, m.NCa)) {
        m.A = std::move(store);
    } else {
        if (!reference) {  // the factors were in the old workspace
            m.A_LU.held = 0;
            m.A_LU.drop_packed();
        }
        store.deallocate();  // a workspace of another shape is not kept alongside
        m.A.allocate(1, rows, 1, m.NCa, 0.0);
    }
    store = RArr2{};
}

void release_system_matrix(Model& m, bool reference) {
    if (!m.A.allocated()) throw FatalError("Attempt to DEALLOCATE unallocated 'a'");
    RArr2& store = reference ? m.A_ref_store : m.A_store;
    store = std::move(m.A);
    m.A = RArr2{};
}

}  // namespace vorn
