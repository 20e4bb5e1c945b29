// Temperature solution of one time step: every section's end-of-step strand
// temperature (and helium temperature) is found by bisection on an implicit
// energy balance over the step, with the neighbours at their latest
// mid-step temperatures.  The driver repeats the passes over the cable until
// no temperature moves by more than TsAcc.
#include <algorithm>
#include <cmath>

#include "control/control.hpp"
#include "thermal/materials.hpp"
#include "thermal/temperature_pass.hpp"
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

double pos(double x) { return std::max(x, 0.0); }
double neg(double x) { return std::min(x, 0.0); }

// A bisection bracket with its pass limit: ten times the passes that halve
// it down to tol.
struct Bracket {
    double low, high, lo0, hi0;
    int N;
    Bracket(double lo, double hi, double tol) : low(lo), high(hi), lo0(lo), hi0(hi) {
        N = 10 * int(std::lround(std::log2((hi - lo) / tol)) + 1);
    }
    double mid() const { return (low + high) / 2; }
    // Halved down to the resolution of the numbers: the balance changes
    // sign inside, but a tabulated property (conductivity and resistivity
    // are read without interpolation) jumps there, so that no temperature
    // meets the relative power test.  The energy test still holds the
    // error to C tol (a shorter step brings it there).
    bool collapsed() const { return high - low <= 8e-16 * std::max(std::fabs(high), 1.0); }
    // Strictly inside the initial bracket shrunk by tol on both sides.
    bool inside(double x, double tol) const { return x > lo0 + tol && x < hi0 - tol; }
};

// Heat capacity (J/K) booked for a step of dT (K) whose balance gave dE
// against the heat Q (J).  Where the bracket has collapsed onto a jump of the
// balance (the superconductor's heat capacity switches to its normal-state
// value at the current-sharing temperature; conductivity and resistivity are
// tabulated in 0.1 K steps), no temperature meets the energy test, however
// short the step: the section then stays at the jump and takes up Q with a
// capacity between the two sides, Q/dT, as a latent heat would, so that the
// energy of the step is kept exactly.
double step_capacity(const Bracket& br, double C, double dE, double Q, double dT) {
    if (!br.collapsed() || std::fabs(dE - Q) < C * 1e-12 || dT == 0) return C;
    const double C_eff = Q / dT;
    return C_eff > 0 ? C_eff : C;
}

}  // namespace

bool balanced(const Model& m, double Pin, double Pout) {
    const double net = Pin - Pout;
    if (net < m.HFAccAbs || net <= 0) return true;
    return std::fabs((Pin + Pout) / net) < m.HFAccRel;
}

bool helium_solution(Model& m, int b, int s, double Tp, double TH0, double tol) {
    if (m.Opt_Temp == 2) {  // an infinite amount of helium at the bath temperature
        m.THs(b, s) = m.TBath;
        heat_flow_helium(m, b, s, Tp, m.TBath);
        m.Cap_He(b, s) = 0;
        return true;
    }
    Bracket br(m.TBath - 2 * tol, TH0 + m.TincrM + 2 * tol, tol);
    const double P_he = (1 - m.F_ISCL) * m.P_IS(b, s);  // helium share of the contact loss
    bool conv = false;
    for (int pass = 1; pass <= br.N && !conv; ++pass) {
        const double THm = br.mid();
        const double THp = (THm + TH0) / 2;
        const double C_He = m.Opt_He == 0 ? cp_he(THp) * m.Mass_He(s) : m.Vol_He(s) * m.C;
        const double dE = C_He * (THm - TH0);
        heat_flow_helium(m, b, s, Tp, THp);
        const double Q = (P_he - m.HF_He(b, s)) * m.dt;
        if (dE < Q)
            br.low = THm;
        else
            br.high = THm;
        const double terms[3] = {P_he, -m.HF_He(b, s), -dE / m.dt};
        double Pin = 0, Pout = 0;
        for (double t : terms) {
            Pin += pos(t);
            Pout += neg(t);
        }
        const double C_eff = step_capacity(br, C_He, dE, Q, THm - TH0);
        conv = br.high - br.low < tol && std::fabs(C_eff * (THm - TH0) - Q) < C_eff * tol &&
               (balanced(m, Pin, Pout) || br.collapsed());
        m.Cap_He(b, s) = C_eff;
    }
    m.THs(b, s) = br.mid();
    return conv && br.inside(m.THs(b, s), tol);
}

