// Banded forward elimination without pivoting over raw rows: the kernel of
// the finite cable's network solution.
//
// Row i (1-based, i = 1..Nt) starts at a + (i-1)*ld and its band column c
// (1..nband) is at [c-1]; the diagonal is column W, so column c of row i is
// variable i + c - W.  With rhs, column nband+1 (ld > nband) is a
// right-hand side and is eliminated along.
#pragma once

#include <cstddef>
#include <vector>

namespace vorn {

// Factors of at most this magnitude (or not a number) leave the row as it
// is: structurally zero entries are never processed.
constexpr double kNegligibleFactor = 1e-25;

// An entry left of the diagonal whose elimination was skipped (factor
// negligible or not a number) although the entry is not zero.
struct BandSkip {
    int row, col;  // row i, band column c
    double value;
};

// keep: the multiplier of each eliminated entry is left in its place and a
// skipped entry is set to zero (an LU factorisation with unit lower
// diagonal); otherwise eliminated entries are set to zero and skipped ones
// stay as they were.  skipped, when given, receives every skipped nonzero
// entry in the order the elimination meets them.
void band_eliminate(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
                    std::vector<BandSkip>* skipped = nullptr);

// The same elimination written as plainly as possible: the reference the
// faster kernel is compared to (bit for bit) and measured against.
void band_eliminate_plain(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs,
                          bool keep, std::vector<BandSkip>* skipped = nullptr);

}  // namespace vorn
