// Documented for users in docs/output-files.md (Summary.dat).
// "Summary.dat", input steps 1 to 7: cable geometry, applied fields, self
// field, filament coupling, contact resistances, strand resistivity and
// critical current.  Values are stored in SI units and printed in the units
// of their unit text.
#include <string_view>

#include "output/summary_lines.hpp"

namespace vorn {

namespace {

constexpr double kMm = 1e3;     // m -> mm
constexpr double kUm = 1e6;     // m -> um
constexpr double kMm2 = 1e6;    // m^2 -> mm^2
constexpr double kMm3 = 1e9;    // m^3 -> mm^3
constexpr double kUOhm = 1e6;   // Ohm -> uOhm

constexpr std::string_view kNone = ",-";

std::string_view superconductor_name(int opt) {
    switch (opt) {
        case 1: return "NbTi";
        case 11: return "Nb3Sn-type 1";
        case 12: return "Nb3Sn-type 2";
        case 13: return "Nb3Sn-type 3";
        default: return "";
    }
}

void cable_geometry(Model& m, SummaryLines& o) {
    o.header("========== Cable Type and Geometry (STEP 1) ================================");
    o.word("Type of Superconductor,", superconductor_name(m.Opt_SC));
    o.word("Type of Matrix,", m.Opt_Mat == 1 ? "Copper" : "");
    o.text(m.Opt_Cable == 1 ? "Infinitely long cable" : "Finite cable with NB bands");
    o.integer("NB: Number of bands,", m.NB, kNone);
    if (m.NB > 1) o.value("Cable length,", m.L_cable, ",m");
    o.integer("NS: Number of strands,", m.NS, kNone);
    o.value("w: Cable width,", m.w * kMm, ",mm");
    o.value("Th1,", m.Th1 * kMm, ",mm");
    o.value("Th2,", m.Th2 * kMm, ",mm");
    o.value("Mid thickness,", m.ThMid * kMm, ",mm");
    o.value("d_fil_in: Inner diameter filament,", m.d_fil_in * kUm, ",um");
    o.value("d_fil_out: Outer diameter filament,", m.d_fil_out * kUm, ",um");
    o.value("DiamStr: Diameter Strand,", m.DiamStr * kMm, ",mm");
    o.value("RadStr: Radius Strand,", m.RadStr * kMm, ",mm");
    o.value("Cross-section strand,", m.A_str * kMm2, ",mm^2");
    o.value("TPFil: Twist pitch filaments,", m.TPFil * kMm, ",mm");
    o.value("TPStr: Twist pitch strands,", m.TPStr * kMm, ",mm");
    if (m.Opt_CuSCRRR == 0) {
        o.value("CuSC_con,", m.CuSC_con, kNone);
        o.value("RRR_con,", m.RRR_con, kNone);
    } else if (m.Opt_CuSCRRR == 1) {
        o.text("CuSC and RRR different per strand");
    } else if (m.Opt_CuSCRRR == 2) {
        o.value("CuSC_con,", m.CuSC_con, kNone);
        o.text("RRR different per section");
    }
    o.value_e("Magnetoresistivity copper,", m.MR_con, ",Ohm m / T");
    o.value("Transposition angle,", m.Theta_tr * 180 / m.Pi, ",deg");
    o.value("Compaction factor,", m.F_compact, kNone);
    o.value("Free volume for a cable of 1 meter length,", m.Vol_free * kMm3, ",mm^3");
}

// Width profile of an applied field (0, 1, 2 and, for Ba1, 4); option 3
// defines no profile and has no text.
void field_profile(int opt, bool first, SummaryLines& o) {
    if (opt == 0) {
        o.text("No field variation across the cable width");
    } else if (opt == 1) {
        o.text(first ? "Field varying from Ba1*F1_Ba1 at edge 1 to Ba1*F2_Ba1 at edge 2"
                     : "Field varying from Ba2*F1_Ba2 at edge 1 to Ba2*F2_Ba2 at edge 2");
    } else if (opt == 2) {
        o.text(first ? "Field varying from Ba1*F1_Ba1 in the centre to Ba1*F2_Ba1 at the edges"
                     : "Field varying from Ba2*F1_Ba2 in the centre to Ba2*F2_Ba2 at the edges");
    } else if (opt == 4 && first) {
        o.text("Field variation across cable width read from file inp_B-posit.txt");
    }
}

void applied_fields(Model& m, SummaryLines& o) {
    o.header("========== Applied field(s) orientation (STEP 2) ===========================");
    o.text(m.Opt_LongB == 1 ? "Long. variation of Ba1 (and Ba2)"
                            : "No long. variation of Ba1 (and Ba2)");
    field_profile(m.Opt_Ba1, true, o);
    // The angles are stored as given, in degrees.
    o.value("The_Ba1,", m.The_Ba1, ",deg");
    o.value("Phi_Ba1,", m.Phi_Ba1, ",deg");
    if (m.Opt_Ba1 >= 1 && m.Opt_Ba1 <= 3) {
        o.value("F1_Ba1,", m.F1_Ba1, kNone);
        o.value("F2_Ba1,", m.F2_Ba1, kNone);
    }
    if (m.Opt_AddBa2 == 0) {
        o.text("No additional field Ba2");
        return;
    }
    o.text("Additional field Ba2 added");
    o.value("The_Ba2,", m.The_Ba2, ",deg");
    o.value("Phi_Ba2,", m.Phi_Ba2, ",deg");
    field_profile(m.Opt_Ba2, false, o);
    if (m.Opt_Ba2 > 0) {
        o.value("F1_Ba2,", m.F1_Ba2, kNone);
        o.value("F2_Ba2,", m.F2_Ba2, kNone);
    }
}

void self_field(Model& m, SummaryLines& o) {
    o.header("========== Self Field (STEP 3) =============================================");
    if (m.Opt_SF == 0) {
        o.text("No Self Field included");
    } else if (m.Opt_SF == 1) {
        o.text("Self Field calculation included");
        o.integer("Nr. of bands for SF,", m.NBSF, kNone);
        if (m.Opt_RetLead == 1) {
            o.text("Return lead included");
            o.value("Distance between cable and return lead,", m.d_RL * kMm, ",mm");
        } else {
            o.text("No return lead");
        }
    } else if (m.Opt_SF == 2) {
        o.text("Self Field calculation based on predefined values");
    }
    o.header("========== Inter Filament Coupling (STEP 4) ================================");
    o.value("TauIF,", m.TauIF, ",sec");
}

// The texts and values that Ra and Rc share; `X` is "Ra" or "Rc".
struct ContactInput {
    std::string_view X;
    int opt_w;
    double con, fw;
    int opt_rand;
    double frand;
};

void width_and_strand_lines(Model& m, const ContactInput& c, SummaryLines& o) {
    const std::string X(c.X);
    if (m.Opt_LongR == 1) {
        o.text("Variation of " + X + " along the cable");
    } else {
        o.text("No variation of " + X + " along the cable");
        o.value(X + "Con,", c.con * kUOhm, ",uOhm");
    }
    if (c.opt_w == 0) {
        o.text(X + " constant across the width");
    } else if (c.opt_w == 1) {
        o.text(X + " distribution given by F" + X + "W");
        o.value("F" + X + "W,", c.fw, kNone);
    } else if (c.opt_w == 2) {
        o.text(X + " distribution linked by contact surface");
    }
    o.text(m.Opt_StrRes == 1 ? "Systematic difference in " + X + " per strand"
                             : "No systematic difference in " + X + " per strand");
}

void random_and_special_lines(const ContactInput& c, int n, const IArr1& band, const IArr1& index,
                              const RArr1& value, SummaryLines& o) {
    const std::string X(c.X);
    if (c.opt_rand == 1) {
        o.text("Random " + X + " distribution");
        o.value("F" + X + "Rand,", c.frand, kNone);
    } else {
        o.text("No random " + X + " distribution");
    }
    o.integer("Nr. of special " + X + ",", n, kNone);
    if (n <= 0 || !value.allocated()) return;
    o.plain("Number,band,position,value (uOhm)");
    static const Format row("(I5,A1,I5,A1,I5,A1,F10.3)");
    for (int i = 1; i <= n; ++i)
        o.put(row, {i, ",", band(i), ",", index(i), ",", value(i) * kUOhm});
}

void statistics_lines(std::string_view X, double mn, double mx, double av, double inv,
                      SummaryLines& o) {
    const std::string x(X);
    o.value(x + "_min,", mn * kUOhm, ",uOhm");
    o.value(x + "_max,", mx * kUOhm, ",uOhm");
    o.value(x + "_aver,", av * kUOhm, ",uOhm");
    o.value("(1/" + x + ")_aver,", inv / kUOhm, ",1/uOhm");
}

void contact_resistances(Model& m, SummaryLines& o) {
    o.header("========== Contact Resistance Ra (STEP 5) ==================================");
    const ContactInput ra{"Ra", m.Opt_RaW, m.RaCon, m.FRaW, m.Opt_RaRand, m.FRaRand};
    width_and_strand_lines(m, ra, o);
    random_and_special_lines(ra, m.NrRaSp, m.NBRaSp, m.NSRaSp, m.RaSp, o);
    statistics_lines("Ra", m.Ra_min, m.Ra_max, m.Ra_aver, m.Ra_inv_aver, o);

    o.header("========== Contact Resistance Rc (STEP 5) ==================================");
    const ContactInput rc{"Rc", m.Opt_RcW, m.RcCon, m.FRcW, m.Opt_RcRand, m.FRcRand};
    width_and_strand_lines(m, rc, o);
    if (m.Opt_Core == 1) {
        o.text("Resitive core included");
        o.value("RcCore,", m.RcCore * kUOhm, ",uOhm");
        o.integer("Core_pos1,", m.Core_pos1, kNone);
        o.integer("Core_pos2,", m.Core_pos2, kNone);
    } else {
        o.text("No resistive core");
    }
    random_and_special_lines(rc, m.NrRcSp, m.NBRcSp, m.NSRcSp, m.RcSp, o);
    statistics_lines("Rc", m.Rc_min, m.Rc_max, m.Rc_aver, m.Rc_inv_aver, o);
}

void strand_resistivity(Model& m, SummaryLines& o) {
    o.header("========== Strand resistivity (STEP 6) =====================================");
    if (m.Opt_RsCalc == 1) o.text("Transition described by constant resistivity");
    if (m.Opt_RsCalc == 2) o.text("Transition described by n-power law");
    if (m.Opt_RsCalc == 3) o.text("Transition described by matrix resistivity relation");
    o.value_e("Minimum rho,", m.RhoMin, ",Ohm m");
    if (m.Opt_RsCalc == 2) {
        o.value_e("Rho at I=Ic,", m.RhoIc, ",Ohm m");
        o.integer("n-value,", m.nPow, kNone);
    }
    o.integer("Nr. of special Rho_s values,", m.NrRhoSp, kNone);
    if (m.NrRhoSp > 0 && m.RhoSp.allocated()) {
        o.plain("Number,band,section,value (Ohm m)");
        static const Format row("(I5,A1,I5,A1,I5,A1,E10.3)");
        for (int i = 1; i <= m.NrRhoSp; ++i)
            o.put(row, {i, ",", m.NBRhoSp(i), ",", m.NSRhoSp(i), ",", m.RhoSp(i)});
    }
    o.text(m.Opt_LongRho == 1 ? "Additional longitudinal resistivity"
                              : "No additional longitudinal resistivity");
}

void ic_fit(Model& m, SummaryLines& o) {
    switch (m.Opt_Ic) {
        case 1:
            o.text("Ic=IcCon");
            o.value("IcCon: Constant Ic,", m.IcCon, ",A");
            break;
        case 2:
            o.text("Ic=(C1+C2*B)*(1-T/TcB)");
            o.value("C1,", m.ConIcA, ",A");
            o.value("C2,", m.ConIcB, ",A/T");
            o.value("Tc0,", m.Tc0, ",K");
            o.value("Bc20,", m.Bc20, ",T");
            break;
        case 3:
            o.text("Ic=(C1+C2*B+C3*EXP(-C4*B)+C5*EXP(-C6*B))*(1-T/TcB)");
            o.value("C1,", m.ConIcA, ",A");
            o.value("C2,", m.ConIcB, ",A/T");
            o.value("C3,", m.ConIcC, ",A");
            o.value("C4,", m.ConIcD, ",1/T");
            o.value("C5,", m.ConIcE, ",A");
            o.value("C6,", m.ConIcF, ",1/T");
            o.value("Tc0,", m.Tc0, ",K");
            break;
        case 4:
            o.text("Ic=C1/B*C6*(1-t^1.52)*(1-t^2)*b^C4*(1-b)^C5");
            o.text("with t=T/Tc, Tc=C3*C6^(1/3), b=B/Bc2, Bc2=C2*C6*(1-t^1.52)");
            o.value("C1,", m.ConIcA, ",A T");
            o.value("C2 (=Bc20),", m.ConIcB, ",T");
            o.value("C3 (=Tc0),", m.ConIcC, ",K");
            o.value("C4 (=p),", m.ConIcD, kNone);
            o.value("C5 (=q),", m.ConIcE, kNone);
            o.value("C6 (=strain dep),", m.ConIcF, kNone);
            break;
        default: break;
    }
}

void strand_ic(Model& m, SummaryLines& o) {
    o.header("========== Strand Ic (STEP 7) ==============================================");
    ic_fit(m, o);
    o.text(m.Opt_StrIc != 0 ? "Different Ic and/or n per strand" : "Same Ic and n per strand");
    if (m.NrIcLT > 0) {
        o.text("Local Ic variation");
        o.integer("NrIcLT: Nr of sections with local Ic variation", m.NrIcLT, kNone);
        if (m.IcRatioSec.allocated()) {
            o.plain("Number,band,section,Ic-ratio [-]");
            static const Format row("(I5,A1,I5,A1,I5,A1,F10.3)");
            for (int i = 1; i <= m.NrIcLT; ++i)
                o.put(row, {i, ",", m.NBIcL(i), ",", m.NsecIcL(i), ",", m.IcRatioSec(i)});
        }
    } else {
        o.text("No local Ic variation");
    }
    o.text(m.Opt_IcRedIF == 1 ? "Ic reduction due to IFCCs included"
                              : "No Ic reduction due to IFCCs");
}

}  // namespace

void summary_cable(Model& m, SummaryLines& o) {
    cable_geometry(m, o);
    applied_fields(m, o);
    self_field(m, o);
    contact_resistances(m, o);
    strand_resistivity(m, o);
    strand_ic(m, o);
}

}  // namespace vorn
