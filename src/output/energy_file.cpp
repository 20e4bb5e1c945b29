// Documented for users in docs/output-files.md (Energy.dat).
// "Energy.dat": the energy account of the run, one line per line of
// "Progress.dat", cumulative energies since t = 0 in mJ.
#include <array>
#include <string>
#include <vector>

#include "output/output.hpp"
#include "thermal/thermal.hpp"

namespace vorn {

void write_energy(Model& m) {
    static const char* const names[13] = {
        "NTS",   "Time",  "E_HP",      "E_Joule",   "E_Contacts", "E_IFC",       "E_He",
        "E_ins", "E_Fixed", "E_Strands", "E_Helium", "Residual", "Residual_rel"};
    static const char* const units[13] = {"(-)",  "(s)",  "(mJ)", "(mJ)", "(mJ)", "(mJ)", "(mJ)",
                                          "(mJ)", "(mJ)", "(mJ)", "(mJ)", "(mJ)", "(-)"};
    OutFile f;
    if (!f.open(m.run_dir + "Energy.dat", OpenMode::Append)) return;
    const std::string& sep = m.Sep;
    std::vector<FItem> items;
    if (m.NTS == 0) {
        for (const char* const* row : {names, units}) {
            items.clear();
            for (int k = 0; k < 13; ++k) {
                if (k > 0) items.emplace_back(sep);
                items.emplace_back(row[k]);
            }
            f.fmt("(A5,A1,A14,11(A1,A13))", items);
        }
    }
    const auto& e = m.energy;
    const double input = e.E_HP + e.E_Joule + e.E_Contacts + e.E_IFC;
    const double residual = energy_residual(m);
    const double mJ = 1000;
    const std::array<double, 10> values{
        mJ * e.E_HP,   mJ * e.E_Joule,    mJ * e.E_Contacts, mJ * e.E_IFC,     mJ * e.E_He,
        mJ * e.E_ins,  mJ * e.E_Fixed,    mJ * e.E_Strands,  mJ * e.E_Helium,  mJ * residual};
    items.clear();
    items.emplace_back(m.NTS);
    items.emplace_back(sep);
    items.emplace_back(m.Time);
    for (double v : values) {
        items.emplace_back(sep);
        items.emplace_back(v);
    }
    items.emplace_back(sep);
    items.emplace_back(input > 0 ? residual / input : 0.0);
    f.fmt("(I5,A1,F14.7,11(A1,ES13.5))", items);
}

}  // namespace vorn
