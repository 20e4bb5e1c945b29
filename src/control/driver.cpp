// The main program: the start-up sequence, then the loops over runs,
// quench-energy iterations, time steps, relaxation levels and resistance
// iterations.
#include "control/driver.hpp"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <exception>
#include <new>
#include <string>

#include "control/checkpoint.hpp"
#include "control/command_line.hpp"
#include "control/control.hpp"
#include "control/messages.hpp"
#include "control/step_checks.hpp"
#include "field/field.hpp"
#include "input/case_edit.hpp"
#include "input/input.hpp"
#include "magnetisation/magnetisation.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "output/headline.hpp"
#include "output/output.hpp"
#include "support/listread.hpp"
#include "support/stop.hpp"
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

void start_up(Model& m) {
    read_input_parameters(m);
    check_input_parameters(m);
    read_other_files(m);
    // The arrays of the case are created from here on.
    memory_guard(m);
    set_up_case(m);
}

// Temperature iteration; `inner` is the call inside the resistance loop.
void temperature_loop(Model& m, bool inner) {
    m.TsConv = 0;
    if (inner) m.NrItTs = 0;
    if (m.NrItT_M <= 0 || m.StepAdd != 0) return;
    do {
        m.NrItTs = m.NrItTs + 1;
        if (m.CoupledStep == 1)
            temp_calculation_coupled(m);
        else
            temp_calculation(m);
    } while (m.TsConv != 1 && m.NrItTs < m.NrItT_M && m.StepAdd != 1);
}

// Between assembly and solution of a finite cable: how many rows of the
// right-hand side (inductive and applied-field terms) changed since the last
// solution.  The tolerance starts small and reaches SolAcc after
// 1/F_SolAcc resistance iterations.
void right_hand_side_check(Model& m) {
    m.NrIndCh = 0;
    if (m.NBMut >= 1 && m.NTS >= 1) {
        const double f = std::min(1.0, m.NrItRs * m.F_SolAcc);
        const double tol = m.SolAcc * f;
        int count = 0;
        for (int i = 1; i <= m.NEq; ++i) {
            const double r = finite_rhs(m, i);
            if (std::abs(r) > 1e-6 && std::abs((m.A_nca(i) - r) / r) > tol) ++count;
        }
        m.NrIndCh = count;
        m.IndUnch = count == 0 ? 1 : 0;
    }
    for (int i = 1; i <= m.NEq; ++i) m.A_nca(i) = finite_rhs(m, i);
}

void network_solution(Model& m) {
    ++m.Stats.NrNetwork;
    if (m.Opt_UnifCur1 == 2 || (m.Opt_UnifCur1 == 1 && m.NTS == 0)) {
        currents_powers_calculation_equal(m);
    } else if (m.Opt_Cable == 1) {
        create_system_matrix(m);
        fill_infinit_array(m, 1);
        if (m.DbgMsg == 1) check_zero_columns(m);
        solve_infinit_array(m);
        currents_powers_calculation(m);
        release_system_matrix(m);
    } else {
        create_system_matrix(m);
        assemble_finite_system(m);
        right_hand_side_check(m);
        // The coupling to the other bands within NBMut: unknowns of the
        // solve (default), or from the previous iterate (MutExplicit = 1).
        if (m.MutExplicit == 1)
            solve_array(m);
        else
            solve_array_implicit(m);
        currents_powers_calculation(m);
        release_system_matrix(m);
        m.AsmMode = 0;
        m.AsmSameBand = 0;
    }
}

// Filament coupling power of every section (W).
void filament_coupling_power(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s)
            m.PFs(b, s) = m.Two * m.TauIF / m.Mu0 * m.BDOTs(b, s) * m.BDOTs(b, s) * m.Vol_s(s);
}

// One resistance iteration; returns true when it converged.
bool resistance_iteration(Model& m) {
    m.NrItRs = m.NrItRs + 1;
    if (m.Opt_RsCalc > 1) rs_calculation(m);
    m.IndUnch = 1;
    network_solution(m);
    filament_coupling_power(m);
    if (m.Opt_SF == 1) {
        self_field_calculation(m);
        total_field_calculation(m);
    }
    heat_per_section(m);
    if (m.Opt_Temp > 0 && m.NTS > 0) temperature_loop(m, true);
    if (m.Opt_SF == 1 || m.Opt_Temp > 0) crit_cur_and_temp_calculation(m);
    iteration_yn(m);
    return m.ConvYN == 1;
}

