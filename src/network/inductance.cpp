// Self and mutual inductances of the strand sections (RMut, H) and the
// inductive terms L·dI/dt of the network's voltage equations.
//
// Every section is a straight filament parallel to the cable axis, at
// (PosX(s), PosY(s)) in the cross-section.  RMut(s1, d, s2): sections
// s1, s2 = 2..2NS-1, band distance d = -NBMut..NBMut (section s2 lies d bands
// after section s1).  The table is computed once for a band in the middle of
// the cable and used for every band.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "control/messages.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "support/simd_dot.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// mu0/(4 pi), H/m.
constexpr double kMu0Over4Pi = 1e-7;
// Geometric mean radius of a round strand over its radius.
constexpr double kGmrFactor = 0.7788;
// Closest distance of two filaments in the asinh terms (m).
constexpr double kMinDistance = 1e-6;
// Start points closer than this (m) count as equal.
constexpr double kStartTolerance = 1e-8;

double sq(double x) { return x * x; }

// Infinitely long cable: every section is a filament of the effective
// length l = EffLC times the strand length per unit cable length; the
// entries are scaled by the section's length along the cable over EffLC.
// Only d = 0 exists.
void rmut_infinite(Model& m, double a) {
    const double rho = 2.0 * std::sqrt(sq(m.w) + sq(m.TPStr) / 4.0) / m.TPStr;
    const double l = m.EffLC * rho;
    for (int s1 = 2; s1 <= m.NS_2m1; ++s1) {
        const double c = m.TPStr * m.Twice(s1) / (2 * m.NS * m.EffLC);
        m.RMut(s1, 0, s1) = self(a, l, l * l) * c;
        for (int s2 = s1 + 1; s2 <= m.NS_2m1; ++s2) {
            // Side by side: the second filament starts l before the end of the first.
            const double M = parmut(m.PosX(s1), m.PosY(s1), l, m.PosX(s2), m.PosY(s2), 0.0, l, l) *
                             0.5 * m.Twice(s2) * c;
            m.RMut(s1, 0, s2) = M;
            m.RMut(s2, 0, s1) = M;
        }
    }
}

// One section of band j of a finite cable as a filament along z (m).
struct Filament {
    double x, y, start, length;
    double end() const { return start + length; }
};

// Sections 3..NS fill the first half of a band, NS+1..2NS-2 the second; the
// edge sections 2 and 2NS-1 are two half-bands long and begin at mid-band.
Filament section_filament(const Model& m, int j, int s) {
    const double h = m.TPStr / (2 * m.NS);
    const double offset = (s == 2 || s > m.NS) ? h : 0.0;
    return {m.PosX(s), m.PosY(s), j * m.TPStr / m.NS + offset, h * m.Twice(s)};
}

// Mutual inductance of two filaments, the one that starts earlier first.
double filament_mutual(const Filament& f1, const Filament& f2) {
    if (f2.start < f1.start - kStartTolerance)
        return parmut(f2.x, f2.y, f2.end(), f1.x, f1.y, f1.start, f2.length, f1.length);
    return parmut(f1.x, f1.y, f1.end(), f2.x, f2.y, f2.start, f1.length, f2.length);
}

// Finite cable: sections s1 of the middle band jm against every section of
// the bands jm-NBMut..jm+NBMut inside the cable.  Both symmetric entries are
// written at every step, so for s1 != s2 in different bands the pair
// computed last (the larger section number in band jm) is what remains.
void rmut_finite(Model& m, double a) {
    const int jm = m.NB / 2;
    const int jb_lo = std::max(1, jm - m.NBMut);
    const int jb_hi = std::min(m.NB, jm + m.NBMut);
    for (int s1 = 2; s1 <= m.NS_2m1; ++s1) {
        const Filament f1 = section_filament(m, jm, s1);
        for (int jb = jb_lo; jb <= jb_hi; ++jb) {
            const int d = jb - jm;
            for (int s2 = 2; s2 <= m.NS_2m1; ++s2) {
                double M;
                if (jb == jm && s2 == s1)
                    M = self(a, f1.length, f1.length * f1.length);
                else
                    M = filament_mutual(f1, section_filament(m, jb, s2));
                m.RMut(s1, d, s2) = M;
                m.RMut(s2, d, s1) = M;
            }
        }
    }
}

