// Simulation control: case set-up, time schedule, convergence control and
// quench-energy search.
#pragma once

#include "control/model.hpp"

namespace vorn {

// --- case set-up ------------------------------------------------------------
// Constants, console dialogue, directories, log and messages files.
void initialize_1(Model& m);
// Builds the case, input and output directory names from the answers.
void compose_case_directories(Model& m);

// --- run, iteration and time-step initialisation ------------------------------
void initialize_run(Model& m);
void initialize_iter(Model& m);
void time_calculation(Model& m);
void initialize_time_step(Model& m);
void cs_estimate(Model& m);

// --- convergence control ---------------------------------------------------------
void iteration_yn(Model& m);
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
void qe_decision(Model& m);

}  // namespace vorn
