// The line kinds of "Summary.dat": section headers, table titles, option
// descriptions and labelled values.  Labels and option texts are
// right-aligned in 50 characters; a text longer than that is written whole
// (with the value fields following it) instead of being cut.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

#include "control/model.hpp"
#include "support/outfile.hpp"

namespace vorn {

class SummaryLines {
public:
    explicit SummaryLines(OutFile& f) : f_(f) {}

    OutFile& file() { return f_; }

    // "(/A)": a blank line, then the header.
    void header(std::string_view text) { put(kHeader, {text}); }
    // "(//A)": two blank lines, then the title.
    void title(std::string_view text) { put(kTitle, {text}); }
    // "(A)": text from the first column.
    void plain(std::string_view text) { put(kPlain, {text}); }
    // "(A50)": a description of the selected option.
    void text(std::string_view text) { put(fits(text) ? kText : kPlain, {text}); }
    // "(A50,A14)": label and a word.
    void word(std::string_view label, std::string_view w) {
        put(fits(label) ? kWord : kWordLong, {label, w});
    }
    // "(A50,F14.6,A12)": label, value, unit.
    void value(std::string_view label, double v, std::string_view unit) {
        put(fits(label) ? kValue : kValueLong, {label, v, unit});
    }
    // "(A50,E14.4,A12)": the same in exponent notation.
    void value_e(std::string_view label, double v, std::string_view unit) {
        put(fits(label) ? kValueE : kValueELong, {label, v, unit});
    }
    // "(A50,I14,A12)": label, integer, unit.
    void integer(std::string_view label, int v, std::string_view unit) {
        put(fits(label) ? kInt : kIntLong, {label, v, unit});
    }

    void put(const Format& f, std::initializer_list<FItem> items) {
        f_.fmt(f, std::span<const FItem>(items.begin(), items.size()));
    }

private:
    static bool fits(std::string_view s) { return s.size() <= 50; }

    static inline const Format kHeader{"(/A)"};
    static inline const Format kTitle{"(//A)"};
    static inline const Format kPlain{"(A)"};
    static inline const Format kText{"(A50)"};
    static inline const Format kWord{"(A50,A14)"};
    static inline const Format kWordLong{"(A,A14)"};
    static inline const Format kValue{"(A50,F14.6,A12)"};
    static inline const Format kValueLong{"(A,F14.6,A12)"};
    static inline const Format kValueE{"(A50,E14.4,A12)"};
    static inline const Format kValueELong{"(A,E14.4,A12)"};
    static inline const Format kInt{"(A50,I14,A12)"};
    static inline const Format kIntLong{"(A,I14,A12)"};

    OutFile& f_;
};

// The parts of "Summary.dat", in the order they are written.
void summary_cable(Model& m, SummaryLines& out);     // steps 1 to 7
void summary_thermal(Model& m, SummaryLines& out);   // steps 8 to 16
void summary_tables(Model& m, SummaryLines& out);    // set-up tables
void summary_results(Model& m, SummaryLines& out);   // field line, magnetisation, helium

}  // namespace vorn
