// Implicit solution of the finite cable's network system: the inductive
// coupling of each section to the sections of the other bands within NBMut
// is part of the unknowns' operator instead of a right-hand-side term from
// the previous iterate.
//
// The system is A x = b with A = P + N: P the banded matrix exactly as the
// assembly stores it (resistive terms, node and current-sum rows, the
// inductances within a band), N the coupling to the other bands, applied
// without storing it from the terms recorded in MutRows:
//   (N x)(NRow) = NFac/dt * sum_{NB2 != NB1, |NB2-NB1| <= NBMut}
//                 sum_s RMut(i1, NB2-NB1, s) * x(Cs(NB2, s)).
// It is solved by restarted GMRES on the left-preconditioned system
// P^-1 A x = P^-1 b.  The preconditioned residual P^-1 (b - A x) is a vector
// of currents (A): the correction the banded elimination would still make.
// The solve stops when its max norm is at most kTolCsAcc * CsAcc (or the
// rounding floor kTolRel * |x|).
//
// The LU factorisation of P (band_factor.cpp) is redone only when
// resistances, time step, unit coefficient or band width change; with
// constant resistivity and a constant time step it is made once for many
// solutions.  When only the resistances have changed (a quench changes them
// at every iteration), the older factors stay the preconditioner for as long
// as GMRES needs few iterations with them (kStaleKrylov): the solution then
// agrees with one preconditioned by fresh factors to the tolerance, not bit
// for bit.
#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "control/messages.hpp"
#include "network/band_kernel.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// Residual tolerance relative to CsAcc (A), and the rounding floor relative
// to the size of the currents.
constexpr double kTolCsAcc = 1e-3;
constexpr double kTolRel = 1e-13;
// GMRES aims below the tolerance by this factor, so that the closing step
// of solve_array_implicit (which may grow the residual by the explicit
// scheme's error propagation) stays within it.
constexpr double kTolGmres = 0.1;
// Krylov vectors per restart cycle, and GMRES iterations per solution.
constexpr int kRestart = 40;
constexpr int kMaxKrylov = 1000;

using Vec = std::vector<double>;  // index g-1 for variable g = 1..Nt

// z = P^-1 r with the factorisation.
void precondition(const Model& m, const Vec& r, Vec& z) {
    band_factor_solve_fast(m, r.data(), z.data());
}

// y = N x: the coupling of each recorded section voltage to the sections of
// the other bands within NBMut.  V(b, s1) is that coupling flux for section
// s1 of band b (V s per A of x), formed once per band and section.
void off_band_product(const Model& m, const Vec& x, Vec& y) {
    std::fill(y.begin(), y.end(), 0.0);
    if (m.MutRows.empty()) return;
    const int ns = 2 * m.NS - 2;
    RArr2 V(1, m.NB, 2, m.NS_2m1, 0.0);
    RArr2 done(1, m.NB, 2, m.NS_2m1, 0.0);
    for (const MutTerm& t : m.MutRows) {
        if (done(t.NB1, t.i1) == 0.0) {
            double sum = 0.0;
            const int lo = std::max(1, t.NB1 - m.NBMut), hi = std::min(m.NB, t.NB1 + m.NBMut);
            for (int NB2 = lo; NB2 <= hi; ++NB2) {
                if (NB2 == t.NB1) continue;
                const double* rmut = &m.RMut(t.i1, NB2 - t.NB1, 2);
                const double* xs = &x[std::size_t(var_cs(m, NB2, 2) - 1)];
                for (int n = 0; n < ns; ++n) sum += rmut[n] * xs[n];
            }
            V(t.NB1, t.i1) = sum;
            done(t.NB1, t.i1) = 1.0;
        }
        y[std::size_t(t.NRow - 1)] += t.NFac * V(t.NB1, t.i1) / m.dt;
    }
}

// The operator: with older factors, the nonzeros of the assembled band
// columns (in A_LU, since the factors hold the matrix's place); and the
// right-hand side.
struct System {
    const Model& m;
    const std::vector<int>& start;
    const std::vector<int>& var;
    const std::vector<double>& val;
    Vec b;
    Vec pb;  // P^-1 b with factors of the present band
};

