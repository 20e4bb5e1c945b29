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

#include "control/control.hpp"
#include "control/messages.hpp"
#include "network/band_kernel.hpp"
#include "network/band_system.hpp"
#include "network/band_update.hpp"
#include "network/network.hpp"
#include "support/simd_dot.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// Residual tolerance relative to CsAcc (A), and the rounding floor relative
// to the size of the currents.
constexpr double kTolCsAcc = 1e-3;
constexpr double kTolRel = 1e-13;
// A resistance iteration of the coupled step that cannot end its time step
// whatever its currents (the first one with temperatures, or one whose
// resistances have just moved by more than RhoAcc) needs its currents only
// for the heat and the resistances of the next iteration, which goes on
// from them.  It is solved to kTolInterim * CsAcc, still a hundredth of the
// change the convergence test counts; the iteration that may end the step
// is solved to the full tolerance.  On the quench benchmark this saves a
// third of the substitutions.  The section-by-section scheme keeps the full
// tolerance: its fixed relaxation factors follow the interim currents so
// closely that on Bench-Q28 it needed three times the inner iterations.
constexpr double kTolInterim = 1e-2;

bool interim_solution(const Model& m) {
    return m.CoupledStep == 1 && iteration_cannot_converge(m);
}

// GMRES aims at kAimOwn times the tolerance with factors of the present
// band: the closing step of gmres_solve then multiplies the residual by
// -P^-1 N, which shrinks it wherever the explicit scheme would converge.
// With older factors (corrected or not: the resistance iterations of a
// quench, which go on from the result) it aims at the tolerance itself;
// aiming lower there (a tenth, as before) cost a quarter to a third more
// GMRES iterations on heater quenches, whose solutions mostly take one
// round.  Each further round aims kAimTighter lower.
constexpr double kAimOwn = 0.5;
constexpr double kAimOlder = 1.0;
constexpr double kAimTighter = 0.1;
// Krylov vectors per restart cycle, and GMRES iterations per solution.
constexpr int kRestart = 40;
constexpr int kMaxKrylov = 1000;
// Recycled direction pairs kept from one solution to the next.
constexpr int kRecycle = 32;

using Vec = std::vector<double>;  // index g-1 for variable g = 1..Nt

// z = P^-1 r with the factorisation.
void precondition(const Model& m, const Vec& r, Vec& z) {
    band_factor_solve_fast(m, r.data(), z.data());
}

// y = N x: the coupling of each recorded section voltage to the sections of
// the other bands within NBMut.  The coupling fluxes V(s1, b) (V s per A of
// x) of all bands are formed side by side, the section currents of x held
// section by section with the bands innermost: element-wise operations
// that vectorise and give the same bits on every instruction set.
VORN_CLONES void off_band_product(const Model& m, const Vec& x, Vec& y) {
    std::fill(y.begin(), y.end(), 0.0);
    if (m.MutRows.empty()) return;
    const int NB = m.NB, n2 = m.NS_2m1;
    RArr2 xt(2, n2, 1, NB), V(2, n2, 1, NB, 0.0);
    for (int b = 1; b <= NB; ++b)
        for (int s = 2; s <= n2; ++s) xt(s, b) = x[std::size_t(var_cs(m, b, s) - 1)];
    for (int s1 = 2; s1 <= n2; ++s1)
        for (int d = -m.NBMut; d <= m.NBMut; ++d) {
            const int lo = std::max(1, 1 - d), hi = std::min(NB, NB - d);  // b, with b + d in the cable
            if (d == 0 || lo > hi) continue;
            double* v = &V(s1, lo);
            for (int s = 2; s <= n2; ++s) {
                const double r = m.RMut(s1, d, s);
                const double* c = &xt(s, lo + d);
                for (int k = 0; k <= hi - lo; ++k) v[k] += r * c[k];
            }
        }
    for (const MutTerm& t : m.MutRows) y[std::size_t(t.NRow - 1)] += t.NFac * V(t.i1, t.NB1) / m.dt;
}

