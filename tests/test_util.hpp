// Shared helpers of the test suite: temporary directories, reading files,
// running the program, and a store filled with the parameters of the
// shipped example case (12 strands, 20 bands), in SI units.
#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "control/model.hpp"

namespace vorn::test {

namespace fs = std::filesystem;

// A fresh directory below the system's temporary directory, removed at the
// end of the test.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        const auto base = fs::temp_directory_path();
        for (;;) {
            path_ = base / ("vorn_test_" + std::to_string(::getpid()) + "_" +
                            std::to_string(counter++));
            if (fs::create_directories(path_)) break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
};

inline std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> read_lines(const fs::path& p) {
    std::ifstream in(p);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The comma-separated fields of one line of a result table, as printed.
inline std::vector<std::string> split_csv(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, ',');) out.push_back(f);
    return out;
}

inline void write_file(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

// Replaces the schedule of a case (its input/ in case_dir) after the start
// row by one row of inp_TimeSteps.txt (without its line end), and sets the
// number of schedule rows in inp_STEP12.txt to 1.
inline void set_single_ramp(const fs::path& case_dir, const std::string& row) {
    const fs::path in = case_dir / "input";
    const auto rows = read_lines(in / "inp_TimeSteps.txt");
    write_file(in / "inp_TimeSteps.txt", rows.at(0) + "\n" + row + "\n");
    const std::string step12 = read_lines(in / "inp_STEP12.txt").at(0);
    write_file(in / "inp_STEP12.txt", "1" + step12.substr(step12.find(',')) + "\n");
}

// Replaces value number `index` (1-based, comma separated, first line) of a
// step file.
inline void set_step_value(const fs::path& file, int index, const std::string& value) {
    auto lines = read_lines(file);
    std::string& line = lines.at(0);
    std::size_t start = 0;
    for (int i = 1; i < index; ++i) start = line.find(',', start) + 1;
    std::size_t end = line.find(',', start);
    line = line.substr(0, start) + " " + value + (end == std::string::npos ? "" : line.substr(end));
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    write_file(file, text);
}

// Changes the working directory for the lifetime of the object (the case
// root is relative to it).
class InDir {
public:
    explicit InDir(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
    ~InDir() { fs::current_path(saved_); }
    InDir(const InDir&) = delete;
    InDir& operator=(const InDir&) = delete;

private:
    fs::path saved_;
};

// The example case as shipped: <root>/Demo/Demo-001/{input,output,Run01}.
inline fs::path example_root() { return fs::path(VORN_SOURCE_DIR) / "examples" / "VORN_data"; }

// Copies the example cases of `from` to dir/VORN_data: of each case only
// its input/ folder, with an empty output/ and an empty RunNN/ for each
// RunNN/ of the example, so that results an example may hold (after it was
// run in place) never reach the copy.  Returns the case directory
// dir/VORN_data/Demo/Demo-001.
inline fs::path copy_example(const fs::path& dir, const fs::path& from = example_root()) {
    for (const auto& sub : fs::directory_iterator(from)) {
        if (!sub.is_directory()) continue;
        for (const auto& c : fs::directory_iterator(sub.path())) {
            if (!fs::is_directory(c.path() / "input")) continue;
            const fs::path to = dir / "VORN_data" / sub.path().filename() / c.path().filename();
            fs::create_directories(to / "output");
            fs::copy(c.path() / "input", to / "input", fs::copy_options::recursive);
            for (const auto& run : fs::directory_iterator(c.path())) {
                const std::string name = run.path().filename().string();
                if (run.is_directory() && name.size() == 5 && name.rfind("Run", 0) == 0)
                    fs::create_directory(to / name);
            }
        }
    }
    return dir / "VORN_data" / "Demo" / "Demo-001";
}

struct ExeResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// A word of a shell command line, in single quotes.
inline std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the shell command `command` in the working directory `dir` with
// `input` on its standard input; its output and status.
inline ExeResult run_command(const fs::path& dir, const std::string& command,
                             const std::string& input = "") {
    write_file(dir / "stdin.txt", input);
    const std::string cmd = "cd " + shell_quote(dir.string()) + " && " + command +
                            " < stdin.txt > stdout.txt 2> stderr.txt";
    const int rc = std::system(cmd.c_str());
    ExeResult r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc);
    r.out = read_file(dir / "stdout.txt");
    r.err = read_file(dir / "stderr.txt");
    return r;
}

// Runs the program with the arguments `args` in the working directory `dir`
// with `input` on its standard input.
inline ExeResult run_vorn_args(const fs::path& dir, const std::vector<std::string>& args,
                               const std::string& input = "") {
    std::string cmd = shell_quote(VORN_EXE);
    for (const std::string& a : args) cmd += " " + shell_quote(a);
    return run_command(dir, cmd, input);
}

// Runs the program without arguments (the console dialogue) in the working
// directory `dir` with `input` on its standard input.
inline ExeResult run_vorn_exe(const fs::path& dir, const std::string& input) {
    return run_vorn_args(dir, {}, input);
}

// Parameters of the example case, as they are after reading (SI units).
inline void set_example_parameters(Model& m) {
    m.Opt_SC = 1;
    m.Opt_Mat = 1;
    m.Opt_Cable = 2;
    m.NB = 20;
    m.NS = 12;
    m.w = 0.005;
    m.Th1 = m.Th2 = 0.0016;
    m.d_fil_in = 0.0003;
    m.d_fil_out = 0.0007;
    m.DiamStr = 0.000825;
    m.TPFil = 0.015;
    m.TPStr = 0.060;
    m.Opt_CuSCRRR = 0;
    m.CuSC_con = 1.8;
    m.RRR_con = 100.0;
    m.MR_con = 5.0e-11;
    m.F1_Ba1 = m.F2_Ba1 = m.F1_Ba2 = m.F2_Ba2 = 1.0;
    m.NBSF = 2;
    m.d_RL = 0.010;
    m.TauIF = 0.015;
    m.RaCon = 20.0e-6;
    m.RcCon = 15.0e-6;
    m.RcCore = 100.0e-6;
    m.Core_pos1 = 2;
    m.Core_pos2 = 4;
    m.Opt_RsCalc = 1;
    m.RhoMin = m.RhoIc = 1.0e-14;
    m.nPow = 30;
    m.Opt_Ic = 1;
    m.IcCon = 500.0;
    m.TBath = 4.2;
    m.F_HF_str = m.F_cont = m.P_cont = m.F_ISCL = 1.0;
    m.F_HF_Ad = m.F_HF_Cr = 1.0;
    m.Opt_SurfVol = 1;
    m.A_Ad_con = 0.5e-6;
    m.A_Cr_con = 0.4e-6;
    m.A_He_con = 0.3e-6;
    m.Vol_He_con = 0.05e-9;
    m.F_Vol_He = m.F_A_He = 1.0;
    m.Th_ins_1 = m.Th_ins_2 = m.Th_ins_f = 0.0001;
    m.k_ins_1 = m.k_ins_2 = m.k_ins_f = 0.1;
    m.F_ins_1 = m.F_ins_2 = m.F_ins_f = 1.0;
    m.NrSteps_inp = 3;
    m.VoltStop = 1000.0e-6;
    m.NBMut = 2;
    m.F_SolAcc = 0.1;
    m.SolAcc = 0.001;
    m.NrRunT = 1;
    m.NrItR0 = 5;
    m.CntR_M = 5;
    m.FRsLim = 5.0;
    m.CsAcc = 0.1;
    m.RhoAcc = 1.0e-13;
    m.NrItT_M = 50;
    m.TincrM = 1.0;
    m.TsAcc = 0.001;
    m.HFAccRel = 0.01;
    m.HFAccAbs = 0.001;
    m.NB1_M = 1;
    m.NB2_M = 20;
    m.dt_Prog = 0.001;
    m.dT_Prog = 0.1;
    m.dI_Prog = 10.0;
    m.dt_NTS = 0.01;
    m.dT_NTS = 1.0;
    m.dI_NTS = 100.0;
    m.Opt_PrIter = 1;
    m.NrWrArrays = 2;
    m.NrSignals = 1;
    m.One = 1.0;
    m.EffLC = 1.0;
    m.NrItBack = 3;
    m.Text_Opt = "reserved    ";
}

}  // namespace vorn::test
