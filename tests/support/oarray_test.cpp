// Offset-indexed arrays: index ranges, storage order, empty ranges and the
// bounds check of test builds.
#include <gtest/gtest.h>

#include "support/oarray.hpp"

namespace vorn {
namespace {

TEST(OffsetArrays, KeepTheirRangesAndStoreBandRowsContiguously) {
    RArr2 a(1, 3, 2, 5, 0.0);  // bands 1..3, sections 2..5
    EXPECT_EQ(a.size(), 12u);
    a(2, 2) = 1;
    a(2, 5) = 4;
    EXPECT_EQ(a.row(2)[0], 1.0);
    EXPECT_EQ(a.row(2)[3], 4.0);
    EXPECT_EQ(&a(3, 2), a.row(2) + 4);

    Arr3<int> r;
    r.allocate(2, 3, -1, 1, 2, 3, 7);  // sections x band distance x sections
    r(3, -1, 2) = 5;
    EXPECT_EQ(r(3, -1, 2), 5);
    EXPECT_EQ(r(2, 1, 3), 7);
    EXPECT_EQ(r.size(), 2u * 3u * 2u);

    RArr1 t(0, 4, 2.5);  // time-table rows 0..NrSteps
    EXPECT_EQ(t(0), 2.5);
    EXPECT_EQ(t.lo(), 0);
    EXPECT_EQ(t.hi(), 4);
}

TEST(OffsetArrays, EmptyRangesAndAllocationState) {
    IArr2 ny(2, 0, 2, 15, 0);  // bands 2..NB-1 of a one-band cable
    EXPECT_EQ(ny.size(), 0u);
    EXPECT_TRUE(ny.allocated());
    RArr1 none;
    EXPECT_FALSE(none.allocated());
    none.allocate(1, 0);
    EXPECT_TRUE(none.allocated());
    none.deallocate();
    EXPECT_FALSE(none.allocated());
}

#ifdef VORN_CHECK_BOUNDS
TEST(OffsetArraysDeathTest, IndexOutsideItsRangeAborts) {
    RArr2 a(1, 3, 2, 5, 0.0);
    EXPECT_DEATH(a(0, 2), "outside 1..3");
    EXPECT_DEATH(a(1, 6), "dimension 2 outside 2..5");
    RArr1 v(2, 15, 0.0);
    EXPECT_DEATH(v(1), "outside 2..15");
}
#endif

}  // namespace
}  // namespace vorn
