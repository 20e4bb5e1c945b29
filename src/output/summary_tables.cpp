// Documented for users in docs/output-files.md (Summary.dat).
// "Summary.dat", the set-up tables (section geometry, strand positions,
// strand data, helium data, the three neighbour tables) and the headers of
// the result summaries (field line, magnetisation, supercritical helium).
// Columns are comma-separated fixed-width fields; lengths in mm, surfaces in
// mm^2, volumes in mm^3, masses in ug, energies in uJ, times in ms.
#include <vector>

#include "output/summary_lines.hpp"

namespace vorn {

namespace {

// Element i of a per-section or per-position table, 0 while the table does
// not exist (its owner has not filled it in this build of the case).
double at(const RArr1& a, int i) {
    return a.allocated() && i >= a.lo() && i <= a.hi() ? a(i) : 0.0;
}
int at(const IArr1& a, int i) {
    return a.allocated() && i >= a.lo() && i <= a.hi() ? a(i) : 0;
}

// One line of text columns, every column after the first preceded by the
// separator.
void columns(SummaryLines& o, const Format& fmt, const std::vector<std::string_view>& cols,
             std::string_view sep) {
    std::vector<FItem> items;
    items.reserve(2 * cols.size());
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i > 0) items.emplace_back(sep);
        items.emplace_back(cols[i]);
    }
    o.file().fmt(fmt, items);
}

// One row: an integer key followed by separated values (reals or integers).
template <class T>
void key_row(SummaryLines& o, const Format& fmt, int key, const std::vector<T>& v,
             std::string_view sep) {
    std::vector<FItem> items;
    items.reserve(2 * v.size() + 1);
    items.emplace_back(key);
    for (T x : v) {
        items.emplace_back(sep);
        items.emplace_back(x);
    }
    o.file().fmt(fmt, items);
}

void real_row(SummaryLines& o, const Format& fmt, int key, const std::vector<double>& v,
              std::string_view sep) {
    key_row(o, fmt, key, v, sep);
}

void int_row(SummaryLines& o, const Format& fmt, int key, const std::vector<int>& v,
             std::string_view sep) {
    key_row(o, fmt, key, v, sep);
}

void section_geometry(Model& m, SummaryLines& o) {
    static const Format head("(A8,8(A1,A10))");
    static const Format row("(I8,8(A1,F10.3))");
    o.title("===== Geometrical values of the strand sections =====");
    o.plain("PosX,PosY: x,y-Position of centre of the section");
    o.plain("Length_s:  Length of the section");
    o.plain("Vol_s:     Volume of the section");
    o.plain("l_Ad:      Distance to the adjacent section (only used for heat transfer)");
    o.plain("l_Cr:      Distance to the crossing section (only used for heat transfer)");
    o.plain("A_Ad:      Contact surface to the adjacent strand (only used for heat transfer)");
    o.plain("A_Cr:      Contact surface to the crossing strand (only used for heat transfer)");
    columns(o, head,
            {"section", "PosX", "PosY", "Length_s", "Vol_s", "l_Ad", "l_Cr", "A_Ad", "A_Cr"}, m.Sep);
    columns(o, head, {"(-)", "(mm)", "(mm)", "(mm)", "(mm^3)", "(mm)", "(mm)", "(mm^2)", "(mm^2)"},
            m.Sep);
    // One conduction length serves all adjacent contacts: that of section 3.
    const double l_ad = at(m.Length_s, 3);
    for (int s = 2; s <= m.NS_2m1; ++s)
        real_row(o, row, s,
                 {at(m.PosX, s) * 1e3, at(m.PosY, s) * 1e3, at(m.Length_s, s) * 1e3,
                  at(m.Vol_s, s) * 1e9, l_ad * 1e3, at(m.l_cr, s) * 1e3, at(m.A_Ad, s) * 1e6,
                  at(m.A_Cr, s) * 1e6},
                 m.Sep);
}

void strand_positions(Model& m, SummaryLines& o) {
    static const Format head("(A8,4(A1,A14))");
    static const Format row("(I8,4(A1,F14.3))");
    // The return-lead positions exist only when a return lead is modelled.
    const bool lead =
        m.Opt_SF > 0 && m.PosRetLeadP_x.allocated() && m.PosRetLeadP_y.allocated();
    o.title("===== xy values (in mm) of the strand positions =====");
    if (lead)
        columns(o, head, {"Pos#", "PosXP", "PosYP", "PosRetLeadP_x", "PosRetLeadP_y"}, m.Sep);
    else
        columns(o, head, {"Pos#", "PosXP", "PosYP"}, m.Sep);
    for (int p = 1; p <= m.NS; ++p) {
        std::vector<double> v = {at(m.PosXP, p) * 1e3, at(m.PosYP, p) * 1e3};
        if (lead) {
            v.push_back(m.PosRetLeadP_x(p) * 1e3);
            v.push_back(m.PosRetLeadP_y(p) * 1e3);
        }
        real_row(o, row, p, v, m.Sep);
    }
}

void strand_data(Model& m, SummaryLines& o) {
    static const Format head("(A8,6(A1,A10))");
    static const Format row("(I8,6(A1,F10.3))");
    o.title("===== Strand specific data =====");
    columns(o, head, {"Strand", "CuSCw", "RRRw", "ICRATw", "NPOWw", "F_Ra_w", "F_Rc_w"}, m.Sep);
    columns(o, head, {"(-)", "(-)", "(-)", "(-)", "(-)", "(-)", "(-)"}, m.Sep);
    // Without per-strand factors the contact resistances are unscaled.
    auto factor = [&m](const RArr1& f, int w) {
        return m.Opt_StrRes == 1 && f.allocated() ? f(w) : 1.0;
    };
    for (int w = 1; w <= m.NS; ++w)
        real_row(o, row, w,
                 {at(m.CuSCw, w), at(m.RRRw, w), at(m.ICRATw, w), at(m.NPOWw, w),
                  factor(m.F_Ra_w, w), factor(m.F_Rc_w, w)},
                 m.Sep);
}

