// A cable set up as the driver does it for the parts that the reports
// read: input arrays, thermal set-up, positions, strand data, contact
// resistances and the derived cable quantities.  Options are set on the
// store (after set_example_parameters) before the call.
#pragma once

#include <string>

#include "network/network.hpp"
#include "small_cable.hpp"
#include "test_util.hpp"
#include "thermal/thermal.hpp"

namespace vorn::test {

inline void build_report_case(Model& m, int NB, int NS, const std::string& output_dir) {
    small_cable_setup(m, NB, NS);
    position_calculation(m);
    initialize_hf(m);
    strand_specific_data(m);
    ra_definition(m);
    rc_definition(m);
    cable_derived_values(m);
    m.t_cpu_iter.allocate(1, m.NrRunT, 1, NrItQE_M, 0.0);
    m.input_dir = "in/";
    m.output_dir = output_dir;
}

}  // namespace vorn::test
