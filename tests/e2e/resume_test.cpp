// Runs stopped and resumed from their checkpoint.  A run stopped after its
// N-th converged step (VORN_SIGNAL_AFTER_STEPS: SIGTERM, or SIGKILL after
// that step's checkpoint) and resumed must leave every result file as the
// uninterrupted run does, byte for byte, apart from the CPU times of the
// summary; the messages file records the stop and the resume.  A checkpoint
// that is missing, damaged, cut short or of other inputs is refused.
#include <gtest/gtest.h>

#include <csignal>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace vorn::test {
namespace {

const std::string kCkpt = "output/VORN_checkpoint.bin";

// Every file of the case's output/ and RunNN/ (relative path -> contents),
// the CPU-time rows of Summary.dat left out, the messages file and the
// checkpoint not at all.
std::map<std::string, std::string> results_of(const fs::path& case_dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(case_dir)) {
        if (!e.is_regular_file()) continue;
        const std::string rel = fs::relative(e.path(), case_dir).string();
        if (rel.rfind("input/", 0) == 0 || rel == "output/VORN_messages.dat" || rel == kCkpt ||
            rel == "output/.vorn-lock")
            continue;
        std::string text = read_file(e.path());
        if (rel == "output/Summary.dat") {
            // "CPU times (s)" and its rows (run, then the iterations' times)
            // up to the next empty line.
            const auto a = text.find("CPU times (s)");
            if (a != std::string::npos) text.erase(a, text.find("\n\n", a) - a);
        }
        files[rel] = text;
    }
    return files;
}

std::string with_env(const std::string& env, const std::vector<std::string>& args) {
    std::string cmd = env + " " + shell_quote(VORN_EXE);
    for (const std::string& a : args) cmd += " " + shell_quote(a);
    return cmd;
}

struct Stop {
    int steps;      // converged steps before the signal
    int sig;        // SIGTERM; SIGKILL comes after that step's checkpoint
    int again = 0;  // > 0: the resumed run is stopped (SIGTERM) after so many steps too
};

fs::path demo(const TempDir& t, const std::string& nr) {
    return t.path() / "VORN_data" / "Demo" / ("Demo-" + nr);
}

// The uninterrupted run of case `nr` (after `edit` of its input), then for
// each stop a fresh copy stopped there and resumed; every result file
// compared.  A run killed with SIGKILL has written a checkpoint after every
// step, the one of its last step among them.
template <class F>
void check_resumes(const std::string& nr, std::initializer_list<Stop> stops, F edit) {
    TempDir whole;
    copy_example(whole.path());
    edit(demo(whole, nr));
    const ExeResult a = run_vorn_args(whole.path(), {"--fresh", "Demo", nr});
    ASSERT_EQ(a.status, 0) << a.err;
    const auto want = results_of(demo(whole, nr));
    for (const Stop& stop : stops) {
        SCOPED_TRACE("stopped after " + std::to_string(stop.steps) + " steps by signal " +
                     std::to_string(stop.sig));
        TempDir stopped;
        copy_example(stopped.path());
        const fs::path dir = demo(stopped, nr);
        edit(dir);
        const std::string env = "VORN_SIGNAL_AFTER_STEPS=" + std::to_string(stop.steps) + ":" +
                                std::to_string(stop.sig);
        const std::string every = stop.sig == SIGKILL ? "1e-9" : "0";
        const ExeResult b = run_command(
            stopped.path(), with_env(env, {"--fresh", "--checkpoint-every", every, "Demo", nr}));
        ASSERT_EQ(b.status, 128 + stop.sig) << b.err;
        ASSERT_TRUE(fs::exists(dir / kCkpt));
        const std::string messages = read_file(dir / "output" / "VORN_messages.dat");
        if (stop.sig == SIGTERM) {
            EXPECT_NE(messages.find("Checkpoint written at t = "), std::string::npos);
            EXPECT_NE(messages.find("vorn --resume Demo " + nr + " continues the run"),
                      std::string::npos);
        }
        if (stop.again > 0) {
            const ExeResult r = run_command(
                stopped.path(),
                with_env("VORN_SIGNAL_AFTER_STEPS=" + std::to_string(stop.again),
                         {"--resume", "Demo", nr}));
            ASSERT_EQ(r.status, 128 + SIGTERM) << r.err;
        }
        const ExeResult c = run_vorn_args(stopped.path(), {"--resume", "Demo", nr});
        ASSERT_EQ(c.status, 0) << c.err;
        EXPECT_FALSE(fs::exists(dir / kCkpt)) << "a finished run keeps no checkpoint";
        const auto got = results_of(dir);
        ASSERT_EQ(want.size(), got.size());
        for (const auto& [name, text] : want) {
            ASSERT_TRUE(got.count(name)) << name;
            EXPECT_TRUE(got.at(name) == text) << name << " differs after the resume";
        }
        const std::string after = read_file(dir / "output" / "VORN_messages.dat");
        EXPECT_NE(after.find("Run resumed from the checkpoint at t = "), std::string::npos);
        EXPECT_EQ(after.find("Simulation interrupted"), std::string::npos)
            << "lines after the checkpoint are cut back";
    }
}

void as_shipped(const fs::path&) {}

TEST(Resume, RampExample) { check_resumes("001", {{5, SIGTERM}}, as_shipped); }

