// Heat flows of a section to its strand, adjacent and crossing neighbours:
// the neighbour data taken once for the passes of a bisection give the flows
// of the formula evaluated in full at every temperature, to the bit, for
// each conductivity option and contact-law exponent; and the flow between
// two sections is the same seen from either side.
#include <gtest/gtest.h>

#include <cmath>

#include "thermal/materials.hpp"
#include "thermal_fixture.hpp"

namespace vorn::test {
namespace {

// A cable of NB bands with every section at its own temperature, field and
// RRR.
void uneven_cable(Model& m, int NB) {
    thermal_cable(m, NB, 1);
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            m.Tmid(b, s) = 4.2 + 0.37 * b + 0.113 * s * (s % 3);
            m.BTs(b, s) = 0.5 + 0.21 * s + 0.05 * b;
            m.RRRs(b, s) = 60 + 17 * ((b + s) % 4);
        }
}

int neighbour(const Model& m, int b, int offset) {
    if (m.NB == 1) return 1;
    const int nb = b + offset;
    return nb >= 1 && nb <= m.NB ? nb : 0;
}

// The flows as the pass evaluated them before the neighbour data were kept:
// everything from the store, std::pow whatever the exponent.
CableFlows reference_flows(const Model& m, int b, int s, double T) {
    auto k_pair = [&](int nb, int ns, double Tn) {
        double k = 0;
        k_cu_calculation(m, (T + Tn) / 2, (m.BTs(b, s) + m.BTs(nb, ns)) / 2,
                         (m.RRRs(b, s) + m.RRRs(nb, ns)) / 2, k);
        return k;
    };
    auto along = [&](int offset, int ns, double dist) {
        const int nb = neighbour(m, b, offset);
        if (nb == 0) return 0.0;
        const double Tn = m.Tmid(nb, ns);
        return (Tn - T) * m.Cs_mat(b, s) * m.F_HF_str * k_pair(nb, ns, Tn) / dist;
    };
    auto contact = [&](int offset, int ns, double factor, const RArr1& area, double length) {
        const int nb = neighbour(m, b, offset);
        if (nb == 0) return 0.0;
        const double Tn = m.Tmid(nb, ns);
        const double hc = factor * m.F_cont * std::pow((T + Tn) / 2, m.P_cont);
        const double hk = m.F_HF_str * k_pair(nb, ns, Tn) / length;
        const double h = hc + hk > 0 ? hc * hk / (hc + hk) : 0.0;
        return (Tn - T) * 0.5 * (area(ns) + area(s)) * h;
    };
    CableFlows f;
    f.str_L = along(m.NB_str_L(s), m.NS_str_L(s), m.l_str_l(s));
    f.str_R = along(m.NB_str_R(s), m.NS_str_R(s), m.l_str_r(s));
    f.adj = contact(m.NB_adj_L(s), m.NS_adj_L(s), m.F_HF_Ad, m.A_Ad, m.Length_s(3)) +
            contact(m.NB_adj_R(s), m.NS_adj_R(s), m.F_HF_Ad, m.A_Ad, m.Length_s(3));
    f.cross = contact(0, m.NS_cross(s), m.F_HF_Cr, m.A_Cr, m.l_cr(s));
    return f;
}

TEST(SectionFlows, KeptNeighbourDataGiveTheFullFormulaToTheBit) {
    for (int NB : {1, 4}) {
        Model m;
        uneven_cable(m, NB);
        int nonzero = 0;
        for (int opt : {0, 1, 2})
            for (double p : {1.0, 1.3}) {
                m.Opt_kCu = opt;
                m.P_cont = p;
                for (int b = 1; b <= m.NB; ++b)
                    for (int s = 2; s <= m.NS_2m1; ++s) {
                        const SectionFlows flows(m, b, s, m.Tmid);
                        for (double T : {4.2, 5.03, 9.87, 37.4, 301.0}) {
                            const CableFlows f = flows.at(T), r = reference_flows(m, b, s, T);
                            EXPECT_EQ(f.str_L, r.str_L) << NB << opt << p << b << s << T;
                            EXPECT_EQ(f.str_R, r.str_R) << NB << opt << p << b << s << T;
                            EXPECT_EQ(f.adj, r.adj) << NB << opt << p << b << s << T;
                            EXPECT_EQ(f.cross, r.cross) << NB << opt << p << b << s << T;
                            const CableFlows g = cable_flows(m, b, s, T, m.Tmid);
                            EXPECT_EQ(g.adj, f.adj);
                            nonzero += f.str_L != 0 && f.adj != 0 && f.cross != 0;
                        }
                    }
            }
        EXPECT_GT(nonzero, 100) << NB;
    }
}

// Each section at its Tmid: the crossing flow into (b, s) from (b, ns) is
// the flow out of (b, ns) into (b, s), and the strand flows of the two ends
// of a strand link cancel.
TEST(SectionFlows, FlowBetweenTwoSectionsIsTheSameFromEitherSide) {
    Model m;
    uneven_cable(m, 4);
    m.P_cont = 1.3;
    int cross = 0, strand = 0;
    for (int opt : {0, 2}) {
        m.Opt_kCu = opt;
        for (int b = 2; b <= 3; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) {
                const CableFlows f = cable_flows(m, b, s, m.Tmid(b, s), m.Tmid);
                const int nc = m.NS_cross(s);
                if (m.NS_cross(nc) == s) {
                    const CableFlows g = cable_flows(m, b, nc, m.Tmid(b, nc), m.Tmid);
                    EXPECT_NEAR(f.cross, -g.cross, 1e-12 * std::fabs(f.cross)) << b << " " << s;
                    cross += f.cross != 0;
                }
                const int nb = b + m.NB_str_R(s), ns = m.NS_str_R(s);
                if (m.NS_str_L(ns) == s && nb + m.NB_str_L(ns) == b &&
                    m.l_str_r(s) == m.l_str_l(ns)) {
                    const CableFlows g = cable_flows(m, nb, ns, m.Tmid(nb, ns), m.Tmid);
                    EXPECT_NEAR(f.str_R, -g.str_L, 1e-12 * std::fabs(f.str_R)) << b << " " << s;
                    strand += f.str_R != 0;
                }
            }
    }
    EXPECT_GT(cross, 20);
    EXPECT_GT(strand, 20);
}

}  // namespace
}  // namespace vorn::test
