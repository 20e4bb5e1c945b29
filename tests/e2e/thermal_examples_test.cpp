// The heater examples, cut to their first 0.1 ms: the energy
// account is written beside Progress.dat, line for line, and closes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

// A result table by its header: (NTS, time) -> column name -> value.
using Table = std::map<std::string, std::map<std::string, double>>;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, ',');) {
        const auto a = f.find_first_not_of(' '), b = f.find_last_not_of(' ');
        out.push_back(a == std::string::npos ? "" : f.substr(a, b - a + 1));
    }
    return out;
}

Table read_table(const fs::path& file) {
    const auto lines = read_lines(file);
    Table t;
    if (lines.size() < 2) return t;
    const auto names = fields(lines[0]);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const auto v = fields(lines[i]);
        auto& row = t[v.at(0) + "@" + v.at(names[2] == "Time" ? 2 : 1)];
        for (std::size_t k = 0; k < names.size() && k < v.size(); ++k)
            row[names[k]] = v[k].find('*') == std::string::npos ? std::stod(v[k]) : NAN;
    }
    return t;
}

// The heater examples, cut to 0.3 ms in 25 us steps, where the passes of
// the section-by-section scheme converge: the coupled step gives the same
// temperatures to TsAcc (1e-3 K at most in these cases), powers and
// energies to 1e-3 of their size, and both accounts close.
TEST_P(HeaterExamples, CoupledStepAgreesWithTheSectionPasses) {
    const std::string nr = GetParam();
    Table progress[2], energy[2];
    for (int method = 0; method < 2; ++method) {
        TempDir tmp;
        copy_example(tmp.path());
        const fs::path dir = tmp.path() / "VORN_data" / "Demo" / ("Demo-" + nr);
        set_single_ramp(dir, "1  0.0003  0  0.0  0.0  0  0  0  0.0  0.000025");
        std::vector<std::string> args;
        if (method == 1) args.push_back("--section-by-section");
        args.insert(args.end(), {"Demo", nr});
        const ExeResult r = run_vorn_args(tmp.path(), args);
        ASSERT_EQ(r.status, 0) << read_file(dir / "output" / "VORN_messages.dat");
        progress[method] = read_table(dir / "Run01" / "Progress.dat");
        energy[method] = read_table(dir / "Run01" / "Energy.dat");
    }
    int common = 0;
    for (const auto& [key, a] : progress[0]) {
        const auto it = progress[1].find(key);
        if (it == progress[1].end()) continue;
        ++common;
        const auto& b = it->second;
        for (const char* T : {"Ts_max", "THs_max"}) EXPECT_NEAR(a.at(T), b.at(T), 1e-3) << T << key;
        for (const char* P : {"Ps_T", "Pt_T", "HF_He_T", "Pa_T", "Pc_T"})
            EXPECT_NEAR(a.at(P), b.at(P), 1e-3 * std::fabs(b.at(P)) + 1e-5) << P << key;
        const auto& ea = energy[0].at(key);
        const auto& eb = energy[1].at(key);
        for (const char* E : {"E_HP", "E_Joule", "E_Strands", "E_Helium", "E_He"})
            EXPECT_NEAR(ea.at(E), eb.at(E), 1e-3 * std::fabs(eb.at(E)) + 1e-9) << E << key;
        EXPECT_LT(std::fabs(ea.at("Residual_rel")), 0.01) << key;
    }
    EXPECT_GE(common, 2);
}

}  // namespace
}  // namespace vorn::test
