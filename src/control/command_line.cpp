// The command line, with CLI11.  An option is one field of RunOptions
// (control/control_state.hpp) and one line in declare_options below; the
// Model receives the whole struct as m.opts.
#include "control/command_line.hpp"

#include <CLI/CLI.hpp>
#include <string>

#ifndef VORN_VERSION
#define VORN_VERSION "unknown"
#endif

namespace vorn {

namespace {

const char* const kAbout =
    "VORN simulates, in time, the current distribution, the coupling losses, the heating\n"
    "and the quench of a superconducting two-layer flat multi-strand cable.";

const char* const kFooter =
    "Without SUBDIR and CASE, vorn asks for them on the console (the dialogue).\n"
    "The case lives in ROOT/SUBDIR/SUBDIR-CASE/ with the directories input/ (read),\n"
    "output/ and Run01/, Run02/, ... (written); e.g. 'vorn Demo 001' runs\n"
    "ROOT/Demo/Demo-001/.  A relative ROOT is taken from the working directory.\n"
    "--fresh leaves input/ and output/ as they are; VORN_messages.dat is appended to.\n"
    "Exit status: 0 after \"Simulation finished\", 1 after a stop (the reason is on the\n"
    "error stream and the last line of output/VORN_messages.dat), 2 after a usage error.";

// "[SUBDIR CASE]": the two arguments come together or not at all.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string name) const override {
        return "Usage: " + name + " [OPTIONS] [SUBDIR CASE]\n";
    }
};

// The options, one line each.
void declare_options(CLI::App& app, RunOptions& o) {
    app.add_option("--root", o.root_dir, "root directory of the cases (default " VORN_ROOT_DIR ")")
        ->type_name("DIR");
    app.add_flag("--create", o.create, "create the case's missing output/ and RunNN/");
    app.add_flag("--explicit-mutual", o.explicit_mutual,
                 "take the inductive coupling to other bands from the previous iteration "
                 "(the older scheme; fails at short time steps)");
    app.add_flag("--fresh", o.fresh,
                 "first remove the results (*.dat) of earlier runs from RunNN/");
}

}  // namespace

const char* program_version() {
    return VORN_VERSION;
}

int parse_command_line(int argc, const char* const* argv, RunOptions& o, std::ostream& out,
                       std::ostream& err) {
    CLI::App app{kAbout, "vorn"};
    app.formatter(std::make_shared<Formatter>());
    app.footer(kFooter);
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", std::string("vorn ") + VORN_VERSION,
                         "print the version and exit");
    CLI::Option* sub =
        app.add_option("SUBDIR", o.sub_dir, "sub-directory of the case, e.g. Demo")->type_name("");
    CLI::Option* nr = app.add_option("CASE", o.case_nr, "case number, e.g. 001")->type_name("");
    declare_options(app, o);

    try {
        app.parse(argc, argv);
        if (sub->count() != nr->count())
            throw CLI::ArgumentMismatch(
                "give both SUBDIR and CASE, or neither of them for the console dialogue");
        if (sub->count() > 0 && (o.sub_dir.empty() || o.case_nr.empty()))
            throw CLI::ValidationError("SUBDIR and CASE must not be empty");
        if (app.count("--root") > 0 && o.root_dir.empty())
            throw CLI::ValidationError("--root: the directory must not be empty");
    } catch (const CLI::CallForHelp&) {
        out << app.help() << std::flush;
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n' << std::flush;
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "vorn: " << e.what() << '\n'
            << Formatter().make_usage(&app, "vorn")
            << "Run 'vorn --help' for the options and the layout of a case.\n"
            << std::flush;
        return kUsageStatus;
    }
    return kRunCase;
}

}  // namespace vorn
