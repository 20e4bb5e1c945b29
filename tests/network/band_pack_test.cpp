// The factors of a banded elimination packed in place: the packed solution
// against the exact-order substitution of the same factors and a dense
// solve of the original matrix; the stretches where a gap is just kept or
// just splits them; rows full enough that the packed values follow close
// behind the rows still to be read; the counts and offsets of every
// stretch; the pages handed back; and the summation order of the
// substitutions, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#ifdef __linux__
#include <unistd.h>
#endif

#include "network/band_kernel.hpp"
#include "network/band_pack.hpp"
#include "network/network_fixture.hpp"

namespace vorn {
namespace {

using test::Band;

Band empty_band(int Nt, int W, int right, std::size_t spare) {
    Band b;
    b.Nt = Nt;
    b.W = W;
    b.nband = W + right;
    b.ld = std::size_t(b.nband) + spare;
    b.a.assign(std::size_t(Nt) * b.ld, 0.0);
    return b;
}

// A matrix with the structure of the network system: short runs of
// nonzeros left and right of the diagonal, nothing left of it in every 5th
// row and nothing on either side in every 7th, nothing beyond the first or
// last variable; the diagonal dominates its row, so that the elimination
// without pivoting is accurate and the dense solve a fair reference.
Band random_matrix(int Nt, int W, int right, std::size_t spare, unsigned seed) {
    Band b = empty_band(Nt, W, right, spare);
    std::mt19937_64 gen(seed);
    auto uni = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(gen);
    };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int i = 1; i <= Nt; ++i) {
        auto runs = [&](int count, int maxlen, int dmax, int sign) {
            for (int r = 0; r < count; ++r) {
                const int start = pick(1, dmax), len = pick(1, maxlen);
                for (int d = start; d < start + len && d <= dmax; ++d)
                    if (b.inside(i, W + sign * d))
                        b.at(i, W + sign * d) = pick(0, 9) == 0 ? 0.0 : uni(-1.0, 1.0);
            }
        };
        if (W > 1 && i % 5 != 0 && i % 7 != 0) runs(pick(1, 3), 4, W - 1, -1);
        if (right > 0 && i % 7 != 0) runs(pick(1, 4), 9, right, +1);
        double off = 0.0;
        for (int c = 1; c <= b.nband; ++c) off += std::abs(b.at(i, c));
        b.at(i, W) = (1.0 + off) * (pick(0, 1) ? 1 : -1);
    }
    return b;
}

// Every band entry inside the matrix nonzero, the diagonal dominant.
Band full_matrix(int Nt, int W, int right, std::size_t spare, unsigned seed) {
    Band b = empty_band(Nt, W, right, spare);
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> uni(0.1, 1.0);
    for (int i = 1; i <= Nt; ++i) {
        double off = 0.0;
        for (int c = 1; c <= b.nband; ++c)
            if (c != W && b.inside(i, c)) {
                b.at(i, c) = uni(gen) * (gen() % 2 ? 1 : -1);
                off += std::abs(b.at(i, c));
            }
        b.at(i, W) = 1.0 + off;
    }
    return b;
}

// Factors written directly (unit lower triangle and upper triangle, as an
// elimination with keep leaves them): each entry inside the matrix nonzero
// with probability density, no multipliers in every 6th row, nothing right
// of the diagonal in every 7th; the off-diagonal rows sum to less than 1/2
// of the diagonal, so that both substitutions are well conditioned.
Band random_factors(int Nt, int W, int right, std::size_t spare, double density, unsigned seed) {
    Band b = empty_band(Nt, W, right, spare);
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0), val(-1.0, 1.0);
    for (int i = 1; i <= Nt; ++i) {
        const double diag = 1.0 + unit(gen);
        for (int c = 1; c <= b.nband; ++c) {
            if (c == W || !b.inside(i, c) || unit(gen) >= density) continue;
            if ((c < W && i % 6 == 0) || (c > W && i % 7 == 0)) continue;
            const double scale = c < W ? 0.5 / W : 0.5 * diag / std::max(right, 1);
            const double v = val(gen) * scale;
            b.at(i, c) = v == 0.0 ? scale : v;
        }
        b.at(i, W) = diag;
    }
    return b;
}

