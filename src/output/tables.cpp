// Documented for users in docs/output-files.md (snapshots: table layout).
// Result tables: standard deviations, the table printers and the
// aggregation of per-section results into per-position and per-wire arrays.
#include "output/tables.hpp"

#include <cmath>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "network/network.hpp"
#include "output/output.hpp"

namespace vorn {

double stdev(int i1, int i2, const double* x) {
    const int n = i2 - i1 + 1;
    if (n <= 1) return 0.0;
    double sum = 0.0, sum2 = 0.0;
    for (int k = 0; k < n; ++k) {
        sum += x[k];
        sum2 += x[k] * x[k];
    }
    const double dn = n;
    // The absolute value keeps a tiny negative difference of the two sums
    // out of the square root.
    return std::sqrt(std::fabs(dn * sum2 - sum * sum) / (dn * (dn - 1.0)));
}

double stdevi(int i1, int i2, const int* x) {
    const int n = i2 - i1 + 1;
    if (n <= 1) return 0.0;
    long long sum = 0, sum2 = 0;
    for (int k = 0; k < n; ++k) {
        sum += x[k];
        sum2 += static_cast<long long>(x[k]) * x[k];
    }
    const double dn = n, s = static_cast<double>(sum), s2 = static_cast<double>(sum2);
    return std::sqrt(std::fabs(dn * s2 - s * s) / (dn * (dn - 1.0)));
}

namespace {

constexpr const char* kStatLabels[] = {"Sum", "Aver", "StDev", "Min", "Max"};

// Statistics of one row of n = i2 - i1 + 1 values; an empty row gives zeros.
// Integer rows keep an integer sum, minimum and maximum.
template <class T>
struct RowStats {
    using Sum = std::conditional_t<std::is_integral_v<T>, long long, double>;
    Sum sum = 0;
    double aver = 0, sd = 0;
    T min = 0, max = 0;
};

template <class T>
RowStats<T> row_stats(int i1, int i2, const std::vector<T>& v) {
    RowStats<T> st;
    if (v.empty()) return st;
    st.min = st.max = v.front();
    for (T x : v) {
        st.sum += x;
        if (x < st.min) st.min = x;
        if (x > st.max) st.max = x;
    }
    st.aver = static_cast<double>(st.sum) / static_cast<double>(v.size());
    if constexpr (std::is_integral_v<T>)
        st.sd = stdevi(i1, i2, v.data());
    else
        st.sd = stdev(i1, i2, v.data());
    return st;
}

// Column header: first label, the five statistics labels, then each index,
// every field after the first preceded by the separator.
void column_header(OutFile& f, const Format& fmt, std::string_view first, int n_stats, int i1,
                   int i2, std::string_view sep) {
    std::vector<FItem> items;
    items.reserve(static_cast<std::size_t>(2 * (n_stats + (i2 >= i1 ? i2 - i1 + 1 : 0)) + 1));
    items.emplace_back(first);
    for (int k = 0; k < n_stats; ++k) {
        items.emplace_back(sep);
        items.emplace_back(kStatLabels[5 - n_stats + k]);
    }
    for (int i = i1; i <= i2; ++i) {
        items.emplace_back(sep);
        items.emplace_back(i);
    }
    f.fmt(fmt, items);
}

void time_lines(const Model& m, OutFile& f, std::string_view title) {
    f.free({title});
    f.free({"Time step", m.NTS});
    f.free({"Time", m.Time});
}

void multiplier_line(OutFile& f, double mult) {
    f.free({"All values multplied by:", mult});
}

void push_sep(std::vector<FItem>& items, std::string_view sep, FItem value) {
    items.emplace_back(sep);
    items.push_back(value);
}

// The rest of an integer row after its sum: Aver, StDev, Min, Max, values.
void push_int_row(std::vector<FItem>& items, std::string_view sep, const RowStats<int>& st,
                  const std::vector<int>& vals) {
    push_sep(items, sep, st.aver);
    push_sep(items, sep, st.sd);
    push_sep(items, sep, st.min);
    push_sep(items, sep, st.max);
    for (int x : vals) push_sep(items, sep, x);
}

// Rows b1..b2 of a real array: each row is scaled in place by mult, its
// statistics and values written in the scaled units, and the row restored
// from a copy, so the array ends bit for bit as it was.
void real_rows(OutFile& f, const Format& row_fmt, RArr2& a, int b1, int b2, int i1, int i2,
               double mult, std::string_view sep) {
    const std::size_t n = i2 >= i1 ? static_cast<std::size_t>(i2 - i1 + 1) : 0;
    std::vector<double> orig, vals;
    orig.reserve(n);
    vals.reserve(n);
    std::vector<FItem> items;
    items.reserve(2 * (n + 5) + 1);
    for (int b = b1; b <= b2; ++b) {
        orig.clear();
        vals.clear();
        for (int i = i1; i <= i2; ++i) {
            orig.push_back(a(b, i));
            a(b, i) *= mult;
            vals.push_back(a(b, i));
        }
        const auto st = row_stats(i1, i2, vals);
        items.clear();
        items.emplace_back(b);
        for (double x : {st.sum, st.aver, st.sd, st.min, st.max}) push_sep(items, sep, x);
        for (double x : vals) push_sep(items, sep, x);
        f.fmt(row_fmt, items);
        std::size_t k = 0;
        for (int i = i1; i <= i2; ++i) a(b, i) = orig[k++];
    }
}

// The single row of a one-dimensional real array, scaled and restored as above.
void real_row_1d(OutFile& f, const Format& row_fmt, RArr1& a, int i1, int i2, double mult,
                 std::string_view sep) {
    std::vector<double> orig, vals;
    for (int i = i1; i <= i2; ++i) {
        orig.push_back(a(i));
        a(i) *= mult;
        vals.push_back(a(i));
    }
    const auto st = row_stats(i1, i2, vals);
    std::vector<FItem> items;
    items.reserve(2 * (vals.size() + 5));
    items.emplace_back(st.sum);
    for (double x : {st.aver, st.sd, st.min, st.max}) push_sep(items, sep, x);
    for (double x : vals) push_sep(items, sep, x);
    f.fmt(row_fmt, items);
    std::size_t k = 0;
    for (int i = i1; i <= i2; ++i) a(i) = orig[k++];
}

}  // namespace

void print_2d_real(Model& m, OutFile& f, RArr2& a, int b1, int b2, int i1, int i2, double mult,
                   std::string_view title) {
    static const Format head("(A4,5(A1,A10),100(A1,I10))");
    static const Format row("(I4,105(A1,F10.3))");
    time_lines(m, f, title);
    multiplier_line(f, mult);
    column_header(f, head, "NB", 5, i1, i2, m.Sep);
    real_rows(f, row, a, b1, b2, i1, i2, mult, m.Sep);
    f.close();
}

void print_2d_integer(Model& m, OutFile& f, const IArr2& a, int b1, int b2, int i1, int i2,
                      std::string_view title) {
    static const Format head("(A6,5(A1,A6),100(A1,I3))");
    static const Format row("(I6,A1,I6,2(A1,F6.3),2(A1,I6),100(A1,I3))");
    const std::string_view sep = m.Sep;
    time_lines(m, f, title);
    column_header(f, head, "NB", 5, i1, i2, sep);
    std::vector<int> vals;
    std::vector<FItem> items;
    for (int b = b1; b <= b2; ++b) {
        vals.clear();
        for (int i = i1; i <= i2; ++i) vals.push_back(a(b, i));
        const auto st = row_stats(i1, i2, vals);
        items.clear();
        items.emplace_back(b);
        push_sep(items, sep, st.sum);
        push_int_row(items, sep, st, vals);
        f.fmt(row, items);
    }
    f.close();
}

void print_1d_real(Model& m, OutFile& f, RArr1& a, int i1, int i2, double mult,
                   std::string_view title) {
    static const Format head("(A10,4(A1,A10),100(A1,I10))");
    static const Format row("(F10.3,104(A1,F10.3))");
    time_lines(m, f, title);
    multiplier_line(f, mult);
    column_header(f, head, "Sum", 4, i1, i2, m.Sep);
    real_row_1d(f, row, a, i1, i2, mult, m.Sep);
    f.close();
}

void print_1d_integer(Model& m, OutFile& f, const IArr1& a, int i1, int i2,
                      std::string_view title) {
    static const Format head("(A6,4(A1,A6),100(A1,I3))");
    static const Format row("(I6,2(A1,F6.3),2(A1,I6),100(A1,I3))");
    const std::string_view sep = m.Sep;
    time_lines(m, f, title);
    column_header(f, head, "Sum", 4, i1, i2, sep);
    std::vector<int> vals;
    for (int i = i1; i <= i2; ++i) vals.push_back(a(i));
    const auto st = row_stats(i1, i2, vals);
    std::vector<FItem> items;
    items.emplace_back(st.sum);
    push_int_row(items, sep, st, vals);
    f.fmt(row, items);
    f.close();
}

void print_2d_r(OutFile& f, RArr2& a, int b1, int b2, int i1, int i2, double mult,
                std::string_view sep, std::string_view title) {
    static const Format head("(A4,5(A1,A10),100(A1,I10))");
    static const Format row("(I4,100(A1,F10.3))");
    f.free({title});
    multiplier_line(f, mult);
    column_header(f, head, "NB", 5, i1, i2, sep);
    real_rows(f, row, a, b1, b2, i1, i2, mult, sep);
    f.close();
}

void print_1d_r(OutFile& f, RArr1& a, int i1, int i2, double mult, std::string_view sep,
                std::string_view title) {
    static const Format head("(A10,4(A1,A10),100(A1,I10))");
    static const Format row("(F10.3,104(A1,F10.3))");
    f.free({title});
    multiplier_line(f, mult);
    column_header(f, head, "Sum", 4, i1, i2, sep);
    real_row_1d(f, row, a, i1, i2, mult, sep);
    f.close();
}

// Per-section results to per-position results band by band (mode 1: sum of
// the position's sections, mode 2: their length-weighted mean), then per
// position to per wire.  With temperatures on, the strand-helium
// temperature differences are formed here as well.
void convert_arrays(Model& m) {
    const int NB = m.NB, NS = m.NS;
    const bool temp = m.Opt_Temp > 0;
    const bool sf = m.Opt_SF > 0;

    // Resistivity of every section from its resistance (Ohm m): what the
    // quench decision and the resistivity tables read.
    if (m.l_div_a.allocated())
        for (int b = 1; b <= NB; ++b)
            for (int s = 2; s <= m.NS_2m1; ++s) m.Rho_s(b, s) = m.Rs(b, s) / m.l_div_a(s);

    auto to_pos = [&](const RArr2& sec, RArr2& pos, int mode) {
        if (!sec.allocated() || !pos.allocated()) return;
        for (int b = 1; b <= NB; ++b) convert_sec_to_pos(NS, sec.row(b), pos.row(b), mode);
    };
    to_pos(m.BTs, m.BTp, 2);
    if (sf) {
        to_pos(m.BSF_x, m.BSFp_x, 2);
        to_pos(m.BSF_y, m.BSFp_y, 2);
        to_pos(m.BSF_z, m.BSFp_z, 2);
    }
    to_pos(m.Cs, m.Cp, 2);
    to_pos(m.Ps, m.Pp, 1);
    to_pos(m.PFs, m.PFp, 1);
    to_pos(m.Rho_s, m.Rho_p, 2);
    to_pos(m.ICs, m.ICp, 2);
    if (temp) {
        to_pos(m.Ts, m.Tp, 2);
        to_pos(m.THs, m.THp, 2);
        to_pos(m.HF_str, m.HF_str_p, 2);
    }

    convert_pos_to_wire(NB, NS, m.Cw, m.Cp);
    convert_pos_to_wire(NB, NS, m.Pw, m.Pp);
    convert_pos_to_wire(NB, NS, m.PFw, m.PFp);
    convert_pos_to_wire(NB, NS, m.Rho_w, m.Rho_p);
    convert_pos_to_wire(NB, NS, m.ICw, m.ICp);
    if (!temp) return;
    convert_pos_to_wire(NB, NS, m.Tw, m.Tp);
    convert_pos_to_wire(NB, NS, m.THw, m.THp);
    convert_pos_to_wire(NB, NS, m.HF_str_w, m.HF_str_p);

    for (int b = 1; b <= NB; ++b) {
        for (int s = 2; s <= m.NS_2m1; ++s) m.dTs(b, s) = m.Ts(b, s) - m.THs(b, s);
        for (int p = 1; p <= NS; ++p) {
            m.dTp(b, p) = m.Tp(b, p) - m.THp(b, p);
            m.dTw(b, p) = m.Tw(b, p) - m.THw(b, p);
        }
    }
}

}  // namespace vorn
