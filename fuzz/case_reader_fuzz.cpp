// The whole case reader: the input is cut at every line "%%" into the files
// of a case's input directory, in the order of kFiles below (an empty part:
// the file is absent), and then read and validated as the program does at
// start-up: the step files with their auxiliary files, the validation, the
// output selections.  A ProgramStop, ReadError or FatalError is the
// program's answer to a bad case; anything else (a crash, a sanitizer
// report, a leak, a hang, a huge allocation) is a fault.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "control/model.hpp"
#include "input/input.hpp"
#include "support/listread.hpp"
#include "support/stop.hpp"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFiles[] = {
    "inp_STEP01.txt",          "inp_STEP02.txt",     "inp_STEP03.txt",
    "inp_STEP04.txt",          "inp_STEP05.txt",     "inp_STEP06.txt",
    "inp_STEP07.txt",          "inp_STEP08.txt",     "inp_STEP09.txt",
    "inp_STEP10.txt",          "inp_STEP11.txt",     "inp_STEP12.txt",
    "inp_STEP13.txt",          "inp_STEP14.txt",     "inp_STEP15.txt",
    "inp_STEP16.txt",          "inp_TimeSteps.txt",  "inp_WrArrays.txt",
    "inp_Signals.txt",         "inp_StrCur.txt",     "inp_EP.txt",
    "inp_QE.txt",              "inp_StrMech.txt",    "inp_RRR_per_section.txt",
    "inp_LongVarB.txt",        "inp_B-posit.txt",    "inp_RaRc_per_strand.txt",
    "inp_RaSpecial.txt",       "inp_RcSpecial.txt",  "inp_LongVarR.txt",
    "inp_RhoSpecial.txt",      "inp_LongVarRho.txt", "inp_IcLocal.txt",
    "inp_StrIc.txt",           "inp_SurfVol.txt",
};
constexpr std::size_t kNrFiles = sizeof kFiles / sizeof kFiles[0];

// The case directory of this process: <tmp>/vorn_fuzz_<pid>/{input,output}.
const fs::path& case_dir() {
    static const fs::path dir = [] {
        // In memory when the system offers it: creating files on a disk
        // would take most of the time of a run.
        std::error_code e;
        const fs::path base = fs::is_directory("/dev/shm", e) ? fs::path("/dev/shm")
                                                               : fs::temp_directory_path();
        // libFuzzer may end the process without running exit handlers:
        // directories of processes that are gone are removed here.
        const std::string prefix = "vorn_fuzz_";
        for (const auto& old : fs::directory_iterator(base, e)) {
            const std::string name = old.path().filename().string();
            if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size() ||
                name.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
                continue;
            std::error_code gone;
            if (!fs::exists("/proc/" + name.substr(prefix.size()), gone)) fs::remove_all(old, gone);
        }
        const fs::path d = base / (prefix + std::to_string(::getpid()));
        fs::create_directories(d / "input");
        fs::create_directories(d / "output");
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(case_dir(), ec);
        });
        return d;
    }();
    return dir;
}

std::vector<std::string> split_files(std::string_view text) {
    std::vector<std::string> parts(1);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t e = text.find('\n', pos);
        const std::size_t end = e == std::string_view::npos ? text.size() : e + 1;
        std::string_view line = text.substr(pos, end - pos);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.remove_suffix(1);
        if (bare == "%%") {
            if (parts.size() == kNrFiles) break;  // the rest belongs to no file
            parts.emplace_back();
        } else {
            parts.back().append(line);
        }
        pos = end;
    }
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& dir = case_dir();
    const fs::path input = dir / "input";
    const std::vector<std::string> parts =
        split_files(std::string_view(reinterpret_cast<const char*>(data), size));
    for (std::size_t k = 0; k < kNrFiles; ++k) {
        std::error_code ec;
        if (k < parts.size() && !parts[k].empty())
            std::ofstream(input / kFiles[k], std::ios::binary | std::ios::trunc) << parts[k];
        else
            fs::remove(input / kFiles[k], ec);
    }

    vorn::Model m;
    std::ostringstream con;
    m.con_out = &con;
    m.con_err = &con;
    m.input_dir = input.string() + "/";
    m.output_dir = (dir / "output").string() + "/";
    m.msg_unit.open(m.output_dir + "VORN_messages.dat", vorn::OpenMode::Replace);
    try {
        vorn::read_input_parameters(m);
        vorn::check_input_parameters(m);
        vorn::read_other_files(m);
    } catch (const vorn::ProgramStop&) {
    } catch (const vorn::ReadError&) {
    } catch (const vorn::FatalError&) {
    }
    return 0;
}
