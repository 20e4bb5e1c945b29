// Input: the sixteen step files, the auxiliary files and the validation.
#pragma once

#include <string>

#include "control/model.hpp"

namespace vorn {

void read_input_parameters(Model& m);
void read_other_files(Model& m);
void check_input_parameters(Model& m);
// The values not finite numbers among NonFiniteInputs[from..], each an
// error to the messages file, counted in NrErr.
void list_nonfinite_inputs(Model& m, int& NrErr, std::size_t from);
// After errors in the input: the count, the stop and where they are listed.
[[noreturn]] void stop_for_input_errors(Model& m, int NrErr);

// Range tests of the validation; both write to the messages file and count
// errors in NrErr.
void checkd(Model& m, int& NrErr, const std::string& name, double value, double lower,
            double upper);
void checki(Model& m, int& NrErr, const std::string& name, int value, int lower, int upper);

// True when NB and NS allow the arrays of the cable to be created: bands
// 1..10000, an even strand count 8..80.  Otherwise the validation stops the
// program, and the per-band and per-strand input files are not read.
bool cable_size_valid(const Model& m);

}  // namespace vorn