// The operator: with older factors, the nonzeros of the assembled band
// columns (in A_LU, since the factors hold the matrix's place); and the
// right-hand side.
struct System {
    Model& m;  // the recycled directions and the counters change with each cycle
    const std::vector<int>& start;
    const std::vector<int>& var;
    const std::vector<double>& val;
    Vec b;
    // With older factors: the correction for the band's change since they
    // were made, when it was made (null: the older factors alone).
    const BandUpdate* upd = nullptr;
};

// z = P^-1 r, counted.
void precondition(const System& sys, const Vec& r, Vec& z) {
    precondition(sys.m, r, z);
    if (sys.upd) band_update_apply(sys.m, *sys.upd, z.data());
    ++sys.m.Stats.NrSubst;
}

// The factorisation the implicit solution works with: packed unless the
// reference mode keeps the factors as the explicit scheme does.
void factorise(Model& m) { band_factorise(m, m.PackFactors == 1); }

// The right-hand side of the assembled system.
Vec rhs_of(const Model& m) {
    Vec b(static_cast<std::size_t>(m.NEq));
    for (int i = 1; i <= m.NEq; ++i) b[std::size_t(i - 1)] = finite_rhs(m, i);
    return b;
}

System system_of(Model& m, Vec b, const BandUpdate* upd = nullptr) {
    return System{m, m.A_LU.Ostart, m.A_LU.Ovar, m.A_LU.Oval, std::move(b), upd};
}

// With factors of the present band P the preconditioned operator is
// P^-1 A = I + P^-1 N: one substitution and the coupling product per
// application, and no product with P.
bool own_factors(const System& sys) { return sys.m.AsmMode != 2; }

// The preconditioner is the inverse of the present band (to rounding): its
// own factors, or older ones with the correction.
bool exact_preconditioner(const System& sys) { return own_factors(sys) || sys.upd != nullptr; }

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
    if (exact_preconditioner(sys)) {
        off_band_product(sys.m, v, t);
        precondition(sys, t, w);
        for (std::size_t i = 0; i < v.size(); ++i) w[i] += v[i];
    } else {
        apply_system(sys, v, t);
        precondition(sys, t, w);
    }
}

double max_abs(const Vec& z) {
    double worst = 0.0;
    for (double v : z) worst = std::isnan(v) ? v : std::max(worst, std::abs(v));
    return worst;
}

// z = P^-1 (b - A x), one substitution; returns max |z|.  With an exact
// preconditioner as I + P^-1 N unless `with_band` asks for the product
// with the band itself.
double preconditioned_residual(const System& sys, const Vec& x, Vec& z, bool with_band = false) {
    const Model& m = sys.m;
    const std::size_t Nt = std::size_t(m.NEq);
    Vec r(Nt);
    if (exact_preconditioner(sys) && !with_band) {  // P^-1 (b - N x) - x
        off_band_product(m, x, r);
        for (std::size_t i = 0; i < Nt; ++i) r[i] = sys.b[i] - r[i];
        precondition(sys, r, z);
        for (std::size_t i = 0; i < Nt; ++i) z[i] -= x[i];
    } else {
        apply_system(sys, x, r);
        for (std::size_t i = 0; i < Nt; ++i) r[i] = sys.b[i] - r[i];
        precondition(sys, r, z);
    }
    return max_abs(z);
}

// sum a[i] b[i] in eight interleaved partial sums (simd_dot.hpp).
VORN_CLONES double dot(const Vec& a, const Vec& b) {
    return dot8(a.data(), b.data(), int(a.size()));
}

double norm2(const Vec& v) { return std::sqrt(dot(v, v)); }

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

// The k x k triangle of the rotated Hessenberg matrix solved for y.
Vec hessenberg_solution(const std::vector<Vec>& h, const Vec& g, int k) {
    Vec y(std::size_t(k), 0.0);
    for (int i = k - 1; i >= 0; --i) {
        const auto I = std::size_t(i);
        double s = g[I];
        for (int j = i + 1; j < k; ++j) s -= h[I][std::size_t(j)] * y[std::size_t(j)];
        y[I] = h[I][I] != 0.0 ? s / h[I][I] : 0.0;
    }
    return y;
}

