// Documented for users in README.md (case editing by name).
#include "input/case_edit.hpp"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "control/messages.hpp"
#include "input/input.hpp"
#include "input/step_items.hpp"
#include "support/listread.hpp"
#include "support/outfile.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace fs = std::filesystem;

namespace {

// The stop of an edit: the message names the file or the value.
struct EditError {
    std::string text;
};

// The text of a file, line by line, as it will be written back.
struct FileText {
    std::vector<std::string> lines;
    bool final_newline = true;

    static FileText split(const std::string& text) {
        FileText f;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t e = text.find('\n', pos);
            if (e == std::string::npos) {
                f.lines.push_back(text.substr(pos));
                f.final_newline = false;
                break;
            }
            f.lines.push_back(text.substr(pos, e - pos));
            pos = e + 1;
        }
        return f;
    }
    std::string joined() const {
        std::string s;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            s += lines[i];
            if (i + 1 < lines.size() || final_newline) s += '\n';
        }
        return s;
    }
};

std::string read_whole(const std::string& path) {
    // The list-directed reader reports a missing or unreadable file.
    ListReader::from_file(path);
    std::ostringstream ss;
    std::ifstream in(path, std::ios::binary);
    ss << in.rdbuf();
    return ss.str();
}

void write_whole(const std::string& path, const std::string& text) {
    OutFile f;
    if (!f.open(path, OpenMode::Replace)) throw EditError{"Cannot write " + shown_path(path)};
    const FileText t = FileText::split(text);
    // OutFile writes whole lines; a last line without its newline gets one.
    for (const std::string& l : t.lines) f.line(l);
    f.close();
}

std::string input_dir_of(const std::string& case_dir) {
    const std::string dir = (fs::path(case_dir) / "input").string() + "/";
    std::error_code ec;
    if (!fs::is_directory(case_dir, ec))
        throw EditError{"Case directory not found: " + shown_path(case_dir)};
    if (!fs::is_directory(dir, ec))
        throw EditError{"Input directory not found: " + shown_path(dir) +
                        " (it holds the input files inp_STEP01.txt to inp_STEP16.txt)"};
    return dir;
}

// The item of a name, or a stop that lists the close names.
StepItemPlace place_of(const std::string& name) {
    StepItemPlace p = find_step_item(name);
    if (p.item) return p;
    std::string text = "Unknown parameter \"" + name + "\"";
    const auto close = close_step_item_names(name);
    if (!close.empty()) {
        text += "; close names:";
        for (std::size_t i = 0; i < close.size(); ++i) text += (i ? ", " : " ") + close[i];
    }
    text += " (vorn get CASE_DIR lists every name)";
    throw EditError{text};
}

// Where the value of `p` is written in the text of its step file.
ValuePlace locate(const std::string& path, const std::string& text, const StepItemPlace& p) {
    ListReader r = ListReader::from_text(text, shown_path(path));
    Model scratch;
    std::vector<ValuePlace> places;
    const auto& records = step_file_records()[p.step - 1];
    for (int k = 0; k <= p.record; ++k) {
        places.clear();
        read_step_record(r, scratch, records[k], &places);
    }
    return places.at(p.value);
}

// The value as written: the token without its repeat count.
std::string token_value(const std::string& line, const ValuePlace& v) {
    std::string t = line.substr(v.begin, v.end - v.begin);
    if (v.repeat > 1 || t.find('*') != std::string::npos) t = t.substr(t.find('*') + 1);
    return t;
}

// The value of an assignment as it goes into the file: checked by the
// list-directed reader for the item's type; a text is quoted when needed.
std::string checked_value(const StepItem& it, const std::string& value) {
    ListReader r = ListReader::from_text(value, "the value of " + std::string(it.name));
    int i = 0;
    double d = 0;
    std::string s;
    try {
        if (it.is_int())
            r.read({{it.name, &i}});
        else if (it.is_real())
            r.read({{it.name, &d}});
        else
            r.read({{it.name, &s}});
    } catch (const ReadError& e) {
        // The reader's reason without its file and position.
        const std::string why = e.what();
        const auto at = why.rfind(" is \"");
        throw EditError{"The value of " + std::string(it.name) +
                        (at == std::string::npos ? ": " + why : why.substr(at))};
    }
    if (value.empty() || (!it.is_text() && value.find_first_of(" \t,/*") != std::string::npos))
        throw EditError{"The value of " + std::string(it.name) + " is \"" + value + "\", not one " +
                        (it.is_int() ? "integer" : "real number")};
    if (it.is_text() && value.find_first_of(" \t,/'\"") != std::string::npos) {
        std::string q = "'";
        for (char c : value) q += c == '\'' ? std::string("''") : std::string(1, c);
        return q + "'";
    }
    return value;
}

// Writes `value` over the value at `v`; a value inside a repeat "r*c" splits
// the repeat into single values.
void replace_value(std::string& line, const ValuePlace& v, const std::string& value) {
    if (v.end == std::string::npos)
        throw EditError{"a quoted text over several lines cannot be edited"};
    std::string text = value;
    if (v.repeat > 1) {
        const std::string c = token_value(line, v);
        const std::string sep = line.find(',') != std::string::npos ? ", " : " ";
        text.clear();
        for (long long k = 0; k < v.repeat; ++k)
            text += (k ? sep : "") + (k == v.in_repeat ? value : c);
    }
    line.replace(v.begin, v.end - v.begin, text);
}

