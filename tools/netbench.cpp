// Measurements of the network solver on a case, for the benchmark scripts.
//
//   vorn_netbench SUB CASE run [explicit]
//       runs the case (from the working directory, like vorn) with the
//       implicit or the explicit coupling to the other bands and prints the
//       exit status, wall time, time steps, implicit solutions,
//       factorisations, GMRES iterations, network solutions of any kind and
//       the peak resident memory (kB); the inner iterations per step are in the run's
//       VORN_convergency.dat.
//   vorn_netbench SUB CASE spectral DT...
//       sets the case up, fixes the resistances at their t = 0 values and
//       prints, for each time step DT (s), the spectral radius of the
//       explicit scheme's error propagation.
#include <sys/resource.h>

#include <chrono>
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

namespace {

using namespace vorn;

int run_case(Model& m, bool expl) {
    m.MutExplicit = expl ? 1 : 0;
    const auto t0 = std::chrono::steady_clock::now();
    const int status = vorn_main(m);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf(
        "status %d wall %.2f s steps %d solutions %d factorisations %d krylov %ld network %d "
        "peak_kb %ld\n",
        status, wall, m.NTS_end, m.Stats.NrSolve, m.Stats.NrFactor, m.Stats.NrKrylov,
        m.Stats.NrNetwork, ru.ru_maxrss);
    return status;
}

int spectral(Model& m, int argc, char** argv) {
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vorn_netbench SUB CASE run [explicit] | spectral DT...\n");
        return 2;
    }
    Model m;
    std::ofstream null_out("/dev/null");
    m.con_out = &null_out;
    std::istringstream answers(std::string(argv[1]) + "\n" + argv[2] + "\n");
    m.con_in = &answers;
    const std::string mode = argv[3];
    if (mode == "spectral") return spectral(m, argc, argv);
    return run_case(m, argc > 4 && std::string(argv[4]) == "explicit");
}
