// Edit-descriptor writer.  Takes a format string such as
// "(I5,14(A1,F12.3))" verbatim and produces exactly the text that a
// formatted Fortran WRITE with that format would produce (gfortran is the
// reference): Iw, Fw.d, Ew.d, ESw.d, A, Aw, nX, /, quoted literals, repeat
// counts and nested groups, format reversion when the items outlast the
// format, and w asterisks when a value does not fit its field.
//
// Also the list-directed ("free format") output of WRITE(u,*).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// One output item: an integer, a real or a text.
struct FItem {
    enum class Kind { Int, Real, Text };
    Kind kind;
    std::int64_t i = 0;
    double r = 0.0;
    std::string_view s;

    FItem(int v) : kind(Kind::Int), i(v) {}
    FItem(long v) : kind(Kind::Int), i(v) {}
    FItem(long long v) : kind(Kind::Int), i(v) {}
    FItem(double v) : kind(Kind::Real), r(v) {}
    FItem(const char* v) : kind(Kind::Text), s(v) {}
    FItem(const std::string& v) : kind(Kind::Text), s(v) {}
    FItem(std::string_view v) : kind(Kind::Text), s(v) {}
};

// A format item does not match the type of its data item, or the format
// string is malformed: a programming error, never a user error.
class FormatError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// A parsed format.  Parse once (e.g. as a function-local static const) and
// reuse on hot paths.
class Format {
public:
    explicit Format(std::string_view spec);
    ~Format();
    Format(const Format&);
    Format& operator=(const Format&);
    Format(Format&&) noexcept;
    Format& operator=(Format&&) noexcept;

    const std::string& spec() const { return spec_; }

    // The records written by one WRITE statement, each terminated by '\n'.
    std::string apply(std::span<const FItem> items) const;

    struct Node;  // parse tree, defined in the implementation

private:
    std::string spec_;
    std::shared_ptr<const Node> root_;
};

// Convenience forms: the records of one WRITE statement, each ending in '\n'.
std::string format_records(const Format& f, std::span<const FItem> items);
std::string format_records(std::string_view spec, std::initializer_list<FItem> items);
std::string format_records(std::string_view spec, std::span<const FItem> items);

void write_fmt(std::ostream& os, const Format& f, std::span<const FItem> items);
void write_fmt(std::ostream& os, std::string_view spec, std::initializer_list<FItem> items);
void write_fmt(std::ostream& os, std::string_view spec, std::span<const FItem> items);

// List-directed output of one WRITE(u,*) statement, as gfortran writes it
// for default integers and double-precision reals (one record, ending in
// '\n'; gfortran starts every record with one blank).
std::string list_directed(std::initializer_list<FItem> items);
std::string list_directed(std::span<const FItem> items);

// Single fields, for callers and tests that need just one edit descriptor.
std::string edit_i(std::int64_t v, int w);           // Iw
std::string edit_f(double v, int w, int d);          // Fw.d
std::string edit_e(double v, int w, int d);          // Ew.d
std::string edit_es(double v, int w, int d);         // ESw.d
std::string edit_a(std::string_view s, int w);       // Aw (w < 0: A)

// Field writers behind Format::apply: each appends its field to out, so a
// whole record is built in one string.  Arguments are not checked (the
// parser has done that): w >= 1 except I0 (w == 0) and A (w < 0).
namespace fmt_detail {
void put_int(std::string& out, std::int64_t v, int w, int m);  // m < 0: no minimum
void put_fixed(std::string& out, double v, int w, int d);
// e == 0: gfortran's default exponent; e < 0: Ew.dE0, as few digits as needed.
void put_exp(std::string& out, double v, int w, int d, int e, bool sci);
void put_text(std::string& out, std::string_view s, int w);
}  // namespace fmt_detail

}  // namespace vorn