// z = r0 - P^-1 A V_k y = V_{k+1} (beta e_1 - H y) by the Arnoldi relation,
// with H the Hessenberg matrix before the rotations: the preconditioned
// residual of x + V_k y without a substitution.  Returns max |z|.
double arnoldi_residual(const std::vector<Vec>& v, const std::vector<Vec>& h0, double beta,
                        const Vec& y, int k, Vec& z) {
    std::fill(z.begin(), z.end(), 0.0);
    for (int j = 0; j <= k; ++j) {
        const auto J = std::size_t(j);
        double c = j == 0 ? beta : 0.0;
        for (int i = std::max(0, j - 1); i < k; ++i) c -= h0[J][std::size_t(i)] * y[std::size_t(i)];
        for (std::size_t n = 0; n < z.size(); ++n) z[n] += c * v[J][n];
    }
    return max_abs(z);
}

// The recycled directions when they belong to this operator (factors of
// the present band, the same coupling terms), else none.
const KrylovRecycle* recycle_of(const System& sys) {
    const Model& m = sys.m;
    const KrylovRecycle& r = m.Recycle;
    if (!own_factors(sys) || r.serial != m.A_LU.Serial || r.C.empty() || !(r.mut == m.MutRows))
        return nullptr;
    return &r;
}

// x += U C^T z, z -= C C^T z: the residual loses its part in the span of
// the recycled c.  Returns max |z|.
double project_out(const KrylovRecycle* rec, Vec& x, Vec& z) {
    if (rec)
        for (std::size_t j = 0; j < rec->C.size(); ++j) {
            const Vec& c = rec->C[j];
            const Vec& u = rec->U[j];
            const double d = dot(c, z);
            for (std::size_t i = 0; i < z.size(); ++i) {
                x[i] += d * u[i];
                z[i] -= d * c[i];
            }
        }
    return max_abs(z);
}

// Keeps the directions of a cycle: Z = V_k - U E has P^-1 A Z = V_{k+1} H
// (H as made, (k+1) x k).  With H = Q R (Gram-Schmidt on its columns) the
// new pairs are u = Z R^-1, c = V_{k+1} Q, orthonormal and orthogonal to
// the c kept before; the oldest go beyond kRecycle pairs.  A column of R
// negligible against the first ends the new pairs.
void keep_directions(Model& m, const std::vector<Vec>& v, const std::vector<Vec>& h0,
                     const std::vector<Vec>& E, int k) {
    KrylovRecycle& rec = m.Recycle;
    if (rec.serial != m.A_LU.Serial || !(rec.mut == m.MutRows)) {
        rec.clear();
        rec.serial = m.A_LU.Serial;
        rec.mut = m.MutRows;
    }
    const std::size_t n = v[0].size(), K = std::size_t(k), p = rec.C.size();
    std::vector<Vec> q(K, Vec(K + 1, 0.0)), r(K, Vec(K, 0.0));  // q[col][row], r[row][col]
    std::size_t kept = 0;
    for (std::size_t j = 0; j < K; ++j, ++kept) {
        for (std::size_t i = 0; i <= K; ++i) q[j][i] = h0[i][j];
        for (std::size_t l = 0; l < j; ++l) {
            double d = 0.0;
            for (std::size_t i = 0; i <= K; ++i) d += q[l][i] * q[j][i];
            r[l][j] = d;
            for (std::size_t i = 0; i <= K; ++i) q[j][i] -= d * q[l][i];
        }
        double nn = 0.0;
        for (double e : q[j]) nn += e * e;
        r[j][j] = std::sqrt(nn);
        if (!(r[j][j] > 1e-10 * r[0][0])) break;
        for (double& e : q[j]) e /= r[j][j];
    }
    for (std::size_t j = 0; j < kept; ++j) {
        Vec u(v[j]), c(n, 0.0);
        for (std::size_t l = 0; l < p; ++l)
            for (std::size_t i = 0; i < n; ++i) u[i] -= E[j][l] * rec.U[l][i];
        for (std::size_t l = 0; l < j; ++l)
            for (std::size_t i = 0; i < n; ++i) u[i] -= r[l][j] * rec.U[p + l][i];
        for (double& e : u) e /= r[j][j];
        for (std::size_t l = 0; l <= K; ++l)
            for (std::size_t i = 0; i < n; ++i) c[i] += q[j][l] * v[l][i];
        rec.U.push_back(std::move(u));
        rec.C.push_back(std::move(c));
    }
    const std::size_t drop = rec.C.size() > std::size_t(kRecycle) ? rec.C.size() - kRecycle : 0;
    rec.U.erase(rec.U.begin(), rec.U.begin() + std::ptrdiff_t(drop));
    rec.C.erase(rec.C.begin(), rec.C.begin() + std::ptrdiff_t(drop));
}

