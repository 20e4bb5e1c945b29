// Documented for users in docs/output-files.md (Summary.dat).
// "Summary.dat", input steps 8 to 16: temperature and cooling, contact
// surfaces and helium volume, insulation, field line, the time calculation
// with its heat pulses, iteration parameters, magnetisation, print options
// and the parameters for experienced users.
#include <cmath>
#include <string_view>

#include "output/summary_lines.hpp"

namespace vorn {

namespace {

constexpr double kMm = 1e3;  // m -> mm
constexpr double kMicro = 1e6;  // V -> uV, J -> uJ, s -> us
constexpr std::string_view kNone = ",-";

void normal_helium(Model& m, SummaryLines& o) {
    o.text("Normal helium (1 atm)");
    o.value("aKap,", m.aKap, ",W/m^2/K^n");
    o.value("nKap,", m.nKap, kNone);
    o.value("aFB_II,", m.aFB_II, ",W/m^2/K");
    o.value("HF_Lim_Kap,", m.HF_Lim_Kap, ",W/m^2");
    o.value("aNC,", m.aNC, ",W/m^2/K");
    o.value("aNB,", m.aNB, ",W/m^2/K^2.5");
    o.value("aFB_I,", m.aFB_I, ",W/m^2/K");
    o.value("HF_Lim_NC,", m.HF_Lim_NC, ",W/m^2");
    o.value("HF_Lim_NB,", m.HF_Lim_NB, ",W/m^2");
    o.value("Density helium,", m.Rho_He, ",kg/m^3");
}

void supercritical_helium(Model& m, SummaryLines& o) {
    o.text("Supercritical helium");
    o.value("C,", m.C, ",J/K/m^3");
    o.value("k,", m.k, ",W/m/K");
    o.value("p,", m.p, kNone);
    o.value("a_inf,", m.a_inf, ",W/m^2/K");
    o.value("dT,", m.dT, ",K");
}

void transient_heat_flow(Model& m, SummaryLines& o) {
    if (m.Opt_Trans_HF < 1) {
        o.text("No transient heat flow");
        return;
    }
    o.text("Transient heat flow equal to a_Trans*(Ts^n_Trans-THe^n_trans)");
    o.value("a_Trans,", m.a_Trans, ",W/m^2/K^n");
    o.value("n_Trans,", m.n_Trans, kNone);
    if (m.Opt_Trans_HF == 1) o.text("Infinite energy limit for transient heat flow");
    if (m.Opt_Trans_HF == 2)
        o.value("Constant energy limit for transient heat flow,", m.E_Trans_Lim0, ",J/m^2");
    if (m.Opt_Trans_HF == 3)
        o.value("Energy limit for transient heat flow varying across cable width,",
                m.E_Trans_Lim2, ",J/m^3");
}

void temperature_and_cooling(Model& m, SummaryLines& o) {
    o.header("========== Temperature and Cooling (STEP 8) ================================");
    if (m.Opt_Temp == 0) o.text("Constant temperature");
    if (m.Opt_Temp == 1) o.text("Adiabatic conditions (no helium cooling)");
    if (m.Opt_Temp == 2) o.text("Cooling with infinite helium amount");
    if (m.Opt_Temp == 3) o.text("Cooling with helium in cable voids");
    o.value("Tbath: Bath temperature,", m.TBath, ",K");
    if (m.Opt_Temp <= 0) return;
    if (m.Opt_kCu == 0) o.text("Heat flow along the strands calculated with NIST formula");
    if (m.Opt_kCu == 1) o.text("Heat flow along the strands calculated with Wiedemann-Franz");
    o.value("Scaling factor for heat flow along the strands,", m.F_HF_str, kNone);
    o.value("Factor for heat flow through the contacts,", m.F_cont, ",W/m2K^(P+1)");
    o.value("Power for heat flow through the contacts,", m.P_cont, kNone);
    o.value("Scaling factor for heat flow between adjacent contacts,", m.F_HF_Ad, kNone);
    o.value("Scaling factor for heat flow between crossing contacts,", m.F_HF_Cr, kNone);
    o.value("Factor defining the distribution of the ISCL,", m.F_ISCL, kNone);
    o.value("   so: part absorbed by the strands,", m.F_ISCL, kNone);
    o.value("   so: part absorbed by the helium,", 1 - m.F_ISCL, kNone);
    if (m.Opt_Temp <= 1) return;
    if (m.Opt_He == 1)
        supercritical_helium(m, o);
    else
        normal_helium(m, o);
    transient_heat_flow(m, o);
}

void surfaces_and_insulation(Model& m, SummaryLines& o) {
    o.header("========== Contact surfaces and Volumes (STEP 9) ===========================");
    o.text("A_Ad = Contact surface between adj strands");
    o.text("A_Cr = Contact surface between crossing strands");
    o.text("A_He = Contact surface between helium and strands");
    o.text("Vol_He = Helium volume per strand section");
    if (m.Opt_SurfVol == 1) o.text("A_Ad, A_cr, A_He, and Vol_He constant");
    if (m.Opt_SurfVol == 2) o.text("A_Ad, A_cr, A_He, and Vol_He entered by user/file");
    if (m.Opt_SurfVol == 3)
        o.text("A_Ad, A_cr, A_He, and Vol_He calculated internally by empirical formula");
    o.value("Scaling factor for helium volume inside the cable,", m.F_Vol_He, kNone);
    o.plain("See for the exact values the tables:");
    o.plain("   - Geometrical values of the strand sections");
    o.plain("   - Heat transfer to helium data");

    o.header("========== Cable insulation (STEP 10) ======================================");
    if (m.Opt_Ins != 1) {
        o.text("No cable insulation");
        return;
    }
    o.text("Cable insulation present");
    o.value("Th_ins_1,", m.Th_ins_1 * kMm, ",mm");
    o.value("Th_ins_2,", m.Th_ins_2 * kMm, ",mm");
    o.value("Th_ins_f,", m.Th_ins_f * kMm, ",mm");
    o.value("k_ins_1,", m.k_ins_1, ",W/m/K");
    o.value("k_ins_2,", m.k_ins_2, ",W/m/K");
    o.value("k_ins_f,", m.k_ins_f, ",W/m/K");
    o.value("F_ins_1,", m.F_ins_1, kNone);
    o.value("F_ins_2,", m.F_ins_2, kNone);
    o.value("F_ins_f,", m.F_ins_f, kNone);
}

void field_line(Model& m, SummaryLines& o) {
    o.header("========== Field Line (STEP 11) ===========================");
    if (m.Opt_FLC != 1) {
        o.text("No Field Line calculation");
        return;
    }
    o.text("Calculate the Field along a Line");
    o.integer("Nr. of points on the line,", m.NrPFL, kNone);
    o.value("Initial x-position,", m.FLx1 * kMm, ",mm");
    o.value("Initial y-position,", m.FLy1 * kMm, ",mm");
    o.value("Initial z-position,", m.FLz1 * kMm, ",mm");
    o.value("x-increment,", m.dFLx * kMm, ",mm");
    o.value("y-increment,", m.dFLy * kMm, ",mm");
    o.value("z-increment,", m.dFLz * kMm, ",mm");
}

// Time from the first point of the heater table with power on to the end of
// the pulse (s); 0 without a pulse.
double heat_pulse_duration(const Model& m) {
    if (m.t_HP_end < 0 || !m.P_HP_inp.allocated() || !m.t_hp_inp.allocated()) return 0;
    for (int t = 1; t <= m.NrT_HP; ++t) {
        double p = 0;
        for (int i = 1; i <= m.Nr_HP; ++i) p += m.P_HP_inp(t, i);
        if (p > 1e-9) return m.t_HP_end - m.t_hp_inp(t);
    }
    return 0;
}

void heated_sections(Model& m, SummaryLines& o) {
    o.integer("Nr. of sections with a Heat Pulse,", m.Nr_HP, kNone);
    if (m.Nr_HP <= 0 || !m.NB_HP.allocated() || !m.Ns_HP.allocated()) return;
    o.text("number,      band,   section");
    static const Format row("(I28,A1,I10,A1,I10)");
    for (int i = 1; i <= m.Nr_HP; ++i) o.put(row, {i, ",", m.NB_HP(i), ",", m.Ns_HP(i)});
}

void calculation_in_time(Model& m, SummaryLines& o) {
    o.header("========== Calculations in time (STEP 12) ==================================");
    // VoltStop is kept per cable; an infinitely long cable states it per metre.
    if (m.Opt_Cable == 1) {
        const double per_m = m.L_cable > 0 ? m.VoltStop / m.L_cable : 0.0;
        o.value("Voltage at which the calculation stops,", per_m * kMicro, ",uV/m");
    } else {
        o.value("Voltage at which the calculation stops,", m.VoltStop * kMicro, ",uV");
        o.integer("Nr. of bands for mut. ind. calculation,", m.NBMut, kNone);
    }
    o.text(m.Opt_StrCur != 0 ? "Non-uniform transport current per strand"
                             : "Uniform transport current per strand");
    if (m.Opt_HP == 1) {
        o.text("Heat pulse added");
        o.value("Duration heat pulse,", heat_pulse_duration(m) * kMicro, ",us");
        o.value("Energy pulse,", m.E_HP_inp * kMicro, ",uJ");
        heated_sections(m, o);
    } else if (m.Opt_HP == 2) {
        o.text("QE calculation activated");
        o.value("Duration heat pulse,", heat_pulse_duration(m) * kMicro, ",us");
        heated_sections(m, o);
        o.value_e("QE_rho_NQ,", m.QE_rho_NQ, ",Ohm m");
        o.integer("QE_nr_sec,", m.QE_nr_sec, kNone);
        o.value_e("QE_rho_Q,", m.QE_rho_Q, ",Ohm m");
    } else {
        o.text("No energy pulse added");
    }
}

void iteration_parameters(Model& m, SummaryLines& o) {
    o.header("========== Iteration parameters (STEP 13) ==================================");
    if (m.Opt_RsCalc > 1) {
        // The relaxation factor halves from level to level: 2^-(CntR_M - 1) at the last.
        const double min_factor = m.ConvFR.allocated() && m.CntR_M >= 1
                                      ? m.ConvFR(m.CntR_M)
                                      : std::pow(0.5, m.CntR_M - 1);
        o.integer("Initial nr. of iterations in Rs,", m.NrItR0, kNone);
        o.value("Factor for limiting the change in Rs,", m.FRsLim, kNone);
        o.value("Required accuracy in Cs,", m.CsAcc, ",A");
        o.value_e("Required accuracy in Rho_s,", m.RhoAcc, ",Ohm m");
        o.value("Min. conv. factor for Rs,", min_factor, kNone);
    }
    if (m.Opt_Temp > 0) {
        o.integer("Maximum nr. of iterations in Ts,", m.NrItT_M, kNone);
        o.value("Maximum temperature increase per time step,", m.TincrM, ",K");
        o.value("Required accuracy in Ts,", m.TsAcc, ",K");
        o.value("Required relative accuracy in HF,", m.HFAccRel, kNone);
        o.value_e("Required absolute accuracy in HF,", m.HFAccAbs, ",W");
    }
}

void last_steps(Model& m, SummaryLines& o) {
    o.header("========== Magnetization calculation (STEP 14) =============================");
    o.text(m.Opt_Magn == 1 ? "Magnetisation calculation performed"
                           : "No Magnetisation calculation");
    o.header("========== Print options (STEP 15) =========================================");
    o.header("========== Parameters for experienced users (STEP 16) ======================");
    o.value("One,", m.One, kNone);
    o.integer("IniRand,", m.IniRand, kNone);
    o.value("EffLC,", m.EffLC, ",m");  // a length (m), as its input
    o.integer("NrItBack,", m.NrItBack, kNone);
    o.text(m.Opt_UnifCur1 == 0 ? "Calculate optimal current distr. in 1st time step"
                               : "Force uniform current distr. in 1st time step");
    o.integer("Nr_Opt,", m.Nr_Opt, kNone);
    if (m.Nr_Opt > 9) {
        o.value("C1_Opt,", m.C1_Opt, kNone);
        o.value("C2_Opt,", m.C2_Opt, kNone);
        o.value("C3_Opt,", m.C3_Opt, kNone);
        o.value("C4_Opt,", m.C4_Opt, kNone);
    }
}

}  // namespace

void summary_thermal(Model& m, SummaryLines& o) {
    temperature_and_cooling(m, o);
    surfaces_and_insulation(m, o);
    field_line(m, o);
    calculation_in_time(m, o);
    iteration_parameters(m, o);
    last_steps(m, o);
}

}  // namespace vorn
