// Contact resistances and loop surfaces: Ra per band and adjacent
// contact, Rc per band boundary and crossing contact, each built from the
// per-band values, the width profile, per-strand factors, the resistive
// core, random scatter and special values, in that order.
#include "network/contacts.hpp"

#include <algorithm>
#include <cmath>

#include "network/network.hpp"

namespace vorn {

PositionPair ra_contact_positions(int k, int NS) {
    if (k == 1) return ra_contact_positions(4, NS);
    if (k == 2) return {1, NS};                        // left edge
    if (k == 2 * NS - 1) return {NS / 2, NS / 2 + 1};  // right edge
    if (k == 2 * NS) return ra_contact_positions(2 * NS - 2, NS);
    if (k <= NS) {
        if (k % 2 == 1) {  // lower layer, k = 2m+1
            const int mm = (k - 1) / 2;
            return {NS - mm, NS - mm + 1};
        }
        const int mm = k / 2;  // upper layer, k = 2m
        return {mm - 1, mm};
    }
    // second half of the band: the same pairs again
    return ra_contact_positions(k % 2 == 1 ? k - NS + 3 : k - NS + 1, NS);
}

PositionPair rc_contact_positions(int k, int NS) {
    return {(k + 1) / 2, NS - k / 2};
}

double random_scatter(double r, double u, double F) {
    u = std::clamp(u, 1e-5, 0.99999);
    if (u < 0.5) return r * (1.0 - (std::log(u) + std::log(2.0)) * F);
    return r / (1.0 - (std::log(1.0 - u) + std::log(2.0)) * F);
}

namespace {

// Mean of the two wires' factors at the positions of a contact in band j.
double strand_factor(const RArr1& f, PositionPair pp, int j, int NS) {
    return (f(wire_at(pp.first, j, NS)) + f(wire_at(pp.second, j, NS))) / 2.0;
}

}  // namespace

void ra_definition(Model& m) {
    const int NB = m.NB, NS = m.NS, NK = 2 * NS;
    m.Ra.allocate(1, NB, 1, NK, 0.0);

    // 1. Width distribution.
    const int opt = m.Opt_RaW == 1 && std::abs(m.FRaW) < 1e-6 ? 0 : m.Opt_RaW;
    if (opt == 1) {
        const double F = m.FRaW;
        for (int j = 1; j <= NB; ++j) {
            const double r = m.ralong(j);
            m.Ra(j, 1) = m.Ra(j, 2) = r * (1.0 - F);
            for (int k = 3; k <= NS; ++k)
                m.Ra(j, k) = m.Ra(j, k + NS - 2) = r * (1.0 - F + 2.0 * F * (k - 2) / (NS - 1));
            m.Ra(j, NK - 1) = m.Ra(j, NK) = r * (1.0 + F);
        }
    } else if (opt == 2) {
        // Inversely proportional to the contact surface; the band's mean
        // conductance factor is 1 (the edge contacts with half their surface).
        double S = 4.0 / m.A_Ad(2) + 4.0 / m.A_Ad(NK - 1);
        for (int k = 3; k <= NK - 2; ++k) S += 1.0 / m.A_Ad(k);
        const double M = S / NK;
        for (int j = 1; j <= NB; ++j) {
            for (int k = 2; k <= NK - 1; ++k)
                m.Ra(j, k) = m.ralong(j) * m.Twice(k) / (m.A_Ad(k) * M);
            m.Ra(j, 1) = m.Ra(j, 2);
            m.Ra(j, NK) = m.Ra(j, NK - 1);
        }
    } else {
        for (int j = 1; j <= NB; ++j)
            for (int k = 1; k <= NK; ++k) m.Ra(j, k) = m.ralong(j);
    }

    // 2. Per-strand factors.
    if (m.Opt_StrRes == 1)
        for (int j = 1; j <= NB; ++j)
            for (int k = 1; k <= NK; ++k)
                m.Ra(j, k) *= strand_factor(m.F_Ra_w, ra_contact_positions(k, NS), j, NS);

    // 3. Random scatter, one draw per contact, band by band.
    if (m.Opt_RaRand == 1)
        for (int j = 1; j <= NB; ++j)
            for (int k = 1; k <= NK; ++k)
                m.Ra(j, k) = random_scatter(m.Ra(j, k), uniform01(m), m.FRaRand);

    // 4. Special option 50.
    if (m.Nr_Opt == 50)
        for (int j = 1; j <= NB; ++j)
            for (int k : {1, 2, 3, NS + 1}) m.Ra(j, k) = m.C3_Opt;

    // 5. Special values, last.
    for (int i = 1; i <= m.NrRaSp; ++i) m.Ra(m.NBRaSp(i), m.NSRaSp(i)) = m.RaSp(i);
}

void rc_definition(Model& m) {
    const int NJ = m.NB + 1, NS = m.NS, NK = NS - 1;
    m.Rc.allocate(1, NJ, 1, NK, 0.0);

    // 1. Width distribution.
    const int opt = m.Opt_RcW == 1 && std::abs(m.FRcW) < 1e-6 ? 0 : m.Opt_RcW;
    if (opt == 1) {
        const double F = m.FRcW;
        for (int j = 1; j <= NJ; ++j)
            for (int k = 1; k <= NK; ++k)
                m.Rc(j, k) = m.rclong(j) * ((k - 1) * 2.0 / (NS - 2) * F + 1.0 - F);
    } else if (opt == 2) {
        // c_k: the surfaces of the two sections that meet at contact k.
        auto c = [&](int k) { return m.A_Cr(k + 1) + m.A_Cr(k + NS); };
        double sum = 0.0;
        for (int k = 1; k <= NK; ++k) sum += 2.0 / c(k);
        const double M = sum / NK;
        for (int j = 1; j <= NJ; ++j)
            for (int k = 1; k <= NK; ++k) m.Rc(j, k) = m.rclong(j) * 2.0 / (c(k) * M);
    } else {
        for (int j = 1; j <= NJ; ++j)
            for (int k = 1; k <= NK; ++k) m.Rc(j, k) = m.rclong(j);
    }

    // 2. Per-strand factors (the wire map serves for the plane NB+1 too).
    if (m.Opt_StrRes == 1)
        for (int j = 1; j <= NJ; ++j)
            for (int k = 1; k <= NK; ++k)
                m.Rc(j, k) *= strand_factor(m.F_Rc_w, rc_contact_positions(k, NS), j, NS);

    // 3. Resistive core between the layers.
    if (m.Opt_Core == 1)
        for (int j = 1; j <= NJ; ++j)
            for (int k = m.Core_pos1; k <= m.Core_pos2; ++k) m.Rc(j, k) = m.RcCore;

    // 4. Random scatter, one draw per contact, plane by plane.
    if (m.Opt_RcRand == 1)
        for (int j = 1; j <= NJ; ++j)
            for (int k = 1; k <= NK; ++k)
                m.Rc(j, k) = random_scatter(m.Rc(j, k), uniform01(m), m.FRcRand);

    // 5. Special option 50.
    if (m.Nr_Opt == 50)
        for (int j = 1; j <= NJ; ++j) m.Rc(j, 1) = m.C4_Opt;

    // 6. Special values, last.
    for (int i = 1; i <= m.NrRcSp; ++i) m.Rc(m.NBRcSp(i), m.NSRcSp(i)) = m.RcSp(i);
}

void surf_loop_definition(Model& m) {
    const int NS = m.NS, NK = NS - 1;
    const double Th = (m.Th1 + m.Th2) / 2.0;
    const double w_eff = (1.0 - 2.0 / NS) * m.w;
    m.SurfLoopX.allocate(1, NK, Th * 0.25 * m.TPStr / NS);
    m.SurfLoopY.allocate(1, NK, m.TPStr * w_eff / (double(NS) * NS - 2.0 * NS));
    m.SurfLoopZ.allocate(1, NK, w_eff * (Th / 2.0) / (NS - 2));
    // The loops at the two edges are half as wide.
    m.SurfLoopY(1) /= 2.0;
    m.SurfLoopY(NK) /= 2.0;
}

}  // namespace vorn
