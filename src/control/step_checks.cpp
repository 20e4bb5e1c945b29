#include "control/step_checks.hpp"

#include <cmath>
#include <cstdlib>
#include <string>

#include "control/messages.hpp"
#include "support/fmtwrite.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// The only mutable global of the program: a signal handler cannot reach the
// model, so it leaves the signal number here (0: none).
volatile std::sig_atomic_t g_interrupt = 0;

extern "C" void remember_signal(int sig) { g_interrupt = sig; }

struct Checked {
    RArr2 Model::*array;
    const char* quantity;  // what it is, with its name
    const char* index;     // what its second index counts
};

// Temperatures, currents, resistances and powers of a converged step.
const Checked kChecked[] = {
    {&Model::Ts, "strand temperature Ts", "section"},
    {&Model::THs, "helium temperature THs", "section"},
    {&Model::Cs, "strand current Cs", "section"},
    {&Model::Ca, "adjacent-contact current Ca", "contact"},
    {&Model::Cc, "crossing-contact current Cc", "contact"},
    {&Model::Rs, "strand resistance Rs", "section"},
    {&Model::Ps, "strand power Ps", "section"},
    {&Model::Pa, "adjacent-contact power Pa", "contact"},
    {&Model::Pc, "crossing-contact power Pc", "contact"},
    {&Model::PFs, "filament coupling power PFs", "section"},
};

}  // namespace

InterruptHandlers::InterruptHandlers() {
    g_interrupt = 0;
    old_int_ = std::signal(SIGINT, remember_signal);
    old_term_ = std::signal(SIGTERM, remember_signal);
}

InterruptHandlers::~InterruptHandlers() {
    std::signal(SIGINT, old_int_ == SIG_ERR ? SIG_DFL : old_int_);
    std::signal(SIGTERM, old_term_ == SIG_ERR ? SIG_DFL : old_term_);
}

int interrupt_signal() { return g_interrupt; }

void stop_if_interrupted(Model& m, double t_written) {
    const int sig = g_interrupt;
    if (sig == 0) return;
    report_stop_reason(m, "Simulation interrupted at t = " + seconds_text(t_written) +
                              " s");
    throw ProgramStop{128 + sig};
}

void signal_after_steps(Model& m, bool checkpointed) {
    const char* env = std::getenv("VORN_SIGNAL_AFTER_STEPS");
    if (!env || !*env) return;
    char* end = nullptr;
    const long n = std::strtol(env, &end, 10);
    const int sig = *end == ':' ? int(std::strtol(end + 1, nullptr, 10)) : SIGTERM;
    if (!checkpointed) ++m.StepsDone;
    if (n <= 0 || m.StepsDone != n || checkpointed != (sig == SIGKILL)) return;
    std::raise(sig);
}

void check_finite_step(Model& m) {
    for (const Checked& c : kChecked) {
        const RArr2& a = m.*c.array;
        if (!a.allocated()) continue;
        for (int b = a.lo1(); b <= a.hi1(); ++b)
            for (int i = a.lo2(); i <= a.hi2(); ++i) {
                const double v = a(b, i);
                if (std::isfinite(v)) continue;
                stop_with_message(
                    m, std::string("Not a finite number: ") + c.quantity + " = " +
                           (std::isnan(v) ? "NaN" : v > 0 ? "+Infinity" : "-Infinity") +
                           " in band " + std::to_string(b) + ", " + c.index + " " +
                           std::to_string(i) + ", at time step " + std::to_string(m.NTS) +
                           ", t = " + seconds_text(m.Time) + " s. Program aborted");
            }
    }
}

}  // namespace vorn
