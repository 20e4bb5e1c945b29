// Set-up of the case once its input is read and validated: derived counts,
// the relaxation levels, section lengths and volumes, superconductor
// defaults, special resistances, the random-number start, and the heater
// bookkeeping (end of the pulse, its energy, the strand of each heater).
#include <climits>
#include <cmath>

#include "control/control.hpp"
#include "control/messages.hpp"
#include "network/network.hpp"
#include "thermal/materials.hpp"
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

void relaxation_levels(Model& m) {
    const int levels = std::max(m.CntR_M, 0);
    m.ConvFR.allocate(1, levels, 0.0);
    m.NrItR_M.allocate(1, levels, 0);
    for (int c = 1; c <= levels; ++c) {
        m.ConvFR(c) = c == 1 ? 1.0 : m.ConvFR(c - 1) / m.Two;
        // Doubling per level; kept within the integer range.
        m.NrItR_M(c) =
            c == 1 ? m.NrItR0 : (m.NrItR_M(c - 1) > INT_MAX / 2 ? INT_MAX : 2 * m.NrItR_M(c - 1));
    }
}

void section_geometry(Model& m) {
    m.Twice.allocate(2, m.NS_2m1, 1.0);
    m.Twice(2) = 2.0;
    m.Twice(m.NS_2m1) = 2.0;
    m.RadStr = m.DiamStr / 2;
    m.A_str = m.Pi * m.RadStr * m.RadStr;
    // A strand crosses the width twice per twist pitch: its length per band
    // is 2 sqrt(w^2 + TPStr^2/4)/NS, half of it per ordinary section.
    const double half_band_length = std::sqrt(m.w * m.w + m.TPStr * m.TPStr / 4) / m.NS;
    m.Length_s.allocate(2, m.NS_2m1, 0.0);
    m.l_div_a.allocate(2, m.NS_2m1, 0.0);
    m.Vol_s.allocate(2, m.NS_2m1, 0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        m.Length_s(s) = m.Twice(s) * half_band_length;
        m.l_div_a(s) = m.Length_s(s) / m.A_str;
        m.Vol_s(s) = m.Length_s(s) * m.A_str;
    }
}

void superconductor_defaults(Model& m) {
    if (m.Opt_SC == 1) {
        m.Tc0 = 9.2;
        m.Bc20 = 14.5;
    } else if (m.Opt_SC >= 11 && m.Opt_SC <= 13) {
        m.Tc0 = 18.0;
        m.Bc20 = 23.5;
        if (m.Opt_Ic == 4) {
            m.Tc0 = m.ConIcC;
            m.Bc20 = m.ConIcB;
        }
    }
}

// Summed input power of all heaters at time point t (W).
double heater_power(const Model& m, int t) {
    double p = 0;
    for (int i = 1; i <= m.Nr_HP; ++i) p += m.P_HP_inp(t, i);
    return p;
}

void heater_bookkeeping(Model& m) {
    m.t_HP_end = -1;
    m.E_HP_inp = 0;
    m.NW_HP.allocate(1, std::max(m.Nr_HP, 0), 0);
    if (m.Opt_HP < 1) return;

    // End of the pulse: the point after the last one with power on.
    for (int t = m.NrT_HP - 1; t >= 1; --t)
        if (heater_power(m, t) > 1e-9) {
            m.t_HP_end = m.t_hp_inp(t + 1);
            break;
        }
    // Pulse energy, trapezoidal over the heater table (J).
    for (int t = 2; t <= m.NrT_HP; ++t)
        for (int i = 1; i <= m.Nr_HP; ++i)
            m.E_HP_inp +=
                (m.P_HP_inp(t, i) + m.P_HP_inp(t - 1, i)) * (m.t_hp_inp(t) - m.t_hp_inp(t - 1)) / 2;
    // Strand of each heater.
    for (int i = 1; i <= m.Nr_HP; ++i)
        m.NW_HP(i) = wire_at(position_of_section(m.Ns_HP(i), m.NS), m.NB_HP(i), m.NS);

    if (m.Opt_HP == 2 && m.Nr_HP > 1) {
        bool one_strand = true;
        for (int i = 2; i <= m.Nr_HP; ++i) one_strand = one_strand && m.NW_HP(i) == m.NW_HP(1);
        msg(m, one_strand ? "Note: QE calculation with heaters on more than one section of the "
                            "same strand"
                          : "Note: QE calculation with heaters on more than one strand");
    }
}

}  // namespace

void initialize_2(Model& m) {
    set_derived_counts(m);
    relaxation_levels(m);
    section_geometry(m);
    superconductor_defaults(m);
    material_tables(m);

    m.RsSp.allocate(1, std::max(m.NrRhoSp, 0), 0.0);
    for (int i = 1; i <= m.NrRhoSp; ++i) m.RsSp(i) = m.RhoSp(i) * m.l_div_a(m.NSRhoSp(i));

    // The stop voltage is given per metre; it is kept per cable.
    const double cable_length = m.TPStr * m.NB / m.NS;
    m.VoltStop = m.VoltStop * cable_length;

    // Each IniRand gives another, reproducible realisation of the random
    // contact resistances.
    for (int i = 0; i < m.IniRand; ++i) (void)uniform01(m);

    heater_bookkeeping(m);
    if (m.Opt_HP == 2) qe_summary_open(m);
    if (m.DbgMsg == 1) msg(m, "Initialize_2 finished");
}

