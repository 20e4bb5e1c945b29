// Between time steps: numbers that are not finite stop the run with a
// message that says where; SIGINT and SIGTERM stop it after the step.
#include "control/step_checks.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <sstream>
#include <string>

#include "control/messages.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn {
namespace {

struct Step {
    test::TempDir dir;
    Model m;
    std::ostringstream out, err;
    Step() {
        m.msg_unit.open((dir.path() / "VORN_messages.dat").string(), OpenMode::Replace);
        m.con_out = &out;
        m.con_err = &err;
        m.NTS = 12;
        m.Time = 1.25e-4;
        // Two bands; sections 1..4, contacts 1..3.
        for (RArr2* a : {&m.Ts, &m.THs, &m.Cs, &m.Rs, &m.Ps, &m.PFs}) a->allocate(1, 2, 1, 4, 4.2);
        for (RArr2* a : {&m.Ca, &m.Pa, &m.Cc, &m.Pc}) a->allocate(1, 2, 1, 3, 0.0);
    }
    // The status of the stop, 0 when there was none.
    int check() {
        try {
            check_finite_step(m);
        } catch (const ProgramStop& s) {
            return s.status;
        }
        return 0;
    }
    std::string last_message() { return test::read_lines(dir.path() / "VORN_messages.dat").back(); }
};

TEST(FiniteStep, ANanOrInfinityStopsNamingQuantityPlaceStepAndTime) {
    {
        Step t;
        EXPECT_EQ(t.check(), 0);
        t.m.Ts(2, 3) = std::numeric_limits<double>::quiet_NaN();
        EXPECT_EQ(t.check(), kStopStatus);
        const std::string text =
            "Not a finite number: strand temperature Ts = NaN in band 2, section 3, at time "
            "step 12, t = 1.25000E-04 s. Program aborted";
        EXPECT_EQ(t.last_message(), text);
        EXPECT_EQ(t.err.str(), text + "\n");
    }
    {
        Step t;
        t.m.Cc(1, 3) = -std::numeric_limits<double>::infinity();
        t.m.Pa(2, 1) = std::numeric_limits<double>::infinity();  // found later: Cc comes first
        EXPECT_EQ(t.check(), kStopStatus);
        EXPECT_EQ(t.last_message(),
                  "Not a finite number: crossing-contact current Cc = -Infinity in band 1, "
                  "contact 3, at time step 12, t = 1.25000E-04 s. Program aborted");
    }
    {
        Step t;
        t.m.PFs(1, 1) = std::numeric_limits<double>::infinity();
        EXPECT_EQ(t.check(), kStopStatus);
        EXPECT_NE(t.last_message().find("filament coupling power PFs = +Infinity in band 1, "
                                        "section 1,"),
                  std::string::npos);
    }
}

TEST(Interrupt, ASignalIsKeptUntilTheDriverAsksAndStopsWithItsStatus) {
    Step t;
    {
        const InterruptHandlers handlers;
        EXPECT_EQ(interrupt_signal(), 0);
        EXPECT_NO_THROW(stop_if_interrupted(t.m, 1e-4));
        std::raise(SIGTERM);  // remembered, the process goes on
        EXPECT_EQ(interrupt_signal(), SIGTERM);
        int status = 0;
        try {
            stop_if_interrupted(t.m, 2.5e-4);
        } catch (const ProgramStop& s) {
            status = s.status;
        }
        EXPECT_EQ(status, 143);
        EXPECT_EQ(t.last_message(), "Simulation interrupted at t = 2.50000E-04 s");
    }
    {
        const InterruptHandlers handlers;  // a new run starts without a signal
        EXPECT_EQ(interrupt_signal(), 0);
        std::raise(SIGINT);
        EXPECT_EQ(interrupt_signal(), SIGINT);
    }
}

}  // namespace
}  // namespace vorn
