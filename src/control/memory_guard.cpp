// The memory guard: before the arrays of a case are created, their size is
// estimated from the counts of the validated input and compared with the
// memory the system has available (or with the limit given for the run), so
// that a cable too large for the machine stops with a message instead of
// failing in the middle of an allocation.
#include <algorithm>
#include <cmath>
#include <string>

#include "control/control.hpp"
#include "control/messages.hpp"
#include "support/listread.hpp"

namespace vorn {

namespace {

constexpr double kMB = 1024.0 * 1024.0;  // bytes
constexpr double kReal = 8.0;            // bytes of one array element (real; integers counted alike)

// Arrays per index space apart from the three large blocks, counted from the
// allocations of the set-up and of the time loop (rounded up a little):
// per section of a band (input, heat-transfer and time-dependent arrays),
// per position or wire of a band, per adjacent contact and per crossing
// contact of a band.  Per section: 64, and the work arrays of the self-field
// and inductive products (6 and 4).
constexpr double kPerSection = 74, kPerPosition = 40, kPerAdjacent = 5, kPerCrossing = 8;

}  // namespace

double MemoryEstimate::total() const {
    return matrix + factor + inductances + self_field + other;
}

MemoryEstimate case_memory_estimate(const Model& m) {
    // In double throughout: the counts of an absurd cable must not overflow.
    const double NB = m.NB, NS = m.NS;
    const double sections = 2 * NS - 2;  // 2..2NS-1
    const double NEqB = 5 * NS - 3, NEq = NB * NEqB;
    MemoryEstimate e;
    // System matrix in band storage, NEq x NCa with NCa = 16NS-6 after the
    // first time step (the widest); an infinitely long cable: one band,
    // NCa = 5NS-2.
    e.matrix = m.Opt_Cable == 1 ? NEqB * (5 * NS - 2) * kReal : NEq * (16 * NS - 6) * kReal;
    // The factors of the band take its place in the matrix.  The implicit
    // solution of a finite cable keeps where the band has nonzeros (an
    // integer each, at most 2NS+6 per row: the inductances of a section's
    // own band and a few resistive terms) and, while older factors serve, a
    // value (a real) at each of them.
    if (m.Opt_Cable == 2 && m.MutExplicit == 0) e.factor = NEq * (2 * NS + 6) * (4 + kReal);
    // Mutual inductances RMut: sections x (2 NBMut + 1) band distances x sections.
    if (m.NrSteps_inp > 0)
        e.inductances = sections * sections * (2.0 * std::max(m.NBMut, 0) + 1) * kReal;
    // Self-field coefficients RSFx, RSFy, RSFz, shaped like RMut over NBSF.
    if (m.Opt_SF == 1) {
        const double nbsf = m.Opt_Cable == 2 ? std::max(m.NBSF, 0) : 0;
        e.self_field = 3 * sections * sections * (2 * nbsf + 1) * kReal;
    }
    e.other = (NB * (sections * kPerSection + NS * kPerPosition + 2 * NS * kPerAdjacent +
                     (NS - 1) * kPerCrossing) +
               NEq) *
              kReal;
    return e;
}

long long mem_available_mb(const std::string& meminfo) {
    try {
        ListReader r = ListReader::from_file(meminfo);
        while (!r.at_end()) {
            std::string name;
            double kb = 0;
            r.read({{"name", &name}, {"size", &kb}});
            if (name == "MemAvailable:") return static_cast<long long>(kb * 1024.0 / kMB);
        }
    } catch (const ReadError&) {
    }
    return -1;
}

void memory_guard(Model& m, const std::string& meminfo) {
    const double needed = case_memory_estimate(m).total();
    long long available = m.MemLimitMB;
    std::string source = "the limit given with --mem-limit";
    if (available <= 0) {
        available = mem_available_mb(meminfo);
        source = "MemAvailable in " + meminfo;
        if (available < 0) {
            msg(m, "Memory check skipped: MemAvailable not found in " + meminfo);
            return;
        }
    }
    if (needed <= double(available) * kMB) return;
    const long long needed_mb = static_cast<long long>(std::ceil(needed / kMB));
    stop_with_message(m, "Not enough memory for this case: its arrays need about " +
                             std::to_string(needed_mb) + " MB, " + std::to_string(available) +
                             " MB are available (" + source + "). Program aborted");
}

}  // namespace vorn