// The relaxation levels of one time step; true when a level converged.
bool attempt_loop(Model& m) {
    for (;;) {
        if (m.CntR >= m.CntR_M) {  // all levels used up
            if (m.StepAdd == 0) {
                m.StepAdd = 1;
                m.CntR = 1;
                m.log_unit.line(
                    "No convergence within CntR_M relaxation levels: time step added");
            }
            return false;
        }
        if (m.StepAdd == 1) return false;
        m.CntR = m.CntR + 1;
        m.NrItRs = 0;
        cs_estimate(m);
        if (m.Opt_SF > 0) self_field_calculation(m);
        total_field_calculation(m);
        m.NrItTs = 0;
        if (m.Opt_Temp > 0 && m.NTS > 0) temperature_loop(m, false);
        crit_cur_and_temp_calculation(m);
        while (m.NrItRs < m.NrItR_M(m.CntR) && m.StepAdd == 0)
            if (resistance_iteration(m)) return true;
    }
}

void output_phase(Model& m) {
    saturation_check(m);
    const int NB = m.NB, last = m.NS_2m1;
    if (m.Opt_Trans_HF > 0)
        for (int b = 1; b <= NB; ++b)
            for (int s = 2; s <= last; ++s)
                if (m.Regime(b, s) == 1) m.E_Trans(b, s) -= m.HF_He(b, s) * m.dt;
    if (m.Opt_Temp >= 2 && m.Opt_He == 1)
        for (int b = 1; b <= NB; ++b)
            for (int s = 2; s <= last; ++s)
                if (m.T0_supercr(b, s) < -0.0005 && m.Ts(b, s) - m.TBath > m.dT)
                    m.T0_supercr(b, s) = m.Time;
    if (m.Opt_Temp > 0) energy_account_step(m);
    convert_arrays(m);
    if (m.Opt_FLC == 1) fl_calculation(m);
    if (NB > 1) voltage_calculation(m);
    define_prev_min_max(m);
    // Resistive voltage: all power over the transport current.  Tested
    // before the writers, so that a run ending here writes its last step.
    const double P = sum_all(m.Pa) + sum_all(m.Pc) + sum_all(m.Ps) + sum_all(m.PFs);
    if (NB > 1 && std::abs(m.CPC) > 1e-6 && P / std::abs(m.CPC) > m.VoltStop)
        m.VoltStopFlag = 1;
    write_progress(m);
    if (m.Opt_Magn == 1) write_magn(m);

    headline_track(m);
    if (m.Opt_HP == 2) qe_decision(m);
    // The last step of the run is always written: the end of the schedule,
    // a QE decision, or the resistive voltage above VoltStop.
    m.FinalStep =
        (m.Time >= m.TimeEnd || m.QE_Dec(m.Iter) >= 0 || m.VoltStopFlag == 1) ? 1 : 0;
    write_nts(m, m.FinalStep);
}

// The files that stay open over the run get the records of the step.
void flush_step_files(Model& m) {
    m.log_unit.flush();
    m.qe_unit.flush();
    m.qesum_unit.flush();
}

// One time step; true when it converged and its results are written.
bool time_step(Model& m) {
    m.NTS = m.NTS + 1;
    time_calculation(m);
    b_applied_definition(m);
    m.CntR = m.CntR - 1;
    initialize_time_step(m);
    if (m.Opt_Cable == 2) boundary_currents_definition(m);
    m.StepAdd = 0;
    m.IndUnch = 0;

    const bool converged = attempt_loop(m) && m.StepAdd == 0;
    if (converged) {
        check_finite_step(m);
        output_phase(m);
        flush_step_files(m);
        progress_line_step(m);
        signal_after_steps(m, false);
        checkpoint_after_step(m);
        signal_after_steps(m, true);
    } else if (m.NTS == 0) {
        stop_with_message(m, "No steady state solution found for t=0. Program aborted");
    }  // otherwise the next pass repeats the step with half the time step

    if (end_of_schedule(m, converged)) m.EndOfRun = 1;
    return converged;
}

void qe_iteration(Model& m) {
    stop_if_interrupted(m, m.Time);
    m.CpuIterStart = cpu_seconds();
    m.Iter = m.Iter + 1;
    qe_restore_start_state(m);  // a no-op without the quench-energy search
    initialize_iter(m);
    headline_reset(m);
    progress_line_start(m);
    if (m.Opt_Temp == 0) m.TsConv = 1;
    if (m.Opt_RsCalc == 1) rs_definition(m);
    iscc_inf_calculation(m);

    m.VoltStopFlag = 0;
    m.Cs_prev.fill(0);
    m.Tmax_prev = m.TBath;
    m.CntR = 1;
    m.NTS = -1;
    m.QE_Dec(m.Iter) = -99;
    m.EndOfRun = 0;
    // A resumed run continues after the step of its checkpoint.
    bool resumed = checkpoint_restore(m);
    double t_written = resumed ? m.Time : 0;  // time of the last step with results, s
    while (m.VoltStopFlag == 0 && m.QE_Dec(m.Iter) == -99) {
        if (!resumed) {
            if (time_step(m)) t_written = m.Time;
            // A signal takes effect once the step's results are written.
            stop_if_interrupted(m, t_written);
        }
        resumed = false;
        if (m.EndOfRun == 1 || m.VoltStopFlag == 1) break;
    }
    m.NTS_end = m.NTS;
    if (m.VoltStopFlag == 1)
        msg(m, "Next time step not calculated because resistive voltage > VoltStop");
    if (m.Opt_Magn == 1) magnetisation_calculation(m);
    m.t_cpu_iter(m.Run, m.Iter) = cpu_seconds() - m.CpuIterStart;
    write_summary(m);
    if (m.Opt_HP < 2) m.RunDone = 1;
}