namespace {

// Contact surfaces to the adjacent strand, the crossing strand and the
// helium (m^2), helium volume (m^3) and mass (kg) per section.
void contact_surfaces(Model& m) {
    const int last = m.NS_2m1;
    if (m.Opt_SurfVol == 1) {  // constants per ordinary section
        for (int s = 2; s <= last; ++s) {
            m.A_Ad(s) = m.Twice(s) * m.A_Ad_con;
            m.A_Cr(s) = m.Twice(s) * m.A_Cr_con;
            m.A_He(s) = m.Twice(s) * m.A_He_con;
            m.Vol_He(s) = m.Twice(s) * m.Vol_He_con;
        }
    } else if (m.Opt_SurfVol == 3) {      // empirical, from the strand packing
        const double P = 2 * m.w / m.NS;  // strand pitch
        for (int s = 2; s <= last; ++s) {
            const double x = 1 - (m.A_str / m.l_cr(s)) / P;
            const double e1 = std::exp(-7.5 * x), e2 = std::exp(-4.37 * x);
            const double l = m.Length_s(s);
            m.A_Ad(s) = m.l_cr(s) * e1 * l;
            m.A_Cr(s) = (e2 * P) * (e2 * P) * m.TPStr / (4 * m.w);
            m.A_He(s) = 2 * m.F_A_He *
                        std::sqrt(std::pow(m.l_cr(s) * (1 - e1), 2) + std::pow(P * (1 - e2), 2)) *
                        l;
            m.Vol_He(s) = P * (1 - e2) * m.l_cr(s) * (1 - e1) * m.F_Vol_He * l / 2;
        }
    }  // 2: as read from inp_SurfVol.txt
    m.Rho_He = m.TBath >= 2.18 ? 126.0 : 147.0;
    m.Mass_He.allocate(2, last, 0.0);
    for (int s = 2; s <= last; ++s) m.Mass_He(s) = m.Vol_He(s) * m.Rho_He;
}

// Thermal conductance from each section through the cable insulation to
// the bath (W/K): the two edges (sections 2 and 2NS-1) through insulation
// 1 and 2, the other sections through the two broad faces, which they
// share.  Zero without insulation.
void insulation_conductances(Model& m) {
    m.f_hf_ins.allocate(2, m.NS_2m1, 0.0);
    if (m.Opt_Temp < 1 || m.Opt_Ins != 1) return;
    const double per_band = m.TPStr / m.NS;  // band length (m)
    m.f_hf_ins(2) = (m.k_ins_1 / m.Th_ins_1) * m.F_ins_1 * m.Th1 * per_band;
    m.f_hf_ins(m.NS_2m1) = (m.k_ins_2 / m.Th_ins_2) * m.F_ins_2 * m.Th2 * per_band;
    for (int s = 3; s <= m.NS_2m2; ++s)
        m.f_hf_ins(s) = (m.k_ins_f / m.Th_ins_f) * m.F_ins_f * m.w * per_band / (m.NS - 2);
}

// Energy a section may give to the helium in the transient regime (J).
void transient_limits(Model& m) {
    m.e_trans_lim.allocate(2, m.NS_2m1, 0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        if (m.Opt_Trans_HF == 1)
            m.e_trans_lim(s) = 1e20;  // never reached
        else if (m.Opt_Trans_HF == 2)
            m.e_trans_lim(s) = m.A_He(s) * m.E_Trans_Lim0;  // J/m^2 of wetted surface
        else if (m.Opt_Trans_HF == 3)
            // J/m^3 of helium: Vol_He E_Trans_Lim2 A_str Length_s / Vol_s
            m.e_trans_lim(s) = m.Vol_He(s) * m.E_Trans_Lim2 * m.A_str * m.Length_s(s) / m.Vol_s(s);
    }
}

}  // namespace

void initialize_hf(Model& m) {
    neighbour_tables(m);
    contact_surfaces(m);
    insulation_conductances(m);
    transient_limits(m);
    // Work arrays of the temperature passes.
    for (RArr2* a : {&m.Tmid, &m.Cap_s, &m.Cap_He}) a->allocate(1, m.NB, 2, m.NS_2m1, 0.0);
    m.Solved_s.allocate(1, m.NB, 2, m.NS_2m1, 0);
    // Start of cooling to supercritical helium per section; -0.001 = not yet.
    if (m.Opt_He == 1) m.T0_supercr.allocate(1, m.NB, 2, m.NS_2m1, -0.001);
}

}  // namespace vorn
