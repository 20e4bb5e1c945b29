// Coupled temperature solution of a time step.  The section-by-section
// passes converge only while the conduction to the neighbours is weak
// against the heat capacity over the step (a Gauss-Seidel iteration); here
// the balances of all sections are solved together by Newton's method:
//
//   F_i(T) = C_i(Tp_i) (T_i - T0_i) - dt (P_i + flows_i(Tp_i, Tmid_nb)
//            + insulation_i(Tp_i) + helium_i(Tp_i)) = 0,
//
// with Tp_i = (T0_i + T_i)/2 and the neighbours at their mid-step
// temperatures, exactly the balance a bisection of the section solves.  The
// Jacobian has the sparsity of the heat flows (five links per section); it
// is an M-matrix, strictly diagonally dominant by the heat capacities, and
// is solved by symmetric Gauss-Seidel sweeps.  Each Newton iteration is one
// pass of the temperature loop.  A pass accepts its iterate when every
// section meets the tests of the bisection there (energy within C tol,
// power balance) and no Newton update exceeds tol = 0.4 TsAcc; the cable
// ends and quiet sections are held, and the helium regimes chosen, by the
// rules of the section-by-section passes.
#include <algorithm>
#include <cmath>
#include <string>

#include "control/control.hpp"
#include "thermal/materials.hpp"
#include "thermal/temperature_pass.hpp"
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

// Reversals of its update after which a section that still misses the
// energy test while its update stays below tol is taken to sit on a jump of
// its balance (tabulated properties, the heat capacity at the
// current-sharing temperature).
constexpr int kStagnant = 2;
// Symmetric Gauss-Seidel sweeps of one linear solution (at most).
constexpr int kMaxSweeps = 400;

// The linear system of one Newton iteration, rows 1..n for the solved
// sections; J(i, i) = diag(i), off-diagonal entries (col, val)(i, 1..5).
struct NewtonSystem {
    IArr2 row;          // b x s -> row, 0 for a held section
    IArr1 rb, rs;       // row -> band, section
    RArr1 diag, rhs, x; // rows 1..n
    IArr1 met;          // 1: the section meets the energy and power tests
    RArr1 gross;        // W, heat in minus heat out (Pin - Pout) of the section
    IArr2 col;          // rows x links 1..5, 0 for none
    RArr2 val;
    int n = 0;
};

// Neighbour (band, section) of link l = 0..4 of section (b, s); band 0 when
// beyond a cable end.  A single band is its own neighbour.
void link_neighbour(const Model& m, int b, int s, int l, int& nb, int& ns) {
    int offset = 0;
    switch (l) {
    case 0: offset = m.NB_str_L(s); ns = m.NS_str_L(s); break;
    case 1: offset = m.NB_str_R(s); ns = m.NS_str_R(s); break;
    case 2: offset = m.NB_adj_L(s); ns = m.NS_adj_L(s); break;
    case 3: offset = m.NB_adj_R(s); ns = m.NS_adj_R(s); break;
    default: offset = 0; ns = m.NS_cross(s); break;
    }
    nb = m.NB == 1 ? 1 : b + offset;
    if (nb < 1 || nb > m.NB) nb = 0;
}

// Sections held at their start state in this pass: the cable ends and the
// quiet sections, by the rules of the section-by-section passes.
void mark_held(Model& m, NewtonSystem& sys, double tol) {
    sys.row.allocate(1, m.NB, 2, m.NS_2m1, 0);
    int n = 0;
    for (int b = 1; b <= m.NB; ++b) {
        const double E_q = cp_calculation(m, b, 4, m.TBath) * tol;
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const bool held = m.NB > 1 && (at_cable_end(m, b, s) || quiet(m, b, s, E_q, tol));
            m.Solved_s(b, s) = held ? 0 : 1;
            if (b >= 2 && b <= m.NB - 1 && m.NY_T.allocated()) m.NY_T(b, s) = held ? 0 : 1;
            if (held) {
                m.Ts(b, s) = m.Ts_prev(b, s);
                m.THs(b, s) = m.THs_prev(b, s);
            } else {
                sys.row(b, s) = ++n;
            }
            m.Tmid(b, s) = (m.Ts_prev(b, s) + m.Ts(b, s)) / 2;
        }
    }
    sys.n = n;
    sys.rb.allocate(1, std::max(n, 1), 0);
    sys.rs.allocate(1, std::max(n, 1), 0);
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s)
            if (const int i = sys.row(b, s); i > 0) {
                sys.rb(i) = b;
                sys.rs(i) = s;
            }
}