// One restart cycle of GMRES from x with the preconditioned residual z
// (2-norm beta, orthogonal to the recycled c of rec) on the operator
// (I - C C^T) P^-1 A; x and z are updated, and the max norm of the new z is
// returned in res.  Stops early when that max norm falls to tol: the 2-norm
// estimate bounds it from above, and once the estimate is within sqrt(n) of
// tol the residual is formed (vector operations only) and its max norm
// taken.  Returns the iterations made.
int gmres_cycle(const System& sys, const KrylovRecycle* rec, Vec& x, Vec& z, double beta,
                double tol, int budget, double& res) {
    const std::size_t n = x.size(), p = rec ? rec->C.size() : 0;
    const int mk = std::min(kRestart, budget);
    const double near = tol * std::sqrt(double(n));
    std::vector<Vec> v(1, Vec(n));  // Krylov vectors, made as needed
    std::vector<Vec> h(std::size_t(mk + 1), Vec(std::size_t(mk), 0.0));  // h[row][col], rotated
    std::vector<Vec> h0 = h;                                               // and as made
    std::vector<Vec> E;  // E[col][l] = c_l^T P^-1 A v_col
    Vec cs(static_cast<std::size_t>(mk)), sn(static_cast<std::size_t>(mk)),
        g(std::size_t(mk + 1), 0.0);
    for (std::size_t i = 0; i < n; ++i) v[0][i] = z[i] / beta;
    g[0] = beta;
    Vec w(n), y;
    int k = 0;
    bool formed = false;  // z holds the residual of x + V_k y
    while (k < mk) {
        apply_preconditioned(sys, v[std::size_t(k)], w);
        E.emplace_back(p, 0.0);
        for (std::size_t l = 0; l < p; ++l) {
            const Vec& c = rec->C[l];
            const double d = dot(w, c);
            E.back()[l] = d;
            for (std::size_t i = 0; i < n; ++i) w[i] -= d * c[i];
        }
        for (int j = 0; j <= k; ++j) {  // modified Gram-Schmidt
            const double d = dot(w, v[std::size_t(j)]);
            h[std::size_t(j)][std::size_t(k)] = d;
            for (std::size_t i = 0; i < n; ++i) w[i] -= d * v[std::size_t(j)][i];
        }
        const double hn = norm2(w);
        h[std::size_t(k + 1)][std::size_t(k)] = hn;
        for (int j = 0; j <= k + 1; ++j)
            h0[std::size_t(j)][std::size_t(k)] = h[std::size_t(j)][std::size_t(k)];
        v.emplace_back(n, 0.0);
        if (hn > 0.0)
            for (std::size_t i = 0; i < n; ++i) v[std::size_t(k + 1)][i] = w[i] / hn;
        rotate_column(h, cs, sn, g, k);
        ++k;
        const double est = std::abs(g[std::size_t(k)]);
        if (!(est > tol) || hn == 0.0) break;
        if (est <= near) {
            y = hessenberg_solution(h, g, k);
            res = arnoldi_residual(v, h0, beta, y, k, z);
            if (!(res > tol)) {
                formed = true;
                break;
            }
        }
    }
    if (!formed) {
        y = hessenberg_solution(h, g, k);
        res = arnoldi_residual(v, h0, beta, y, k, z);
    }
    // x += V_k y - U E y
    for (int j = 0; j < k; ++j)
        for (std::size_t i = 0; i < n; ++i) x[i] += y[std::size_t(j)] * v[std::size_t(j)][i];
    for (std::size_t l = 0; l < p; ++l) {
        double d = 0.0;
        for (int j = 0; j < k; ++j) d += E[std::size_t(j)][l] * y[std::size_t(j)];
        for (std::size_t i = 0; i < n; ++i) x[i] -= d * rec->U[l][i];
    }
    if (own_factors(sys) && k > 0) keep_directions(sys.m, v, h0, E, k);
    return k;
}

