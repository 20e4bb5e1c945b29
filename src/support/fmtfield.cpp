// Single fields of the edit-descriptor writer, and list-directed output.
// Every writer appends exactly w characters to out (except A without a
// width and I0), so a row of fields goes into one growing string.
#include "support/fmtwrite.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vorn {

namespace {

void put_stars(std::string& out, int w) { out.append(static_cast<std::size_t>(w), '*'); }

// NaN and infinities look the same in F, E and ES fields: "NaN" (never
// signed), "Infinity" or "Inf", "-Infinity" or "-Inf", whichever fits,
// right-aligned; asterisks when not even the short form fits.
void put_nonfinite(std::string& out, double v, int w) {
    std::string_view t;
    if (std::isnan(v)) {
        t = "NaN";
    } else if (v > 0) {
        t = w >= 8 ? "Infinity" : "Inf";
    } else {
        t = w >= 9 ? "-Infinity" : "-Inf";
    }
    if (static_cast<int>(t.size()) > w) return put_stars(out, w);
    out.append(static_cast<std::size_t>(w) - t.size(), ' ');
    out.append(t);
}

// Scratch space for std::to_chars: on the stack for ordinary fields, on the
// heap only for absurdly wide ones.
class Scratch {
public:
    char* get(std::size_t n) {
        if (n <= small_.size()) return small_.data();
        big_.resize(n);
        return big_.data();
    }

private:
    std::array<char, 400> small_;
    std::string big_;
};

// 10^k for k = 0..308.  Used only to reject values that cannot fit, so a
// last-bit error in an entry only lets a hopeless value reach the digit
// check below, which rejects it too.
const std::array<double, 309>& powers_of_ten() {
    static const std::array<double, 309> table = [] {
        std::array<double, 309> t{};
        for (int k = 0; k < 309; ++k) t[static_cast<std::size_t>(k)] = std::pow(10.0, k);
        return t;
    }();
    return table;
}

// List-directed REAL(8): 17 significant digits, rounded to nearest.  For
// 0.1 <= |v| < 1e17 (after rounding) and zero, gfortran uses F20.(16-x)
// followed by five blanks; otherwise 1PE25.16E3 ("1.0000000000000000E-002").
void put_list_real(std::string& out, double v) {
    if (!std::isfinite(v)) return put_nonfinite(out, v, 25);
    const bool neg = std::signbit(v);
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v),
                                   std::chars_format::scientific, 16);
    // buf: "D.DDDDDDDDDDDDDDDDe+XX"; the 17 digits are buf[0] and buf[2..18).
    int x = 0;
    const char* xs = buf + 19;
    if (*xs == '+') ++xs;
    std::from_chars(xs, res.ptr, x);
    char digits[17];
    digits[0] = buf[0];
    std::copy(buf + 2, buf + 18, digits + 1);
    const std::string_view dg(digits, 17);

    if (x >= -1 && x <= 16) {  // zero comes out with x == 0
        const std::string_view ip = x >= 0 ? dg.substr(0, static_cast<std::size_t>(x) + 1) : "0";
        const std::string_view fp = x >= 0 ? dg.substr(static_cast<std::size_t>(x) + 1) : dg;
        const std::size_t len = neg + ip.size() + 1 + fp.size();
        out.append(20 - len, ' ');
        if (neg) out += '-';
        out.append(ip);
        out += '.';
        out.append(fp);
        out.append(5, ' ');
    } else {
        out.append(neg ? 1 : 2, ' ');  // 25 - 23 characters of "D.(16)E+XXX"
        if (neg) out += '-';
        out += dg[0];
        out += '.';
        out.append(dg.substr(1));
        out += 'E';
        out += x < 0 ? '-' : '+';
        const int ax = std::abs(x);
        out += static_cast<char>('0' + ax / 100);
        out += static_cast<char>('0' + ax / 10 % 10);
        out += static_cast<char>('0' + ax % 10);
    }
}

}  // namespace

