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

namespace {

// The stretches of row[lo-1 .. hi-1] one by one: f(first column, last
// column).  A gap of fewer than kPackGap zeros stays inside a stretch.
template <class F>
void stretches(const double* row, int lo, int hi, F f) {
    int c = lo;
    while (c <= hi) {
        if (row[c - 1] == 0.0) {
            ++c;
            continue;
        }
        int e = c;  // last nonzero of the stretch
        for (int k = c + 1; k <= hi && k - e <= kPackGap; ++k)
            if (row[k - 1] != 0.0) e = k;
        f(c, e);
        c = e + 1;
    }
}

// Storage for n values, not yet touched: its pages are taken as they are
// written.  Large blocks are aligned to 2 MB and offered huge pages, so
// that taking them costs a few faults instead of one per 4 kB.
std::unique_ptr<double[], PackedLU::Free> fresh_values(std::size_t n) {
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

void band_pack(double* a, std::size_t ld, int Nt, int W, int nband, const int* Lfirst,
               const int* Ulast, PackedLU& p, bool release) {
    if (nband > 65535) throw std::length_error("band too wide for the packed factors");
    p.clear();
    p.Nt = Nt;
    p.W = W;
    const auto N = std::size_t(Nt);
    std::size_t span = 0;  // the diagonal and right of it, zeros included
    for (std::size_t I = 0; I < N; ++I) span += std::size_t(Ulast[I] - W + 1);
    p.Uval = fresh_values(span);
    p.Lstart.resize(N + 1);
    p.LRstart.resize(N + 1);
    p.Ustart.resize(N + 1);
    p.URstart.resize(N + 1);
    std::size_t w = 0, u = 0;
    for (int i = 1; i <= Nt; ++i) {
        const auto I = std::size_t(i - 1);
        const double* row = a + I * ld;
        p.Lstart[I] = w;
        p.LRstart[I] = std::uint32_t(p.Lruns.size());
        stretches(row, Lfirst[I], W - 1, [&](int c, int e) {
            // a[w] is never later than row[c-1]: memmove copies forwards.
            const auto n = std::size_t(e - c + 1);
            std::memmove(a + w, row + (c - 1), n * sizeof(double));
            w += n;
            p.Lruns.push_back({std::uint16_t(c), std::uint16_t(n)});
        });
        p.Ustart[I] = u;
        p.URstart[I] = std::uint32_t(p.Uruns.size());
        p.Uval[u++] = row[W - 1];
        stretches(row, W + 1, Ulast[I], [&](int c, int e) {
            const auto n = std::size_t(e - c + 1);
            std::memcpy(p.Uval.get() + u, row + (c - 1), n * sizeof(double));
            u += n;
            p.Uruns.push_back({std::uint16_t(c), std::uint16_t(n)});
        });
        if (release && i % kReleaseRows == 0)
            release_pages(a + w + kReleaseMargin, a + std::size_t(i) * ld);
    }
    p.Lstart[N] = w;
    p.LRstart[N] = std::uint32_t(p.Lruns.size());
    p.Ustart[N] = u;
    p.URstart[N] = std::uint32_t(p.Uruns.size());
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
