// Critical temperature at the section field, critical current and
// current-sharing temperature of every strand section (bands 1..NB,
// sections 2..2NS-1).
#include <algorithm>
#include <cmath>

#include "field/field.hpp"

namespace vorn {

namespace {

// Floor of the critical current, A (a single-precision constant).
const double kIcFloor = double(0.01f);

// Field below which fit 4 is evaluated at this field, T.  The fit carries a
// factor 1/B: at B = 0 it gives 0 * infinity, which the floor would turn
// into a normal-conducting strand at zero field.  Below 1 mT the fit has no
// physical meaning anyway; at 1 mT it gives a large critical current.
constexpr double kFit4MinField = 1e-3;

// Critical current of fit 4 (A) at field B (T) and temperature T (K), before
// the strand ratio: C1/B (1 - t^1.52)(1 - t^2) b^C4 (1 - b)^C5 with
// t = T/Tc, Tc = C3 C6^0.33333, b = B/Bc2, Bc2 = C2 C6 (1 - t^1.52); 0 above
// Tc or Bc2.  The strain factor C6 enters only Tc and Bc2.
double ic_fit4(const Model& m, double B, double T) {
    B = std::max(B, kFit4MinField);
    const double Tc = m.ConIcC * std::pow(m.ConIcF, 0.33333);
    const double t = T / Tc;
    if (t > 1) return 0;
    const double t152 = std::pow(t, 1.52);
    const double Bc2 = m.ConIcB * m.ConIcF * (1 - t152);
    const double b = B / Bc2;
    if (b > 1) return 0;
    return m.ConIcA / B * (1 - t152) * (1 - t * t) * std::pow(b, m.ConIcD) *
           std::pow(1 - b, m.ConIcE);
}

// Zero-temperature critical current (A) at field B (T) by Opt_Ic, before
// the strand ratio.  For fits 1 and 4, which have no such factor of their
// own, it is IcCon and fit 4 at T = 0, so that it means the same for every
// fit: the current at which a section of this field shares at 0 K.
double ic_zero_temperature(const Model& m, double B) {
    switch (m.Opt_Ic) {
        case 1:
            return m.IcCon;
        case 2:
            return m.ConIcA + m.ConIcB * B;
        case 3:
            return m.ConIcA + m.ConIcB * B + m.ConIcC * std::exp(-m.ConIcD * B) +
                   m.ConIcE * std::exp(-m.ConIcF * B);
        case 4:
            return ic_fit4(m, B, 0.0);
        default:  // excluded by the input validation
            return 0;
    }
}

// Critical current (A) at field B (T), temperature T (K) and critical
// temperature Tcb (K), before the strand ratio; ic0 is its zero-temperature
// value.
double ic_fit(const Model& m, double B, double T, double Tcb, double ic0) {
    switch (m.Opt_Ic) {
        case 1:
            return m.IcCon;
        case 2:
        case 3:
            // Beyond the fit's zero field Ic0 < 0; above Tcb the product of
            // the two negative factors would be a positive Ic: 0 instead.
            return ic0 > 0 ? (1 - T / Tcb) * ic0 : 0.0;
        case 4:
            return ic_fit4(m, B, T);
        default:
            return 0;
    }
}

// Critical temperature (K) at field B (T); undefined above Bc20.
double tc_at(const Model& m, double B) {
    return m.Tc0 * std::pow(1 - B / m.Bc20, double(0.59f));
}

// Not above the floor, or undefined: the floor.
double floored(double ic) { return ic > kIcFloor ? ic : kIcFloor; }

// Current-sharing temperature (K): where Ic0 (1 - T/Tcb) meets the magnitude
// of the section current.  Sharing does not depend on the current's
// direction, so the magnitude is used; a section whose Ic0 is not positive
// (the fit's field beyond its zero) shares at any temperature.  Not greater
// than zero, or undefined, gives 0.
double current_sharing_temperature(const Model& m, int b, int s, double ic0) {
    const double tcs = (1 - std::fabs(m.Cs(b, s)) / ic0) * m.Tcb(b, s);
    return ic0 > 0 && tcs > 0 ? tcs : 0.0;
}

}  // namespace

// Reduction by the inter-filament coupling currents: the share of the
// critical current that they take, x = dB/dt d^2 pi^2 tauIF / (Ic mu0 Lp),
// leaves f = 1 - x and Ic <- f^2 Ic.  No field change, no reduction (also
// with a zero filament twist pitch, where x would be 0/0).
double ic_coupling_reduced(const Model& m, double bdot, double ic) {
    const double num = bdot * m.DiamStr * m.DiamStr * m.Pi * m.Pi * m.TauIF;
    const double x = num == 0 ? 0.0 : num / (ic * m.Mu0 * m.TPFil);
    const double f = 1 - x;
    return f * f * ic;
}

double ic_at(const Model& m, double B, double T) {
    return floored(ic_fit(m, B, T, tc_at(m, B), ic_zero_temperature(m, B)));
}

void crit_cur_and_temp_calculation(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Tcb(b, s) = tc_at(m, m.BTs(b, s));

    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double B = m.BTs(b, s);
            const double ic0 = ic_zero_temperature(m, B);
            double ic = floored(ic_fit(m, B, m.Ts(b, s), m.Tcb(b, s), ic0) * m.ICRATs(b, s));
            // The floor is not applied again after the reduction.
            if (m.Opt_IcRedIF == 1) ic = ic_coupling_reduced(m, m.BDOTs(b, s), ic);
            m.ICs(b, s) = ic;
            m.Tcs(b, s) = current_sharing_temperature(m, b, s, ic0);
        }
}

}  // namespace vorn