namespace fmt_detail {

// w == 0: the narrowest field (I0); Iw.0 writes zero as blanks only.
void put_int(std::string& out, std::int64_t v, int w, int m) {
    char buf[24];
    char* const end = buf + sizeof buf;
    char* p = end;
    std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    if (mag != 0 || m != 0) {  // Iw.0 writes zero as blanks only
        do {
            *--p = static_cast<char>('0' + mag % 10);
            mag /= 10;
        } while (mag != 0);
    }
    const int ndig = static_cast<int>(end - p);
    const int nzero = m > ndig ? m - ndig : 0;
    const int len = (v < 0) + nzero + ndig;
    if (w == 0) w = std::max(len, 1);
    if (len > w) return put_stars(out, w);
    out.append(static_cast<std::size_t>(w - len), ' ');
    if (v < 0) out += '-';
    out.append(static_cast<std::size_t>(nzero), '0');
    out.append(p, end);
}

void put_fixed(std::string& out, double v, int w, int d) {
    if (!std::isfinite(v)) return put_nonfinite(out, v, w);
    const bool neg = std::signbit(v);  // also -0.0, and values that round to zero
    const double a = std::fabs(v);
    if (d >= w || (w < 309 && a >= powers_of_ten()[static_cast<std::size_t>(w)])) {
        return put_stars(out, w);
    }
    // Correctly rounded from the exact binary value, ties to even: the
    // digits gfortran writes.  At most w+1 digits before the point here.
    Scratch scratch;
    const std::size_t cap = static_cast<std::size_t>(w) + static_cast<std::size_t>(d) + 8;
    char* buf = scratch.get(cap);
    const auto res = std::to_chars(buf, buf + cap, a, std::chars_format::fixed, d);
    const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t dot = d > 0 ? s.size() - static_cast<std::size_t>(d) - 1 : s.size();
    std::string_view ip = s.substr(0, dot);
    if (ip == "0") ip = {};
    // "0." needs its zero when there are no decimals; otherwise the zero
    // before the point is dropped when the field is one too narrow.
    const bool zero_needed = ip.empty() && d == 0;
    const int core = neg + static_cast<int>(ip.size()) + zero_needed + 1 + d;
    if (core > w) return put_stars(out, w);
    const bool lead = ip.empty() && !zero_needed && core < w;
    out.append(static_cast<std::size_t>(w - core - lead), ' ');
    if (neg) out += '-';
    if (lead || zero_needed) out += '0';
    out.append(ip);
    out += '.';
    if (d > 0) out.append(s.substr(dot + 1));
}

// Ew.d is 0.ddddE+xx (d significant digits), ESw.d is d.ddddE+xx (d+1).
// Exponents of three digits drop the 'E' ("0.1000-299"); with Ee the
// exponent has exactly e digits and an exponent that needs more fills the
// field with asterisks; E0 (e < 0 here) takes as many digits as needed.
void put_exp(std::string& out, double v, int w, int d, int e, bool sci) {
    if (!std::isfinite(v)) return put_nonfinite(out, v, w);
    const bool neg = std::signbit(v);
    const double a = std::fabs(v);
    const int ndig = sci ? d + 1 : d;
    Scratch scratch;
    const std::size_t cap = static_cast<std::size_t>(ndig) + 16;
    char* buf = scratch.get(cap);
    const auto res = std::to_chars(buf, buf + cap, a, std::chars_format::scientific, ndig - 1);
    // buf holds "D.DDDe+XX", or "De+XX" when ndig == 1.
    char* epos = std::find(buf, res.ptr, 'e');
    int x = 0;
    const char* xs = epos + 1;
    if (*xs == '+') ++xs;
    std::from_chars(xs, res.ptr, x);
    const int ex = a == 0.0 ? 0 : (sci ? x : x + 1);

    char ebuf[24];
    int elen = 0;
    const int ax = std::abs(ex);
    const int xdig = ax >= 100 ? 3 : (ax >= 10 ? 2 : 1);
    if (e == 0) {
        if (ax <= 99) ebuf[elen++] = 'E';
        ebuf[elen++] = ex < 0 ? '-' : '+';
        for (int k = (ax <= 99 ? 2 : 3) - 1, t = ax; k >= 0; --k, t /= 10) {
            ebuf[elen + k] = static_cast<char>('0' + t % 10);
        }
        elen += ax <= 99 ? 2 : 3;
    } else {
        const int nd = e < 0 ? xdig : e;  // Ew.dE0: as many digits as needed
        if (xdig > nd || nd > 16) return put_stars(out, w);
        ebuf[elen++] = 'E';
        ebuf[elen++] = ex < 0 ? '-' : '+';
        for (int k = nd - 1, t = ax; k >= 0; --k, t /= 10) {
            ebuf[elen + k] = static_cast<char>('0' + t % 10);
        }
        elen += nd;
    }

    const int core = neg + (sci ? 2 : 1) + d + elen;
    if (core > w) return put_stars(out, w);
    const bool lead = !sci && core < w;  // the optional zero of "0.dddd"
    out.append(static_cast<std::size_t>(w - core - lead), ' ');
    if (neg) out += '-';
    if (sci) {
        out += buf[0];
        out += '.';
        if (ndig > 1) out.append(buf + 2, epos);
    } else {
        if (lead) out += '0';
        out += '.';
        out += buf[0];
        if (ndig > 1) out.append(buf + 2, epos);
    }
    out.append(ebuf, static_cast<std::size_t>(elen));
}

void put_text(std::string& out, std::string_view s, int w) {
    if (w < 0) {
        out.append(s);
    } else if (s.size() >= static_cast<std::size_t>(w)) {
        out.append(s.substr(0, static_cast<std::size_t>(w)));
    } else {
        out.append(static_cast<std::size_t>(w) - s.size(), ' ');
        out.append(s);
    }
}

}  // namespace fmt_detail