void factor(Band& b) { band_eliminate(b.a.data(), b.ld, b.Nt, b.W, b.nband, false, true); }

// The limits of each row's factors, as the factorisation finds them: the
// first band column with a nonzero multiplier (W if none) and the last
// nonzero column right of the diagonal (W if none).
struct Limits {
    std::vector<int> Lfirst, Ulast;
};

Limits limits(const Band& f) {
    Limits l;
    for (int i = 1; i <= f.Nt; ++i) {
        int lo = std::max(1, f.W - i + 1), hi = std::min(f.nband, f.Nt - i + f.W);
        while (lo < f.W && f.at(i, lo) == 0.0) ++lo;
        while (hi > f.W && f.at(i, hi) == 0.0) --hi;
        l.Lfirst.push_back(lo);
        l.Ulast.push_back(hi);
    }
    return l;
}

// Factors packed in a copy of their band, with the exact-order factors
// extracted from the band before packing.
struct Packed {
    Band band;  // a[] after band_pack
    Limits lim;
    PackedLU p;
    BandLU ref;
};

Packed pack(const Band& f) {
    Packed k;
    k.band = f;
    k.lim = limits(f);
    band_lu_extract(f.a.data(), f.ld, f.Nt, f.W, f.nband, k.ref);
    BandSpans spans;
    spans.runs = true;
    band_stretches(f.a.data(), f.ld, f.Nt, f.W, f.nband, spans);
    EXPECT_EQ(spans.Lfirst, k.lim.Lfirst);
    EXPECT_EQ(spans.Ulast, k.lim.Ulast);
    band_pack(k.band.a.data(), f.ld, f.Nt, f.W, spans, k.p);
    return k;
}

std::vector<double> random_rhs(int n, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> uni(-5.0, 5.0);
    std::vector<double> b(static_cast<std::size_t>(n), 0.0);
    for (double& v : b) v = uni(gen);
    return b;
}

std::vector<double> packed_solution(const Packed& k, const std::vector<double>& b) {
    std::vector<double> x(b.size(), -7.0);  // every value must be written
    band_packed_solve(k.p, k.band.a.data(), b.data(), x.data());
    return x;
}

std::vector<double> exact_order_solution(const Packed& k, const std::vector<double>& b) {
    std::vector<double> x(b.size());
    band_lu_solve(k.ref, b.data(), x.data());
    return x;
}

// max |x - y| / max |y|.
double rel_diff(const std::vector<double>& x, const std::vector<double>& y) {
    double d = 0.0, s = 0.0;
    for (std::size_t k = 0; k < y.size(); ++k) {
        d = std::max(d, std::abs(x[k] - y[k]));
        s = std::max(s, std::abs(y[k]));
    }
    return s > 0.0 ? d / s : d;
}

using Runs = std::vector<std::pair<int, int>>;  // (first band column, length)

// The stretches of row i over band columns lo..hi, counted from the gaps
// between its nonzeros: a new stretch wherever kPackGap or more zeros
// separate two nonzeros.
Runs expected_runs(const Band& f, int i, int lo, int hi) {
    Runs runs;
    int last = 0;
    for (int c = lo; c <= hi; ++c) {
        if (f.at(i, c) == 0.0) continue;
        if (!runs.empty() && c - last - 1 < kPackGap)
            runs.back().second = c - runs.back().first + 1;
        else
            runs.push_back({c, 1});
        last = c;
    }
    return runs;
}

