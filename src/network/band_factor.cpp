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
// The factorisation is made in place in the system matrix and stays there,
// in the case's workspace: while it is current the assembly writes only the
// right-hand side (AsmMode 1), so that the band is held once.  While only
// the resistances have changed, the implicit solution may keep the older
// factors as its preconditioner and the assembly writes the new band into
// the kept nonzeros of the operator (AsmMode 2).
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "control/messages.hpp"
#include "network/band_kernel.hpp"
#include "network/band_pack.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// Entries that should have been eliminated are reported above this.
constexpr double kResidue = 1e-15;
// Factors of an older matrix (resistances changed, as in a quench) stay the
// preconditioner of the implicit solution while a solution with them needs
// at most this many GMRES iterations: a factorisation of a large cable costs
// as much as hundreds of them.  The solution after one that needed more
// makes new factors, unless its matrix is the one solved last.
constexpr int kStaleKrylov = 12;
// Bands of at most this size (NEq x NCa reals) keep a sparse copy of their
// factors beside the factors in place (explicit scheme): the solutions then
// read only nonzeros.  Larger bands keep only the factors in place, so that
// the memory stays close to one band.  The implicit solution's packed
// factors hand the rest of a larger band back to the system; a smaller one
// keeps its pages for the next assembly.
constexpr double kSparseCopyBytes = 128.0 * 1024 * 1024;

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

void keep_solution(Model& m, const double* x, int n) {
    if (!m.Xsol.allocated() || m.Xsol.lo() != 1 || m.Xsol.hi() != n) m.Xsol.allocate(1, n, 0.0);
    std::copy_n(x, n, m.Xsol.data());
}

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

bool stale_factor_usable(const Model& m) {
    const BandFactor& f = m.A_LU;
    return m.StaleFactors == 1 && m.FreshFactor == 0 && m.MutExplicit == 0 &&
           band_factor_same_shape(m) && !f.Ostart.empty() &&
           (f.StaleKrylov <= kStaleKrylov ||
            (same(f.StaleRs, m.Rs) && same(f.StaleRa, m.Ra) && same(f.StaleRc, m.Rc)));
}

namespace {

// Where the assembled band columns have nonzeros, row by row, and their
// values: the places of the operator's values when the next matrix is
// assembled for older factors (AsmMode 2), and what those values were.
void keep_pattern(Model& m) {
    BandFactor& f = m.A_LU;
    const int Nt = m.NEq, W = m.NBw, nband = m.NCa - 1;
    f.Ostart.reserve(std::size_t(Nt) + 1);
    for (int pass = 0; pass < 2; ++pass) {  // count, then fill at the final size
        std::size_t n = 0;
        for (int i = 1; i <= Nt; ++i) {
            if (pass == 1) f.Ostart.push_back(int(n));
            const double* ai = m.A.row(i);
            for (int c = std::max(1, W - i + 1); c <= std::min(nband, Nt - i + W); ++c) {
                if (ai[c - 1] == 0.0) continue;
                if (pass == 1) {
                    f.Ovar.push_back(i + c - W);
                    f.Oval0.push_back(ai[c - 1]);
                }
                ++n;
            }
        }
        if (pass == 0) {
            f.Ovar.reserve(n);
            f.Oval0.reserve(n);
        } else {
            f.Ostart.push_back(int(n));
        }
    }
}

template <class V>
void release(V& v) {
    V().swap(v);
}

// Column NCa of the assembled band into Rhs: the right-hand side stays
// there while A holds the factors.
void keep_rhs(Model& m) {
    if (!m.Rhs.allocated() || m.Rhs.hi() != m.NEq) m.Rhs.allocate(1, m.NEq, 0.0);
    for (int i = 1; i <= m.NEq; ++i) m.Rhs(i) = m.A(i, m.NCa);
}

}  // namespace