// The right-hand side of the assembled system.
Vec rhs_of(const Model& m) {
    Vec b(static_cast<std::size_t>(m.NEq));
    for (int i = 1; i <= m.NEq; ++i) b[std::size_t(i - 1)] = m.A(i, m.NCa);
    return b;
}

System system_of(const Model& m, Vec b) {
    System sys{m, m.A_LU.Ostart, m.A_LU.Ovar, m.A_LU.Oval, std::move(b), Vec()};
    if (m.AsmMode != 2) {
        sys.pb.resize(sys.b.size());
        precondition(m, sys.b, sys.pb);
    }
    return sys;
}

// With factors of the present band P the preconditioned operator is
// P^-1 A = I + P^-1 N: one substitution and the coupling product per
// application, and no product with P.
bool own_factors(const System& sys) { return sys.m.AsmMode != 2; }

// y = A x = P x + N x with P from the assembled band's nonzeros in A_LU
// (older factors: AsmMode 2).
void apply_system(const System& sys, const Vec& x, Vec& y) {
    off_band_product(sys.m, x, y);
    const std::size_t Nt = y.size();
    for (std::size_t i = 0; i < Nt; ++i) {
        double sum = 0.0;
        for (int k = sys.start[i]; k < sys.start[i + 1]; ++k)
            sum += sys.val[std::size_t(k)] * x[std::size_t(sys.var[std::size_t(k)] - 1)];
        y[i] += sum;
    }
}

// w = P^-1 A v.
void apply_preconditioned(const System& sys, const Vec& v, Vec& w) {
    Vec t(v.size());
    if (own_factors(sys)) {
        off_band_product(sys.m, v, t);
        precondition(sys.m, t, w);
        for (std::size_t i = 0; i < v.size(); ++i) w[i] += v[i];
    } else {
        apply_system(sys, v, t);
        precondition(sys.m, t, w);
    }
}

// z = P^-1 (b - A x); returns max |z|.
double preconditioned_residual(const System& sys, const Vec& x, Vec& z) {
    const Model& m = sys.m;
    const std::size_t Nt = std::size_t(m.NEq);
    if (own_factors(sys)) {  // P^-1 b - x - P^-1 N x
        Vec t(Nt);
        off_band_product(m, x, t);
        precondition(m, t, z);
        for (std::size_t i = 0; i < Nt; ++i) z[i] = sys.pb[i] - x[i] - z[i];
    } else {
        Vec r(Nt);
        apply_system(sys, x, r);
        for (std::size_t i = 0; i < Nt; ++i) r[i] = sys.b[i] - r[i];
        precondition(m, r, z);
    }
    double worst = 0.0;
    for (double v : z) worst = std::isnan(v) ? v : std::max(worst, std::abs(v));
    return worst;
}

double norm2(const Vec& v) {
    double s = 0.0;
    for (double e : v) s += e * e;
    return std::sqrt(s);
}

// Givens rotations on column k of the Hessenberg matrix h[row][col]: the
// earlier ones, then a new one that zeroes h[k+1][k], applied to g as well.
void rotate_column(std::vector<Vec>& h, Vec& cs, Vec& sn, Vec& g, int k) {
    const auto K = std::size_t(k);
    for (std::size_t j = 0; j < K; ++j) {
        double& a = h[j][K];
        double& b = h[j + 1][K];
        const double t = cs[j] * a + sn[j] * b;
        b = -sn[j] * a + cs[j] * b;
        a = t;
    }
    double& a = h[K][K];
    double& b = h[K + 1][K];
    const double rr = std::hypot(a, b);
    cs[K] = rr > 0.0 ? a / rr : 1.0;
    sn[K] = rr > 0.0 ? b / rr : 0.0;
    a = rr;
    b = 0.0;
    g[K + 1] = -sn[K] * g[K];
    g[K] = cs[K] * g[K];
}

