// Interstrand coupling currents of a field ramp of 1 T/s of Ba1 in an
// infinitely long cable with the contact resistances of each band, every
// strand normal at the minimum resistivity and no transport current: the
// reference tables CaInf, CcInf, CsInf, CpInf and their powers.
//
// Results per unit ramp rate: currents in A per (T/s), powers in W per
// (T/s)^2.  The angles The_Ba1, Phi_Ba1 are held in degrees.
#include <cmath>

#include "control/messages.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"

namespace vorn {

namespace {

// Mean of a position column over the strands that bound loop k
// (1..NS-1): two positions for odd k, four for even k.
double loop_mean(const RArr1& bp, int k, int N) {
    if (k % 2 == 1) {
        const int a = (k + 1) / 2, b = N - (k + 1) / 2 + 1;
        return (bp(a) + bp(b)) / 2.0;
    }
    const int a = k / 2, b = N - k / 2;
    return (bp(a) + bp(a + 1) + bp(b + 1) + bp(b)) * 0.25;
}

// Loop voltages of bands 1..NBc for dBa1/dt = 1 T/s.  The width factor of
// the loop is ba1_w_emf, or with the position table (Opt_Ba1 = 4) the mean
// of the table's column for that component; the z part carries the
// opposite sign.
void unit_ramp_emf(Model& m, int NBc) {
    const double deg = m.Pi / 180.0;
    const double sin_t = std::sin(m.The_Ba1 * deg), cos_t = std::cos(m.The_Ba1 * deg);
    const double sin_p = std::sin(m.Phi_Ba1 * deg), cos_p = std::cos(m.Phi_Ba1 * deg);
    const int N = m.NS;
    const bool table = m.Opt_Ba1 == 4;
    for (int j = 1; j <= NBc; ++j) {
        const double BL = m.ba1_long(j);
        for (int k = 1; k <= N - 1; ++k) {
            const double fx = table ? loop_mean(m.bpx_inp, k, N) : m.ba1_w_emf(k);
            const double fy = table ? loop_mean(m.bpy_inp, k, N) : m.ba1_w_emf(k);
            const double fz = table ? loop_mean(m.bpz_inp, k, N) : m.ba1_w_emf(k);
            m.EMF(j, k, 1) = m.SurfLoopX(k) * BL * sin_t * sin_p * fx;
            m.EMF(j, k, 2) = m.SurfLoopY(k) * BL * cos_t * fy;
            m.EMF(j, k, 3) = -m.SurfLoopZ(k) * BL * sin_t * cos_p * fz;
        }
    }
}

void clear_band(Model& m, int j) {
    for (RArr2* a :
         {&m.CaInf, &m.PaInf, &m.CcInf, &m.PcInf, &m.CsInf, &m.PsInf, &m.CpInf, &m.PpInf})
        for (int k = a->lo2(); k <= a->hi2(); ++k) (*a)(j, k) = 0.0;
}

// Solves the periodic single band with the coefficients of band j and
// stores its currents and powers in row j of the Inf tables.
void solve_band(Model& m, int j) {
    const int N = m.NS;
    create_system_matrix(m, true);
    fill_infinit_array(m, j);
    solve_infinit_array(m);
    for (int k = 1; k <= N - 1; ++k) {
        m.CcInf(j, k) = -solution(m, var_cc(m, 1, k));
        m.PcInf(j, k) = m.Rc(j, k) * m.CcInf(j, k) * m.CcInf(j, k);
    }
    for (int k = 1; k <= 2 * N; ++k) {
        m.CaInf(j, k) = solution(m, var_ca(m, 1, k));
        m.PaInf(j, k) = m.Ra(j, k) * m.CaInf(j, k) * m.CaInf(j, k);
    }
    for (int s = 2; s <= 2 * N - 1; ++s) {
        m.CsInf(j, s) = solution(m, var_cs(m, 1, s));
        m.PsInf(j, s) = m.Rs(j, s) * m.CsInf(j, s) * m.CsInf(j, s);
    }
    convert_sec_to_pos(N, m.CsInf.row(j), m.CpInf.row(j), 2);
    convert_sec_to_pos(N, m.PsInf.row(j), m.PpInf.row(j), 1);
    release_system_matrix(m, true);
}

void copy_band(RArr2& a, int from, int to) {
    for (int k = a.lo2(); k <= a.hi2(); ++k) a(to, k) = a(from, k);
}

}  // namespace

void iscc_inf_calculation(Model& m) {
    const int N = m.NS, NB = m.NB;

    // Settings of the time loop, restored at the end.
    const RArr2 Rs_saved = m.Rs;
    const int Opt_Cable_saved = m.Opt_Cable, NEq_saved = m.NEq, NCa_saved = m.NCa;
    const double CPC_saved = m.CPC;

    m.Opt_Cable = 1;
    m.NEq = m.NEqB;
    m.NCa = 5 * N - 2;
    m.CPC = 0.0;
    m.NTS = 0;  // no inductive terms
    for (int j = 1; j <= NB; ++j)
        for (int s = 2; s <= 2 * N - 1; ++s) m.Rs(j, s) = m.RhoMin * m.l_div_a(s);

    // One band suffices unless field or resistances vary along the cable.
    const int NBc = (m.Opt_LongB != 0 || m.Opt_LongR != 0) ? NB : 1;
    unit_ramp_emf(m, NBc);
    for (int j = 1; j <= NBc; ++j) {
        if (std::abs(m.ba1_long(j)) < 1e-9)
            clear_band(m, j);
        else
            solve_band(m, j);
    }
    if (NBc == 1)
        for (int j = 2; j <= NB; ++j)
            for (RArr2* a :
                 {&m.CaInf, &m.PaInf, &m.CcInf, &m.PcInf, &m.CsInf, &m.PsInf, &m.CpInf, &m.PpInf})
                copy_band(*a, 1, j);

    m.Opt_Cable = Opt_Cable_saved;
    m.NEq = NEq_saved;
    m.NCa = NCa_saved;
    m.CPC = CPC_saved;
    m.Rs = Rs_saved;
    if (m.DbgMsg == 1) msg(m, "ISCC_Inf_Calculation finished");
}

}  // namespace vorn
