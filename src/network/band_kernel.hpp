// Banded forward elimination without pivoting over raw rows: the kernel of
// the finite cable's network solution.
//
// Row i (1-based, i = 1..Nt) starts at a + (i-1)*ld and its band column c
// (1..nband) is at [c-1]; the diagonal is column W, so column c of row i is
// variable i + c - W.  With rhs, column nband+1 (ld > nband) is a
// right-hand side and is eliminated along.
#pragma once

#include <cstddef>
#include <cstdint>
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

// A stretch of a row: its first band column and number of entries.
struct BandRun {
    std::uint16_t col, len;
};

// Zeros inside a stretch: a gap of fewer than this many zeros between two
// nonzeros of a row stays in the stretch (reading a few zeros costs less
// than starting another stretch).
constexpr int kStretchGap = 4;

// Per row i (at i-1) after the elimination: the band column of its first
// nonzero left of the diagonal (W when none) and of its last nonzero right
// of it (W when none), the spans that substitutions read.  With runs, also
// the nonzero stretches within them: the multipliers' Lruns[LRstart[i-1] ..
// LRstart[i]-1] and right of the diagonal Uruns[URstart[i-1] ..
// URstart[i]-1], in increasing column.
struct BandSpans {
    bool runs = false;  // asked for: the stretches too
    std::vector<int> Lfirst, Ulast;
    std::vector<std::uint32_t> LRstart, URstart;
    std::vector<BandRun> Lruns, Uruns;
};

// The spans (and with s.runs the stretches) of factors already made, by a
// scan of their rows: what band_eliminate reports (at most 65535 band
// columns).
void band_stretches(const double* a, std::size_t ld, int Nt, int W, int nband, BandSpans& s);

// keep: the multiplier of each eliminated entry is left in its place and a
// skipped entry is set to zero (an LU factorisation with unit lower
// diagonal); otherwise eliminated entries are set to zero and skipped ones
// stay as they were.  skipped, when given, receives every skipped nonzero
// entry in the order the elimination meets them.  The results are those of
// band_eliminate_plain bit for bit (every element sees the same operations
// in the same order); the work is ordered for speed (band_kernel.cpp).
// spans, when given, receives each row's stretches.
void band_eliminate(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
                    std::vector<BandSkip>* skipped = nullptr, BandSpans* spans = nullptr);

// The same elimination written as plainly as possible: the reference the
// faster kernel is compared to (bit for bit) and measured against.
void band_eliminate_plain(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs,
                          bool keep, std::vector<BandSkip>* skipped = nullptr);

// The factors of an elimination made with keep, stored as the solutions read
// them: by rows, only the nonzeros, each with its distance from the
// diagonal (at most 65535 band columns, ample for any cable).  Row i of L
// holds the multipliers of variables p = i - Ldist < i in increasing p (unit
// diagonal); row i of U the entries of variables v = i + Udist > i in
// increasing v, and Udiag the diagonal.  Variable numbers are 1..Nt.  The
// rows are kept in blocks of consecutive rows, each block in arrays of its
// own, allocated at the size of its nonzeros once they are known.
struct BandLU {
    struct Block {
        int first = 0, rows = 0;  // rows first .. first+rows-1
        std::vector<std::uint32_t> Lstart, Ustart;  // [k] .. [k+1]-1: row first+k
        std::vector<std::uint16_t> Ldist, Udist;
        std::vector<double> Lval, Uval, Udiag;
    };
    int Nt = 0;
    std::vector<Block> blocks;
    void clear();
    std::size_t bytes() const;  // memory the factors hold
    std::size_t lower_nonzeros() const;
    std::size_t upper_nonzeros() const;
};

// Takes the factors from the rows of an elimination made with keep.
void band_lu_extract(const double* a, std::size_t ld, int Nt, int W, int nband, BandLU& f);

// x = U^-1 L^-1 b (b and x 0-based, Nt long; x may be b).  The forward
// substitution subtracts the multipliers' products from b(i) one by one in
// increasing p, and the backward one sums the products right of the
// diagonal in increasing variable before it subtracts them: the same
// operations in the same order as the elimination of a right-hand side
// along with the matrix followed by the back substitution of solve_array,
// so both give the same bits.
void band_lu_solve(const BandLU& f, const double* b, double* x);

}  // namespace vorn
