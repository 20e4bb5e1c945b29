// Width profiles of the applied fields and the field along a line of points.
//
// Width profiles: factors by which Ba1 and Ba2 are multiplied at each
// section (2..2NS-1) and at each current loop (1..NS-1).  Field 1 follows
// the x position of a section, field 2 the section index, which runs across
// the width once in each half of a band (2..NS and NS+1..2NS-1).
//
// Field line: Biot-Savart field (T) of the strand pieces at points
// 1..NrPFL, from the strand currents per band and position (Cp, A).
#include <cfloat>
#include <cmath>

#include "field/field.hpp"

namespace vorn {

void field_across_w_strands(Model& m) {
    const int NS = m.NS, h = NS / 2;
    m.ba1_w_b.allocate(2, m.NS_2m1, 1.0);
    m.ba2_w_b.allocate(2, m.NS_2m1, 1.0);

    // Field 1: by the x position of the section, linear from edge 1 (F1) to
    // edge 2 (F2), or F1 at the centre rising to F2 at both edges.  Every
    // other option (none, position table) keeps 1.0.
    const double D1 = m.F2_Ba1 - m.F1_Ba1;
    if (m.Opt_Ba1 == 1)
        for (int s = 2; s <= m.NS_2m1; ++s) m.ba1_w_b(s) = m.F1_Ba1 + D1 * m.PosX(s) / m.w;
    else if (m.Opt_Ba1 == 2)
        for (int s = 2; s <= m.NS_2m1; ++s)
            m.ba1_w_b(s) = m.F1_Ba1 + D1 * std::abs(m.PosX(s) - m.w / 2) / (m.w / 2);

    // Field 2: by the section index in each half of the band.
    const double D2 = m.F2_Ba2 - m.F1_Ba2;
    if (m.Opt_Ba2 == 1) {
        for (int s = 2; s <= NS; ++s) m.ba2_w_b(s) = m.F1_Ba2 + D2 * (s - 2) / (NS - 2);
        for (int s = NS + 1; s <= m.NS_2m1; ++s)
            m.ba2_w_b(s) = m.F1_Ba2 + D2 * (s - NS - 1) / (NS - 2);
    } else if (m.Opt_Ba2 == 2) {
        for (int s = 2; s <= NS; ++s) m.ba2_w_b(s) = m.F1_Ba2 + D2 * std::abs(s - h - 1) / (h - 1);
        for (int s = NS + 1; s <= m.NS_2m1; ++s)
            m.ba2_w_b(s) = m.F1_Ba2 + D2 * std::abs(s - NS - h) / (h - 1);
    }
}

void field_across_w_loops(Model& m) {
    const int NS = m.NS, h = NS / 2;
    m.ba1_w_emf.allocate(1, m.NS_m1, 1.0);
    m.ba2_w_emf.allocate(1, m.NS_m1, 1.0);

    // Relative position of each loop across the width: the edge loops lie
    // half a loop pitch from the edges.
    RArr1 u(1, m.NS_m1, 0.0);
    for (int j = 2; j <= NS - 2; ++j) u(j) = double(j - 1) / (NS - 2);
    u(1) = 1.0 / (2 * NS - 4);
    u(NS - 1) = double(2 * NS - 5) / (2 * NS - 4);

    const double D1 = m.F2_Ba1 - m.F1_Ba1;
    if (m.Opt_Ba1 == 1)
        for (int j = 1; j <= m.NS_m1; ++j) m.ba1_w_emf(j) = m.F1_Ba1 + D1 * u(j);
    else if (m.Opt_Ba1 == 2)
        for (int j = 1; j <= m.NS_m1; ++j)
            m.ba1_w_emf(j) = m.F1_Ba1 + 2 * std::abs(u(j) - 0.5) * D1;

    // Field 2: the centre-to-edge rule counts loops from the edge; it gives
    // the same factors as field 1's rule over u.
    const double D2 = m.F2_Ba2 - m.F1_Ba2;
    if (m.Opt_Ba2 == 1) {
        for (int j = 1; j <= m.NS_m1; ++j) m.ba2_w_emf(j) = m.F1_Ba2 + D2 * u(j);
    } else if (m.Opt_Ba2 == 2) {
        m.ba2_w_emf(1) = m.F2_Ba2 - D2 / (NS - 2);
        for (int j = 2; j <= h; ++j) m.ba2_w_emf(j) = m.F2_Ba2 - (j - 1) * D2 / (h - 1);
        for (int k = 1; k <= h - 1; ++k) m.ba2_w_emf(h + k) = m.ba2_w_emf(h - k);
    }
}

void fl_calculation(Model& m) {
    m.BFL_x.fill(0.0);
    m.BFL_y.fill(0.0);
    m.BFL_z.fill(0.0);
    if (m.NrPFL < 1) return;

    const int NS = m.NS;
    for (int k = 0; k <= m.NrPFL - 1; ++k) {
        const double Px = m.FLx1 + k * m.dFLx, Py = m.FLy1 + k * m.dFLy, Pz = m.FLz1 + k * m.dFLz;
        double bx = 0, by = 0, bz = 0;
        // The last band carries no piece of its own: a piece joins the
        // strand centre of band j-1's end to that of band j's end.
        for (int j = 1; j <= m.NB - 1; ++j) {
            const double zA = m.TPStr * (j - 1) / NS - Pz, zB = m.TPStr * j / NS - Pz;
            for (int p = 1; p <= NS; ++p) {
                // The wire at position p of band j lies at position p-1 in band j+1.
                const double ax = m.PosXP(p) - Px, ay = m.PosYP(p) - Py, az = zA;
                const double bx_ = m.PosXP(p - 1) - Px, by_ = m.PosYP(p - 1) - Py, bz_ = zB;
                const double la = std::sqrt(ax * ax + ay * ay + az * az);
                const double lb = std::sqrt(bx_ * bx_ + by_ * by_ + bz_ * bz_);
                const double lab = la * lb;
                const double den = lab + (ax * bx_ + ay * by_ + az * bz_);
                // A point on the piece itself (a and b antiparallel, or an end
                // point): its field is undefined there and the piece is left out.
                if (la == 0 || lb == 0 || den <= 16 * DBL_EPSILON * lab) continue;
                const double c = -1e-7 * m.Cp(j, p) * (la + lb) / lab / den;
                bx += c * (ay * bz_ - az * by_);
                by += c * (az * bx_ - ax * bz_);
                bz += c * (ax * by_ - ay * bx_);
            }
        }
        m.BFL_x(k + 1) = bx;
        m.BFL_y(k + 1) = by;
        m.BFL_z(k + 1) = bz;
    }
}

void fl_transport_calculation(Model& m) {
    m.NTS = 0;
    m.Cp.fill(1.0);
    fl_calculation(m);
    for (int k = 1; k <= m.NrPFL; ++k) {
        m.BFLtr_x(k) = m.BFL_x(k);
        m.BFLtr_y(k) = m.BFL_y(k);
        m.BFLtr_z(k) = m.BFL_z(k);
    }
    m.Cp.fill(0.0);
}

}  // namespace vorn
