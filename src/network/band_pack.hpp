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

#include "network/band_kernel.hpp"

namespace vorn {

// Zeros inside a stretch (band_kernel.hpp).
constexpr int kPackGap = kStretchGap;

struct PackedLU {
    using Run = BandRun;
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

// Storage for n values of Uval, not yet touched.
std::unique_ptr<double[], PackedLU::Free> packed_values(std::size_t n);

// Packs the factors of an elimination made with keep (band_eliminate) by
// their stretches s (the elimination's, or band_stretches'; taken over by
// p): the multipliers' stretches to the front of a[], row after row (each
// value moves to a place no later than its own, so the rows not yet packed
// are intact); the diagonal and the stretches right of it to Uval (only the
// pages written are taken).  With release, the pages of a[] behind the
// packed multipliers are handed back to the system as the rows are done,
// so that the memory held never exceeds the band's; without, a[] keeps them
// (small bands, where taking them again at the next assembly costs more).
void band_pack(double* a, std::size_t ld, int Nt, int W, BandSpans& s, PackedLU& p,
               bool release = true);

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
