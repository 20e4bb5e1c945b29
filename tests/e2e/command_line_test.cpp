// The program's command line, end to end: `vorn [OPTIONS] [SUBDIR CASE]`,
// its errors, the messages a user acts on, and the README's two commands in
// either order (the examples stay clean).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.hpp"

namespace vorn::test {
namespace {

using Args = std::vector<std::string>;

const char* const kUsage = "Usage: vorn [OPTIONS] [SUBDIR CASE]\n";

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { case_dir = copy_example(tmp.path()); }

    std::string abs(const std::string& below_tmp) const {
        return (tmp.path() / below_tmp).string();
    }
    std::string messages() const { return read_file(case_dir / "output" / "VORN_messages.dat"); }
    ExeResult run(const Args& args, const std::string& input = "") const {
        return run_vorn_args(tmp.path(), args, input);
    }
    // A usage error: status 2, the error and the usage on stderr, nothing on
    // stdout, no dialogue, no file written.
    void expect_usage_error(const Args& args, const std::string& error) const {
        SCOPED_TRACE(::testing::PrintToString(args));
        const ExeResult r = run(args, "Demo\n001\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vorn: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(error), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(kUsage), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(case_dir / "output" / "VORN_messages.dat"));
    }

    TempDir tmp;
    fs::path case_dir;
};

TEST_F(CommandLine, HelpGoesToStandardOutput) {
    for (const char* flag : {"-h", "--help"}) {
        SCOPED_TRACE(flag);
        const ExeResult r = run({flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find(kUsage), std::string::npos) << r.out;
        for (const char* option : {"--root DIR", "--create", "--fresh", "--version", "-h,--help"})
            EXPECT_NE(r.out.find(option), std::string::npos) << option;
        EXPECT_EQ(r.out.find("Please enter"), std::string::npos);
    }
    // Help wins over the case arguments.
    EXPECT_EQ(run({"Demo", "001", "--help"}).status, 0);
    EXPECT_FALSE(fs::exists(case_dir / "output" / "VORN_messages.dat"));
}

TEST_F(CommandLine, VersionComesFromTheProject) {
    const ExeResult r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("vorn ") + VORN_VERSION + "\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CommandLine, UsageErrorsExitWithStatusTwo) {
    expect_usage_error({"--bogus"}, "--bogus");
    expect_usage_error({"-x", "Demo", "001"}, "-x");
    expect_usage_error({"Demo"}, "give both SUBDIR and CASE");
    expect_usage_error({"Demo", "001", "extra"}, "extra");
    expect_usage_error({"--root"}, "--root");
    expect_usage_error({"--root", "", "Demo", "001"}, "--root");
    expect_usage_error({"", "001"}, "must not be empty");
}

TEST_F(CommandLine, CaseArgumentsRunWithoutTheDialogue) {
    const ExeResult r = run({"Demo", "001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Please enter"), std::string::npos);
    EXPECT_EQ(r.out.rfind("Run Iter         time", 0), 0u) << r.out.substr(0, 200);
    EXPECT_EQ(r.err, "");
    const std::string out_dir = abs("VORN_data/Demo/Demo-001/output/");
    EXPECT_NE(
        r.out.find("Results are in " + out_dir + " and " + abs("VORN_data/Demo/Demo-001/Run01/") +
                   "\nLast line of " + out_dir + "VORN_messages.dat: Simulation finished\n"),
        std::string::npos);
    const auto lines = read_lines(case_dir / "output" / "VORN_messages.dat");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Input data should be available in VORN_data/Demo/Demo-001/input/");
    EXPECT_EQ(lines.back(), "Simulation finished");
}

// The older scheme takes the coupling to the other bands from the previous
// iteration: the same results here, reached in many more iterations.
TEST_F(CommandLine, ExplicitMutualSelectsTheOlderScheme) {
    const fs::path conv = case_dir / "Run01" / "VORN_convergency.dat";
    ASSERT_EQ(run({"Demo", "001"}).status, 0);
    const auto implicit_lines = read_lines(conv).size();
    const auto implicit_progress = read_lines(case_dir / "Run01" / "Progress.dat").size();
    const ExeResult r = run({"--explicit-mutual", "--fresh", "Demo", "001"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(read_lines(conv).size(), 2 * implicit_lines);
    EXPECT_EQ(read_lines(case_dir / "Run01" / "Progress.dat").size(), implicit_progress);
}

TEST_F(CommandLine, MemLimitStopsACaseThatNeedsMore) {
    const ExeResult r = run({"--mem-limit", "1", "Demo", "001"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Not enough memory for this case: its arrays need about "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(" MB, 1 MB are available (the limit given with --mem-limit)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(run({"--mem-limit", "4000", "Demo", "001"}).status, 0);
}

TEST_F(CommandLine, WithoutArgumentsTheDialogueIsAsBefore) {
    const ExeResult r = run({}, "Demo\n001\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Please enter the name of the sub-directory for this simulation\n\n"
                          "Please enter the number the simulation case (e.g. 045)\n"
                          "Run Iter         time",
                          0),
              0u)
        << r.out.substr(0, 300);
}

TEST_F(CommandLine, RootOverridesTheBuildTimeRoot) {
    // From another working directory, with and without the final slash, and
    // together with the dialogue.
    const fs::path elsewhere = tmp.path() / "elsewhere";
    fs::create_directory(elsewhere);
    ExeResult r = run_vorn_args(elsewhere, {"--root", abs("VORN_data"), "Demo", "002"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_lines(tmp.path() / "VORN_data/Demo/Demo-002/output/VORN_messages.dat").back(),
              "Simulation finished");
    r = run_vorn_args(elsewhere, {"--root=../VORN_data/"}, "Demo\n001\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_lines(case_dir / "output" / "VORN_messages.dat").front(),
              "Input data should be available in ../VORN_data/Demo/Demo-001/input/");

    // A root that does not hold the case: the path as tried, absolute.
    r = run({"--root", "nowhere", "Demo", "001"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Case directory not found: " + abs("nowhere/Demo/Demo-001") +
                              " (the root directory nowhere/ is taken relative to the working "
                              "directory " +
                              tmp.str(),
                          0),
              0u)
        << r.err;
    r = run({"--root", abs("nowhere"), "Demo", "001"});
    EXPECT_EQ(r.err, "Case directory not found: " + abs("nowhere/Demo/Demo-001") +
                         " (another root: vorn --root DIR)\n");
}

TEST_F(CommandLine, CreateMakesTheMissingOutputAndRunDirectories) {
    const fs::path case2 = tmp.path() / "VORN_data/Demo/Demo-002";
    fs::remove_all(case2 / "output");
    fs::remove_all(case2 / "Run01");
    ExeResult r = run({"Demo", "002"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Output directory not found: " + abs("VORN_data/Demo/Demo-002/output/") +
                         " (create it, or run vorn with --create)\n");
    EXPECT_FALSE(fs::exists(case2 / "output"));

    r = run({"--create", "Demo", "002"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string made_output =
        "Created the output directory " + abs("VORN_data/Demo/Demo-002/output/");
    const std::string made_run =
        "Created the run directory " + abs("VORN_data/Demo/Demo-002/Run01/");
    EXPECT_NE(r.out.find(made_output + "\n"), std::string::npos) << r.out.substr(0, 400);
    EXPECT_NE(r.out.find(made_run + "\n"), std::string::npos) << r.out.substr(0, 400);
    EXPECT_TRUE(fs::is_directory(case2 / "output"));
    EXPECT_TRUE(fs::exists(case2 / "Run01" / "Progress.dat"));
    // ... and the messages file says so as well.
    const std::string text = read_file(case2 / "output" / "VORN_messages.dat");
    EXPECT_NE(text.find(made_output), std::string::npos);
    EXPECT_NE(text.find(made_run), std::string::npos);

    // Nothing to create: nothing said.
    r = run({"--create", "Demo", "002"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("Created the"), std::string::npos);
}

TEST_F(CommandLine, CreateDoesNotMakeACase) {
    const ExeResult r = run({"--create", "Demo", "042"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Case directory not found: " + abs("VORN_data/Demo/Demo-042")),
              std::string::npos);
    EXPECT_FALSE(fs::exists(tmp.path() / "VORN_data/Demo/Demo-042"));
}

TEST_F(CommandLine, FreshRemovesEarlierResultsButNeverInput) {
    const fs::path run01 = case_dir / "Run01";
    ASSERT_EQ(run({"Demo", "001"}).status, 0);
    const std::string progress = read_file(run01 / "Progress.dat");
    const std::string signals = read_file(run01 / "Signals.dat");

    // A second run without --fresh appends, and says so.
    ExeResult r = run({"Demo", "001"});
    ASSERT_EQ(r.status, 0);
    const std::string note = "Warning: " + abs("VORN_data/Demo/Demo-001/Run01/") +
                             " holds results of an earlier run; Progress.dat and Signals.dat "
                             "are appended to (run vorn with --fresh to remove them first)";
    EXPECT_NE(r.out.find(note), std::string::npos);
    EXPECT_NE(messages().find(note), std::string::npos);
    EXPECT_EQ(read_file(run01 / "Progress.dat"), progress + progress);

    // A snapshot no run of the present input writes, and a file of the user.
    write_file(run01 / " 1 99999999999 Cs.dat", "stale\n");
    write_file(run01 / " 1 99999999999 Ca.dat.tmp", "half a snapsh");  // left by a killed run
    write_file(run01 / "notes.txt", "mine\n");
    std::vector<std::pair<fs::path, std::string>> inputs;
    for (const auto& e : fs::recursive_directory_iterator(tmp.path() / "VORN_data"))
        if (e.is_regular_file() && e.path().parent_path().filename() == "input")
            inputs.emplace_back(e.path(), read_file(e.path()));
    ASSERT_GT(inputs.size(), 50u);

    r = run({"--fresh", "Demo", "001"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Removed "), std::string::npos);
    EXPECT_NE(
        r.out.find(" result files of earlier runs from " + abs("VORN_data/Demo/Demo-001/Run01/")),
        std::string::npos);
    EXPECT_EQ(r.out.find("holds results of an earlier run"), std::string::npos);
    EXPECT_EQ(read_file(run01 / "Progress.dat"), progress);
    EXPECT_EQ(read_file(run01 / "Signals.dat"), signals);
    EXPECT_FALSE(fs::exists(run01 / " 1 99999999999 Cs.dat"));
    EXPECT_FALSE(fs::exists(run01 / " 1 99999999999 Ca.dat.tmp"));
    EXPECT_EQ(read_file(run01 / "notes.txt"), "mine\n");
    for (const auto& [path, text] : inputs) EXPECT_EQ(read_file(path), text) << path;
    // The messages file keeps growing; it is not a result of a run directory.
    EXPECT_EQ(count(messages(), "Simulation finished"), 3u);
}

TEST_F(CommandLine, CutNamesAreReportedAsWarnings) {
    // Names longer than 20 characters are cut; the case of the cut names runs.
    const std::string sub(20, 'S'), nr(20, '7');
    const fs::path dir = tmp.path() / "VORN_data" / sub / (sub + "-" + nr);
    fs::create_directories(dir);
    fs::copy(case_dir / "input", dir / "input", fs::copy_options::recursive);
    fs::create_directory(dir / "output");
    fs::create_directory(dir / "Run01");
    const ExeResult r = run({"--root", "VORN_data", sub + "xyz", nr + "8"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string w1 = "Warning: the sub-directory name \"" + sub +
                           "xyz\" is longer than 20 characters; it is cut to \"" + sub + "\"";
    const std::string w2 = "Warning: the case number \"" + nr +
                           "8\" is longer than 20 characters; it is cut to \"" + nr + "\"";
    EXPECT_EQ(r.out.rfind(w1 + "\n" + w2 + "\n", 0), 0u) << r.out.substr(0, 400);
    const auto lines = read_lines(dir / "output" / "VORN_messages.dat");
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[3], w1);
    EXPECT_EQ(lines[4], w2);

    // The same in the dialogue.
    const ExeResult d = run({}, sub + "xyz\n" + nr + "\n");
    EXPECT_EQ(d.status, 0);
    EXPECT_NE(d.out.find(w1), std::string::npos);
}

TEST_F(CommandLine, ZeroAndNegativeTimeStepsAreInputErrors) {
    // Rows 1 and 2 of the schedule: a step of 0 s hung the program, a
    // negative one ran time backwards.
    write_file(case_dir / "input" / "inp_TimeSteps.txt",
               "0  0.00  0  0.0  0.00  0  0  0  0  0.002\n"
               "1  0.01  0  1.0  0.01  0  0  0  0  0\n"
               "2  0.02  0  1.0  0.03  0  0  0  0  -0.005\n"
               "3  0.02  0  0.0  0.03  0  0  0  0  Inf\n");
    const ExeResult r = run({"Demo", "001"});
    EXPECT_EQ(r.status, 1);
    const auto lines = read_lines(case_dir / "output" / "VORN_messages.dat");
    const std::vector<std::string> expected = {
        "dt_inp(1)  with value     0.000000 should be positive and finite (time-step length in "
        "inp_TimeSteps.txt)",
        "dt_inp(2)  with value    -0.005000 should be positive and finite (time-step length in "
        "inp_TimeSteps.txt)",
        "dt_inp(3)  with value     Infinity should be positive and finite (time-step length in "
        "inp_TimeSteps.txt)",
        "           4  errors detected in the input. Program is stopped"};
    ASSERT_GE(lines.size(), expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), expected);
    // The infinity is also an input that is not a finite number, listed first.
    EXPECT_NE(read_file(case_dir / "output" / "VORN_messages.dat")
                  .find("inp_TimeSteps.txt: value 10 (dt_inp(3)) on line 4 is \"Inf\", not a "
                        "finite number"),
              std::string::npos);
    const std::string path = abs("VORN_data/Demo/Demo-001/output/VORN_messages.dat");
    // Nothing computed: no "Results are in".
    EXPECT_EQ(r.err, expected.back() + "\nNothing was computed: the errors are listed in " + path +
                         "\nLast line of " + path + ": " + expected.back() + "\n");
    EXPECT_FALSE(fs::exists(case_dir / "Run01" / "Progress.dat"));
}

// ----- the README's two commands, in either order --------------------------

// The examples as a user's source tree holds them after running the example
// in place (the old README command): results beside the input.
fs::path polluted_examples(const fs::path& dir) {
    const fs::path src = dir / "src" / "examples";
    fs::create_directories(src);
    fs::copy(example_root(), src / "VORN_data", fs::copy_options::recursive);
    const ExeResult r = run_vorn_args(src, {"Demo", "001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(src / "VORN_data/Demo/Demo-001/Run01/Progress.dat"));
    EXPECT_NE(read_file(src / "VORN_data/Demo/Demo-001/output/VORN_messages.dat")
                  .find("Simulation finished"),
              std::string::npos);
    return src / "VORN_data";
}

TEST(ReadmeCommands, TestCopiesStayCleanAfterTheExampleRanInPlace) {
    TempDir tmp;
    const fs::path examples = polluted_examples(tmp.path());
    const fs::path run_dir = tmp.path() / "run";
    fs::create_directory(run_dir);
    const fs::path case_dir = copy_example(run_dir, examples);
    // Only input reached the copy.
    EXPECT_TRUE(fs::is_empty(case_dir / "output"));
    EXPECT_TRUE(fs::is_empty(case_dir / "Run01"));
    const ExeResult r = run_vorn_args(run_dir, {}, "Demo\n001\n");
    EXPECT_EQ(r.status, 0);
    const std::string text = read_file(case_dir / "output" / "VORN_messages.dat");
    EXPECT_EQ(count(text, "Simulation finished"), 1u);
    EXPECT_EQ(count(read_file(case_dir / "Run01" / "Progress.dat"), "NTS"), 1u);
    EXPECT_EQ(r.out.find("holds results of an earlier run"), std::string::npos);
}

TEST(ReadmeCommands, RunCommandWorksBeforeAndAfterTheTests) {
    // The run command's script, on a polluted tree, twice: a scratch copy
    // of the input each time, and the source tree untouched.
    TempDir tmp;
    const fs::path examples = polluted_examples(tmp.path());
    const std::string before = read_file(examples / "Demo/Demo-001/output/VORN_messages.dat");
    const fs::path dest = tmp.path() / "scratch";
    for (int pass = 1; pass <= 2; ++pass) {
        SCOPED_TRACE(pass);
        const std::string cmd =
            shell_quote(VORN_CMAKE) + " -DVORN_EXE=" + shell_quote(VORN_EXE) +
            " -DEXAMPLES=" + shell_quote(examples.string()) +
            " -DDEST=" + shell_quote(dest.string()) + " -P " +
            shell_quote(std::string(VORN_SOURCE_DIR) + "/tools/run_example.cmake") + " > " +
            shell_quote((tmp.path() / "script.txt").string()) + " 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << read_file(tmp.path() / "script.txt");
        const fs::path out = dest / "VORN_data/Demo/Demo-001/output";
        EXPECT_EQ(count(read_file(out / "VORN_messages.dat"), "Simulation finished"), 1u);
        EXPECT_NE(read_file(tmp.path() / "script.txt")
                      .find("Last line of " + (out / "VORN_messages.dat").string() +
                            ": Simulation finished"),
                  std::string::npos);
    }
    EXPECT_EQ(read_file(examples / "Demo/Demo-001/output/VORN_messages.dat"), before);
    // The copies of the test suite are clean as well (see above).
    const fs::path run_dir = tmp.path() / "run";
    fs::create_directory(run_dir);
    copy_example(run_dir, examples);
    EXPECT_EQ(run_vorn_args(run_dir, {"Demo", "001"}).status, 0);
}

}  // namespace
}  // namespace vorn::test