// Initial guess: the last solution when it has the present size (the
// previous iterate of this step, or the previous step's currents), else 0.
// At the first solution of a step, when the two steps before it were
// solved, their currents are extrapolated linearly in time: the currents of
// a ramp change smoothly from step to step, and the guess then starts GMRES
// a few iterations further on.
Vec initial_guess(const Model& m) {
    Vec x(std::size_t(m.NEq), 0.0);
    if (!m.X_last.allocated() || m.X_last.lo() != 1 || m.X_last.hi() != m.NEq) return x;
    std::copy_n(m.X_last.data(), m.NEq, x.begin());
    const double span = m.X_last_t - m.X_prev_t, ahead = m.Time - m.X_last_t;
    if (m.X_last_NTS == m.NTS - 1 && m.X_prev_NTS == m.NTS - 2 && m.X_prev_NTS >= 1 &&
        m.X_prev.allocated() && m.X_prev.hi() == m.NEq && span > 0.0 && ahead > 0.0 &&
        ahead <= 2.0 * span) {
        const double f = ahead / span;
        for (int g = 1; g <= m.NEq; ++g)
            x[std::size_t(g - 1)] += f * (m.X_last(g) - m.X_prev(g));
    }
    return x;
}

// Keeps the solution x of step NTS as the next initial guess; the last one
// of the step before becomes the previous step's.
void keep_last(Model& m, const Vec& x) {
    const int Nt = m.NEq;
    if (m.X_last.allocated() && m.X_last.hi() == Nt && m.X_last_NTS == m.NTS - 1) {
        m.X_prev.allocate(1, Nt, 0.0);
        std::copy_n(m.X_last.data(), Nt, m.X_prev.data());
        m.X_prev_NTS = m.X_last_NTS;
        m.X_prev_t = m.X_last_t;
    } else if (m.X_last_NTS != m.NTS) {
        m.X_prev_NTS = -1;
    }
    m.X_last.allocate(1, Nt, 0.0);
    std::copy(x.begin(), x.end(), m.X_last.data());
    m.X_last_NTS = m.NTS;
    m.X_last_t = m.Time;
}

// The last solution reached the full tolerance (not only an interim one),
// for this right-hand side.
bool same_as_last(const Model& m, const Vec& b) {
    if (!m.X_last.allocated() || !m.B_last.allocated() || m.B_last.hi() != int(b.size()))
        return false;
    double xx = 0.0;
    for (int g = 1; g <= m.X_last.hi(); ++g) xx += m.X_last(g) * m.X_last(g);
    const double full = std::max(kTolCsAcc * m.CsAcc, kTolRel * std::sqrt(xx));
    return m.Stats.ResNet <= m.Stats.TolNet && m.Stats.ResNet <= full &&
           std::equal(b.begin(), b.end(), m.B_last.data());
}

void report_unconverged(Model& m, double res, double tol, int its) {
    msg_fmt(m, "(A,ES11.3,A,ES11.3,A,I6,A)",
            {"Network solution: residual ", res, " A above the tolerance ", tol, " A after ", its,
             " GMRES iterations"});
}

struct GmresResult {
    int its = 0;
    double res = 0;    // the final preconditioned residual, max norm (A)
    double tol = 0;    // the tolerance it was to reach (A)
};

