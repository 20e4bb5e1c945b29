// Documented for users in docs/input-files.md (auxiliary files).
// Auxiliary input files with one row per wire, band or section, the
// predefined self-field tables, and the special-value lists of STEP05 to
// STEP07.  Index ranges: wire and position 1..NS, band 1..NB, section
// 2..2NS-1.  Unless noted, a row begins with a running number that is read
// and not used.
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "control/messages.hpp"
#include "input/read_files.hpp"
#include "network/network.hpp"
#include "support/listread.hpp"

namespace vorn::input_files {

std::string input_path(const Model& m, const std::string& file) {
    return m.input_dir + file;
}

void debug_line(Model& m, const std::string& text) {
    if (m.DbgMsg == 1) msg(m, text);
}

std::string indexed(const std::string& name, int i) {
    return name + "(" + std::to_string(i) + ")";
}

std::string indexed(const std::string& name, int i, int j) {
    return name + "(" + std::to_string(i) + "," + std::to_string(j) + ")";
}

void multiply(RArr1& a, double f) {
    for (int i = a.lo(); i <= a.hi(); ++i) a(i) *= f;
}

void divide(RArr1& a, double d) {
    for (int i = a.lo(); i <= a.hi(); ++i) a(i) /= d;
}

namespace {

struct Column {
    const char* name;
    RArr1* array;
};

// Rows i = first..last of the file at `path`, each one read: the running
// number, then element i of every column's array.
void read_numbered_rows(Model& m, const std::string& path, int first, int last,
                        std::initializer_list<Column> columns) {
    CaseFile f(m, path);
    ListReader& r = f.r;
    int index = 0;
    std::vector<RItem> items;
    for (int i = first; i <= last; ++i) {
        items.clear();
        items.emplace_back("index", &index);
        for (const Column& c : columns) items.emplace_back(indexed(c.name, i), &(*c.array)(i));
        r.read(items);
    }
}

}  // namespace

void read_str_mech(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_StrMech.txt"), 1, m.NS,
                       {{"CuSCw", &m.CuSCw}, {"RRRw", &m.RRRw}});
}

// A count, then that many rows: running number, band, section, RRR.  Every
// section not listed keeps RRR_con.
void read_rrr_per_section(Model& m) {
    CaseFile f(m, input_path(m, "inp_RRR_per_section.txt"));
    ListReader& r = f.r;
    int n = 0;
    r.read({{"count", &n}});
    for (int k = 1; k <= n; ++k) {
        int index = 0, b = 0, s = 0;
        double rrr = 0;
        const std::string row = " of row " + std::to_string(k);
        r.read({{"index", &index}, {"band" + row, &b}, {"section" + row, &s}, {"RRR" + row, &rrr}});
        if (b < 1 || b > m.NB || s <= 1 || s >= m.NS_2)
            stop_with_message(m, "Band or section out of range in file inp_RRR_per_section");
        m.RRRs(b, s) = rrr;
    }
}

void read_long_var_b(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_LongVarB.txt"), 1, m.NB,
                       {{"ba1_long", &m.ba1_long}, {"ba2_long", &m.ba2_long}});
}

// Field vector per position; the profile is normalised to a largest
// magnitude of 1 (the field itself is Ba1 times the profile) and copied to
// the sections.
void read_b_posit(Model& m) {
    const std::string path = input_path(m, "inp_B-posit.txt");
    read_numbered_rows(m, path, 1, m.NS,
                       {{"bpx_inp", &m.bpx_inp}, {"bpy_inp", &m.bpy_inp}, {"bpz_inp", &m.bpz_inp}});
    double largest = 0;
    for (int i = 1; i <= m.NS; ++i) {
        const double x = m.bpx_inp(i), y = m.bpy_inp(i), z = m.bpz_inp(i);
        const double b = std::sqrt(x * x + y * y + z * z);
        if (!std::isfinite(b))
            stop_with_message(m, "Error in file " + path + ": the field vector of position " +
                                     std::to_string(i) +
                                     " is not finite; the profile cannot be normalised");
        if (b > largest) largest = b;
    }
    if (largest == 0)
        stop_with_message(m, "Error in file " + path +
                                 ": every field vector is zero; the profile cannot be normalised");
    for (RArr1* a : {&m.bpx_inp, &m.bpy_inp, &m.bpz_inp}) divide(*a, largest);
    convert_pos_to_sec(m.NS, m.bx_inp.data(), m.bpx_inp.data());
    convert_pos_to_sec(m.NS, m.by_inp.data(), m.bpy_inp.data());
    convert_pos_to_sec(m.NS, m.bz_inp.data(), m.bpz_inp.data());
}

