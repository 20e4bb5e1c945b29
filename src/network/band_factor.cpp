// The finite cable's banded system: its factorisation, kept and reused while
// the matrix is the same, and the solution of the explicit scheme with it.
//
// The assembled band (band_system.hpp) depends on the resistances, the time
// step (inductive terms / dt), the unit coefficient One, the band width and
// whether the step has inductive terms; the coupling to the other bands of
// the explicit scheme goes to the right-hand side only.  While all of these
// are unchanged the matrix is the same bit for bit, and the multipliers and
// the upper triangle of its last elimination give the solution for a new
// right-hand side with the same floating-point operations in the same order
// as a fresh elimination would (band_lu_solve).
//
// The factorisation is made in place in the system matrix (it is assembled
// afresh for every solution anyway), so that the only other copy of the band
// is its nonzeros.
#include <algorithm>
#include <cmath>
#include <vector>

#include "control/messages.hpp"
#include "network/band_kernel.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// Entries that should have been eliminated are reported above this.
constexpr double kResidue = 1e-15;

bool same(const RArr2& a, const RArr2& b) {
    return a.size() == b.size() && std::equal(a.data(), a.data() + a.size(), b.data());
}

void report(Model& m, const BandResidue& r) {
    if (r.kind == 0)
        msg_fmt(m, "(A9,I7,A1,I7,A24,F12.6,A19)",
                {"LEFT: Element ", r.row, ",", r.col, " in array (A) has value ", r.value,
                 " but should be zero"});
    else
        msg_fmt(m, "(A8,I4,A1,I4,A24,F12.6,A19)",
                {"RIGHT: Element ", r.row, ",", r.col, " in array (A) has value ", r.value,
                 " but should be zero"});
}

// What an elimination of the band leaves behind, in the order of a scan by
// rows: left of the diagonal the skipped entries and the part of the first
// rows that lies before variable 1 (never touched by the elimination);
// then the entries of the last rows beyond the last variable.  `a` is the
// eliminated band (row length ld), `skipped` the entries the elimination
// skipped.
std::vector<BandResidue> residues(const Model& m, const double* a, std::size_t ld, int Nt,
                                  const std::vector<BandSkip>& skipped) {
    const int W = m.NBw, NCa = m.NCa;
    std::vector<BandResidue> left;
    for (const BandSkip& s : skipped)
        if (std::abs(s.value) > kResidue) left.push_back({0, s.row, s.col, s.value});
    for (int i = 1; i <= std::min(Nt, W - 1); ++i)
        for (int c = 1; c <= W - i; ++c) {
            const double v = a[std::size_t(i - 1) * ld + std::size_t(c - 1)];
            if (std::abs(v) > kResidue) left.push_back({0, i, c, v});
        }
    std::sort(left.begin(), left.end(), [](const BandResidue& x, const BandResidue& y) {
        return x.row != y.row ? x.row < y.row : x.col < y.col;
    });
    for (int i = std::max(1, Nt + W - NCa + 2); i <= Nt; ++i)
        for (int c = Nt - i + W + 1; c <= NCa - 1; ++c) {
            const double v = a[std::size_t(i - 1) * ld + std::size_t(c - 1)];
            if (std::abs(v) > kResidue) left.push_back({1, i, c, v});
        }
    return left;
}

// The scan of the whole eliminated band (with the right-hand side along,
// eliminated entries zeroed) for what residues() collects.
void band_check(Model& m, int Nt) {
    const int W = m.NBw, NCa = m.NCa;
    for (int i = 1; i <= Nt; ++i)
        for (int c = 1; c <= W - 1; ++c)
            if (std::abs(m.A(i, c)) > kResidue) report(m, {0, i, c, m.A(i, c)});
    for (int i = std::max(1, Nt + W - NCa + 2); i <= Nt; ++i)
        for (int c = Nt - i + W + 1; c <= NCa - 1; ++c)
            if (std::abs(m.A(i, c)) > kResidue) report(m, {1, i, c, m.A(i, c)});
}

