// The predefined self-field tables: computation, file layout, and the
// shipped files against a fresh computation.
#include "field/sf_tables.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "input/read_files.hpp"
#include "support/listread.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

TEST(SelfFieldTables, ReferenceGeometries) {
    const SfReference a = sf_reference(28, 1), b = sf_reference(16, 2);
    EXPECT_DOUBLE_EQ(a.DiamStr, 1.065e-3);
    EXPECT_DOUBLE_EQ(a.w, 1.05 * 28 * 1.065e-3 / 2);
    EXPECT_DOUBLE_EQ(a.Th1, 1.8 * 1.065e-3);
    EXPECT_EQ(a.Th1, a.Th2);
    EXPECT_DOUBLE_EQ(b.DiamStr, 0.825e-3);
    EXPECT_DOUBLE_EQ(b.TPStr, 7.5 * b.w);
    EXPECT_EQ(sf_table_name(8, 1), "KSB01-08.csv");
    EXPECT_EQ(sf_table_name(36, 2), "KSB02-36.csv");
    EXPECT_EQ(sf_table_list().size(), 10u);
}

// A uniform current in a rectangular cable: the field is mirror symmetric
// about the centre line (sections 2 and 2NS-1 are mirror images on the
// mid-plane), has no x part on the mid-plane, and points down at the right
// edge for current along -z; at the edge its size lies between that of a
// line current at the centre and that of a thin sheet's edge.
TEST(SelfFieldTables, UniformCurrentField) {
    const SfReference r = sf_reference(12, 2);
    RArr1 sx, sy;
    sf_compute(r, sx, sy);
    ASSERT_EQ(sx.lo(), 2);
    ASSERT_EQ(sx.hi(), 23);
    const double edge = std::abs(sy(23));
    EXPECT_NEAR(sy(2), -sy(23), 1e-12 * edge);
    EXPECT_NEAR(sx(2), 0.0, 1e-12 * edge);
    EXPECT_LT(sy(23), 0.0);
    const double x = r.w * (1 - 1.0 / 12) - r.w / 2;  // edge section from the centre
    EXPECT_GT(edge, 2e-7 / x * 0.5);
    EXPECT_LT(edge, 2e-7 / x * 3);
}

TEST(SelfFieldTables, TextRoundTrips) {
    const SfReference r = sf_reference(8, 1);
    RArr1 sx, sy;
    sf_compute(r, sx, sy);
    const std::string text = sf_table_text(r, sx, sy);
    ListReader in = ListReader::from_text(text, "table");
    for (int s = 2; s <= 15; ++s) {
        int index = 0;
        double vx = 0, vy = 0;
        in.read({{"index", &index}, {"x", &vx}, {"y", &vy}});
        EXPECT_EQ(index, s);
        EXPECT_NEAR(vx / 1000.0 * (28.0 / 8), sx(s), 1e-15 * std::abs(sx(s)));
        EXPECT_NEAR(vy / 1000.0 * (28.0 / 8), sy(s), 1e-15 * std::abs(sy(s)));
    }
    EXPECT_TRUE(in.at_end());
}

TEST(SelfFieldTables, ShippedFilesMatchTheComputation) {
    // Every shipped file: one row per section, numbered 2..2NS-1.
    for (const auto& [NS, cls] : sf_table_list()) {
        const auto lines = test::read_lines(std::string(VORN_SF_DIR) + sf_table_name(NS, cls));
        ASSERT_EQ(int(lines.size()), 2 * NS - 2) << sf_table_name(NS, cls);
        EXPECT_EQ(std::stoi(lines.front()), 2);
        EXPECT_EQ(std::stoi(lines.back()), 2 * NS - 1);
    }

    // KSB02-16.csv through the program's reader.
    Model m;
    m.Opt_SF = 2;
    m.NS = 16;
    m.NB = 1;
    m.DiamStr = 0.8e-3;
    set_derived_counts(m);
    input_files::read_sf_table(m);
    RArr1 sx, sy;
    sf_compute(sf_reference(16, 2), sx, sy);
    for (int s = 2; s <= 31; ++s) {
        EXPECT_NEAR(m.sff_x(s), sx(s), 1e-14 * std::abs(sx(s)) + 1e-22) << s;
        EXPECT_NEAR(m.sff_y(s), sy(s), 1e-14 * std::abs(sy(s)) + 1e-22) << s;
    }
}

}  // namespace
}  // namespace vorn
