// Strand-section resistance (Ohm) of every band 1..NB and section 2..2NS-1:
// the start value of the constant-resistivity model and the value in every
// resistance iteration by the chosen transition law.
#include <algorithm>
#include <cmath>

#include "field/field.hpp"
#include "thermal/materials.hpp"

namespace vorn {

namespace {

// Copper resistivity of section (b, s), Ohm m: magnetoresistance, residual
// part 1e-8/RRR (electrical; the thermal conductivity uses 1.7e-8/RRR) and
// the temperature part from the table at the section temperature.
double rho_cu_section(const Model& m, int b, int s) {
    return m.MR_con * m.BTs(b, s) + 1e-8 / m.RRRs(b, s) + rho_cu_t(m, m.Ts(b, s));
}

// Reference of the under-relaxation, the limiter and the change count
// (transition models 2 and 3).  The first iterations of the steady state
// start from the longitudinal and special resistances plus the accuracy; the
// first iteration of a later step starts from the last converged step.
void previous_resistance(const Model& m, RArr2& old) {
    if (m.NTS == 0 && m.NrItRs < 2) {
        old.allocate(1, m.NB, 2, m.NS_2m1, 0.0);
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s)
                old(b, s) = m.l_div_a(s) * (m.rholong(b) + m.RhoAcc);
        for (int i = 1; i <= m.NrRhoSp; ++i) old(m.NBRhoSp(i), m.NSRhoSp(i)) += m.RsSp(i);
    } else if (m.NTS > 0 && m.NrItRs <= 1) {
        old = m.Rs_prev;
    } else {
        old = m.Rs;
    }
}

// Resistance of section (b, s) by the transition law of models 2 and 3,
// with rmat the resistance of its copper; may be negative or undefined (the
// lower bound follows).
double transition(const Model& m, int b, int s, double rmat) {
    if (m.Opt_RsCalc == 2) {
        const double ratio = std::fabs(m.Cs(b, s) / m.ICs(b, s));
        const double rpl = m.RhoIc * m.l_div_a(s) * std::pow(ratio, m.NPOWs(b, s));
        // The power law until it reaches the copper (an undefined power-law
        // value gives the copper).
        return rpl <= rmat ? rpl : rmat;
    }
    // model 3: current sharing with the matrix; 0 A gives -infinity
    return (1 - std::fabs(m.ICs(b, s) / m.Cs(b, s))) * rmat;
}

// Steps up to the lower bound and the all-copper strands: Rs, R_mat and the
// count of sections above the minimum.
void transition_resistances(Model& m) {
    const bool constant = m.Opt_RsCalc == 1;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            const double rsmin = m.RhoMin * m.l_div_a(s);
            const double rho = rho_cu_section(m, b, s);
            double rs = rsmin;
            if (!constant) {
                m.R_mat(b, s) = rho * m.Length_s(s) / m.Cs_mat(b, s);
                rs = transition(m, b, s, m.R_mat(b, s));
                if (!(rs >= rsmin)) rs = rsmin;  // also an undefined value
                if (rs > 1.001 * rsmin) ++m.NrSecRes;
            }
            // A strand without superconductor follows its copper.
            if (m.AnyNormS == 1 && m.Norms(b, s) == 1) rs = rho * m.l_div_a(s);
            m.Rs(b, s) = rs + m.rholong(b) * m.l_div_a(s);
        }
    for (int i = 1; i <= m.NrRhoSp; ++i) m.Rs(m.NBRhoSp(i), m.NSRhoSp(i)) += m.RsSp(i);
}

// Relaxation factor of section (b, s) that follows the gain of its own
// iteration.  The iteration maps the resistance x that goes in (ln Rs) to
// the value y its transition law gives back, through the network, the heat
// and the temperatures.  Its gain g = dy/dx, measured from the last two
// iterations, is about -n (the n-value) times the share of the current that
// leaves a resistive section: a fixed factor c converges only while
// |1 - c (1 - g)| < 1.  The factor 1/(1 - g) is the secant step to the
// fixed point of the section: 1 where the law's value does not move with
// the input, 1/(1 + n a) for the power law.  A gain between 0 and 1 (a
// section that heats itself: more resistance, more heat, a lower critical
// current) asks for a step longer than the law's change; it is allowed up
// to kMaxGainStep times that change.  Without it such sections creep
// towards their value by a tenth of the way per iteration; the full secant
// step overshoots where neighbouring sections interact (on a 28-strand
// heater quench, bounds of 4 and 8 took more iterations than 2).  The
// factor is bounded to [c/64, kMaxGainStep], c the factor of the
// relaxation level; a gain of 1 or more (a section running away) takes the
// full step.  Where the gain is not measured (the first iteration of a
// level, or no change) the level's factor relaxes linearly, as in the older
// scheme.
constexpr double kMaxGainStep = 2.0;

