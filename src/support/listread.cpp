#include "support/listread.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace vorn {

namespace {

// A CR of a Windows line end that survived the split is treated as a blank.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}
bool ends_token(char c) {
    return is_blank(c) || c == ',' || c == '/';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// One value as the scanner found it, before it is converted to an item's type.
struct Value {
    enum Kind {
        End,        // no record left
        Slash,      // '/' ends the read
        Null,       // nothing between two commas, or "r*" without a value
        Token,      // a value (text holds it, quotes removed)
        BadQuote,   // closing quote not followed by a separator
        OpenQuote,  // end of file inside a quoted value
    };
    Kind kind = End;
    std::string text;  // the value; quotes removed, a doubled quote made one
    std::string raw;   // as written; for a quote over several lines, "..." + its last line
    bool quoted = false;
    long long repeat = 1;
    int line = 0;  // 1-based line where the value (or its repeat count) starts
    // Columns [col, end) of the value as written on its line, with its repeat
    // count; end is npos for a quoted text over several lines.
    std::size_t col = 0, end = std::string::npos;
};

// Walks the records of a ListReader or a console stream.  Records are taken
// from `lines`; when that runs out and `more` is set, further lines are read
// from the stream on demand, so a console answer consumes exactly the lines
// it needs.
class Scanner {
public:
    Scanner(std::vector<std::string>& lines, std::size_t line, std::istream* more)
        : lines_(lines), ln_(line), more_(more) {}

    Value next();
    // 0-based index of the record the scanner is in.
    std::size_t record() const { return ln_; }

private:
    bool have_line(std::size_t i);
    void read_quoted(Value& v);
    // After a value: blanks and at most one comma on the same record.
    void finish_value();

    std::vector<std::string>& lines_;
    std::size_t ln_;
    std::size_t col_ = 0;
    std::istream* more_;
    // True after a value whose separator has not yet had its comma, so a
    // comma that follows (even on a later record) is that separator rather
    // than a null value.
    bool comma_ok_ = false;
};

bool Scanner::have_line(std::size_t i) {
    std::string s;
    while (i >= lines_.size() && more_ && std::getline(*more_, s)) {
        if (!s.empty() && s.back() == '\r') s.pop_back();
        lines_.push_back(std::move(s));
    }
    return i < lines_.size();
}

Value Scanner::next() {
    Value v;
    for (;;) {
        if (!have_line(ln_)) return v;  // End
        const std::string& s = lines_[ln_];
        while (col_ < s.size() && is_blank(s[col_])) ++col_;
        if (col_ == s.size()) {
            ++ln_;
            col_ = 0;
            continue;
        }
        if (s[col_] == ',' && comma_ok_) {
            ++col_;
            comma_ok_ = false;
            continue;
        }
        break;
    }
    const std::string& s = lines_[ln_];
    v.line = static_cast<int>(ln_) + 1;
    const std::size_t start = col_;
    v.col = start;
    if (s[col_] == ',') {
        ++col_;
        comma_ok_ = false;
        v.kind = Value::Null;
        v.raw.assign(1, ',');
        return v;
    }
    if (s[col_] == '/') {
        v.kind = Value::Slash;
        v.raw.assign(1, '/');
        return v;
    }

    // Repeat count: digits directly followed by '*'.
    std::size_t j = col_;
    while (j < s.size() && is_digit(s[j])) ++j;
    if (j > col_ && j < s.size() && s[j] == '*') {
        v.repeat = 0;
        for (std::size_t k = col_; k < j; ++k)
            v.repeat = std::min(v.repeat * 10 + (s[k] - '0'), 1'000'000'000LL);
        col_ = j + 1;
        if (col_ == s.size() || ends_token(s[col_])) {
            v.kind = Value::Null;
            v.raw = s.substr(start, col_ - start);
            finish_value();
            return v;
        }
    }

    v.kind = Value::Token;
    if (s[col_] == '\'' || s[col_] == '"') {
        read_quoted(v);
        if (v.kind != Value::Token) return v;
        // The closing quote may be on a later record than the opening one.
        const std::string& e = lines_[ln_];
        const bool one_line = ln_ + 1 == static_cast<std::size_t>(v.line);
        const std::size_t from = one_line ? start : 0;
        if (col_ < e.size() && !ends_token(e[col_])) {
            while (col_ < e.size() && !ends_token(e[col_])) ++col_;
            v.kind = Value::BadQuote;
        }
        v.raw = (one_line ? "" : "...") + e.substr(from, col_ - from);
        if (v.kind == Value::BadQuote) return v;
    } else {
        std::size_t b = col_;
        while (col_ < s.size() && !ends_token(s[col_])) ++col_;
        v.text = s.substr(b, col_ - b);
        v.raw = s.substr(start, col_ - start);
    }
    if (ln_ + 1 == static_cast<std::size_t>(v.line)) v.end = col_;
    finish_value();
    return v;
}

// col_ is on the opening quote.  A record end inside the quotes adds nothing
// to the value; the value continues on the next record.
void Scanner::read_quoted(Value& v) {
    const char q = lines_[ln_][col_++];
    v.quoted = true;
    for (;;) {
        const std::string& s = lines_[ln_];
        if (col_ == s.size()) {
            if (!have_line(ln_ + 1)) {
                v.kind = Value::OpenQuote;
                return;
            }
            ++ln_;
            col_ = 0;
            continue;
        }
        if (s[col_] == q) {
            if (col_ + 1 < s.size() && s[col_ + 1] == q) {
                v.text += q;
                col_ += 2;
                continue;
            }
            ++col_;
            return;
        }
        v.text += s[col_++];
    }
}

void Scanner::finish_value() {
    const std::string& s = lines_[ln_];
    while (col_ < s.size() && is_blank(s[col_])) ++col_;
    if (col_ < s.size() && s[col_] == ',') {
        ++col_;
        comma_ok_ = false;
    } else {
        comma_ok_ = true;
    }
}

enum class Conv { Ok, Bad, Range };

// Optional sign and digits only, within the range of int.
Conv parse_int(std::string_view t, int& out) {
    std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (i == t.size()) return Conv::Bad;
    for (std::size_t k = i; k < t.size(); ++k)
        if (!is_digit(t[k])) return Conv::Bad;
    // from_chars takes '-' but not '+'.
    std::string_view d = t[0] == '+' ? t.substr(1) : t;
    auto r = std::from_chars(d.data(), d.data() + d.size(), out);
    if (r.ec == std::errc::result_out_of_range) return Conv::Range;
    return r.ec == std::errc() && r.ptr == d.data() + d.size() ? Conv::Ok : Conv::Bad;
}

// A real literal as a list-directed read takes it:
//   [sign] digits [. [digits]] [exponent]   or   [sign] . digits [exponent]
//   exponent: (E|D|Q) [sign] digits, or sign digits without a letter ("1.0+3")
//   [sign] NaN, NaN(...), Inf, Infinity   (any case)
// A value below the smallest denormal becomes a signed zero; one above the
// largest double is refused rather than turned into an infinity.
Conv parse_real(std::string_view t, double& out) {
    std::size_t i = 0;
    const bool neg = !t.empty() && t[0] == '-';
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) ++i;
    const std::string_view w = t.substr(i);
    if (iequals(w, "inf") || iequals(w, "infinity")) {
        out = neg ? -std::numeric_limits<double>::infinity()
                  : std::numeric_limits<double>::infinity();
        return Conv::Ok;
    }
    if (iequals(w, "nan") ||
        (w.size() >= 5 && iequals(w.substr(0, 4), "nan(") && w.find(')') == w.size() - 1)) {
        out = std::numeric_limits<double>::quiet_NaN();
        return Conv::Ok;
    }

    const std::size_t n = t.size();
    const std::size_t ib = i;
    while (i < n && is_digit(t[i])) ++i;
    const std::string_view ipart = t.substr(ib, i - ib);
    std::string_view fpart;
    if (i < n && t[i] == '.') {
        const std::size_t fb = ++i;
        while (i < n && is_digit(t[i])) ++i;
        fpart = t.substr(fb, i - fb);
    }
    if (ipart.empty() && fpart.empty()) return Conv::Bad;
    bool eneg = false;
    std::string_view edig;
    if (i < n) {
        const char c = lower(t[i]);
        if (c == 'e' || c == 'd' || c == 'q')
            ++i;
        else if (c != '+' && c != '-')
            return Conv::Bad;
        if (i < n && (t[i] == '+' || t[i] == '-')) eneg = t[i++] == '-';
        const std::size_t eb = i;
        while (i < n && is_digit(t[i])) ++i;
        edig = t.substr(eb, i - eb);
        if (edig.empty() || i != n) return Conv::Bad;
    }

    // Rebuilt in the one form from_chars is sure to take: -I.FeS, correctly
    // rounded.
    std::string buf;
    buf.reserve(t.size() + 4);
    if (neg) buf += '-';
    buf += ipart.empty() ? std::string_view("0") : ipart;
    buf += '.';
    buf += fpart;
    if (!edig.empty()) {
        buf += eneg ? "e-" : "e";
        buf += edig;
    }
    auto r = std::from_chars(buf.data(), buf.data() + buf.size(), out);
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow or underflow?  Decimal order of the leading digit: it is
        // far from 0 either way, so a saturated exponent is good enough.
        long long e = 0;
        for (char c : edig) e = std::min(e * 10 + (c - '0'), 1'000'000'000LL);
        if (eneg) e = -e;
        const std::string digits = std::string(ipart) + std::string(fpart);
        const auto lead = static_cast<long long>(digits.find_first_not_of('0'));
        const long long order = static_cast<long long>(ipart.size()) - lead - 1 + e;
        if (order >= 0) return Conv::Range;
        out = neg ? -0.0 : 0.0;
        return Conv::Ok;
    }
    return r.ec == std::errc() && r.ptr == buf.data() + buf.size() ? Conv::Ok : Conv::Bad;
}

std::string quote(const std::string& s) {
    return "\"" + s + "\"";
}

}  // namespace

ListReader::ListReader(std::string text, std::string name) : name_(std::move(name)) {
    // A UTF-8 byte order mark from a Windows editor is not part of a value.
    std::size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < text.size()) {
        std::size_t e = text.find('\n', pos);
        if (e == std::string::npos) e = text.size();
        std::string rec = text.substr(pos, e - pos);
        if (!rec.empty() && rec.back() == '\r') rec.pop_back();
        lines_.push_back(std::move(rec));
        pos = e + 1;
    }
}

