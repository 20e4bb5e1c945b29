// Whole runs against the reference modes of the network solution, byte for
// byte: the system matrix taken from one workspace per case (and one for the
// infinitely long reference) and not zeroed between solutions, against a
// freshly allocated, zeroed matrix for every solution; and the kept
// factorisation against a fresh elimination at every solution, with the
// explicit and with the implicit coupling to the other bands.  A quench,
// where older factors precondition the implicit solution, agrees with fresh
// factors to the solver's tolerance.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "control/driver.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

// Every file the run wrote below the case (output/ and Run01/), by relative
// path.  Summary.dat is left out: it holds the CPU time of the run.
// The first line where two texts differ, for the failure message.
std::string first_difference(const std::string& a, const std::string& b) {
    std::istringstream sa(a), sb(b);
    std::string la, lb;
    for (int n = 1; std::getline(sa, la) && std::getline(sb, lb); ++n)
        if (la != lb) return "\nline " + std::to_string(n) + ":\n" + la + "\n" + lb;
    return "";
}

enum class Mode { Matrix, ExplicitFactor, ImplicitFactor };

std::map<std::string, std::string> run_files(const fs::path& root, const std::string& number,
                                             Mode mode, int fresh, int* status) {
    const fs::path case_dir = root / "VORN_data" / "Demo" / ("Demo-" + number);
    {
        InDir here(root);
        Model m;
        if (mode == Mode::Matrix)
            m.FreshMatrix = fresh;
        else
            m.FreshFactor = fresh;
        // Bit for bit only with factors of the present matrix: older ones as
        // preconditioner agree to the tolerance (the quench test below).
        if (mode != Mode::ExplicitFactor) m.StaleFactors = 0;
        m.opts.explicit_mutual = mode == Mode::ExplicitFactor;
        std::istringstream answers("Demo\n" + number + "\n");
        std::ostringstream console;
        m.con_in = &answers;
        m.con_out = &console;
        *status = vorn_main(m);
    }
    std::map<std::string, std::string> files;
    for (const char* sub : {"output", "Run01"})
        for (const auto& e : fs::directory_iterator(case_dir / sub)) {
            if (e.path().filename() == "Summary.dat") continue;
            files[std::string(sub) + "/" + e.path().filename().string()] = read_file(e.path());
        }
    return files;
}

class ReferenceModes : public ::testing::TestWithParam<std::tuple<const char*, Mode>> {};

TEST_P(ReferenceModes, WriteTheBytesOfTheReference) {
    const auto [number, mode] = GetParam();
    TempDir a, b;
    copy_example(a.path());
    copy_example(b.path());
    int sa = -1, sb = -1;
    const auto reused = run_files(a.path(), number, mode, 0, &sa);
    const auto fresh = run_files(b.path(), number, mode, 1, &sb);
    ASSERT_EQ(sa, 0);
    ASSERT_EQ(sb, 0);
    ASSERT_GT(reused.size(), 5u);
    ASSERT_EQ(reused.size(), fresh.size());
    for (const auto& [name, text] : reused) {
        const auto it = fresh.find(name);
        ASSERT_NE(it, fresh.end()) << name;
        EXPECT_TRUE(text == it->second) << name << " differs" << first_difference(text, it->second);
    }
}

INSTANTIATE_TEST_SUITE_P(Demo, ReferenceModes,
                         ::testing::Combine(::testing::Values("001", "003", "008"),
                                            ::testing::Values(Mode::Matrix, Mode::ExplicitFactor,
                                                              Mode::ImplicitFactor)));

// The heater quench of Demo-005 for its first 0.2 ms: the resistances change
// at every iteration once the heated section quenches.  Every Progress.dat
// value agrees with the run that makes factors of the present matrix for
// every solution within the network tolerance (currents to CsAcc, here
// 0.1 A, and what follows from them), and the run made fewer
// factorisations.
TEST(ReferenceModes, QuenchWithOlderFactorsAgreesWithFreshFactors) {
    const char* number = "005";
    std::vector<std::vector<std::string>> progress;
    std::vector<int> factors;
    for (int stale : {1, 0}) {
        TempDir tmp;
        copy_example(tmp.path());
        const fs::path dir = tmp.path() / "VORN_data" / "Demo" / "Demo-005";
        set_single_ramp(dir, "1  0.0002  0  0.0  0.0  0  0  0  0.0  0.000025");
        InDir here(tmp.path());
        Model m;
        m.StaleFactors = stale;
        std::istringstream answers(std::string("Demo\n") + number + "\n");
        std::ostringstream console;
        m.con_in = &answers;
        m.con_out = &console;
        ASSERT_EQ(vorn_main(m), 0);
        progress.push_back(read_lines(dir / "Run01" / "Progress.dat"));
        factors.push_back(m.Stats.NrFactor);
    }
    EXPECT_LT(factors[0], factors[1]);
    ASSERT_EQ(progress[0].size(), progress[1].size());
    ASSERT_GT(progress[0].size(), 4u);
    for (std::size_t i = 2; i < progress[0].size(); ++i) {
        const auto a = split_csv(progress[0][i]), b = split_csv(progress[1][i]);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t k = 0; k < a.size(); ++k)
            EXPECT_NEAR(std::stod(a[k]), std::stod(b[k]), 0.02 * std::abs(std::stod(b[k])) + 0.01)
                << "line " << i << " column " << k;
    }
}

}  // namespace
}  // namespace vorn::test