// The packed stretches of row i: Lruns/LRstart or Uruns/URstart.
Runs row_runs(const std::vector<std::uint32_t>& start, const std::vector<PackedLU::Run>& runs,
              int i) {
    Runs r;
    for (auto k = start[std::size_t(i - 1)]; k < start[std::size_t(i)]; ++k)
        r.push_back({runs[k].col, runs[k].len});
    return r;
}
Runs lower_runs(const PackedLU& p, int i) { return row_runs(p.LRstart, p.Lruns, i); }
Runs upper_runs(const PackedLU& p, int i) { return row_runs(p.URstart, p.Uruns, i); }

// Index of the first value that differs in bits, or -1.
long first_difference(const double* x, const double* y, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
        if (std::memcmp(x + k, y + k, sizeof(double)) != 0) return long(k);
    return -1;
}

// The packed layout against the factors f it was made from: every row's
// stretches, the offsets of its values and stretches, the values in a[]
// and Uval (kept zeros included), the totals.
void check_layout(const Band& f, const Packed& k) {
    const PackedLU& p = k.p;
    const int Nt = f.Nt, W = f.W;
    const auto N = std::size_t(Nt);
    ASSERT_EQ(p.Nt, Nt);
    ASSERT_EQ(p.W, W);
    ASSERT_TRUE(p.Lstart.size() == N + 1 && p.LRstart.size() == N + 1 &&
                p.Ustart.size() == N + 1 && p.URstart.size() == N + 1);
    EXPECT_TRUE(p.Lstart[0] == 0 && p.LRstart[0] == 0 && p.Ustart[0] == 0 && p.URstart[0] == 0);
    std::vector<double> lower, upper;  // the values as they should be packed
    std::vector<std::vector<double>> upper_rows(N);  // row by row
    int bad_rows = 0;
    for (int i = 1; i <= Nt; ++i) {
        const auto I = std::size_t(i - 1);
        const Runs L = expected_runs(f, i, k.lim.Lfirst[I], W - 1);
        const Runs U = expected_runs(f, i, W + 1, k.lim.Ulast[I]);
        if ((lower_runs(p, i) != L || upper_runs(p, i) != U) && bad_rows++ < 3) {
            ADD_FAILURE() << "stretches of row " << i;
            EXPECT_EQ(lower_runs(p, i), L) << "row " << i;
            EXPECT_EQ(upper_runs(p, i), U) << "row " << i;
        }
        const std::size_t l0 = lower.size();
        for (const auto& [c, n] : L)
            for (int col = c; col < c + n; ++col) lower.push_back(f.at(i, col));
        upper_rows[I].push_back(f.at(i, W));
        for (const auto& [c, n] : U)
            for (int col = c; col < c + n; ++col) upper_rows[I].push_back(f.at(i, col));
        if ((p.Lstart[I] != l0 || p.Lstart[I + 1] != lower.size() ||
             p.LRstart[I + 1] != p.LRstart[I] + L.size() ||
             p.URstart[I + 1] != p.URstart[I] + U.size()) &&
            bad_rows++ < 3) {
            ADD_FAILURE() << "offsets of row " << i;
        }
    }
    for (std::size_t I = 0; I < N; ++I) {  // rows in order
        const std::vector<double>& row = upper_rows[I];
        if ((p.Ustart[I] != upper.size() || p.Ustart[I + 1] != upper.size() + row.size()) &&
            bad_rows++ < 3) {
            ADD_FAILURE() << "upper offsets of row " << I + 1;
        }
        upper.insert(upper.end(), row.begin(), row.end());
    }
    EXPECT_EQ(bad_rows, 0);
    EXPECT_EQ(p.lower_values(), lower.size());
    EXPECT_EQ(p.upper_values(), upper.size());
    EXPECT_EQ(p.LRstart[N], p.Lruns.size());
    EXPECT_EQ(p.URstart[N], p.Uruns.size());
    if (p.lower_values() != lower.size() || p.upper_values() != upper.size()) return;
    EXPECT_EQ(first_difference(k.band.a.data(), lower.data(), lower.size()), -1) << "a[]";
    EXPECT_EQ(first_difference(p.Uval.get(), upper.data(), upper.size()), -1) << "Uval";
}

