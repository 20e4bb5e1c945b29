// Simulation control: constants, directories and files of the case, the
// run-state scalars of the driver and its control tables.
#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "control/case_lock.hpp"
#include "support/oarray.hpp"
#include "support/outfile.hpp"

namespace vorn {

// Maximum number of quench-energy iterations per run.
inline constexpr int NrItQE_M = 19;

// What the command line asks for (see control/command_line.hpp).  Without
// SUBDIR and CASE the case is asked for in the console dialogue.
struct RunOptions {
    std::string sub_dir;   // SUBDIR; empty: the console dialogue
    std::string case_nr;   // CASE
    std::string root_dir;  // --root DIR; empty: the build-time root VORN_ROOT_DIR
    bool create = false;   // --create: make the missing output/ and RunNN/ directories
    bool fresh = false;    // --fresh: remove the results of earlier runs from RunNN/
    bool explicit_mutual = false;  // --explicit-mutual: other bands' coupling from the last iterate
    bool section_by_section = false;  // --section-by-section: the older temperature and Rs iterations
    int mem_limit_mb = 0;          // --mem-limit MB: memory the case may use; 0: MemAvailable
    // --checkpoint-every SECONDS: wall-clock time between checkpoints; 0:
    // only when a signal stops the run.
    double checkpoint_every = 1800;
    bool resume = false;  // --resume: continue from the case's checkpoint
    // `vorn set|get CASE_DIR ...`: case editing by name instead of a run.
    std::string edit;                    // "set", "get" or empty
    std::string edit_case;               // CASE_DIR
    std::vector<std::string> edit_args;  // NAME=VALUE ... or NAME ...
};

// One kind of diagnostic within the present message period (one time step):
// how often it was written and how often suppressed (control/messages.hpp).
struct MessageRepeat {
    std::string first;     // the first line of this kind, quoted by the summary
    std::string where;     // the time step, as the summary names it
    int written = 0;
    long long suppressed = 0;
    std::size_t order = 0;  // summaries follow the order of the first suppression
};

// The progress indicator: shown only when the error stream is the
// process's own and a terminal.
struct ProgressLine {
    int enabled = -1;       // -1: not yet decided
    double wall_start = 0;  // s, steady clock, at the start of the QE iteration
    double wall_shown = -1; // s, when the line was last drawn
    bool shown = false;     // a line stands on the terminal
};

// The figures of the result block, over one QE iteration (the run's steps
// with results written).
struct RunHeadline {
    int steps = 0;
    double P_last = 0, t_last = 0;   // coupling power of the contacts, W; s
    double P_max = 0, t_P_max = 0;   // its largest value, W; s
    double Ts_max = 0, t_Ts_max = 0; // highest strand temperature, K; s
    double t_saturated = -1;         // first section at its critical current, s (-1: none)
    double t_voltstop = -1;          // resistive voltage above VoltStop, s (-1: not)
    double C_max = 0;                // largest |Ca|, |Cc|, A
};

// The result of one run of the quench-energy search: its final bracket.
struct QeResult {
    int run = 0;
    bool energy = true;  // uJ; else the transport current, A
    double lo = 0, hi = 0;
};

// Kept here, not with the output arrays: the QE iterations restore those.
struct Headline {
    RunHeadline it;
    std::vector<QeResult> qe;
};

// The state every QE iteration starts from (control/qe_reset.cpp).
struct QEStartState;
// A checkpoint being resumed from, read but not yet applied
// (control/checkpoint.cpp).
struct ResumePoint;

// Checkpoints of the run (control/checkpoint.cpp).
struct CheckpointControl {
    std::string path;        // output/VORN_checkpoint.bin
    double wall_last = 0;    // s, steady clock: the last checkpoint or the start
    double t_written = -1;   // s, simulated time of the last one written (-1: none)
    // 1 from a resumed run's start until its state is restored: the files
    // opened meanwhile go on where the checkpoint left them (appended to,
    // no new headers).
    int resuming = 0;
    std::shared_ptr<ResumePoint> resume;
};

struct ControlState {
    // --- constants ---------------------------------------------------------
    double Pi = 3.141592653589793;
    double Mu0 = 1.2566370614359173e-6;  // H/m
    double Two = 2.0;
    double T_He_ref = 2.1652;  // K
    int DbgMsg = 0;            // debug-trace switch; always 0
    std::string Sep = ",";     // column separator of the result files
    std::string Version = "Aug 2013    ";

    // --- directories (each ends with '/') and files ---------------------------
    std::string root_dir;
    std::string sub_dir;  // first console answer
    std::string case_nr;  // second console answer
    std::string case_dir, input_dir, output_dir, run_dir;

