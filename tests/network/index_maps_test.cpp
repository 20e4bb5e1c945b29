// Maps between sections, positions and wires.
#include <gtest/gtest.h>

#include <vector>

#include "network/network.hpp"

namespace vorn {
namespace {

TEST(IndexMaps, SectionsToPositions) {
    const int pos[] = {1, 1, 7, 2, 6, 3, 5, 8, 2, 7, 3, 6, 4, 5};  // NS = 8, s = 2..15
    const double row[] = {10, 20, 30, 40, 50, 60, 70, 80};
    double sec[14];
    convert_pos_to_sec(8, sec, row);
    for (int s = 2; s <= 15; ++s) {
        EXPECT_EQ(position_of_section(s, 8), pos[s - 2]) << s;
        EXPECT_EQ(sec[s - 2], 10.0 * pos[s - 2]) << s;
    }
    // every NS: positions NS/2 and NS own one section, the others two
    for (int NS = 8; NS <= 80; NS += 2) {
        std::vector<int> owned(NS + 1, 0);
        for (int s = 2; s <= 2 * NS - 1; ++s) ++owned[position_of_section(s, NS)];
        for (int p = 0; p <= NS; ++p)
            EXPECT_EQ(owned[p], p == 0 ? 0 : p == NS / 2 || p == NS ? 1 : 2) << NS << " " << p;
    }
}

TEST(IndexMaps, SectionRowToPositions) {
    std::vector<double> sec(14, 3.0), pos(8, -1.0);
    convert_sec_to_pos(8, sec.data(), pos.data(), 1);  // sum
    for (int p = 1; p <= 8; ++p) EXPECT_EQ(pos[p - 1], p == 4 || p == 8 ? 3.0 : 6.0) << p;
    // length-weighted mean: the edge sections 2 and 15 count twice at
    // positions 1 and 5
    for (int s = 2; s <= 15; ++s) sec[s - 2] = s;
    convert_sec_to_pos(8, sec.data(), pos.data(), 2);
    const double mean[] = {7 / 3.0, 7.5, 9.5, 14, 38 / 3.0, 9.5, 7.5, 9};
    for (int p = 1; p <= 8; ++p) EXPECT_DOUBLE_EQ(pos[p - 1], mean[p - 1]) << p;
    const std::vector<double> before = pos;
    convert_sec_to_pos(8, sec.data(), pos.data(), 3);
    EXPECT_EQ(pos, before);
}

TEST(IndexMaps, PositionToWire) {
    const int NB = 10, NS = 8;
    RArr2 p(1, NB, 1, NS), w(1, NB, 1, NS, -1.0);
    for (int j = 1; j <= NB; ++j)
        for (int q = 1; q <= NS; ++q) p(j, q) = 100 * j + q;
    convert_pos_to_wire(NB, NS, w, p);
    for (int q = 1; q <= NS; ++q) {
        EXPECT_EQ(w(1, q), 100 + q);           // band 1: wire = position
        EXPECT_EQ(w(9, q), 900 + q);           // band NS+1 repeats band 1
        EXPECT_EQ(w(2, q % NS + 1), 200 + q);  // one position on per band
    }
}

}  // namespace
}  // namespace vorn
