// Result tables: row statistics and the printers that write one array as a
// comma-separated, fixed-width table with Sum, Aver, StDev, Min and Max per
// row.
//
// Every printer writes one complete file to an already opened OutFile and
// closes it.  The real printers scale the printed block by the multiplier
// for the duration of the call (statistics are in the scaled units) and
// leave the array exactly as it was.  Band and index ranges are inclusive and
// must lie inside the array's own ranges.
#pragma once

#include <string_view>

#include "control/model.hpp"
#include "support/outfile.hpp"

namespace vorn {

// Sample standard deviation of the n = i2 - i1 + 1 values x[0..n-1]
// (element i1 first); 0 for a single value.
double stdev(int i1, int i2, const double* x);
// The same for integers; the sums are accumulated as integers.
double stdevi(int i1, int i2, const int* x);

// Per-time-step tables: the header block holds the title, the time-step
// number NTS, the time and (real tables) the multiplier.
void print_2d_real(Model& m, OutFile& f, RArr2& a, int b1, int b2, int i1, int i2, double mult,
                   std::string_view title);
void print_2d_integer(Model& m, OutFile& f, const IArr2& a, int b1, int b2, int i1, int i2,
                      std::string_view title);
void print_1d_real(Model& m, OutFile& f, RArr1& a, int i1, int i2, double mult,
                   std::string_view title);
void print_1d_integer(Model& m, OutFile& f, const IArr1& a, int i1, int i2, std::string_view title);

// Report tables (no time lines): title and multiplier only; sep is the
// column separator.
void print_2d_r(OutFile& f, RArr2& a, int b1, int b2, int i1, int i2, double mult,
                std::string_view sep, std::string_view title);
void print_1d_r(OutFile& f, RArr1& a, int i1, int i2, double mult, std::string_view sep,
                std::string_view title);

}  // namespace vorn