// Reads and validates the whole input of the case as a run does; the
// messages (warnings and errors) are returned, a stop throws EditError.
std::vector<std::string> validate(const std::string& case_dir, const std::string& input_dir) {
    Model m;
    std::ostringstream con, con_err;
    m.con_out = &con;
    m.con_err = &con_err;
    m.case_dir = case_dir;
    m.input_dir = input_dir;
    m.output_dir = (fs::path(case_dir) / "output").string() + "/";
    const fs::path msg_path =
        fs::temp_directory_path() / ("vorn-set-" + std::to_string(::getpid()) + ".dat");
    if (!m.msg_unit.open(msg_path.string(), OpenMode::Replace))
        throw EditError{"Cannot write " + shown_path(msg_path.string())};
    std::string stop;
    try {
        read_input_parameters(m);
        check_input_parameters(m);
        read_other_files(m);
    } catch (const ReadError& e) {
        stop = e.what();
    } catch (const FatalError& e) {
        stop = e.what();
    } catch (const ProgramStop&) {
        stop = "The edited input does not pass the validation";
    }
    m.msg_unit.close();
    std::vector<std::string> lines;
    {
        std::ifstream in(msg_path);
        for (std::string l; std::getline(in, l);)
            if (l.find("errors are listed in") == std::string::npos) lines.push_back(l);
    }
    std::error_code ec;
    fs::remove(msg_path, ec);
    if (!stop.empty()) {
        std::string text;
        for (const std::string& l : lines) text += l + "\n";
        if (lines.empty() || lines.back() != stop) text += stop + "\n";
        throw EditError{text + "The case is left as it was"};
    }
    return lines;
}

void print_value(std::ostream& out, const StepItem& it, const std::string& value, int step) {
    out << it.name << " = " << value;
    if (*it.unit) out << ' ' << it.unit;
    out << "  (" << step_file_name(step) << ")\n";
}

}  // namespace

int set_case_values(const std::string& case_dir, const std::vector<std::string>& assignments,
                    std::ostream& out, std::ostream& err) {
    std::map<int, std::string> original;  // step -> text before the edit
    std::map<int, std::string> edited;
    std::string input_dir;
    try {
        input_dir = input_dir_of(case_dir);
        // Every name and value is checked before a file is touched.
        std::vector<std::pair<StepItemPlace, std::string>> edits;
        for (const std::string& a : assignments) {
            const auto eq = a.find('=');
            if (eq == std::string::npos || eq == 0)
                throw EditError{"Expected NAME=VALUE, not \"" + a + "\""};
            const StepItemPlace p = place_of(a.substr(0, eq));
            edits.emplace_back(p, checked_value(*p.item, a.substr(eq + 1)));
        }
        for (const auto& [p, value] : edits) {
            const std::string path = input_dir + step_file_name(p.step);
            if (!original.count(p.step)) original[p.step] = edited[p.step] = read_whole(path);
            FileText t = FileText::split(edited[p.step]);
            const ValuePlace v = locate(path, edited[p.step], p);
            replace_value(t.lines.at(v.line - 1), v, value);
            edited[p.step] = t.joined();
        }
        for (const auto& [step, text] : edited) write_whole(input_dir + step_file_name(step), text);
        try {
            for (const std::string& l : validate(case_dir, input_dir)) err << l << '\n';
        } catch (const EditError&) {
            for (const auto& [step, text] : original)
                write_whole(input_dir + step_file_name(step), text);
            throw;
        }
        for (const auto& [p, value] : edits) print_value(out, *p.item, value, p.step);
    } catch (const EditError& e) {
        err << "vorn set: " << e.text << '\n' << std::flush;
        return kStopStatus;
    } catch (const ReadError& e) {
        err << "vorn set: " << e.what() << '\n' << std::flush;
        return kStopStatus;
    }
    out << std::flush;
    return 0;
}

int get_case_values(const std::string& case_dir, const std::vector<std::string>& names,
                    std::ostream& out, std::ostream& err) {
    try {
        const std::string input_dir = input_dir_of(case_dir);
        std::vector<StepItemPlace> wanted;
        if (names.empty()) {
            const auto& table = step_file_records();
            for (std::size_t s = 0; s < table.size(); ++s)
                for (std::size_t r = 0; r < table[s].size(); ++r)
                    for (std::size_t v = 0; v < table[s][r].size(); ++v)
                        if (!table[s][r][v].reserved())
                            wanted.push_back({int(s) + 1, int(r), int(v), &table[s][r][v]});
        }
        for (const std::string& n : names) wanted.push_back(place_of(n));
        std::map<int, std::string> texts;
        for (const StepItemPlace& p : wanted) {
            const std::string path = input_dir + step_file_name(p.step);
            if (!texts.count(p.step)) texts[p.step] = read_whole(path);
            const FileText t = FileText::split(texts[p.step]);
            const ValuePlace v = locate(path, texts[p.step], p);
            if (v.end == std::string::npos) throw EditError{"a quoted text over several lines"};
            print_value(out, *p.item, token_value(t.lines.at(v.line - 1), v), p.step);
        }
    } catch (const EditError& e) {
        err << "vorn get: " << e.text << '\n' << std::flush;
        return kStopStatus;
    } catch (const ReadError& e) {
        err << "vorn get: " << e.what() << '\n' << std::flush;
        return kStopStatus;
    }
    out << std::flush;
    return 0;
}

}  // namespace vorn
