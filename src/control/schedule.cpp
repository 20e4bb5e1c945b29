// Run, QE-iteration and time-step initialisation: the run directory and its
// files, the heater table of the run, the time schedule with adaptive
// halving and doubling of the time step, and the start values of a step.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "control/checkpoint.hpp"
#include "control/control.hpp"
#include "control/messages.hpp"

namespace vorn {

namespace {

std::string two_digits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

void open_convergency_file(Model& m) {
    // Each run's convergency file replaces the log file (or the previous
    // run's convergency file) on the log unit; a resumed run goes on with it.
    const std::string path = m.run_dir + "VORN_convergency.dat";
    const bool resuming = m.Ckpt.resuming == 1;
    if (!m.log_unit.open(path, fresh_file_mode(m)))
        stop_with_message(m, "Cannot open the convergency file " + shown_path(path));
    if (m.Opt_PrIter == 1 && !resuming) {
        const std::string& s = m.Sep;
        m.log_unit.fmt("(A7,2(A1,A7),A1,A12,10(A1,A7))",
                       {"Run",   s, "Iter",  s, "NTS",   s, "t",     s, "ConvFR", s, "#ItRs", s,
                        "#ItTs", s, "#CsCh", s, "#RsCh", s, "#TsCh", s, "#THsCh", s, "#IndCh"});
    }
}

std::string run_directory(const Model& m, int run) {
    return m.case_dir + "/Run" + two_digits(run) + "/";
}

// The run directory exists, or --create has made it (and said so).
bool run_directory_ready(Model& m, const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    if (!m.opts.create) return false;
    fs::create_directory(dir, ec);
    if (!fs::is_directory(dir, ec)) return false;
    warn(m, "Created the run directory " + shown_path(dir));
    return true;
}

// The run directory must exist (check_run_directories has seen to it before
// the first run).  Results of an earlier run are pointed out: the progress
// and signal files would be appended to.
void prepare_run_directory(Model& m) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string shown = shown_path(m.run_dir);
    if (!run_directory_ready(m, m.run_dir))
        stop_with_message(m, "Run directory not found: " + shown +
                                 " (create it, or run vorn with --create)");
    if (m.Ckpt.resuming == 0 &&
        (fs::exists(m.run_dir + "Progress.dat", ec) || fs::exists(m.run_dir + "Signals.dat", ec)))
        warn(m, "Warning: " + shown +
                    " holds results of an earlier run; Progress.dat and Signals.dat are appended "
                    "to (run vorn with --fresh to remove them first)");
    if (m.run_dirs_used.empty() || m.run_dirs_used.back() != m.run_dir)
        m.run_dirs_used.push_back(m.run_dir);
}

void scale_heater_table(Model& m) {
    if (m.Opt_HP == 1) {
        m.P_HP = m.P_HP_inp;
        m.e_hp(m.Run, 1) = m.E_HP_inp;
    } else if (m.Opt_HP == 2) {
        // The input pulse shape, scaled to the run's first trial energy: a
        // pulse without energy cannot be scaled.
        if (!(m.E_HP_inp > 0))
            stop_with_message(m,
                              "The heat pulse of inp_EP.txt has no energy; the quench-energy "
                              "search scales it to the energy of each trial. Program aborted");
        scale_heater_table_to(m, m.e_hp(m.Run, 1));
        if (m.hp_or_tc(m.Run) == 1) {  // search on the heater energy
            m.E_HP_min = 0;
            m.E_HP_max = 1e20;
            m.TC_min = m.TC_max = m.tc_qe(m.Run, 1);
        } else if (m.hp_or_tc(m.Run) == 2) {  // search on the transport current
            m.E_HP_min = m.E_HP_max = m.e_hp(m.Run, 1);
            m.TC_min = 0;
            m.TC_max = 1e20;
        }
    }
}

// Values of the first row of the time table (the state at t = 0).
void schedule_row0(Model& m) {
    m.CPC = m.cpc_fin(0);
    m.Ba1 = m.ba1_fin(0);
    m.Ba2 = m.ba2_fin(0);
    m.dBa1dt = m.dba1dt_inp(0);
    m.dBa2dt = m.dba2dt_inp(0);
}

// Interval k of the table that holds time t: t_inp(k-1) < t <= t_inp(k),
// the last such k; 0 when there is none.
int interval_of(const Model& m, double t) {
    int found = 0;
    for (int k = 1; k <= m.NrSteps_inp; ++k)
        if (m.t_inp(k - 1) < t && t <= m.t_inp(k)) found = k;
    return found;
}

void interpolate_schedule(Model& m) {
    const int k = interval_of(m, m.Time);
    if (k == 0) return;  // beyond the table: the values stay
    const double f = (m.Time - m.t_inp(k - 1)) / m.dur_inp(k);
    m.CPC = m.cpc_ini(k) + (m.cpc_fin(k) - m.cpc_ini(k)) * f;
    m.Ba1 = m.ba1_ini(k) + (m.ba1_fin(k) - m.ba1_ini(k)) * f;
    m.Ba2 = m.ba2_ini(k) + (m.ba2_fin(k) - m.ba2_ini(k)) * f;
    m.dBa1dt = m.dba1dt_inp(k);
    m.dBa2dt = m.dba2dt_inp(k);
    m.dIdt = m.didt_inp(k);
}

void qe_override(Model& m) {
    m.CPC = m.tc_qe(m.Run, m.Iter);
    const int mode = m.ny_bi(m.Run);
    if (mode == 0) {
        m.Ba1 = m.Ba2 = m.b_qe(m.Run);
    } else if (mode == 1) {  // field proportional to the current
        m.Ba1 = m.Ba2 = m.b_qe(m.Run) * m.CPC / m.tc_qe(m.Run, 1);
    } else {
        stop_with_message(m, "Error in the QE.inp file. Program aborted");
    }
    // Once per QE iteration: every step of it does the same.
    if (m.NTS == 0) msg(m, "Ba2 has been set equal to Ba1 because Opt_HP=2");
}

// Chooses the new step for NTS >= 1 (cases a to d); returns false when the
// repeated step is the one at t = 0 and the values of row 0 apply.
bool choose_step(Model& m) {
    int k = interval_of(m, m.Time);
    if (k == 0) k = 1;
    if (m.StepAdd == 1) {  // the previous attempt failed: half the step
        m.dt = m.dt / m.Two;
        // A step that keeps failing would otherwise be halved forever.
        if (m.dt <= 0 || m.dt <= std::ldexp(m.dt_inp(k), -40)) {
            std::string text = list_directed(
                {"No convergence at t=", m.Time_prev, "s: time step halved 40 times. Program aborted"});
            text.pop_back();  // the record's line end: the reason is the file's last line
            stop_with_message(m, text);
        }
        m.Time = m.Time_prev + m.dt;
        m.NrStepDt = 0;
        m.DtReduced = 1;
        m.NTS = m.NTS - 1;
        if (m.NTS == 0) {
            schedule_row0(m);
            return false;
        }
    } else if (m.NrStepDt == 5) {  // five steps without change: grow again
        m.dt_prev = m.dt;
        m.Time_prev = m.Time;
        const double doubled = m.Two * m.dt;
        m.dt = std::isnan(m.dt_inp(k)) ? doubled : std::min(m.dt_inp(k), doubled);
        m.Time = m.Time + m.dt;
        m.NrStepDt = 0;
        if (!(m.dt < m.dt_inp(k))) m.DtReduced = 0;  // back at the table's step
    } else if (m.NTS == 1) {
        m.dt_prev = 0;
        m.Time_prev = 0;
        m.dt = m.dt_inp(1);
        m.Time = m.dt_inp(1);
        m.NrStepDt = m.NrStepDt + 1;
    } else {
        m.dt_prev = m.dt;
        m.Time_prev = m.Time;
        // The table's step, or the reduced one until it has grown back
        // (never longer than the table's).
        m.dt = m.DtReduced == 1 ? std::min(m.dt_inp(k), m.dt) : m.dt_inp(k);
        m.Time = m.Time + m.dt;
        m.NrStepDt = m.NrStepDt + 1;
    }
    return true;
}

}  // namespace