// The solution with the packed factors against the exact-order one.
void check_solution(const Packed& k, unsigned seed) {
    const std::vector<double> b = random_rhs(k.band.Nt, seed);
    EXPECT_LT(rel_diff(packed_solution(k, b), exact_order_solution(k, b)), 1e-12);
}

TEST(BandPack, SolveMatchesExactOrderAndDenseSolve) {
    struct Shape {
        int Nt, W, right;
        std::size_t spare;
        const char* what;
    };
    const Shape shapes[] = {
        {200, 1, 6, 1, "W = 1: no multipliers"},
        {200, 9, 0, 0, "nband = W: nothing right of the diagonal"},
        {250, 12, 16, 1, "general"},
        {180, 30, 45, 0, "wide"},
        {30, 40, 50, 1, "band wider than the matrix"},
        {1, 3, 4, 0, "one row"},
    };
    unsigned seed = 100;
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.what);
        const Band A = random_matrix(s.Nt, s.W, s.right, s.spare, seed++);
        Band F = A;
        factor(F);
        const Packed k = pack(F);
        check_layout(F, k);
        const std::vector<double> b = random_rhs(s.Nt, seed++);
        const std::vector<double> x = packed_solution(k, b);
        EXPECT_LT(rel_diff(x, exact_order_solution(k, b)), 1e-12);
        // The original matrix, dense, solved independently.
        test::Dense d;
        d.n = s.Nt;
        d.a.assign(std::size_t(s.Nt) * std::size_t(s.Nt), 0.0);
        d.b = b;
        for (int i = 1; i <= s.Nt; ++i)
            for (int c = 1; c <= A.nband; ++c)
                if (A.inside(i, c)) d.at(i, i + c - s.W) = A.at(i, c);
        const std::vector<double> xd = test::dense_solve(d);
        ASSERT_EQ(xd.size(), x.size());
        EXPECT_LT(rel_diff(x, xd), 1e-12);
        EXPECT_LT(test::residual(d, x), 1e-12 * 5.0);
        // The shapes cover what they are named for.
        std::size_t noL = 0, noU = 0;
        for (std::size_t I = 0; I < std::size_t(s.Nt); ++I) {
            noL += k.p.LRstart[I + 1] == k.p.LRstart[I];
            noU += k.p.URstart[I + 1] == k.p.URstart[I];
        }
        if (s.W == 1) {
            EXPECT_EQ(k.p.lower_values(), 0u);
        }
        if (s.right == 0) {
            EXPECT_EQ(k.p.upper_values(), std::size_t(s.Nt));
        }
        // Rows without multipliers (the first and others) and rows with
        // nothing right of the diagonal (the last and others) beside rows
        // with them.
        const auto rows = std::size_t(s.Nt);
        if (s.Nt > 1 && s.W > 1) {
            EXPECT_GT(noL, 1u);
            EXPECT_LT(noL, rows);
        }
        if (s.Nt > 1 && s.right > 0) {
            EXPECT_GT(noU, 1u);
            EXPECT_LT(noU, rows);
        }
    }
}