namespace {

// Strand bisection of section (b, s); with_helium adds the helium solution
// inside every pass and its heat flow to the balance.
bool strand_solution(Model& m, int b, int s, double& C, double tol, double T0, double TH0,
                     const RArr2& Tmid, bool with_helium) {
    Bracket br(std::max(T0 - m.TincrM, m.TBath) - 2 * tol, T0 + m.TincrM + 2 * tol, tol);
    const double P_gen = m.PsMean(b, s) + m.P_HP_arr(b, s);
    bool strand_met = false, strand_conv = false, he_conv = !with_helium;
    const SectionFlows cable(m, b, s, Tmid);  // the neighbours stay put during the passes
    for (int pass = 1; pass <= br.N; ++pass) {
        const double Tm = br.mid();
        const double Tp = (T0 + Tm) / 2;  // property temperature
        C = cp_calculation(m, b, s, Tp);
        const double dE = C * (Tm - T0);
        store_cable_flows(m, b, s, cable.at(Tp));
        if (m.Opt_Ins == 1) m.HF_ins(b, s) = (m.TBath - Tp) * m.f_hf_ins(s);
        if (with_helium) he_conv = helium_solution(m, b, s, Tp, TH0, tol);
        const double flows[5] = {m.HF_str(b, s), m.HF_adj(b, s), m.HF_cross(b, s), m.HF_ins(b, s),
                                 with_helium ? m.HF_He(b, s) : 0.0};
        double Pin = pos(-dE) / m.dt + P_gen, Pout = neg(-dE) / m.dt, sum = P_gen;
        for (double f : flows) {
            Pin += pos(f);
            Pout += neg(f);
            sum += f;
        }
        const double Q = sum * m.dt;
        m.HF_s(b, s) = sum;
        if (dE < Q)
            br.low = Tm;
        else
            br.high = Tm;
        C = step_capacity(br, C, dE, Q, Tm - T0);
        strand_conv = br.high - br.low < tol && std::fabs(C * (Tm - T0) - Q) < C * tol &&
                      (balanced(m, Pin, Pout) || br.collapsed());
        strand_met = strand_met || strand_conv;
        if (strand_met && he_conv) break;
    }
    m.Ts(b, s) = br.mid();
    m.Cap_s(b, s) = C;
    return strand_met && br.inside(m.Ts(b, s), tol) && he_conv;
}

}  // namespace

bool regime_valid(const Model& m, int b, int s) {
    const double THe = m.THs(b, s);
    const double q = std::fabs(m.HF_He(b, s)) / m.A_He(s);
    const double lambda = m.T_He_ref;
    switch (m.Regime(b, s)) {
    case 2: return THe <= lambda && q <= m.HF_Lim_Kap;
    case 3: return THe <= lambda;
    case 4: return THe >= lambda && q <= m.HF_Lim_NC;
    case 5: return THe >= lambda && q <= m.HF_Lim_NB;
    case 6: return THe >= lambda;
    default: return true;
    }
}

bool solve_section(Model& m, int b, int s, double tol) {
    double C = 0;
    const double T0 = m.Ts_prev(b, s), TH0 = m.THs_prev(b, s);
    if (m.Opt_Temp == 1) {  // adiabatic
        m.HF_He(b, s) = 0;
        return ts_iteration(m, b, s, C, tol, T0, m.Tmid);
    }
    if (m.Opt_He == 1) {  // supercritical helium
        m.Regime(b, s) = 10;
        return ts_ths_iteration(m, b, s, C, tol, T0, TH0, m.Tmid);
    }
    if (m.Opt_Trans_HF >= 1 && m.E_Trans(b, s) < m.e_trans_lim(s)) {
        m.Regime(b, s) = 1;
        return ts_ths_iteration(m, b, s, C, tol, T0, TH0, m.Tmid);
    }
    // Regimes in order, from Kapitza below the lambda point, from natural
    // convection above it; the first that converges and holds is taken.
    for (int r = m.TBath <= m.T_He_ref ? 2 : 4; r <= 6; ++r) {
        m.Regime(b, s) = r;
        if (ts_ths_iteration(m, b, s, C, tol, T0, TH0, m.Tmid) && regime_valid(m, b, s))
            return true;
    }
    return false;
}

bool at_cable_end(const Model& m, int b, int s) {
    if (m.NB == 1) return false;
    if (b == 1 && ((s > 2 && s <= m.NS + 1) || s == m.NS_2m2)) return true;
    if (b == m.NB && (s == 2 || s > m.NS)) return true;
    return false;
}

