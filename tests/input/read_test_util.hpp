// A copy of the example case whose input files a test may change before it
// reads them into a fresh store, with the messages file and the console
// captured.
#pragma once

#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "control/model.hpp"
#include "input/input.hpp"
#include "support/listread.hpp"
#include "support/stop.hpp"
#include "test_util.hpp"

namespace vorn::test {

inline bool contains_all(const std::string& text, std::initializer_list<const char*> parts) {
    for (const char* p : parts)
        if (text.find(p) == std::string::npos) return false;
    return true;
}

class InputCase {
    TempDir dir_;  // first: the copy of the case lives in it

public:
    fs::path input;  // the case's input directory

    InputCase() : input(copy_example(dir_.path()) / "input") { fresh(); }

    // The store of the last read (or a fresh one before any read).
    Model& m() { return *model_; }

    fs::path step_file(int step) const {
        return input / ((step < 10 ? "inp_STEP0" : "inp_STEP") + std::to_string(step) + ".txt");
    }

    // Reads the case into a fresh store.
    void read() {
        fresh();
        read_input_parameters(*model_);
    }
    // Reads and returns the message of the ReadError ("" without one).
    std::string read_error() {
        try {
            read();
        } catch (const ReadError& e) {
            return e.what();
        }
        return "";
    }
    // Reads; true when the reader stopped the program.
    bool read_stops() {
        try {
            read();
        } catch (const ProgramStop&) {
            return true;
        }
        return false;
    }

    std::vector<std::string> messages() const { return read_lines(msg_path()); }
    std::string console() const { return con_.str(); }
    // The error stream: the reasons of stops.
    std::string errors() const { return err_.str(); }

    // Replaces the k-th value (1-based, counted over all lines) of a file
    // whose values are separated by commas.
    void set_value(const fs::path& file, int k, const std::string& text) {
        const std::string in = read_file(file);
        std::string out;
        int n = 1;
        for (char c : in) {
            if (c == ',' || c == '\n') {
                if (n == k) out += " " + text;
                ++n;
                out += c;
            } else if (n != k) {
                out += c;
            }
        }
        if (n == k) out += " " + text;
        write_file(file, out);
    }
    // Rows "i <values>" for i = first..last.
    void write_rows(const std::string& file, int first, int last, const std::string& values) {
        std::string text;
        for (int i = first; i <= last; ++i) text += std::to_string(i) + " " + values + "\n";
        write_file(input / file, text);
    }

private:
    fs::path msg_path() const { return dir_.path() / "VORN_messages.dat"; }

    void fresh() {
        model_ = std::make_unique<Model>();
        model_->input_dir = input.string() + "/";
        model_->msg_unit.open(msg_path().string(), OpenMode::Replace);
        con_.str("");
        err_.str("");
        model_->con_out = &con_;
        model_->con_err = &err_;
    }

    std::unique_ptr<Model> model_;
    std::ostringstream con_, err_;
};

}  // namespace vorn::test
