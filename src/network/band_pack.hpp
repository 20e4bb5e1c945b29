// The factors of a banded elimination packed in place for the implicit
// solution's substitutions: only the stretches of each row that hold
// nonzeros, moved to the front of the rows' own storage.
//
// Rows as in band_kernel.hpp: row i (1..Nt) starts at a + (i-1)*ld, band
// column c (1..nband) at [c-1], the diagonal in column W, column c of row i
// is variable i + c - W.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vorn {

// Zeros inside a stretch: a gap of fewer than this many zeros between two
// nonzeros of a row is kept in the stretch (reading a few zeros costs less
// than starting another stretch).
constexpr int kPackGap = 4;

struct PackedLU {
    struct Run {
        std::uint16_t col, len;  // first band column, number of entries
    };
    int Nt = 0, W = 0;
    // The multipliers of row i (at [i-1]), stretch after stretch: values
    // a[Lstart[i-1] .. Lstart[i]-1] in the band's own storage, stretches
    // Lruns[LRstart[i-1] .. LRstart[i]-1].
    std::vector<std::size_t> Lstart;
    std::vector<std::uint32_t> LRstart;
    std::vector<Run> Lruns;
    // The diagonal and the entries right of it: row i has Uval[Ustart[i-1]]
    // (its diagonal) and then its stretches' values up to Ustart[i]-1; its
    // stretches are Uruns[URstart[i-1] .. URstart[i]-1].
    std::vector<std::size_t> Ustart;
    std::vector<std::uint32_t> URstart;
    std::vector<Run> Uruns;
    struct Free {
        void operator()(double* p) const;
    };
    std::unique_ptr<double[], Free> Uval;
    void clear();
    std::size_t lower_values() const { return Lstart.empty() ? 0 : Lstart.back(); }
    std::size_t upper_values() const { return Ustart.empty() ? 0 : Ustart.back(); }
};

// Packs the factors of an elimination made with keep (band_eliminate): the
// multipliers' stretches (band columns Lfirst[i-1] .. W-1) to the front of
// a[], row after row (each value moves to a place no later than its own,
// so the rows not yet packed are intact); the diagonal and the stretches
// right of it (W+1 .. Ulast[i-1]) to Uval (made at the size of the rows'
// spans W .. Ulast; only the pages written are taken).  The pages of a[] behind the
// packed multipliers are handed back to the system as the rows are done,
// so that the memory held never exceeds the band's.
// release = false keeps every page of a[] (small bands, where the memory
// matters less than taking the pages again at the next assembly).
void band_pack(double* a, std::size_t ld, int Nt, int W, int nband, const int* Lfirst,
               const int* Ulast, PackedLU& p, bool release = true);

// x = U^-1 L^-1 b with the packed factors, the multipliers in a[] (b and x
// 0-based, Nt long).  The products of each stretch are summed in eight
// interleaved partial sums, the same on every processor (no fused
// multiply-add), and the stretches of a row one after the other: not the
// order of the elimination, so the result agrees with the other
// substitutions to rounding only.
void band_packed_solve(const PackedLU& p, const double* a, const double* b, double* x);

// Hands the whole pages within [first, last) back to the system (their
// contents become zero); elsewhere than on Linux it does nothing.
void release_pages(double* first, double* last);

}  // namespace vorn
