// Banded forward elimination (see band_kernel.hpp).
#include "network/band_kernel.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <utility>

namespace vorn {

namespace {

#define VORN_INLINE inline __attribute__((always_inline))

// Rows asked for ahead of the one being worked on (they come from memory
// once each).
constexpr int kAhead = 2;

VORN_INLINE void prefetch_row(const double* a, std::size_t ld, int Nt, int i) {
    if (i > Nt) return;
    const char* r = reinterpret_cast<const char*>(a + std::size_t(i - 1) * ld);
    for (std::size_t b = 0; b < ld * sizeof(double); b += 64) __builtin_prefetch(r + b);
}

// One pivot step: only the W-1 rows below pivot p can reach its column, and
// each update is one stretch of band columns that ends at the pivot row's
// last nonzero band column (beyond it the update would subtract zeros).
inline void pivot_step(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
                       std::vector<BandSkip>* skipped, int p) {
    const double* rp = a + std::size_t(p - 1) * ld;
    const double piv = rp[W - 1];
    int len = nband - W;  // band columns right of the diagonal
    while (len > 0 && rp[W + len - 1] == 0.0) --len;
    const int last = std::min(Nt, p + W - 1);
    for (int i = p + 1; i <= last; ++i) {
        const int d = i - p;
        double* ri = a + std::size_t(i - 1) * ld;
        double& lead = ri[W - d - 1];  // column W-d: variable p
        if (lead == 0.0) continue;     // factor 0, or NaN for a zero pivot
        const double f = lead / piv;
        if (!(std::abs(f) > kNegligibleFactor)) {
            if (skipped) skipped->push_back({i, W - d, lead});
            if (keep) lead = 0.0;
            continue;
        }
        lead = keep ? f : 0.0;
        if (rhs) ri[nband] -= f * rp[nband];
        double* dst = ri + (W - d);  // columns W-d+1 .. nband-d
        const double* src = rp + W;  // columns W+1 .. nband
        for (int n = 0; n < len; ++n) dst[n] -= f * src[n];
    }
}

}  // namespace

void band_eliminate_plain(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs,
                          bool keep, std::vector<BandSkip>* skipped) {
    for (int p = 1; p <= Nt - 1; ++p) pivot_step(a, ld, Nt, W, nband, rhs, keep, skipped, p);
}

// The fast elimination works row by row: row i receives the updates of its
// pivots p = i-W+1 .. i-1 in increasing p, which is the order in which the
// pivot-by-pivot loop above applies them to each of its elements, so every
// element sees the same operations in the same order.  Rows p < i are
// finished when row i is worked on, and the pivot rows of row i are the W-1
// rows above it, which stay in the cache from one row to the next.
//
// Up to kGroup pivots with nonzero multipliers are gathered and applied in
// one pass over row i (each element of the row is loaded and stored once for
// the group instead of once per pivot).  The leads of the pivots that come
// after a gathered one are brought up to date one by one first (they decide
// which pivots are gathered).  In the pass, a pivot's row is read beyond its
// last nonzero (up to the end of its band row) where another pivot of the
// group still reaches: x - f*0 is x for every x except -0 (and a signalling
// NaN), and f*0 is 0 for a finite f, so a multiplier that is not finite is
// applied on its own, and a row that holds a -0 or a NaN before its
// elimination takes the pivot-by-pivot updates over the exact ranges.
// Zero or non-finite pivots thus follow the plain arithmetic.

namespace {

constexpr int kGroup = 8;

struct Gathered {
    const double* src;  // band column W+1 of pivot row q: variable q+1
    double f;           // multiplier
    int q;              // pivot
    int len;            // band columns right of the diagonal up to its last nonzero
    int first;          // its first nonzero right of the diagonal (0-based), <= len
};

VORN_INLINE void update_1(double* __restrict d, const double* __restrict s0, double f0,
                          std::ptrdiff_t n) {
    for (std::ptrdiff_t k = 0; k < n; ++k) d[k] -= f0 * s0[k];
}

VORN_INLINE void update_2(double* __restrict d, const double* __restrict s0,
                          const double* __restrict s1, double f0, double f1, std::ptrdiff_t n) {
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        double t = d[k];
        t -= f0 * s0[k];
        t -= f1 * s1[k];
        d[k] = t;
    }
}

VORN_INLINE void update_3(double* __restrict d, const double* __restrict s0,
                          const double* __restrict s1, const double* __restrict s2, double f0,
                          double f1, double f2, std::ptrdiff_t n) {
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        double t = d[k];
        t -= f0 * s0[k];
        t -= f1 * s1[k];
        t -= f2 * s2[k];
        d[k] = t;
    }
}

