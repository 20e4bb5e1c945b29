// The system matrix exists only while one solution is made: created before
// the assembly, released after the currents have been taken from it.
//
// Finite cable: NEq = NB*NEqB rows in band storage.  Infinitely long cable:
// the NEqB rows of its single band (the infinitely-long-ramp reference of a
// finite cable uses this shape too).  NCa columns, the last one the
// right-hand side.
//
// The matrix of a long cable is large (NEq*NCa reals, hundreds of MB for 36
// strands and hundreds of bands) and is made for every iteration of every
// time step.  Its storage is therefore kept in A_store between solutions
// and taken up again by the next creation, which zeroes it without asking
// the system for fresh memory.
#include <utility>

#include "network/network.hpp"
#include "support/stop.hpp"

namespace vorn {

void create_system_matrix(Model& m) {
    if (m.A.allocated()) throw FatalError("Attempting to allocate already allocated variable 'a'");
    const int rows = m.Opt_Cable == 1 ? m.NEqB : m.NEq;
    m.A = std::move(m.A_store);  // the storage of the last solution, if any
    m.A_store = RArr2{};
    m.A.allocate(1, rows, 1, m.NCa, 0.0);  // reuses that storage when it is large enough
}

void release_system_matrix(Model& m) {
    if (!m.A.allocated()) throw FatalError("Attempt to DEALLOCATE unallocated 'a'");
    m.A_store = std::move(m.A);
    m.A = RArr2{};
}

}  // namespace vorn
