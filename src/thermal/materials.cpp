// Material properties: heat capacities, copper resistivity and thermal
// conductivity as fits, their tables on the 0.1 K grid and the lookups.
//
// Every test against a range limit of a piecewise fit is a strict less-than,
// so a temperature exactly on a limit takes the upper piece.  The limits of
// the copper heat capacity are single-precision constants (double(x.f)); all
// other limits are the decimal values as written.
#include "thermal/materials.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorn {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

constexpr int kNrTemps = 10000;  // grid T_i = 0.1 i K, i = 1..10000
constexpr int kNrRRR = 40;       // RRR columns 10 j, j = 1..40

// x rounded to the nearest integer, exact halves to the even neighbour
// (independent of the floating-point rounding mode), and clamped to lo..hi;
// x must not be NaN.  Clamping first gives the same index, since rounding
// is monotone and the bounds are integers, and leaves a number whose
// integer part fits an int: the rounding then needs no library call (the
// lookups run several times per pass of every temperature bisection).
int clamped_index(double x, int lo, int hi) {
    const double c = std::clamp(x, double(lo), double(hi));
    int i = int(c);  // towards zero
    if (double(i) > c) --i;  // floor below zero
    const double frac = c - i;  // exact: c and i share c's binary point
    if (frac > 0.5 || (frac == 0.5 && (i & 1) != 0)) ++i;
    return i;
}

// Temperature index of the resistivity and conductivity tables: the grid
// point at or just above T.
int upper_temp_index(double T) {
    return clamped_index(10.0 * T + 0.5, 1, kNrTemps);
}

// RRR column of the conductivity table: the column at or just above RRR.
int rrr_index(double RRR) {
    return clamped_index(RRR / 10.0 + 0.5, 1, kNrRRR);
}

// Polynomial c0 + c1 T + c2 T^2 + c3 T^3 + c4 T^4.
double poly4(double T, double c0, double c1, double c2, double c3, double c4) {
    const double T2 = T * T;
    return c0 + c1 * T + c2 * T2 + c3 * T2 * T + c4 * T2 * T2;
}

// The temperature-only part of the NIST conductivity fit (ideal thermal
// resistivity Wi, m K/W), so that the table evaluates it once per row.
double nist_wi(double T) {
    return 1.754e-8 * std::pow(T, 2.763) /
           (1 + 1.933e-5 * std::pow(T, 2.598) * std::exp(-std::pow(70 / T, 1.765)));
}

// NIST conductivity from the residual part W0 = 0.634/(RRR T) and Wi; the
// interaction factor 0.504631514 is fixed for every RRR.
double nist_k(double T, double RRR, double wi) {
    const double W0 = 0.634 / (RRR * T);
    if (T < 10) return 1 / W0;
    const double Wio = 0.504631514 * wi * W0 / (wi + W0);
    return 1 / (W0 + wi + Wio);
}

}  // namespace

// --- closed-form fits --------------------------------------------------------

double cp_cu(double T) {
    if (T < double(9.441f)) return poly4(T, 2.5631, 101.892, -2.1286, 7.229, -0.0308);
    if (T < double(31.134f)) return poly4(T, -8250.329, 3469.536, -455.609, 29.871, -0.3045);
    if (T < double(123.34f)) return poly4(T, 178432, -31595, 1508.89, -14.0237, 0.0419);
    if (T < double(306.12f)) return poly4(T, -1285100, 60590, -325.52, 0.8419, -0.000848);
    if (T < double(498.15f)) return poly4(T, 1028000, 20363, -64.12, 0.09173, -4.8e-05);
    if (T < double(1000.f)) return poly4(T, 3182250, 1003.842, -0.21486, 1.2e-05, 0);
    if (T >= double(1000.f)) return 3161232 + 930 * T;
    return NaN;
}

double cp_sc_above(int type, double T) {
    if (type == 1) {
        if (T < 28.358) return 928 * T + 16.24 * T * T * T;
        if (T < 50.099) return poly4(T, 41383, -7846.1, 553.71, 11.9838, -0.2177);
        if (T < 165.8) return poly4(T, -1530000, 83022, -716.3, 2.976, -0.00482);
        if (T < 496.54) return poly4(T, 1240000, 13706, -51.66, 0.09296, -6.29e-05);
        if (T < 1000.01) return 2450000 + 955.5 * T - 0.257 * T * T;
        return NaN;
    }
    if (type >= 11 && type <= 13) {
        if (T < 26.113) return 1522 * T + 7.42 * T * T * T;
        if (T < 169.416) return -305807 + 19902 * T - 61.635 * T * T;
        if (T < 300) return 763801 + 4411 * T - 7.4636 * T * T;
        if (T >= 300) return 1415377;
        return NaN;
    }
    return NaN;
}

