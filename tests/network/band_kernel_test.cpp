// The fast band elimination against the plain one, bit for bit (matrix,
// right-hand side, skipped entries), and the solution with the kept factors
// against an elimination with the right-hand side along followed by the
// back substitution.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "network/band_kernel.hpp"
#include "network/network_fixture.hpp"

namespace vorn {
namespace {

using test::Band;

// A band with the structure of the network system: a strong diagonal, a
// few short runs of nonzeros left and right of it (gaps between them, so
// that pivot rows start and end at different columns), some entries exactly
// zero inside the runs, and nothing beyond the first or last variable.
Band random_band(int Nt, int W, int right, unsigned seed) {
    Band b;
    b.Nt = Nt;
    b.W = W;
    b.nband = W + right;
    b.ld = std::size_t(b.nband) + 1;
    b.a.assign(std::size_t(Nt) * b.ld, 0.0);
    std::mt19937_64 gen(seed);
    auto uni = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(gen);
    };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int i = 1; i <= Nt; ++i) {
        b.at(i, W) = uni(4.0, 8.0) * (pick(0, 1) ? 1 : -1);
        auto runs = [&](int count, int maxlen, int dmin, int dmax, int sign) {
            for (int r = 0; r < count; ++r) {
                const int start = pick(dmin, dmax), len = pick(1, maxlen);
                for (int d = start; d < start + len && d <= dmax; ++d) {
                    const int var = i + sign * d;
                    if (var < 1 || var > Nt) continue;
                    b.at(i, W + sign * d) = pick(0, 9) == 0 ? 0.0 : uni(-1.0, 1.0);
                }
            }
        };
        runs(pick(0, 3), 4, 1, W - 1, -1);
        runs(pick(1, 4), 9, 1, right, +1);
        b.at(i, b.nband + 1) = uni(-5.0, 5.0);
    }
    return b;
}

void expect_same_bits(const std::vector<double>& x, const std::vector<double>& y,
                      const char* what) {
    ASSERT_EQ(x.size(), y.size());
    std::size_t diff = 0, first = 0;
    for (std::size_t k = 0; k < x.size(); ++k)
        if (std::memcmp(&x[k], &y[k], sizeof(double)) != 0 && diff++ == 0) first = k;
    EXPECT_EQ(diff, 0u) << what << ": first difference at " << first << ": " << x[first]
                        << " vs " << y[first];
}

void expect_same_skips(const std::vector<BandSkip>& x, const std::vector<BandSkip>& y) {
    ASSERT_EQ(x.size(), y.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
        EXPECT_EQ(x[k].row, y[k].row) << k;
        EXPECT_EQ(x[k].col, y[k].col) << k;
        EXPECT_EQ(std::memcmp(&x[k].value, &y[k].value, sizeof(double)), 0) << k;
    }
}

// Both kernels on copies of b, every combination of keep and rhs; returns
// the number of skipped entries the plain one reported (with keep).
std::size_t compare_kernels(const Band& b, const char* what) {
    std::size_t skips = 0;
    for (int keep = 0; keep <= 1; ++keep)
        for (int rhs = 0; rhs <= 1; ++rhs) {
            SCOPED_TRACE(testing::Message() << what << " keep " << keep << " rhs " << rhs);
            std::vector<double> plain = b.a, fast = b.a;
            std::vector<BandSkip> sp{{-1, -1, 0.0}}, sf{{-1, -1, 0.0}};  // appended to
            band_eliminate_plain(plain.data(), b.ld, b.Nt, b.W, b.nband, rhs, keep, &sp);
            band_eliminate(fast.data(), b.ld, b.Nt, b.W, b.nband, rhs, keep, &sf);
            expect_same_bits(plain, fast, what);
            expect_same_skips(sp, sf);
            std::vector<double> quiet = b.a;  // without a list of skipped entries
            band_eliminate(quiet.data(), b.ld, b.Nt, b.W, b.nband, rhs, keep);
            expect_same_bits(plain, quiet, what);
            if (keep) skips = sp.size() - 1;
        }
    return skips;
}

TEST(BandKernel, FastEliminationMatchesPlainBitForBit) {
    // Narrow and wide bands, the upper part wider than the lower one as in
    // the network system, and a band wider than the matrix.
    const int shapes[][3] = {{400, 12, 16}, {300, 40, 55}, {250, 3, 2}, {30, 40, 50}, {1, 5, 5}};
    unsigned seed = 1;
    for (const auto& s : shapes) compare_kernels(random_band(s[0], s[1], s[2], seed++), "random");
}

// Row i without entries left of the diagonal: its pivot stays as it is set.
void clear_left(Band& b, int i) {
    for (int c = 1; c < b.W; ++c) b.at(i, c) = 0.0;
}

