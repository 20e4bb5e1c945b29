// Runs that end early.  Killed (SIGKILL) at random moments, the heater
// quench example leaves every file ending in a complete line and every
// snapshot complete; SIGTERM and SIGINT let the step finish, say so in the
// messages file and end the process with 143 and 130.  A step whose numbers
// are not finite stops the run before any of its results are written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "test_util.hpp"

namespace vorn::test {
namespace {

using Clock = std::chrono::steady_clock;

// Demo-005 cut to 70 us in steps of 2 us (the heater starts at 50 us), a single heater run, every step
// written (progress, signals, energy, three snapshots), in a scratch copy.
fs::path quench_case(const fs::path& tmp) {
    copy_example(tmp);
    const fs::path dir = tmp / "VORN_data" / "Demo" / "Demo-005";
    set_single_ramp(dir, "1  0.00007  0  0.0  0.0  0  0  0  0.0  0.000002");
    write_file(dir / "input" / "inp_STEP15.txt",
               "0.0, 0.5, 10.0, 0.0, 0.0, 2.0, 100.0, 0.0, 0, 1, 0.0, 3, 4, 0\n");
    return dir;
}

// Starts the program on the case in `work` (output to files there).
pid_t start_vorn(const fs::path& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(work.c_str()) != 0) ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execl(VORN_EXE, VORN_EXE, "--fresh", "Demo", "005", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Exit status as a shell reports it (128 + signal for a killed process).
int wait_status(pid_t pid) {
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

bool is_snapshot(const std::string& name) {
    return name.size() > 15 && name[2] == ' ' && name[14] == ' ';
}

// Lines per snapshot kind (name without the stamp) and the width of the
// lines of each appended table, from a complete run.
struct Shapes {
    std::map<std::string, std::size_t> snapshot_lines;
    std::map<std::string, std::size_t> row_width;
};

Shapes shapes_of(const fs::path& run) {
    Shapes s;
    for (const auto& e : fs::directory_iterator(run)) {
        const std::string name = e.path().filename().string();
        const auto lines = read_lines(e.path());
        if (is_snapshot(name))
            s.snapshot_lines[name.substr(15)] = lines.size();
        else if (!lines.empty())
            s.row_width[name] = lines.back().size();
    }
    return s;
}

// Every file ends in a complete line; every snapshot has all its lines; the
// rows of the appended tables have their full width.
void expect_complete(const fs::path& dir, const Shapes& ref, const std::string& when) {
    for (const fs::path& sub : {dir / "Run01", dir / "output"}) {
        for (const auto& e : fs::directory_iterator(sub)) {
            const std::string name = e.path().filename().string();
            if (name.ends_with(".tmp")) continue;  // a snapshot not yet in place
            const std::string text = read_file(e.path());
            if (!text.empty()) {
                EXPECT_EQ(text.back(), '\n') << name << ' ' << when;
            }
            if (sub.filename() != "Run01") continue;
            const auto lines = read_lines(e.path());
            if (is_snapshot(name)) {
                EXPECT_EQ(lines.size(), ref.snapshot_lines.at(name.substr(15))) << name << ' ' << when;
            } else if (ref.row_width.count(name) && lines.size() > 2) {
                EXPECT_EQ(lines.back().size(), ref.row_width.at(name)) << name << ' ' << when;
            }
        }
    }
}

TEST(KilledRun, EveryFileEndsInACompleteLineWhereverTheKillFalls) {
    TempDir tmp;
    const fs::path dir = quench_case(tmp.path());
    const auto t0 = Clock::now();
    ASSERT_EQ(wait_status(start_vorn(tmp.path())), 0) << read_file(tmp.path() / "out.txt");
    const double full = std::chrono::duration<double>(Clock::now() - t0).count();
    const Shapes ref = shapes_of(dir / "Run01");
    ASSERT_GE(ref.snapshot_lines.size(), 3u);
    ASSERT_GT(read_lines(dir / "Run01" / "Progress.dat").size(), 30u);

    std::mt19937 rng(13);
    std::uniform_real_distribution<double> moment(0.0, full);
    constexpr int kKills = 24;
    const std::size_t full_lines = read_lines(dir / "Run01" / "Progress.dat").size();
    int mid_run = 0;  // kills that fell between the first and the last step
    for (int k = 0; k < kKills; ++k) {
        const double at = moment(rng);
        const pid_t pid = start_vorn(tmp.path());
        std::this_thread::sleep_for(std::chrono::duration<double>(at));
        ::kill(pid, SIGKILL);
        wait_status(pid);
        expect_complete(dir, ref, "after a kill at " + std::to_string(at) + " s");
        const std::size_t n = read_lines(dir / "Run01" / "Progress.dat").size();
        if (n > 2 && n < full_lines) ++mid_run;
    }
    EXPECT_GE(mid_run, 5);
}

class Interrupted : public ::testing::TestWithParam<int> {};

TEST_P(Interrupted, TheStepIsFinishedAndTheStopSaysWhen) {
    const int sig = GetParam();
    TempDir tmp;
    const fs::path dir = quench_case(tmp.path());
    const fs::path progress = dir / "Run01" / "Progress.dat";
    const pid_t pid = start_vorn(tmp.path());
    // Some steps into the run.
    const auto limit = Clock::now() + std::chrono::seconds(60);
    while (read_lines(progress).size() < 6 && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ::kill(pid, sig);
    EXPECT_EQ(wait_status(pid), 128 + sig);

    const auto messages = read_lines(dir / "output" / "VORN_messages.dat");
    ASSERT_FALSE(messages.empty());
    const std::string& last = messages.back();
    const std::string head = "Simulation interrupted at t = ";
    ASSERT_EQ(last.rfind(head, 0), 0u) << last;
    ASSERT_TRUE(last.ends_with(" s")) << last;
    const double t = std::stod(last.substr(head.size()));
    // Every step is written: the stop names the time of the last line.
    const auto lines = read_lines(progress);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_NEAR(std::stod(lines.back().substr(21, 14)), t, 1e-9);
    EXPECT_LT(t, 0.00007);
    EXPECT_EQ(read_lines(dir / "Run01" / "Energy.dat").size(), lines.size());
    for (const auto& e : fs::directory_iterator(dir / "Run01"))
        EXPECT_FALSE(e.path().filename().string().ends_with(".tmp")) << e.path();
    EXPECT_NE(read_file(tmp.path() / "out.txt").find(last), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted, ::testing::Values(SIGTERM, SIGINT));

TEST(NonFiniteInput, StopsAtTheValidationBeforeAnyStep) {
    // A time constant that is not a number passes every range test; the
    // validation lists it (the run would otherwise stop in its first step
    // on a NaN filament coupling power, step_checks_test.cpp).
    TempDir tmp;
    const fs::path dir = copy_example(tmp.path());
    write_file(dir / "input" / "inp_STEP04.txt", "NaN, 0, 0\n");
    const ExeResult r = run_vorn_args(tmp.path(), {"Demo", "001"});
    EXPECT_EQ(r.status, 1);
    const auto lines = read_lines(dir / "output" / "VORN_messages.dat");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              std::string("File VORN_data/Demo/Demo-001/input/inp_STEP04.txt") +
                  ": value 1 (TauIF) on line 1 is \"NaN\", not a finite number");
    EXPECT_EQ(lines.back(), "           1  errors detected in the input. Program is stopped");
    EXPECT_NE(r.err.find("Nothing was computed"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "Run01"));
}

}  // namespace
}  // namespace vorn::test