bool end_of_schedule(const Model& m, bool converged) {
    // A failed attempt whose end lies beyond TimeEnd must not end the run:
    // its step would be neither solved nor written, and the run would stop
    // short of the schedule's end as if finished.
    return (converged && m.Time > m.TimeEnd) || m.NrSteps_inp == 0;
}

void check_run_directories(Model& m) {
    // All of them before the first run, not after hours of earlier runs.
    std::vector<std::string> missing;
    for (int r = 1; r <= m.NrRunT; ++r) {
        const std::string dir = run_directory(m, r);
        if (!run_directory_ready(m, dir)) missing.push_back(shown_path(dir));
    }
    if (missing.empty()) return;
    if (missing.size() == 1)
        stop_with_message(m, "Run directory not found: " + missing.front() +
                                 " (create it, or run vorn with --create)");
    std::string list;
    for (const std::string& d : missing) list += (list.empty() ? "" : ", ") + d;
    stop_with_message(m, "Run directories not found: " + list +
                             " (create them, or run vorn with --create)");
}

void initialize_run(Model& m) {
    m.run_dir = run_directory(m, m.Run);
    prepare_run_directory(m);
    open_convergency_file(m);
    console(m, "Run Iter         time  ConvFR  #ItRs  #ItTs  #CsCh #RhoCh  #TsCh #THsCh #IndCh");
    if (m.Opt_HP == 2) qe_file_open(m);
    scale_heater_table(m);
    if (m.DbgMsg == 1) msg(m, list_directed({"Initialize_Run ", m.Run, "finished"}));
}

