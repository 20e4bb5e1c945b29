// The system matrix exists only while one solution is made: created before
// the assembly, released after the currents have been taken from it.
#include "network/network.hpp"

namespace vorn {

void create_system_matrix(Model& m) { m.A.allocate(1, m.NEq, 1, m.NCa, 0.0); }

void release_system_matrix(Model& m) { m.A.deallocate(); }

}  // namespace vorn
