// The network system as the assembly and the solution see it: the numbering
// of the solution variables, the storage of one coefficient and of the
// right-hand side, and where the solution is found afterwards.  The assembly
// writes through these accessors only, and the currents are read back
// through `solution`, so a different factorisation (or storage) can replace
// solve_array / solve_infinit_array without touching the assembly or the
// driver.
//
// Variables of band j (N = NS, NEqB = 5N-3 per band), global number
// (j-1)*NEqB + local index:
//   1..N-1        Cc(j,k), crossing contact k at the start of band j
//   N..3N-1       Ca(j,k), adjacent contact k = 1..2N   (local N-1+k)
//   3N..5N-3      Cs(j,s), section s = 2..2N-1          (local 3N-2+s)
// Row g holds the equation whose diagonal is variable g.
//
// Finite cable: banded storage, element (row g, variable c) in
// A(g, NBw + c - g) with NBw = 7N-1 the diagonal column, band columns
// 1..NCa-1, right-hand side in column NCa.
// Infinitely long cable: one band, full storage A(g, c), c = 1..NEqB, with
// the right-hand side in column NCa = NEqB + 1.
// After the solution Xsol(g) holds variable g in both cases.
#pragma once

#include <cstddef>

#include "control/model.hpp"

namespace vorn {

inline int var_cc(const Model& m, int band, int k) {
    return (band - 1) * m.NEqB + k;
}
inline int var_ca(const Model& m, int band, int k) {
    return (band - 1) * m.NEqB + m.NS - 1 + k;
}
inline int var_cs(const Model& m, int band, int s) {
    return (band - 1) * m.NEqB + 3 * m.NS - 2 + s;
}

// Finite cable, banded storage.
inline double& band_coef(Model& m, int row, int var) {
    return m.A(row, m.NBw + var - row);
}
// Adds v to band column col of row: in A, or as AsmMode says (network_state.hpp).
void operator_add(Model& m, int row, int col, double v);
// Adds f * v[k] to band columns col + k of row, k = 0..n-1, each as
// operator_add would (AsmMode 2): one search for the row's first place.
void operator_add_run(Model& m, int row, int col, const double* v, int n, double f);
inline void band_add(Model& m, int row, int col, double v) {
    if (m.AsmMode == 0)
        m.A(row, col) += v;
    else if (m.AsmMode == 2)
        operator_add(m, row, col, v);
}
// The right-hand side: column NCa of A while the assembly writes the whole
// band, else Rhs (A holds factors).
inline double& band_rhs(Model& m, int row) {
    return m.AsmMode == 0 ? m.A(row, m.NCa) : m.Rhs(row);
}
// The right-hand side of the last assembly of the finite system, also after
// its factorisation.
inline double finite_rhs(const Model& m, int row) {
    return m.AsmMode != 0 || m.A_LU.compact == 1 ? m.Rhs(row) : m.A(row, m.NCa);
}
// Column offset to pass to inductance() so that the section currents of
// `band` land in their band columns of `row`:
// NColOff + NBw + 3N-2+s = NBw + var_cs(band, s) - row.
inline int band_col_offset(const Model& m, int row, int band) {
    return (band - 1) * m.NEqB - row;
}

// Infinitely long cable, full storage of its single band.
inline double& full_coef(Model& m, int row, int var) {
    return m.A(row, var);
}
inline double& full_rhs(Model& m, int row) {
    return m.A(row, m.NCa);
}

// Value of variable g after solve_array or solve_infinit_array.
inline double solution(const Model& m, int var) {
    return m.Xsol(var);
}
// Keeps x (0-based, n values) as the solution of variables 1..n.
void keep_solution(Model& m, const double* x, int n);

}  // namespace vorn
