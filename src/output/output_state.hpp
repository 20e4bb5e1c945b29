// Output: per-position and per-wire result arrays (b x p, b x wire), the
// selections of the snapshot and signal files, and the memory of the
// output triggers.
#pragma once

#include "support/oarray.hpp"

namespace vorn {

// Values at the last write of one output file family.
struct OutputTrigger {
    double time = 0;
    double tmax = 0;
    double cpc = 0;
};

struct OutputState {
    RArr2 Cp, Cw, ICp, ICw, BTp;  // A, A, A, A, T
    RArr2 Pp, Pw, PFp, PFw;       // W
    RArr2 Tp, Tw, THp, THw;       // K
    RArr2 dTs, dTp, dTw;          // K (dTs is b x s)
    RArr2 Rho_s, Rho_p, Rho_w;    // Ohm m (Rho_s is b x s)
    RArr2 BSFp_x, BSFp_y, BSFp_z; // T
    RArr2 HF_str_p, HF_str_w;     // W

    OutputTrigger trig_prog;  // Progress.dat and Signals.dat
    OutputTrigger trig_nts;   // snapshot files
    int NTST = 0;             // time steps recorded in the run
};

}  // namespace vorn
