// Current conservation through a heater quench: in every band of every
// snapshot the current through a cut across the band equals the transport
// current, however the current has moved between the strands.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace vorn::test {
namespace {

// A snapshot table: per band, the values by column index (section or
// contact number), as printed.
using Table = std::map<int, std::map<int, double>>;

Table read_snapshot(const fs::path& file) {
    const auto lines = read_lines(file);
    Table t;
    const auto head = split_csv(lines.at(4));  // NB, Sum, Aver, StDev, Min, Max, indices...
    for (std::size_t i = 5; i < lines.size(); ++i) {
        const auto f = split_csv(lines[i]);
        if (f.size() < 7) continue;
        const int band = std::stoi(f[0]);
        for (std::size_t c = 6; c < f.size() && c < head.size(); ++c)
            if (head[c].find_first_not_of(' ') != std::string::npos)
                t[band][std::stoi(head[c])] = std::stod(f[c]);
    }
    return t;
}

TEST(QuenchCurrents, EveryBandCarriesTheTransportCurrentInEverySnapshot) {
    TempDir tmp;
    copy_example(tmp.path());
    const fs::path dir = tmp.path() / "VORN_data" / "Demo" / "Demo-005";
    // 0.3 ms of the quench; snapshots of Cs and Ca every 25 us.
    set_single_ramp(dir, "1  0.0003  0  0.0  0.0  0  0  0  0.0  0.00005");
    write_file(dir / "input" / "inp_WrArrays.txt", "1  3  1  0  0  0  0  0\n2  1  1  0  0  0  0  0\n");
    auto step15 = split_csv(read_lines(dir / "input" / "inp_STEP15.txt").at(0));
    step15.at(4) = " 0.000025";  // dt_NTS
    step15.at(11) = " 2";        // NrWrArrays
    std::string line;
    for (std::size_t i = 0; i < step15.size(); ++i) line += (i ? "," : "") + step15[i];
    write_file(dir / "input" / "inp_STEP15.txt", line + "\n");

    const ExeResult r = run_vorn_exe(tmp.path(), "Demo\n005\n");
    ASSERT_EQ(r.status, 0) << read_file(dir / "output" / "VORN_messages.dat");

    int snapshots = 0;
    double spread = 0;  // largest departure of a strand from an equal share
    for (const auto& e : fs::directory_iterator(dir / "Run01")) {
        const std::string name = e.path().filename().string();
        if (name.size() < 6 || name.substr(name.size() - 6) != "Cs.dat") continue;
        const Table cs = read_snapshot(e.path());
        const Table ca = read_snapshot(dir / "Run01" / (name.substr(0, name.size() - 6) + "Ca.dat"));
        ++snapshots;
        const int N = 8;
        const double cpc = 2240.0;
        for (const auto& [j, s] : cs) {
            const auto& a = ca.at(j);
            // The cut of the band's current-sum equation: two adjacent
            // contacts and one section of the first layer's end, the second
            // layer's contacts and sections.
            double sum = a.at(1) + a.at(2) + s.at(2);
            for (int k = N + 1; k <= 2 * N; ++k) sum += a.at(k);
            for (int k = N + 1; k <= 2 * N - 1; ++k) sum += s.at(k);
            // 3 decimals printed over 17 terms.
            EXPECT_NEAR(sum, cpc, 0.01) << name << " band " << j;
            for (int k = 2; k <= 2 * N - 1; ++k) spread = std::max(spread, std::fabs(s.at(k) - cpc / 14));
        }
    }
    EXPECT_GE(snapshots, 10);
    // The quench has moved current between the strands.
    EXPECT_GT(spread, 5.0);
}

}  // namespace
}  // namespace vorn::test