TEST(BandPack, GapsJustKeptOrJustSplitAndStretchesAtTheEdges) {
    // Factors written by hand: Nt = 40, W = 20, band columns 1..40, so that
    // rows 1..20 reach the first band column only from row 20 and the last
    // (column 40, variable i + 20) only up to row 20.
    static_assert(kPackGap == 4, "the gaps below are written for kPackGap = 4");
    Band f = empty_band(40, 20, 20, 1);
    for (int i = 1; i <= f.Nt; ++i) f.at(i, f.W) = 2.0 + 0.01 * i;
    double v = 0.05;
    auto set = [&](int i, std::initializer_list<int> cols) {
        for (int c : cols) f.at(i, c) = (v += 0.003) * (c % 2 ? 1 : -1);
    };
    struct Row {
        int i;
        Runs L, U;
    };
    std::vector<Row> rows;
    // Row 20: a stretch from the first band column with a gap of three
    // zeros (3..5) kept, four zeros (7..10) splitting, one at W-1; right of
    // the diagonal from W+1, three zeros kept, four and five zeros splitting,
    // the last one at the last band column.
    set(20, {1, 2, 6, 11, 12, 19, 21, 25, 30, 36, 40});
    rows.push_back({20, {{1, 6}, {11, 2}, {19, 1}}, {{21, 5}, {30, 1}, {36, 5}}});
    // Three zeros just before W-1 kept, four just after W+1 splitting.
    set(25, {15, 19, 21, 26});
    rows.push_back({25, {{15, 5}}, {{21, 1}, {26, 1}}});
    // Four zeros just before W-1 splitting, three after W+1 kept.
    set(30, {14, 19, 21, 25});
    rows.push_back({30, {{14, 1}, {19, 1}}, {{21, 5}}});
    // Row 10 starts at band column 11 (variable 1): three zeros kept.
    set(10, {11, 15, 21});
    rows.push_back({10, {{11, 5}}, {{21, 1}}});
    // Row 38 ends at band column 22 (variable 40).
    set(38, {18, 21, 22});
    rows.push_back({38, {{18, 1}}, {{21, 2}}});
    // The first row: nothing left of the diagonal; the last: every column
    // left of it and nothing right; a row with one multiplier only.
    set(1, {21, 22, 23, 24});
    rows.push_back({1, {}, {{21, 4}}});
    for (int c = 1; c < f.W; ++c) set(40, {c});
    rows.push_back({40, {{1, 19}}, {}});
    set(5, {19});
    rows.push_back({5, {{19, 1}}, {}});

    const Packed k = pack(f);
    for (const Row& r : rows) {
        EXPECT_EQ(lower_runs(k.p, r.i), r.L) << "row " << r.i;
        EXPECT_EQ(upper_runs(k.p, r.i), r.U) << "row " << r.i;
    }
    for (int i = 1; i <= f.Nt; ++i)
        if (std::none_of(rows.begin(), rows.end(), [&](const Row& r) { return r.i == i; })) {
            EXPECT_TRUE(lower_runs(k.p, i).empty()) << "row " << i;
            EXPECT_TRUE(upper_runs(k.p, i).empty()) << "row " << i;
        }
    EXPECT_EQ(k.p.lower_values(), std::size_t((6 + 2 + 1) + 5 + (1 + 1) + 5 + 1 + 19 + 1));
    EXPECT_EQ(k.p.upper_values(), std::size_t(40 + 11 + 2 + 5 + 1 + 2 + 4));
    check_layout(f, k);
    check_solution(k, 7);
}

TEST(BandPack, CountsOffsetsAndValuesOfEveryStretch) {
    // Sparse factors give many gaps of every length, kPackGap - 1 and
    // kPackGap among them; denser ones long stretches with kept zeros.
    struct Case {
        int Nt, W, right;
        std::size_t spare;
        double density;
    };
    const Case cases[] = {{300, 25, 40, 1, 0.35}, {200, 17, 30, 0, 0.7}, {150, 2, 3, 0, 0.5}};
    unsigned seed = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Nt " << c.Nt << " W " << c.W << " density " << c.density);
        const Band f = random_factors(c.Nt, c.W, c.right, c.spare, c.density, seed++);
        const Packed k = pack(f);
        check_layout(f, k);
        check_solution(k, seed++);
        // The offsets grow row by row and end at the totals.
        const PackedLU& p = k.p;
        EXPECT_TRUE(std::is_sorted(p.Lstart.begin(), p.Lstart.end()));
        EXPECT_TRUE(std::is_sorted(p.Ustart.begin(), p.Ustart.end()));
        EXPECT_TRUE(std::is_sorted(p.LRstart.begin(), p.LRstart.end()));
        EXPECT_TRUE(std::is_sorted(p.URstart.begin(), p.URstart.end()));
        std::size_t nl = 0, nu = std::size_t(c.Nt);
        for (const auto& r : p.Lruns) nl += r.len;
        for (const auto& r : p.Uruns) nu += r.len;
        EXPECT_EQ(p.lower_values(), nl);
        EXPECT_EQ(p.upper_values(), nu);
    }
    // The sparse case holds both kinds of boundary gap.
    const Band f = random_factors(300, 25, 40, 1, 0.35, 200);
    int kept = 0, split = 0;
    for (int i = 1; i <= f.Nt; ++i) {
        int last = 0;
        for (int col = 1; col <= f.nband; ++col) {
            if (col == f.W) last = 0;
            if (col == f.W || f.at(i, col) == 0.0) continue;
            if (last > 0) {
                kept += col - last - 1 == kPackGap - 1;
                split += col - last - 1 == kPackGap;
            }
            last = col;
        }
    }
    EXPECT_GT(kept, 50);
    EXPECT_GT(split, 50);
}