void band_factorise(Model& m, bool pack) {
    const int Nt = m.NEq, nband = m.NCa - 1;
    require_system_shape(m, Nt);
    BandFactor& f = m.A_LU;
    if (!band_factor_current(m)) {
        f.Serial = ++m.FactorSerials;
        m.Recycle.clear();  // directions of another operator
    }
    f.valid = 0;
    release(f.Ostart);
    release(f.Ovar);
    release(f.Oval);
    release(f.Oval0);
    f.LU.clear();
    f.Packed.clear();
    if (m.AsmMode == 0) keep_rhs(m);
    f.compact = pack ? 1 : 0;
    f.sparse = f.compact == 0 && double(m.A.size()) * sizeof(double) <= kSparseCopyBytes ? 1 : 0;
    if (m.MutExplicit == 0) keep_pattern(m);
    std::vector<BandSkip> skipped;
    const std::size_t ld = std::size_t(m.NCa);
    BandSpans spans;
    spans.runs = f.compact == 1;
    band_eliminate(m.A.data(), ld, Nt, m.NBw, nband, false, true, &skipped, &spans);
    f.Residues = residues(m, m.A.data(), ld, Nt, skipped);
    if (f.sparse == 1) band_lu_extract(m.A.data(), ld, Nt, m.NBw, nband, f.LU);
    if (f.compact == 1) {  // the packed factors carry their own stretches
        band_pack(m.A.data(), ld, Nt, m.NBw, spans, f.Packed,
                  double(m.A.size()) * sizeof(double) > kSparseCopyBytes);
        release(f.Lfirst);
        release(f.Ulast);
    } else {
        f.Lfirst = std::move(spans.Lfirst);
        f.Ulast = std::move(spans.Ulast);
    }
    f.Rs = m.Rs;
    f.Ra = m.Ra;
    f.Rc = m.Rc;
    f.dt = m.dt;
    f.One = m.One;
    f.NCa = m.NCa;
    f.NEq = m.NEq;
    f.inductive = m.NTS >= 1 ? 1 : 0;
    f.StaleKrylov = -1;
    f.StaleRs = f.StaleRa = f.StaleRc = RArr2{};
    f.valid = 1;
    f.held = 1;
    m.Stats.NrFactor = m.Stats.NrFactor + 1;
}

namespace {

// sum a[k] x[k], k = 0..n-1, in four interleaved partial sums: the
// additions do not wait for each other (not the order of a plain loop).
double dot4(const double* a, const double* x, int n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        s0 += a[k] * x[k];
        s1 += a[k + 1] * x[k + 1];
        s2 += a[k + 2] * x[k + 2];
        s3 += a[k + 3] * x[k + 3];
    }
    for (; k < n; ++k) s0 += a[k] * x[k];
    return (s0 + s1) + (s2 + s3);
}

}  // namespace

void band_factor_solve_fast(const Model& m, const double* b, double* x) {
    const BandFactor& f = m.A_LU;
    if (f.compact == 1) {
        band_packed_solve(f.Packed, m.A.data(), b, x);
        return;
    }
    if (f.sparse == 1) {
        band_lu_solve(f.LU, b, x);
        return;
    }
    // Rows are NCa doubles apart and only their factor spans are read: the
    // spans of the row kAhead further on are asked for ahead of time, since
    // the hardware prefetchers do not follow the stride.
    constexpr int kAhead = 4;
    const int Nt = m.NEq, W = m.NBw;
    for (int i = 1; i <= Nt; ++i) {
        if (i + kAhead <= Nt) {
            const double* an = m.A.row(i + kAhead);
            for (int c = f.Lfirst[std::size_t(i + kAhead - 1)]; c < W; c += 8)
                __builtin_prefetch(an + c - 1);
        }
        const double* ai = m.A.row(i);
        const double* xi = x + (i - W - 1);
        const int c0 = f.Lfirst[std::size_t(i - 1)];
        x[i - 1] = b[i - 1] - dot4(ai + c0 - 1, xi + c0, W - c0);
    }
    for (int i = Nt; i >= 1; --i) {
        if (i - kAhead >= 1) {
            const double* an = m.A.row(i - kAhead);
            for (int c = W; c < f.Ulast[std::size_t(i - kAhead - 1)]; c += 8)
                __builtin_prefetch(an + c);
        }
        const double* ai = m.A.row(i);
        const double* xi = x + (i - W - 1);
        const double sum = dot4(ai + W, xi + W + 1, f.Ulast[std::size_t(i - 1)] - W);
        x[i - 1] = (x[i - 1] - sum) / ai[W - 1];
    }
}