void initialize_iter(Model& m) {
    for (OutputTrigger* t : {&m.trig_prog, &m.trig_nts}) {
        t->time = 0;
        t->cpc = 0;
        t->tmax = m.TBath;
    }
    m.HF_He.fill(0);
    m.HF_s.fill(0);
    m.HF_ins.fill(0);
    m.Ts.fill(m.TBath);
    m.THs.fill(m.TBath);
    m.E_Trans.fill(0);
    if (m.Opt_He == 1) m.T0_supercr.fill(-0.001);
    if (m.DbgMsg == 1) msg(m, list_directed({"Initialize_Iter ", m.Iter, "finished"}));
}

void time_calculation(Model& m) {
    new_message_period(m);  // each step may write each kind of message 100 times
    if (m.NTS == 0) {
        m.Time = 0;
        m.dt = 0;
        m.Time_prev = 0;
        m.dt_prev = 0;
        m.NrStepDt = 0;
        m.DtReduced = 0;
        schedule_row0(m);  // dIdt keeps its previous value
    } else if (choose_step(m)) {
        interpolate_schedule(m);
    }
    if (m.Opt_HP == 2) qe_override(m);
}

void initialize_time_step(Model& m) {
    m.NrItRs = 0;
    m.ConvYN = 0;
    if (m.Opt_Cable == 1) {
        m.NCa = 5 * m.NS - 2;
    } else {
        m.NBw = 7 * m.NS - 1;
        m.NCa = m.NTS == 0 ? 14 * m.NS - 2 : 16 * m.NS - 6;
    }

    // Heater power at the present time, linear within the heater table;
    // heaters on the same section overwrite each other.
    m.P_HP_arr.fill(0);
    if (m.Opt_HP > 0 && m.NrT_HP > 1) {
        for (int t = 2; t <= m.NrT_HP; ++t) {
            const double t0 = m.t_hp_inp(t - 1), t1 = m.t_hp_inp(t);
            if (!(t0 <= m.Time && m.Time < t1)) continue;
            const double f = (m.Time - t0) / (t1 - t0);
            for (int i = 1; i <= m.Nr_HP; ++i)
                m.P_HP_arr(m.NB_HP(i), m.Ns_HP(i)) =
                    m.P_HP(t - 1, i) + (m.P_HP(t, i) - m.P_HP(t - 1, i)) * f;
        }
    }

    m.Regime.fill(0);
    for (RArr2* a : {&m.HF_adj, &m.HF_cross, &m.HF_str, &m.HF_He, &m.HF_ins}) a->fill(0);

    // Infinitely-long-ramp powers scaled to the present field rate.
    auto total = [](const RArr2& a) {
        double s = 0;
        for (std::size_t i = 0; i < a.size(); ++i) s += a.data()[i];
        return s;
    };
    const double rate2 = m.dBa1dt * m.dBa1dt;
    m.PaInf_T = total(m.PaInf) * rate2;
    m.PcInf_T = total(m.PcInf) * rate2;
    m.PsInf_T = total(m.PsInf) * rate2;
}

void cs_estimate(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s)
            m.Cs(b, s) = m.NTS == 0 ? m.CPC / m.NS : m.Cs_prev(b, s) + m.dIdt * m.dt / m.NS;
}

}  // namespace vorn