VORN_INLINE void update_4(double* __restrict d, const double* __restrict s0,
                          const double* __restrict s1, const double* __restrict s2,
                          const double* __restrict s3, double f0, double f1, double f2, double f3,
                          std::ptrdiff_t n) {
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        double t = d[k];
        t -= f0 * s0[k];
        t -= f1 * s1[k];
        t -= f2 * s2[k];
        t -= f3 * s3[k];
        d[k] = t;
    }
}

VORN_INLINE void update_8(double* __restrict d, const double* const* s, const double* f,
                          std::ptrdiff_t n) {
    const double* __restrict s0 = s[0];
    const double* __restrict s1 = s[1];
    const double* __restrict s2 = s[2];
    const double* __restrict s3 = s[3];
    const double* __restrict s4 = s[4];
    const double* __restrict s5 = s[5];
    const double* __restrict s6 = s[6];
    const double* __restrict s7 = s[7];
    const double f0 = f[0], f1 = f[1], f2 = f[2], f3 = f[3], f4 = f[4], f5 = f[5], f6 = f[6],
                 f7 = f[7];
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        double t = d[k];
        t -= f0 * s0[k];
        t -= f1 * s1[k];
        t -= f2 * s2[k];
        t -= f3 * s3[k];
        t -= f4 * s4[k];
        t -= f5 * s5[k];
        t -= f6 * s6[k];
        t -= f7 * s7[k];
        d[k] = t;
    }
}

// Applies the gathered pivots g[0..ng) (increasing q) to the variables
// v >= from of row i; x(v) is at xi[v].  `reach` is the band columns right
// of the diagonal (nband - W): pivot q's row holds variables up to q+reach.
VORN_INLINE void apply_group(double* xi, const Gathered* g, int ng, int from, int reach) {
    int lo = g[0].q + 1 + g[0].first, hi = g[0].q + g[0].len;
    for (int l = 1; l < ng; ++l) {
        lo = std::min(lo, g[l].q + 1 + g[l].first);
        hi = std::max(hi, g[l].q + g[l].len);
    }
    lo = std::max(lo, from);
    // Variables every pivot row can be read at (zeros beyond a row's last
    // nonzero), then the rest pivot by pivot.
    const int common = std::min(hi, g[0].q + reach);
    const std::ptrdiff_t n = common - lo + 1;
    if (n > 0) {
        double* d = xi + lo;
        auto s = [&](int l) { return g[l].src + (lo - g[l].q - 1); };
        const double* sp[kGroup];
        double fp[kGroup];
        for (int l = 0; l < ng; ++l) {
            sp[l] = s(l);
            fp[l] = g[l].f;
        }
        if (ng == 8) {
            update_8(d, sp, fp, n);
        } else if (ng > 4) {
            update_4(d, sp[0], sp[1], sp[2], sp[3], fp[0], fp[1], fp[2], fp[3], n);
            switch (ng) {
                case 5: update_1(d, sp[4], fp[4], n); break;
                case 6: update_2(d, sp[4], sp[5], fp[4], fp[5], n); break;
                default: update_3(d, sp[4], sp[5], sp[6], fp[4], fp[5], fp[6], n); break;
            }
        } else switch (ng) {
            case 1: update_1(d, s(0), g[0].f, n); break;
            case 2: update_2(d, s(0), s(1), g[0].f, g[1].f, n); break;
            case 3: update_3(d, s(0), s(1), s(2), g[0].f, g[1].f, g[2].f, n); break;
            default:
                update_4(d, s(0), s(1), s(2), s(3), g[0].f, g[1].f, g[2].f, g[3].f, n);
                break;
        }
    }
    const int tail = std::max(lo, common + 1);
    for (int l = 0; l < ng; ++l) {
        const int end = g[l].q + g[l].len;
        if (end >= tail) update_1(xi + tail, g[l].src + (tail - g[l].q - 1), g[l].f, end - tail + 1);
    }
}

