// Case set-up: constants, the case from the command line or the console
// dialogue, the directories of the case (made with --create, cleared of
// earlier results with --fresh) and the log and messages files.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "control/checkpoint.hpp"
#include "control/control.hpp"
#include "control/messages.hpp"
#include "support/listread.hpp"

namespace vorn {

namespace fs = std::filesystem;

namespace {

// Directory and file names are at most 80 characters; longer names are cut.
constexpr std::size_t kNameLength = 80;
// Each console answer is kept to its first 20 characters.
constexpr std::size_t kAnswerLength = 20;

std::string trim_right(std::string s) {
    const auto end = s.find_last_not_of(' ');
    s.erase(end == std::string::npos ? 0 : end + 1);
    return s;
}

// The name cut to n characters; a cut is reported as a warning.
std::string cut(Model& m, std::string s, std::size_t n, const char* what) {
    if (s.size() <= n) return s;
    const std::string whole = s;
    s.resize(n);
    warn(m, std::string("Warning: the ") + what + " \"" + whole + "\" is longer than " +
                std::to_string(n) + " characters; it is cut to \"" + s + "\"");
    return s;
}

// An answer or argument: at most 20 characters, trailing blanks removed.
std::string case_name(Model& m, std::string s, const char* what) {
    return trim_right(cut(m, std::move(s), kAnswerLength, what));
}

std::string ask(Model& m, const char* what) {
    std::string answer;
    if (!read_console_item(*m.con_in, answer))
        stop_on_console(m, std::string("No ") + what + " given: the console input has ended");
    return case_name(m, answer, what);
}

bool is_directory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// With --create: makes the missing directory and says so.  False when it is
// missing all the same.
bool create_if_asked(Model& m, const std::string& dir, const char* what) {
    if (!m.opts.create) return false;
    std::error_code ec;
    fs::create_directory(dir, ec);
    if (!is_directory(dir)) return false;
    warn(m, std::string("Created the ") + what + " " + shown_path(dir));
    return true;
}

// The directory was not found: the message names it as tried, absolute, and
// says what to do.
std::string not_found(const char* what, const std::string& dir, const std::string& hint) {
    return std::string(what) + " not found: " + shown_path(dir) + " (" + hint + ")";
}

std::string root_hint(const Model& m) {
    if (fs::path(m.root_dir).is_absolute()) return "another root: vorn --root DIR";
    std::error_code ec;
    return "the root directory " + m.root_dir + " is taken relative to the working directory " +
           fs::current_path(ec).string() + "; another root: vorn --root DIR";
}

const char* const kCreateHint = "create it, or run vorn with --create";

// --fresh: every file "*.dat" of the case's RunNN directories goes; the
// program writes nothing else there and reads nothing from there.
void remove_earlier_results(Model& m) {
    try {
        std::error_code ec;
        for (const auto& run : fs::directory_iterator(m.case_dir, ec)) {
            const std::string name = run.path().filename().string();
            if (!run.is_directory(ec) || !is_run_dir_name(name)) continue;
            std::vector<fs::path> results;
            // Result files, and the temporary ones (".dat.tmp") that a killed
            // run may have left while writing a snapshot or report.
            for (const auto& f : fs::directory_iterator(run.path(), ec)) {
                const std::string fn = f.path().filename().string();
                const bool tmp = fn.size() > 8 && fn.compare(fn.size() - 8, 8, ".dat.tmp") == 0;
                if (f.is_regular_file(ec) && (f.path().extension() == ".dat" || tmp))
                    results.push_back(f.path());
            }
            int removed = 0;
            for (const fs::path& f : results)
                if (fs::remove(f, ec)) ++removed;
            if (removed > 0)
                warn(m, "Removed " + std::to_string(removed) +
                            " result files of earlier runs from " +
                            shown_path(run.path().string() + "/"));
        }
    } catch (const fs::filesystem_error& e) {
        stop_with_message(m, std::string("Cannot remove the results of earlier runs (--fresh): ") +
                                 e.what());
    }
}

}  // namespace

bool is_run_dir_name(const std::string& n) {
    return n.size() == 5 && n.compare(0, 3, "Run") == 0 &&
           std::isdigit(static_cast<unsigned char>(n[3])) &&
           std::isdigit(static_cast<unsigned char>(n[4]));
}

void compose_case_directories(Model& m) {
    // Everything below the root is fixed: root/sub/sub-case/{input,output}/.
    m.case_dir = cut(m, m.root_dir + m.sub_dir + "/" + m.sub_dir + "-" + m.case_nr, kNameLength,
                     "case directory");
    m.input_dir = cut(m, m.case_dir + "/input/", kNameLength, "input directory");
    m.output_dir = cut(m, m.case_dir + "/output/", kNameLength, "output directory");
}

namespace {

// One run of a case at a time: a second one stops before it writes
// anything; the lock of a run that died is taken over with a warning.
void lock_case(Model& m) {
    std::string holder;
    switch (m.case_lock.take(m.output_dir, holder)) {
        case CaseLock::Result::Taken:
            return;
        case CaseLock::Result::TakenOver:
            warn(m, "Warning: the lock " + shown_path(m.case_lock.path()) + " of process " + holder +
                        ", which has ended, is taken over");
            return;
        case CaseLock::Result::Held:
            stop_on_console(m, "The case is being run by process " + holder + " (lock " +
                                   shown_path(m.case_lock.path()) +
                                   "): wait until it ends, or stop it. Program aborted");
        case CaseLock::Result::Failed:
            stop_on_console(m, "Cannot make the lock file " + shown_path(m.case_lock.path()) +
                                   ": " + holder + ". Program aborted");
    }
}

}  // namespace

void initialize_1(Model& m) {
    m.Pi = 3.141592653589793;
    m.Mu0 = 1.2566370614359173e-6;
    m.Two = 2.0;
    m.T_He_ref = 2.1652;
    m.Sep = ",";
    // The program's own version, in the 12 characters the summary gives it.
    m.Version = VORN_VERSION;
    m.Version.resize(std::max<std::size_t>(m.Version.size(), 12), ' ');
    m.DbgMsg = 0;
    m.root_dir = m.opts.root_dir.empty() ? std::string(VORN_ROOT_DIR) : m.opts.root_dir;
    m.MutExplicit = m.opts.explicit_mutual ? 1 : 0;
    m.CoupledStep = m.opts.section_by_section ? 0 : 1;
    m.MemLimitMB = m.opts.mem_limit_mb;
    if (m.root_dir.back() != '/') m.root_dir += '/';

    if (m.opts.sub_dir.empty()) {  // the console dialogue
        console(m, "Please enter the name of the sub-directory for this simulation");
        m.sub_dir = ask(m, "sub-directory name");
        console(m, "");
        console(m, "Please enter the number the simulation case (e.g. 045)");
        m.case_nr = ask(m, "case number");
    } else {
        m.sub_dir = case_name(m, m.opts.sub_dir, "sub-directory name");
        m.case_nr = case_name(m, m.opts.case_nr, "case number");
    }
    compose_case_directories(m);

    // The program creates files; directories only with --create.
    if (!is_directory(m.case_dir))
        stop_on_console(m, not_found("Case directory", m.case_dir, root_hint(m)));
    if (!is_directory(m.output_dir) && !create_if_asked(m, m.output_dir, "output directory"))
        stop_on_console(m, not_found("Output directory", m.output_dir, kCreateHint));
    lock_case(m);
    // Before the messages file is opened: a resumed run first cuts it back
    // to its length at the checkpoint.
    checkpoint_start(m);
    const std::string log = m.output_dir + "VORN_log.dat";
    if (!m.log_unit.open(log, OpenMode::Keep))
        stop_on_console(m, "Cannot open the log file " + shown_path(log));
    const std::string messages = m.output_dir + "VORN_messages.dat";
    if (!m.msg_unit.open(messages, OpenMode::Append))
        stop_on_console(m, "Cannot open the messages file " + shown_path(messages));

    msg(m, "Input data should be available in " + m.input_dir);
    msg(m, "Results will be saved in " + m.output_dir);
    msg(m, "");
    write_kept_warnings(m);
    if (!is_directory(m.input_dir))
        stop_with_message(
            m, not_found("Input directory", m.input_dir,
                         "it holds the input files inp_STEP01.txt to inp_STEP16.txt"));
    if (m.opts.fresh) remove_earlier_results(m);
    if (m.DbgMsg == 1) msg(m, "Initialize_1 finished");
}

}  // namespace vorn
