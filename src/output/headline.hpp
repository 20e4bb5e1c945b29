// The result block of a case (headline.cpp).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "control/model.hpp"

namespace vorn {

// First line of the block in Summary.dat and on the console.
inline constexpr const char* kHeadlineTitle =
    "========== RESULT ==============================================================";

// At the start of every QE iteration: the figures of the iteration anew.
void headline_reset(Model& m);
// After every converged step with its results written.
void headline_track(Model& m);
// At the end of a run of the quench-energy search: its bracket (uJ or A).
void headline_search_result(Model& m, bool energy, double lo, double hi);
// The cable length the result files' powers are for (m).
double modelled_length(const Model& m);
std::vector<std::string> headline_lines(const Model& m);
// The block to the console and appended to Summary.dat, with the warning on
// a coarse CsAcc.
void report_headline(Model& m);
// `vorn report CASE_DIR`: the last block of the case's Summary.dat to out;
// exit status.
int print_case_report(const std::string& case_dir, std::ostream& out, std::ostream& err);

}  // namespace vorn
