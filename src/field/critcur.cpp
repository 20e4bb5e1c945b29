#include "field/field.hpp"
#include "thermal/materials.hpp"

namespace vorn {

// Not implemented yet.
void crit_cur_and_temp_calculation(Model&) {}

// Not implemented yet.
void rs_calculation(Model&) {}

// Resistance of every section at the start of an iteration of a run with the
// constant-resistivity model (Ohm): the minimum resistivity, all-copper
// strands at the copper resistivity of the bath temperature, then the
// longitudinal resistivity of the band and the special resistances.
void rs_definition(Model& m) {
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = m.RhoMin * m.l_div_a(s);

    if (m.AnyNormS == 1) {
        // Residual part 1e-8/RRR (electrical), temperature part from the table.
        const double rho_t = rho_cu_t(m, m.TBath);
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s)
                if (m.Norms(b, s) == 1)
                    m.Rs(b, s) = (1e-8 / m.RRRs(b, s) + rho_t) * m.l_div_a(s);
    }

    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) += m.rholong(b) * m.l_div_a(s);

    for (int i = 1; i <= m.NrRhoSp; ++i) m.Rs(m.NBRhoSp(i), m.NSRhoSp(i)) += m.RsSp(i);
}

}  // namespace vorn
