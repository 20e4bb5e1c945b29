// The magnetisation example: a field swept up, down through zero and up
// again.  The filament model follows the field magnitude, so the loop
// repeats every two seconds once the virgin sweep is over.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "test_util.hpp"

namespace vorn::test {
namespace {

// Mp.dat rows by time (ms): the columns after the time, as text.
std::map<long, std::string> rows_by_time(const fs::path& file) {
    std::map<long, std::string> rows;
    const auto lines = read_lines(file);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const long ms = std::lround(std::stod(l.substr(5, 12)) * 1000);
        rows[ms] = l.substr(17);
    }
    return rows;
}

TEST(MagnetisationExample, LoopRepeatsAndHistoriesAreGone) {
    TempDir tmp;
    fs::copy(example_root(), tmp.path() / "VORN_data", fs::copy_options::recursive);
    const fs::path run = tmp.path() / "VORN_data" / "Demo" / "Demo-008" / "Run01";
    const ExeResult r = run_vorn_exe(tmp.path(), "Demo\n008\n");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Magnetization_Calculation finished"), std::string::npos);
    for (const char* name : {"BTp_M.dat", "ICp_M.dat", "Tp_M.dat"})
        EXPECT_FALSE(fs::exists(run / name)) << name;

    // One row per converged step: as many as Progress.dat has data lines
    // (it writes every step in this case).
    const auto progress = read_lines(run / "Progress.dat");
    const auto mp = read_lines(run / "Mp.dat");
    ASSERT_GT(mp.size(), 200u);
    EXPECT_EQ(mp[0], "Magnetisation, M [mT]");
    EXPECT_EQ(mp.size(), progress.size());

    // B = 0.6 T rising at 0.6 s, 2.6 s (B = -0.6 T) and 4.6 s; falling from
    // 1 T through 0.6 T at 1.4 s and 3.4 s (|B| falls from 1 T at 3 s).
    const auto rows = rows_by_time(run / "Mp.dat");
    const std::pair<long, long> same[] = {{600, 2600}, {600, 4600}, {1400, 3400}};
    for (const auto& [a, b] : same) {
        ASSERT_TRUE(rows.count(a) && rows.count(b)) << a << " " << b;
        EXPECT_EQ(rows.at(a), rows.at(b)) << a << " " << b;
    }
    // Rising and falling branches at the same field: opposite magnetisation.
    const double rising = std::stod(rows.at(600).substr(rows.at(600).find(',', 12) + 1, 10));
    const double falling = std::stod(rows.at(1400).substr(rows.at(1400).find(',', 12) + 1, 10));
    EXPECT_LT(rising, 0.0);
    EXPECT_GT(falling, 0.0);
}

}  // namespace
}  // namespace vorn::test
