// Self field of the strand currents and the total field per section.
//
// RSFx, RSFy, RSFz (s_o x -NBSF..NBSF x s_c, T/A): field at the observed
// section s_o per ampere in section s_c of the band Delta bands away, for the
// middle band of the cable and reused for every band.  Sections 2..2NS-1,
// bands 1..NB.
//
// Sign convention (shared with the field along a line): the coefficients
// are those of a current flowing along -z, so a section to the right of the
// observer (larger x) gives a positive y field per positive ampere.
#include <algorithm>
#include <cmath>
#include <vector>

#include "field/field.hpp"

namespace vorn {

namespace {

// mu0/(2 pi) and mu0/(4 pi) in T m/A.
constexpr double kLine = 2e-7;
constexpr double kSegment = 1e-7;

void allocate_coefficients(Model& m, int nbsf) {
    for (RArr3* a : {&m.RSFx, &m.RSFy, &m.RSFz})
        a->allocate(2, m.NS_2m1, -nbsf, nbsf, 2, m.NS_2m1, 0.0);
}

// Infinitely long cable: two-dimensional line currents along the axis, the
// band itself only.
void infinite_cable_coefficients(Model& m) {
    for (int so = 2; so <= m.NS_2m1; ++so)
        for (int sc = 2; sc <= m.NS_2m1; ++sc) {
            if (sc == so) continue;
            const double dx = m.PosX(sc) - m.PosX(so), dy = m.PosY(sc) - m.PosY(so);
            const double r2 = dx * dx + dy * dy;
            m.RSFx(so, 0, sc) = -kLine * dy / r2;
            m.RSFy(so, 0, sc) = kLine * dx / r2;
        }
}

// Finite cable: straight segments along the axis, one per section, in the
// bands around the middle band.
void finite_cable_coefficients(Model& m) {
    const double L = m.TPStr / m.NS;  // band length (m)
    // A cable of one band is its own middle band.
    const int mid = std::max(1, m.NB / 2);
    const int first = std::max(1, mid - m.NBSF), last = std::min(m.NB, mid + m.NBSF);

    // Axial start of section s in band j: the sections 2 and NS+1..2NS-1
    // lie in the second half of the band.
    auto z0 = [&](int j, int s) { return L * j + (s == 2 || s > m.NS ? L / 2 : 0.0); };

    for (int so = 2; so <= m.NS_2m1; ++so) {
        const double zo = z0(mid, so) + m.Twice(so) * L / 4;  // middle of the observed section
        for (int j = first; j <= last; ++j) {
            const int delta = j - mid;
            for (int sc = 2; sc <= m.NS_2m1; ++sc) {
                if (j == mid && sc == so) continue;
                const double X = m.PosX(sc) - m.PosX(so), Y = m.PosY(sc) - m.PosY(so);
                const double rho2 = X * X + Y * Y;
                const double a = z0(j, sc) - zo;           // segment start relative to the observer
                const double e = a + m.Twice(sc) * L / 2;  // segment end
                const double r1 = std::sqrt(a * a + rho2), r2 = std::sqrt(e * e + rho2);
                const double f = kSegment * (r1 + r2) / (r1 * r2) / (a * e + rho2 + r1 * r2);
                m.RSFx(so, delta, sc) = -(Y * e - Y * a) * f;
                m.RSFy(so, delta, sc) = -(a * X - e * X) * f;
            }
        }
    }
}

// Field of the return lead per ampere of transport current at section s:
// NS straight conductors, each carrying -1/NS A.
void return_lead_per_ampere(const Model& m, int s, double& bx, double& by) {
    bx = by = 0;
    for (int p = 1; p <= m.NS; ++p) {
        const double dx = m.PosRetLeadP_x(p) - m.PosX(s), dy = m.PosRetLeadP_y(p) - m.PosY(s);
        const double r2 = dx * dx + dy * dy;
        bx += kLine * dy / r2 / m.NS;
        by -= kLine * dx / r2 / m.NS;
    }
}

// Field and rate at section s of band b: the sum over the bands within
// nbsf and their sections, in that order; (lx, ly) the return lead's field
// per ampere at s.  Every product of the coefficients is formed, RSFz's
// included.
void observer_sum(Model& m, int b, int s, int nbsf, bool rates, bool lead, double lx, double ly) {
    const int first = std::max(1, b - nbsf), last = std::min(m.NB, b + nbsf);
    double bx = 0, by = 0, bz = 0, rx = 0, ry = 0, rz = 0;
    for (int j = first; j <= last; ++j) {
        const int delta = j - b;
        for (int sc = 2; sc <= m.NS_2m1; ++sc) {
            const double cx = m.RSFx(s, delta, sc), cy = m.RSFy(s, delta, sc),
                         cz = m.RSFz(s, delta, sc);
            const double c = m.Cs(j, sc);
            bx += cx * c;
            by += cy * c;
            bz += cz * c;
            if (rates) {
                const double dc = (c - m.Cs_prev(j, sc)) / m.dt;  // A/s
                rx += cx * dc;
                ry += cy * dc;
                rz += cz * dc;
            }
        }
    }
    if (lead) {
        bx += lx * m.CPC;
        by += ly * m.CPC;
        if (rates) {
            rx += lx * m.dIdt;
            ry += ly * m.dIdt;
        }
    }
    m.BSF_x(b, s) = bx;
    m.BSF_y(b, s) = by;
    m.BSF_z(b, s) = bz;
    if (rates) {
        m.dBSFdt_x(b, s) = rx;
        m.dBSFdt_y(b, s) = ry;
        m.dBSFdt_z(b, s) = rz;
    }
}

bool all_zero(const RArr3& a) {
    const double* v = a.data();
    return std::all_of(v, v + a.size(), [](double x) { return x == 0.0; });
}

bool all_finite(const RArr2& a) {
    const double* v = a.data();
    return std::all_of(v, v + a.size(), [](double x) { return std::isfinite(x); });
}

// The sums of observer_sum for every band at once: the bands run innermost,
// over the currents and the sums held section by section (s x b), so that
// the loop vectorises.  Each (band, section) sum takes its terms in the
// order of observer_sum (bands within reach upwards, then their sections),
// so the results are the same to the bit.  Valid where RSFz vanishes and
// every current and rate is finite: the z sums are then +0 (products of
// +-0 added to +0), as are those of observer_sum.
// sum[b] += a[t] v_t[b + delta] for the four sections t = 0..3 in that
// order, bands b = lo..hi (v_t[j - 1] the value of band j, sum[b - 1] that
// of band b): each sum is loaded and stored once for the four terms, which
// are added one after the other as with one += each.
void add_four(double* sum, const double* a, const double* v0, const double* v1,
              const double* v2, const double* v3, int lo, int hi, int delta) {
    const double a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
    for (int b = lo; b <= hi; ++b) {
        const int j = b + delta - 1;
        double x = sum[b - 1];
        x += a0 * v0[j];
        x += a1 * v1[j];
        x += a2 * v2[j];
        x += a3 * v3[j];
        sum[b - 1] = x;
    }
}

// The same for one section.
void add_one(double* sx, double* sy, double ax, double ay, const double* v, int lo, int hi,
             int delta) {
    for (int b = lo; b <= hi; ++b) {
        sx[b - 1] += ax * v[b + delta - 1];
        sy[b - 1] += ay * v[b + delta - 1];
    }
}

// The sums of observer_sum for every band at once: the bands run innermost,
// over the currents and the sums held section by section (s x b), so that
// the loop vectorises.  Each (band, section) sum takes its terms in the
// order of observer_sum (bands within reach upwards, then their sections),
// so the results are the same to the bit.  Valid where RSFz vanishes and
// every current and rate is finite: the z sums are then +0 (products of
// +-0 added to +0), as are those of observer_sum.
void all_bands_sums(Model& m, int nbsf, bool rates) {
    auto& w = m.sf_work;
    for (RArr2* a : {&w.bx, &w.by, &w.rx, &w.ry}) a->allocate(2, m.NS_2m1, 1, m.NB, 0.0);
    for (int so = 2; so <= m.NS_2m1; ++so) {
        double *bx = &w.bx(so, 1), *by = &w.by(so, 1), *rx = &w.rx(so, 1), *ry = &w.ry(so, 1);
        for (int delta = -nbsf; delta <= nbsf; ++delta) {
            // bands b whose band b + delta lies in the cable
            const int lo = std::max(1, 1 - delta), hi = std::min(m.NB, m.NB - delta);
            if (lo > hi) continue;
            const double* cx = &m.RSFx(so, delta, 2);  // cx[sc - 2]
            const double* cy = &m.RSFy(so, delta, 2);
            int sc = 2;
            for (; sc + 3 <= m.NS_2m1; sc += 4) {
                const int k = sc - 2;
                const double *c0 = &w.c(sc, 1), *c1 = &w.c(sc + 1, 1), *c2 = &w.c(sc + 2, 1),
                             *c3 = &w.c(sc + 3, 1);
                add_four(bx, cx + k, c0, c1, c2, c3, lo, hi, delta);
                add_four(by, cy + k, c0, c1, c2, c3, lo, hi, delta);
                if (!rates) continue;
                const double *d0 = &w.dc(sc, 1), *d1 = &w.dc(sc + 1, 1), *d2 = &w.dc(sc + 2, 1),
                             *d3 = &w.dc(sc + 3, 1);
                add_four(rx, cx + k, d0, d1, d2, d3, lo, hi, delta);
                add_four(ry, cy + k, d0, d1, d2, d3, lo, hi, delta);
            }
            for (; sc <= m.NS_2m1; ++sc) {
                add_one(bx, by, cx[sc - 2], cy[sc - 2], &w.c(sc, 1), lo, hi, delta);
                if (rates) add_one(rx, ry, cx[sc - 2], cy[sc - 2], &w.dc(sc, 1), lo, hi, delta);
            }
        }
    }
}

void calculated_self_field(Model& m) {
    for (RArr2* a : {&m.dBSFdt_x, &m.dBSFdt_y, &m.dBSFdt_z}) a->fill(0.0);
    const int nbsf = m.RSFx.hi2();  // band distances kept in the coefficients
    const bool rates = m.NTS > 0;
    const bool lead = m.Opt_RetLead == 1;

    // The return lead's field per ampere, the same for every band.
    std::vector<double> lx(std::size_t(m.NS_2m1) + 1, 0.0), ly(lx);
    if (lead)
        for (int s = 2; s <= m.NS_2m1; ++s) return_lead_per_ampere(m, s, lx[s], ly[s]);
    // The currents and their rates (A/s), section by section.
    auto& w = m.sf_work;
    w.c.allocate(2, m.NS_2m1, 1, m.NB, 0.0);
    w.dc.allocate(2, m.NS_2m1, 1, m.NB, 0.0);
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            w.c(s, b) = m.Cs(b, s);
            if (rates) w.dc(s, b) = (m.Cs(b, s) - m.Cs_prev(b, s)) / m.dt;
        }
    if (!all_zero(m.RSFz) || !all_finite(w.c) || !all_finite(w.dc)) {
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s)
                observer_sum(m, b, s, nbsf, rates, lead, lx[s], ly[s]);
        return;
    }
    all_bands_sums(m, nbsf, rates);
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            double x = w.bx(s, b), y = w.by(s, b), dx = w.rx(s, b), dy = w.ry(s, b);
            if (lead) {
                x += lx[s] * m.CPC;
                y += ly[s] * m.CPC;
                if (rates) {
                    dx += lx[s] * m.dIdt;
                    dy += ly[s] * m.dIdt;
                }
            }
            m.BSF_x(b, s) = x;
            m.BSF_y(b, s) = y;
            m.BSF_z(b, s) = 0.0;
            if (rates) {
                m.dBSFdt_x(b, s) = dx;
                m.dBSFdt_y(b, s) = dy;
                m.dBSFdt_z(b, s) = 0.0;
            }
        }
}

