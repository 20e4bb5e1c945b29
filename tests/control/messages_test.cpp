// The messages file: the flood cap of repeated diagnostics, the stops and
// the end-of-run lines of the console.
#include "control/messages.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "network/network.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

using Lines = std::vector<std::string>;

struct Messages {
    test::TempDir dir;
    Model m;
    std::ostringstream out, err;
    Messages() {
        m.msg_unit.open(path(), OpenMode::Replace);
        m.con_out = &out;
        m.con_err = &err;
    }
    std::string path() const { return (dir.path() / "VORN_messages.dat").string(); }
    Lines lines() const { return test::read_lines(path()); }
};

// The solver's diagnostic, as band_check writes it.
void left(Model& m, int i, int c, double v) {
    msg_fmt(m, "(A9,I7,A1,I7,A24,F12.6,A19)",
            {"LEFT: Element ", i, ",", c, " in array (A) has value ", v, " but should be zero"});
}

const char* const kLeft1 =
    "LEFT: Ele      1,      1 in array (A) has value    -Infinity but should be zero";

TEST(MessageCap, AKindIsWrittenAHundredTimesPerTimeStep) {
    Messages t;
    Model& m = t.m;
    m.Run = 1;
    m.NTS = 7;
    for (int i = 1; i <= 350; ++i) left(m, i, 1, -std::numeric_limits<double>::infinity());
    new_message_period(m);
    const Lines lines = t.lines();
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines.front(), kLeft1);
    EXPECT_EQ(lines[99],
              "LEFT: Ele    100,      1 in array (A) has value    -Infinity but should be zero");
    EXPECT_EQ(lines[100], std::string("250 more messages like \"") + kLeft1 +
                              "\" suppressed in time step 7 of run 1 (at most 100 of a kind are "
                              "written per time step)");

    // The next time step starts counting anew; a period without suppressed
    // messages adds no line.
    for (int i = 1; i <= 100; ++i) left(m, i, 2, 1.0);
    new_message_period(m);
    EXPECT_EQ(t.lines().size(), 201u);
    new_message_period(m);
    EXPECT_EQ(t.lines().size(), 201u);
}

TEST(MessageCap, KindsAreCountedApart) {
    Messages t;
    Model& m = t.m;
    for (int k = 0; k < 150; ++k) {
        msg(m, "the same text");
        msg(m, "text " + std::to_string(k));  // different texts: never suppressed
        msg_kind(m, "heat", "heat of section " + std::to_string(k));
        left(m, k, 3, 2.0);
    }
    const Lines before = t.lines();
    EXPECT_EQ(before.size(), 100u + 150u + 100u + 100u);
    new_message_period(m);
    const Lines lines = t.lines();
    ASSERT_EQ(lines.size(), before.size() + 3);
    // In the order in which the kinds were first suppressed; during the set-up.
    EXPECT_EQ(lines[before.size()],
              "50 more messages like \"the same text\" suppressed during the set-up (at most 100 "
              "of a kind are written per time step)");
    EXPECT_EQ(lines[before.size() + 1].rfind(
                  "50 more messages like \"heat of section 0\" suppressed during the set-up", 0),
              0u);
    EXPECT_EQ(lines[before.size() + 2].rfind("50 more messages like \"LEFT: Ele      0,      3", 0),
              0u);
}

TEST(MessageCap, TheStopReasonStaysTheLastLine) {
    Messages t;
    Model& m = t.m;
    m.Run = 2;
    m.NTS = 3;
    for (int i = 1; i <= 120; ++i) left(m, i, 1, 5.0);
    EXPECT_THROW(stop_with_message(m, "No convergence. Program aborted"), ProgramStop);
    const Lines lines = t.lines();
    ASSERT_EQ(lines.size(), 102u);
    EXPECT_EQ(lines[100].substr(0, 22), "20 more messages like ");
    EXPECT_EQ(lines.back(), "No convergence. Program aborted");
    EXPECT_EQ(t.err.str(), "No convergence. Program aborted\n");
    EXPECT_EQ(m.msg_last_line, "No convergence. Program aborted");
}