// "RMut.dat" in the output directory, in nH.
void write_rmut(Model& m) {
    const std::string path = m.output_dir + "RMut.dat";
    OutFile file;
    if (!file.open(path, OpenMode::Whole)) stop_with_message(m, "Cannot open " + path);
    file.line("Mutual inductances, M [nH]");
    static const Format row_format("(I4,A1,I5,100(A1,F12.6))");
    std::vector<FItem> items;
    for (int d = -m.NBMut; d <= m.NBMut; ++d) {
        for (int s1 = 2; s1 <= m.NS_2m1; ++s1) {
            items.clear();
            items.emplace_back(d);
            items.emplace_back(m.Sep);
            items.emplace_back(s1);
            for (int s2 = 2; s2 <= m.NS_2m1; ++s2) {
                items.emplace_back(m.Sep);
                items.emplace_back(m.RMut(s1, d, s2) * 1e9);
            }
            file.fmt(row_format, items);
        }
        file.line("");
    }
    file.close();
}

// A column of the own-band term outside the band storage: reported, and the
// term is left out of the matrix.  NB2/i2 are the band and section of the
// coupled current.
void report_column(Model& m, int NCol, int NFac, int NRow, int NB1, int i1, int NB2, int i2) {
    msg(m, "NCol<=0 or NCol>=NCa in subroutine Inductance");
    const std::pair<const char*, int> items[] = {{"NCol=", NCol}, {"NCA=", m.NCa},
                                                 {"NFac=", NFac}, {"NRow=", NRow},
                                                 {"NB1=", NB1},   {"i1=", i1},
                                                 {"NB2=", NB2},   {"i2=", i2}};
    for (const auto& [label, value] : items) {
        std::string line = list_directed({label, value});  // one record with its '\n'
        line.pop_back();
        msg(m, line);
    }
}

// Weight of the explicit coupling to other bands: grows with the Rs
// iterations of the step and reaches 1 after 1/F_SolAcc of them.
double other_band_weight(const Model& m) {
    const double f = m.NrItRs * m.F_SolAcc;
    if (std::isnan(f)) return 1.0;
    return std::min(1.0, f);
}

// The other bands' part of row NRow, their sum `other` formed: explicit,
// weighted on the right-hand side; implicit, their Cs_prev part on the
// right-hand side and the row recorded in MutRows.
void other_band_terms(Model& m, int NRow, int NB1, int i1, int NFac, double other) {
    const double dt = m.dt;
    if (m.MutExplicit == 1) {
        band_rhs(m, NRow) += NFac * other_band_weight(m) * other / dt;
    } else {
        band_rhs(m, NRow) += NFac * other / dt;
        m.MutRows.push_back({NRow, NB1, i1, NFac});
    }
}

}  // namespace

// Self inductance (H) of a straight round wire of length l and radius a (m);
// l2 = l*l.
double self(double a, double l, double l2) {
    return 2e-7 * l *
           (std::log(l / a + std::sqrt(1.0 + l2 / (a * a))) - std::sqrt(1.0 + a * a / l2) + a / l);
}

// Mutual inductance (H) of two filaments parallel to z: filament 1 at
// (x1, y1) of length l1 ending at z1, filament 2 at (x2, y2) of length l2
// starting at z2; g = z2 - z1 is negative when they overlap.  The distance
// is raised to 1 µm in the asinh terms only.
double parmut(double x1, double y1, double z1, double x2, double y2, double z2, double l1,
              double l2) {
    const double d2 = sq(x2 - x1) + sq(y2 - y1);
    const double d = std::max(std::sqrt(d2), kMinDistance);
    const double g = z2 - z1;
    const double alpha = l1 + l2 + g;
    const double beta = l1 + g;
    const double gamma = l2 + g;
    return kMu0Over4Pi *
           (alpha * std::asinh(alpha / d) - beta * std::asinh(beta / d) -
            gamma * std::asinh(gamma / d) + g * std::asinh(g / d) - std::sqrt(sq(alpha) + d2) +
            std::sqrt(sq(beta) + d2) + std::sqrt(sq(gamma) + d2) - std::sqrt(sq(g) + d2));
}

