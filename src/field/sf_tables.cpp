// Computation of the predefined self-field tables: the self field per ampere
// of transport current of an infinitely long reference cable with a uniform
// current distribution, from the same coefficients as the calculated self
// field (Opt_SF = 1).  Sections 2..2NS-1.
#include "field/sf_tables.hpp"

#include <fstream>
#include <memory>

#include "control/model.hpp"
#include "field/field.hpp"
#include "network/network.hpp"
#include "support/fmtwrite.hpp"

namespace vorn {

namespace {

// Strand diameters of the two classes (m).
constexpr double kDiamClass1 = 1.065e-3;
constexpr double kDiamClass2 = 0.825e-3;

// Strand count of the cable to which the reader scales a table of the class.
double reader_scale_count(int diam_class) {
    return diam_class == 1 ? 28.0 : 36.0;
}

}  // namespace

const std::vector<std::pair<int, int>>& sf_table_list() {
    static const std::vector<std::pair<int, int>> list = {
        {8, 1}, {12, 1}, {16, 1}, {20, 1}, {28, 1}, {8, 2}, {12, 2}, {16, 2}, {20, 2}, {36, 2}};
    return list;
}

std::string sf_table_name(int NS, int diam_class) {
    return std::string(diam_class == 1 ? "KSB01-" : "KSB02-") + (NS < 10 ? "0" : "") +
           std::to_string(NS) + ".csv";
}

SfReference sf_reference(int NS, int diam_class) {
    SfReference r;
    r.NS = NS;
    r.diam_class = diam_class;
    r.DiamStr = diam_class == 1 ? kDiamClass1 : kDiamClass2;
    // Two layers of NS/2 strands side by side, with 5 % room across the
    // width; a mid thickness of 1.8 diameters (strands compacted by 10 %).
    r.w = 1.05 * NS * r.DiamStr / 2;
    r.Th1 = r.Th2 = 1.8 * r.DiamStr;
    r.TPStr = 7.5 * r.w;
    return r;
}

void sf_compute(const SfReference& ref, RArr1& sff_x, RArr1& sff_y) {
    auto model = std::make_unique<Model>();
    Model& m = *model;
    m.Opt_Cable = 1;  // infinitely long cable: one band, two-dimensional field
    m.NB = 1;
    m.NS = ref.NS;
    m.DiamStr = ref.DiamStr;
    m.w = ref.w;
    m.Th1 = ref.Th1;
    m.Th2 = ref.Th2;
    m.TPStr = ref.TPStr;
    m.Opt_SF = 1;
    m.NBSF = 0;
    m.Opt_RetLead = 0;
    set_derived_counts(m);
    position_calculation(m);
    self_field_array_calculation(m);

    // Uniform current: 1/NS A in every section of the band.
    sff_x.allocate(2, m.NS_2m1, 0.0);
    sff_y.allocate(2, m.NS_2m1, 0.0);
    for (int s = 2; s <= m.NS_2m1; ++s) {
        double bx = 0, by = 0;
        for (int sc = 2; sc <= m.NS_2m1; ++sc) {
            bx += m.RSFx(s, 0, sc);
            by += m.RSFy(s, 0, sc);
        }
        sff_x(s) = bx / m.NS;
        sff_y(s) = by / m.NS;
    }
}

std::string sf_table_text(const SfReference& ref, const RArr1& sff_x, const RArr1& sff_y) {
    // 17 significant digits: the values read back to the same doubles.
    static const Format row("(I3,A1,ES24.16,A1,ES24.16)");
    const double f = 1000.0 * ref.NS / reader_scale_count(ref.diam_class);
    std::string text;
    for (int s = sff_x.lo(); s <= sff_x.hi(); ++s) {
        const FItem items[] = {s, ",", sff_x(s) * f, ",", sff_y(s) * f};
        text += row.apply(items);
    }
    return text;
}

bool write_sf_tables(const std::string& dir) {
    for (const auto& [NS, diam_class] : sf_table_list()) {
        const SfReference ref = sf_reference(NS, diam_class);
        RArr1 sx, sy;
        sf_compute(ref, sx, sy);
        std::ofstream out(dir + sf_table_name(NS, diam_class), std::ios::binary);
        out << sf_table_text(ref, sx, sy);
        if (!out) return false;
    }
    return true;
}

}  // namespace vorn
