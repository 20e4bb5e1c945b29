// Small cable stores for the network tests (NS = 8), the expansion of the
// band storage into a dense matrix, and an independent dense solve of the
// same system (LAPACK's dgesv when the test build has it, else Gaussian
// elimination with partial pivoting).
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "control/model.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "test_util.hpp"

#ifdef VORN_HAVE_LAPACK
extern "C" void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv,
                       double* b, const int* ldb, int* info);
#endif

namespace vorn::test {

// A store with NS = 8 strands and NB bands, every array the network needs
// created, resistances, loop voltages and boundary currents random and
// positive where they are resistances.  cable = 1 (infinitely long) or 2.
// With nts >= 1 an RMut table (NBMut = 1) is filled as well.
inline void make_small_cable(Model& m, int NB, int cable, int nts, unsigned seed) {
    set_example_parameters(m);
    m.NS = 8;
    m.NB = NB;
    m.Opt_Cable = cable;
    m.NBMut = cable == 1 ? 0 : 1;
    set_derived_counts(m);
    allocate_input_arrays(m);
    allocate_arrays(m);
    const int N = m.NS;
    m.Ra.allocate(1, NB, 1, 2 * N, 0.0);
    m.Rc.allocate(1, NB + 1, 1, N - 1, 0.0);

    std::mt19937_64 gen(seed);
    auto uni = [&](double lo, double hi) {
        return lo + (hi - lo) * std::uniform_real_distribution<double>(0.0, 1.0)(gen);
    };
    for (int j = 1; j <= NB; ++j) {
        for (int k = 1; k <= 2 * N; ++k) m.Ra(j, k) = uni(0.5, 2.0);
        for (int s = 2; s <= 2 * N - 1; ++s) {
            m.Rs(j, s) = uni(0.5, 2.0);
            m.Cs(j, s) = uni(-1.0, 3.0);
            m.Cs_prev(j, s) = uni(-1.0, 3.0);
        }
        for (int k = 1; k <= N - 1; ++k)
            for (int d = 1; d <= 3; ++d) m.EMF(j, k, d) = uni(-1.0, 1.0);
    }
    for (int j = 1; j <= NB + 1; ++j)
        for (int k = 1; k <= N - 1; ++k) m.Rc(j, k) = uni(0.5, 2.0);
    m.CPC = uni(5.0, 15.0);
    for (int s = 2; s <= 2 * N - 1; ++s) {
        m.CSB1(s) = uni(0.0, 2.0);
        m.CSB2(s) = uni(0.0, 2.0);
    }

    m.NTS = nts;
    m.NrItRs = 3;
    m.dt = 0.01;
    if (cable == 1) {
        m.NCa = 5 * N - 2;
    } else {
        m.NBw = 7 * N - 1;
        m.NCa = nts == 0 ? 14 * N - 2 : 16 * N - 6;
    }
    m.RMut.allocate(2, 2 * N - 1, -m.NBMut, m.NBMut, 2, 2 * N - 1, 0.0);
    if (nts >= 1)
        for (int s1 = 2; s1 <= 2 * N - 1; ++s1)
            for (int d = -m.NBMut; d <= m.NBMut; ++d)
                for (int s2 = 2; s2 <= 2 * N - 1; ++s2)
                    m.RMut(s1, d, s2) = (s1 == s2 && d == 0 ? 1e-3 : 1e-4) * uni(0.5, 1.0);
}

// The finite cable's assembly of the whole band.
inline void assemble_finite(Model& m) {
    m.AsmMode = 0;
    create_system_matrix(m);
    fill_band_1(m);
    fill_array(m);
    fill_band_nb(m);
}

// Raw band rows as the elimination kernel takes them: rows of ld values,
// band columns 1..nband (diagonal at W), then what the caller keeps beyond
// (a right-hand side).
struct Band {
    int Nt = 0, W = 0, nband = 0;
    std::size_t ld = 0;
    std::vector<double> a;
    double& at(int row, int col) { return a[std::size_t(row - 1) * ld + std::size_t(col - 1)]; }
    double at(int row, int col) const {
        return a[std::size_t(row - 1) * ld + std::size_t(col - 1)];
    }
    // Band column c of row i is a variable 1..Nt.
    bool inside(int i, int c) const { return i + c - W >= 1 && i + c - W <= Nt; }
};

struct Dense {
    int n = 0;
    std::vector<double> a;  // row-major n x n
    std::vector<double> b;
    double& at(int row, int var) { return a[std::size_t(row - 1) * n + std::size_t(var - 1)]; }
    double at(int row, int var) const { return a[std::size_t(row - 1) * n + std::size_t(var - 1)]; }
};

// Dense copy of the assembled system.  `outside` counts band entries that
// lie beyond the first or last variable (they must be zero).
inline Dense expand(const Model& m, int* outside = nullptr) {
    Dense d;
    const bool full = m.Opt_Cable == 1;
    d.n = full ? m.NEqB : m.NEqB * m.NB;
    d.a.assign(std::size_t(d.n) * d.n, 0.0);
    d.b.assign(std::size_t(d.n), 0.0);
    int out = 0;
    for (int g = 1; g <= d.n; ++g) {
        for (int c = 1; c <= m.NCa - 1; ++c) {
            const int var = full ? c : g + c - m.NBw;
            if (var < 1 || var > d.n) {
                if (m.A(g, c) != 0.0) ++out;
                continue;
            }
            d.at(g, var) = m.A(g, c);
        }
        d.b[std::size_t(g - 1)] = m.A(g, m.NCa);
    }
    if (outside) *outside = out;
    return d;
}

inline std::vector<double> dense_solve(Dense d) {
    const int n = d.n;
#ifdef VORN_HAVE_LAPACK
    std::vector<double> col(std::size_t(n) * n);  // column-major
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) col[std::size_t(j - 1) * n + std::size_t(i - 1)] = d.at(i, j);
    std::vector<int> ipiv(std::size_t(n), 0);
    const int one = 1;
    int info = 0;
    dgesv_(&n, &one, col.data(), &n, ipiv.data(), d.b.data(), &n, &info);
    if (info != 0) return {};
    return d.b;
#else
    for (int p = 1; p <= n; ++p) {
        int piv = p;
        for (int i = p + 1; i <= n; ++i)
            if (std::abs(d.at(i, p)) > std::abs(d.at(piv, p))) piv = i;
        if (d.at(piv, p) == 0.0) return {};
        if (piv != p) {
            for (int c = 1; c <= n; ++c) std::swap(d.at(p, c), d.at(piv, c));
            std::swap(d.b[std::size_t(p - 1)], d.b[std::size_t(piv - 1)]);
        }
        for (int i = p + 1; i <= n; ++i) {
            const double f = d.at(i, p) / d.at(p, p);
            for (int c = p; c <= n; ++c) d.at(i, c) -= f * d.at(p, c);
            d.b[std::size_t(i - 1)] -= f * d.b[std::size_t(p - 1)];
        }
    }
    std::vector<double> x(static_cast<std::size_t>(n), 0.0);
    for (int i = n; i >= 1; --i) {
        double s = d.b[std::size_t(i - 1)];
        for (int c = i + 1; c <= n; ++c) s -= d.at(i, c) * x[std::size_t(c - 1)];
        x[std::size_t(i - 1)] = s / d.at(i, i);
    }
    return x;
#endif
}

// Residual max |D x - b| of the dense system.
inline double residual(const Dense& d, const std::vector<double>& x) {
    double worst = 0.0;
    for (int i = 1; i <= d.n; ++i) {
        double s = -d.b[std::size_t(i - 1)];
        for (int j = 1; j <= d.n; ++j) s += d.at(i, j) * x[std::size_t(j - 1)];
        worst = std::max(worst, std::abs(s));
    }
    return worst;
}

}  // namespace vorn::test