TEST(MessageCap, TheSolverDiagnosticsAreCapped) {
    // A banded system whose entries left of the diagonal survive the
    // elimination (factors below 1e-25 are skipped): 2 per row reported.
    Messages t;
    Model& m = t.m;
    m.NEqB = 3;
    m.NB = 100;
    m.NEq = 300;
    m.NBw = 3;
    m.NCa = 6;
    m.Opt_Cable = 2;
    m.Run = 1;
    m.NTS = 4;
    create_system_matrix(m);
    for (int i = 1; i <= m.NEq; ++i) {
        m.A(i, 3) = 1e30;
        m.A(i, 6) = 1.0;
        if (i > 2) m.A(i, 1) = m.A(i, 2) = 1.0;
    }
    solve_array(m);
    release_system_matrix(m);
    new_message_period(m);
    const Lines lines = t.lines();
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[0].substr(0, 9), "LEFT: Ele");
    EXPECT_EQ(lines[100].substr(0, 26), "496 more messages like \"LE");
}

TEST(StopMessages, StopsGoToTheErrorStreamAndTheMessagesFile) {
    Messages t;
    Model& m = t.m;
    EXPECT_THROW(stop_on_console(m, "Problem with self field option 2"), ProgramStop);
    EXPECT_EQ(t.out.str(), "");
    EXPECT_EQ(t.err.str(), "Problem with self field option 2\n");
    EXPECT_EQ(t.lines(), Lines{"Problem with self field option 2"});
    // A reason that is the last line already is not written twice.
    EXPECT_THROW(stop_with_message(m, "Problem with self field option 2"), ProgramStop);
    EXPECT_EQ(t.lines(), Lines{"Problem with self field option 2"});
}

TEST(StopMessages, WarningsWaitForTheMessagesFile) {
    test::TempDir dir;
    Model m;
    std::ostringstream out;
    m.con_out = &out;
    warn(m, "Warning: early");
    EXPECT_EQ(out.str(), "Warning: early\n");
    m.msg_unit.open((dir.path() / "msg.dat").string(), OpenMode::Replace);
    msg(m, "first");
    write_kept_warnings(m);
    warn(m, "Warning: late");
    EXPECT_EQ(test::read_lines(dir.path() / "msg.dat"),
              (Lines{"first", "Warning: early", "Warning: late"}));
}

TEST(EndOfRun, ResultsAndTheLastLineOfTheMessagesFile) {
    Messages t;
    Model& m = t.m;
    const std::string d = t.dir.str() + "/";
    m.output_dir = d + "output/";
    std::ostringstream os;
    msg(m, "Simulation finished");
    report_end_of_run(m, os);
    EXPECT_EQ(os.str(), "Results are in " + d + "output/\nLast line of " + t.path() +
                            ": Simulation finished\n");
    m.run_dirs_used = {d + "Run01/"};
    os.str("");
    report_end_of_run(m, os);
    EXPECT_EQ(os.str().substr(0, os.str().find('\n')),
              "Results are in " + d + "output/ and " + d + "Run01/");
    m.run_dirs_used = {d + "Run01/", d + "Run02/", d + "Run03/"};
    os.str("");
    report_end_of_run(m, os);
    EXPECT_EQ(os.str().substr(0, os.str().find('\n')),
              "Results are in " + d + "output/ and " + d + "Run01/ to Run03/");
    // Relative paths are shown absolute.
    m.output_dir = "VORN_data/Demo/Demo-001/output/";
    m.run_dirs_used.clear();
    os.str("");
    report_end_of_run(m, os);
    EXPECT_EQ(os.str().substr(0, os.str().find('\n')),
              "Results are in " + shown_path(m.output_dir));
    EXPECT_EQ(shown_path(m.output_dir),
              (std::filesystem::current_path() / "VORN_data/Demo/Demo-001/output/").string());
    // Without a messages file: nothing (the stop reason was written already).
    Model fresh;
    os.str("");
    report_end_of_run(fresh, os);
    EXPECT_EQ(os.str(), "");
}

}  // namespace
}  // namespace vorn
