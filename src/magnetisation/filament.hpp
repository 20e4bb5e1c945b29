// Critical-state model of one superconducting filament: the magnetisation
// history of a round (possibly hollow) filament under a field history, with
// a critical current density that falls as 1/sqrt(|B|).
//
// The filament's flux profile is described by a stack of layers: the
// reversal fields of the history that still shape the profile, the bottom
// one belonging to the virgin penetration.  Each layer contributes the
// magnetisation of the shell between the penetration fractions of its
// neighbours.
#pragma once

#include <functional>
#include <string_view>

#include "support/oarray.hpp"

namespace vorn {

// Model constants of one filament calculation.
struct FilamentConsts {
    double P0 = 0;  // sqrt|B| x critical-current parameter of the step (A/(m^2) x sqrt(T))
    double P1 = 0;  // d_fil_out x (1 - ln 2) (m)
    double P2 = 0;  // pi
    double P3 = 0;  // mu0 (H/m)
};

// Signed power sign(x)|x|^e.
double pow_signed(double x, double e);
// Penetration fraction of a first sweep from 0 to B (at most 1).
double entl(const FilamentConsts& k, double B);
// Penetration fraction of a sweep from B1 to B2 (at most 1).
double secl(const FilamentConsts& k, double B1, double B2);
// Contribution of one layer between the penetration fractions a and b for
// the reversal field B, filament diameter d (m) and direction sign e (+-1);
// mu0 M in T.
double magn(const FilamentConsts& k, double B, double a, double b, double d, double e);
// Compares the integer parts of x and y: 1, 0 or -1.
double icmpch(double x, double y);
// Ranks the three values v[0..2] in ascending order: idx[0..2] receive their
// 1-based numbers (1, 2, 3), lowest value first; ties keep the given order.
void sortzv(const double v[3], int idx[3]);

// Most layers the stack holds for one filament.
inline constexpr int kMaxLayers = 999;

// Magnetisation history M(0..n) (mu0 M in T) of one filament for the field
// history B(0..n) (T) and the critical-current parameter history c(0..n)
// (A/m^2); the temperature history T(0..n) is carried along but not used.
// `warn` receives the console message when the layer stack is full (once
// per call).
RArr1 analyt(int n, double d_fil_in, double d_fil_out, const RArr1& c, const RArr1& T,
             const RArr1& B, const std::function<void(std::string_view)>& warn);

}  // namespace vorn
