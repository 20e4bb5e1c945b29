// The state every QE iteration starts from.  Each iteration of the
// quench-energy search is a complete simulation from t = 0 that must not
// depend on the iterations before it: the time-dependent state of the store
// is kept once, before the first run, and put back at the start of every
// iteration.  Parameters, set-up tables and the search's own tables (trial
// values, brackets, scaled heater table, decisions, CPU times) are not
// touched.
#include <memory>
#include <vector>

#include "control/control.hpp"
#include "network/network.hpp"

namespace vorn {

struct QEStartState {
    // Whole groups: every array in them is either fixed after the set-up or
    // changed by the time loop.
    FieldState field;
    ThermalState thermal;
    OutputState output;
    MagnetisationState magnetisation;
    // The network group holds the large system-matrix storage and the
    // inductances, which need no copy; its result arrays are kept one by one.
    std::vector<RArr2> network2;
    std::vector<RArr1> network1;
    IArr2 NrSATs;
    std::vector<double> reals;
    std::vector<int> ints;
};

// Run-state scalars of the time loop (dIdt among them: the schedule keeps it
// over the step at t = 0).
std::vector<double*> run_reals(Model& m) {
    return {&m.Time,   &m.dt,        &m.Time_prev, &m.dt_prev, &m.CPC,
            &m.dIdt,   &m.Ba1,       &m.Ba2,       &m.dBa1dt,  &m.dBa2dt,
            &m.Ts_max, &m.Tmax_prev, &m.PaInf_T,   &m.PcInf_T, &m.PsInf_T,
            &m.X_last_t, &m.X_prev_t};
}

std::vector<int*> run_ints(Model& m) {
    return {&m.NTS,       &m.NrStepDt, &m.DtReduced, &m.CntR,    &m.NrItRs,       &m.NrItTs,
            &m.NrCsCh,    &m.NrRsCh,   &m.NrTsCh,    &m.NrTHsCh, &m.NrIndCh,      &m.NrSecRes,
            &m.ConvYN,    &m.IndUnch,  &m.TsConv,    &m.StepAdd, &m.VoltStopFlag, &m.EndOfRun,
            &m.FinalStep, &m.NCa,      &m.NBw,      &m.X_last_NTS, &m.X_prev_NTS};
}

void qe_keep_start_state(Model& m) {
    auto k = std::make_shared<QEStartState>();
    k->field = m;
    k->thermal = m;
    k->output = m;
    k->magnetisation = m;
    for (RArr2* a : network_results(m)) k->network2.push_back(*a);
    for (RArr1* a : network_vectors(m)) k->network1.push_back(*a);
    k->NrSATs = m.NrSATs;
    for (double* v : run_reals(m)) k->reals.push_back(*v);
    for (int* v : run_ints(m)) k->ints.push_back(*v);
    m.qe_start = std::move(k);
}

void qe_restore_start_state(Model& m) {
    if (!m.qe_start) return;
    const QEStartState& k = *m.qe_start;
    static_cast<FieldState&>(m) = k.field;
    static_cast<ThermalState&>(m) = k.thermal;
    static_cast<OutputState&>(m) = k.output;
    static_cast<MagnetisationState&>(m) = k.magnetisation;
    std::size_t i = 0;
    for (RArr2* a : network_results(m)) *a = k.network2[i++];
    i = 0;
    for (RArr1* a : network_vectors(m)) *a = k.network1[i++];
    m.NrSATs = k.NrSATs;
    // A factorisation kept from the last iteration would give the same
    // numbers, but making it afresh keeps every iteration's work alike.
    m.A_LU.valid = 0;
    i = 0;
    for (double* v : run_reals(m)) *v = k.reals[i++];
    i = 0;
    for (int* v : run_ints(m)) *v = k.ints[i++];
}

}  // namespace vorn