void run_loop(Model& m) {
    check_run_directories(m);
    if (m.Opt_HP == 2) qe_keep_start_state(m);
    // A resumed run starts in the run and QE iteration of its checkpoint.
    int resume_run = 1, resume_iter = 1;
    checkpoint_resume_point(m, resume_run, resume_iter);
    m.Run = resume_run;
    for (;;) {
        initialize_run(m);
        m.Iter = m.Run == resume_run ? resume_iter - 1 : 0;
        m.RunDone = 0;
        while (m.RunDone == 0 && m.Iter < NrItQE_M) qe_iteration(m);
        if (m.Opt_HP == 2 && m.Run < m.NrRunT)
            console(m, "Next simulation with new heat pulse/transport current");
        m.qe_unit.close();
        if (m.Opt_HP == 2) {
            qe_summary_line(m);
            const bool energy = m.hp_or_tc(m.Run) == 1;
            headline_search_result(m, energy, energy ? 1e6 * m.E_HP_min : m.TC_min,
                                   energy ? 1e6 * m.E_HP_max : m.TC_max);
        }
        const int old = m.Run;
        m.Run = m.Run + 1;
        if (old >= m.NrRunT) break;
    }
}

// A stop that unwound as an exception: its reason to the messages file and
// the error stream.
void report_fatal(Model& m, const std::string& text) { report_stop_reason(m, text); }

}  // namespace

double cpu_seconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

void set_up_case(Model& m) {
    initialize_2(m);
    position_calculation(m);
    initialize_hf(m);
    strand_specific_data(m);
    if (m.Opt_SF == 1) self_field_array_calculation(m);
    // Without time steps only the state at t = 0 is solved: no inductances.
    if (m.NrSteps_inp > 0) mutual_ind_array_calculation(m);
    ra_definition(m);
    rc_definition(m);
    surf_loop_definition(m);
    cable_derived_values(m);
    allocate_arrays(m);
    field_across_w_loops(m);
    field_across_w_strands(m);
    if (m.Opt_FLC == 1) fl_transport_calculation(m);
    m.t_cpu_iter.allocate(1, m.NrRunT, 1, NrItQE_M, 0.0);
    m.QE_Dec.allocate(1, NrItQE_M, -99);
}

void simulate(Model& m) {
    start_up(m);
    run_loop(m);
    if (m.Opt_PrMat == 1) write_matprop(m);
    report_headline(m);  // its console lines take the progress line off
    new_message_period(m);
    msg(m, "Simulation finished");
    checkpoint_remove(m);
    deallocate_arrays(m);
}

int vorn_main(Model& m) {
    const InterruptHandlers handlers;
    int status = kStopStatus;
    try {
        initialize_1(m);
        simulate(m);
        status = 0;
    } catch (const ProgramStop& stop) {
        status = stop.status;
    } catch (const ReadError& e) {
        report_fatal(m, e.what());
    } catch (const FatalError& e) {
        report_fatal(m, e.what());
    } catch (const std::bad_alloc&) {
        report_fatal(m, "Not enough memory for the arrays of this case. Program aborted");
    } catch (const std::exception& e) {  // a failure no Part foresaw: still a stop with a reason
        report_fatal(m, std::string("Internal error: ") + e.what() + ". Program aborted");
    }
    progress_line_clear(m);
    // Where the results are and how the run ended.
    report_end_of_run(m, status == 0 ? *m.con_out : *m.con_err);
    m.case_lock.release();
    return status;
}

int run_vorn(int argc, const char* const* argv) {
    Model m;
    const int status = parse_command_line(argc, argv, m.opts, *m.con_out, *m.con_err);
    if (status == kEditCase) {
        const RunOptions& o = m.opts;
        if (o.edit == "report") return print_case_report(o.edit_case, *m.con_out, *m.con_err);
        return o.edit == "set" ? set_case_values(o.edit_case, o.edit_args, *m.con_out, *m.con_err)
                               : get_case_values(o.edit_case, o.edit_args, *m.con_out, *m.con_err);
    }
    if (status != kRunCase) return status;
    return vorn_main(m);
}

}  // namespace vorn