using namespace fmt_detail;

// gfortran starts the record with one blank and puts one blank before each
// further item, except between two adjacent texts.  Integers take I11 (I20
// beyond the default INTEGER range), texts their own length.  gfortran 12
// does not wrap long list-directed records, on standard output or on files,
// so neither do we.
std::string list_directed(std::span<const FItem> items) {
    std::string out;
    out.reserve(items.size() * 26 + 2);
    bool prev_text = false;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const FItem& it = items[k];
        const bool text = it.kind == FItem::Kind::Text;
        if (k == 0 || !(prev_text && text)) out += ' ';
        switch (it.kind) {
            case FItem::Kind::Int: {
                const bool fits32 = it.i >= -2147483648LL && it.i <= 2147483647LL;
                put_int(out, it.i, fits32 ? 11 : 20, -1);
                break;
            }
            case FItem::Kind::Real: put_list_real(out, it.r); break;
            case FItem::Kind::Text: out.append(it.s); break;
        }
        prev_text = text;
    }
    out += '\n';
    return out;
}

std::string list_directed(std::initializer_list<FItem> items) {
    return list_directed(std::span<const FItem>(items.begin(), items.size()));
}

std::string edit_i(std::int64_t v, int w) {
    if (w < 0) throw FormatError("I: negative width");
    std::string out;
    put_int(out, v, w, -1);
    return out;
}

std::string edit_f(double v, int w, int d) {
    if (w <= 0 || d < 0) throw FormatError("F: width must be positive, digits non-negative");
    std::string out;
    put_fixed(out, v, w, d);
    return out;
}

std::string edit_e(double v, int w, int d) {
    if (w <= 0 || d <= 0) throw FormatError("E: width and digits must be positive");
    std::string out;
    put_exp(out, v, w, d, 0, false);
    return out;
}

std::string edit_es(double v, int w, int d) {
    if (w <= 0 || d < 0) throw FormatError("ES: width must be positive, digits non-negative");
    std::string out;
    put_exp(out, v, w, d, 0, true);
    return out;
}

std::string edit_a(std::string_view s, int w) {
    std::string out;
    put_text(out, s, w);
    return out;
}

}  // namespace vorn