double cp_sc_below(int type, double T, double B, double Tc0, double Bc20) {
    const double T3 = T * T * T;
    switch (type) {
        case 1:
            return 49.1 * T3 + 64 * B * T;
        case 11:
            return 1058 * T * B / Bc20 + T3 * (19.02 + 3174 / (Tc0 * Tc0));
        case 12:
            return T3 * (38.8 - 1.8 * B + 0.0634 * B * B) + T * (207 - 3.83 * B + 2.86 * B * B) -
                   110 * T * T * std::exp(-0.434 * B);
        case 13: {
            // Linear in B between fits at 0, 4, 10, 16 T and at Bc20.
            const double F0 = 29.29 * T3 + 74.31 * T;
            const double F4 = 31.44 * T3 + 235.3 * T;
            const double F10 = 26.25 * T3 + 489.3 * T;
            const double F16 = 28.06 * T3 + 767.1 * T;
            const double Fc = 11.34 * T3 + 1984 * T;
            if (B < 4) return 0.25 * B * F4 + 0.25 * (4 - B) * F0;
            if (B < 10) return ((10 - B) * F4 + (B - 4) * F10) / 6;
            if (B < 16) return ((16 - B) * F10 + (B - 10) * F16) / 6;
            if (Bc20 > 16) return ((Bc20 - B) * F16 + (B - 16) * Fc) / (Bc20 - 16);
            // Bc20 <= 16 T leaves no segment above 16 T: keep the 16 T fit.
            if (B >= 16) return F16;
            return NaN;
        }
        default:
            return NaN;
    }
}

double cp_he(double T) {
    if (T < 2.17) return 1000 * (2.12 + 0.000678 * std::pow(T, 12.159));
    if (T < 2.5) return 1000 * (3712.9 - 4673.2 * T + 1961.6 * T * T - 274.45 * T * T * T);
    if (T < 4.3) return 1000 * (7.68 - 4.484 * T + 0.9163 * T * T);
    if (T < 15) return 1000 * (5.2 + 1489.4 * std::pow(T, -4.06));
    if (T >= 15) return 5200;
    return NaN;
}

double k_cu_nist(double T, double RRR) {
    return nist_k(T, RRR, T < 10 ? 0.0 : nist_wi(T));
}

double rho_cu_fit(double T) {
    const double T3 = T * T * T;
    return 1e-8 / (163 / T + 957000 / T3 + 2.33e9 / (T3 * T * T));
}

// --- tables ------------------------------------------------------------------

void material_tables(Model& m) {
    m.Cp_Cu_a.allocate(1, kNrTemps, 0.0);
    m.Cp_SC_above_a.allocate(1, kNrTemps, 0.0);
    m.Rho_Cu_a.allocate(1, kNrTemps, 0.0);
    m.K_Cu_NIST_a.allocate(1, kNrTemps, 1, kNrRRR, 0.0);
    for (int i = 1; i <= kNrTemps; ++i) {
        const double T = 0.1 * i;
        m.Cp_Cu_a(i) = cp_cu(T);
        m.Cp_SC_above_a(i) = cp_sc_above(m.Opt_SC, T);
        m.Rho_Cu_a(i) = rho_cu_fit(T);
        // 400,000 conductivities: the powers and the exponential depend on T
        // only and are evaluated once per row.
        const double wi = T < 10 ? 0.0 : nist_wi(T);
        for (int j = 1; j <= kNrRRR; ++j) m.K_Cu_NIST_a(i, j) = nist_k(T, 10.0 * j, wi);
    }
}

// --- lookups -----------------------------------------------------------------

double rho_cu_t(const Model& m, double T) {
    if (std::isnan(T)) return NaN;
    return m.Rho_Cu_a(upper_temp_index(T));
}

double k_cu_nist_t(const Model& m, double T, double RRR) {
    if (std::isnan(T) || std::isnan(RRR)) return NaN;
    return m.K_Cu_NIST_a(upper_temp_index(T), rrr_index(RRR));
}

double cp_cu_t(const Model& m, double T) {
    if (std::isnan(T)) return NaN;
    // i and i+1 both inside the table; beyond it the end segment extends.
    const int i = clamped_index(10.0 * T, 1, kNrTemps - 1);
    return m.Cp_Cu_a(i) + (m.Cp_Cu_a(i + 1) - m.Cp_Cu_a(i)) * (T - i / 10.0) / 0.1;
}

double cp_sc_above_t(const Model& m, double T) {
    if (std::isnan(T)) return NaN;
    return m.Cp_SC_above_a(clamped_index(10.0 * T, 1, kNrTemps));
}

// --- section properties ------------------------------------------------------

void k_cu_calculation(const Model& m, double T, double B, double RRR, double& k) {
    if (m.Opt_kCu < 0 || m.Opt_kCu > 2) return;
    if (m.Opt_kCu == 0) {  // the resistivity is not needed
        k = k_cu_nist_t(m, T, RRR);
        return;
    }
    // Residual part 1.7e-8/RRR here (thermal), not the 1e-8/RRR of the
    // electrical resistance.
    const double rho0 = 1.7e-8 / RRR + rho_cu_t(m, T);
    const double rho = m.MR_con * B + rho0;
    if (m.Opt_kCu == 1)
        k = 2.45e-8 * T / rho;  // Wiedemann-Franz, Lorenz number 2.45e-8 W Ohm/K^2
    else
        k = k_cu_nist_t(m, T, RRR) * rho0 / rho;
}

double cp_calculation(const Model& m, int b, int s, double T) {
    const double cu = cp_cu_t(m, T) * m.Vol_Cu(b, s);
    const double sc = m.Tcs(b, s) <= T
                          ? cp_sc_above_t(m, T) * m.Vol_SC(b, s)
                          : cp_sc_below(m.Opt_SC, T, m.BTs(b, s), m.Tc0, m.Bc20) * m.Vol_SC(b, s);
    return cu + sc;
}

}  // namespace vorn
