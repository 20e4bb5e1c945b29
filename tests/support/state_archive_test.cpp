// The state archive of the checkpoints: a save followed by a load gives the
// values back with their index ranges; data cut short or with impossible
// sizes is an ArchiveError, never a crash or a huge allocation; and the
// model's own list reads exactly what it writes.
#include "support/state_archive.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "control/checkpoint.hpp"
#include "control/model.hpp"
#include "network/band_pack.hpp"
#include "network/network.hpp"

namespace vorn {
namespace {

struct Plain {
    int a;
    double b;
};

TEST(StateArchive, RoundTripKeepsValuesAndIndexRanges) {
    RArr2 bs(1, 3, 2, 5);
    for (int b = 1; b <= 3; ++b)
        for (int s = 2; s <= 5; ++s) bs(b, s) = 10 * b + s + 0.25;
    IArr1 pos(0, 4, -7);
    RArr3 mut;
    mut.allocate(2, 3, -1, 1, 2, 3, 1.5);
    RArr1 unset;  // never allocated: stays so
    RArr2 empty(2, 1, 1, 4);  // an empty range, allocated
    std::vector<std::vector<double>> dirs{{1.0, 2.0}, {}, {3.0}};
    std::string text = "Run01/";
    Plain p{4, -2.5};
    double nan = std::numeric_limits<double>::quiet_NaN();

    StateArchive out;
    out(bs, pos, mut, unset, empty, dirs, text, p, nan);

    RArr2 bs2, empty2(1, 1, 1, 1);
    IArr1 pos2;
    RArr3 mut2;
    RArr1 unset2(1, 3);
    std::vector<std::vector<double>> dirs2;
    std::string text2;
    Plain p2{};
    double nan2 = 0;
    StateArchive in(out.bytes());
    in(bs2, pos2, mut2, unset2, empty2, dirs2, text2, p2, nan2);
    EXPECT_EQ(in.left(), 0u);

    EXPECT_EQ(bs2.lo1(), 1);
    EXPECT_EQ(bs2.hi2(), 5);
    EXPECT_EQ(bs2(3, 2), 32.25);
    EXPECT_EQ(pos2.lo(), 0);
    EXPECT_EQ(pos2(4), -7);
    EXPECT_EQ(mut2.lo2(), -1);
    EXPECT_EQ(mut2(3, 1, 3), 1.5);
    EXPECT_FALSE(unset2.allocated());
    EXPECT_TRUE(empty2.allocated());
    EXPECT_EQ(empty2.size(), 0u);
    EXPECT_EQ(dirs2, dirs);
    EXPECT_EQ(text2, text);
    EXPECT_EQ(p2.a, 4);
    EXPECT_EQ(p2.b, -2.5);
    EXPECT_TRUE(std::isnan(nan2));
}

TEST(StateArchive, ShortOrImpossibleDataIsAnError) {
    RArr2 a(1, 20, 1, 20, 1.0);
    std::vector<int> v(100, 3);
    StateArchive out;
    out(a, v);
    const std::string whole = out.bytes();
    // Cut anywhere: an error, never a read past the end.
    for (std::size_t n : {std::size_t(0), std::size_t(3), whole.size() / 2, whole.size() - 1}) {
        StateArchive in(whole.substr(0, n));
        RArr2 a2;
        std::vector<int> v2;
        EXPECT_THROW(in(a2, v2), ArchiveError) << n;
    }
    // A count far beyond the data: refused before anything is allocated.
    std::string huge(8, '\xff');
    StateArchive in(huge + std::string(16, '\0'));
    std::vector<double> big;
    EXPECT_THROW(in(big), ArchiveError);
    // Index ranges claiming 2^31 x 2^31 elements.
    StateArchive out2;
    bool on = true;
    int lo = -2000000000, hi = 2000000000;
    out2(on, lo, hi, lo, hi);
    StateArchive in2(out2.bytes());
    RArr2 b;
    EXPECT_THROW(in2(b), ArchiveError);
}

TEST(StateArchive, Fnv1aKnownValues) {
    EXPECT_EQ(fnv1a("", 0), 0xcbf29ce484222325ULL);
    EXPECT_EQ(fnv1a("a", 1), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(fnv1a("foobar", 6), 0x85944171f73967e8ULL);
}

// The model's list: what one model writes, another reads to the last byte,
// and writes again unchanged.
TEST(ModelState, ReadsWhatItWrites) {
    Model m;
    m.NB = 2;
    m.NS = 4;
    set_derived_counts(m);
    allocate_input_arrays(m);
    allocate_arrays(m);
    m.Ts(2, 3) = 12.5;
    m.Cs(1, 7) = -40.0;
    m.energy.E_Joule = 3e-4;
    m.Head.qe.push_back({1, true, 10.0, 12.0});
    m.run_dirs_used = {"a/Run01/", "a/Run02/"};
    m.Time = 1e-3;
    m.NTS = 17;
    m.rng.discard(5);
    m.QE_Dec.allocate(1, 19, -99);
    m.QE_Dec(2) = 1;
    // Packed factors with their values beside the workspace.
    m.A_store.allocate(1, m.NEq, 1, 16 * m.NS - 6, 0.0);
    m.A_store(1, 1) = 7.0;
    m.A_LU.held = 1;
    m.A_LU.compact = 1;
    m.A_LU.Packed.Lstart = {0, 1};
    m.A_LU.Packed.Ustart = {0, 2};
    m.A_LU.Packed.Uval = packed_values(2);
    m.A_LU.Packed.Uval[0] = 5.0;
    m.A_LU.Packed.Uval[1] = 6.0;
    m.Recycle.U = {{1.0, 2.0}};

    StateArchive out;
    model_state_io(out, m);

    Model r;  // the resumed run's set-up has given it the cable's counts
    r.NB = m.NB;
    r.NS = m.NS;
    set_derived_counts(r);
    StateArchive in(out.bytes());
    model_state_io(in, r);
    EXPECT_EQ(in.left(), 0u);
    EXPECT_EQ(r.Ts(2, 3), 12.5);
    EXPECT_EQ(r.Cs(1, 7), -40.0);
    EXPECT_EQ(r.energy.E_Joule, 3e-4);
    ASSERT_EQ(r.Head.qe.size(), 1u);
    EXPECT_EQ(r.Head.qe[0].hi, 12.0);
    EXPECT_EQ(r.run_dirs_used, m.run_dirs_used);
    EXPECT_EQ(r.NTS, 17);
    EXPECT_EQ(r.QE_Dec(2), 1);
    auto g1 = r.rng, g2 = m.rng;
    EXPECT_EQ(g1(), g2());
    // Of the workspace only the packed multipliers come back; the rest is
    // cleared (the next assembly writes it anyway).
    EXPECT_EQ(r.A_store.hi1(), m.NEq);
    EXPECT_EQ(r.A_store(1, 1), 7.0);
    ASSERT_TRUE(r.A_LU.Packed.Uval);
    EXPECT_EQ(r.A_LU.Packed.Uval[1], 6.0);
    EXPECT_EQ(r.Recycle.U, m.Recycle.U);

    StateArchive again;
    model_state_io(again, r);
    EXPECT_TRUE(again.bytes() == out.bytes()) << "what was read writes back the same";

    // A workspace that is not of this cable's system is refused.
    Model other;
    other.NB = 3;
    other.NS = 4;
    set_derived_counts(other);
    StateArchive in2(out.bytes());
    EXPECT_THROW(model_state_io(in2, other), ArchiveError);
}

}  // namespace
}  // namespace vorn