bool quiet(const Model& m, int b, int s, double E_q, double tol) {
    const double warm = m.TBath + tol;
    if (m.Ts_prev(b, s) >= warm || m.THs_prev(b, s) >= warm) return false;
    double heat = m.PsMean(b, s) + m.P_HP_arr(b, s);
    struct Nb {
        int offset, ns;
        const RArr2* hf;
    };
    const Nb nbs[5] = {{m.NB_adj_L(s), m.NS_adj_L(s), &m.HF_adj},
                       {m.NB_adj_R(s), m.NS_adj_R(s), &m.HF_adj},
                       {m.NB_str_L(s), m.NS_str_L(s), &m.HF_str},
                       {m.NB_str_R(s), m.NS_str_R(s), &m.HF_str},
                       {0, m.NS_cross(s), &m.HF_cross}};
    for (const Nb& n : nbs) {
        const int nb = b + n.offset;
        if (nb < 1 || nb > m.NB) continue;
        if (m.Tmid(nb, n.ns) >= warm) return false;
        heat += std::fabs((*n.hf)(nb, n.ns));
    }
    return heat * m.dt < E_q;
}

void pass_start(Model& m, RArr2& Ts0, RArr2& THs0) {
    const double F = m.F_ISCL;
    if (m.NrItRs == 0 && m.NrItTs == 1) {  // first pass of the step's first iteration
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s)
                m.PsMean(b, s) = F * m.P_IS_prev(b, s) + m.Ps_prev(b, s) + m.PFs_prev(b, s);
        m.Ts = m.Ts_prev;
        m.THs = m.THs_prev;
        m.Tmid = m.Ts_prev;
    } else {
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) {
                if (m.NrItTs == 1)  // mean of the start and the end of the step
                    m.PsMean(b, s) =
                        0.5 * (F * (m.P_IS(b, s) + m.P_IS_prev(b, s)) + m.Ps(b, s) +
                               m.Ps_prev(b, s) + m.PFs(b, s) + m.PFs_prev(b, s));
                m.Tmid(b, s) = (m.Ts_prev(b, s) + m.Ts(b, s)) / 2;
            }
    }
    Ts0 = m.Ts;
    THs0 = m.THs;
}

bool ts_iteration(Model& m, int b, int s, double& C, double tol, double T0, const RArr2& Tmid) {
    return strand_solution(m, b, s, C, tol, T0, 0.0, Tmid, false);
}

bool ts_ths_iteration(Model& m, int b, int s, double& C, double tol, double T0, double TH0,
                      const RArr2& Tmid) {
    return strand_solution(m, b, s, C, tol, T0, TH0, Tmid, true);
}

void temp_calculation(Model& m) {
    const double tol = 0.4 * m.TsAcc;
    m.StepAdd = 0;
    RArr2 Ts0, THs0;
    pass_start(m, Ts0, THs0);
    m.NrTsCh = 0;
    m.NrTHsCh = 0;

    for (int b = 1; b <= m.NB && m.StepAdd == 0; ++b) {
        const double E_q = cp_calculation(m, b, 4, m.TBath) * tol;
        for (int s = 2; s <= m.NS_2m1 && m.StepAdd == 0; ++s) {
            int solve = 1;
            if (m.NB > 1 && (at_cable_end(m, b, s) || quiet(m, b, s, E_q, tol))) solve = 0;
            if (solve == 0) {
                m.Ts(b, s) = m.Ts_prev(b, s);
                m.THs(b, s) = m.THs_prev(b, s);
                m.Tmid(b, s) = m.Ts_prev(b, s);
            } else if (!solve_section(m, b, s, tol)) {
                m.StepAdd = 1;
            }
            m.Solved_s(b, s) = solve;
            // NY_T exists for the inner bands only.
            if (b >= 2 && b <= m.NB - 1 && m.NY_T.allocated()) m.NY_T(b, s) = solve;
            m.Tmid(b, s) = (m.Ts_prev(b, s) + m.Ts(b, s)) / 2;
            if (std::fabs(m.Ts(b, s) - Ts0(b, s)) > m.TsAcc) ++m.NrTsCh;
            if (std::fabs(m.THs(b, s) - THs0(b, s)) > m.TsAcc) ++m.NrTHsCh;
        }
    }

    m.TsConv = m.NrTsCh == 0 && m.NrTHsCh == 0 ? 1 : 0;
    if (m.TsConv == 0 && m.NrItTs == m.NrItT_M) {
        m.StepAdd = 1;
        m.log_unit.line("No temperature convergence within NrItT_M iterations: time step added");
    }
    if (m.Opt_PrIter == 1 && m.NrItRs >= 1) write_convergency_row(m);
}

}  // namespace vorn
