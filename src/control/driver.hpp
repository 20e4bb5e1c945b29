// The main program: start-up, the run, QE-iteration and time loops.
#pragma once

#include "control/model.hpp"

namespace vorn {

// Runs one case in the given store and returns the exit status: 0 after
// "Simulation finished", non-zero after a stop.
int vorn_main(Model& m);
// The program: reads the command line (control/command_line.hpp) and runs
// the case with a fresh store on the process console; returns the exit
// status (2 after a usage error).
int run_vorn(int argc, const char* const* argv);

// The start-up sequence and the loops (everything after the case set-up).
void simulate(Model& m);

// Everything the start-up does once the input is read and validated: the
// material tables, geometry, contact resistances, inductances and the arrays
// of the time loop.
void set_up_case(Model& m);

}  // namespace vorn