// The rows' stretches the elimination reports are those a scan of the
// factors finds: first nonzero left of the diagonal, last nonzero right of
// it within the variables (W when none), rows without any included.
TEST(BandKernel, ReportedStretchesAreThoseOfTheFactors) {
    const int shapes[][3] = {{400, 12, 16}, {250, 3, 2}, {30, 40, 50}, {1, 5, 5}};
    unsigned seed = 21;
    for (const auto& s : shapes) {
        Band b = random_band(s[0], s[1], s[2], seed++);
        for (int i = 3; i <= b.Nt; i += 5) clear_left(b, i);
        BandSpans spans, scanned;
        spans.runs = scanned.runs = true;
        band_eliminate(b.a.data(), b.ld, b.Nt, b.W, b.nband, false, true, nullptr, &spans);
        ASSERT_EQ(spans.Lfirst.size(), std::size_t(b.Nt));
        ASSERT_EQ(spans.Ulast.size(), std::size_t(b.Nt));
        // The stretches recorded as the rows were eliminated are those a scan
        // of the finished factors finds.
        band_stretches(b.a.data(), b.ld, b.Nt, b.W, b.nband, scanned);
        EXPECT_EQ(spans.LRstart, scanned.LRstart);
        EXPECT_EQ(spans.URstart, scanned.URstart);
        auto same_runs = [](const std::vector<BandRun>& x, const std::vector<BandRun>& y) {
            if (x.size() != y.size()) return false;
            for (std::size_t k = 0; k < x.size(); ++k)
                if (x[k].col != y[k].col || x[k].len != y[k].len) return false;
            return true;
        };
        EXPECT_TRUE(same_runs(spans.Lruns, scanned.Lruns));
        EXPECT_TRUE(same_runs(spans.Uruns, scanned.Uruns));
        if (b.Nt > 1) {
            EXPECT_FALSE(spans.Uruns.empty());
        }
        for (int i = 1; i <= b.Nt; ++i) {
            int lo = std::max(1, b.W - i + 1), hi = std::min(b.nband, b.Nt - i + b.W);
            while (lo < b.W && b.at(i, lo) == 0.0) ++lo;
            while (hi > b.W && b.at(i, hi) == 0.0) --hi;
            EXPECT_EQ(spans.Lfirst[std::size_t(i - 1)], lo) << "row " << i << " of " << b.Nt;
            EXPECT_EQ(spans.Ulast[std::size_t(i - 1)], hi) << "row " << i << " of " << b.Nt;
        }
    }
}


TEST(BandKernel, NegligibleFactorsAreSkippedAlike) {
    Band b = random_band(200, 20, 25, 7);
    // Factors of about 1e-28 (skipped and reported; every other row
    // without fill-in before them), exactly at the limit, just above it.
    for (int i = 10; i <= 190; i += 9) {
        if (i % 2 == 0) clear_left(b, i);
        b.at(i, b.W - 1 - i % 5) = 3e-28;
    }
    b.at(50, b.W - 2) = kNegligibleFactor * b.at(48, b.W);
    b.at(60, b.W - 1) = 1.0000001 * kNegligibleFactor * b.at(59, b.W);
    b.at(61, b.W - 3) = 2e-30;
    EXPECT_GT(compare_kernels(b, "tiny factors"), 12u);
}

TEST(BandKernel, ZeroPivotNaNNegativeZeroAndOverflowFollowThePlainArithmetic) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    {
        Band b = random_band(150, 15, 20, 11);
        clear_left(b, 40);
        b.at(40, b.W) = 0.0;  // zero pivot: infinite factors below it
        compare_kernels(b, "zero pivot");
    }
    {
        Band b = random_band(150, 15, 20, 12);
        b.at(70, b.W) = nan;  // NaN pivot: its factors are NaN and skipped
        b.at(90, b.W + 3) = nan;  // NaN right of a diagonal
        b.at(95, b.W - 2) = nan;  // NaN lead
        compare_kernels(b, "NaN");
    }
    {
        Band b = random_band(150, 15, 20, 13);
        // -0 where a pivot row ahead has a leading zero: x - f*0 keeps -0
        // only if f*0 is +0.
        for (int i = 20; i <= 140; i += 7)
            for (int c = b.W + 1; c <= b.W + 6; ++c)
                if (b.at(i, c) == 0.0) b.at(i, c) = -0.0;
        compare_kernels(b, "negative zero");
    }
    {
        // Row 3 is eliminated with pivots 1 (f = -1, its row ends at
        // variable 2) and 2 (f = 1.5, a zero at variable 4 inside its row):
        // the plain loop gives -0 - 1.5*0 = -0 at variable 4; subtracting
        // pivot 1's -1*0 first would give +0.
        Band b;
        b.Nt = 8;
        b.W = 4;
        b.nband = 9;
        b.ld = 10;
        b.a.assign(b.ld * 8, 0.0);
        for (int i = 1; i <= 8; ++i) b.at(i, b.W) = 1.0;
        b.at(1, b.W + 1) = 0.5;   // (1, 2)
        b.at(2, b.W + 1) = 2.0;   // (2, 3)
        b.at(2, b.W + 3) = 3.0;   // (2, 5)
        b.at(3, b.W - 2) = -1.0;  // (3, 1)
        b.at(3, b.W - 1) = 1.0;   // (3, 2)
        b.at(3, b.W + 1) = -0.0;  // (3, 4)
        compare_kernels(b, "negative zero, two pivots");
    }
    {
        Band b = random_band(150, 15, 20, 14);
        clear_left(b, 30);
        b.at(30, b.W) = 1e-300;  // factors that overflow to infinity
        b.at(31, b.W - 1) = 1e300;
        b.at(33, b.W - 3) = -1e300;
        b.at(80, b.W) = std::numeric_limits<double>::infinity();  // factors 0: skipped
        compare_kernels(b, "overflow");
    }
}