// Helium heat flow into the strand at property temperature Tp (W) in the
// regime the section takes there, and its conductance -dHF_He/dTp (W/K).
double helium_flow(Model& m, int b, int s, double Tp, double tol, double& g) {
    g = 0;
    if (m.Opt_Temp == 1) {
        m.HF_He(b, s) = 0;
        return 0;
    }
    const double TH0 = m.THs_prev(b, s);
    if (m.Opt_He == 1) {
        m.Regime(b, s) = 10;
        helium_solution(m, b, s, Tp, TH0, tol);
    } else if (m.Opt_Trans_HF >= 1 && m.E_Trans(b, s) < m.e_trans_lim(s)) {
        m.Regime(b, s) = 1;
        helium_solution(m, b, s, Tp, TH0, tol);
    } else {
        // The first regime, in the order of the passes, that holds at Tp.
        for (int r = m.TBath <= m.T_He_ref ? 2 : 4; r <= 6; ++r) {
            m.Regime(b, s) = r;
            if (helium_solution(m, b, s, Tp, TH0, tol) && regime_valid(m, b, s)) break;
        }
    }
    const double hf = m.HF_He(b, s), th = m.THs(b, s), cap = m.Cap_He(b, s);
    // The helium temperature is found to tol: a difference over ten times
    // that is not swamped by it.
    const double h = std::max(10 * tol, 1e-4);
    helium_solution(m, b, s, Tp + h, TH0, tol);
    g = -(m.HF_He(b, s) - hf) / h;
    m.HF_He(b, s) = hf;
    m.THs(b, s) = th;
    m.Cap_He(b, s) = cap;
    return hf;
}

// Residual and Jacobian row of solved section (b, s) at its present Ts.
void section_row(Model& m, NewtonSystem& sys, int i, double tol) {
    const int b = sys.rb(i), s = sys.rs(i);
    const double T0 = m.Ts_prev(b, s), T = m.Ts(b, s), Tp = (T0 + T) / 2;
    const double C = cp_calculation(m, b, s, Tp);
    // Slope of the heat capacity over +-0.05 K (the copper table is linear
    // on 0.1 K segments), not below the table's first point.
    const double lo = std::max(Tp - 0.05, 0.1), hi = Tp + 0.05;
    const double dC = (cp_calculation(m, b, s, hi) - cp_calculation(m, b, s, lo)) / (hi - lo);
    const SectionFlows flows(m, b, s, m.Tmid);
    store_cable_flows(m, b, s, flows.at(Tp));
    double K[5];
    flows.conductances(Tp, K);
    double g_ins = 0;
    if (m.Opt_Ins == 1) {
        m.HF_ins(b, s) = (m.TBath - Tp) * m.f_hf_ins(s);
        g_ins = m.f_hf_ins(s);
    }
    double g_he = 0;
    const double he = helium_flow(m, b, s, Tp, tol, g_he);
    const double P = m.PsMean(b, s) + m.P_HP_arr(b, s) + m.HF_str(b, s) + m.HF_adj(b, s) +
                     m.HF_cross(b, s) + m.HF_ins(b, s) + he;
    m.HF_s(b, s) = P;
    m.Cap_s(b, s) = C;
    const double dt = m.dt;
    double G = g_ins + g_he;
    for (int l = 0; l < 5; ++l) {
        int nb = 0, ns = 0;
        link_neighbour(m, b, s, l, nb, ns);
        sys.col(i, l + 1) = 0;
        if (nb == 0) continue;
        G += K[l];
        const int j = sys.row(nb, ns);
        if (j > 0 && j != i) {
            sys.col(i, l + 1) = j;
            sys.val(i, l + 1) = -0.5 * dt * K[l];
        }
    }
    sys.diag(i) = C + 0.5 * std::max(dC, 0.0) * std::fabs(T - T0) + 0.5 * dt * std::max(G, 0.0);
    const double dE = C * (T - T0);
    sys.rhs(i) = -(dE - P * dt);
    // The tests of the bisection, at this iterate.
    const double gen = m.PsMean(b, s) + m.P_HP_arr(b, s);
    const double parts[6] = {-dE / dt, m.HF_str(b, s), m.HF_adj(b, s), m.HF_cross(b, s),
                             m.HF_ins(b, s), he};
    double Pin = gen, Pout = 0;
    for (double f : parts) {
        Pin += std::max(f, 0.0);
        Pout += std::min(f, 0.0);
    }
    sys.met(i) = std::fabs(dE - P * dt) < C * tol && balanced(m, Pin, Pout) ? 1 : 0;
    sys.gross(i) = Pin - Pout;
}

