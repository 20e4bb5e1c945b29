// Documented for users in docs/output-files.md (Mp.dat and the magnetisation history).
// Magnetisation output: the per-step history of field, critical current and
// temperature per position that the magnetisation calculation reads back at
// the end of a run, and the magnetisation table "Mp.dat".
#include <algorithm>
#include <string>
#include <vector>

#include "output/output.hpp"
#include "output/tables.hpp"
#include "support/outfile.hpp"

namespace vorn {

namespace {

// One history file: one line per band of the averaging range.  A line holds
// 60 values; a larger NS continues on the next line by format reversion.
void write_history(Model& m, const std::string& name, const RArr2& a) {
    static const Format fmt("(I4,A1,F12.6,A1,F12.4,A1,I4,60(A1,F12.5))");
    OutFile f;
    // The first step of a simulation starts the history afresh, so that a
    // history left behind by a run that was stopped cannot be read back as
    // part of this one.
    const OpenMode mode = m.NTS == 0 ? OpenMode::Replace : OpenMode::Append;
    if (!f.open(m.run_dir + name, mode)) return;
    std::vector<FItem> items;
    items.reserve(std::size_t(7 + 2 * m.NS));
    for (int b = m.NB1_M; b <= m.NB2_M; ++b) {
        items.clear();
        items.insert(items.end(), {m.NTS, m.Sep, m.Time, m.Sep, m.CPC, m.Sep, b});
        for (int p = 1; p <= m.NS; ++p) {
            items.emplace_back(m.Sep);
            items.emplace_back(a(b, p));
        }
        f.fmt(fmt, items);
    }
    f.close();
}

}  // namespace

void write_magn(Model& m) {
    write_history(m, "BTp_M.dat", m.BTp);
    write_history(m, "ICp_M.dat", m.ICp);
    write_history(m, "Tp_M.dat", m.Tp);
}

// Appends the magnetisation table of the finished simulation to "Mp.dat" of
// the run directory: per recorded step the band values in mT with their sum,
// mean, standard deviation, minimum and maximum.
void write_mp(Model& m) {
    if (!m.magnav.allocated()) return;
    OutFile f;
    if (!f.open(m.run_dir + "Mp.dat", OpenMode::Append)) return;
    const int nb1 = m.NB1_M, nb2 = m.NB2_M;
    const std::string_view sep = m.Sep;
    f.line("Magnetisation, M [mT]");
    std::vector<FItem> items{"NTS", sep, "time", sep, "Current"};
    for (const char* name : {"Sum", "Aver", "StDev", "Min", "Max"})
        items.insert(items.end(), {sep, name});
    for (int b = nb1; b <= nb2; ++b) items.insert(items.end(), {sep, b});
    f.fmt("(A4,A1,A12,  A1,A10,  5(A1,A10),  100(A1,I10))", items);

    static const Format row("(I4,A1,F12.6,A1,F10.3,5(A1,F10.3),100(A1,F10.3))");
    std::vector<double> x(std::size_t(nb2 - nb1 + 1));
    for (int t = m.magnav.lo1(); t <= m.magnav.hi1(); ++t) {
        for (int b = nb1; b <= nb2; ++b) x[std::size_t(b - nb1)] = 1000.0 * m.magnav(t, b);
        double sum = 0;
        for (double v : x) sum += v;
        const double aver = sum / double(x.size());
        const double sd = stdev(nb1, nb2, x.data());
        const auto [mn, mx] = std::minmax_element(x.begin(), x.end());
        items.clear();
        items.insert(items.end(), {m.NTS_M(t), sep, m.T_M(t), sep, m.CPC_M(t), sep, sum, sep,
                                   aver, sep, sd, sep, *mn, sep, *mx});
        for (double v : x) items.insert(items.end(), {sep, v});
        f.fmt(row, items);
    }
    f.close();
}

}  // namespace vorn
