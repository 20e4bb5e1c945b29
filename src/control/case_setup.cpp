// Case set-up: constants, the console dialogue, the directories of the case
// and the log and messages files.
#include <filesystem>
#include <string>

#include "control/control.hpp"
#include "control/messages.hpp"
#include "support/listread.hpp"

namespace vorn {

namespace {

// Directory and file names are at most 80 characters; longer names are cut.
constexpr std::size_t kNameLength = 80;
// Each console answer is kept to its first 20 characters.
constexpr std::size_t kAnswerLength = 20;

std::string cut(std::string s, std::size_t n) {
    if (s.size() > n) s.resize(n);
    return s;
}

std::string trim_right(std::string s) {
    const auto end = s.find_last_not_of(' ');
    s.erase(end == std::string::npos ? 0 : end + 1);
    return s;
}

std::string ask(Model& m, const char* what) {
    std::string answer;
    if (!read_console_item(*m.con_in, answer))
        stop_on_console(m, std::string("No ") + what + " given: the console input has ended");
    return trim_right(cut(answer, kAnswerLength));
}

bool is_directory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

void compose_case_directories(Model& m) {
    // Everything below the root is fixed: root/sub/sub-case/{input,output}/.
    m.case_dir = cut(m.root_dir + m.sub_dir + "/" + m.sub_dir + "-" + m.case_nr, kNameLength);
    m.input_dir = cut(m.case_dir + "/input/", kNameLength);
    m.output_dir = cut(m.case_dir + "/output/", kNameLength);
}

void initialize_1(Model& m) {
    m.Pi = 3.141592653589793;
    m.Mu0 = 1.2566370614359173e-6;
    m.Two = 2.0;
    m.T_He_ref = 2.1652;
    m.Sep = ",";
    m.Version = "Aug 2013    ";
    m.DbgMsg = 0;
    m.root_dir = VORN_ROOT_DIR;

    console(m, "Please enter the name of the sub-directory for this simulation");
    m.sub_dir = ask(m, "sub-directory name");
    console(m, "");
    console(m, "Please enter the number the simulation case (e.g. 045)");
    m.case_nr = ask(m, "case number");
    compose_case_directories(m);

    // The program creates files, not directories: say which one is missing.
    if (!is_directory(m.case_dir))
        stop_on_console(m, "Case directory not found: " + m.case_dir);
    if (!is_directory(m.output_dir))
        stop_on_console(m, "Output directory not found: " + m.output_dir);
    if (!m.log_unit.open(m.output_dir + "VORN_log.dat", OpenMode::Keep))
        stop_on_console(m, "Cannot open the log file " + m.output_dir + "VORN_log.dat");
    if (!m.msg_unit.open(m.output_dir + "VORN_messages.dat", OpenMode::Append))
        stop_on_console(m, "Cannot open the messages file " + m.output_dir + "VORN_messages.dat");

    msg(m, "Input data should be available in " + m.input_dir);
    msg(m, "Results will be saved in " + m.output_dir);
    msg(m, "");
    if (!is_directory(m.input_dir)) {
        const std::string text = "Input directory not found: " + m.input_dir;
        console(m, text);
        stop_with_message(m, text);
    }
    if (m.DbgMsg == 1) msg(m, "Initialize_1 finished");
}

}  // namespace vorn
