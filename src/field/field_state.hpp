// Fields and strand electrical state: applied field, self field, total
// field, width profiles, field along a line, critical current and strand
// resistance.  Per-section arrays are b x s (bands 1..NB, sections 2..2NS-1).
#pragma once

#include "support/oarray.hpp"

namespace vorn {

struct FieldState {
    // applied field (T) and its rate (T/s)
    RArr2 Ba_x, Ba_y, Ba_z, dBadt_x, dBadt_y, dBadt_z;
    RArr3 EMF;  // 1..NB x 1..NS-1 x 1..3 (x, y, z parts), V

    // self field
    RArr2 BSF_x, BSF_y, BSF_z, dBSFdt_x, dBSFdt_y, dBSFdt_z;
    RArr3 RSFx, RSFy, RSFz;  // s x -NBSF..NBSF x s, T/A
    RArr1 sff_x, sff_y;      // s, predefined self field per ampere (T/A)
    // work arrays of the self-field products, s x b (sections first),
    // refilled at every calculation
    struct SelfFieldWork {
        RArr2 c, dc;           // section currents (A) and their rates (A/s)
        RArr2 bx, by, rx, ry;  // field (T) and rate (T/s) sums
    } sf_work;

    // total field magnitude and transverse rate
    RArr2 BTs, BDOTs;

    // width profiles
    RArr1 ba1_w_b, ba2_w_b;      // s
    RArr1 ba1_w_emf, ba2_w_emf;  // 1..NS-1

    // field along a line, points 1..NrPFL
    RArr1 BFL_x, BFL_y, BFL_z;
    RArr1 BFLtr_x, BFLtr_y, BFLtr_z;  // T per A in every strand

    // critical current and resistance
    RArr2 ICs, Tcb, Tcs, R_mat, Rs, Rs_prev;
    // Gain-following relaxation of the resistance iteration: ln of the
    // resistance that went into the last iteration and of the value its
    // transition law gave back (ln Ohm).
    RArr2 RsIn_log, RsOut_log;
    int RsGainNTS = -2, RsGainIt = -1, RsGainCntR = -1;  // the iteration they belong to
    double Tc0 = 0, Bc20 = 0;  // K, T
    RArr1 RsSp;                // 1..NrRhoSp, Ohm
};

}  // namespace vorn