// Predefined self field per ampere, chosen by NS and the strand-diameter
// class; one row per section: a number, sff_x, sff_y in mm.  The tables are
// scaled from their reference cables (28 strands above 1 mm, 36 strands up to
// 1 mm) to NS strands.
void read_sf_table(Model& m) {
    static const std::string problem = "Problem with self field option 2";
    // The diameter class boundary is the single-precision value of 1 mm.
    const bool thick = m.DiamStr > double(0.001f);
    std::string name;
    switch (m.NS) {
        case 8:
        case 12:
        case 16:
        case 20:
            name = std::string(thick ? "KSB01-" : "KSB02-") + (m.NS < 10 ? "0" : "") +
                   std::to_string(m.NS) + ".csv";
            break;
        case 28:
            if (!thick) stop_on_console(m, problem);
            name = "KSB01-28.csv";
            break;
        case 36:
            if (thick) stop_on_console(m, problem);
            name = "KSB02-36.csv";
            break;
        default: {
            const std::string text =
                problem + ": no predefined self-field table for NS = " + std::to_string(m.NS);
            msg(m, text);
            stop_on_console(m, text);
        }
    }
    m.sff_x.allocate(2, m.NS_2m1, 0.0);
    m.sff_y.allocate(2, m.NS_2m1, 0.0);
    read_numbered_rows(m, std::string(VORN_SF_DIR) + name, 2, m.NS_2m1,
                       {{"sff_x", &m.sff_x}, {"sff_y", &m.sff_y}});
    const double f = (thick ? 28.0 : 36.0) / m.NS;
    for (int s = 2; s <= m.NS_2m1; ++s) {
        m.sff_x(s) = m.sff_x(s) / 1000.0 * f;
        m.sff_y(s) = m.sff_y(s) / 1000.0 * f;
    }
}

void read_rarc_per_strand(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_RaRc_per_strand.txt"), 1, m.NS,
                       {{"F_Ra_w", &m.F_Ra_w}, {"F_Rc_w", &m.F_Rc_w}});
    debug_line(m, "Read parameters STEP 5 (inp_RaRc_per_strand) finished");
}

// Ra and Rc per band in uOhm (converted by the caller).  Crossing contacts
// lie on the NB+1 planes between and at the ends of the bands: the last
// plane takes the value of the last band.
void read_long_var_r(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_LongVarR.txt"), 1, m.NB,
                       {{"ralong", &m.ralong}, {"rclong", &m.rclong}});
    m.ralong(m.NB + 1) = m.ralong(m.NB);
    m.rclong(m.NB + 1) = m.rclong(m.NB);
    debug_line(m, "Read parameters STEP 5 (inp_LongVarR) finished");
}

void read_long_var_rho(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_LongVarRho.txt"), 1, m.NB,
                       {{"rholong", &m.rholong}});
    debug_line(m, "Read parameters STEP 5 (inp_LongVarRho) finished");
}

void read_str_ic(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_StrIc.txt"), 1, m.NS,
                       {{"ICRATw", &m.ICRATw}, {"NPOWw", &m.NPOWw}});
    debug_line(m, "Read parameters STEP 7 (inp_StrIc) finished");
}