#ifdef __linux__
// Values per page of memory.
std::size_t page_values() { return std::size_t(sysconf(_SC_PAGESIZE)) / sizeof(double); }

// The whole pages of a[] from the end of the packed multipliers to the end
// of the band are handed back (zero); their count.
std::size_t released_tail(const Packed& k) {
    const std::size_t page = page_values();
    const auto base = reinterpret_cast<std::uintptr_t>(k.band.a.data()) / sizeof(double);
    auto page_up = [&](std::size_t i) { return (base + i + page - 1) / page * page - base; };
    auto page_down = [&](std::size_t i) { return (base + i) / page * page - base; };
    const std::size_t lo = page_up(k.p.lower_values()), hi = page_down(k.band.a.size());
    std::size_t nonzero = 0;
    for (std::size_t i = lo; i < hi; ++i) nonzero += k.band.a[i] != 0.0;
    EXPECT_EQ(nonzero, 0u);
    return hi > lo ? (hi - lo) / page : 0;
}
#endif

TEST(BandPack, FullRowsPackedInPlace) {
    // Every band entry nonzero, so that every multiplier is packed.  With
    // ld = W (no band right of the diagonal) the packed values run only one
    // value per row behind the row being read.  With the wide band the
    // rows read run ahead fast enough for pages to be handed back while
    // rows are still packed (after 256 rows, beyond the kept margin); with
    // rows longer than a page, a page too many handed back would take one
    // of the rows still to be read.
    struct Shape {
        int Nt, W, right;
        std::size_t spare;
        bool big;  // whole pages behind the packed multipliers
    };
    const Shape shapes[] = {
        {3000, 40, 0, 0, true}, {2500, 24, 96, 1, true}, {300, 24, 520, 1, true}, {50, 8, 8, 0, false}};
    unsigned seed = 300;
    for (const Shape& s : shapes) {
        SCOPED_TRACE(testing::Message() << "Nt " << s.Nt << " W " << s.W << " right " << s.right);
        Band f = full_matrix(s.Nt, s.W, s.right, s.spare, seed++);
        factor(f);
        const Packed k = pack(f);
        std::size_t nl = 0;
        for (int i = 1; i <= s.Nt; ++i) nl += std::size_t(std::min(i - 1, s.W - 1));
        EXPECT_EQ(k.p.lower_values(), nl);
        EXPECT_EQ(k.p.Lruns.size(), std::size_t(s.Nt - 1));
        check_layout(f, k);
        check_solution(k, seed++);
#ifdef __linux__
        const std::size_t released = released_tail(k);
        if (s.big) {
            EXPECT_GT(released, 0u);
        }
#endif
    }
}