// GMRES from the last solution to the tolerance, with the factors in A_LU as
// preconditioner (and the correction of older ones).
GmresResult gmres_solve(const System& sys, Vec& x) {
    Vec z(x.size());
    GmresResult g;
    g.res = preconditioned_residual(sys, x, z);
    // The rounding floor scales with the currents: those of the initial
    // guess, or the first correction when the guess is zero.
    const double rel = interim_solution(sys.m) ? kTolInterim : kTolCsAcc;
    g.tol = std::max(rel * sys.m.CsAcc, kTolRel * std::max(norm2(x), norm2(z)));
    double tol_gmres = (own_factors(sys) ? kAimOwn : kAimOlder) * g.tol;
    for (;;) {
        for (;;) {
            const KrylovRecycle* rec = recycle_of(sys);  // each cycle adds to them
            g.res = project_out(rec, x, z);
            if (!(g.res > tol_gmres) || g.its >= kMaxKrylov) break;
            g.its += gmres_cycle(sys, rec, x, z, norm2(z), tol_gmres, kMaxKrylov - g.its, g.res);
        }
        // Closing step with the banded part alone: x += P^-1 (b - A x) leaves
        // the residual -N P^-1 (b - A x), which is zero in every row without
        // inductive coupling, so node and current-sum equations hold to
        // rounding; the voltage rows keep a residual of the order of the
        // previous one.
        for (std::size_t i = 0; i < x.size(); ++i) x[i] += z[i];
        g.res = preconditioned_residual(sys, x, z);
        if (!(g.res > g.tol) || g.its >= kMaxKrylov) break;
        tol_gmres *= kAimTighter;
    }
    return g;
}

}  // namespace

// After the assembly A holds the band (AsmMode 0: factorised here), the
// factors of this band (1), or older factors and the band in A_LU's
// operator (2).
void solve_array_implicit(Model& m) {
    const int Nt = m.NEq;
    if (!m.A.allocated() || m.A.hi1() != Nt || m.A.hi2() != m.NCa || Nt != m.NEqB * m.NB)
        throw FatalError("internal error: system matrix does not match NEq x NCa");
    if (m.AsmMode == 0) factorise(m);
    Vec b = rhs_of(m);
    if (m.AsmSameBand == 1 && same_as_last(m, b)) {
        // The same matrix and right-hand side as the last solution (an
        // inner iteration that changed nothing): its result stands.
        m.Stats.NrSolve = m.Stats.NrSolve + 1;
        m.Stats.NrKrylovLast = 0;
        keep_solution(m, m.X_last.data(), Nt);
        return;
    }
    // Older factors, corrected for the band's change when that pays.
    BandUpdate upd;
    const bool corrected = m.AsmMode == 2 && m.UpdateFactors == 1 && band_update_prepare(m, upd);
    if (corrected) ++m.Stats.NrUpdate;
    const System sys = system_of(m, std::move(b), corrected ? &upd : nullptr);
    Vec x = initial_guess(m);
    GmresResult g = gmres_solve(sys, x);
    if (corrected && g.res <= g.tol && !interim_solution(m)) {
        // The corrected factors stood for the band's inverse: the residual
        // once more with the band's own coefficients.  An interim solution
        // is not checked: the solution that may end the step is, and it
        // goes on from the interim one to the band's own residual.
        Vec z(x.size());
        g.res = preconditioned_residual(sys, x, z, true);
    }
    if (m.AsmMode == 2) {
        if (g.res <= g.tol) {
            // Corrected factors precondition as new ones would: what GMRES
            // needed says nothing against keeping them.
            m.A_LU.StaleKrylov = corrected ? 0 : g.its;
            m.A_LU.StaleRs = m.Rs;
            m.A_LU.StaleRa = m.Ra;
            m.A_LU.StaleRc = m.Rc;
        } else {
            // The older factors did not get there: the band again, its own
            // factors, and the solution again from the same start.
            m.Stats.NrKrylov += g.its;
            assemble_full_band(m);
            factorise(m);
            x = initial_guess(m);
            g = gmres_solve(system_of(m, rhs_of(m)), x);
        }
    }
    m.Stats.NrSolve = m.Stats.NrSolve + 1;
    m.Stats.NrKrylov += g.its;
    m.Stats.NrKrylovLast = g.its;
    m.Stats.ResNet = g.res;
    m.Stats.TolNet = g.tol;
    if (!(g.res <= g.tol)) report_unconverged(m, g.res, g.tol, g.its);

    keep_last(m, x);
    m.B_last.allocate(1, Nt, 0.0);
    std::copy(sys.b.begin(), sys.b.end(), m.B_last.data());
    keep_solution(m, x.data(), Nt);
}

double explicit_spectral_radius(Model& m, int iterations) {
    if (m.AsmMode == 0) factorise(m);
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