// Surfaces in mm^2 and helium volume in mm^3 per section, with the helium
// scaling factors of STEP09 applied.
void read_surf_vol(Model& m) {
    read_numbered_rows(
        m,
        input_path(m, "inp_SurfVol.txt"), 2, m.NS_2m1,
        {{"A_Ad", &m.A_Ad}, {"A_Cr", &m.A_Cr}, {"A_He", &m.A_He}, {"Vol_He", &m.Vol_He}});
    for (int s = 2; s <= m.NS_2m1; ++s) {
        m.A_Ad(s) /= 1e6;
        m.A_Cr(s) /= 1e6;
        m.A_He(s) = m.A_He(s) * m.F_A_He / 1e6;
        m.Vol_He(s) = m.Vol_He(s) * m.F_Vol_He / 1e9;
    }
    debug_line(m, "Read parameters STEP 9 (inp_SurfVol) finished");
}

// Share of the cable current per wire at both cable ends, in %.
void read_str_cur(Model& m) {
    read_numbered_rows(m, input_path(m, "inp_StrCur.txt"), 1, m.NS,
                       {{"CWB1perc", &m.CWB1perc}, {"CWB2perc", &m.CWB2perc}});
    debug_line(m, "Read parameters STEP 12 (inp_StrCur) finished");
}

namespace {

// A list of special values: `count` rows of band, position or section, and
// value, with a leading running number in inp_IcLocal.txt only.  The rows
// are read before the arrays are created, so a count larger than the file
// ends at its end; a count below 1 gives empty lists.
struct SpecialList {
    const char* file;
    const char* debug;  // line for the debug trace
    bool numbered;
    int count;
    const char *band_name, *index_name, *value_name;
    IArr1& band;
    IArr1& index;
    RArr1& value;
};

void read_special_list(Model& m, const SpecialList& L) {
    std::vector<int> band, index;
    std::vector<double> value;
    if (L.count > 0) {
        CaseFile f(m, input_path(m, L.file));
        ListReader& r = f.r;
        std::vector<RItem> items;
        int running = 0, b = 0, i = 0;
        double v = 0;
        for (int k = 1; k <= L.count; ++k) {
            items.clear();
            if (L.numbered) items.emplace_back("index", &running);
            items.emplace_back(indexed(L.band_name, k), &b);
            items.emplace_back(indexed(L.index_name, k), &i);
            items.emplace_back(indexed(L.value_name, k), &v);
            r.read(items);
            band.push_back(b);
            index.push_back(i);
            value.push_back(v);
        }
    }
    const int n = static_cast<int>(value.size());
    L.band.allocate(1, n, 0);
    L.index.allocate(1, n, 0);
    L.value.allocate(1, n, 0.0);
    for (int k = 1; k <= n; ++k) {
        L.band(k) = band[k - 1];
        L.index(k) = index[k - 1];
        L.value(k) = value[k - 1];
    }
    if (L.count > 0) debug_line(m, L.debug);
}

}  // namespace

void read_special_lists(Model& m, int step) {
    if (step == 5) {
        // Ra in uOhm on (band, position); Rc in uOhm on (band, crossing contact).
        read_special_list(
            m, {"inp_RaSpecial.txt", "Read parameters STEP 5 (inp_RaSpecial) finished", false,
                m.NrRaSp, "NBRaSp", "NSRaSp", "RaSp", m.NBRaSp, m.NSRaSp, m.RaSp});
        read_special_list(
            m, {"inp_RcSpecial.txt", "Read parameters STEP 5 (inp_RcSpecial) finished", false,
                m.NrRcSp, "NBRcSp", "NSRcSp", "RcSp", m.NBRcSp, m.NSRcSp, m.RcSp});
    } else if (step == 6) {
        // Resistivity in 1e-14 Ohm m on (band, section).
        read_special_list(
            m, {"inp_RhoSpecial.txt", "Read parameters STEP 6 (inp_RhoSpecial) finished", false,
                m.NrRhoSp, "NBRhoSp", "NSRhoSp", "RhoSp", m.NBRhoSp, m.NSRhoSp, m.RhoSp});
    } else if (step == 7) {
        // Ic ratio on (band, section).
        read_special_list(
            m, {"inp_IcLocal.txt", "Read parameters STEP 7 (inp_IcLocal) finished", true, m.NrIcLT,
                "NBIcL", "NsecIcL", "IcRatioSec", m.NBIcL, m.NsecIcL, m.IcRatioSec});
    }
}

}  // namespace vorn::input_files
