// Output: result tables, per-time-step files and reports.
#pragma once

#include "control/model.hpp"

namespace vorn {

// Sum, and largest absolute value, of every element of an array (0 when
// it is empty).
double sum_all(const RArr2& a);
double max_abs(const RArr2& a);

void convert_arrays(Model& m);
void write_nts(Model& m, int force);
void write_progress(Model& m);
void write_signals(Model& m);
// The run's energy account, one line per line of Progress.dat (Opt_Temp > 0).
void write_energy(Model& m);
void write_magn(Model& m);
// The magnetisation table "Mp.dat" of the run (appended).
void write_mp(Model& m);
void write_summary(Model& m);
void write_matprop(Model& m);

}  // namespace vorn
