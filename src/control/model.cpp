#include "control/model.hpp"

#include <algorithm>
#include <limits>

namespace vorn {

namespace {
// Counts of an absurd cable (which the validation rejects) must not overflow.
int saturate(long long v) {
    return int(std::clamp<long long>(v, std::numeric_limits<int>::min(),
                                     std::numeric_limits<int>::max()));
}
}  // namespace

void set_derived_counts(Model& m) {
    const long long NS = m.NS, NB = m.NB;
    m.NS_half = m.NS / 2;
    m.NS_m1 = saturate(NS - 1);
    m.NS_2 = saturate(2 * NS);
    m.NS_2m1 = saturate(2 * NS - 1);
    m.NS_2m2 = saturate(2 * NS - 2);
    m.NEqB = saturate(5 * NS - 3);
    m.NEq = saturate(NB * (5 * NS - 3));
}

namespace {

// b x s: bands 1..NB, sections 2..2NS-1
void alloc_bs(const Model& m, RArr2& a, double init = 0.0) { a.allocate(1, m.NB, 2, m.NS_2m1, init); }
void alloc_bs(const Model& m, IArr2& a, int init = 0) { a.allocate(1, m.NB, 2, m.NS_2m1, init); }
// b x p (and b x wire): bands 1..NB, positions 1..NS
void alloc_bp(const Model& m, RArr2& a, double init = 0.0) { a.allocate(1, m.NB, 1, m.NS, init); }
void alloc_bp(const Model& m, IArr2& a, int init = 0) { a.allocate(1, m.NB, 1, m.NS, init); }
// per section of one band
void alloc_s(const Model& m, RArr1& a, double init = 0.0) { a.allocate(2, m.NS_2m1, init); }

}  // namespace

void allocate_input_arrays(Model& m) {
    const int NB = m.NB, NS = m.NS;

    // strand data per wire, position and section
    for (RArr1* a : {&m.CuSCw, &m.RRRw, &m.ICRATw, &m.NPOWw, &m.F_Ra_w, &m.F_Rc_w})
        a->allocate(1, NS, 0.0);
    m.Normw.allocate(1, NS, 0);
    for (RArr2* a : {&m.CuSCp, &m.RRRp, &m.ICRATp, &m.NPOWp}) alloc_bp(m, *a);
    alloc_bp(m, m.Normp);
    for (RArr2* a : {&m.CuSCs, &m.RRRs, &m.ICRATs, &m.NPOWs, &m.Cs_mat, &m.Cs_SC, &m.Vol_Cu,
                     &m.Vol_SC})
        alloc_bs(m, *a);
    alloc_bs(m, m.Norms);

    // per-band input tables
    m.ba1_long.allocate(1, NB, 1.0);
    m.ba2_long.allocate(1, NB, 1.0);
    m.ralong.allocate(1, NB + 1, 0.0);
    m.rclong.allocate(1, NB + 1, 0.0);
    m.rholong.allocate(1, NB, 0.0);

    // field per position (inp_B-posit.txt) and per section
    for (RArr1* a : {&m.bpx_inp, &m.bpy_inp, &m.bpz_inp}) a->allocate(1, NS, 0.0);
    for (RArr1* a : {&m.bx_inp, &m.by_inp, &m.bz_inp}) alloc_s(m, *a);

    // end currents per wire
    for (RArr1* a : {&m.CWB1perc, &m.CWB2perc, &m.CWB1, &m.CWB2}) a->allocate(1, NS, 0.0);

    // contact surfaces and helium volumes per section
    for (RArr1* a : {&m.A_Ad, &m.A_Cr, &m.A_He, &m.Vol_He}) alloc_s(m, *a);

    // per-position and per-wire results kept with the strand data
    for (RArr2* a : {&m.Pp, &m.Pw, &m.PFp, &m.PFw, &m.Tp, &m.Tw, &m.THp, &m.THw, &m.dTp, &m.dTw,
                     &m.Rho_p, &m.Rho_w, &m.BSFp_x, &m.BSFp_y, &m.BSFp_z})
        alloc_bp(m, *a);
    alloc_bs(m, m.dTs);
    alloc_bs(m, m.Rho_s);
}

void allocate_arrays(Model& m) {
    const int NB = m.NB, NS = m.NS;

    // per section
    for (RArr2* a : {&m.Cs, &m.Cs_prev, &m.CsInf, &m.Rs, &m.Rs_prev, &m.R_mat, &m.ICs, &m.Tcb,
                     &m.Tcs, &m.BTs, &m.BDOTs, &m.Ba_x, &m.Ba_y, &m.Ba_z, &m.dBadt_x, &m.dBadt_y,
                     &m.dBadt_z, &m.dBSFdt_x, &m.dBSFdt_y, &m.dBSFdt_z, &m.Ps, &m.Ps_prev,
                     &m.PsMean, &m.PsInf, &m.PFs, &m.PFs_prev, &m.P_IS, &m.P_IS_prev,
                     &m.P_HP_arr, &m.VRs, &m.VIs, &m.VTs, &m.Ts, &m.Ts_prev, &m.THs, &m.THs_prev,
                     &m.HF_adj, &m.HF_cross, &m.HF_str, &m.HF_He, &m.HF_ins, &m.HF_s,
                     &m.E_Trans})
        alloc_bs(m, *a);
    if (m.Opt_SF > 0)
        for (RArr2* a : {&m.BSF_x, &m.BSF_y, &m.BSF_z}) alloc_bs(m, *a);
    alloc_bs(m, m.Regime);
    alloc_bs(m, m.NrSATs);
    m.NY_T.allocate(2, NB - 1, 2, m.NS_2m1, 0);

    // per position and per wire
    for (RArr2* a : {&m.Cp, &m.Cw, &m.CpInf, &m.ICp, &m.ICw, &m.BTp, &m.VRp, &m.VIp, &m.VTp,
                     &m.VRw, &m.VIw, &m.VTw, &m.PpInf, &m.HF_str_p, &m.HF_str_w})
        alloc_bp(m, *a);
    for (RArr2* a : {&m.VRwZ, &m.VIwZ, &m.VTwZ}) a->allocate(0, NB, 1, NS, 0.0);

    // per contact
    for (RArr2* a : {&m.Ca, &m.CaInf, &m.Pa, &m.PaInf}) a->allocate(1, NB, 1, 2 * NS, 0.0);
    for (RArr2* a : {&m.Cc, &m.CcInf, &m.Pc, &m.PcInf}) a->allocate(1, NB + 1, 1, NS - 1, 0.0);
    m.EMF.allocate(1, NB, 1, NS - 1, 1, 3, 0.0);

    // network right-hand side, field line, boundary currents
    m.A_nca.allocate(1, m.NEq, 0.0);
    for (RArr1* a : {&m.BFL_x, &m.BFL_y, &m.BFL_z, &m.BFLtr_x, &m.BFLtr_y, &m.BFLtr_z})
        a->allocate(1, m.NrPFL, 0.0);
    alloc_s(m, m.CSB1);
    alloc_s(m, m.CSB2);
}

void deallocate_arrays(Model& m) {
    // Called at the very end of a case: the groups that hold arrays are reset
    // to a fresh state, which releases every array (and clears the case
    // parameters with them).  The choice of the network solver is a
    // run-time option, and its counters are read after the case: both stay,
    // and so do the reference modes of the matrix and of its factorisation.
    static_cast<InputState&>(m) = InputState{};
    const int mut_explicit = m.MutExplicit, fresh_matrix = m.FreshMatrix,
              fresh_factor = m.FreshFactor, stale_factors = m.StaleFactors,
              update_factors = m.UpdateFactors;
    const NetSolverStats stats = m.Stats;
    static_cast<NetworkState&>(m) = NetworkState{};
    m.MutExplicit = mut_explicit;
    m.FreshMatrix = fresh_matrix;
    m.FreshFactor = fresh_factor;
    m.StaleFactors = stale_factors;
    m.UpdateFactors = update_factors;
    m.Stats = stats;
    static_cast<FieldState&>(m) = FieldState{};
    static_cast<ThermalState&>(m) = ThermalState{};
    static_cast<OutputState&>(m) = OutputState{};
    static_cast<MagnetisationState&>(m) = MagnetisationState{};
    m.ConvFR.deallocate();
    m.NrItR_M.deallocate();
    m.QE_Dec.deallocate();
    m.t_cpu_iter.deallocate();
    m.NrSATs.deallocate();
    m.qe_start.reset();
}

}  // namespace vorn
