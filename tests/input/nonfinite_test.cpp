// Values that are not finite numbers in the input files: NaN, the
// infinities and literals beyond the largest double pass every range test
// (all comparisons with a NaN are false), so the readers collect them and
// the validation lists each one, naming the file, the value and the token.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "input/input.hpp"
#include "read_test_util.hpp"

namespace vorn::test {
namespace {

// The tokens of a file (separated by blanks, commas, slashes or line ends)
// with their offsets.
struct Token {
    std::size_t at, size;
};

std::vector<Token> numeric_tokens(const std::string& text) {
    std::vector<Token> out;
    auto sep = [](char c) { return c == ' ' || c == ',' || c == '\n' || c == '\t' || c == '\r'; };
    for (std::size_t i = 0; i < text.size();) {
        if (sep(text[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < text.size() && !sep(text[j])) ++j;
        const std::string t = text.substr(i, j - i);
        char* end = nullptr;
        std::strtod(t.c_str(), &end);
        if (end == t.c_str() + t.size()) out.push_back({i, j - i});
        i = j;
    }
    return out;
}

enum class Outcome { Listed, ReadStop, Accepted, Other };

// Reads and validates the case as a run does; Listed when the validation
// stopped with `expected` among the messages.
Outcome validate(InputCase& c, const std::string& expected, std::string& seen) {
    try {
        c.read();
        check_input_parameters(c.m());
        read_other_files(c.m());
    } catch (const ProgramStop&) {
        c.m().msg_unit.close();
        for (const std::string& l : c.messages()) seen += l + "\n";
        return seen.find(expected) != std::string::npos ? Outcome::Listed : Outcome::Other;
    } catch (const ReadError& e) {
        seen = e.what();
        return Outcome::ReadStop;
    }
    return Outcome::Accepted;
}

TEST(NonFiniteInput, EveryValueOfTheStepFilesAndTablesIsAnError) {
    InputCase c;
    std::vector<std::string> files = {"inp_TimeSteps.txt", "inp_WrArrays.txt", "inp_Signals.txt"};
    for (int s = 1; s <= 16; ++s) files.push_back(c.step_file(s).filename().string());
    int listed = 0;
    for (const std::string& name : files) {
        const fs::path file = c.input / name;
        const std::string original = read_file(file);
        for (const Token& t : numeric_tokens(original)) {
            for (const std::string bad : {"NaN", "Inf", "-Inf", "1e999"}) {
                SCOPED_TRACE(name + " token at " + std::to_string(t.at) + " as " + bad);
                std::string text = original;
                text.replace(t.at, t.size, bad);
                write_file(file, text);
                std::string seen;
                const Outcome o = validate(
                    c, "File " + file.string() + ": value ", seen);
                if (o == Outcome::Listed) {
                    EXPECT_NE(seen.find(" is \"" + bad + "\", not a finite number"),
                              std::string::npos)
                        << seen;
                    ++listed;
                } else if (o == Outcome::ReadStop) {
                    // An integer item: the reader stops naming the file and the token.
                    EXPECT_NE(seen.find(file.string()), std::string::npos) << seen;
                    EXPECT_NE(seen.find("\"" + bad + "\""), std::string::npos) << seen;
                } else if (o == Outcome::Accepted) {
                    // Only a value no read takes (after the last value a read
                    // needs on its line) may pass: so does any text there.
                    text = original;
                    text.replace(t.at, t.size, "xyz");
                    write_file(file, text);
                    std::string ignored;
                    EXPECT_EQ(validate(c, "", ignored), Outcome::Accepted) << "value read";
                } else {
                    ADD_FAILURE() << seen;
                }
            }
            write_file(file, original);
        }
    }
    EXPECT_GT(listed, 400);  // the reals of the step files and tables
}

}  // namespace
}  // namespace vorn::test