void helium_data(Model& m, SummaryLines& o) {
    static const Format head("(A8,5(A1,A10))");
    static const Format row("(I8,5(A1,F10.3))");
    const bool trans = m.Opt_Trans_HF >= 1;
    o.title("===== Heat transfer to helium data =====");
    if (trans) {
        columns(o, head, {"section", "A_He", "Vol_He", "Mass_He", "E_limit", "E_limit"}, m.Sep);
        columns(o, head, {"(-)", "(mm^2)", "(mm^3)", "(ug)", "(J/m^2)", "(uJ)"}, m.Sep);
    } else {
        columns(o, head, {"section", "A_He", "Vol_He", "Mass_He"}, m.Sep);
        columns(o, head, {"(-)", "(mm^2)", "(mm^3)", "(ug)"}, m.Sep);
    }
    for (int s = 2; s <= m.NS_2m1; ++s) {
        const double a_he = at(m.A_He, s);
        std::vector<double> v = {a_he * 1e6, at(m.Vol_He, s) * 1e9, at(m.Mass_He, s) * 1e9};
        if (trans) {
            const double e = at(m.e_trans_lim, s);
            v.push_back(a_he > 0 ? e / a_he : 0.0);
            v.push_back(e * 1e6);
        }
        real_row(o, row, s, v, m.Sep);
    }
}

void neighbour_tables(Model& m, SummaryLines& o) {
    static const Format head("(A8,4(A1,A10))");
    static const Format row("(I8,4(A1,I10))");
    o.title("===== Connections of each section to the left and the right =====");
    columns(o, head, {"section", "NB_str_L", "NS_str_L", "NB_str_R", "NS_str_R"}, m.Sep);
    for (int s = 2; s <= m.NS_2m1; ++s)
        int_row(o, row, s,
                {at(m.NB_str_L, s), at(m.NS_str_L, s), at(m.NB_str_R, s), at(m.NS_str_R, s)},
                m.Sep);
    o.title("===== Connections of each section to adjacent strands (L and R) =====");
    columns(o, head, {"section", "NB_adj_L", "NS_adj_L", "NB_adj_R", "NS_adj_R"}, m.Sep);
    for (int s = 2; s <= m.NS_2m1; ++s)
        int_row(o, row, s,
                {at(m.NB_adj_L, s), at(m.NS_adj_L, s), at(m.NB_adj_R, s), at(m.NS_adj_R, s)},
                m.Sep);
    o.title("===== Connections of each section to crossing sections =====");
    columns(o, head, {"section", "NS_cross"}, m.Sep);
    for (int s = 2; s <= m.NS_2m1; ++s) int_row(o, row, s, {at(m.NS_cross, s)}, m.Sep);
}

void supercritical_start_times(Model& m, SummaryLines& o) {
    static const Format head("(A6,A1,A8)");
    static const Format sections("(A6,100(A1,I8))");
    static const Format row("(I6,100(A1,F8.3))");
    o.title("===== Start times cooling to supercritical helium [ms], -1 means no cooling =====");
    columns(o, head, {"NB", "section"}, m.Sep);
    std::vector<FItem> items;
    items.emplace_back("");
    for (int s = 2; s <= m.NS_2m1; ++s) {
        items.emplace_back(m.Sep);
        items.emplace_back(s);
    }
    o.file().fmt(sections, items);
    for (int b = 1; b <= m.NB; ++b) {
        std::vector<double> v;
        for (int s = 2; s <= m.NS_2m1; ++s) v.push_back(m.T0_supercr(b, s) * 1e3);
        real_row(o, row, b, v, m.Sep);
    }
}

}  // namespace

void summary_tables(Model& m, SummaryLines& o) {
    section_geometry(m, o);
    strand_positions(m, o);
    strand_data(m, o);
    helium_data(m, o);
    neighbour_tables(m, o);
}

void summary_results(Model& m, SummaryLines& o) {
    static const Format head("(A8,6(A1,A12))");
    if (m.Opt_Cable == 2 && m.Opt_FLC == 1) {
        o.title("===== Summary Field Line =====");
        o.plain("BFLyStDev is the standard deviation of all the points on the field line");
        columns(o, head, {"NTS", "Time", "CPC", "BFLyStDev"}, m.Sep);
        columns(o, head, {"(-)", "(s)", "(A)", "(mT)"}, m.Sep);
    }
    if (m.Opt_Magn == 1) {
        o.title("===== Summary Magnetisation =====");
        o.file().free({"The average magnetisation as printed below is calculated from band ",
                       m.NB1_M, " to band ", m.NB2_M});
        o.plain("If BFLyStDev=-1 then the field line is not calculated");
        columns(o, head, {"NTS", "Time", "Ba1", "Ba2", "C_cable", "M_aver", "BFLyStDev"}, m.Sep);
        columns(o, head, {"(-)", "(s)", "(T)", "(T)", "(A)", "(mT)", "(mT)"}, m.Sep);
    }
    // Cooling to supercritical helium happens only with helium cooling on.
    if (m.Opt_Temp > 1 && m.Opt_He == 1 && m.T0_supercr.allocated())
        supercritical_start_times(m, o);
}

}  // namespace vorn
