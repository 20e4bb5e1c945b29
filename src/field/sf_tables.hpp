// The predefined self-field tables "KSB0c-NN.csv" (Opt_SF = 2): the self
// field per ampere of transport current at every section of a reference
// cable, computed with this program's own self-field model.
//
// Diameter class 1: strands above 1 mm ("KSB01-..."); class 2: strands of
// 1 mm and below ("KSB02-...").  The reader scales a table by 28/NS (class 1)
// or 36/NS (class 2) after dividing by 1000, so a table holds
// sff x 1000 x NS/28 or sff x 1000 x NS/36.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/oarray.hpp"

namespace vorn {

// Reference cable of one table, lengths in m.
struct SfReference {
    int NS = 0;
    int diam_class = 0;  // 1: DiamStr > 1 mm, 2: DiamStr <= 1 mm
    double DiamStr = 0;  // strand diameter
    double w = 0;        // width: 1.05 x NS x DiamStr / 2
    double Th1 = 0;      // thickness at both edges: 1.8 x DiamStr (no keystone)
    double Th2 = 0;
    double TPStr = 0;  // strand twist pitch: 7.5 x w
};

// The ten (NS, class) pairs of the shipped library.
const std::vector<std::pair<int, int>>& sf_table_list();

// "KSB01-08.csv" etc.
std::string sf_table_name(int NS, int diam_class);

// The documented reference geometry of the table for NS strands.
SfReference sf_reference(int NS, int diam_class);

// Self field per ampere of transport current (T/A) at sections 2..2NS-1 of
// an infinitely long reference cable carrying a uniform current (1/NS A in
// every section): sff(s) = sum over s_c of RSF(s, 0, s_c)/NS.
void sf_compute(const SfReference& ref, RArr1& sff_x, RArr1& sff_y);

// The table file's text: one row "s, value_x, value_y" per section.
std::string sf_table_text(const SfReference& ref, const RArr1& sff_x, const RArr1& sff_y);

// Computes and writes every table of the library into `dir` (ending in
// '/'); returns false when a file cannot be written.
bool write_sf_tables(const std::string& dir);

}  // namespace vorn