// Elimination with the right-hand side along, then the back substitution
// over every band column right of the diagonal (zeros included), as the
// fresh solution of the network system makes it.
std::vector<double> plain_solution(Band b) {
    band_eliminate_plain(b.a.data(), b.ld, b.Nt, b.W, b.nband, true, false);
    std::vector<double> x(std::size_t(b.Nt) + 1, 0.0);  // x[g], g = 1..Nt
    for (int i = b.Nt; i >= 1; --i) {
        double sum = 0.0;
        for (int c = b.W + 1; c <= std::min(b.nband, b.Nt - i + b.W); ++c)
            sum += b.at(i, c) * x[std::size_t(i + c - b.W)];
        x[std::size_t(i)] = (b.at(i, b.nband + 1) - sum) / b.at(i, b.W);
    }
    x.erase(x.begin());
    return x;
}

std::vector<double> factor_solution(Band b, BandLU& f) {
    std::vector<double> rhs(std::size_t(b.Nt));
    for (int i = 1; i <= b.Nt; ++i) rhs[std::size_t(i - 1)] = b.at(i, b.nband + 1);
    band_eliminate(b.a.data(), b.ld, b.Nt, b.W, b.nband, false, true);
    band_lu_extract(b.a.data(), b.ld, b.Nt, b.W, b.nband, f);
    std::vector<double> x(rhs.size());
    band_lu_solve(f, rhs.data(), x.data());
    band_lu_solve(f, rhs.data(), rhs.data());  // in place
    expect_same_bits(x, rhs, "in place");
    return x;
}

TEST(BandKernel, FactorSolveMatchesEliminationWithRightHandSide) {
    const int shapes[][3] = {{400, 12, 16}, {300, 40, 55}, {60, 70, 80}};
    unsigned seed = 21;
    for (const auto& s : shapes) {
        const Band b = random_band(s[0], s[1], s[2], seed++);
        BandLU f;
        expect_same_bits(plain_solution(b), factor_solution(b, f), "solution");
        // Only the nonzeros are kept.
        std::size_t nl = 0, nu = 0;
        Band e = b;
        band_eliminate_plain(e.a.data(), e.ld, e.Nt, e.W, e.nband, false, true);
        for (int i = 1; i <= e.Nt; ++i)
            for (int c = 1; c <= e.nband; ++c) {
                const int var = i + c - e.W;
                if (var >= 1 && var <= e.Nt && c != e.W && e.at(i, c) != 0.0)
                    ++(c < e.W ? nl : nu);
            }
        EXPECT_EQ(f.lower_nonzeros(), nl);
        EXPECT_EQ(f.upper_nonzeros(), nu);
        int rows = 0;
        for (const BandLU::Block& blk : f.blocks) {
            EXPECT_EQ(blk.first, rows + 1);
            rows += blk.rows;
        }
        EXPECT_EQ(rows, b.Nt);
    }
}

// The assembled system of a small cable (NS = 8) with inductive terms.
TEST(BandKernel, AssembledCableMatrix) {
    for (int NB = 3; NB <= 6; NB += 3) {
        Model m;
        test::make_small_cable(m, NB, 2, 1, 40u + unsigned(NB));
        test::assemble_finite(m);
        Band b;
        b.Nt = m.NEq;
        b.W = m.NBw;
        b.nband = m.NCa - 1;
        b.ld = std::size_t(m.NCa);
        b.a.assign(m.A.data(), m.A.data() + std::size_t(m.NEq) * b.ld);
        compare_kernels(b, "cable");
        BandLU f;
        const std::vector<double> x = factor_solution(b, f);
        expect_same_bits(plain_solution(b), x, "cable solution");
        // And the solution solves the system.
        const test::Dense d = test::expand(m);
        double res = 0, scale = 0;
        for (int g = 1; g <= d.n; ++g) {
            double r = d.b[std::size_t(g - 1)], size = std::abs(r);
            for (int v = 1; v <= d.n; ++v) {
                r -= d.at(g, v) * x[std::size_t(v - 1)];
                size += std::abs(d.at(g, v) * x[std::size_t(v - 1)]);
            }
            res = std::max(res, std::abs(r));
            scale = std::max(scale, size);
        }
        EXPECT_LT(res, 1e-10 * scale) << "NB " << NB;
        release_system_matrix(m);
    }
}

}  // namespace
}  // namespace vorn
