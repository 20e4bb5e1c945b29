// Energy account of a run with temperatures: what the heaters, the strand
// resistances, the contacts and the filament coupling put into the cable,
// what the strands and the helium in the voids store, and what leaves the
// model (to an unlimited helium bath, through the insulation, or into
// sections held at a fixed temperature: the cable ends and quiet sections
// that a pass skipped).  Everything is booked as the time step books it:
// powers averaged as in the strand balance, stored heat as the heat
// capacity of the last solve times the temperature change, so that the
// residual measures conservation by the solver, not quadrature.
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

// Heat into a section held at its start temperature over the step (J): its
// own power, the helium's share of the contact loss, and the heat flowing
// in from its neighbours and through the insulation.
double fixed_section_heat(const Model& m, int b, int s) {
    const double T = m.Ts_prev(b, s);
    const CableFlows f = cable_flows(m, b, s, T, m.Tmid);
    double p = m.PsMean(b, s) + m.P_HP_arr(b, s) + (1 - m.F_ISCL) * m.P_IS(b, s) + f.str_L +
               f.str_R + f.adj + f.cross;
    if (m.Opt_Ins == 1) p += (m.TBath - T) * m.f_hf_ins(s);
    return p * m.dt;
}

}  // namespace

void energy_account_step(Model& m) {
    auto& e = m.energy;
    if (m.NTS == 0) {
        e = {};
        return;
    }
    const double dt = m.dt, F = m.F_ISCL;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            e.E_HP += m.P_HP_arr(b, s) * dt;
            e.E_Joule += 0.5 * (m.Ps(b, s) + m.Ps_prev(b, s)) * dt;
            e.E_IFC += 0.5 * (m.PFs(b, s) + m.PFs_prev(b, s)) * dt;
            // The strands take F_ISCL of the mean, the helium the rest of
            // the end-of-step value.
            e.E_Contacts +=
                (F * 0.5 * (m.P_IS(b, s) + m.P_IS_prev(b, s)) + (1 - F) * m.P_IS(b, s)) * dt;
            if (m.Solved_s(b, s) == 0) {
                e.E_Fixed += fixed_section_heat(m, b, s);
                continue;
            }
            e.E_Strands += m.Cap_s(b, s) * (m.Ts(b, s) - m.Ts_prev(b, s));
            if (m.Opt_Temp == 3) e.E_Helium += m.Cap_He(b, s) * (m.THs(b, s) - m.THs_prev(b, s));
            e.E_He += ((1 - F) * m.P_IS(b, s) - m.HF_He(b, s)) * dt;
            e.E_ins -= m.HF_ins(b, s) * dt;
        }
}

double energy_residual(const Model& m) {
    const auto& e = m.energy;
    const double input = e.E_HP + e.E_Joule + e.E_Contacts + e.E_IFC;
    const double stored = e.E_Strands + e.E_Helium;
    // Heat given to the helium stays in the model only with the helium of
    // the voids; otherwise (unlimited bath, or none) it leaves.
    const double removed = e.E_ins + e.E_Fixed + (m.Opt_Temp == 3 ? 0.0 : e.E_He);
    return input - stored - removed;
}

}  // namespace vorn
