// Heat flows of one strand section: along its strand, through the contacts
// to the adjacent and crossing strands (contact conductance in series with
// conduction into the strand), and to the helium in the cooling regime of
// the section.
#include <cmath>

#include "thermal/materials.hpp"
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

// Band of a neighbour at band offset `offset`; 0 when it lies beyond a
// cable end.  A single band is its own neighbour.
int neighbour_band(const Model& m, int b, int offset) {
    if (m.NB == 1) return 1;
    const int nb = b + offset;
    return nb >= 1 && nb <= m.NB ? nb : 0;
}

// Contact conductance per area hc (W/(m^2 K)) in series with the conduction
// hk into the strand; 0 when both vanish.
double series(double hc, double hk) { return hc + hk > 0 ? hc * hk / (hc + hk) : 0.0; }

// x^p; the exponent 1 (the usual contact law) without the library call: the
// power is evaluated three times per bisection pass, and x^1 is x exactly.
double power(double x, double p) { return p == 1.0 ? x : std::pow(x, p); }

}  // namespace

SectionFlows::SectionFlows(const Model& m, int b, int s, const RArr2& Tmid) : m_(m) {
    const double F = m.F_HF_str;
    // The pair's field and RRR are the means of the two sections.
    auto link = [&](int offset, int ns) {
        Link l;
        l.nb = neighbour_band(m, b, offset);
        if (l.nb == 0) return l;
        l.Tn = Tmid(l.nb, ns);
        l.B = (m.BTs(b, s) + m.BTs(l.nb, ns)) / 2;
        l.RRR = (m.RRRs(b, s) + m.RRRs(l.nb, ns)) / 2;
        return l;
    };
    auto along = [&](int offset, int ns, double dist) {
        Link l = link(offset, ns);
        l.Cs_mat = m.Cs_mat(b, s);
        l.length = dist;
        return l;
    };
    // Contacts: hc = F_x F_cont Tm^P_cont at the mean temperature.
    auto contact = [&](int offset, int ns, double factor, const RArr1& area, double length) {
        Link l = link(offset, ns);
        l.hc_factor = factor * m.F_cont;
        l.area = area(ns) + area(s);
        l.length = length;
        return l;
    };
    F_ = F;
    links_[0] = along(m.NB_str_L(s), m.NS_str_L(s), m.l_str_l(s));
    links_[1] = along(m.NB_str_R(s), m.NS_str_R(s), m.l_str_r(s));
    // One conduction length, Length_s(3), for every adjacent contact.
    const double l_adj = m.Length_s(3);
    links_[2] = contact(m.NB_adj_L(s), m.NS_adj_L(s), m.F_HF_Ad, m.A_Ad, l_adj);
    links_[3] = contact(m.NB_adj_R(s), m.NS_adj_R(s), m.F_HF_Ad, m.A_Ad, l_adj);
    links_[4] = contact(0, m.NS_cross(s), m.F_HF_Cr, m.A_Cr, m.l_cr(s));
}

// Copper conductivity (W/(m K)) between the section at T and the neighbour
// of link l: at the mean temperature, field and RRR.
double SectionFlows::conductivity(const Link& l, double T) const {
    double k = 0;
    k_cu_calculation(m_, (T + l.Tn) / 2, l.B, l.RRR, k);
    return k;
}

double SectionFlows::along_K(const Link& l, double T) const {
    if (l.nb == 0) return 0.0;
    return l.Cs_mat * F_ * conductivity(l, T) / l.length;
}

double SectionFlows::contact_K(const Link& l, double T) const {
    if (l.nb == 0) return 0.0;
    const double hc = l.hc_factor * power((T + l.Tn) / 2, m_.P_cont);
    const double hk = F_ * conductivity(l, T) / l.length;
    return 0.5 * l.area * series(hc, hk);
}

// The flows keep their own order of operations (the results of earlier
// versions to the bit).
double SectionFlows::along(const Link& l, double T) const {
    if (l.nb == 0) return 0.0;
    const double k = conductivity(l, T);
    return (l.Tn - T) * l.Cs_mat * F_ * k / l.length;
}

double SectionFlows::contact(const Link& l, double T) const {
    if (l.nb == 0) return 0.0;
    const double hc = l.hc_factor * power((T + l.Tn) / 2, m_.P_cont);
    const double hk = F_ * conductivity(l, T) / l.length;
    return (l.Tn - T) * 0.5 * l.area * series(hc, hk);
}

void SectionFlows::conductances(double T, double K[5]) const {
    K[0] = along_K(links_[0], T);
    K[1] = along_K(links_[1], T);
    for (int i = 2; i < 5; ++i) K[i] = contact_K(links_[i], T);
}

CableFlows SectionFlows::at(double T) const {
    CableFlows f;
    f.str_L = along(links_[0], T);
    f.str_R = along(links_[1], T);
    f.adj = contact(links_[2], T) + contact(links_[3], T);
    f.cross = contact(links_[4], T);
    return f;
}

CableFlows cable_flows(const Model& m, int b, int s, double T, const RArr2& Tmid) {
    return SectionFlows(m, b, s, Tmid).at(T);
}

void store_cable_flows(Model& m, int b, int s, const CableFlows& f) {
    m.HF_str(b, s) = f.str_L + f.str_R;
    m.HF_adj(b, s) = f.adj;
    m.HF_cross(b, s) = f.cross;
}

void heat_flow_cable(Model& m, int b, int s, double T, const RArr2& Tmid, double& HF_L,
                     double& HF_R) {
    const CableFlows f = cable_flows(m, b, s, T, Tmid);
    HF_L = f.str_L;
    HF_R = f.str_R;
    store_cable_flows(m, b, s, f);
}

double helium_flux(const Model& m, int b, int s, double Ts, double THe) {
    const double d = THe - Ts;
    switch (m.Regime(b, s)) {
    case 1:  // transient
        return m.a_Trans * (std::pow(THe, m.n_Trans) - std::pow(Ts, m.n_Trans));
    case 2:  // Kapitza
        return m.aKap * (std::pow(THe, m.nKap) - std::pow(Ts, m.nKap));
    case 3:  // film boiling in superfluid helium
        return m.aFB_II * d;
    case 4:  // natural convection
        return m.aNC * d;
    case 5:  // nucleate boiling
        return (d < 0 ? -1.0 : 1.0) * m.aNB * std::pow(std::fabs(d), 2.5);
    case 6:  // film boiling
        return m.aFB_I * d;
    case 10: {  // supercritical helium: transient conduction after t0, plus a_inf
        const double t0 = m.T0_supercr(b, s);
        if (t0 < -0.0005) return 0.0;  // the section has not warmed by dT yet
        const double since = m.Time - t0;
        // The conduction term diverges at t0 for p < 0; at t0 itself only
        // the steady coefficient acts.
        const double transient =
            since > 0 ? 0.5 * std::sqrt(m.Pi * m.C * m.k) * std::pow(since, m.p) : 0.0;
        return d * (transient + m.a_inf);
    }
    default:
        return 0.0;
    }
}

void heat_flow_helium(Model& m, int b, int s, double Ts, double THe) {
    m.HF_He(b, s) = m.A_He(s) * helium_flux(m, b, s, Ts, THe);
}

}  // namespace vorn
