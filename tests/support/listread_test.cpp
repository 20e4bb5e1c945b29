#include "support/listread.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vorn {
namespace {

namespace fs = std::filesystem;

ListReader text(std::string s) {
    return ListReader::from_text(std::move(s), "dir/inp.txt");
}

// Message of the ReadError thrown by reading `file` into items; "" if none.
std::string error_of(const std::string& file, const std::vector<RItem>& items) {
    try {
        text(file).read(items);
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}
template <class T>
std::string error_of(const std::string& tok) {
    T v{};
    return error_of(tok, {{"x", &v}});
}
#define EXPECT_HAS(msg, part) EXPECT_NE(std::string(msg).find(part), std::string::npos) << (msg)

template <class T>
T value_of(const std::string& tok) {
    T v{};
    text(tok).read({{"x", &v}});
    return v;
}

TEST(ListReaderLayout, SameValuesWhateverTheSeparatorsAndLineBreaks) {
    for (const char* f :
         {"1 2.5 abc\n9\n", "1\n2.5\nabc\n9\n", "1,2.5,abc\n9\n", " 1 ,  2.5\t,abc\r\n9\r\n",
          "\n\n1\n\n2.5  \n, abc\n9", "1 2.5\nabc rest\n9 8\n"}) {
        SCOPED_TRACE(f);
        auto r = text(f);
        int i = 0, next = 0;
        double d = 0;
        std::string s;
        r.read({{"i", &i}, {"d", &d}, {"s", &s}});
        r.read({{"next", &next}});
        EXPECT_TRUE(i == 1 && d == 2.5 && s == "abc" && next == 9) << i << d << s << next;
        EXPECT_TRUE(r.at_end());
    }
}

TEST(ListReaderLayout, RestOfTheLastRecordIsSkipped) {
    auto r = text("1 2 3\n4 5\n  7   number of steps, see notes / 3\n8 'x y' 9\n\n2\n");
    int a = 0, b = 0, n = 0, c = 0;
    r.read({{"a", &a}});
    r.read({{"b", &b}});
    EXPECT_EQ(r.next_line(), 3);
    r.read({{"n", &n}});
    r.read({{"c", &c}});
    EXPECT_EQ(a * 1000 + b * 100 + n * 10 + c, 1478);
    r.read({});  // an empty read uses up one record
    r.read({{"a", &a}});
    EXPECT_EQ(a, 2);
}

TEST(ListReaderLayout, SecondReadFailsAtEndOfFile) {
    auto r = text("1 2 3\n4 5\n");
    int a = 0, b = 0, c = 0;
    r.read({{"a", &a}, {"b", &b}, {"c", &c}});
    EXPECT_EQ(r.next_line(), 2);
    EXPECT_FALSE(r.at_end());
    try {
        r.read({{"a", &a}, {"b", &b}, {"dBa1dt_inp(2)", &c}});
        ADD_FAILURE();
    } catch (const ReadError& e) {
        EXPECT_STREQ(e.what(),
                     "Error reading file dir/inp.txt: end of file before value 3 (dBa1dt_inp(2)) "
                     "of the read that starts on line 2");
    }
    EXPECT_EQ(a, 1);  // a failed read stores nothing
    EXPECT_EQ(error_of<int>(""),
              "Error reading file dir/inp.txt: end of file before value 1 (x) (the file is empty)");
}

TEST(ListReaderValues, Reals) {
    // clang-format off
    const std::pair<const char*, double> ok[] = {
        {"1", 1},         {"1.", 1},         {".5", 0.5},    {"-2.5e-3", -2.5e-3}, {"2.5E3", 2500},
        {"1.0D+04", 1e4}, {"1.0d-4", 1e-4}, {"+7", 7},      {"1.0+3", 1e3},       {"7-2", 0.07},
        {"1q2", 100},     {"0.1", 0.1},     {"1e-400", 0},  {"-.5e+1", -5},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},  // smallest denormal
        {"123456789012345678901234567890", 123456789012345678901234567890.0},
        {"9007199254740993", 9007199254740992.0}};  // a tie: rounds to even
    // clang-format on
    for (auto [tok, v] : ok) EXPECT_EQ(value_of<double>(tok), v) << tok;
    EXPECT_TRUE(std::signbit(value_of<double>("-0")));
    for (const char* tok : {"NaN", "-nan", "nan(1)"})
        EXPECT_TRUE(std::isnan(value_of<double>(tok)));
    EXPECT_EQ(value_of<double>("Inf") + value_of<double>("INFINITY"), INFINITY);
    EXPECT_EQ(value_of<double>("-Infinity"), -INFINITY);
    for (const char* tok :
         {"1.5x", "e5", ".", "1e", "1d", "1.0+", "1e+-3", "--1", "infin", "nanx", "0x1p3", "'1.5'"})
        EXPECT_HAS(error_of<double>(tok), "is \"" + std::string(tok) + "\", not a real number");
    // Beyond the largest double: an infinity, noted (as NaN and the
    // infinities are) for the validation to list.
    EXPECT_EQ(value_of<double>("1e400"), INFINITY);
    EXPECT_EQ(value_of<double>("-1.5D999"), -INFINITY);
}

TEST(ListReaderValues, NonFiniteRealsAreNotedWithFileItemAndToken) {
    ListReader r = ListReader::from_text("1.5, NaN, 2*1e400\n-Inf 7\n", "case.txt");
    double a = 0, b = 0, c = 0, d = 0, e = 0;
    r.read({{"a", &a}, {"b", &b}, {"c", &c}, {"d", &d}});
    EXPECT_EQ(r.nonfinite(),
              (std::vector<std::string>{
                  "File case.txt: value 2 (b) on line 1 is \"NaN\", not a finite number",
                  "File case.txt: value 3 (c) on line 1 is \"2*1e400\", not a finite number",
                  "File case.txt: value 4 (d) on line 1 is \"2*1e400\", not a finite number"}));
    r.read({{"e", &e}});
    EXPECT_EQ(e, -INFINITY);
    EXPECT_EQ(r.nonfinite().size(), 4u);
}

TEST(ListReaderValues, Integers) {
    EXPECT_EQ(value_of<int>("+7") + value_of<int>("007"), 14);
    EXPECT_EQ(value_of<int>("-2147483648"), INT32_MIN);
    for (const char* tok : {"3.0", "3e2", "abc", "12abc", "Inf", "-", "'5'", "1+3"})
        EXPECT_HAS(error_of<int>(tok), "not an integer");
    EXPECT_HAS(error_of<int>("2147483648"), "outside the range");
    int i = 0;
    EXPECT_EQ(error_of("1 2 3 4 x7 6\n", {{"a", &i}, {"b", &i}, {"c", &i}, {"d", &i}, {"NS", &i}}),
              "Error reading file dir/inp.txt: value 5 (NS) on line 1 is \"x7\", not an integer");
}

TEST(ListReaderValues, RepeatCounts) {
    auto r = text("3*1.5 2*7 2*'a b'\n3*4\n8\n");
    double x = 0, y = 0, z = 0;
    int i = 0, j = 0, k = 0;
    std::string s, t;
    r.read({{"x", &x}, {"y", &y}, {"z", &z}, {"i", &i}, {"j", &j}, {"s", &s}, {"t", &t}});
    EXPECT_EQ(x + y + z, 4.5);
    EXPECT_EQ(i * j, 49);
    EXPECT_EQ(s + t, "a ba b");
    r.read({{"i", &i}, {"j", &j}});  // the third 4 is dropped with the rest of the line
    r.read({{"k", &k}});
    EXPECT_EQ(k, 8);
    EXPECT_HAS(error_of<int>("0*7"), "repeat count 0 in \"0*7\"");
}

TEST(ListReaderValues, Text) {
    auto r = text("'it''s here' \"say \"\"hi\"\"\" plain/rest\n'a,b/c' abc'd 'two\r\nlines' x\n");
    std::string a, b, c, d, e, f;
    r.read({{"a", &a}, {"b", &b}, {"c", &c}});
    r.read({{"d", &d}, {"e", &e}, {"f", &f}});
    EXPECT_EQ(a + "|" + b + "|" + c, "it's here|say \"hi\"|plain");
    EXPECT_EQ(d + "|" + e + "|" + f, "a,b/c|abc'd|twolines");
    EXPECT_TRUE(r.at_end());
    EXPECT_HAS(error_of<std::string>("'ab'cd"), "\"'ab'cd\", not a valid text");
    EXPECT_HAS(error_of("x\n'ab\n", {{"a", &a}, {"b", &b}}),
               "quoted text of value 2 (b), which starts on line 2");
}

TEST(ListReaderErrors, NullsAndSlashNameItemAndLine) {
    int a = 0, b = 0, c = 0;
    const std::vector<RItem> items = {{"a", &a}, {"b", &b}, {"c", &c}};
    EXPECT_EQ(error_of("\n1,,3\n", items),
              "Error reading file dir/inp.txt: value 2 (b) on line 2 is empty (a comma with no "
              "value before it)");
    EXPECT_HAS(error_of("1,\n,2 3\n", items), "value 2 (b) on line 2");
    EXPECT_HAS(error_of("1 2*\n", items), "value 2 (b) on line 1 is empty (\"2*\" has no value");
    EXPECT_EQ(error_of("1\n2 / 3\n", items),
              "Error reading file dir/inp.txt: the slash on line 2 ends the read before value 3 "
              "(c) was given");
    EXPECT_EQ(a + b + c, 0);
    text("1\n,2\n3 /\n").read(items);  // a comma after a line break is still a separator
    EXPECT_EQ(a * 100 + b * 10 + c, 123);
}

TEST(ListReaderErrors, Files) {
    const fs::path dir = fs::temp_directory_path() / "vorn_listread_test";
    fs::create_directories(dir);
    const std::string path = (dir / "inp.txt").string();
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF"
                                             "5\r\n";
    int i = 0;
    auto r = ListReader::from_file(path);
    r.read({{"i", &i}});
    EXPECT_EQ(i, 5);
    EXPECT_EQ(r.name(), path);
    try {
        ListReader::from_file(path + ".no");
        ADD_FAILURE();
    } catch (const ReadError& e) {
        EXPECT_EQ(e.what(), "Input file not found: " + path + ".no");
    }
    EXPECT_THROW(ListReader::from_file(dir.string()), ReadError);
    fs::remove_all(dir);
}

TEST(ConsoleItem, FirstItemOfTheNextNonBlankLine) {
    std::istringstream in("Test 2\n'My case' x\n\n   \n  045\r\n2*abc\n, x\n'a b\r\nc'\nlast");
    std::string s;
    for (const char* want : {"Test", "My case", "045", "abc", "", "a bc"}) {
        ASSERT_TRUE(read_console_item(in, s));
        EXPECT_EQ(s, want);
    }
    std::string rest;
    std::getline(in, rest);  // nothing beyond the answer's own lines was consumed
    EXPECT_EQ(rest, "last");
    EXPECT_FALSE(read_console_item(in, s));
}

}  // namespace
}  // namespace vorn
