// Assembly of the network equations: the rows whose form is fixed by hand
// (pins, current sums, the periodic cancellations of the infinitely long
// cable), the placement of the inductive terms, and the solved currents of
// small cables against Kirchhoff's law and the superconducting limit.
#include <gtest/gtest.h>

#include <map>

#include "network/network_fixture.hpp"

namespace vorn {
namespace {

using namespace test;

// Nonzero coefficients of one row of the dense system, by variable.
std::map<int, double> row_terms(const Dense& d, int row) {
    std::map<int, double> t;
    for (int v = 1; v <= d.n; ++v)
        if (d.at(row, v) != 0.0) t[v] = d.at(row, v);
    return t;
}

TEST(NetworkAssembly, InfiniteCableLeavesOutThePeriodicTwins) {
    Model m;
    make_small_cable(m, 1, 1, 0, 1);
    m.One = 0.5;
    const int N = m.NS;
    create_system_matrix(m);
    fill_infinit_array(m, 1);
    const Dense d = expand(m);
    auto cc = [&](int k) { return var_cc(m, 1, k); };
    auto ca = [&](int k) { return var_ca(m, 1, k); };
    auto cs = [&](int s) { return var_cs(m, 1, s); };
    // k = 1: Cc(1,1) + Cs(1,2) + Ca(1,N+1) - Cs(1,3) = 0
    EXPECT_EQ(row_terms(d, cc(1)),
              (std::map<int, double>{{cc(1), 0.5}, {cs(2), 0.5}, {ca(N + 1), 0.5}, {cs(3), -0.5}}));
    // k = N-1 without Ca(1,2N-1)
    EXPECT_EQ(row_terms(d, cc(N - 1)),
              (std::map<int, double>{
                  {cc(N - 1), 0.5}, {cs(2 * N - 2), 0.5}, {ca(N), -0.5}, {cs(2 * N - 1), -0.5}}));
    // s = 2N-1: Ca(1,2N-2) + Cs(1,2N-2) - Ca(1,N) - Cs(1,N) = 0
    EXPECT_EQ(row_terms(d, cs(2 * N - 1)),
              (std::map<int, double>{
                  {ca(2 * N - 2), 0.5}, {cs(2 * N - 2), 0.5}, {ca(N), -0.5}, {cs(N), -0.5}}));
    for (int g : {cc(1), cc(N - 1), cs(2 * N - 1)}) EXPECT_EQ(d.b[std::size_t(g - 1)], 0.0);
    // the current sum uses One as well
    const auto sum = row_terms(d, cs(N + 1));
    EXPECT_EQ(sum.size(), std::size_t(2 * N + 2));
    for (const auto& [v, c] : sum) EXPECT_EQ(c, 0.5) << v;
    EXPECT_EQ(d.b[std::size_t(cs(N + 1) - 1)], m.CPC);
}

TEST(NetworkAssembly, CurrentSumRowOfAnInteriorBand) {
    Model m;
    make_small_cable(m, 4, 2, 0, 2);
    m.One = 0.5;  // not used by the current sum of a finite cable
    const int N = m.NS;
    assemble_finite(m);
    const Dense d = expand(m);
    for (int j = 2; j <= 3; ++j) {
        const int row = var_cs(m, j, N + 1);
        int n_ca = 0, n_cs = 0;
        for (const auto& [v, c] : row_terms(d, row)) {
            EXPECT_EQ(c, 1.0) << v;
            EXPECT_GT(v, (j - 1) * m.NEqB);
            EXPECT_LE(v, j * m.NEqB);
            const int local = v - (j - 1) * m.NEqB;
            if (local >= N && local <= 3 * N - 1) ++n_ca;
            if (local >= 3 * N) ++n_cs;
        }
        EXPECT_EQ(n_ca, N + 2);
        EXPECT_EQ(n_cs, N);
        EXPECT_EQ(d.b[std::size_t(row - 1)], m.CPC);
    }
}

TEST(NetworkAssembly, PinnedRowsOfTheEndBands) {
    Model m;
    make_small_cable(m, 3, 2, 1, 3);
    m.One = 0.5;
    const int N = m.NS, NB = 3;
    assemble_finite(m);
    const Dense d = expand(m);
    auto pinned = [&](int var, double coef, double value) {
        EXPECT_EQ(row_terms(d, var), (std::map<int, double>{{var, coef}})) << var;
        EXPECT_EQ(d.b[std::size_t(var - 1)], value) << var;
    };
    for (int k = 1; k <= N - 1; ++k) pinned(var_cc(m, 1, k), 0.5, 0.0);
    for (int k = 1; k <= 2 * N; ++k) pinned(var_ca(m, 1, k), 0.5, 0.0);
    for (int s = 2; s <= 2 * N - 1; ++s) pinned(var_cs(m, 1, s), 1.0, m.CSB1(s));
    for (int k : {1, 2, 9, 12, 16}) pinned(var_ca(m, NB, k), 0.5, 0.0);
    for (int s : {2, 9, 12, 15}) pinned(var_cs(m, NB, s), 1.0, m.CSB2(s));
    // the node row that replaces the loop row of section 3 in the last band
    auto ca = [&](int j, int k) { return var_ca(m, j, k); };
    auto cs = [&](int j, int s) { return var_cs(m, j, s); };
    EXPECT_EQ(row_terms(d, cs(NB, 3)), (std::map<int, double>{{ca(3, 1), 0.5},
                                                              {ca(3, 2), 0.5},
                                                              {cs(3, 2), 0.5},
                                                              {ca(3, N + 1), 0.5},
                                                              {cs(3, N + 1), 0.5},
                                                              {ca(2, 1), -0.5},
                                                              {ca(2, 2), -0.5},
                                                              {cs(2, 2), -0.5},
                                                              {ca(3, 3), -0.5},
                                                              {cs(3, 3), -0.5}}));
}

TEST(NetworkAssembly, InductiveTermsLandInTheColumnsOfTheirBand) {
    Model m;
    make_small_cable(m, 4, 2, 1, 4);
    const int N = m.NS;
    for (int s1 = 2; s1 <= 2 * N - 1; ++s1)
        for (int s2 = 2; s2 <= 2 * N - 1; ++s2) m.RMut(s1, 0, s2) = 1e-5 * (s1 + 0.01 * s2);
    assemble_finite(m);
    const Dense d = expand(m);
    const double dt = m.dt;
    // loop row of Ra(2,1): -[Rs(3,3) Cs(3,3) + L(3,3)]
    const int loop = var_ca(m, 2, 1);
    for (int s = 2; s <= 2 * N - 1; ++s) {
        const double r = s == 3 ? -m.Rs(3, 3) : 0.0;
        EXPECT_DOUBLE_EQ(d.at(loop, var_cs(m, 3, s)), r - m.RMut(3, 0, s) / dt) << s;
    }
    // section row N+2 of band 2: +[Rs(2,s) Cs(2,s) + L(2,s)] - [.. L(3,5)]
    const int sec = var_cs(m, 2, N + 2);
    for (int s = 2; s <= 2 * N - 1; ++s) {
        const double own = s == N + 2 ? m.Rs(2, s) : 0.0;
        const double next = s == 5 ? -m.Rs(3, 5) : 0.0;
        EXPECT_DOUBLE_EQ(d.at(sec, var_cs(m, 2, s)), own + m.RMut(N + 2, 0, s) / dt) << s;
        EXPECT_DOUBLE_EQ(d.at(sec, var_cs(m, 3, s)), next - m.RMut(5, 0, s) / dt) << s;
    }
    // the steady state at t = 0 has none
    release_system_matrix(m);
    m.NTS = 0;
    m.NCa = 14 * N - 2;
    assemble_finite(m);
    EXPECT_EQ(band_coef(m, sec, var_cs(m, 2, 2)), 0.0);
    EXPECT_EQ(band_coef(m, loop, var_cs(m, 3, 3)), -m.Rs(3, 3));
}

// Solves a finite cable as the driver does and takes the currents.
void solve_finite(Model& m) {
    assemble_finite(m);
    solve_array(m);
    currents_powers_calculation(m);
    release_system_matrix(m);
}

TEST(NetworkAssembly, SuperconductingCableCarriesTheCurrentUniformly) {
    for (int NB : {2, 3, 5}) {
        Model m;
        make_small_cable(m, NB, 2, 0, 20u + unsigned(NB));
        const int N = m.NS;
        m.Rs.fill(0.0);
        m.EMF.fill(0.0);
        m.CSB1.fill(m.CPC / N);
        m.CSB2.fill(m.CPC / N);
        solve_finite(m);
        const double tol = 1e-12 * m.CPC;
        for (int j = 1; j <= NB; ++j) {
            for (int k = 1; k <= 2 * N; ++k) EXPECT_NEAR(m.Ca(j, k), 0.0, tol) << j << " " << k;
            for (int k = 1; k <= N - 1; ++k) EXPECT_NEAR(m.Cc(j, k), 0.0, tol) << j << " " << k;
            for (int s = 2; s <= 2 * N - 1; ++s)
                EXPECT_NEAR(m.Cs(j, s), m.CPC / N, tol) << j << " " << s;
        }
    }
}

// Sum through the band's cross-section, as the current-sum row counts it.
double cross_section_sum(const Model& m, int j) {
    const int N = m.NS;
    double sum = m.Ca(j, 1) + m.Ca(j, 2) + m.Cs(j, 2);
    for (int k = N + 1; k <= 2 * N; ++k) sum += m.Ca(j, k);
    for (int s = N + 1; s <= 2 * N - 1; ++s) sum += m.Cs(j, s);
    return sum;
}

TEST(NetworkAssembly, SolvedCurrentsSatisfyKirchhoff) {
    for (int nts = 0; nts <= 1; ++nts) {
        Model m;
        make_small_cable(m, 5, 2, nts, 40u + unsigned(nts));
        const int N = m.NS, NB = m.NB;
        // end currents that carry CPC through the end cross-sections
        double s1 = m.CSB1(2), s2 = m.CSB2(2);
        for (int s = N + 1; s <= 2 * N - 1; ++s) {
            s1 += m.CSB1(s);
            s2 += m.CSB2(s);
        }
        for (int s = 2; s <= 2 * N - 1; ++s) {
            m.CSB1(s) *= m.CPC / s1;
            m.CSB2(s) *= m.CPC / s2;
        }
        solve_finite(m);
        const double tol = 1e-11 * m.CPC;
        for (int j = 1; j <= NB; ++j) EXPECT_NEAR(cross_section_sum(m, j), m.CPC, tol) << j;
        // node equations at the crossing contacts of bands 2..NB; the
        // network variable of a crossing contact is -Cc
        for (int j = 2; j <= NB; ++j)
            for (int k = 1; k <= N - 1; ++k) {
                double r = -m.Cc(j, k);
                if (k == 1)
                    r += m.Ca(j, 1) + m.Cs(j, 2) + m.Ca(j, N + 1) - m.Ca(j - 1, 1) - m.Cs(j, 3);
                else if (k == N - 1)
                    r += m.Cs(j, 2 * N - 2) + m.Ca(j, 2 * N - 1) - m.Ca(j, N) -
                         m.Ca(j - 1, 2 * N - 1) - m.Cs(j - 1, 2 * N - 1);
                else if (k % 2 == 0)
                    r += m.Cs(j, k + 1) + m.Ca(j, k + 2) - m.Ca(j - 1, N + k - 1) -
                         m.Cs(j - 1, N + k);
                else
                    r += m.Cs(j, N + k - 1) + m.Ca(j, N + k) - m.Ca(j, k + 1) - m.Cs(j, k + 2);
                EXPECT_NEAR(r, 0.0, tol) << j << " " << k;
            }
    }
}

}  // namespace
}  // namespace vorn
