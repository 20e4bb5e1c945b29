// Documented for users in docs/output-files.md (Mat_prop.dat and the set-up tables).
// "Mat_prop.dat": the copper resistivity, the thermal conductivities and
// contact conduction factors, the heat capacities and the critical currents
// that the model uses, tabulated over fixed temperature and field grids;
// and the per-band set-up tables "Ra.dat", "Rc.dat", "RRRs.dat", "RRRp.dat",
// "ICRATs.dat", "ICRATp.dat".
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "control/messages.hpp"
#include "field/field.hpp"
#include "output/output.hpp"
#include "output/tables.hpp"
#include "thermal/materials.hpp"

namespace vorn {

namespace {

// A temperature grid made of segments from..to in steps (K, multiples of
// 0.01 K).  Each point is formed from whole hundredths, so a point that lies
// on the 0.1 K grid of the material tables is found there by their lookups.
struct Segment {
    double from, to, step;
};

std::vector<double> grid(std::initializer_list<Segment> segments) {
    std::vector<double> g;
    for (const Segment& s : segments) {
        const long from = std::lround(s.from * 100), to = std::lround(s.to * 100);
        const long step = std::lround(s.step * 100);
        for (long k = from; k <= to; k += step) g.push_back(double(k) / 100);
    }
    return g;
}

// The grids of the tables below; each is also stated in the file.
// Resistivity: 0.2 K to 10 K by 0.2 K, then on by 10 K to 1000 K (10 K is
// not repeated).
const std::vector<double>& rho_temps() {
    static const auto g = grid({{0.2, 10.0, 0.2}, {20.0, 1000.0, 10.0}});
    return g;
}
// Conductivity: 0.1 K to 1 K by 0.1 K, 1.5 K to 10 K by 0.5 K, 12 K to
// 100 K by 2 K, 110 K to 300 K by 10 K.
const std::vector<double>& k_temps() {
    static const auto g =
        grid({{0.1, 1.0, 0.1}, {1.5, 10.0, 0.5}, {12.0, 100.0, 2.0}, {110.0, 300.0, 10.0}});
    return g;
}
// Heat capacity: 1 K to 20 K by 0.5 K, 22 K to 100 K by 2 K, 110 K to 300 K
// by 10 K.
const std::vector<double>& cp_temps() {
    static const auto g = grid({{1.0, 20.0, 0.5}, {22.0, 100.0, 2.0}, {110.0, 300.0, 10.0}});
    return g;
}
// Critical current: 0.5 T up to 15 T (NbTi) or 25 T (Nb3Sn) by 0.5 T; no
// zero field, where the fit of Opt_Ic = 4 divides by B.
double ic_field_max(const Model& m) { return m.Opt_SC == 1 ? 15.0 : 25.0; }

void text_columns(OutFile& f, const Format& fmt, std::initializer_list<std::string_view> cols,
                  std::string_view sep) {
    std::vector<FItem> items;
    bool first = true;
    for (std::string_view c : cols) {
        if (!first) items.emplace_back(sep);
        items.emplace_back(c);
        first = false;
    }
    f.fmt(fmt, items);
}

void value_columns(OutFile& f, const Format& fmt, std::initializer_list<double> vals,
                   std::string_view sep) {
    std::vector<FItem> items;
    bool first = true;
    for (double v : vals) {
        if (!first) items.emplace_back(sep);
        items.emplace_back(v);
        first = false;
    }
    f.fmt(fmt, items);
}

void param(OutFile& f, std::string_view label, double v, std::string_view unit = "") {
    f.fmt("(A,ES14.6,A)", {label, v, unit});
}

// Copper resistivity as the strand resistance uses it: MR B + 1e-8/RRR +
// the temperature part from the table (Ohm m).
double rho_cu(const Model& m, double T, double B, double RRR) {
    const double rho_t = m.Rho_Cu_a.allocated() ? rho_cu_t(m, T) : rho_cu_fit(T);
    return m.MR_con * B + 1e-8 / RRR + rho_t;
}

void resistivities(Model& m, OutFile& f) {
    static const Format head("(A9,20(A1,A14))");
    static const Format row("(F9.1,20(A1,F14.5))");
    f.fmt("(/A)", {"===== Resistivities ====="});
    param(f, "Magn Res Cu=,", m.MR_con, ",Ohm m/T");
    f.fmt("(A)", {"Temperatures 0.2 K to 10 K by 0.2 K, then 20 K to 1000 K by 10 K"});
    text_columns(f, head, {"Temp", "rho_Cu", "rho_Cu"}, m.Sep);
    text_columns(f, head, {"", "RRR=100,B=0", "RRR=200,B=8"}, m.Sep);
    text_columns(f, head, {"(K)", "(1^-10 Ohm m)", "(1^-10 Ohm m)"}, m.Sep);
    for (double T : rho_temps())
        value_columns(f, row, {T, rho_cu(m, T, 0.0, 100.0) * 1e10, rho_cu(m, T, 8.0, 200.0) * 1e10},
                      m.Sep);
}

void conductivities(Model& m, OutFile& f) {
    static const Format head("(A8,A1,A8,5(A1,A14))");
    static const Format row("(F8.1,A1,F8.1,5(A1,F14.4))");
    f.fmt("(/A)", {"===== Resistivities and thermal conductivities at B=0, 3, and 6 T ====="});
    param(f, "RRR=,", m.RRR_con);
    param(f, "Magn. Res.=,", m.MR_con, ",Ohm m/T");
    param(f, "F_HF_str=,", m.F_HF_str);
    param(f, "F_therm_a=,", m.F_HF_Ad);
    param(f, "F_therm_c=,", m.F_HF_Cr);
    f.fmt("(A)", {"Fac 1= F_therm_a*k_Cu_Cu*l_Ad"});
    f.fmt("(A)", {"Fac 2= F_therm_c*k_Cu_Cu*(ThMid/2)"});
    f.fmt("(A)", {"Temperatures 0.1 K to 1 K by 0.1 K, 1.5 K to 10 K by 0.5 K, "
                  "12 K to 100 K by 2 K, 110 K to 300 K by 10 K"});
    text_columns(f, head, {"Field", "Temp", "k_Cu", "F_HF*k_Cu", "k_Cu_Cu", "Fac 1", "Fac 2"},
                 m.Sep);
    text_columns(f, head,
                 {"(T)", "(K)", "(W/m/K)", "(W/m/K)", "(W/m^2/K)", "(W/m/K)", "(W/m/K)"}, m.Sep);
    // Conduction length between adjacent strands: that of section 3.
    const double l_ad = m.Length_s.allocated() ? m.Length_s(3) : 0.0;
    for (double B : {0.0, 3.0, 6.0}) {
        for (double T : k_temps()) {
            double k = 0;  // stays 0 without the material tables
            if (m.K_Cu_NIST_a.allocated() && m.Rho_Cu_a.allocated())
                k_cu_calculation(m, T, B, m.RRR_con, k);
            const double k_cc = m.F_cont * std::pow(T, m.P_cont);  // contact, W/m^2/K
            value_columns(f, row,
                          {B, T, k, m.F_HF_str * k, k_cc, m.F_HF_Ad * k_cc * l_ad,
                           m.F_HF_Cr * k_cc * (m.ThMid / 2)},
                          m.Sep);
        }
    }
}

void heat_capacities(Model& m, OutFile& f) {
    static const Format head("(A9,6(A1,A12))");
    static const Format row("(F9.3,6(A1,F12.1))");
    constexpr double B = 8.0;
    // Critical temperature at 8 T and zero current: the current-sharing
    // temperature that switches the superconductor's heat capacity.
    const double tcs = B < m.Bc20 ? m.Tc0 * std::pow(1 - B / m.Bc20, double(0.59f)) : 0.0;
    f.fmt("(/A)", {"===== Heat capacities at B=8 T ====="});
    param(f, "Current=,", 0.0, ",A");
    param(f, "Tcs=TcB(8 T,I=0)=,", tcs, ",K");
    f.fmt("(A)", {"Temperatures 1 K to 20 K by 0.5 K, 22 K to 100 K by 2 K, 110 K to 300 K by 10 K"});
    text_columns(f, head, {"Temp", "Cp_Cu", "Cp_SC", "Cp_He"}, m.Sep);
    text_columns(f, head, {"(K)", "(J/K/m^3)", "(J/K/m^3)", "(J/K/m^3)"}, m.Sep);
    for (double T : cp_temps()) {
        const double sc =
            T < tcs ? cp_sc_below(m.Opt_SC, T, B, m.Tc0, m.Bc20) : cp_sc_above(m.Opt_SC, T);
        value_columns(f, row, {T, cp_cu(T), sc, cp_he(T) * m.Rho_He}, m.Sep);
    }
}

// Strand Ic at dB/dt = 1 T/s when the reduction by filament coupling
// currents is selected (the same factor as in the critical-current update).
double ic_at_1_t_per_s(const Model& m, double ic) {
    return m.Opt_IcRedIF == 1 ? ic_coupling_reduced(m, 1.0, ic) : ic;
}

void critical_currents(Model& m, OutFile& f) {
    static const Format head("(A8,A1,A8,6(A1,A16))");
    static const Format row("(F8.1,A1,F8.1,6(A1,F16.2))");
    f.fmt("(/A)", {"===== Critical currents at 1.9 and 4.3 K ====="});
    param(f, "Jc based on Ic using CuSC ratio=,", m.CuSC_con);
    f.fmt("(A)", {"Critical currents at 1 T/s are different if the option \"Ic reduction due to "
                  "IFCCs\" is selected"});
    f.fmt("(A,F4.1,A)", {"Fields 0.5 T to ", ic_field_max(m), " T by 0.5 T"});
    text_columns(f, head,
                 {"Temp.", "Field", "Ic_str(0T/s)", "Ic_str(1T/s)", "Ic_cab(0T/s)",
                  "Ic_cab(1T/s)", "Jc(0T/s)", "Jc(1T/s)"},
                 m.Sep);
    text_columns(f, head,
                 {"(K)", "(T)", "(A)", "(A)", "(A)", "(A)", "(kA/mm^2)", "(kA/mm^2)"}, m.Sep);
    // Superconductor cross-section of a strand (m^2); A/m^2 -> kA/mm^2 is 1e-9.
    const double a_sc = m.A_str / (1 + m.CuSC_con);
    const double to_jc = a_sc > 0 ? 1e-9 / a_sc : 0.0;
    const int nb = int(std::lround(ic_field_max(m) / 0.5));
    for (double T : {1.9, 4.3}) {
        for (int i = 1; i <= nb; ++i) {
            const double B = 0.5 * i;
            const double ic0 = ic_at(m, B, T);
            const double ic1 = ic_at_1_t_per_s(m, ic0);
            value_columns(f, row,
                          {T, B, ic0, ic1, m.NS * ic0, m.NS * ic1, ic0 * to_jc, ic1 * to_jc},
                          m.Sep);
        }
    }
}

// One per-band table in its own file of the output directory.
void band_table(Model& m, RArr2& a, int b2, int i1, int i2, double mult, const char* file,
                std::string_view title) {
    if (!a.allocated()) return;
    OutFile f;
    if (!f.open(m.output_dir + file, OpenMode::Whole)) {
        msg(m, "Cannot write " + m.output_dir + file);
        return;
    }
    print_2d_r(f, a, 1, b2, i1, i2, mult, m.Sep, title);
}

}  // namespace

void write_matprop(Model& m) {
    OutFile f;
    if (!f.open(m.output_dir + "Mat_prop.dat", OpenMode::Whole)) {
        msg(m, "Cannot write " + m.output_dir + "Mat_prop.dat");
        return;
    }
    f.fmt("(A)", {"========== OUTPUT VORN: MATERIAL PROPERTIES =========="});
    f.fmt("(A)", {""});
    f.fmt("(A)", {m.output_dir});
    f.fmt("(A)", {""});
    resistivities(m, f);
    conductivities(m, f);
    heat_capacities(m, f);
    critical_currents(m, f);
    f.close();

    const int NB = m.NB, NS = m.NS;
    band_table(m, m.Ra, NB, 1, 2 * NS, 1e6, "Ra.dat",
               "Contact resistances between adjacent strands, Ra [microOhm]");
    // Rc has a plane at each cable end: NB + 1 rows, all of them shown.
    band_table(m, m.Rc, NB + 1, 1, NS - 1, 1e6, "Rc.dat",
               "Contact resistances between crossing strands, Rc [microOhm]");
    band_table(m, m.RRRs, NB, 2, 2 * NS - 1, 1.0, "RRRs.dat", "RRR values per section, RRRs [-]");
    band_table(m, m.RRRp, NB, 1, NS, 1.0, "RRRp.dat", "RRR values per position, RRRp [-]");
    band_table(m, m.ICRATs, NB, 2, 2 * NS - 1, 1.0, "ICRATs.dat",
               "Ratio I/Ic per section, ICRATs [-]");
    band_table(m, m.ICRATp, NB, 1, NS, 1.0, "ICRATp.dat", "Ratio I/Ic per position, ICRATp [-]");
}

}  // namespace vorn