// Whether row r (band columns 1..nband) holds a -0 or a NaN.
// (On the bits, so that the scan is vectorised: -0 is the sign bit alone,
// a NaN has all exponent bits and a nonzero fraction.)
VORN_INLINE bool row_needs_exact_ranges(const double* r, int nband) {
    constexpr std::uint64_t sign = 0x8000000000000000u, inf = 0x7ff0000000000000u;
    std::uint64_t bad = 0;
    for (int c = 0; c < nband; ++c) {
        std::uint64_t b;
        std::memcpy(&b, r + c, sizeof b);
        bad |= std::uint64_t(b == sign) | std::uint64_t((b & ~sign) > inf);
    }
    return bad != 0;
}

struct RowInfo {
    std::vector<int> len, first;  // per row, 0-based index i-1
};

// Eliminates row i with its pivots (rows above it, finished).
VORN_INLINE void eliminate_row(double* a, std::size_t ld, int W, int nband, bool rhs, bool keep,
                               std::vector<BandSkip>* skipped, const RowInfo& info, int i) {
    double* ri = a + std::size_t(i - 1) * ld;
    double* xi = ri + (W - 1) - i;  // xi[v]: variable v of row i (v > i - W)
    const int reach = nband - W;
    const bool exact = row_needs_exact_ranges(ri, nband);
    Gathered g[kGroup];
    int ng = 0;
    for (int p = std::max(1, i - W + 1); p <= i - 1; ++p) {
        if (ng == 0)  // nothing pending: skip the zero leads at once
            while (p < i - 1 && xi[p] == 0.0) ++p;
        double x = xi[p];
        for (int l = 0; l < ng; ++l) {
            const int n = p - g[l].q - 1;
            if (n < g[l].len) x -= g[l].f * g[l].src[n];
        }
        xi[p] = x;
        if (x == 0.0) continue;  // factor 0, or NaN for a zero pivot
        const double* rp = a + std::size_t(p - 1) * ld;
        const double f = x / rp[W - 1];
        if (!(std::abs(f) > kNegligibleFactor)) {
            if (skipped) skipped->push_back({i, W - (i - p), x});
            if (keep) xi[p] = 0.0;
            continue;
        }
        xi[p] = keep ? f : 0.0;
        if (rhs) ri[nband] -= f * rp[nband];
        const int len = info.len[std::size_t(p - 1)];
        if (exact || !std::isfinite(f)) {
            if (ng > 0) apply_group(xi, g, ng, p + 1, reach);
            ng = 0;
            update_1(xi + p + 1, rp + W, f, len);
            continue;
        }
        g[ng++] = {rp + W, f, p, len, std::min(info.first[std::size_t(p - 1)], len)};
        if (ng == kGroup) {
            apply_group(xi, g, ng, p + 1, reach);
            ng = 0;
        }
    }
    if (ng > 0) apply_group(xi, g, ng, i, reach);
}

