// Older factors made exact again: while only some coefficients of the band
// have changed since its factors P0 were made (the resistances of a
// quenching zone), the present band is P = P0 + sum_c u_c e_c^T over the
// changed columns c (u_c: the change of column c, nonzero in a few rows),
// and
//   P^-1 y = z0 - W (I + V^T W)^-1 V^T z0,   z0 = P0^-1 y,
// with W = [P0^-1 u_c] and V = [e_c] (the Woodbury identity).  The images
// P0^-1 e_r of the changed rows are made once per row and factors and kept
// (BandUpdateCache); W is combined from them once per solution, so that a
// correction costs one pass over W and a dense solution of the small
// system per substitution.  The implicit solution then converges as with
// factors of the present band without making them.
#pragma once

#include <vector>

#include "control/model.hpp"

namespace vorn {

struct BandUpdate {
    std::vector<int> row, col;   // changed entries, by rows (variables 1..NEq)
    std::vector<double> delta;   // their change since the factors (band units)
    std::vector<int> slot;       // of their row's column in the cache
    std::vector<int> cols;       // the changed columns (variables), increasing
    std::vector<double> Wc;      // P0^-1 u_c for each of them, Nt values each
    std::vector<double> M;       // LU of I + V^T W, k x k by rows (k columns)
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
