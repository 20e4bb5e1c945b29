// Magnetisation of the filaments over a whole run: the histories of field,
// critical current and temperature per position that were recorded after
// every converged time step are read back, one critical-state filament
// calculation is made per position, and the result is averaged per band.
#include "magnetisation/magnetisation.hpp"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "control/messages.hpp"
#include "magnetisation/filament.hpp"
#include "support/fmtwrite.hpp"
#include "support/listread.hpp"

namespace vorn {

namespace {

// One history file read back: per band, step and position (band first).
struct History {
    RArr3 v;        // NB1_M..NB2_M x 0..NTST x 1..NS
    RArr1 time;     // 0..NTST (s)
    RArr1 current;  // 0..NTST (A)
    IArr1 nts;      // 0..NTST
    int ntst = -1;
};

std::string without_newline(std::string s) {
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

// Reads one history file: records of NTS, time, current, band and NS
// values, bands NB1_M..NB2_M for every recorded step in turn.  A record may
// span several lines (NS above 60), so it is read value by value, not line
// by line.  The file is deleted once it has been read.
History read_history(Model& m, const std::string& name) {
    const std::string path = m.run_dir + name;
    ListReader lr = ListReader::from_file(path);
    const int nb1 = m.NB1_M, nb2 = m.NB2_M, NS = m.NS;
    const int nbands = nb2 - nb1 + 1;

    struct Rec {
        int nts, band;
        double time, current;
        std::vector<double> x;
    };
    std::vector<Rec> recs;
    std::vector<RItem> items;
    Rec r;
    r.x.resize(std::size_t(NS));
    items.emplace_back("NTS", &r.nts);
    items.emplace_back("time", &r.time);
    items.emplace_back("current", &r.current);
    items.emplace_back("band", &r.band);
    for (int p = 1; p <= NS; ++p)
        items.emplace_back("value " + std::to_string(p), &r.x[std::size_t(p - 1)]);
    while (!lr.at_end()) {
        const int line = lr.next_line();
        lr.read(items);
        const int expected = nb1 + int(recs.size() % std::size_t(nbands));
        if (r.band != expected)
            stop_with_message(m, "Magnetisation history " + path + ", line " +
                                     std::to_string(line) + ": band " + std::to_string(r.band) +
                                     " where band " + std::to_string(expected) +
                                     " was expected. Program aborted");
        recs.push_back(r);
    }
    if (recs.size() % std::size_t(nbands) != 0)
        stop_with_message(m, "Magnetisation history " + path +
                                 " ends in the middle of a time step. Program aborted");

    History h;
    h.ntst = int(recs.size() / std::size_t(nbands)) - 1;
    h.v.allocate(nb1, nb2, 0, h.ntst, 1, NS, 0.0);
    h.time.allocate(0, h.ntst, 0.0);
    h.current.allocate(0, h.ntst, 0.0);
    h.nts.allocate(0, h.ntst, 0);
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const int t = int(i / std::size_t(nbands));
        const int b = nb1 + int(i % std::size_t(nbands));
        h.time(t) = recs[i].time;
        h.current(t) = recs[i].current;
        h.nts(t) = recs[i].nts;
        for (int p = 1; p <= NS; ++p) h.v(b, t, p) = recs[i].x[std::size_t(p - 1)];
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return h;
}

void dbg(Model& m, const char* text, int band) {
    if (m.DbgMsg == 1) msg(m, without_newline(list_directed({text, band})));
}

// Field floor: fields below 1 mT in magnitude become 1 mT of the same sign
// (a negative zero gives -1 mT).
double field_floor(double b) {
    const double floor = double(0.001f);
    return std::abs(b) < floor ? std::copysign(floor, b) : b;
}

}  // namespace

void magnetisation_calculation(Model& m) {
    History bt = read_history(m, "BTp_M.dat");
    History ic = read_history(m, "ICp_M.dat");
    History tp = read_history(m, "Tp_M.dat");
    if (ic.ntst != bt.ntst || tp.ntst != bt.ntst)
        stop_with_message(m, "The magnetisation history files of " + m.run_dir +
                                 " hold different numbers of time steps. Program aborted");
    const int ntst = bt.ntst, NS = m.NS, nb1 = m.NB1_M, nb2 = m.NB2_M;
    m.NTST = ntst;
    m.magnav.allocate(0, ntst, nb1, nb2, 0.0);
    m.CPC_M = bt.current;
    m.T_M = bt.time;
    m.NTS_M = bt.nts;
    console(m, without_newline(list_directed({"Calculating the Magnetisation for NTST=", ntst})));
    if (ntst < 0) {
        console(m, "Magnetization_Calculation finished");
        return;
    }

    const double A_str = m.Pi * (m.DiamStr / 2) * (m.DiamStr / 2);
    const auto warn = [&m](std::string_view text) { console(m, text); };
    RArr1 B(0, ntst), c(0, ntst), T(0, ntst);
    const int nbands = nb2 - nb1 + 1;
    int next_report = 5;
    for (int b = nb1; b <= nb2; ++b) {
        dbg(m, "Magnetization reading BTp_M finished for band ", b);
        dbg(m, "Magnetization reading ICp_M finished for band ", b);
        dbg(m, "Magnetization reading Tp_M finished for band ", b);
        if (m.Opt_Temp == 0) dbg(m, "Tp_M=Tbath finished for band ", b);
        for (int p = 1; p <= NS; ++p) {
            for (int t = 0; t <= ntst; ++t) {
                B(t) = field_floor(bt.v(b, t, p));
                c(t) = ic.v(b, t, p) / A_str;  // A/m^2
                T(t) = m.Opt_Temp == 0 ? m.TBath : tp.v(b, t, p);
            }
            const RArr1 M = analyt(ntst, m.d_fil_in, m.d_fil_out, c, T, B, warn);
            for (int t = 0; t <= ntst; ++t) m.magnav(t, b) += M(t);
        }
        for (int t = 0; t <= ntst; ++t) m.magnav(t, b) /= NS;
        dbg(m, "Magnetization calculated for band ", b);
        const int done = 100 * (b - nb1 + 1) / nbands;
        if (done >= next_report) {
            console(m, without_newline(list_directed({done, "% completed"})));
            next_report = (done / 5 + 1) * 5;
        }
    }
    console(m, "Magnetization_Calculation finished");
}

}  // namespace vorn