void mutual_ind_array_calculation(Model& m) {
    if (m.RMut.allocated())
        throw FatalError("Attempting to allocate already allocated variable 'rmut'");
    m.RMut.allocate(2, m.NS_2m1, -m.NBMut, m.NBMut, 2, m.NS_2m1, 0.0);

    const double a = kGmrFactor * (m.DiamStr / 2.0);
    if (m.Opt_Cable == 1)
        rmut_infinite(m, a);
    else if (m.Opt_Cable == 2)
        rmut_finite(m, a);

    if (m.Nr_Opt == 60) {
        double* v = m.RMut.data();
        for (std::size_t k = 0; k < m.RMut.size(); ++k) v[k] *= m.C1_Opt;
    }
    if (m.Opt_PrMat == 1) write_rmut(m);
}

// Row NRow of the banded matrix (finite cable) gets the inductive voltage of
// section i1 of band NB1 with sign NFac.  The own band is implicit (matrix
// columns, and Cs_prev on the right-hand side).  The bands within NBMut are
// either explicit from the present iterate (MutExplicit = 1) or unknowns of
// the same solve: their Cs_prev terms go to the right-hand side and the
// term is recorded in MutRows for the operator of solve_array_implicit.
// NColOff shifts the own-band columns to row NRow: NCol = NColOff + NBw +
// 3NS-2 + s is the band-storage column of Cs(NB1, s).
void inductance(Model& m, int NColOff, int NRow, int NB1, int i1, int NFac) {
    const double dt = m.dt;
    double own = 0.0;  // sum of RMut * Cs_prev over the own band, V s
    for (int s = 2; s <= m.NS_2m1; ++s) {
        const int NCol = NColOff + m.NBw + 3 * m.NS - 2 + s;
        if (NCol <= 0 || NCol >= m.NCa)
            report_column(m, NCol, NFac, NRow, NB1, i1, NB1, s);
        else
            band_add(m, NRow, NCol, NFac * m.RMut(i1, 0, s) / dt);
        own += m.RMut(i1, 0, s) * m.Cs_prev(NB1, s);
    }
    band_rhs(m, NRow) += NFac * own / dt;

    const int NB2_lo = std::max(1, NB1 - m.NBMut);
    const int NB2_hi = std::min(m.NB, NB1 + m.NBMut);
    if (NB2_lo == NB2_hi) return;  // no other band in reach
    const bool expl = m.MutExplicit == 1;
    double other = 0.0;  // sum of RMut * (Cs_prev - Cs) (explicit) or RMut * Cs_prev
    for (int NB2 = NB2_lo; NB2 <= NB2_hi; ++NB2) {
        if (NB2 == NB1) continue;
        for (int s = 2; s <= m.NS_2m1; ++s)
            other += m.RMut(i1, NB2 - NB1, s) *
                     (expl ? m.Cs_prev(NB2, s) - m.Cs(NB2, s) : m.Cs_prev(NB2, s));
    }
    other_band_terms(m, NRow, NB1, i1, NFac, other);
}

namespace {

// The sums of InductiveTerms for bands b_lo..b_hi: element-wise over the
// bands, so every instruction set gives the same bits.
VORN_CLONES void inductive_sums(const Model& m, const RArr2& prev, const RArr2& x, int b_lo,
                                int b_hi, RArr2& own, RArr2& other) {
    const int nb = b_hi - b_lo + 1;
    for (int i1 = 2; i1 <= m.NS_2m1; ++i1) {
        double* o = &own(i1, b_lo);
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double r = m.RMut(i1, 0, s);
            const double* c = &prev(s, b_lo);
            for (int k = 0; k < nb; ++k) o[k] += r * c[k];
        }
        for (int d = -m.NBMut; d <= m.NBMut; ++d) {
            // bands b whose band b + d lies in the cable
            const int lo = std::max(b_lo, 1 - d), hi = std::min(b_hi, m.NB - d);
            if (d == 0 || lo > hi) continue;
            double* t = &other(i1, lo);
            for (int s = 2; s <= m.NS_2m1; ++s) {
                const double r = m.RMut(i1, d, s);
                const double* c = &x(s, lo + d);
                for (int k = 0; k <= hi - lo; ++k) t[k] += r * c[k];
            }
        }
    }
}

}  // namespace