// Symmetric Gauss-Seidel sweeps on J x = rhs from x = 0, until no entry of
// x moves by more than eps (K).
void solve_sweeps(NewtonSystem& sys, double eps) {
    sys.x.fill(0.0);
    auto relax = [&](int i) {
        double r = sys.rhs(i);
        for (int l = 1; l <= 5; ++l)
            if (const int j = sys.col(i, l); j > 0) r -= sys.val(i, l) * sys.x(j);
        const double xi = r / sys.diag(i);
        const double d = std::fabs(xi - sys.x(i));
        sys.x(i) = xi;
        return d;
    };
    for (int sweep = 1; sweep <= kMaxSweeps; ++sweep) {
        double moved = 0;
        for (int i = 1; i <= sys.n; ++i) moved = std::max(moved, relax(i));
        for (int i = sys.n; i >= 1; --i) moved = std::max(moved, relax(i));
        if (moved <= eps) return;
    }
}

// A section at a jump of its balance: it keeps its temperature and takes up
// the heat of the step with the capacity Q/dT (between the two sides of the
// jump), so that the energy of the step is kept exactly.  Where the jump
// reverses the net heat of a section that warms or cools by little (a step
// of the tabulated conductivity between large flows that nearly cancel),
// no capacity does: the section is taken as it is when its imbalance is
// within 2 % of the heat that passes through it, the size of such a step.
bool settle_on_jump(Model& m, int b, int s, double gross) {
    const double dT = m.Ts(b, s) - m.Ts_prev(b, s);
    const double Q = m.HF_s(b, s) * m.dt;
    const double C_eff = dT != 0 ? Q / dT : 0.0;
    if (C_eff > 0) {
        m.Cap_s(b, s) = C_eff;
        return true;
    }
    return std::fabs(m.Cap_s(b, s) * dT - Q) <= 0.02 * gross * m.dt;
}

// The bisection's bracket of section (b, s): no more than TincrM from its
// start temperature, not below the bath (K).
void bracket(const Model& m, int b, int s, double tol, double& lo, double& hi) {
    const double T0 = m.Ts_prev(b, s);
    lo = std::max(T0 - m.TincrM, m.TBath) - 2 * tol;
    hi = T0 + m.TincrM + 2 * tol;
}

// Outcome of one Newton iteration.
enum class Pass { moved, converged, failed };