// Appends the stretches of row[lo-1 .. hi-1] (band columns lo..hi) to runs.
VORN_INLINE void add_stretches(const double* row, int lo, int hi, std::vector<BandRun>& runs) {
    int c = lo;
    while (c <= hi) {
        if (row[c - 1] == 0.0) {
            ++c;
            continue;
        }
        int e = c;  // last nonzero of the stretch
        for (int k = c + 1; k <= hi && k - e <= kStretchGap; ++k)
            if (row[k - 1] != 0.0) e = k;
        runs.push_back({std::uint16_t(c), std::uint16_t(e - c + 1)});
        c = e + 1;
    }
}

void prepare_spans(BandSpans& s, int Nt) {
    const auto N = std::size_t(Nt);
    s.Lfirst.assign(N, 0);
    s.Ulast.assign(N, 0);
    s.Lruns.clear();
    s.Uruns.clear();
    if (s.runs) {
        s.LRstart.assign(N + 1, 0);
        s.URstart.assign(N + 1, 0);
    }
}

// Row i (ri its band columns) with its first multiplier in column lfirst
// and len entries right of the diagonal up to its last nonzero: its spans,
// not beyond the last variable, and when asked its stretches.
VORN_INLINE void record_row(const double* ri, int i, int Nt, int W, int lfirst, int len,
                            BandSpans& s) {
    const auto I = std::size_t(i - 1);
    const int ulast = std::min(W + len, std::max(W, Nt - i + W));
    s.Lfirst[I] = lfirst;
    s.Ulast[I] = ulast;
    if (!s.runs) return;
    s.LRstart[I] = std::uint32_t(s.Lruns.size());
    add_stretches(ri, lfirst, W - 1, s.Lruns);
    s.URstart[I] = std::uint32_t(s.Uruns.size());
    add_stretches(ri, W + 1, ulast, s.Uruns);
    s.LRstart[I + 1] = std::uint32_t(s.Lruns.size());
    s.URstart[I + 1] = std::uint32_t(s.Uruns.size());
}

// Entries right of the diagonal up to the last nonzero, and the column of
// the first nonzero left of it (W: none), of row i.
VORN_INLINE int right_length(const double* ri, int W, int nband) {
    const double* r = ri + W;
    int len = nband - W;
    while (len > 0 && r[len - 1] == 0.0) --len;
    return len;
}
VORN_INLINE int first_left(const double* ri, int i, int W) {
    int c = std::max(1, W - i + 1);
    while (c < W && ri[c - 1] == 0.0) ++c;
    return c;
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void eliminate_rows(
    double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
    std::vector<BandSkip>* skipped, RowInfo& info, BandSpans* spans) {
    for (int i = 1; i <= Nt; ++i) {
        prefetch_row(a, ld, Nt, i + kAhead);
        eliminate_row(a, ld, W, nband, rhs, keep, skipped, info, i);
        // Its last and first nonzero right of the diagonal, for its use as
        // a pivot row; and while the row is at hand, what its substitutions
        // will read.
        const double* ri = a + std::size_t(i - 1) * ld;
        const double* r = ri + W;
        const int len = right_length(ri, W, nband);
        int first = 0;
        while (first < len && r[first] == 0.0) ++first;
        info.len[std::size_t(i - 1)] = len;
        info.first[std::size_t(i - 1)] = first;
        if (spans) record_row(ri, i, Nt, W, first_left(ri, i, W), len, *spans);
    }
}

}  // namespace

void band_eliminate(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
                    std::vector<BandSkip>* skipped, BandSpans* spans) {
    if (Nt < 1) return;
    RowInfo info;
    info.len.resize(std::size_t(Nt));
    info.first.resize(std::size_t(Nt));
    if (spans) {
        if (nband > 65535) throw std::length_error("band too wide for its stretches");
        prepare_spans(*spans, Nt);
    }
    const std::size_t before = skipped ? skipped->size() : 0;
    eliminate_rows(a, ld, Nt, W, nband, rhs, keep, skipped, info, spans);
    // Reported in the order of the pivot-by-pivot loop: by pivot, then row.
    if (skipped)
        std::sort(skipped->begin() + std::ptrdiff_t(before), skipped->end(),
                  [W](const BandSkip& x, const BandSkip& y) {
                      const int px = x.row + x.col - W, py = y.row + y.col - W;
                      return px != py ? px < py : x.row < y.row;
                  });
}

