// The result block at the end of a run (console, Summary.dat, vorn report)
// against the result files the run wrote, and the end of a run stopped by
// VoltStop.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace vorn::test {
namespace {

const std::string kTitle =
    "========== RESULT ==============================================================";

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    for (std::string f; std::getline(ss, f, sep);) out.push_back(f);
    return out;
}

// The block in console output: from its title to the line before "Results
// are in".
std::vector<std::string> block_of(const std::string& out) {
    std::vector<std::string> block;
    bool inside = false;
    for (const std::string& line : split(out, '\n')) {
        if (line == kTitle) inside = true;
        if (line.rfind("Results are in", 0) == 0) inside = false;
        if (inside) block.push_back(line);
    }
    return block;
}

std::string line_starting(const std::vector<std::string>& block, const std::string& head) {
    for (const std::string& l : block)
        if (l.rfind(head, 0) == 0) return l;
    ADD_FAILURE() << "no line " << head;
    return "";
}

// The numeric rows of a result table, split at the commas.
std::vector<std::vector<double>> rows_of(const fs::path& file) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : read_lines(file)) {
        std::vector<double> v;
        for (const std::string& f : split(line, ',')) {
            char* end = nullptr;
            const double x = std::strtod(f.c_str(), &end);
            if (end == f.c_str()) break;
            v.push_back(x);
        }
        if (!v.empty()) rows.push_back(v);
    }
    return rows;
}

// Progress.dat: Pa_T and Pc_T (mW) are columns 17 and 18.
double contact_loss_w(const std::vector<double>& row) { return (row.at(16) + row.at(17)) / 1000; }

class ResultBlock : public ::testing::Test {
protected:
    ExeResult run(const std::string& nr) { return run_vorn_args(tmp.path(), {"Demo", nr}); }
    fs::path dir(const std::string& nr) const {
        return tmp.path() / "VORN_data" / "Demo" / ("Demo-" + nr);
    }
    void SetUp() override { copy_example(tmp.path()); }
    TempDir tmp;
};

TEST_F(ResultBlock, StatesTheLossPerMetreAndPerCableAsProgressHasIt) {
    const ExeResult r = run("001");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto block = block_of(r.out);
    ASSERT_GE(block.size(), 6u) << r.out;
    // 20 bands of 60 mm / 12 strands.
    EXPECT_EQ(block.at(1), "Modelled cable length: 0.10000 m");
    const auto rows = rows_of(dir("001") / "Run01" / "Progress.dat");
    ASSERT_GE(rows.size(), 3u);
    double largest = 0;
    for (const auto& row : rows) largest = std::max(largest, contact_loss_w(row));
    double per_m = 0, per_cable = 0, t = 0;
    ASSERT_EQ(std::sscanf(line_starting(block, "Coupling loss (contacts), last:").c_str(),
                          "Coupling loss (contacts), last: %lf W/m, %lf W, at t = %lf s", &per_m,
                          &per_cable, &t),
              3);
    EXPECT_NEAR(per_cable, contact_loss_w(rows.back()), 1e-4 * per_cable);
    EXPECT_NEAR(per_m, per_cable / 0.1, 1e-4 * per_m);
    EXPECT_DOUBLE_EQ(t, rows.back().at(2));
    ASSERT_EQ(std::sscanf(line_starting(block, "Coupling loss (contacts), largest:").c_str(),
                          "Coupling loss (contacts), largest: %lf W/m, %lf W, at t = %lf s",
                          &per_m, &per_cable, &t),
              3);
    EXPECT_NEAR(per_cable, largest, 1e-4 * largest);
    EXPECT_NEAR(per_m, largest / 0.1, 1e-4 * per_m);
    EXPECT_EQ(line_starting(block, "Quench:"),
              "Quench: none (no section reached its critical current)");

    // The same block closes Summary.dat, which names this version, and
    // vorn report prints it again.
    const auto summary = read_lines(dir("001") / "output" / "Summary.dat");
    ASSERT_GE(summary.size(), block.size());
    EXPECT_EQ(std::vector<std::string>(summary.end() - long(block.size()), summary.end()), block);
    EXPECT_NE(read_file(dir("001") / "output" / "Summary.dat")
                  .find(std::string("Version of VORN.exe: ") + VORN_VERSION),
              std::string::npos);
    const ExeResult rep = run_vorn_args(tmp.path(), {"report", dir("001").string()});
    EXPECT_EQ(rep.status, 0) << rep.err;
    EXPECT_EQ(split(rep.out, '\n'), block);
    // Not on a terminal: no progress line on the error stream; CsAcc is a
    // thirtieth of the largest coupling current (3.08 A): no warning.
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("Warning: CsAcc"), std::string::npos);
}

