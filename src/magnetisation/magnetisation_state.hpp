// Filament magnetisation per time step and band.
#pragma once

#include "support/oarray.hpp"

namespace vorn {

// Histories are indexed 0..NTST (NTST of the output state: the last recorded
// step index of the run).
struct MagnetisationState {
    RArr2 magnav;  // 0..NTST x NB1_M..NB2_M: band-averaged mu0 M (T)
    RArr1 CPC_M;   // 0..NTST: cable current of the recorded step (A)
    RArr1 T_M;     // 0..NTST: time of the recorded step (s)
    IArr1 NTS_M;   // 0..NTST: time-step number of the recorded step
};

}  // namespace vorn