void band_stretches(const double* a, std::size_t ld, int Nt, int W, int nband, BandSpans& s) {
    if (nband > 65535) throw std::length_error("band too wide for its stretches");
    prepare_spans(s, std::max(Nt, 0));
    for (int i = 1; i <= Nt; ++i) {
        const double* ri = a + std::size_t(i - 1) * ld;
        record_row(ri, i, Nt, W, first_left(ri, i, W), right_length(ri, W, nband), s);
    }
}

void BandLU::clear() {
    Nt = 0;
    std::vector<Block>().swap(blocks);
}

std::size_t BandLU::bytes() const {
    std::size_t n = sizeof(Block) * blocks.capacity();
    for (const Block& b : blocks)
        n += sizeof(std::uint32_t) * (b.Lstart.capacity() + b.Ustart.capacity()) +
             sizeof(std::uint16_t) * (b.Ldist.capacity() + b.Udist.capacity()) +
             sizeof(double) * (b.Lval.capacity() + b.Uval.capacity() + b.Udiag.capacity());
    return n;
}

std::size_t BandLU::lower_nonzeros() const {
    std::size_t n = 0;
    for (const Block& b : blocks) n += b.Lval.size();
    return n;
}

std::size_t BandLU::upper_nonzeros() const {
    std::size_t n = 0;
    for (const Block& b : blocks) n += b.Uval.size();
    return n;
}

namespace {

// Rows per block of the stored factors.
constexpr int kBlockRows = 128;
// Rows of U asked for ahead of the backward substitution.
constexpr std::size_t kSolveAhead = 6;

// Band columns lo..hi (1-based) of row r narrowed to its first and last
// nonzero (lo > hi when there is none).
inline void nonzero_range(const double* r, int& lo, int& hi) {
    while (lo <= hi && r[lo - 1] == 0.0) ++lo;
    while (hi >= lo && r[hi - 1] == 0.0) --hi;
}

// Appends the nonzeros of band columns lo..hi of r at pos, with their
// distance |c - W| from the diagonal.  Written without branches: every
// entry is stored and the position moves on past the nonzeros only (the
// arrays need one slot more than the nonzeros).
inline std::uint32_t copy_nonzeros(const double* r, int lo, int hi, int W, double* val,
                                   std::uint16_t* dist, std::uint32_t pos) {
    for (int c = lo; c <= hi; ++c) {
        const double v = r[c - 1];
        val[pos] = v;
        dist[pos] = std::uint16_t(c < W ? W - c : c - W);
        pos += v != 0.0 ? 1 : 0;
    }
    return pos;
}

// Room for the nonzeros of one block: every entry of its rows' ranges.
struct Scratch {
    std::vector<double> Lval, Uval;
    std::vector<std::uint16_t> Ldist, Udist;
};

// Rows first .. first+b.rows-1 into block b, in one pass over the rows
// (through the scratch arrays, from which the block takes its nonzeros at
// their exact number).  Row i holds variables i+c-W, c = 1..nband, of
// which 1..Nt exist.
void extract_block(const double* a, std::size_t ld, int Nt, int W, int nband, Scratch& t,
                   BandLU::Block& b) {
    b.Lstart.assign(std::size_t(b.rows) + 1, 0);
    b.Ustart.assign(std::size_t(b.rows) + 1, 0);
    b.Udiag.resize(std::size_t(b.rows));
    std::uint32_t pl = 0, pu = 0;
    for (int k = 0; k < b.rows; ++k) {
        const int i = b.first + k;
        const double* ri = a + std::size_t(i - 1) * ld;
        prefetch_row(a, ld, Nt, i + kAhead);
        int llo = std::max(1, W - i + 1), lhi = W - 1;
        int ulo = W + 1, uhi = std::min(nband, Nt - i + W);
        nonzero_range(ri, llo, lhi);
        nonzero_range(ri, ulo, uhi);
        pl = copy_nonzeros(ri, llo, lhi, W, t.Lval.data(), t.Ldist.data(), pl);
        pu = copy_nonzeros(ri, ulo, uhi, W, t.Uval.data(), t.Udist.data(), pu);
        b.Lstart[std::size_t(k) + 1] = pl;
        b.Ustart[std::size_t(k) + 1] = pu;
        b.Udiag[std::size_t(k)] = ri[W - 1];
    }
    b.Lval.assign(t.Lval.begin(), t.Lval.begin() + pl);
    b.Ldist.assign(t.Ldist.begin(), t.Ldist.begin() + pl);
    b.Uval.assign(t.Uval.begin(), t.Uval.begin() + pu);
    b.Udist.assign(t.Udist.begin(), t.Udist.begin() + pu);
}

}  // namespace

