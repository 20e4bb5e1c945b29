// Packing of the banded factors in place and the substitutions with them.
#include "network/band_pack.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#endif

#include "support/simd_dot.hpp"

namespace vorn {

void PackedLU::Free::operator()(double* p) const { std::free(p); }

void PackedLU::clear() {
    Nt = W = 0;
    for (auto* v : {&Lstart, &Ustart}) std::vector<std::size_t>().swap(*v);
    for (auto* v : {&LRstart, &URstart}) std::vector<std::uint32_t>().swap(*v);
    for (auto* v : {&Lruns, &Uruns}) std::vector<Run>().swap(*v);
    Uval.reset();
}

// Storage for n values, not yet touched: its pages are taken as they are
// written.  Large blocks are aligned to 2 MB and offered huge pages, so
// that taking them costs a few faults instead of one per 4 kB.
std::unique_ptr<double[], PackedLU::Free> packed_values(std::size_t n) {
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    std::size_t bytes = std::max<std::size_t>(n, 1) * sizeof(double);
    const bool huge = bytes >= 4 * kHuge;
    const std::size_t align = huge ? kHuge : alignof(std::max_align_t);
    bytes = (bytes + align - 1) / align * align;
    auto* p = static_cast<double*>(std::aligned_alloc(align, bytes));
    if (!p) throw std::bad_alloc();
#ifdef __linux__
    if (huge) madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return std::unique_ptr<double[], PackedLU::Free>(p);
}

namespace {

// Rows packed between two hand-backs of the pages behind them, and the
// stretch kept in front of the packed multipliers (they will grow into it).
constexpr int kReleaseRows = 256;
constexpr std::size_t kReleaseMargin = std::size_t(1) << 17;  // values

// Rows are read this many rows ahead of their use: the packed rows are
// contiguous, but each is short and the prefetchers do not cross into the
// next soon enough.
constexpr int kRowsAhead = 4;

VORN_SIMD_INLINE void prefetch(const double* first, const double* last) {
    for (const double* p = first; p < last; p += 8) __builtin_prefetch(p);
}

}  // namespace

void band_pack(double* a, std::size_t ld, int Nt, int W, BandSpans& s, PackedLU& p,
               bool release) {
    if (!s.runs || s.LRstart.size() != std::size_t(Nt) + 1)
        throw std::invalid_argument("band_pack needs the stretches of every row");
    p.clear();
    p.Nt = Nt;
    p.W = W;
    const auto N = std::size_t(Nt);
    std::size_t upper = N;  // diagonals
    for (const BandRun& r : s.Uruns) upper += r.len;
    p.Uval = packed_values(upper);
    p.Lstart.resize(N + 1);
    p.Ustart.resize(N + 1);
    std::size_t w = 0, u = 0;
    for (std::size_t I = 0; I < N; ++I) {
        const double* row = a + I * ld;
        p.Lstart[I] = w;
        for (std::uint32_t r = s.LRstart[I]; r < s.LRstart[I + 1]; ++r) {
            // a[w] is never later than the row's entries: memmove copies
            // forwards.
            const std::size_t n = s.Lruns[r].len;
            std::memmove(a + w, row + (s.Lruns[r].col - 1), n * sizeof(double));
            w += n;
        }
        p.Ustart[I] = u;
        p.Uval[u++] = row[W - 1];
        for (std::uint32_t r = s.URstart[I]; r < s.URstart[I + 1]; ++r) {
            const std::size_t n = s.Uruns[r].len;
            std::memcpy(p.Uval.get() + u, row + (s.Uruns[r].col - 1), n * sizeof(double));
            u += n;
        }
        if (release && (I + 1) % kReleaseRows == 0)
            release_pages(a + w + kReleaseMargin, a + (I + 1) * ld);
    }
    p.Lstart[N] = w;
    p.Ustart[N] = u;
    p.LRstart = std::move(s.LRstart);
    p.URstart = std::move(s.URstart);
    p.Lruns = std::move(s.Lruns);
    p.Uruns = std::move(s.Uruns);
    if (release) release_pages(a + w, a + N * ld);
}

VORN_CLONES void band_packed_solve(
    const PackedLU& p, const double* a, const double* b, double* x) {
    const int Nt = p.Nt, W = p.W;
    const PackedLU::Run* runs = p.Lruns.data();
    for (int i = 1; i <= Nt; ++i) {
        const auto I = std::size_t(i - 1);
        if (i + kRowsAhead <= Nt) prefetch(a + p.Lstart[I + kRowsAhead], a + p.Lstart[I + kRowsAhead + 1]);
        const double* v = a + p.Lstart[I];
        double s = 0.0;
        for (std::uint32_t r = p.LRstart[I]; r < p.LRstart[I + 1]; ++r) {
            s += dot8(v, x + (i + runs[r].col - W - 1), runs[r].len);
            v += runs[r].len;
        }
        x[I] = b[I] - s;
    }
    runs = p.Uruns.data();
    const double* uval = p.Uval.get();
    for (int i = Nt; i >= 1; --i) {
        const auto I = std::size_t(i - 1);
        if (i - kRowsAhead >= 1) prefetch(uval + p.Ustart[I - kRowsAhead], uval + p.Ustart[I - kRowsAhead + 1]);
        const double* v = uval + p.Ustart[I];
        const double diag = *v++;
        double s = 0.0;
        for (std::uint32_t r = p.URstart[I]; r < p.URstart[I + 1]; ++r) {
            s += dot8(v, x + (i + runs[r].col - W - 1), runs[r].len);
            v += runs[r].len;
        }
        x[I] = (x[I] - s) / diag;
    }
}

void release_pages(double* first, double* last) {
#ifdef __linux__
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t lo = (reinterpret_cast<std::uintptr_t>(first) + page - 1) & ~(page - 1);
    const std::uintptr_t hi = reinterpret_cast<std::uintptr_t>(last) & ~(page - 1);
    if (hi > lo) madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_DONTNEED);
#else
    (void)first;
    (void)last;
#endif
}

}  // namespace vorn
