// End-to-end runs of the program on the shipped example case and on broken
// copies of it.  Every broken case must end with its message and a non-zero
// exit status, never with a crash.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "test_util.hpp"

namespace vorn::test {
namespace {

const std::string kAnswers = "Demo\n001\n";

class ExampleCase : public ::testing::Test {
protected:
    void SetUp() override { case_dir = copy_example(tmp.path()); }

    // The path as the program names it in its messages: absolute.
    std::string abs(const std::string& below_tmp) const {
        return (tmp.path() / below_tmp).string();
    }

    fs::path input(const std::string& name) const { return case_dir / "input" / name; }
    std::string messages() const { return read_file(case_dir / "output" / "VORN_messages.dat"); }
    // Replaces the whole content of an input file.
    void set_input(const std::string& name, const std::string& text) const {
        write_file(input(name), text);
    }
    // Replaces value number `index` (1-based, comma separated, first line)
    // of a step file.
    void set_value(const std::string& name, int index, const std::string& value) const {
        set_step_value(input(name), index, value);
    }
    ExeResult run() const { return run_vorn_exe(tmp.path(), kAnswers); }

    TempDir tmp;
    fs::path case_dir;
};

TEST_F(ExampleCase, RunsToTheEnd) {
    const ExeResult r = run();
    EXPECT_EQ(r.status, 0) << r.out << messages();
    const auto lines = read_lines(case_dir / "output" / "VORN_messages.dat");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Input data should be available in VORN_data/Demo/Demo-001/input/");
    EXPECT_EQ(lines.at(1), "Results will be saved in VORN_data/Demo/Demo-001/output/");
    EXPECT_EQ(lines.back(), "Simulation finished");

    // The dialogue and the header of the iteration lines.
    EXPECT_NE(r.out.find("Please enter the name of the sub-directory for this simulation\n\n"
                         "Please enter the number the simulation case (e.g. 045)\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Run Iter         time  ConvFR  #ItRs  #ItTs  #CsCh #RhoCh"),
              std::string::npos);
    // One iteration line per converged step at least, run letter A.
    EXPECT_NE(r.out.find("   A    1     0.000000   1.000      1"), std::string::npos) << r.out;

    // The end of the run on the console: where the results are and the
    // last line of the messages file; nothing on the error stream.
    const std::string out_dir = abs("VORN_data/Demo/Demo-001/output/");
    EXPECT_NE(r.out.find("Results are in " + out_dir + " and " +
                         abs("VORN_data/Demo/Demo-001/Run01/") + "\nLast line of " + out_dir +
                         "VORN_messages.dat: Simulation finished\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");

    // The convergency file of run 1 with its header.
    const auto conv = read_lines(case_dir / "Run01" / "VORN_convergency.dat");
    ASSERT_GE(conv.size(), 2u);
    EXPECT_EQ(conv[0],
              "    Run,   Iter,    NTS,           t, ConvFR,  #ItRs,  #ItTs,  #CsCh,  #RsCh,  "
              "#TsCh, #THsCh, #IndCh");
    // The log file exists (and stays empty).
    EXPECT_TRUE(fs::exists(case_dir / "output" / "VORN_log.dat"));
}

TEST_F(ExampleCase, WalksTheWholeSchedule) {
    ASSERT_EQ(run().status, 0);
    // Steps: t = 0, five of 2 ms to 10 ms; the sixth step follows five
    // unchanged ones, so it takes min(2 dt, dt of the interval holding 10 ms)
    // = 2 ms; then steps of 5 ms from 12 ms on, until the first one beyond
    // the end of the table (50 ms) ends the loop.
    const auto conv = read_lines(case_dir / "Run01" / "VORN_convergency.dat");
    // One row per inner iteration: the last row of each step holds its time.
    std::vector<double> times;
    std::string last_step;
    for (std::size_t i = 1; i < conv.size(); ++i) {
        const std::string step = conv[i].substr(16, 7);
        const double t = std::stod(conv[i].substr(24, 12));
        if (step == last_step)
            times.back() = t;
        else
            times.push_back(t);
        last_step = step;
    }
    const std::vector<double> expected = {0.0,   0.002, 0.004, 0.006, 0.008, 0.010, 0.012, 0.017,
                                          0.022, 0.027, 0.032, 0.037, 0.042, 0.047, 0.052};
    ASSERT_EQ(times.size(), expected.size());
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i], expected[i], 1e-9);
}

TEST_F(ExampleCase, SecondRunAppendsMessages) {
    ASSERT_EQ(run().status, 0);
    ASSERT_EQ(run().status, 0);
    const std::string text = messages();
    const auto first = text.find("Simulation finished");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find("Simulation finished", first + 1), std::string::npos);
}

