// Maps between sections (2..2NS-1), positions (1..NS) and wires (1..NS) of
// the cable cross-section, NS even.
//
// Positions 1..NS/2 are the upper layer from left to right, NS/2+1..NS the
// lower layer from right to left.  The edge sections s = 2 (position 1) and
// s = 2NS-1 (position NS/2+1) are where a strand changes layer and are twice
// as long as the others; positions NS/2 and NS own one section each, every
// other position two.
#include "network/network.hpp"

namespace vorn {

int position_of_section(int s, int NS) {
    const int half = NS / 2;
    if (s == 2 || s == 3) return 1;
    if (s == NS + 1) return NS;
    if (s == 2 * NS - 2) return half;
    if (s >= 4 && s <= NS) {
        // odd s = 2k+1 (k = 2..NS/2-1) -> k; even s = 2m+2 (m = 1..NS/2-1) -> NS-m
        return s % 2 == 1 ? (s - 1) / 2 : NS - (s - 2) / 2;
    }
    if (s >= NS + 2 && s <= 2 * NS - 1) {
        // even s = NS+2k-2 (k = 2..NS/2-1) -> k; odd s = NS+2m+1 (m = 1..NS/2-1) -> NS-m
        return s % 2 == 0 ? (s - NS + 2) / 2 : NS - (s - NS - 1) / 2;
    }
    return 0;  // not a section of this cable
}

// sec_row[0] is section 2, pos_row[0] position 1.
void convert_pos_to_sec(int NS, double* sec_row, const double* pos_row) {
    for (int s = 2; s <= 2 * NS - 1; ++s) sec_row[s - 2] = pos_row[position_of_section(s, NS) - 1];
}

void convert_pos_to_sec_int(int NS, int* sec_row, const int* pos_row) {
    for (int s = 2; s <= 2 * NS - 1; ++s) sec_row[s - 2] = pos_row[position_of_section(s, NS) - 1];
}

void convert_sec_to_pos(int NS, const double* sec_row, double* pos_row, int mode) {
    if (mode != 1 && mode != 2) return;
    for (int p = 0; p < NS; ++p) pos_row[p] = 0.0;
    for (int s = 2; s <= 2 * NS - 1; ++s) pos_row[position_of_section(s, NS) - 1] += sec_row[s - 2];
    if (mode == 1) return;

    // Length-weighted mean: an ordinary position has two sections of equal
    // length; at the layer changes the edge section counts twice.
    auto v = [&](int s) { return sec_row[s - 2]; };
    const int half = NS / 2;
    for (int p = 1; p <= NS; ++p)
        if (p != half && p != NS) pos_row[p - 1] /= 2.0;
    pos_row[0] = (2.0 * v(2) + v(3)) / 3.0;
    pos_row[half] = (2.0 * v(2 * NS - 1) + v(NS)) / 3.0;
}

void convert_pos_to_wire(int NB, int NS, RArr2& wire_arr, const RArr2& pos_arr) {
    for (int j = 1; j <= NB; ++j)
        for (int p = 1; p <= NS; ++p) wire_arr(j, wire_at(p, j, NS)) = pos_arr(j, p);
}

}  // namespace vorn