TEST(Resume, InfiniteRampWithFieldAlongALine) {
    check_resumes("004", {{3, SIGTERM}}, as_shipped);
}

// The heater quench, cut to 120 us in 4 us steps: stopped before the heater
// pulse (it starts at 50 us), in it, and in the growing normal zone; one
// run stopped twice.
TEST(Resume, HeaterQuench) {
    check_resumes("005", {{4, SIGTERM}, {14, SIGTERM, 5}, {20, SIGKILL}}, [](const fs::path& d) {
        set_single_ramp(d, "1  0.00012  0  0.0  0.0  0  0  0  0.0  0.000004");
    });
}

// The quench-energy search (three runs of several QE iterations each):
// stopped at the first step of an iteration of run 2 and within a later
// iteration of run 2; the brackets, trials and scaled heater table go on.
// (SIGKILL, which needs a checkpoint after every step, is the heater
// quench's: here it would make this the slowest test of the suite.)
TEST(Resume, QuenchEnergySearch) {
    check_resumes("009", {{250, SIGTERM}, {400, SIGTERM}}, as_shipped);
}

// Stopped with a checkpoint of Demo-001 after 5 steps.
class Refused : public ::testing::Test {
protected:
    void SetUp() override {
        case_dir = copy_example(tmp.path());
        const ExeResult b = run_command(
            tmp.path(), with_env("VORN_SIGNAL_AFTER_STEPS=5", {"--fresh", "Demo", "001"}));
        ASSERT_EQ(b.status, 143) << b.err;
        ASSERT_TRUE(fs::exists(case_dir / kCkpt));
    }
    ExeResult resume() { return run_vorn_args(tmp.path(), {"--resume", "Demo", "001"}); }
    void expect_refused(const ExeResult& r, const std::string& why) {
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Cannot resume from the checkpoint " +
                             (case_dir / kCkpt).string() + ": " + why),
                  std::string::npos)
            << r.err;
    }
    TempDir tmp;
    fs::path case_dir;
};

TEST_F(Refused, WithoutACheckpoint) {
    fs::remove(case_dir / kCkpt);
    const ExeResult r = resume();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No checkpoint to resume from: " + (case_dir / kCkpt).string()),
              std::string::npos)
        << r.err;
}

TEST_F(Refused, CutShortOrDamaged) {
    const std::string whole = read_file(case_dir / kCkpt);
    for (const std::string& bad :
         {whole.substr(0, whole.size() / 2), whole.substr(0, 5), std::string(),
          whole.substr(0, 100) + "x" + whole.substr(101)}) {
        write_file(case_dir / kCkpt, bad);
        expect_refused(resume(), "it is incomplete or damaged");
    }
}

TEST_F(Refused, OfOtherInputs) {
    const fs::path step = case_dir / "input" / "inp_STEP01.txt";
    write_file(step, read_file(step) + "\n");
    expect_refused(resume(), "the input files of the case, or the options --explicit-mutual "
                             "and --section-by-section, differ");
}

TEST_F(Refused, WithAnotherMethod) {
    const ExeResult r = run_vorn_args(tmp.path(), {"--resume", "--section-by-section", "Demo", "001"});
    expect_refused(r, "the input files of the case, or the options");
}

TEST_F(Refused, TogetherWithFresh) {
    EXPECT_EQ(run_vorn_args(tmp.path(), {"--resume", "--fresh", "Demo", "001"}).status, 2);
    EXPECT_TRUE(fs::exists(case_dir / kCkpt));
}

// A checkpoint whose writing was cut short (its temporary file) is never
// read: the complete one before it is.
TEST_F(Refused, ATemporaryFileLeftByAKillIsNotUsed) {
    write_file(case_dir / (kCkpt + ".tmp"), "VORNCKPT half a checkpoint");
    const ExeResult r = resume();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(case_dir / (kCkpt + ".tmp")));
}

// A run from t = 0 removes the checkpoint of an earlier run: its results
// are about to change under it.
TEST_F(Refused, ARunFromTheStartRemovesAnOldCheckpoint) {
    const ExeResult r = run_vorn_args(tmp.path(), {"Demo", "001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Warning: the checkpoint " + (case_dir / kCkpt).string() +
                         " of an earlier run is removed"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(case_dir / kCkpt));
    EXPECT_EQ(resume().status, 1);
}

// A checkpoint that cannot be written stops the run like any other file.
TEST(CheckpointWrite, AFullDiskStopsTheRun) {
    TempDir tmp;
    const fs::path case_dir = copy_example(tmp.path());
    const ExeResult r = run_command(
        tmp.path(), "bash -c " + shell_quote("trap '' XFSZ; ulimit -f 300; exec " +
                                             shell_quote(VORN_EXE) +
                                             " --checkpoint-every 1e-9 Demo 001"));
    EXPECT_EQ(r.status, 1);
    const std::string reason =
        "Cannot write " + (case_dir / kCkpt).string() + ": File too large. Program aborted";
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(case_dir / kCkpt));
    EXPECT_FALSE(fs::exists(case_dir / (kCkpt + ".tmp")));
    EXPECT_EQ(read_file(case_dir / "output" / "VORN_messages.dat").find("Simulation finished"),
              std::string::npos);
}

}  // namespace
}  // namespace vorn::test
