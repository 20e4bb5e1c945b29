// The low-rank correction of older factors (band_update.hpp).
#include "network/band_update.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "network/network.hpp"

namespace vorn {

namespace {

// A correction pays while its kept columns cost less than a factorisation
// and its pass over them about a substitution: a substitution reads at most
// 2 NBw values per row and a factorisation makes about NBw^2 / 2, so at
// most NBw changed rows (each one substitution to make its column, and Nt
// values per pass), 2 NBw changed entries (the dense system is k x k), and
// at most kCacheBytes of kept columns and as much of their combinations
// (the memory a quench adds to the band's).  Beyond that the older factors
// serve uncorrected, as long as GMRES needs few iterations with them.
constexpr double kCacheBytes = 32.0 * 1024 * 1024;

// The changed entries of the band, by rows; false beyond the limits.
bool changed_entries(const Model& m, BandUpdate& u) {
    const BandFactor& f = m.A_LU;
    const int Nt = m.NEq;
    const int max_rows = int(std::min<double>(m.NBw, kCacheBytes / (8.0 * Nt)));
    const int max_entries = 2 * max_rows;
    int rows = 0;
    for (int i = 1; i <= Nt; ++i) {
        bool here = false;
        for (int k = f.Ostart[std::size_t(i - 1)]; k < f.Ostart[std::size_t(i)]; ++k) {
            const double d = f.Oval[std::size_t(k)] - f.Oval0[std::size_t(k)];
            if (d == 0.0) continue;
            if (!std::isfinite(d) || int(u.row.size()) >= max_entries) return false;
            u.row.push_back(i);
            u.col.push_back(f.Ovar[std::size_t(k)]);
            u.delta.push_back(d);
            here = true;
        }
        if (here && ++rows > max_rows) return false;
    }
    return true;
}

// The kept column P0^-1 e_r of every changed row, made where missing.
void make_columns(Model& m, BandUpdate& u) {
    BandUpdateCache& c = m.UpdateCache;
    const std::size_t Nt = std::size_t(m.NEq);
    // Columns of rows that no longer change stay kept; when they and the
    // new ones would pass kCacheBytes, the cache starts again (the results
    // do not depend on it, only the substitutions made).
    std::size_t missing = 0;
    if (c.serial == m.A_LU.Serial && c.Slot.size() == Nt)
        for (int r : u.row) missing += c.Slot[std::size_t(r - 1)] < 0 ? 1 : 0;
    if (c.serial != m.A_LU.Serial || c.Slot.size() != Nt ||
        8.0 * double(c.W.size() + missing) * double(Nt) > kCacheBytes) {
        c.clear();
        c.serial = m.A_LU.Serial;
        c.Slot.assign(Nt, -1);
    }
    std::vector<double> e(Nt, 0.0);
    u.slot.resize(u.row.size());
    for (std::size_t i = 0; i < u.row.size(); ++i) {
        int& s = c.Slot[std::size_t(u.row[i] - 1)];
        if (s < 0) {
            s = int(c.W.size());
            std::vector<double> w(Nt);
            e[std::size_t(u.row[i] - 1)] = 1.0;
            band_factor_solve_fast(m, e.data(), w.data());
            e[std::size_t(u.row[i] - 1)] = 0.0;
            c.W.push_back(std::move(w));
            ++m.Stats.NrSubst;
        }
        u.slot[i] = s;
    }
}

// LU with partial pivoting of the k x k matrix a (by rows) in place; false
// when a pivot vanishes or is not a number.
bool dense_lu(std::vector<double>& a, std::vector<int>& piv, std::size_t k) {
    piv.resize(k);
    for (std::size_t j = 0; j < k; ++j) {
        std::size_t p = j;
        for (std::size_t i = j + 1; i < k; ++i)
            if (std::abs(a[i * k + j]) > std::abs(a[p * k + j])) p = i;
        piv[j] = int(p);
        if (!(std::abs(a[p * k + j]) > 0.0) || !std::isfinite(a[p * k + j])) return false;
        if (p != j)
            for (std::size_t c = 0; c < k; ++c) std::swap(a[j * k + c], a[p * k + c]);
        for (std::size_t i = j + 1; i < k; ++i) {
            const double f = a[i * k + j] / a[j * k + j];
            a[i * k + j] = f;
            if (f == 0.0) continue;
            for (std::size_t c = j + 1; c < k; ++c) a[i * k + c] -= f * a[j * k + c];
        }
    }
    return true;
}

void dense_solve(const std::vector<double>& a, const std::vector<int>& piv, std::vector<double>& x) {
    const std::size_t k = x.size();
    for (std::size_t j = 0; j < k; ++j) std::swap(x[j], x[std::size_t(piv[j])]);
    for (std::size_t i = 1; i < k; ++i)
        for (std::size_t j = 0; j < i; ++j) x[i] -= a[i * k + j] * x[j];
    for (std::size_t i = k; i-- > 0;) {
        for (std::size_t j = i + 1; j < k; ++j) x[i] -= a[i * k + j] * x[j];
        x[i] /= a[i * k + i];
    }
}

// The changed columns of the band, increasing, into u.cols; returns the
// changed entries ordered by column (by row within one).
std::vector<std::size_t> by_column(BandUpdate& u) {
    std::vector<std::size_t> order(u.row.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return u.col[a] < u.col[b]; });
    for (std::size_t i : order)
        if (u.cols.empty() || u.cols.back() != u.col[i]) u.cols.push_back(u.col[i]);
    return order;
}

// Their images: column c of the band has changed by u_c = sum_i delta_i
// e_ri over its changed entries i, and Wc = P0^-1 u_c = sum_i delta_i
// P0^-1 e_ri, side by side (Nt values each).
void combine_columns(const Model& m, BandUpdate& u, const std::vector<std::size_t>& order) {
    const std::size_t Nt = std::size_t(m.NEq);
    u.Wc.assign(u.cols.size() * Nt, 0.0);
    std::size_t b = 0;
    for (std::size_t n = 0; n < order.size(); ++n) {
        const std::size_t i = order[n];
        if (u.col[i] != u.cols[b]) ++b;
        double* w = u.Wc.data() + b * Nt;
        const double* col = m.UpdateCache.W[std::size_t(u.slot[i])].data();
        for (std::size_t g = 0; g < Nt; ++g) w[g] += u.delta[i] * col[g];
    }
}

}  // namespace