void band_lu_extract(const double* a, std::size_t ld, int Nt, int W, int nband, BandLU& f) {
    f.clear();
    if (W - 1 > 65535 || nband - W > 65535)
        throw std::length_error("band too wide for the stored factors");
    f.Nt = Nt;
    f.blocks.resize(std::size_t((Nt + kBlockRows - 1) / kBlockRows));
    Scratch t;  // one slot more: the copy stores every entry before it moves on
    t.Lval.resize(std::size_t(kBlockRows) * std::size_t(W - 1) + 1);
    t.Ldist.resize(t.Lval.size());
    t.Uval.resize(std::size_t(kBlockRows) * std::size_t(std::max(nband - W, 0)) + 1);
    t.Udist.resize(t.Uval.size());
    for (std::size_t k = 0; k < f.blocks.size(); ++k) {
        BandLU::Block& b = f.blocks[k];
        b.first = 1 + int(k) * kBlockRows;
        b.rows = std::min(kBlockRows, Nt - b.first + 1);
        extract_block(a, ld, Nt, W, nband, t, b);
    }
}

void band_lu_solve(const BandLU& f, const double* b, double* x) {
    for (const BandLU::Block& blk : f.blocks) {
        const double* const val = blk.Lval.data();
        const std::uint16_t* const dist = blk.Ldist.data();
        for (std::size_t k = 0; k < std::size_t(blk.rows); ++k) {
            const std::size_t i = std::size_t(blk.first - 1) + k;  // 0-based
            double v = b[i];
            for (std::uint32_t e = blk.Lstart[k]; e < blk.Lstart[k + 1]; ++e)
                v -= val[e] * x[i - dist[e]];
            x[i] = v;
        }
    }
    for (auto it = f.blocks.rbegin(); it != f.blocks.rend(); ++it) {
        const BandLU::Block& blk = *it;
        const double* const val = blk.Uval.data();
        const std::uint16_t* const dist = blk.Udist.data();
        for (std::size_t k = std::size_t(blk.rows); k-- > 0;) {
            // The rows are read backwards: ask for the entries of a row
            // ahead (memory prefetchers follow ascending addresses best).
            if (k >= kSolveAhead) {
                const std::uint32_t e0 = blk.Ustart[k - kSolveAhead], e1 = blk.Ustart[k - kSolveAhead + 1];
                for (std::uint32_t e = e0; e < e1; e += 8) __builtin_prefetch(val + e);
                for (std::uint32_t e = e0; e < e1; e += 32) __builtin_prefetch(dist + e);
            }
            const std::size_t i = std::size_t(blk.first - 1) + k;
            double sum = 0.0;
            for (std::uint32_t e = blk.Ustart[k]; e < blk.Ustart[k + 1]; ++e)
                sum += val[e] * x[i + dist[e]];
            x[i] = (x[i] - sum) / blk.Udiag[k];
        }
    }
}

}  // namespace vorn