// Forward substitution with the multipliers (one by one, in increasing
// variable, skipping the zeros as the elimination skipped them), then the
// back substitution of solve_array_fresh (the products right of the
// diagonal summed first): the operations of a fresh elimination with the
// right-hand side along, in the same order.
void band_factor_solve(const Model& m, const double* b, double* x) {
    const BandFactor& f = m.A_LU;
    if (f.sparse == 1) {
        band_lu_solve(f.LU, b, x);
        return;
    }
    const int Nt = m.NEq, W = m.NBw;
    for (int i = 1; i <= Nt; ++i) {
        const double* ai = m.A.row(i);
        double v = b[i - 1];
        const double* xi = x + (i - W - 1);  // xi[c] = x of variable i + c - W, 0-based
        for (int c = f.Lfirst[std::size_t(i - 1)]; c < W; ++c)
            if (ai[c - 1] != 0.0) v -= ai[c - 1] * xi[c];
        x[i - 1] = v;
    }
    for (int i = Nt; i >= 1; --i) {
        const double* ai = m.A.row(i);
        const double* xi = x + (i - W - 1);
        double sum = 0.0;
        for (int c = W + 1; c <= f.Ulast[std::size_t(i - 1)]; ++c) sum += ai[c - 1] * xi[c];
        x[i - 1] = (x[i - 1] - sum) / ai[W - 1];
    }
}

void operator_add(Model& m, int row, int col, double v) { operator_add_run(m, row, col, &v, 1, 1.0); }

void operator_add_run(Model& m, int row, int col, const double* v, int n, double fac) {
    BandFactor& f = m.A_LU;
    const int var = row + col - m.NBw;
    const auto last = f.Ovar.begin() + f.Ostart[std::size_t(row)];
    auto it = std::lower_bound(f.Ovar.begin() + f.Ostart[std::size_t(row - 1)], last, var);
    for (int k = 0; k < n; ++k) {
        const double add = fac * v[k];
        while (it != last && *it < var + k) ++it;
        if (it == last || *it != var + k) {
            if (add != 0.0) m.AsmMiss = 1;
            continue;
        }
        f.Oval[std::size_t(it - f.Ovar.begin())] += add;
    }
}

namespace {

void fill_system(Model& m) {
    fill_band_1(m);
    fill_array(m);
    fill_band_nb(m);
}

}  // namespace

void assemble_finite_system(Model& m) {
    const bool current = band_factor_current(m);
    m.AsmSameBand = current ? 1 : 0;
    // The implicit solution needs the operator's nonzeros with the factors.
    const bool usable = m.A_LU.held == 1 && (m.MutExplicit == 1 || !m.A_LU.Ostart.empty());
    if (m.FreshFactor == 1 || !usable)
        m.AsmMode = 0;
    else if (current)
        m.AsmMode = 1;
    else
        m.AsmMode = stale_factor_usable(m) ? 2 : 0;
    fill_system(m);
    if (m.AsmMode == 2 && m.AsmMiss == 1) assemble_full_band(m);
}

void assemble_full_band(Model& m) {
    m.AsmMode = 0;
    m.AsmSameBand = 0;
    fill_system(m);
}

// Finite cable, explicit coupling to the other bands: Nt = NEqB*NB
// variables, element (i, variable c) in A(i, NBw + c - i).  The factors of
// the last elimination serve while the matrix is the same (AsmMode 1).
// Afterwards Xsol(g) holds variable g.
void solve_array(Model& m) {
    if (m.FreshFactor == 1) {
        solve_array_fresh(m);
        return;
    }
    const int Nt = m.NEqB * m.NB;
    require_system_shape(m, Nt);
    std::vector<double> b(static_cast<std::size_t>(Nt)), x(b.size());
    // Packed factors serve the implicit solution only: the band again.
    if (m.AsmMode == 1 && m.A_LU.compact == 1) assemble_full_band(m);
    if (m.AsmMode != 1) band_factorise(m);  // A holds the assembled band
    for (int i = 1; i <= Nt; ++i) b[std::size_t(i - 1)] = finite_rhs(m, i);
    for (const BandResidue& r : m.A_LU.Residues) report(m, r);
    band_factor_solve(m, b.data(), x.data());
    keep_solution(m, x.data(), Nt);
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
    std::vector<double> x(static_cast<std::size_t>(Nt));
    for (int g = 1; g <= Nt; ++g) x[std::size_t(g - 1)] = m.A(g, 1);
    keep_solution(m, x.data(), Nt);
}

}  // namespace vorn