// Self field from the predefined table per ampere of transport current.
void predefined_self_field(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            m.BSF_x(b, s) = m.sff_x(s) * m.CPC;
            m.BSF_y(b, s) = m.sff_y(s) * m.CPC;
        }
}

}  // namespace

void self_field_array_calculation(Model& m) {
    allocate_coefficients(m, std::max(m.NBSF, 0));
    if (m.Opt_Cable == 1)
        infinite_cable_coefficients(m);
    else
        finite_cable_coefficients(m);
}

void self_field_calculation(Model& m) {
    for (RArr2* a : {&m.BSF_x, &m.BSF_y, &m.BSF_z}) a->fill(0.0);
    if (m.Opt_SF == 1)
        calculated_self_field(m);
    else if (m.Opt_SF == 2)
        predefined_self_field(m);
}

void total_field_calculation(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            double bx = m.Ba_x(b, s), by = m.Ba_y(b, s), bz = m.Ba_z(b, s);
            double rx = m.dBadt_x(b, s), ry = m.dBadt_y(b, s);
            if (m.Opt_SF == 1 || m.Opt_SF == 2) {
                bx += m.BSF_x(b, s);
                by += m.BSF_y(b, s);
            }
            if (m.Opt_SF == 1) {
                bz += m.BSF_z(b, s);
                rx += m.dBSFdt_x(b, s);
                ry += m.dBSFdt_y(b, s);
            }
            m.BTs(b, s) = std::sqrt(bx * bx + by * by + bz * bz);
            // The axial (z) rate induces no coupling currents in the filaments.
            m.BDOTs(b, s) = std::sqrt(rx * rx + ry * ry);
        }
}

}  // namespace vorn
