// Cable geometry: the x/y centres of the sections and positions,
// the return lead, and the strand data per wire, position and section.
#include <initializer_list>

#include "network/network.hpp"
#include "support/stop.hpp"

namespace vorn {

void position_calculation(Model& m) {
    const int NS = m.NS;
    const double w = m.w, Th1 = m.Th1, Th2 = m.Th2;
    const double d = w / (2.0 * NS);
    // Local thickness of the keystoned cable: Th1 at x = 0, Th2 at x = w.
    auto T = [&](double x) { return Th1 - (Th1 - Th2) * x / w; };

    m.PosX.allocate(2, m.NS_2m1, 0.0);
    m.PosY.allocate(2, m.NS_2m1, 0.0);
    auto place = [&](int s, double x, double layer) {
        m.PosX(s) = x;
        m.PosY(s) = layer * T(x);
    };
    // Upper layer (three quarters of the local thickness).
    for (int s = 3; s <= NS - 1; s += 2) place(s, (2 * s - 3) * d, 0.75);
    for (int s = NS + 2; s <= 2 * NS - 2; s += 2) place(s, (2 * (s - NS) + 1) * d, 0.75);
    // Lower layer (one quarter).
    for (int s = 4; s <= NS; s += 2) place(s, (2 * s - 3) * d, 0.25);
    for (int s = NS + 1; s <= 2 * NS - 3; s += 2) place(s, (2 * (s - NS) + 1) * d, 0.25);
    // Edge sections on the mid-plane, where a strand changes layer.
    place(2, w / NS, 0.5);
    place(2 * NS - 1, (1.0 - 1.0 / NS) * w, 0.5);

    m.PosXP.allocate(0, NS, 0.0);
    m.PosYP.allocate(0, NS, 0.0);
    const double half = NS / 2.0;
    for (int p = 1; p <= NS; ++p) {
        const bool upper = p <= NS / 2;
        const double x = upper ? (p - 0.5) / half * w : (NS + 0.5 - p) / half * w;
        m.PosXP(p) = x;
        m.PosYP(p) = (upper ? 0.75 : 0.25) * T(x);
    }
    m.PosXP(0) = m.PosXP(NS);
    m.PosYP(0) = m.PosYP(NS);

    if (m.Opt_SF == 1 && m.Opt_RetLead == 1) {
        // A mirrored copy of the cable d_RL above it: its thickness runs from
        // Th2 at x = 0 to Th1 at x = w, its bottom follows the cable's top.
        if (m.PosRetLeadP_x.allocated() || m.PosRetLeadP_y.allocated())
            throw FatalError("Attempting to allocate already allocated variable 'posretleadp_x'");
        m.PosRetLeadP_x.allocate(0, NS, 0.0);
        m.PosRetLeadP_y.allocate(0, NS, 0.0);
        auto T_rl = [&](double x) { return Th2 + (Th1 - Th2) * x / w; };
        for (int p = 1; p <= NS; ++p) {
            const double x = m.PosXP(p);
            const double layer = p <= NS / 2 ? 0.75 : 0.25;
            m.PosRetLeadP_x(p) = x;
            m.PosRetLeadP_y(p) = T(x) + m.d_RL + layer * T_rl(x);
        }
        m.PosRetLeadP_x(0) = m.PosRetLeadP_x(NS);
        m.PosRetLeadP_y(0) = m.PosRetLeadP_y(NS);
    }
}

namespace {

// Per (band, position) row to per (band, section) row, every band.
void pos_to_sec(const Model& m, RArr2& sec, const RArr2& pos) {
    for (int j = 1; j <= m.NB; ++j) convert_pos_to_sec(m.NS, sec.row(j), pos.row(j));
}

// Per wire to per (band, position): the wire at position p of band j.
template <class T>
void wire_to_pos(const Model& m, Arr2<T>& pos, const Arr1<T>& wire) {
    for (int j = 1; j <= m.NB; ++j)
        for (int p = 1; p <= m.NS; ++p) pos(j, p) = wire(wire_at(p, j, m.NS));
}

// The Nr_Opt variants 20..50 on the edge and near-edge sections of every band.
void special_option(Model& m) {
    const int NS = m.NS, last = m.NS_2m1;
    auto set_rrr = [&](std::initializer_list<int> secs, double v) {
        for (int j = 1; j <= m.NB; ++j)
            for (int s : secs) m.RRRs(j, s) = v;
    };
    auto scale_ic = [&](std::initializer_list<int> secs, double f) {
        for (int j = 1; j <= m.NB; ++j)
            for (int s : secs) m.ICRATs(j, s) *= f;
    };
    switch (m.Nr_Opt) {
        case 20:
            set_rrr({2, last}, m.C1_Opt);
            break;
        case 21:
            set_rrr({2, last}, m.C1_Opt);
            set_rrr({3, NS, NS + 1, 2 * NS - 2}, m.C2_Opt);
            break;
        case 30:
            scale_ic({2}, m.C1_Opt);
            scale_ic({last}, m.C2_Opt);
            break;
        case 31:
            scale_ic({2}, m.C1_Opt);
            scale_ic({last}, m.C2_Opt);
            scale_ic({3, NS + 1}, m.C3_Opt);
            scale_ic({NS, 2 * NS - 2}, m.C4_Opt);
            break;
        case 41:
            set_rrr({2}, m.C1_Opt);
            set_rrr({3, NS + 1}, m.C2_Opt);
            scale_ic({2}, m.C3_Opt);
            scale_ic({3, NS + 1}, m.C4_Opt);
            break;
        case 50:
            set_rrr({2, 3, NS + 1}, m.C1_Opt);
            scale_ic({2, 3, NS + 1}, m.C2_Opt);
            break;
        default:
            break;
    }
}

}  // namespace

void strand_specific_data(Model& m) {
    const int NB = m.NB, NS = m.NS;

    // 1. No normal strand yet.
    m.Normw.fill(0);
    m.AnyNormS = 0;

    // 2. Copper ratio and RRR.
    if (m.Opt_CuSCRRR == 1) {
        wire_to_pos(m, m.CuSCp, m.CuSCw);
        wire_to_pos(m, m.RRRp, m.RRRw);
        pos_to_sec(m, m.CuSCs, m.CuSCp);
        pos_to_sec(m, m.RRRs, m.RRRp);
        // A strand with (almost) no superconductor is a normal strand.
        for (int i = 1; i <= NS; ++i)
            if (m.CuSCw(i) > 100.0) {
                m.Normw(i) = 1;
                m.ICRATw(i) = 0.0;
                m.AnyNormS = 1;
            }
    } else if (m.Opt_CuSCRRR == 0) {
        for (RArr2* a : {&m.CuSCs, &m.CuSCp}) a->fill(m.CuSC_con);
        m.CuSCw.fill(m.CuSC_con);
        for (RArr2* a : {&m.RRRs, &m.RRRp}) a->fill(m.RRR_con);
        m.RRRw.fill(m.RRR_con);
    } else if (m.Opt_CuSCRRR == 2) {
        // RRR per section as read from inp_RRR_per_section.txt; one copper ratio for all.  The
        // per-position and per-section copper ratios get it too, so that the
        // copper cross-sections below are those of CuSC_con.
        m.CuSCw.fill(m.CuSC_con);
        m.CuSCp.fill(m.CuSC_con);
        m.CuSCs.fill(m.CuSC_con);
    }

    // 3. Normal flag, Ic ratio and n-value per position and section.
    wire_to_pos(m, m.Normp, m.Normw);
    wire_to_pos(m, m.ICRATp, m.ICRATw);
    wire_to_pos(m, m.NPOWp, m.NPOWw);
    for (int j = 1; j <= NB; ++j) convert_pos_to_sec_int(NS, m.Norms.row(j), m.Normp.row(j));
    pos_to_sec(m, m.ICRATs, m.ICRATp);
    pos_to_sec(m, m.NPOWs, m.NPOWp);

    // 4. Copper and superconductor cross-sections and volumes.
    const double A = m.A_str;
    for (int j = 1; j <= NB; ++j)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double r = m.CuSCs(j, s);
            m.Cs_mat(j, s) = A * r / (r + 1.0);
            m.Cs_SC(j, s) = A - m.Cs_mat(j, s);
            m.Vol_SC(j, s) = m.Cs_SC(j, s) * m.Length_s(s);
            m.Vol_Cu(j, s) = m.Cs_mat(j, s) * m.Length_s(s);
        }

    // 5. Special options.
    special_option(m);

    // 6. Local Ic variation; several entries for one section multiply up.
    for (int k = 1; k <= m.NrIcLT; ++k) m.ICRATs(m.NBIcL(k), m.NsecIcL(k)) *= m.IcRatioSec(k);
}

}  // namespace vorn