// The sums run over the bands innermost (currents held section by section,
// s x b), which vectorises; each (section, band) sum takes its terms in the
// order of inductance(): band distances upwards, then the sections.
InductiveTerms::InductiveTerms(const Model& m, int b_lo, int b_hi) {
    own_dt_.allocate(2, m.NS_2m1, 2, m.NS_2m1, 0.0);
    for (int i1 = 2; i1 <= m.NS_2m1; ++i1)
        for (int s = 2; s <= m.NS_2m1; ++s) own_dt_(i1, s) = m.RMut(i1, 0, s) / m.dt;
    own_.allocate(2, m.NS_2m1, b_lo, b_hi, 0.0);
    other_.allocate(2, m.NS_2m1, b_lo, b_hi, 0.0);
    if (b_lo > b_hi) return;

    // Own band: Cs_prev; other bands: Cs_prev - Cs (explicit) or Cs_prev.
    const bool expl = m.MutExplicit == 1;
    RArr2 prev(2, m.NS_2m1, 1, m.NB), x(2, m.NS_2m1, 1, m.NB);
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            prev(s, b) = m.Cs_prev(b, s);
            x(s, b) = expl ? m.Cs_prev(b, s) - m.Cs(b, s) : m.Cs_prev(b, s);
        }
    inductive_sums(m, prev, x, b_lo, b_hi, own_, other_);
}

void InductiveTerms::add(Model& m, int NColOff, int NRow, int NB1, int i1, int NFac) {
    // With NFac = +-1, NFac * (RMut / dt) is NFac * RMut / dt exactly.
    const int col0 = NColOff + m.NBw + 3 * m.NS - 2;  // column of Cs(NB1, s): col0 + s
    const bool inside = col0 + 2 > 0 && col0 + m.NS_2m1 < m.NCa;
    if (m.AsmMode == 1 && inside) {
        // The band holds the factors of this very band: nothing to write.
    } else if (m.AsmMode == 0 && (NFac == 1 || NFac == -1) && inside) {
        // Straight into the band while the assembly writes all of it.
        double* a = &m.A(NRow, col0 + 2);
        const double* r = &own_dt_(i1, 2);
        const double f = NFac;
        for (int k = 0; k <= m.NS_2m1 - 2; ++k) a[k] += f * r[k];
    } else if (m.AsmMode == 2 && (NFac == 1 || NFac == -1) && inside) {
        // Into the operator beside older factors, along the row's places.
        operator_add_run(m, NRow, col0 + 2, &own_dt_(i1, 2), m.NS_2m1 - 1, NFac);
    } else {
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const int NCol = col0 + s;
            if (NCol <= 0 || NCol >= m.NCa)
                report_column(m, NCol, NFac, NRow, NB1, i1, NB1, s);
            else
                band_add(m, NRow, NCol, NFac * m.RMut(i1, 0, s) / m.dt);
        }
    }
    band_rhs(m, NRow) += NFac * own_(i1, NB1) / m.dt;
    if (std::max(1, NB1 - m.NBMut) == std::min(m.NB, NB1 + m.NBMut)) return;  // no other band
    other_band_terms(m, NRow, NB1, i1, NFac, other_(i1, NB1));
}

// Row NRow of the full matrix of the infinitely long cable (one band):
// column 3NS-2+s is Cs(1, s).
void inductance_infinite(Model& m, int NRow, int i1, int NFac) {
    const double dt = m.dt;
    double own = 0.0;
    for (int s = 2; s <= m.NS_2m1; ++s) {
        m.A(NRow, 3 * m.NS - 2 + s) += NFac * m.RMut(i1, 0, s) / dt;
        own += m.RMut(i1, 0, s) * m.Cs_prev(1, s);
    }
    m.A(NRow, m.NCa) += NFac * own / dt;
}

}  // namespace vorn