#ifdef __linux__
TEST(BandPack, ReleasePagesZeroesExactlyTheWholePagesInside) {
    const std::size_t page = page_values();
    const std::size_t n = (std::size_t(4) << 20) / sizeof(double);
    struct Free {
        void operator()(double* p) const { std::free(p); }
    };
    std::unique_ptr<double[], Free> buf(
        static_cast<double*>(std::aligned_alloc(page * sizeof(double), n * sizeof(double))));
    ASSERT_NE(buf, nullptr);
    double* a = buf.get();
    // Released [first, last) (value indices); expected zero [zlo, zhi).
    auto check = [&](std::size_t first, std::size_t last, std::size_t zlo, std::size_t zhi) {
        SCOPED_TRACE(testing::Message() << "[" << first << ", " << last << ")");
        std::fill(a, a + n, 1.0);
        release_pages(a + first, a + last);
        std::size_t wrong = 0, at = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (a[i] != (i >= zlo && i < zhi ? 0.0 : 1.0) && wrong++ == 0) at = i;
        EXPECT_EQ(wrong, 0u) << "first wrong value at " << at;
    };
    check(100, 5 * page + 37, page, 5 * page);  // partial pages at both ends
    check(page, 3 * page, page, 3 * page);      // ends on page boundaries
    check(page - 1, 3 * page + 1, page, 3 * page);
    check(page + 1, 4 * page - 1, 2 * page, 3 * page);
    check(page + 1, 3 * page - 1, 0, 0);  // no whole page inside
    check(10, page - 3, 0, 0);
    check(3 * page, page, 0, 0);  // empty range
    check(0, n, 0, n);
}
#endif

// sum v[k] x[k] as documented: element k into partial sum k mod 8, the
// eight summed pairwise.
double eight_lanes(const double* v, const double* x, int n) {
    double t[8] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (int k = 0; k < n; ++k) t[k % 8] += v[k] * x[k];
    return ((t[0] + t[1]) + (t[2] + t[3])) + ((t[4] + t[5]) + (t[6] + t[7]));
}

// The packed substitutions written plainly in the documented order.
std::vector<double> documented_order_solution(const Packed& k, const std::vector<double>& b) {
    const PackedLU& p = k.p;
    const int Nt = p.Nt, W = p.W;
    std::vector<double> x(b.size());
    for (int i = 1; i <= Nt; ++i) {
        const auto I = std::size_t(i - 1);
        const double* v = k.band.a.data() + p.Lstart[I];
        double s = 0.0;
        for (auto r = p.LRstart[I]; r < p.LRstart[I + 1]; ++r) {
            const int c = p.Lruns[r].col, n = p.Lruns[r].len;
            s += eight_lanes(v, x.data() + (i + c - W - 1), n);
            v += n;
        }
        x[I] = b[I] - s;
    }
    for (int i = Nt; i >= 1; --i) {
        const auto I = std::size_t(i - 1);
        const double* v = p.Uval.get() + p.Ustart[I];
        const double diag = *v++;
        double s = 0.0;
        for (auto r = p.URstart[I]; r < p.URstart[I + 1]; ++r) {
            const int c = p.Uruns[r].col, n = p.Uruns[r].len;
            s += eight_lanes(v, x.data() + (i + c - W - 1), n);
            v += n;
        }
        x[I] = (x[I] - s) / diag;
    }
    return x;
}

TEST(BandPack, SummationOrderIsTheDocumentedOneBitForBit) {
    // Stretches of every length from 1 to beyond 16 (whole blocks of eight
    // and remainders), from an elimination and from factors written
    // directly.
    std::vector<Band> bands;
    bands.push_back(full_matrix(300, 30, 45, 1, 400));
    factor(bands.back());
    bands.push_back(random_matrix(300, 12, 20, 0, 401));
    factor(bands.back());
    bands.push_back(random_factors(300, 40, 60, 1, 0.6, 402));
    bands.push_back(random_factors(300, 20, 25, 0, 0.3, 403));
    unsigned seed = 410;
    for (const Band& f : bands) {
        SCOPED_TRACE(testing::Message() << "W " << f.W << " nband " << f.nband);
        const Packed k = pack(f);
        const std::vector<double> b = random_rhs(f.Nt, seed++);
        const std::vector<double> x = packed_solution(k, b), y = documented_order_solution(k, b);
        EXPECT_EQ(first_difference(x.data(), y.data(), x.size()), -1);
    }
}

}  // namespace
}  // namespace vorn