// One Newton iteration.  Converged: the present iterate meets every test
// and the update is below tol; it stays as it is, with the flows and
// capacities of its evaluation.  Otherwise the update is applied, within
// the bisection's bracket of the section.
Pass newton_pass(Model& m, double tol, int& failed_b, int& failed_s) {
    NewtonSystem sys;
    mark_held(m, sys, tol);
    if (sys.n == 0) return Pass::converged;
    sys.diag.allocate(1, sys.n, 0.0);
    sys.rhs.allocate(1, sys.n, 0.0);
    sys.x.allocate(1, sys.n, 0.0);
    sys.met.allocate(1, sys.n, 0);
    sys.gross.allocate(1, sys.n, 0.0);
    sys.col.allocate(1, sys.n, 1, 5, 0);
    sys.val.allocate(1, sys.n, 1, 5, 0.0);
    for (int i = 1; i <= sys.n; ++i) section_row(m, sys, i, tol);
    solve_sweeps(sys, 1e-3 * tol);

    // A section whose update turns back and forth straddles a jump of its
    // balance: each reversal halves its steps, so that it closes in on the
    // jump and then settles there.
    bool small = true, all_met = true;
    for (int i = 1; i <= sys.n; ++i) {
        const int b = sys.rb(i), s = sys.rs(i);
        double& last = m.NewtonStep(b, s);
        int& turns = m.NewtonTurns(b, s);
        if (sys.x(i) * last < 0) turns = std::min(turns + 1, 60);
        last = sys.x(i);
        sys.x(i) = std::ldexp(sys.x(i), -turns);
        small = small && std::fabs(sys.x(i)) < tol;
        // Missing the tests is final only on a jump.
        all_met = all_met && (sys.met(i) == 1 || turns >= kStagnant);
    }
    if (small && all_met) {
        // Accepted where it stands: strictly inside the bracket of the
        // bisection (no more than TincrM per step).
        for (int i = 1; i <= sys.n; ++i) {
            const int b = sys.rb(i), s = sys.rs(i);
            double lo = 0, hi = 0;
            bracket(m, b, s, tol, lo, hi);
            const double T = m.Ts(b, s);
            const bool inside = T > lo + tol && T < hi - tol;
            if (!inside || (sys.met(i) == 0 && !settle_on_jump(m, b, s, sys.gross(i)))) {
                failed_b = b;
                failed_s = s;
                return Pass::failed;
            }
        }
        return Pass::converged;
    }
    for (int i = 1; i <= sys.n; ++i) {
        const int b = sys.rb(i), s = sys.rs(i);
        double lo = 0, hi = 0;
        bracket(m, b, s, tol, lo, hi);
        m.Ts(b, s) = std::clamp(m.Ts(b, s) + sys.x(i), lo, hi);
    }
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Tmid(b, s) = (m.Ts_prev(b, s) + m.Ts(b, s)) / 2;
    return Pass::moved;
}

}  // namespace

void temp_calculation_coupled(Model& m) {
    if (m.NrItTs == 1) {
        m.NewtonStep.allocate(1, m.NB, 2, m.NS_2m1, 0.0);
        m.NewtonTurns.allocate(1, m.NB, 2, m.NS_2m1, 0);
    }
    const double tol = 0.4 * m.TsAcc;
    m.StepAdd = 0;
    RArr2 Ts0, THs0;
    pass_start(m, Ts0, THs0);
    int fb = 0, fs = 0;
    const Pass pass = newton_pass(m, tol, fb, fs);
    m.NrTsCh = 0;
    m.NrTHsCh = 0;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            if (std::fabs(m.Ts(b, s) - Ts0(b, s)) > m.TsAcc) ++m.NrTsCh;
            if (std::fabs(m.THs(b, s) - THs0(b, s)) > m.TsAcc) ++m.NrTHsCh;
        }
    m.TsConv = pass == Pass::converged ? 1 : 0;
    if (pass == Pass::failed) {
        m.StepAdd = 1;
        m.log_unit.line("No temperature solution in band " + std::to_string(fb) + ", section " +
                        std::to_string(fs) +
                        " within TincrM of its start or at its energy balance: time step added");
    } else if (m.TsConv == 0 && m.NrItTs == m.NrItT_M) {
        m.StepAdd = 1;
        m.log_unit.line("No temperature convergence within NrItT_M iterations: time step added");
    }
    if (m.Opt_PrIter == 1 && m.NrItRs >= 1) write_convergency_row(m);
}

}  // namespace vorn