double gain_factor(Model& m, int b, int s, double in, double out, double c, bool measured) {
    const double x = std::log(in), y = std::log(out);
    double f = c;
    if (measured) {
        const double dx = x - m.RsIn_log(b, s);
        if (std::fabs(dx) > 1e-12) {
            const double g = (y - m.RsOut_log(b, s)) / dx;
            f = g < 1 ? std::clamp(1 / (1 - g), c / 64, kMaxGainStep) : 1.0;
        }
    }
    m.RsIn_log(b, s) = x;
    m.RsOut_log(b, s) = y;
    return f;
}

// Under-relaxation towards the reference and a bounded change per
// iteration, a factor FRsLim either way; sections of all-copper strands are
// left as they are.  The coupled step relaxes in ln Rs by the gain of each
// section, the older scheme linearly by the factor of the level.
void relax_and_limit(Model& m, const RArr2& old) {
    const double c = m.ConvFR(m.CntR);
    const bool gain = m.CoupledStep == 1;
    if (gain && !m.RsIn_log.allocated()) {
        m.RsIn_log.allocate(1, m.NB, 2, m.NS_2m1, 0.0);
        m.RsOut_log.allocate(1, m.NB, 2, m.NS_2m1, 0.0);
    }
    // The gain is measured against the previous iteration of the same step
    // and level.
    const bool measured = gain && m.NrItRs >= 2 && m.RsGainNTS == m.NTS &&
                          m.RsGainIt == m.NrItRs - 1 && m.RsGainCntR == m.CntR;
    m.RsGainNTS = m.NTS;
    m.RsGainIt = m.NrItRs;
    m.RsGainCntR = m.CntR;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) {
            if (m.AnyNormS == 1 && m.Norms(b, s) != 0) continue;
            double rs = c * m.Rs(b, s) + (1 - c) * old(b, s);
            if (gain && old(b, s) > 0 && m.Rs(b, s) > 0) {
                const double f = gain_factor(m, b, s, old(b, s), m.Rs(b, s), c, measured);
                if (f == 1)
                    rs = m.Rs(b, s);
                else if (measured)
                    rs = old(b, s) * std::pow(m.Rs(b, s) / old(b, s), f);
            }
            rs = std::min(rs, old(b, s) * m.FRsLim);
            rs = std::max(rs, old(b, s) / m.FRsLim);
            m.Rs(b, s) = rs;
        }
}

}  // namespace

void rs_calculation(Model& m) {
    m.NrSecRes = 0;
    // Reference value: for the constant-resistivity model, which has no
    // relaxation, the changes are counted against the value on entry.
    RArr2 old;
    if (m.Opt_RsCalc == 1)
        old = m.Rs;
    else
        previous_resistance(m, old);

    transition_resistances(m);
    if (m.Opt_RsCalc != 1) relax_and_limit(m, old);

    m.NrRsCh = 0;
    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s)
            if (std::fabs(m.Rs(b, s) - old(b, s)) > m.RhoAcc * m.l_div_a(s)) ++m.NrRsCh;

    // Uniform current in the first time step: the minimum everywhere; the
    // counts above stay.
    if (m.NTS == 0 && m.Opt_UnifCur1 > 0)
        for (int b = 1; b <= m.NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) = m.RhoMin * m.l_div_a(s);
}

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
                if (m.Norms(b, s) == 1) m.Rs(b, s) = (1e-8 / m.RRRs(b, s) + rho_t) * m.l_div_a(s);
    }

    for (int b = 1; b <= m.NB; ++b)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(b, s) += m.rholong(b) * m.l_div_a(s);

    for (int i = 1; i <= m.NrRhoSp; ++i) m.Rs(m.NBRhoSp(i), m.NSRhoSp(i)) += m.RsSp(i);
}

}  // namespace vorn
