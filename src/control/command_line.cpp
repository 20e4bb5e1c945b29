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
    "'vorn set CASE_DIR NAME=VALUE ...' and 'vorn get CASE_DIR [NAME ...]' edit and\n"
    "show the values of a case's step files by name (see 'vorn set --help');\n"
    "'vorn report CASE_DIR' prints the result block of the case's last run.  A case\n"
    "whose SUBDIR is literally set, get or report runs as 'vorn -- set 001'.\n"
    "The case lives in ROOT/SUBDIR/SUBDIR-CASE/ with the directories input/ (read),\n"
    "output/ and Run01/, Run02/, ... (written); e.g. 'vorn Demo 001' runs\n"
    "ROOT/Demo/Demo-001/.  A relative ROOT is taken from the working directory.\n"
    "--fresh leaves input/ and output/ as they are; VORN_messages.dat is appended to.\n"
    "A run writes output/VORN_checkpoint.bin every --checkpoint-every seconds and when\n"
    "SIGTERM or SIGINT stops it; 'vorn --resume SUBDIR CASE' continues from there.\n"
    "Exit status: 0 after \"Simulation finished\", 1 after a stop (the reason is on the\n"
    "error stream and the last line of output/VORN_messages.dat), 2 after a usage error,\n"
    "128 + the signal's number after SIGINT (130) or SIGTERM (143).";

// "[SUBDIR CASE]": the two arguments come together or not at all.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app && app->get_parent()) return CLI::Formatter::make_usage(app, name);
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
    app.add_flag("--section-by-section", o.section_by_section,
                 "solve a step's temperatures section by section and its resistances by the "
                 "fixed relaxation of each level (the older scheme; a quench then needs much "
                 "shorter time steps)");
    app.add_option("--mem-limit", o.mem_limit_mb,
                   "memory the case may use, in MB (default: what the system has available)")
        ->type_name("MB")
        ->check(CLI::PositiveNumber);
    CLI::Option* fresh = app.add_flag(
        "--fresh", o.fresh, "first remove the results (*.dat) of earlier runs from RunNN/");
    app.add_option("--checkpoint-every", o.checkpoint_every,
                   "wall-clock time between checkpoints of a run, in s (default 1800; 0: only "
                   "when SIGTERM or SIGINT stops it)")
        ->type_name("SECONDS")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--resume", o.resume,
                 "continue the case from its checkpoint (output/VORN_checkpoint.bin), with "
                 "the results written up to it")
        ->excludes(fresh);
}

// `vorn set` and `vorn get`.
void declare_edit_commands(CLI::App& app, RunOptions& o) {
    CLI::App* set = app.add_subcommand(
        "set", "rewrite named values of a case's step files in place and validate the case");
    set->footer(
        "Example: vorn set VORN_data/Demo/Demo-001 RcCon=30 RaCon=60\n"
        "Names as in docs/input-files.md (vorn get CASE_DIR lists them); values in the units\n"
        "of the files.  The other values and the layout of the files stay as they are.\n"
        "When a name is unknown, a value has the wrong type or the edited case does not\n"
        "pass the validation of a run, the files are left as they were (exit status 1).");
    set->add_option("CASE_DIR", o.edit_case, "the case directory (holding input/)")
        ->required()
        ->type_name("");
    set->add_option("NAME=VALUE", o.edit_args, "the values to set")->required()->type_name("");
    CLI::App* get = app.add_subcommand("get", "print named values of a case with their units");
    get->footer("Without NAME, every value of the step files is printed.");
    get->add_option("CASE_DIR", o.edit_case, "the case directory (holding input/)")
        ->required()
        ->type_name("");
    get->add_option("NAME", o.edit_args, "the names of the values")->type_name("");
    CLI::App* report = app.add_subcommand(
        "report", "print the result block of a case's last run (from its output/Summary.dat)");
    report->add_option("CASE_DIR", o.edit_case, "the case directory (holding output/)")
        ->required()
        ->type_name("");
    for (CLI::App* sub : {set, get, report})
        sub->set_help_flag("-h,--help", "print this help and exit");
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
    declare_edit_commands(app, o);

    try {
        app.parse(argc, argv);
        for (const char* name : {"set", "get", "report"})
            if (app.got_subcommand(name)) {
                o.edit = name;
                return kEditCase;
            }
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
