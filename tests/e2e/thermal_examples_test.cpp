// The heater examples, cut to their first 0.1 ms: the energy
// account is written beside Progress.dat, line for line, and closes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "test_util.hpp"

namespace vorn::test {
namespace {

class HeaterExamples : public ::testing::TestWithParam<const char*> {};

TEST_P(HeaterExamples, EnergyAccountClosesLineForLine) {
    TempDir tmp;
    copy_example(tmp.path());
    const std::string nr = GetParam();
    const fs::path dir = tmp.path() / "VORN_data" / "Demo" / ("Demo-" + nr);
    // The start of the schedule only: 0.1 ms in steps of 25 us.
    set_single_ramp(dir, "1  0.0001  0  0.0  0.0  0  0  0  0.0  0.000025");

    const ExeResult r = run_vorn_exe(tmp.path(), "Demo\n" + nr + "\n");
    ASSERT_EQ(r.status, 0) << read_file(dir / "output" / "VORN_messages.dat");

    const auto progress = read_lines(dir / "Run01" / "Progress.dat");
    const auto energy = read_lines(dir / "Run01" / "Energy.dat");
    ASSERT_EQ(energy.size(), progress.size());
    ASSERT_GE(energy.size(), 4u);
    EXPECT_EQ(energy[0].substr(0, 48), "  NTS,          Time,         E_HP,      E_Joule");
    EXPECT_EQ(energy[1].substr(0, 34), "  (-),           (s),         (mJ)");
    for (std::size_t i = 2; i < energy.size(); ++i) {
        // Same step and time as the progress line.
        EXPECT_EQ(energy[i].substr(0, 20), progress[i].substr(0, 5) + progress[i].substr(20, 15));
        const double input = std::stod(energy[i].substr(21, 13));  // E_HP
        const double rel = std::stod(energy[i].substr(energy[i].rfind(',') + 1));
        if (input > 0) {
            EXPECT_LT(std::fabs(rel), 0.01) << energy[i];
        }
    }
    // The heater is on from 0.05 ms.
    EXPECT_GT(std::stod(energy.back().substr(21, 13)), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Demo, HeaterExamples, ::testing::Values("005", "006", "007"));

}  // namespace
}  // namespace vorn::test
