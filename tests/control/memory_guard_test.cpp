// The memory guard: the estimate of a case's arrays against the memory the
// system has available or the limit given for the run.  The large cable is
// only estimated, never allocated.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "control/control.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

struct Guard {
    test::TempDir dir;
    Model m;
    std::ostringstream out, err;
    Guard() {
        test::set_example_parameters(m);
        m.msg_unit.open(messages(), OpenMode::Replace);
        m.con_out = &out;
        m.con_err = &err;
    }
    std::string messages() const { return (dir.path() / "VORN_messages.dat").string(); }
    // A file in the layout of /proc/meminfo with the given MemAvailable.
    std::string meminfo(const std::string& available_kb) {
        const auto p = dir.path() / "meminfo";
        test::write_file(p, "MemTotal:       32000000 kB\nMemFree:         1000000 kB\n"
                            "MemAvailable:   " + available_kb + " kB\nBuffers:  1 kB\n");
        return p.string();
    }
    // The largest cable the validation accepts: 80 strands, 10000 bands.
    void largest_cable() {
        m.NS = 80;
        m.NB = 10000;
        m.NBMut = 10000;
        m.NBSF = 10000;
        m.Opt_SF = 1;
    }
    // The stop message of the guard, "" when it lets the case go on.
    std::string stop(const std::string& meminfo_path) {
        try {
            memory_guard(m, meminfo_path);
        } catch (const ProgramStop&) {
            return test::read_file(messages());
        }
        return "";
    }
};

constexpr double kMB = 1024.0 * 1024.0;

TEST(MemoryGuard, EstimateOfTheLargestCable) {
    Guard g;
    g.largest_cable();
    const MemoryEstimate e = case_memory_estimate(g.m);
    // NEq = NB (5NS-3) rows, NCa = 16NS-6 columns: about 38.6 GB.
    EXPECT_DOUBLE_EQ(e.matrix, 10000.0 * 397 * 1274 * 8);
    // (2NS-2)^2 section pairs over 2 NBMut + 1 band distances.
    EXPECT_DOUBLE_EQ(e.inductances, 158.0 * 158 * 20001 * 8);
    EXPECT_DOUBLE_EQ(e.self_field, 3 * e.inductances);
    EXPECT_GT(e.other, 10000.0 * 158 * 50 * 8);  // dozens of arrays per section
    EXPECT_LT(e.other, e.matrix / 10);
    // The factors take the band's place; the implicit network solution
    // keeps the band's pattern (and values while older factors serve) beside
    // them, the explicit scheme nothing: (2NS+6) integers and reals per row.
    EXPECT_DOUBLE_EQ(e.factor, 10000.0 * 397 * 166 * 12);
    EXPECT_LT(e.factor, 0.2 * e.matrix);
    EXPECT_DOUBLE_EQ(e.total(), e.matrix + e.factor + e.inductances + e.self_field + e.other);
    g.m.MutExplicit = 1;
    EXPECT_EQ(case_memory_estimate(g.m).factor, 0.0);
    g.m.MutExplicit = 0;

    // Without time steps there are no inductances; an infinitely long cable
    // has one band in its matrix, 5NS-2 columns wide.
    g.m.NrSteps_inp = 0;
    EXPECT_EQ(case_memory_estimate(g.m).inductances, 0.0);
    g.m.Opt_Cable = 1;
    g.m.NB = 1;
    EXPECT_DOUBLE_EQ(case_memory_estimate(g.m).matrix, 397.0 * 398 * 8);
    EXPECT_EQ(case_memory_estimate(g.m).factor, 0.0);
    EXPECT_EQ(case_memory_estimate(g.m).self_field, 3 * 158.0 * 158 * 8);
}

TEST(MemoryGuard, StopsWithSizeNeededAndAvailable) {
    Guard g;
    g.largest_cable();
    const long long needed = static_cast<long long>(std::ceil(case_memory_estimate(g.m).total() / kMB));
    const std::string text = g.stop(g.meminfo("16384000"));
    EXPECT_NE(text.find("Not enough memory for this case: its arrays need about " +
                        std::to_string(needed) + " MB, 16000 MB are available (MemAvailable in " +
                        g.dir.path().string() + "/meminfo). Program aborted"),
              std::string::npos)
        << text;
    EXPECT_NE(g.err.str().find("Not enough memory"), std::string::npos);

    // The limit given for the run replaces MemAvailable, in both directions.
    g.m.MemLimitMB = 100000;
    EXPECT_EQ(g.stop(g.meminfo("1024")), "");
    g.m.MemLimitMB = 1000;
    EXPECT_NE(g.stop(g.meminfo("999999999")).find(
                  " MB, 1000 MB are available (the limit given with --mem-limit)"),
              std::string::npos);
}

TEST(MemoryGuard, ExampleCasePasses) {
    Guard g;
    EXPECT_LT(case_memory_estimate(g.m).total(), 10 * kMB);
    EXPECT_EQ(g.stop(g.meminfo("1048576")), "");  // 1 GB
    EXPECT_GT(case_memory_estimate(g.m).total(), 1 * kMB);
    EXPECT_NE(g.stop(g.meminfo("1024")), "");      // 1 MB
    // On this machine, against its own /proc/meminfo.
    EXPECT_EQ(g.stop("/proc/meminfo"), "");
}

TEST(MemoryGuard, MemAvailableLine) {
    Guard g;
    EXPECT_EQ(mem_available_mb(g.meminfo("2097152")), 2048);
    EXPECT_EQ(mem_available_mb(g.meminfo("2098175")), 2048);  // rounded down
    // Missing file or line: unknown, and the guard lets the case go on with a note.
    EXPECT_EQ(mem_available_mb((g.dir.path() / "none").string()), -1);
    const auto p = g.dir.path() / "short";
    test::write_file(p, "MemTotal: 1000 kB\nMemFree: 10 kB\n");
    EXPECT_EQ(mem_available_mb(p.string()), -1);
    g.largest_cable();
    EXPECT_EQ(g.stop(p.string()), "");
    EXPECT_NE(test::read_file(g.messages()).find("Memory check skipped: MemAvailable not found in"),
              std::string::npos);
}

}  // namespace
}  // namespace vorn
