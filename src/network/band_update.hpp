// Older factors made exact again: while only some coefficients of the band
// have changed since its factors P0 were made (the resistances of a
// quenching zone), the present band is P = P0 + sum_i delta_i e_ri e_ci^T
// over the changed entries i (row r_i, variable c_i), and
//   P^-1 y = z0 - W (I + D V^T W)^-1 D V^T z0,   z0 = P0^-1 y,
// with W = [P0^-1 e_ri], V = [e_ci], D = diag(delta_i) (the Woodbury
// identity).  The columns P0^-1 e_r are made once per row and factors and
// kept (BandUpdateCache), so that a correction costs one pass over the
// kept columns and a dense solution of the small system per substitution;
// the implicit solution then converges as with factors of the present band
// without making them.
#pragma once

#include <vector>

#include "control/model.hpp"

namespace vorn {

struct BandUpdate {
    std::vector<int> row, col;   // changed entries, by rows (variables 1..NEq)
    std::vector<double> delta;   // their change since the factors (band units)
    std::vector<int> slot;       // of their row's column in the cache
    std::vector<double> M;       // LU of I + D V^T W, k x k by rows
    std::vector<int> piv;        // its row interchanges
    bool active() const { return !row.empty(); }
};

// The change of the band assembled for older factors (AsmMode 2, the
// values in A_LU.Oval) since they were made, with the kept columns it needs
// made now.  False when the change is too large for a low-rank correction
// to pay (the band is then better factorised) or its small system is
// singular; u is then empty.  No change at all gives true and an empty u.
bool band_update_prepare(Model& m, BandUpdate& u);

// z = P0^-1 y in, P^-1 y out (z has NEq values, variable g at g-1).
void band_update_apply(const Model& m, const BandUpdate& u, double* z);

}  // namespace vorn
