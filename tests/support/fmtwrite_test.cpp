// Edit-descriptor writer: hand-picked cases whose expected text was taken
// from gfortran 12 output for the same format and values.
#include "support/fmtwrite.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace vorn {
namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string rec(std::string_view text, std::initializer_list<FItem> items) {
    return format_records(text, items);
}

TEST(FmtWriteInt, WidthSignAndOverflow) {
    EXPECT_EQ(edit_i(42, 5), "   42");
    EXPECT_EQ(edit_i(1000, 3), "***");
    EXPECT_EQ(edit_i(-99, 3), "-99");
    EXPECT_EQ(edit_i(-100, 3), "***");
    EXPECT_EQ(edit_i(-2147483648LL, 11), "-2147483648");
    EXPECT_EQ(edit_i(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
    EXPECT_EQ(edit_i(123, 0), "123");  // I0: narrowest field
}

TEST(FmtWriteInt, MinimumDigits) {
    EXPECT_EQ(rec("(I5.3,'|',I5.3,'|',I3.0,'|',I3.3)", {7, -7, 0, -7}), "  007| -007|   |***\n");
    EXPECT_EQ(rec("(I0.3,'|',I0.3,'|',I0.0,'|')", {5, -5, 0}), "005|-005| |\n");
}

TEST(FmtWriteFixed, RoundsTiesOfTheBinaryValueToEven) {
    EXPECT_EQ(edit_f(0.125, 5, 2), " 0.12");
    EXPECT_EQ(edit_f(0.375, 5, 2), " 0.38");
    EXPECT_EQ(edit_f(0.5, 3, 0), " 0.");
    EXPECT_EQ(edit_f(1.5, 3, 0), " 2.");
    EXPECT_EQ(edit_f(2.5, 3, 0), " 2.");
    EXPECT_EQ(edit_f(1125899906842624.25, 22, 2), "   1125899906842624.25");
    EXPECT_EQ(edit_f(9.9995, 6, 2), " 10.00");
    EXPECT_EQ(edit_f(123.4567, 8, 3), " 123.457");
}

TEST(FmtWriteFixed, LeadingZeroAndSign) {
    EXPECT_EQ(edit_f(0.5, 4, 3), ".500");  // zero dropped when one too narrow
    EXPECT_EQ(edit_f(-0.5, 5, 3), "-.500");
    EXPECT_EQ(edit_f(-0.5, 4, 3), "****");
    EXPECT_EQ(edit_f(-0.0001, 6, 3), "-0.000");  // rounds to zero, keeps the sign
    EXPECT_EQ(edit_f(-0.0, 6, 3), "-0.000");
    EXPECT_EQ(edit_f(0.0, 6, 3), " 0.000");
    EXPECT_EQ(edit_f(-0.04, 3, 1), "-.0");
    EXPECT_EQ(edit_f(0.04, 2, 1), ".0");
    EXPECT_EQ(edit_f(0.4, 2, 0), "0.");  // no decimals: the zero stays
    EXPECT_EQ(edit_f(-0.4, 5, 0), "  -0.");
    EXPECT_EQ(edit_f(0.4, 1, 0), "*");
    EXPECT_EQ(edit_f(-0.0, 2, 0), "**");
}

TEST(FmtWriteFixed, Overflow) {
    EXPECT_EQ(edit_f(99.96, 5, 1), "100.0");
    EXPECT_EQ(edit_f(99.96, 4, 1), "****");  // overflows only after rounding
    EXPECT_EQ(edit_f(-1.0, 5, 3), "*****");
    EXPECT_EQ(edit_f(1e17, 20, 3), "********************");
    EXPECT_EQ(edit_f(1e300, 12, 3), "************");
}

TEST(FmtWriteFixed, NanAndInfinityByWidth) {
    EXPECT_EQ(edit_f(kNaN, 12, 3), "         NaN");
    EXPECT_EQ(edit_f(-kNaN, 5, 1), "  NaN");
    EXPECT_EQ(edit_f(kNaN, 2, 1), "**");
    EXPECT_EQ(edit_f(kInf, 12, 3), "    Infinity");
    EXPECT_EQ(edit_f(kInf, 8, 1), "Infinity");
    EXPECT_EQ(edit_f(kInf, 4, 1), " Inf");
    EXPECT_EQ(edit_f(kInf, 2, 1), "**");
    EXPECT_EQ(edit_f(-kInf, 9, 1), "-Infinity");
    EXPECT_EQ(edit_f(-kInf, 8, 1), "    -Inf");
    EXPECT_EQ(edit_f(-kInf, 4, 1), "-Inf");
    EXPECT_EQ(edit_f(-kInf, 3, 1), "***");
    EXPECT_EQ(edit_e(-kInf, 9, 1), "-Infinity");
    EXPECT_EQ(edit_es(kInf, 9, 1), " Infinity");
}

TEST(FmtWriteExp, MantissaAndExponentForms) {
    EXPECT_EQ(edit_e(12345.0, 14, 4), "    0.1234E+05");  // tie to even
    EXPECT_EQ(edit_e(12345.0, 9, 4), ".1234E+05");
    EXPECT_EQ(edit_e(12345.0, 8, 4), "********");
    EXPECT_EQ(edit_e(-12345.0, 10, 4), "-.1234E+05");
    EXPECT_EQ(edit_e(0.0, 14, 4), "    0.0000E+00");
    EXPECT_EQ(edit_e(-0.0, 14, 4), "   -0.0000E+00");
    EXPECT_EQ(edit_e(9.99995, 14, 4), "    0.1000E+02");
    EXPECT_EQ(edit_e(0.05, 14, 1), "       0.5E-01");
    EXPECT_EQ(edit_e(-1e-100, 14, 4), "   -0.1000E-99");
    EXPECT_EQ(edit_e(9.99995e-100, 14, 4), "    0.1000E-98");
    EXPECT_EQ(edit_e(1e99, 12, 4), "  0.1000+100");  // three digits drop the E
    EXPECT_EQ(edit_e(1e-299, 14, 4), "    0.1000-298");
    EXPECT_EQ(edit_e(1e300, 14, 4), "    0.1000+301");
    EXPECT_EQ(edit_e(4.9406564584124654e-324, 14, 4), "    0.4941-323");
}

TEST(FmtWriteExp, ScientificAndExplicitExponentDigits) {
    EXPECT_EQ(edit_es(12345.0, 11, 3), "  1.234E+04");
    EXPECT_EQ(edit_es(-0.0, 11, 3), " -0.000E+00");
    EXPECT_EQ(edit_es(9.9995, 11, 3), "  9.999E+00");  // 9.99949999... in binary
    EXPECT_EQ(edit_es(1e-300, 11, 3), "  1.000-300");
    EXPECT_EQ(edit_es(1e5, 9, 3), "1.000E+05");
    EXPECT_EQ(edit_es(1e5, 8, 3), "********");  // no optional zero in ES
    EXPECT_EQ(edit_es(12345.0, 14, 0), "        1.E+04");
    EXPECT_EQ(edit_es(2.5, 10, 0), "    2.E+00");
    EXPECT_EQ(rec("(E14.4E3,'|',ES14.4E3,'|',E14.4E1,'|',E14.4E1,'|',ES12.4E4)",
                  {12345.0, 12345.0, 12345.0, 1e10, 1e-300}),
              "   0.1234E+005|   1.2345E+004|     0.1234E+5|**************|1.0000E-0300\n");
    EXPECT_EQ(rec("(E9.3E1,'|',E10.3E1)", {1e-3, -1e-3}), " 0.100E-2| -0.100E-2\n");
    EXPECT_EQ(rec("(ES12.2E0,'|',E12.2E0,'|',ES12.2E0,'|',ES12.2E0)", {1e100, 1e-20, 0.0, -1e9}),
              "   1.00E+100|    0.10E-19|     0.00E+0|    -1.00E+9\n");
}

TEST(FmtWriteText, TruncateOrPadLeft) {
    EXPECT_EQ(rec("(A3,'|',A6,'|',A,'|',A1,'|')", {"abcdef", "abc", "xy z ", "qrs"}),
              "abc|   abc|xy z |q|\n");
}

TEST(FmtWriteRecords, SlashesAndRepeatCounts) {
    EXPECT_EQ(rec("(/A)", {"x"}), "\nx\n");
    EXPECT_EQ(rec("(//A)", {"x"}), "\n\nx\n");
    EXPECT_EQ(rec("(A/)", {"x"}), "x\n\n");
    EXPECT_EQ(rec("(A,2/,A)", {"x", "y"}), "x\n\ny\n");
    EXPECT_EQ(rec("(/)", {}), "\n\n");
    EXPECT_EQ(rec("(I2,3I3,2(1X,A1))", {1, 2, 3, 4, "a", "b"}), " 1  2  3  4 a b\n");
    EXPECT_EQ(rec("( i 5 , 2 ( 1 x , f 8 . 3 ) )", {1, 2.0, 3.0}), "    1    2.000    3.000\n");
    EXPECT_EQ(rec("('it''s',1X,\"say \"\"hi\"\"\",A)", {"x"}), "it's say \"hi\"x\n");
}

TEST(FmtWriteRecords, BlanksOfXOnlyBeforeSomething) {
    EXPECT_EQ(rec("(I3,3X)", {1}), "  1\n");
    EXPECT_EQ(rec("(I3,3X,'|')", {1}), "  1   |\n");
    EXPECT_EQ(rec("(A,3X/,A)", {"x", "y"}), "x\ny\n");
    EXPECT_EQ(rec("(A,3X,A)", {"x", ""}), "x   \n");  // an empty item still places them
    EXPECT_EQ(rec("(2X)", {}), "\n");
    EXPECT_EQ(rec("(X,I2,x,i2)", {1, 2}), "  1  2\n");
}

TEST(FmtWriteRecords, StopsAtFirstDataDescriptorWithoutItem) {
    EXPECT_EQ(rec("(I3,' abc',I3,' def')", {1}), "  1 abc\n");
    EXPECT_EQ(rec("(I3,/,I3)", {1}), "  1\n\n");
    EXPECT_EQ(rec("(I3,/,/,'x',I3)", {1}), "  1\n\nx\n");
    EXPECT_EQ(rec("(I3,2(' g',I2))", {1}), "  1 g\n");
    EXPECT_EQ(rec("(I3,3X,'b',2X,I2)", {1}), "  1   b\n");
    EXPECT_EQ(rec("(I3)", {}), "\n");
    EXPECT_EQ(rec("('a',I3,'b')", {}), "a\n");
    EXPECT_EQ(rec("(E10.3,'|',3(I2:,','))", {1.0, 1, 2}), " 0.100E+01| 1, 2\n");
}

TEST(FmtWriteRecords, ReversionToLastTopLevelGroup) {
    EXPECT_EQ(rec("(I3,' h')", {1, 2, 3}), "  1 h\n  2 h\n  3 h\n");
    EXPECT_EQ(rec("(I3,2(I2,I2))", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
              "  1 2 3 4 5\n 6 7 8 9\n101112\n");
    EXPECT_EQ(rec("(I3,2(I2,I2),I4)", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
              "  1 2 3 4 5   6\n 7 8 910  11\n12\n");
    EXPECT_EQ(rec("(I3,2(I2,(I2,I3)),I4)",
                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}),
              "  1 2 3  4 5 6  7   8\n 910 111213 14  15\n1617 181920\n");
    EXPECT_EQ(rec("(I3,I2,/)", {1, 2, 3, 4, 5}), "  1 2\n\n  3 4\n\n  5\n");
    EXPECT_EQ(rec("(I3,(I2),I4)", {1, 2, 3, 4, 5}), "  1 2   3\n 4   5\n");
    EXPECT_EQ(rec("(I2,2(I3),2(I4))", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
              " 1  2  3   4   5\n   6   7\n   8   9\n  10\n");
    // Items used up exactly at the end of the format: no further record.
    EXPECT_EQ(rec("(I2,2(I3),2(I4))", {1, 2, 3, 4, 5, 6, 7, 8, 9}),
              " 1  2  3   4   5\n   6   7\n   8   9\n");
    // A repeated descriptor is not a group: reversion goes back to the start.
    EXPECT_EQ(rec("(I2,2I3)", {1, 2, 3, 4, 5}), " 1  2  3\n 4  5\n");
}

TEST(FmtWriteErrors, TypeMismatch) {
    EXPECT_THROW(rec("(I5)", {1.0}), FormatError);
    EXPECT_THROW(rec("(F8.3)", {1}), FormatError);
    EXPECT_THROW(rec("(E12.4)", {"x"}), FormatError);
    EXPECT_THROW(rec("(ES12.4)", {2}), FormatError);
    EXPECT_THROW(rec("(A)", {3}), FormatError);
    EXPECT_THROW(rec("(I3,' x')", {1, 2.0}), FormatError);  // second item, after reversion
}

TEST(FmtWriteErrors, MalformedFormat) {
    for (const char* text :
         {"I3", "(I3", "(I3))", "(I3,)", "(I3,,I4)", "(Q3)", "(I)", "(F8)", "(F8.)", "(F0.3)",
          "(E14.0)", "(I3.5)", "(0I3)", "((I3)", "(A0)", "(2'x')", "('abc)", "(3(I2,()))"}) {
        EXPECT_THROW(Format{text}, FormatError) << text;
    }
    EXPECT_NO_THROW(Format{"()"});
    // Items left over, but the part the format reverts to takes none.
    EXPECT_THROW(rec("(I3,2('x'))", {1, 2}), FormatError);
    EXPECT_THROW(rec("('x')", {1}), FormatError);
}

// Nested repeat counts of blanks, slashes, literals or colons would write
// for hours or fill the memory before an item is taken: refused when parsed.
TEST(FmtWriteErrors, RepeatCountsThatExpandWithoutBound) {
    for (const char* text :
         {"(1000000(1000000(1000000X)))", "(999999(999999(999999/)))", "(1000(1000('abc')))",
          "(999999(999999(999999(:))),I5)", "(1000(1000('')))", "(2(1000000(I1)))"}) {
        EXPECT_THROW(Format{text}, FormatError) << text;
    }
    // Widths and repeat counts that stay within one million still work.
    EXPECT_EQ(rec("(1000(A1,I1))", {",", 7}), ",7\n");
    EXPECT_EQ(rec("(1000X,A1)", {"x"}), std::string(1000, ' ') + "x\n");
    EXPECT_EQ(rec("(I14,201(A1,F11.3))", {1}), "             1\n");
}

TEST(FmtWriteListDirected, IntegersTextsAndSpacing) {
    EXPECT_EQ(list_directed({1}), "           1\n");
    EXPECT_EQ(list_directed({-1, 0, 2147483647, -2147483648LL}),
              "          -1           0  2147483647 -2147483648\n");
    EXPECT_EQ(list_directed({1LL, -9223372036854775807LL}),
              "           1 -9223372036854775807\n");  // I20 beyond the INTEGER range
    EXPECT_EQ(list_directed({"abc", "def"}), " abcdef\n");  // texts run together
    EXPECT_EQ(list_directed({"abc", 1, "def"}), " abc           1 def\n");
    EXPECT_EQ(list_directed({"", 1}), "            1\n");
    EXPECT_EQ(list_directed({""}), " \n");
    EXPECT_EQ(list_directed({}), "\n");
}

TEST(FmtWriteListDirected, RealsFixedOrExponentForm) {
    EXPECT_EQ(list_directed({1.0, "x", 2.0, 3}),
              "   1.0000000000000000      x   2.0000000000000000                3\n");
    EXPECT_EQ(list_directed({-1.0, 0.0, -0.0}),
              "  -1.0000000000000000        0.0000000000000000       -0.0000000000000000     \n");
    EXPECT_EQ(list_directed({0.1, 123.456}), "  0.10000000000000001        123.45600000000000     \n");
    EXPECT_EQ(list_directed({1e-2, 9.99e-2, 1e15, 1e16, 1e17}),
              "   1.0000000000000000E-002   9.9900000000000003E-002   1000000000000000.0     "
              "   10000000000000000.        1.0000000000000000E+017\n");
    EXPECT_EQ(list_directed({1e-300, -1e300, 1e99}),
              "   1.0000000000000000E-300  -1.0000000000000001E+300   9.9999999999999997E+098\n");
    EXPECT_EQ(list_directed({1125899906842624.25, 1125899906842624.75}),
              "   1125899906842624.2        1125899906842624.8     \n");
    EXPECT_EQ(list_directed({kNaN, kInf, -kInf}),
              "                       NaN                  Infinity                 -Infinity\n");
}

}  // namespace
}  // namespace vorn
