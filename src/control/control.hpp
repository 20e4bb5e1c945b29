// Simulation control: case set-up, time schedule, convergence control and
// quench-energy search.
#pragma once

#include <string>
#include <vector>

#include "control/model.hpp"

namespace vorn {

// --- case set-up ------------------------------------------------------------
// Constants, console dialogue, directories, log and messages files.
void initialize_1(Model& m);
// Builds the case, input and output directory names from the answers.
void compose_case_directories(Model& m);
// "RunNN": the name of a run directory of a case.
bool is_run_dir_name(const std::string& name);
// Process CPU time in seconds.
double cpu_seconds();

// --- memory guard ----------------------------------------------------------------
// Bytes of the arrays a case creates, estimated from NB, NS, NBMut, NBSF and
// the options; the system matrix dominates.  A new large array of the
// set-up or the time loop belongs in case_memory_estimate.
struct MemoryEstimate {
    double matrix = 0;       // system matrix A (NEq x NCa)
    double factor = 0;       // kept factorisation of the implicit network solution
    double inductances = 0;  // RMut
    double self_field = 0;   // RSFx, RSFy, RSFz
    double other = 0;        // every array of the band, section, position and contact spaces
    double total() const;
};
MemoryEstimate case_memory_estimate(const Model& m);
// MemAvailable of a file in the layout of /proc/meminfo, in MB (1 MB =
// 2^20 bytes, rounded down); -1 when the file or the line is missing.
long long mem_available_mb(const std::string& meminfo);
// Stops the program when the estimate exceeds MemLimitMB (when positive) or
// else the MemAvailable of `meminfo`; without either it writes a line to the
// messages file and lets the case go on.
void memory_guard(Model& m, const std::string& meminfo = "/proc/meminfo");

// --- run, iteration and time-step initialisation ------------------------------
void initialize_run(Model& m);
// The progress indicator on a terminal: at the start of a QE iteration,
// after each converged step, and taken off before other console output.
void progress_line_start(Model& m);
void progress_line_step(Model& m);
void progress_line_clear(Model& m);
void initialize_iter(Model& m);
void time_calculation(Model& m);
// The run ends after a converged step beyond TimeEnd (or at once without a
// schedule); a failed attempt beyond it is repeated with half the step.
bool end_of_schedule(const Model& m, bool converged);
void initialize_time_step(Model& m);
void cs_estimate(Model& m);

// --- convergence control ---------------------------------------------------------
void iteration_yn(Model& m);
// The resistance iteration under way cannot end its time step, whatever its
// network solution gives (judged before that solution).
bool iteration_cannot_converge(const Model& m);
void saturation_check(Model& m);
void define_prev_min_max(Model& m);
// One row of the convergency file, as written after an inner iteration.
void write_convergency_row(Model& m);

// --- quench-energy search ----------------------------------------------------------
// Creates "VORN_QE_Sum.dat" with its header (set-up, quench-energy search only).
void qe_summary_open(Model& m);
// Opens the run's "VORN_QE.dat" and writes its legend and header.
void qe_file_open(Model& m);
// Appends the run's line to "VORN_QE_Sum.dat".
void qe_summary_line(Model& m);
// One decision line of "VORN_QE.dat": nQ of the wires left of, at and right
// of the heated wire.
void qe_decision_line(Model& m, int nq_left, int nq_heated, int nq_right);
// After a converged step: quench, no quench or undecided; after a decision
// the next trial, the decision line and the accuracy test.
void qe_decision(Model& m);
// Wire w taken cyclically over 1..NS (left of wire 1 is wire NS).
int qe_cyclic_wire(int w, int NS);
// P_HP = the input pulse shape scaled to the given energy (J).
void scale_heater_table_to(Model& m, double energy);
// Every RunNN directory of the case (runs 1..NrRunT) exists, or is made
// with --create; a missing one stops before any run starts.
void check_run_directories(Model& m);
// Before the first run: keeps the state every QE iteration starts from.
void qe_keep_start_state(Model& m);
// At the start of every QE iteration: the kept state back, so that no
// earlier iteration leaks into it.
void qe_restore_start_state(Model& m);
// The run-state scalars of the time loop, restored with that state.
std::vector<double*> run_reals(Model& m);
std::vector<int*> run_ints(Model& m);

}  // namespace vorn
