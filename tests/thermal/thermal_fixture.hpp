// A small cable set up for the temperature solution (NS = 8 unless stated):
// geometry, strand data, heat-transfer data and the time-dependent arrays,
// every section at the bath temperature, no field, the superconductor in
// its superconducting state (Tcs far above).  A step of the time loop as
// the driver makes it, with the section powers supplied by the test.
#pragma once

#include <algorithm>
#include <functional>

#include "control/control.hpp"
#include "network/network.hpp"
#include "small_cable.hpp"
#include "thermal/thermal.hpp"

namespace vorn::test {

inline void thermal_cable(Model& m, int NB, int opt_temp, double TBath = 4.2, int NS = 8) {
    small_cable(m, NB, NS);
    m.Opt_Temp = opt_temp;
    m.TBath = TBath;
    m.Opt_kCu = 0;
    m.Opt_PrIter = 0;  // no convergency file
    position_calculation(m);
    initialize_hf(m);
    strand_specific_data(m);
    allocate_arrays(m);
    for (RArr2* a : {&m.Ts, &m.Ts_prev, &m.THs, &m.THs_prev, &m.Tmid}) a->fill(m.TBath);
    m.Tcs.fill(100.0);
    m.Tcb.fill(100.0);
    m.NTS = 0;
    m.Time = 0;
    m.dt = 1e-4;
}

// One time step of length dt: the passes of the attempt (NrItRs = 0), then
// `iterations` resistance iterations, each setting the powers through
// `powers` and repeating the passes until the temperatures settle.  A step
// that asks to be repeated is repeated with half the time step, as the
// driver does (at most ten times).  The converged step is booked in the
// energy account and becomes the previous one.  Returns the time step
// taken, 0 when even the smallest failed.
inline double thermal_step(Model& m, double dt, int iterations,
                           const std::function<void(Model&)>& powers) {
    auto passes = [&] {
        m.NrItTs = 0;
        do {
            m.NrItTs += 1;
            if (m.CoupledStep == 1)
                temp_calculation_coupled(m);
            else
                temp_calculation(m);
        } while (m.TsConv != 1 && m.NrItTs < m.NrItT_M && m.StepAdd == 0);
    };
    const double start = m.Time;
    m.NTS += 1;
    for (int attempt = 0; attempt <= 10; ++attempt, dt /= 2) {
        m.Time = start + dt;
        m.dt = dt;
        for (RArr2* a : {&m.HF_adj, &m.HF_cross, &m.HF_str, &m.HF_He, &m.HF_ins}) a->fill(0);
        m.Regime.fill(0);
        m.StepAdd = 0;
        m.NrItRs = 0;
        passes();
        for (int it = 1; it <= iterations && m.StepAdd == 0; ++it) {
            m.NrItRs = it;
            powers(m);
            passes();
        }
        if (m.StepAdd == 1) continue;
        energy_account_step(m);
        m.Ts_prev = m.Ts;
        m.THs_prev = m.THs;
        m.Ps_prev = m.Ps;
        m.PFs_prev = m.PFs;
        m.P_IS_prev = m.P_IS;
        return dt;
    }
    m.Time = start;
    return 0.0;
}

// Steps of at most dt until t_end; false when a step failed.
inline bool run_until(Model& m, double t_end, double dt,
                      const std::function<void(Model&)>& powers, int iterations = 3) {
    while (m.Time < t_end - 1e-12)
        if (thermal_step(m, std::min(dt, t_end - m.Time), iterations, powers) == 0) return false;
    return true;
}

}  // namespace vorn::test