// One restart cycle of GMRES from x with the preconditioned residual r0
// (2-norm beta); x is updated.  Returns the iterations made; stops early when
// the residual estimate falls to tol.
int gmres_cycle(const System& sys, Vec& x, const Vec& r0, double beta, double tol, int budget) {
    const std::size_t n = x.size();
    const int mk = std::min(kRestart, budget);
    std::vector<Vec> v(1, Vec(n));  // Krylov vectors, made as needed
    std::vector<Vec> h(std::size_t(mk + 1), Vec(std::size_t(mk), 0.0));  // h[row][col]
    Vec cs(static_cast<std::size_t>(mk)), sn(static_cast<std::size_t>(mk)),
        g(std::size_t(mk + 1), 0.0);
    for (std::size_t i = 0; i < n; ++i) v[0][i] = r0[i] / beta;
    g[0] = beta;
    Vec w(n);
    int k = 0;
    while (k < mk) {
        apply_preconditioned(sys, v[std::size_t(k)], w);
        for (int j = 0; j <= k; ++j) {  // modified Gram-Schmidt
            double d = 0.0;
            for (std::size_t i = 0; i < n; ++i) d += w[i] * v[std::size_t(j)][i];
            h[std::size_t(j)][std::size_t(k)] = d;
            for (std::size_t i = 0; i < n; ++i) w[i] -= d * v[std::size_t(j)][i];
        }
        const double hn = norm2(w);
        h[std::size_t(k + 1)][std::size_t(k)] = hn;
        v.emplace_back(n, 0.0);
        if (hn > 0.0)
            for (std::size_t i = 0; i < n; ++i) v[std::size_t(k + 1)][i] = w[i] / hn;
        rotate_column(h, cs, sn, g, k);
        ++k;
        if (!(std::abs(g[std::size_t(k)]) > tol) || hn == 0.0) break;
    }
    Vec y(std::size_t(k), 0.0);  // back substitution of the k x k triangle
    for (int i = k - 1; i >= 0; --i) {
        double s = g[std::size_t(i)];
        for (int j = i + 1; j < k; ++j) s -= h[std::size_t(i)][std::size_t(j)] * y[std::size_t(j)];
        y[std::size_t(i)] =
            h[std::size_t(i)][std::size_t(i)] != 0.0 ? s / h[std::size_t(i)][std::size_t(i)] : 0.0;
    }
    for (int j = 0; j < k; ++j)
        for (std::size_t i = 0; i < n; ++i) x[i] += y[std::size_t(j)] * v[std::size_t(j)][i];
    return k;
}

// Initial guess: the last solution when it has the present size (the
// previous iterate of this step, or the previous step's currents), else 0.
Vec initial_guess(const Model& m) {
    Vec x(std::size_t(m.NEq), 0.0);
    if (m.X_last.allocated() && m.X_last.lo() == 1 && m.X_last.hi() == m.NEq)
        std::copy_n(m.X_last.data(), m.NEq, x.begin());
    return x;
}

// The last solution reached its tolerance, for this right-hand side.
bool same_as_last(const Model& m, const Vec& b) {
    return m.X_last.allocated() && m.B_last.allocated() && m.B_last.hi() == int(b.size()) &&
           m.Stats.ResNet <= m.Stats.TolNet && std::equal(b.begin(), b.end(), m.B_last.data());
}

void report_unconverged(Model& m, double res, double tol, int its) {
    msg_fmt(m, "(A,ES11.3,A,ES11.3,A,I6,A)",
            {"Network solution: residual ", res, " A above the tolerance ", tol, " A after ", its,
             " GMRES iterations"});
}