    OutFile log_unit;    // VORN_log.dat, then each run's VORN_convergency.dat
    OutFile qe_unit;     // VORN_QE.dat of the run
    OutFile qesum_unit;  // VORN_QE_Sum.dat
    OutFile msg_unit;    // VORN_messages.dat (appended)
    CaseLock case_lock;  // output/.vorn-lock while the case runs

    // --- command line and messages -----------------------------------------------
    RunOptions opts;
    // Memory the arrays of the case may take, in MB; 0: none given, the
    // memory the system has available counts (control/control.hpp,
    // memory_guard).
    int MemLimitMB = 0;
    // Diagnostics of the present time step by kind; emptied at each step.
    std::unordered_map<std::string, MessageRepeat> msg_repeats;
    std::size_t msg_suppressed_kinds = 0;
    std::string msg_last_line;               // last line written to VORN_messages.dat
    std::vector<std::string> msg_kept;       // warnings given before the file was open
    std::vector<std::string> run_dirs_used;  // every run directory a run has started in

    // 1 once the validation has rejected the input: nothing was computed.
    int InputRejected = 0;
    // The one-line progress indicator on a terminal (control/progress_line.cpp).
    ProgressLine Prog;
    Headline Head;  // the result block of the case (output/headline.cpp)
    CheckpointControl Ckpt;
    double CpuIterStart = 0;  // s of process CPU time at the start of the QE iteration
    long StepsDone = 0;       // converged time steps of this process

    std::istream* con_in = &std::cin;
    std::ostream* con_out = &std::cout;
    std::ostream* con_err = &std::cerr;

    // Uniform random numbers on [0, 1) for the contact-resistance scatter:
    // std::mt19937_64 with its default seed; each number takes the top 53
    // bits of one draw.
    std::mt19937_64 rng{std::mt19937_64::default_seed};

    // --- derived counts ---------------------------------------------------------
    int NS_half = 0, NS_m1 = 0, NS_2 = 0, NS_2m1 = 0, NS_2m2 = 0;
    int NEqB = 0, NEq = 0;
    int NCa = 0, NBw = 0;

    // --- run state ------------------------------------------------------------------
    int Run = 0, Iter = 0, NTS = 0, NTS_end = 0;
    double Time = 0, dt = 0, Time_prev = 0, dt_prev = 0, TimeEnd = 0;
    double t_HP_end = -1;  // s, -1 without heat pulse
    double E_HP_inp = 0;   // J
    int NrStepDt = 0;
    // 1 while the step is shorter than the table's because a failed step was
    // halved: it then grows back by at most a factor two every five steps.
    int DtReduced = 0;
    double CPC = 0, dIdt = 0;
    double Ba1 = 0, Ba2 = 0, dBa1dt = 0, dBa2dt = 0;
    int CntR = 0, NrItRs = 0, NrItTs = 0;
    int NrCsCh = 0, NrRsCh = 0, NrTsCh = 0, NrTHsCh = 0, NrIndCh = 0, NrSecRes = 0;
    int ConvYN = 0, IndUnch = 0, TsConv = 0, StepAdd = 0;
    // 1: the temperatures of a step solved together and the resistances
    // relaxed by the gain each section shows (default); 0: section by
    // section and by the fixed relaxation of the level (--section-by-section).
    int CoupledStep = 1;
    int RunDone = 0, VoltStopFlag = 0, EndOfRun = 0, FinalStep = 0;
    double Ts_max = 0, Tmax_prev = 0;
    double E_HP_min = 0, E_HP_max = 0, TC_min = 0, TC_max = 0;
    double PaInf_T = 0, PcInf_T = 0, PsInf_T = 0;  // W

    // --- control tables ---------------------------------------------------------------
    RArr1 ConvFR;      // 1..CntR_M
    IArr1 NrItR_M;     // 1..CntR_M
    IArr1 QE_Dec;      // 1..NrItQE_M: -99 undecided, 0 no quench, 1 quench
    RArr2 t_cpu_iter;  // 1..NrRunT x 1..NrItQE_M, s
    IArr2 NrSATs;      // b x s: -1, 0, 1

    // Kept before the first run of a quench-energy search, put back at the
    // start of every QE iteration.
    std::shared_ptr<QEStartState> qe_start;
};

// Uniform random number on [0, 1) from the case's generator.
inline double uniform01(ControlState& c) {
    return double(c.rng() >> 11) * 0x1.0p-53;
}

}  // namespace vorn
