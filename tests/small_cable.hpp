// A small cable for the network and thermal tests: the example case's
// parameters with NS strands (8 unless stated) and NB bands, its input
// arrays created, the per-band contact resistances set to RaCon and RcCon,
// the strand data at their defaults and the set-up of initialize_2 done
// (Twice, Length_s, Vol_s, l_div_a, A_str).
#pragma once

#include "test_util.hpp"
#include "thermal/thermal.hpp"

namespace vorn::test {

// The same on the parameters the model already holds.
inline void small_cable_setup(Model& m, int NB, int NS) {
    m.NB = NB;
    m.NS = NS;
    m.NB2_M = NB;
    set_derived_counts(m);
    allocate_input_arrays(m);
    m.ralong.fill(m.RaCon);
    m.rclong.fill(m.RcCon);
    m.ICRATw.fill(1.0);
    m.NPOWw.fill(double(m.nPow));
    initialize_2(m);
}

// The input arrays of the counts the model holds, with the example's uniform
// contacts and strands: every wire at Ic ratio 1 and the example's n, and
// an equal share of the transport current at both cable ends.
inline void uniform_strand_inputs(Model& m) {
    allocate_input_arrays(m);
    m.ralong.fill(m.RaCon);
    m.rclong.fill(m.RcCon);
    for (int i = 1; i <= m.NS; ++i) {
        m.ICRATw(i) = 1.0;
        m.NPOWw(i) = m.nPow;
        m.CWB1perc(i) = m.CWB2perc(i) = 100.0 / m.NS;
    }
}

inline void small_cable(Model& m, int NB, int NS = 8) {
    set_example_parameters(m);
    small_cable_setup(m, NB, NS);
}

}  // namespace vorn::test