// GMRES from the last solution to the tolerance, with the factors in A_LU as
// preconditioner; returns the iterations made, res the final preconditioned
// residual and tol the tolerance.
int gmres_solve(const System& sys, Vec& x, double& res, double& tol) {
    Vec z(x.size());
    int its = 0;
    res = preconditioned_residual(sys, x, z);
    // The rounding floor scales with the currents: those of the initial
    // guess, or the first correction when the guess is zero.
    tol = std::max(kTolCsAcc * sys.m.CsAcc, kTolRel * std::max(norm2(x), norm2(z)));
    double tol_gmres = kTolGmres * tol;
    for (;;) {
        while (res > tol_gmres && its < kMaxKrylov) {
            its += gmres_cycle(sys, x, z, norm2(z), tol_gmres, kMaxKrylov - its);
            res = preconditioned_residual(sys, x, z);
        }
        // Closing step with the banded part alone: x += P^-1 (b - A x) leaves
        // the residual -N P^-1 (b - A x), which is zero in every row without
        // inductive coupling, so node and current-sum equations hold to
        // rounding; the voltage rows keep a residual of the order of the
        // previous one.
        for (std::size_t i = 0; i < x.size(); ++i) x[i] += z[i];
        res = preconditioned_residual(sys, x, z);
        if (!(res > tol) || its >= kMaxKrylov) break;
        tol_gmres *= kTolGmres;
    }
    return its;
}

}  // namespace

// After the assembly A holds the band (AsmMode 0: factorised here), the
// factors of this band (1), or older factors and the band in A_LU's
// operator (2).
void solve_array_implicit(Model& m) {
    const int Nt = m.NEq;
    if (!m.A.allocated() || m.A.hi1() != Nt || m.A.hi2() != m.NCa || Nt != m.NEqB * m.NB)
        throw FatalError("internal error: system matrix does not match NEq x NCa");
    if (m.AsmMode == 0) band_factorise(m);
    Vec b = rhs_of(m);
    if (m.AsmSameBand == 1 && same_as_last(m, b)) {
        // The same matrix and right-hand side as the last solution (an
        // inner iteration that changed nothing): its result stands.
        m.Stats.NrSolve = m.Stats.NrSolve + 1;
        m.Stats.NrKrylovLast = 0;
        keep_solution(m, m.X_last.data(), Nt);
        return;
    }
    const System sys = system_of(m, std::move(b));
    Vec x = initial_guess(m);
    double res = 0, tol = 0;
    int its = gmres_solve(sys, x, res, tol);
    if (m.AsmMode == 2) {
        if (res <= tol) {
            m.A_LU.StaleKrylov = its;
        } else {
            // The older factors did not get there: the band again, its own
            // factors, and the solution again from the same start.
            m.Stats.NrKrylov += its;
            assemble_full_band(m);
            band_factorise(m);
            x = initial_guess(m);
            its = gmres_solve(system_of(m, rhs_of(m)), x, res, tol);
        }
    }
    m.Stats.NrSolve = m.Stats.NrSolve + 1;
    m.Stats.NrKrylov += its;
    m.Stats.NrKrylovLast = its;
    m.Stats.ResNet = res;
    m.Stats.TolNet = tol;
    if (!(res <= tol)) report_unconverged(m, res, tol, its);

    m.X_last.allocate(1, Nt, 0.0);
    std::copy(x.begin(), x.end(), m.X_last.data());
    m.B_last.allocate(1, Nt, 0.0);
    std::copy(sys.b.begin(), sys.b.end(), m.B_last.data());
    keep_solution(m, x.data(), Nt);
}

double explicit_spectral_radius(Model& m, int iterations) {
    if (m.AsmMode == 0) band_factorise(m);
    const std::size_t n = std::size_t(m.NEq);
    std::mt19937_64 gen(12345u);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    Vec e(n), ne(n);
    for (double& v : e) v = uni(gen);
    // Growth factors of the last half of the iterations, averaged in the
    // logarithm: a complex pair of dominant eigenvalues makes single
    // factors oscillate.
    double log_sum = 0.0;
    int counted = 0;
    for (int k = 1; k <= iterations; ++k) {
        const double before = norm2(e);
        off_band_product(m, e, ne);
        precondition(m, ne, e);
        const double after = norm2(e);
        if (!(after > 0.0)) return 0.0;
        if (2 * k > iterations) {
            log_sum += std::log(after / before);
            ++counted;
        }
        for (double& v : e) v /= after;
    }
    return counted > 0 ? std::exp(log_sum / counted) : 0.0;
}

}  // namespace vorn
