// List-directed ("free format") reader for the case files.
//
// One call of read() is one READ statement: it takes its values in order,
// separated by blanks, tabs, commas or line breaks, may run over several
// records (lines), and skips the rest of the last record it used, so the
// next read starts on a new line.  Accepted forms:
//   integers   12  -3  +7
//   reals      1  1.  .5  -2.5e-3  1.0D+04  NaN  Inf  -Infinity
//   text       one item, unquoted (ends at a blank, comma or slash) or
//              quoted with ' or " (may contain blanks; a doubled quote
//              stands for one quote character)
//   r*c        the value c repeated r times
// A slash before all values are read, a null value (two commas in a row),
// the end of the file, or a token that does not parse as the wanted type is
// an error: a ReadError whose message names the file, the value's name and
// its position (value number within the read and line number).
#pragma once

#include <initializer_list>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vorn {

class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One value of a read: its name (for messages) and where it goes.
// A text target receives the item as read; fixed-length text (e.g. 12
// characters) is cut or blank-padded by the caller.
struct RItem {
    std::string name;
    std::variant<int*, double*, std::string*> target;

    RItem(std::string n, int* p) : name(std::move(n)), target(p) {}
    RItem(std::string n, double* p) : name(std::move(n)), target(p) {}
    RItem(std::string n, std::string* p) : name(std::move(n)), target(p) {}
};

// Where one value of a read is written: its line (1-based), the columns
// [begin, end) of its token on that line, including a repeat count "r*"
// (end is npos for a quoted text over several lines), how many values the
// token stands for and which of them this one is (0-based).
struct ValuePlace {
    int line = 0;
    std::size_t begin = 0, end = 0;
    long long repeat = 1;
    long long in_repeat = 0;
};

class ListReader {
public:
    // Reads the whole file.  display_name is used in messages (normally the
    // full path).  A file that cannot be opened throws ReadError.
    static ListReader from_file(const std::string& path);
    // For console answers and tests: the text is the content of the "file".
    static ListReader from_text(std::string text, std::string display_name);

    // One READ statement.  With `places`, the places of its values are
    // appended to it as well (one per item, in order).
    void read(const std::vector<RItem>& items, std::vector<ValuePlace>* places = nullptr);
    void read(std::initializer_list<RItem> items) { read(std::vector<RItem>(items)); }

    // True when no record is left.
    bool at_end() const;
    // 1-based number of the next record to be read.
    int next_line() const { return line_ + 1; }
    const std::string& name() const { return name_; }
    // The real values read so far that are not finite numbers (NaN, an
    // infinity, or a literal beyond the largest double, read as an
    // infinity), one description per value naming the file, the value and
    // the token: a case's readers hand them to the validation, which lists
    // them with the other errors.
    const std::vector<std::string>& nonfinite() const { return nonfinite_; }

private:
    ListReader(std::string text, std::string name);

    std::string name_;
    std::vector<std::string> lines_;
    int line_ = 0;  // index of the next unread record
    std::vector<std::string> nonfinite_;
};

// Reads one answer from a console stream as one list-directed text item
// (leading blanks skipped, blank lines skipped, an unquoted answer ends at the
// first blank, comma or slash, a quoted answer may contain blanks; the rest of
// the line is discarded).  A null answer (the line starts with a comma or
// slash) gives an empty string.  Returns false at end of input.
bool read_console_item(std::istream& in, std::string& out);

}  // namespace vorn