TEST_F(ExampleCase, NoTimeStepsSolvesOnlyTheInitialState) {
    set_value("inp_STEP12.txt", 1, "0");
    set_input("inp_TimeSteps.txt", "0  0.00  0  0.0  0.00  0  0  0  0  0.002\n");
    ASSERT_EQ(run().status, 0) << messages();
    EXPECT_EQ(read_lines(case_dir / "Run01" / "VORN_convergency.dat").size(), 2u);
}

// The other shipped examples: an infinitely long cable in a field ramp and a
// finite cable with a transport-current ramp and unequal end currents.
class OtherExamples : public ::testing::TestWithParam<const char*> {};

TEST_P(OtherExamples, RunToTheEndAndWriteTheirFiles) {
    TempDir tmp;
    copy_example(tmp.path());
    const std::string nr = GetParam();
    const fs::path dir = tmp.path() / "VORN_data" / "Demo" / ("Demo-" + nr);
    const ExeResult r = run_vorn_exe(tmp.path(), "Demo\n" + nr + "\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_lines(dir / "output" / "VORN_messages.dat").back(), "Simulation finished");
    EXPECT_GT(read_lines(dir / "Run01" / "Progress.dat").size(), 3u);
    EXPECT_GT(read_lines(dir / "Run01" / "Signals.dat").size(), 8u);
    EXPECT_TRUE(fs::exists(dir / "Run01" / " 1 00000000000 Cc.dat"));
}

INSTANTIATE_TEST_SUITE_P(Demo, OtherExamples, ::testing::Values("002", "003"));

TEST(Reproducibility, TwoRunsWriteIdenticalResults) {
    TempDir a, b;
    copy_example(a.path());
    copy_example(b.path());
    // Random contact resistances, so that the generator is part of it.
    for (const TempDir* t : {&a, &b}) {
        const fs::path p = t->path() / "VORN_data/Demo/Demo-001/input/inp_STEP05.txt";
        write_file(
            p, "20.0, 0.0, 1, 0.3, 0, 15.0, 0.0, 1, 0.3, 0, 0, 100.0, 2, 4, 0, 0, 0, 0, 0, 0\n");
    }
    ASSERT_EQ(run_vorn_exe(a.path(), kAnswers).status, 0);
    ASSERT_EQ(run_vorn_exe(b.path(), kAnswers).status, 0);
    const fs::path run = fs::path("VORN_data/Demo/Demo-001/Run01");
    int files = 0;
    for (const auto& e : fs::directory_iterator(a.path() / run)) {
        const fs::path other = b.path() / run / e.path().filename();
        ASSERT_TRUE(fs::exists(other)) << other;
        EXPECT_EQ(read_file(e.path()), read_file(other)) << e.path().filename();
        ++files;
    }
    EXPECT_GT(files, 5);
}

// ----- broken cases --------------------------------------------------------

// Call as expect_stop(r, messages(), ...) only after r has been produced:
// function arguments are evaluated in no fixed order.
void expect_stop(const ExeResult& r, const std::string& messages, const std::string& needle) {
    EXPECT_NE(r.status, 0);
    EXPECT_LT(r.status, 128) << "the program crashed";
    EXPECT_NE(messages.find(needle), std::string::npos) << "missing \"" << needle << "\" in\n"
                                                        << messages;
    EXPECT_EQ(messages.find("Simulation finished"), std::string::npos);
}

TEST_F(ExampleCase, MissingStepFileStops) {
    fs::remove(input("inp_STEP05.txt"));
    {
        const ExeResult r = run();
        expect_stop(r, messages(), "inp_STEP05.txt");
    }
}

TEST_F(ExampleCase, ShortStepFileStopsNamingTheMissingValue) {
    set_input("inp_STEP03.txt", "0, 2, 0\n");
    const ExeResult r = run();
    expect_stop(r, messages(), "inp_STEP03.txt");
    EXPECT_NE(messages().find("d_RL"), std::string::npos) << messages();
}

TEST_F(ExampleCase, BadTokenStopsNamingFileAndValue) {
    set_value("inp_STEP01.txt", 5, "x7");
    const ExeResult r = run();
    expect_stop(r, messages(), "inp_STEP01.txt");
    EXPECT_NE(messages().find("NS"), std::string::npos);
    EXPECT_NE(messages().find("x7"), std::string::npos);
}

TEST_F(ExampleCase, Step08OnOneLineStops) {
    auto lines = read_lines(input("inp_STEP08.txt"));
    set_input("inp_STEP08.txt", lines.at(0) + ", " + lines.at(1) + "\n");
    {
        const ExeResult r = run();
        expect_stop(r, messages(), "inp_STEP08.txt");
    }
}

TEST_F(ExampleCase, OddStrandCountIsAnInputError) {
    set_value("inp_STEP01.txt", 5, "7");
    const ExeResult r = run();
    const std::string text = messages();
    expect_stop(r, text, "NS     with value   7 is smaller than   8");
    EXPECT_NE(text.find("errors detected in the input. Program is stopped"), std::string::npos);
    // The stop on the error stream, followed by the file that lists the errors.
    const std::string path = abs("VORN_data/Demo/Demo-001/output/VORN_messages.dat");
    EXPECT_EQ(r.err.find("           1  errors detected in the input. Program is stopped\n"
                         "Nothing was computed: the errors are listed in " +
                         path + "\n"),
              0u)
        << r.err;
    EXPECT_EQ(r.out.find("errors detected"), std::string::npos);
}

TEST_F(ExampleCase, FiniteCableOfTwoBandsIsAnInputError) {
    set_value("inp_STEP01.txt", 4, "2");
    {
        const ExeResult r = run();
        expect_stop(r, messages(), "NB should be at least 3 for a finite cable");
    }
}

TEST_F(ExampleCase, TruncatedTimeStepTableStops) {
    auto lines = read_lines(input("inp_TimeSteps.txt"));
    set_input("inp_TimeSteps.txt", lines.at(0) + "\n" + lines.at(1) + "\n" + lines.at(2) + "\n");
    {
        const ExeResult r = run();
        expect_stop(r, messages(), "inp_TimeSteps.txt");
    }
}

TEST_F(ExampleCase, AbsurdBandCountDoesNotCrash) {
    set_value("inp_STEP01.txt", 4, "2000000000");
    {
        const ExeResult r = run();
        expect_stop(r, messages(), "NB     with value ***  is larger than ***");
    }
}

TEST_F(ExampleCase, MissingRunDirectoryStops) {
    fs::remove_all(case_dir / "Run01");
    const ExeResult r = run();
    const std::string text = "Run directory not found: " + abs("VORN_data/Demo/Demo-001/Run01/") +
                             " (create it, or run vorn with --create)";
    expect_stop(r, messages(), text);
    // The reason on the console too, then the end-of-run lines.
    EXPECT_EQ(r.err.find(text + "\n"), 0u) << r.err;
    EXPECT_NE(r.err.find("Last line of " + abs("VORN_data/Demo/Demo-001/output/VORN_messages.dat") +
                         ": " + text + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(read_lines(case_dir / "output" / "VORN_messages.dat").back(), text);
}

TEST_F(ExampleCase, MissingDirectoriesAreNamedOnTheConsole) {
    fs::remove_all(case_dir / "output");
    ExeResult r = run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Output directory not found: " + abs("VORN_data/Demo/Demo-001/output/") +
                         " (create it, or run vorn with --create)\n");

    r = run_vorn_exe(tmp.path(), "Demo\n099\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Case directory not found: " + abs("VORN_data/Demo/Demo-099") +
                         " (the root directory VORN_data/ is taken relative to the working "
                         "directory " +
                         tmp.str() + "; another root: vorn --root DIR)\n");
}

TEST_F(ExampleCase, MissingInputDirectoryIsReported) {
    fs::remove_all(case_dir / "input");
    const ExeResult r = run();
    const std::string text = "Input directory not found: " + abs("VORN_data/Demo/Demo-001/input/");
    expect_stop(r, messages(), text);
    EXPECT_EQ(r.err.find(text), 0u) << r.err;
}

TEST_F(ExampleCase, MissingStepFileIsNamedWithItsAbsolutePath) {
    fs::remove(input("inp_STEP05.txt"));
    const ExeResult r = run();
    const std::string text =
        "Input file not found: " + abs("VORN_data/Demo/Demo-001/input/inp_STEP05.txt");
    expect_stop(r, messages(), text);
    EXPECT_EQ(r.err.find(text + "\n"), 0u) << r.err;
}

TEST_F(ExampleCase, EndOfConsoleInputStops) {
    const ExeResult r = run_vorn_exe(tmp.path(), "Demo\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No case number given: the console input has ended\n");
}

}  // namespace
}  // namespace vorn::test
