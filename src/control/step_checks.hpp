// Checks made between time steps: a request to stop from the operating
// system (SIGINT, SIGTERM), and numbers of a converged step that are not
// finite.
#pragma once

#include <csignal>

#include "control/model.hpp"

namespace vorn {

// While it lives, SIGINT and SIGTERM no longer end the process at once but
// are remembered; the driver acts on them between time steps.  The handlers
// that were there before are restored at its end.
class InterruptHandlers {
public:
    InterruptHandlers();
    ~InterruptHandlers();
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;

private:
    void (*old_int_)(int);
    void (*old_term_)(int);
};

// The signal received since the handlers were installed, 0 when none.
int interrupt_signal();

// When a signal has been received: writes "Simulation interrupted at t = ...
// s" (t: the time of the last step whose results are written, s) to the
// messages file and stops with the exit status 128 + signal number.
void stop_if_interrupted(Model& m, double t_written);

// Testing aid for stops at a chosen step: with VORN_SIGNAL_AFTER_STEPS=N or
// N:SIG in the environment the process sends itself signal SIG (default
// SIGTERM) after its N-th converged time step; SIGKILL after that step's
// checkpoint (`checkpointed`), any other signal before it.
void signal_after_steps(Model& m, bool checkpointed);

// Stops the program when a temperature, current, resistance or power of the
// converged step is not finite; the message names the quantity, the band,
// the section or contact, the time step and the time.
void check_finite_step(Model& m);

}  // namespace vorn
