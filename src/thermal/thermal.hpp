// Thermal model: set-up, heat generation and temperatures.
#pragma once

#include "control/model.hpp"

namespace vorn {

void initialize_2(Model& m);
void initialize_hf(Model& m);
// Thermal neighbour tables of the sections and their centre distances;
// called at the start of initialize_hf.
void neighbour_tables(Model& m);
void heat_per_section(Model& m);

// --- temperature solution ------------------------------------------------
// Heat flows (W) into section (b, s) at temperature T from its two strand
// neighbours, its two adjacent strands and its crossing strand, whose
// temperatures are taken from Tmid.  A neighbour beyond a cable end gives 0.
struct CableFlows {
    double str_L = 0, str_R = 0, adj = 0, cross = 0;
};
CableFlows cable_flows(const Model& m, int b, int s, double T, const RArr2& Tmid);
// The same flows of section (b, s) at any temperature T: what depends only
// on the neighbours (their temperatures from Tmid, fields, RRR, band and
// section, areas and lengths) is taken once, for the passes of a bisection.
// Model and Tmid must outlive the object and the neighbours' entries must
// not change while it is used.
class SectionFlows {
public:
    SectionFlows(const Model& m, int b, int s, const RArr2& Tmid);
    CableFlows at(double T) const;
    // Conductances (W/K) of the five links at T, in the order strand left,
    // strand right, adjacent left, adjacent right, crossing: the flow of a
    // link is K (Tn - T); 0 beyond a cable end.
    void conductances(double T, double K[5]) const;

private:
    // One neighbour; nb = 0 when it lies beyond a cable end.
    struct Link {
        int nb = 0;
        double Tn = 0, B = 0, RRR = 0;  // K, mean T, mean RRR
        double length = 0;              // conduction length, m
        double Cs_mat = 0;              // strand neighbours: copper section, m^2
        double hc_factor = 0, area = 0; // contacts: F_x F_cont; sum of the two areas, m^2
    };
    double conductivity(const Link& l, double T) const;
    double along(const Link& l, double T) const;
    double contact(const Link& l, double T) const;
    double along_K(const Link& l, double T) const;
    double contact_K(const Link& l, double T) const;

    const Model& m_;
    double F_ = 0;  // F_HF_str
    Link links_[5];  // strand left, strand right, adjacent left, adjacent right, crossing
};
// Stores f in HF_str (both strand parts), HF_adj and HF_cross of (b, s).
void store_cable_flows(Model& m, int b, int s, const CableFlows& f);
// The same, stored in HF_str, HF_adj, HF_cross; HF_L, HF_R the strand parts.
void heat_flow_cable(Model& m, int b, int s, double T, const RArr2& Tmid, double& HF_L,
                     double& HF_R);
// Heat flux from the helium into the strand (W/m^2) in the section's
// Regime, strand at Ts, helium at THe (K).
double helium_flux(const Model& m, int b, int s, double Ts, double THe);
// HF_He(b, s) = A_He(s) helium_flux.
void heat_flow_helium(Model& m, int b, int s, double Ts, double THe);
// Bisection of the strand temperature of one section over the step; C the
// heat capacity used (J/K).  True when converged inside the bracket.
bool ts_iteration(Model& m, int b, int s, double& C, double tol, double T0, const RArr2& Tmid);
// The same with the helium of the section solved inside every strand pass.
bool ts_ths_iteration(Model& m, int b, int s, double& C, double tol, double T0, double TH0,
                      const RArr2& Tmid);
// One pass over all sections (sets Ts, THs, Regime, NrTsCh, NrTHsCh, TsConv,
// StepAdd).
void temp_calculation(Model& m);
// One pass of the coupled solution: a Newton iteration on the balances of
// all sections at once, accepted by the tests of the bisection.  Sets what
// temp_calculation sets.
void temp_calculation_coupled(Model& m);

// --- energy account --------------------------------------------------------
// Adds a converged step to the account (resets it at NTS = 0).
void energy_account_step(Model& m);
// Residual = put in - stored - given away (J).
double energy_residual(const Model& m);

}  // namespace vorn