// Back substitution after the elimination with the right-hand side along;
// x_i goes to column 1 of row i.
void band_backward(Model& m, int Nt) {
    const int W = m.NBw, NCa = m.NCa;
    const std::size_t ld = std::size_t(NCa);
    double* const a = m.A.data();
    for (int i = Nt; i >= 1; --i) {
        const double* ri = a + std::size_t(i - 1) * ld;
        const int cmax = std::min(NCa - 1, Nt - i + W);
        double sum = 0.0;
        for (int c = W + 1; c <= cmax; ++c) sum += ri[c - 1] * a[std::size_t(i + c - W - 1) * ld];
        a[std::size_t(i - 1) * ld] = (ri[NCa - 1] - sum) / ri[W - 1];
    }
}

}  // namespace

void require_system_shape(const Model& m, int rows) {
    if (!m.A.allocated() || m.A.lo1() != 1 || m.A.hi1() < rows || m.A.lo2() != 1 ||
        m.A.hi2() != m.NCa)
        throw FatalError("internal error: system matrix does not match NEq x NCa");
}

bool band_factor_current(const Model& m) {
    const BandFactor& f = m.A_LU;
    return f.valid == 1 && band_factor_same_shape(m) && same(f.Rs, m.Rs) &&
           same(f.Ra, m.Ra) && same(f.Rc, m.Rc);
}

bool band_factor_same_shape(const Model& m) {
    const BandFactor& f = m.A_LU;
    return f.valid == 1 && f.NCa == m.NCa && f.NEq == m.NEq && f.dt == m.dt && f.One == m.One &&
           f.inductive == (m.NTS >= 1 ? 1 : 0);
}

void band_factorise(Model& m) {
    const int Nt = m.NEq, nband = m.NCa - 1;
    require_system_shape(m, Nt);
    BandFactor& f = m.A_LU;
    f.valid = 0;
    f.LU.clear();  // the old factors go before the new ones are stored
    std::vector<BandSkip> skipped;
    const std::size_t ld = std::size_t(m.NCa);
    band_eliminate(m.A.data(), ld, Nt, m.NBw, nband, false, true, &skipped);
    f.Residues = residues(m, m.A.data(), ld, Nt, skipped);
    band_lu_extract(m.A.data(), ld, Nt, m.NBw, nband, f.LU);
    f.Rs = m.Rs;
    f.Ra = m.Ra;
    f.Rc = m.Rc;
    f.dt = m.dt;
    f.One = m.One;
    f.NCa = m.NCa;
    f.NEq = m.NEq;
    f.inductive = m.NTS >= 1 ? 1 : 0;
    f.StaleKrylov = -1;
    f.valid = 1;
    m.Stats.NrFactor = m.Stats.NrFactor + 1;
}

// Finite cable, explicit coupling to the other bands: Nt = NEqB*NB
// variables, element (i, variable c) in A(i, NBw + c - i).  The factors of
// the last elimination serve while the matrix is the same.  Afterwards
// A(g, 1) holds variable g.
void solve_array(Model& m) {
    if (m.FreshFactor == 1) {
        solve_array_fresh(m);
        return;
    }
    const int Nt = m.NEqB * m.NB;
    require_system_shape(m, Nt);
    std::vector<double> x(static_cast<std::size_t>(Nt));
    for (int i = 1; i <= Nt; ++i) x[std::size_t(i - 1)] = m.A(i, m.NCa);
    if (!band_factor_current(m)) band_factorise(m);
    for (const BandResidue& r : m.A_LU.Residues) report(m, r);
    band_lu_solve(m.A_LU.LU, x.data(), x.data());
    for (int g = 1; g <= Nt; ++g) m.A(g, 1) = x[std::size_t(g - 1)];
}

// The same solution by a fresh elimination with the right-hand side along
// and a back substitution in the matrix: what every solution did before the
// factorisation was kept, and the reference it is compared to.
void solve_array_fresh(Model& m) {
    const int Nt = m.NEqB * m.NB;
    require_system_shape(m, Nt);
    const std::size_t ld = std::size_t(m.NCa);
    band_eliminate_plain(m.A.data(), ld, Nt, m.NBw, m.NCa - 1, true, false);
    band_check(m, Nt);
    band_backward(m, Nt);
}

}  // namespace vorn
