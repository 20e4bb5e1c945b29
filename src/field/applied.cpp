// Applied field: the main field Ba1 and the optional second field Ba2,
// distributed over the sections of every band (components and rates) and
// turned into the flux rate through every current loop (EMF).
//
// Axes: x across the width, y across the thickness, z along the cable.  A
// field with polar angle theta (from the y axis) and azimuth phi (in the x-z
// plane, from z towards x) points along (sin theta sin phi, cos theta,
// sin theta cos phi).  The angles are given in degrees.
//
// Index ranges: bands 1..NB, sections 2..2NS-1, loops 1..NS-1, positions
// 1..NS.
#include <cmath>

#include "field/field.hpp"

namespace vorn {

namespace {

// Unit direction of one applied field.
struct Direction {
    double x, y, z;
};

Direction direction(const Model& m, double theta_deg, double phi_deg) {
    const double deg = m.Pi / 180.0;
    const double sin_t = std::sin(theta_deg * deg), cos_t = std::cos(theta_deg * deg);
    const double sin_p = std::sin(phi_deg * deg), cos_p = std::cos(phi_deg * deg);
    return {sin_t * sin_p, cos_t, sin_t * cos_p};
}

// Ba1 and Ba2 superposed with their width and length profiles.
void general_profile(Model& m, const Direction& d1, const Direction& d2) {
    // Without the second field (Opt_AddBa2 = 0) Ba2 contributes nothing,
    // whatever value the schedule gives it.
    const bool add2 = m.Opt_AddBa2 == 1;
    const double B1 = m.Ba1, R1 = m.dBa1dt;
    const double B2 = add2 ? m.Ba2 : 0.0, R2 = add2 ? m.dBa2dt : 0.0;

    for (int b = 1; b <= m.NB; ++b) {
        const double l1 = m.ba1_long(b), l2 = m.ba2_long(b);
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double f1 = m.ba1_w_b(s) * l1, f2 = m.ba2_w_b(s) * l2;
            m.Ba_x(b, s) = f2 * B2 * d2.x + f1 * B1 * d1.x;
            m.Ba_y(b, s) = f2 * B2 * d2.y + f1 * B1 * d1.y;
            m.Ba_z(b, s) = f2 * B2 * d2.z + f1 * B1 * d1.z;
            m.dBadt_x(b, s) = f2 * R2 * d2.x + f1 * R1 * d1.x;
            m.dBadt_y(b, s) = f2 * R2 * d2.y + f1 * R1 * d1.y;
            m.dBadt_z(b, s) = f2 * R2 * d2.z + f1 * R1 * d1.z;
        }
        // Flux rate through each loop (V); the z part counts with the
        // opposite sign in the loop equations.
        for (int j = 1; j <= m.NS_m1; ++j) {
            const double r1 = l1 * R1 * m.ba1_w_emf(j), r2 = l2 * R2 * m.ba2_w_emf(j);
            m.EMF(b, j, 1) = m.SurfLoopX(j) * (r2 * d2.x + r1 * d1.x);
            m.EMF(b, j, 2) = m.SurfLoopY(j) * (r2 * d2.y + r1 * d1.y);
            m.EMF(b, j, 3) = -m.SurfLoopZ(j) * (r1 * d1.z + r2 * d2.z);
        }
    }
}

// Mean of one field column of inp_B-posit.txt over the positions that bound
// loop j: positions k and NS-k+1 for odd j = 2k-1; k, k+1, NS-k+1 and NS-k
// for even j = 2k.
double loop_mean(const RArr1& bp, int j, int NS) {
    if (j % 2 == 1) {
        const int k = (j + 1) / 2;
        return (bp(k) + bp(NS - k + 1)) / 2;
    }
    const int k = j / 2;
    return (bp(k) + bp(k + 1) + bp(NS - k + 1) + bp(NS - k)) * 0.25;
}

// Ba1 with the per-position table of inp_B-posit.txt (Opt_Ba1 = 4); Ba2 is
// not applied.  The loop values are flux rates like in the general case,
// with the position-table mean in place of the width factor.
void position_table_profile(Model& m, const Direction& d1) {
    const double B1 = m.Ba1, R1 = m.dBa1dt;
    for (int b = 1; b <= m.NB; ++b) {
        const double l1 = m.ba1_long(b);
        for (int s = 2; s <= m.NS_2m1; ++s) {
            m.Ba_x(b, s) = m.bx_inp(s) * l1 * B1 * d1.x;
            m.Ba_y(b, s) = m.by_inp(s) * l1 * B1 * d1.y;
            m.Ba_z(b, s) = m.bz_inp(s) * l1 * B1 * d1.z;
            m.dBadt_x(b, s) = m.bx_inp(s) * l1 * R1 * d1.x;
            m.dBadt_y(b, s) = m.by_inp(s) * l1 * R1 * d1.y;
            m.dBadt_z(b, s) = m.bz_inp(s) * l1 * R1 * d1.z;
        }
        const double r1 = l1 * R1;
        for (int j = 1; j <= m.NS_m1; ++j) {
            m.EMF(b, j, 1) = m.SurfLoopX(j) * r1 * d1.x * loop_mean(m.bpx_inp, j, m.NS);
            m.EMF(b, j, 2) = m.SurfLoopY(j) * r1 * d1.y * loop_mean(m.bpy_inp, j, m.NS);
            m.EMF(b, j, 3) = -m.SurfLoopZ(j) * r1 * d1.z * loop_mean(m.bpz_inp, j, m.NS);
        }
    }
}

}  // namespace

void b_applied_definition(Model& m) {
    const Direction d1 = direction(m, m.The_Ba1, m.Phi_Ba1);
    if (m.Opt_Ba1 == 4) {
        position_table_profile(m, d1);
    } else {
        const Direction d2 = direction(m, m.The_Ba2, m.Phi_Ba2);
        general_profile(m, d1, d2);
    }
}

}  // namespace vorn