ListReader ListReader::from_file(const std::string& path) {
    std::error_code ec;
    // Messages give the path as tried, made absolute.
    auto shown = [&path] {
        std::error_code e;
        const std::filesystem::path p = std::filesystem::absolute(path, e);
        return e ? path : p.string();
    };
    if (!std::filesystem::exists(path, ec)) throw ReadError("Input file not found: " + shown());
    std::ifstream in;
    if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
    if (!in.is_open()) throw ReadError("Input file cannot be opened: " + shown());
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) throw ReadError("Input file cannot be read: " + shown());
    return ListReader(std::move(ss).str(), path);
}

ListReader ListReader::from_text(std::string text, std::string display_name) {
    return ListReader(std::move(text), std::move(display_name));
}

bool ListReader::at_end() const {
    return line_ >= static_cast<int>(lines_.size());
}

void ListReader::read(const std::vector<RItem>& items, std::vector<ValuePlace>* places) {
    const std::string head = "Error reading file " + name_ + ": ";
    const auto nlines = static_cast<int>(lines_.size());
    auto file_size = [&] {
        return nlines == 0 ? std::string("the file is empty")
                           : "the file has only " + std::to_string(nlines) +
                                 (nlines == 1 ? " line" : " lines");
    };

    if (items.empty()) {
        // A read without values still uses up one record.
        if (at_end())
            throw ReadError(head + "end of file where a line was to be skipped (" + file_size() +
                            ")");
        ++line_;
        return;
    }

    // Values are converted into `got` first and stored only once the whole
    // read succeeded, so a failed read leaves every target unchanged.
    using Got = std::variant<int, double, std::string>;
    std::vector<Got> got;
    got.reserve(items.size());
    Scanner sc(lines_, static_cast<std::size_t>(line_), nullptr);
    Value cur;  // current value, with cur.repeat copies still to hand out
    cur.repeat = 0;
    int first_line = 0;  // line of the read's first value; 0 while none seen

    for (std::size_t k = 0; k < items.size(); ++k) {
        const RItem& it = items[k];
        const std::string what = "value " + std::to_string(k + 1) + " (" + it.name + ")";
        if (cur.repeat == 0) {
            cur = sc.next();
            if (first_line == 0) first_line = cur.line;
            const std::string on = what + " on line " + std::to_string(cur.line);
            switch (cur.kind) {
                case Value::End:
                    if (first_line == 0)
                        throw ReadError(head + "end of file before " + what + " (" + file_size() +
                                        ")");
                    throw ReadError(head + "end of file before " + what +
                                    " of the read that starts on line " +
                                    std::to_string(first_line));
                case Value::Slash:
                    throw ReadError(head + "the slash on line " + std::to_string(cur.line) +
                                    " ends the read before " + what + " was given");
                case Value::Null:
                    if (cur.raw == ",")
                        throw ReadError(head + on + " is empty (a comma with no value before it)");
                    throw ReadError(head + on + " is empty (" + quote(cur.raw) +
                                    " has no value after the *)");
                case Value::OpenQuote:
                    throw ReadError(head + "end of file inside the quoted text of " + what +
                                    ", which starts on line " + std::to_string(cur.line) +
                                    " (a closing quote is missing)");
                case Value::BadQuote:
                    throw ReadError(head + on + " is " + quote(cur.raw) +
                                    ", not a valid text (a closing quote must be followed by a "
                                    "blank, comma or slash)");
                case Value::Token:
                    break;
            }
            if (cur.repeat == 0)
                throw ReadError(head + on + " has the repeat count 0 in " + quote(cur.raw));
            if (places) places->push_back({cur.line, cur.col, cur.end, cur.repeat, 0});
        } else if (places) {
            ValuePlace next = places->back();
            ++next.in_repeat;
            places->push_back(next);
        }
        const std::string on = what + " on line " + std::to_string(cur.line);
        auto refuse = [&](Conv c, const char* type, const char* range) {
            return ReadError(head + on + " is " + quote(cur.raw) + ", " +
                             (c == Conv::Bad ? std::string("not ") + type : std::string(range)));
        };
        if (std::holds_alternative<int*>(it.target)) {
            int v = 0;
            const Conv c = cur.quoted ? Conv::Bad : parse_int(cur.text, v);
            if (c != Conv::Ok) throw refuse(c, "an integer", "outside the range of an integer");
            got.emplace_back(v);
        } else if (std::holds_alternative<double*>(it.target)) {
            double v = 0;
            Conv c = cur.quoted ? Conv::Bad : parse_real(cur.text, v);
            if (c == Conv::Range) {  // beyond the largest double: an infinity
                v = cur.text.front() == '-' ? -std::numeric_limits<double>::infinity()
                                            : std::numeric_limits<double>::infinity();
                c = Conv::Ok;
            }
            if (c != Conv::Ok) throw refuse(c, "a real number", "too large for a real number");
            if (!std::isfinite(v))
                nonfinite_.push_back("File " + name_ + ": " + on + " is " + quote(cur.raw) +
                                     ", not a finite number");
            got.emplace_back(v);
        } else {
            got.emplace_back(cur.text);
        }
        --cur.repeat;
    }

    for (std::size_t k = 0; k < items.size(); ++k) {
        std::visit([&](auto* p) { *p = std::get<std::remove_pointer_t<decltype(p)>>(got[k]); },
                   items[k].target);
    }
    // The rest of the last record used is skipped.
    line_ = static_cast<int>(sc.record()) + 1;
}

bool read_console_item(std::istream& in, std::string& out) {
    std::vector<std::string> lines;
    Scanner sc(lines, 0, &in);
    Value v = sc.next();
    switch (v.kind) {
        case Value::End:
        case Value::OpenQuote:
            return false;
        case Value::Slash:
        case Value::Null:
            out.clear();
            return true;
        case Value::BadQuote:
            throw ReadError("Error reading the answer " + quote(v.raw) +
                            ": a closing quote must be followed by a blank, comma or slash");
        case Value::Token:
            break;
    }
    out = v.text;
    return true;
}

}  // namespace vorn
