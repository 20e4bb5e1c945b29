// Voltages: section voltages per position and per wire, and the
// potential of every wire at every band boundary relative to the lowest
// potential in the cable; resistive (R), inductive (I) and total (T).
#include <cmath>
#include <limits>

#include "network/contacts.hpp"
#include "network/network.hpp"

namespace vorn {

namespace {

// Entrance potentials (row 0 of Z) by the chain through the crossing
// contacts at the start of band 2.  Step k goes from the wire reached so far
// along band 1, through contact k, and back along the other wire of the
// contact.  With_contact adds the contact's resistive drop.
void entrance_potentials(Model& m, RArr2& Z, const RArr2& Vw, const RArr2& Vs, bool with_contact) {
    const int NS = m.NS;
    int a = 1;  // the wire at lower position NS of band 2, start of the chain
    Z(0, a) = 0.0;
    for (int k = 1; k <= NS - 1; ++k) {
        const PositionPair pp = rc_contact_positions(k, NS);
        const int upper = wire_at(pp.first, 2, NS), lower = wire_at(pp.second, 2, NS);
        const int b = upper == a ? lower : upper;
        const bool odd = k % 2 == 1;
        double v = Z(0, a) - Vw(1, a) + Vw(1, b);
        if (with_contact) v += (odd ? -1.0 : 1.0) * m.Rc(2, k) * m.Cc(2, k);
        if (k == NS - 1)
            v -= Vs(2, NS);
        else if (odd)
            v += Vs(2, k + 2);
        Z(0, b) = v;
        a = b;
    }
}

// Z minus its smallest entry; entries that are not numbers are skipped (all
// of them not numbers: the minimum is not a number either).
void shift_to_zero(RArr2& Z) {
    double lo = std::numeric_limits<double>::quiet_NaN();
    double* v = Z.data();
    for (std::size_t i = 0; i < Z.size(); ++i)
        if (!std::isnan(v[i]) && (std::isnan(lo) || v[i] < lo)) lo = v[i];
    for (std::size_t i = 0; i < Z.size(); ++i) v[i] -= lo;
}

}  // namespace

void voltage_calculation(Model& m) {
    const int NB = m.NB, NS = m.NS;

    // 1. Sign reversal of the section voltages.
    for (RArr2* a : {&m.VIs, &m.VRs, &m.VTs}) {
        double* v = a->data();
        for (std::size_t i = 0; i < a->size(); ++i) v[i] = -v[i];
    }

    // 2. Per position: the sum of the position's sections.
    for (int j = 1; j <= NB; ++j) {
        convert_sec_to_pos(NS, m.VRs.row(j), m.VRp.row(j), 1);
        convert_sec_to_pos(NS, m.VIs.row(j), m.VIp.row(j), 1);
        convert_sec_to_pos(NS, m.VTs.row(j), m.VTp.row(j), 1);
    }

    // 3. Per wire.
    convert_pos_to_wire(NB, NS, m.VRw, m.VRp);
    convert_pos_to_wire(NB, NS, m.VIw, m.VIp);
    convert_pos_to_wire(NB, NS, m.VTw, m.VTp);

    // The entrance chain runs through band 2.
    if (NB < 2) return;

    // 4, 5. Entrance potentials.
    entrance_potentials(m, m.VRwZ, m.VRw, m.VRs, true);
    entrance_potentials(m, m.VIwZ, m.VIw, m.VIs, false);
    for (int w = 1; w <= NS; ++w) m.VTwZ(0, w) = m.VRwZ(0, w) + m.VIwZ(0, w);

    // 6. Along the cable.
    for (int j = 1; j <= NB; ++j)
        for (int w = 1; w <= NS; ++w) {
            m.VRwZ(j, w) = m.VRwZ(j - 1, w) + m.VRw(j, w);
            m.VIwZ(j, w) = m.VIwZ(j - 1, w) + m.VIw(j, w);
            m.VTwZ(j, w) = m.VTwZ(j - 1, w) + m.VTw(j, w);
        }

    // 7. Shift: the lowest potential is 0.
    shift_to_zero(m.VRwZ);
    shift_to_zero(m.VIwZ);
    shift_to_zero(m.VTwZ);
}

}  // namespace vorn
