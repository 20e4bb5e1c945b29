// The magnetisation history of a run: written after every converged step,
// read back record by record whatever its line breaks, turned into the
// band-averaged magnetisation, deleted, and tabulated in "Mp.dat".
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "magnetisation/filament.hpp"
#include "magnetisation/magnetisation.hpp"
#include "output/output.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

class History : public ::testing::Test {
protected:
    // NS = 80: every history record spans two lines (60 + 20 values).
    void SetUp() override {
        m.NB = 4;
        m.NS = 80;
        m.NB1_M = 2;
        m.NB2_M = 3;
        m.Opt_Magn = 1;
        m.DiamStr = 0.000825;
        m.d_fil_in = 0;
        m.d_fil_out = 6e-6;
        m.TBath = 4.2;
        m.run_dir = tmp.str() + "/";
        m.con_out = &console;
        m.BTp.allocate(1, m.NB, 1, m.NS, 0.0);
        m.ICp.allocate(1, m.NB, 1, m.NS, 0.0);
        m.Tp.allocate(1, m.NB, 1, m.NS, 0.0);
    }
    // Field, critical current and temperature of step t, band b, position
    // p: values that F12.5 writes exactly.
    static double field(int t, int b, int p) { return 0.25 * t + 0.125 * b + p / 32.0; }
    static double current(int t, int b, int p) { return 100.0 + 8 * b + p - 0.5 * t; }
    void record(int steps) {
        for (int t = 0; t < steps; ++t) {
            m.NTS = t;
            m.Time = 0.5 * t;
            m.CPC = 10.0 * t;
            for (int b = 1; b <= m.NB; ++b)
                for (int p = 1; p <= m.NS; ++p) {
                    m.BTp(b, p) = field(t, b, p);
                    m.ICp(b, p) = current(t, b, p);
                    m.Tp(b, p) = 4.5;
                }
            write_magn(m);
        }
    }
    fs::path file(const char* name) const { return tmp.path() / name; }

    TempDir tmp;
    Model m;
    std::ostringstream console;
};

TEST_F(History, RecordsAreWrittenReadBackAndDeleted) {
    // A history left behind by an earlier, stopped run is not read back.
    write_file(file("BTp_M.dat"), "garbage\n");
    const int steps = 6;
    record(steps);
    for (const char* name : {"BTp_M.dat", "ICp_M.dat", "Tp_M.dat"}) {
        const auto lines = read_lines(file(name));
        ASSERT_EQ(lines.size(), std::size_t(2 * 2 * steps)) << name;
        // Key of step 5, band 3; 60 values on the first line, 20 on the next.
        EXPECT_EQ(lines[22].substr(0, 35), "   5,    2.500000,     50.0000,   3") << name;
        EXPECT_EQ(lines[22].size(), std::size_t(4 + 13 + 13 + 5 + 60 * 13));
        EXPECT_EQ(lines[23].size(), std::size_t(20 * 13));
        EXPECT_EQ(lines[23][0], ',');
    }
    EXPECT_EQ(read_lines(file("BTp_M.dat"))[0].substr(35, 13), ",     0.28125");  // 0.125*2+1/32

    magnetisation_calculation(m);
    for (const char* name : {"BTp_M.dat", "ICp_M.dat", "Tp_M.dat"})
        EXPECT_FALSE(fs::exists(file(name))) << name;
    ASSERT_EQ(m.NTST, steps - 1);
    EXPECT_EQ(m.magnav.lo1(), 0);
    EXPECT_EQ(m.magnav.hi1(), steps - 1);
    EXPECT_EQ(m.magnav.lo2(), 2);
    EXPECT_EQ(m.magnav.hi2(), 3);
    EXPECT_EQ(m.T_M(5), 2.5);
    EXPECT_EQ(m.CPC_M(4), 40.0);
    EXPECT_EQ(m.NTS_M(3), 3);

    // Band 3 against the filament model on the exact histories.
    const double A_str = m.Pi * std::pow(m.DiamStr / 2, 2);
    for (int b : {2, 3}) {
        RArr1 B(0, steps - 1), c(0, steps - 1), T(0, steps - 1, 4.2);
        std::vector<double> sum(std::size_t(steps), 0.0);
        for (int p = 1; p <= m.NS; ++p) {
            for (int t = 0; t < steps; ++t) {
                B(t) = field(t, b, p);
                c(t) = current(t, b, p) / A_str;
            }
            const RArr1 M = analyt(steps - 1, 0.0, 6e-6, c, T, B, [](std::string_view) {});
            for (int t = 0; t < steps; ++t) sum[std::size_t(t)] += M(t);
        }
        for (int t = 0; t < steps; ++t)
            EXPECT_NEAR(m.magnav(t, b), sum[std::size_t(t)] / m.NS, 1e-12) << b << " " << t;
    }
    const std::string out = console.str();
    EXPECT_NE(out.find(" Calculating the Magnetisation for NTST=           5\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("          50 % completed\n"), std::string::npos) << out;
    EXPECT_NE(out.find("         100 % completed\nMagnetization_Calculation finished\n"),
              std::string::npos)
        << out;

    // The table: title, header, one row per recorded step.
    write_mp(m);
    const auto mp = read_lines(file("Mp.dat"));
    ASSERT_EQ(mp.size(), std::size_t(2 + steps));
    EXPECT_EQ(mp[0], "Magnetisation, M [mT]");
    EXPECT_EQ(mp[1],
              " NTS,        time,   Current,       Sum,      Aver,     StDev,       Min,       "
              "Max,         2,         3");
    EXPECT_EQ(mp[7].substr(0, 28), "   5,    2.500000,    50.000");
    EXPECT_EQ(mp[7].size(), mp[1].size());
}

TEST_F(History, FieldFloorKeepsTheSign) {
    // Below 1 mT the field is taken as 1 mT of its own sign, so a zero field
    // history magnetises like a constant 1 mT.
    record(1);
    m.NB1_M = m.NB2_M = 1;
    record(3);  // replaces the history at NTS = 0 with band 1 only
    for (int t = 0; t < 3; ++t) {
        m.NTS = t;
        m.BTp.fill(t == 1 ? -0.0 : 0.0);
        m.ICp.fill(50.0);
        write_magn(m);
    }
    magnetisation_calculation(m);
    ASSERT_EQ(m.NTST, 2);
    const double A_str = m.Pi * std::pow(m.DiamStr / 2, 2);
    RArr1 B(0, 2), c(0, 2, 50.0 / A_str), T(0, 2, 4.2);
    B(0) = double(0.001f);
    B(1) = -double(0.001f);
    B(2) = double(0.001f);
    const RArr1 M = analyt(2, 0.0, 6e-6, c, T, B, [](std::string_view) {});
    for (int t = 0; t < 3; ++t) EXPECT_NEAR(m.magnav(t, 1), M(t), 1e-15) << t;
    EXPECT_NE(M(0), 0.0);
}

TEST_F(History, MisplacedRecordStopsWithTheFileName) {
    record(2);
    m.NB1_M = 1;  // the file holds bands 2 and 3
    m.msg_unit.open(tmp.str() + "/messages.dat", OpenMode::Replace);
    std::ostringstream err;
    m.con_err = &err;
    EXPECT_THROW(magnetisation_calculation(m), ProgramStop);
    EXPECT_NE(err.str().find("BTp_M.dat, line 1: band 2 where band 1 was expected"),
              std::string::npos)
        << err.str();
}

}  // namespace
}  // namespace vorn::test