bool band_update_prepare(Model& m, BandUpdate& u) {
    u = BandUpdate{};
    if (m.A_LU.Oval0.size() != m.A_LU.Oval.size()) return false;
    if (!changed_entries(m, u)) {
        u = BandUpdate{};
        return false;
    }
    if (!u.active()) return true;
    const std::vector<std::size_t> order = by_column(u);
    if (8.0 * double(u.cols.size()) * double(m.NEq) > kCacheBytes) {
        u = BandUpdate{};
        return false;
    }
    make_columns(m, u);
    combine_columns(m, u, order);
    // I + V^T W over the changed columns: entry (a, b) is [a = b] + Wb(c_a).
    const std::size_t k = u.cols.size(), Nt = std::size_t(m.NEq);
    u.M.assign(k * k, 0.0);
    for (std::size_t a = 0; a < k; ++a) {
        const std::size_t ca = std::size_t(u.cols[a] - 1);
        for (std::size_t b = 0; b < k; ++b) u.M[a * k + b] = u.Wc[b * Nt + ca];
        u.M[a * k + a] += 1.0;
    }
    if (!dense_lu(u.M, u.piv, k)) {
        u = BandUpdate{};
        return false;
    }
    return true;
}

void band_update_apply(const Model& m, const BandUpdate& u, double* z) {
    if (!u.active()) return;
    const std::size_t k = u.cols.size(), Nt = std::size_t(m.NEq);
    std::vector<double> t(k);
    for (std::size_t a = 0; a < k; ++a) t[a] = z[std::size_t(u.cols[a] - 1)];
    dense_solve(u.M, u.piv, t);
    // z -= sum_b t_b Wb
    for (std::size_t b = 0; b < k; ++b) {
        const double y = t[b];
        const double* w = u.Wc.data() + b * Nt;
        for (std::size_t g = 0; g < Nt; ++g) z[g] -= y * w[g];
    }
}

}  // namespace vorn
