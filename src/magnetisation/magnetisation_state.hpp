// Filament magnetisation per time step and band.
#pragma once

#include "support/oarray.hpp"

namespace vorn {

struct MagnetisationState {
    RArr2 magnav;  // 0..NTST x NB1_M..NB2_M
    RArr1 CPC_M, T_M;
};

}  // namespace vorn
