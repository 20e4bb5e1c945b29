// The state of a run that a checkpoint keeps: everything the time loop
// changes.  What the set-up makes from the input files (geometry,
// inductances, self-field and material tables, contact resistances) is
// made again by the resumed run and is not kept.
#include <sstream>
#include <string>

#include "control/checkpoint.hpp"
#include "control/control.hpp"
#include "network/network.hpp"

namespace vorn {

namespace {

void control_io(StateArchive& ar, Model& m) {
    for (double* v : run_reals(m)) ar(*v);
    for (int* v : run_ints(m)) ar(*v);
    ar(m.Run, m.Iter, m.NTS_end, m.TimeEnd, m.t_HP_end, m.E_HP_inp, m.RunDone);
    ar(m.E_HP_min, m.E_HP_max, m.TC_min, m.TC_max);
    ar(m.QE_Dec, m.t_cpu_iter, m.NrSATs);
    ar(m.msg_last_line, m.run_dirs_used, m.Head.it);
    // The searches' results one by one: a flag is no plain number.
    const std::size_t n = ar.count(m.Head.qe.size(), sizeof(QeResult));
    if (ar.loading()) m.Head.qe.resize(n);
    for (QeResult& q : m.Head.qe) ar(q.run, q.energy, q.lo, q.hi);
    // The generator of the contact-resistance scatter, as its text.
    std::string rng;
    if (!ar.loading()) {
        std::ostringstream os;
        os << m.rng;
        rng = os.str();
    }
    ar(rng);
    if (ar.loading()) {
        std::istringstream is(rng);
        is >> m.rng;
        if (!is) throw ArchiveError("the random-number state is damaged");
    }
    // The quench-energy search's trial values and scaled heater table.
    ar(m.e_hp, m.tc_qe, m.P_HP);
}

void field_io(StateArchive& ar, Model& m) {
    ar(m.Ba_x, m.Ba_y, m.Ba_z, m.dBadt_x, m.dBadt_y, m.dBadt_z, m.EMF);
    ar(m.BSF_x, m.BSF_y, m.BSF_z, m.dBSFdt_x, m.dBSFdt_y, m.dBSFdt_z);
    ar(m.BTs, m.BDOTs, m.ba1_w_b, m.ba2_w_b, m.ba1_w_emf, m.ba2_w_emf);
    ar(m.BFL_x, m.BFL_y, m.BFL_z);
    ar(m.ICs, m.Tcb, m.Tcs, m.R_mat, m.Rs, m.Rs_prev, m.RsIn_log, m.RsOut_log);
    ar(m.RsGainNTS, m.RsGainIt, m.RsGainCntR, m.Tc0, m.Bc20, m.RsSp);
}

void thermal_io(StateArchive& ar, Model& m) {
    ar(m.Ts, m.Ts_prev, m.THs, m.THs_prev);
    ar(m.PsMean, m.PFs, m.PFs_prev, m.P_IS, m.P_IS_prev, m.P_HP_arr);
    ar(m.HF_adj, m.HF_cross, m.HF_str, m.HF_He, m.HF_ins, m.HF_s);
    ar(m.E_Trans, m.Regime, m.NY_T, m.T0_supercr);
    ar(m.Tmid, m.Solved_s, m.Cap_s, m.Cap_He, m.NewtonStep, m.NewtonTurns, m.energy);
}

void output_io(StateArchive& ar, Model& m) {
    ar(m.Cp, m.Cw, m.ICp, m.ICw, m.BTp, m.Pp, m.Pw, m.PFp, m.PFw);
    ar(m.Tp, m.Tw, m.THp, m.THw, m.dTs, m.dTp, m.dTw, m.Rho_s, m.Rho_p, m.Rho_w);
    ar(m.BSFp_x, m.BSFp_y, m.BSFp_z, m.HF_str_p, m.HF_str_w);
    ar(m.trig_prog, m.trig_nts, m.NTST);
    ar(m.magnav, m.CPC_M, m.T_M, m.NTS_M);
}

}  // namespace

void model_state_io(StateArchive& ar, Model& m) {
    control_io(ar, m);
    field_io(ar, m);
    thermal_io(ar, m);
    output_io(ar, m);
    network_state_io(ar, m);
}

}  // namespace vorn
