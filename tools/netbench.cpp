// Measurements of the network solver on a case, for the benchmark scripts.
//
//   vorn_netbench SUB CASE run [explicit | baseline]
//       runs the case (from the working directory, like vorn) with the
//       implicit or the explicit coupling to the other bands and prints the
//       exit status, wall time, time steps, implicit solutions,
//       factorisations, GMRES iterations, network solutions of any kind and
//       the peak resident memory (kB); the inner iterations per step are in the run's
//       VORN_convergency.dat.  It also prints the process CPU time of the
//       run and that of the case's set-up alone (made once more beforehand),
//       so that the time of the steps is cpu - setup_cpu.  baseline is the
//       explicit coupling with a fresh elimination of the band at every
//       network solution (the reference path of the benchmark).
//   vorn_netbench SUB CASE dump FILE
//       sets the case up, assembles the band matrix of the first time step
//       with inductive terms (resistances at their t = 0 values, the time
//       step of the schedule's first row) and writes it to FILE (binary,
//       native byte order):
//         "VORNBAND" (8 bytes), int32 NEq, NCa, NBw,
//         per row i = 1..NEq: int32 lo, hi (band columns of its first and
//           last nonzero, lo > hi for an empty row), doubles A(i, lo..hi),
//         NEq doubles: the right-hand side A(i, NCa).
//   vorn_netbench SUB CASE spectral DT...
//       sets the case up, fixes the resistances at their t = 0 values and
//       prints, for each time step DT (s), the spectral radius of the
//       explicit scheme's error propagation.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "control/control.hpp"
#include "control/driver.hpp"
#include "field/field.hpp"
#include "input/input.hpp"
#include "network/network.hpp"
#include "support/stop.hpp"

namespace {

using namespace vorn;

double cpu_seconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           1e-6 * double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

void set_up(Model& m);

// CPU seconds of the case's set-up (input, inductances, arrays), made once
// on a store of its own before the run: the run's time less this is the
// time of its time steps.
double setup_cpu(const std::string& dialogue, std::ostream* out) {
    Model m;
    m.con_out = out;
    std::istringstream answers(dialogue);
    m.con_in = &answers;
    const double t0 = cpu_seconds();
    set_up(m);
    return cpu_seconds() - t0;
}

int run_case(Model& m, const std::string& dialogue, bool expl, bool fresh) {
    const double setup = setup_cpu(dialogue, m.con_out);
    // initialize_1 takes the solver choice from the options.
    m.opts.explicit_mutual = expl;
    m.FreshFactor = fresh ? 1 : 0;
    const double c0 = cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    const int status = vorn_main(m);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpu_seconds() - c0;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf(
        "status %d wall %.2f s cpu %.2f s setup_cpu %.2f s steps %d solutions %d "
        "factorisations %d krylov %ld substitutions %ld network %d peak_kb %ld\n",
        status, wall, cpu, setup, m.NTS_end, m.Stats.NrSolve, m.Stats.NrFactor,
        m.Stats.NrKrylov, m.Stats.NrSubst, m.Stats.NrNetwork, ru.ru_maxrss);
    return status;
}

// The case set up and its resistances defined, as at the start of the run.
void set_up(Model& m) {
    initialize_1(m);
    read_input_parameters(m);
    check_input_parameters(m);
    read_other_files(m);
    set_up_case(m);
    m.Run = 1;
    initialize_run(m);
    initialize_iter(m);
    rs_definition(m);
    m.NTS = 1;
    m.NBw = 7 * m.NS - 1;
    m.NCa = 16 * m.NS - 6;
}

int spectral(Model& m, int argc, char** argv) {
    set_up(m);
    for (int k = 4; k < argc; ++k) {
        m.dt = std::atof(argv[k]);
        create_system_matrix(m);
        fill_band_1(m);
        fill_array(m);
        fill_band_nb(m);
        std::printf("dt %-10.3g rho %.4f\n", m.dt, explicit_spectral_radius(m, 200));
        release_system_matrix(m);
    }
    return 0;
}

int dump(Model& m, const char* file) {
    set_up(m);
    if (m.Opt_Cable != 2 || m.NrSteps_inp < 1) {
        std::fprintf(stderr, "dump: the case must be a finite cable with time steps\n");
        return 2;
    }
    m.dt = m.dt_inp(1);
    create_system_matrix(m);
    fill_band_1(m);
    fill_array(m);
    fill_band_nb(m);
    std::FILE* f = std::fopen(file, "wb");
    if (!f) {
        std::fprintf(stderr, "dump: cannot open %s\n", file);
        return 2;
    }
    const std::int32_t head[3] = {m.NEq, m.NCa, m.NBw};
    std::fwrite("VORNBAND", 1, 8, f);
    std::fwrite(head, sizeof head, 1, f);
    long nnz = 0;
    for (int i = 1; i <= m.NEq; ++i) {
        std::int32_t lo = 1, hi = m.NCa - 1;
        while (lo <= hi && m.A(i, lo) == 0.0) ++lo;
        while (hi >= lo && m.A(i, hi) == 0.0) --hi;
        const std::int32_t r[2] = {lo, hi};
        std::fwrite(r, sizeof r, 1, f);
        for (int c = lo; c <= hi; ++c) {
            const double v = m.A(i, c);
            std::fwrite(&v, sizeof v, 1, f);
            if (v != 0.0) ++nnz;
        }
    }
    for (int i = 1; i <= m.NEq; ++i) {
        const double v = m.A(i, m.NCa);
        std::fwrite(&v, sizeof v, 1, f);
    }
    const bool ok = std::fclose(f) == 0;
    std::printf("NEq %d NCa %d NBw %d nonzeros %ld dt %g\n", m.NEq, m.NCa, m.NBw, nnz, m.dt);
    release_system_matrix(m);
    return ok ? 0 : 2;
}

}  // namespace

static int bench_main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: vorn_netbench SUB CASE run [explicit | baseline] | spectral DT... | "
                     "dump FILE\n");
        return 2;
    }
    Model m;
    std::ofstream null_out("/dev/null");
    m.con_out = &null_out;
    const std::string dialogue = std::string(argv[1]) + "\n" + argv[2] + "\n";
    std::istringstream answers(dialogue);
    m.con_in = &answers;
    const std::string mode = argv[3];
    if (mode == "spectral") return spectral(m, argc, argv);
    if (mode == "dump" && argc == 5) return dump(m, argv[4]);
    if (mode != "run") {
        std::fprintf(stderr, "vorn_netbench: unknown mode %s\n", mode.c_str());
        return 2;
    }
    const std::string how = argc > 4 ? argv[4] : "";
    return run_case(m, dialogue, how == "explicit" || how == "baseline", how == "baseline");
}

// The set-up of a case outside vorn_main (its CPU time, the dump, the
// spectral radii) stops like the program on a broken case: its message is
// written, and the status is that of the stop.
int main(int argc, char** argv) {
    try {
        return bench_main(argc, argv);
    } catch (const vorn::ProgramStop& stop) {
        return stop.status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorn_netbench: %s\n", e.what());
        return 2;
    }
}