TEST_F(ResultBlock, WarnsWhenCsAccIsCoarseAgainstTheCouplingCurrents) {
    ASSERT_EQ(run_vorn_args(tmp.path(), {"set", dir("001").string(), "CsAcc=0.5"}).status, 0);
    const ExeResult r = run("001");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string warning = "Warning: CsAcc = 5.000E-01 A is more than a tenth of the largest "
                                "coupling current of the run (";
    EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
    EXPECT_NE(read_file(dir("001") / "output" / "VORN_messages.dat").find(warning),
              std::string::npos);
}

// On a terminal (a pseudo-terminal made by script(1)) the progress line is
// drawn in place and taken off before the result block.
TEST_F(ResultBlock, ProgressLineOnlyOnATerminal) {
    if (std::system("script -qec true /dev/null > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no script(1) or no pseudo-terminal here";
    const fs::path log = tmp.path() / "tty.txt";
    const std::string cmd = "cd " + shell_quote(tmp.path().string()) + " && script -qec " +
                            shell_quote(shell_quote(VORN_EXE) + " Demo 001") + " " +
                            shell_quote(log.string()) + " > /dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string tty = read_file(log);
    const auto shown = tty.find("% of the schedule");
    ASSERT_NE(shown, std::string::npos) << tty;
    EXPECT_LT(tty.find("\r\033[K"), tty.find(kTitle));
    EXPECT_LT(shown, tty.find(kTitle));
}

TEST_F(ResultBlock, ReportOfACaseNotRunNamesTheMissingFile) {
    const ExeResult rep = run_vorn_args(tmp.path(), {"report", dir("002").string()});
    EXPECT_EQ(rep.status, 1);
    EXPECT_NE(rep.err.find((dir("002") / "output" / "Summary.dat").string()), std::string::npos)
        << rep.err;
}

// The search's lines of the block: qe_example_test.cpp.

TEST_F(ResultBlock, RunStoppedByVoltStopWritesItsLastStep) {
    const ExeResult r = run("005");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto block = block_of(r.out);
    double t_stop = 0;
    ASSERT_EQ(std::sscanf(line_starting(block, "Quench: resistive").c_str(),
                          "Quench: resistive voltage above VoltStop at t = %lf s", &t_stop),
              1);
    // Progress.dat and a snapshot of every selected array at that step,
    // although neither is due by its interval.
    const auto rows = rows_of(dir("005") / "Run01" / "Progress.dat");
    ASSERT_FALSE(rows.empty());
    EXPECT_DOUBLE_EQ(rows.back().at(2), t_stop);
    std::size_t last = 0;
    char stamp[32];  // run number and time in us, as the snapshot names start
    std::snprintf(stamp, sizeof stamp, " 1 %011ld ", long(t_stop * 1e6 + 0.5));
    for (const auto& f : fs::directory_iterator(dir("005") / "Run01"))
        if (f.path().filename().string().rfind(stamp, 0) == 0) ++last;
    EXPECT_GE(last, 3u) << stamp;
}

}  // namespace
}  // namespace vorn::test
