// Edit-descriptor writer against gfortran itself: a generated Fortran
// program writes thousands of values with the same formats, and every
// record must match ours byte for byte.  Reals reach the program as the
// 16 hex digits of their bit pattern, so no value changes on the way.
#include "support/fmtwrite.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#ifndef VORN_GFORTRAN
#define VORN_GFORTRAN ""
#endif

namespace vorn {
namespace {

namespace fs = std::filesystem;

// Formats applied to every real, one WRITE each with 20 items, so that
// each also reverts to its start.
const char* const kRealFormats[] = {
    R"((F6.3,"|",F8.3,"|",F10.3,"|",F11.4,"|",F12.3,"|",F12.5,"|",F12.6,"|",F13.6,"|",F14.7))",
    R"((F14.9,"|",F7.3,"|",F4.1,"|",F3.0,"|",F5.0,"|",F4.3))",
    R"((E14.4,"|",E12.4,"|",ES11.3,"|",E10.3E3,"|",ES9.2,"|",E9.2,"|",ES12.4E1,"|",E6.1))",
};
const char* const kIntFormat = R"((I3,"|",I5,"|",I7,"|",I10,"|",I14,"|",I5.3,"|",I0,"|",I1))";
const char* const kTextFormat = R"((A10,"|",A1,"|",A,"|",A3))";
// Tables with format reversion; each takes an I, then 7 pairs of A1 and a real.
const char* const kTableFormats[] = {
    R"((I4,3(A1,F12.5)))",
    R"((I4,2X,A1,F12.6,A1,F12.4,2(A1,F12.5),1X))",
    R"((I4,2(A1,ES11.3),"#"))",
    R"((I4,1(A1,F7.3),2(A1,E12.4)))",
};
// Reversion to the start of a format without groups; 7 reals.
const char* const kPlainFormat = R"((F10.3,E12.4,F8.2))";
const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123";

std::vector<double> real_values() {
    std::vector<double> v;
    const auto both = [&](double x) {
        v.push_back(x);
        v.push_back(-x);
    };
    const double inf = std::numeric_limits<double>::infinity();
    both(0.0);
    both(1.0);
    both(inf);
    v.push_back(std::numeric_limits<double>::quiet_NaN());
    both(std::numeric_limits<double>::denorm_min());
    both(std::numeric_limits<double>::min());
    both(std::numeric_limits<double>::max());
    // Ties of the exact binary value: odd/2^p has p decimals ending in 5,
    // so it sits halfway at the (p-1)th decimal of F fields.
    for (int p = 1; p <= 12; ++p) {
        for (int k = 1; k < 40; k += 2) {
            both(std::ldexp(k, -p));
            both(123.0 + std::ldexp(k, -p));
        }
    }
    // Integers ending in 5 at the rounding digit of E14.4, ES11.3 and ES9.2.
    std::mt19937_64 rng(20240611);
    for (int j = 0; j < 7; ++j) {
        for (int k = 0; k < 12; ++k) {
            both((static_cast<double>(rng() % 9000 + 1000) * 10 + 5) * std::pow(10.0, j));
            both((static_cast<double>(rng() % 900 + 100) * 10 + 5) * std::pow(10.0, j));
        }
    }
    // Just below, at and just above powers of ten.
    for (int j = -12; j <= 16; ++j) {
        const double p = std::pow(10.0, j);
        for (double eps : {5e-4, 4e-5, 5e-5, 6e-5, 5e-6, 5e-7, 5e-8, 5e-10}) both(p * (1 - eps));
        both(std::nextafter(p, 0.0));
        both(p);
        both(std::nextafter(p, inf));
    }
    for (double x : {9.9995, 0.99995, 999.9996, 99.9995, 9.99995, 0.099995, 9999.9995, 99999.995,
                     0.0005, 0.00049999, 1e99, 9.99995e99, 9.99995e-100, 1e-99, 1e100}) {
        both(x);
    }
    // Random values over many decades, and random bit patterns over the whole range.
    std::uniform_real_distribution<double> mant(1.0, 10.0), dec(-40.0, 40.0);
    for (int k = 0; k < 2000; ++k) {
        const double x = mant(rng) * std::pow(10.0, std::floor(dec(rng)));
        v.push_back(rng() % 2 ? x : -x);
    }
    while (v.size() < 4200) {
        const double x = std::bit_cast<double>(rng());
        if (std::isfinite(x)) v.push_back(x);
    }
    return v;
}

std::vector<int> int_values() {
    std::vector<int> v{0, 2147483647, -2147483647 - 1};
    for (long long p = 1; p <= 1000000000; p *= 10) {
        for (long long x : {p - 1, p, p + 1}) {
            v.push_back(static_cast<int>(x));
            v.push_back(static_cast<int>(-x));
        }
    }
    std::mt19937 rng(7);
    for (int k = 0; k < 300; ++k) {
        const int x = static_cast<int>(rng() >> (rng() % 31));
        v.push_back(k % 2 ? x : -x);
    }
    return v;
}

// The Fortran side: the same WRITEs, in the same order as expected_output().
std::string fortran_program() {
    std::ostringstream f;
    f << "program fmtcheck\n  implicit none\n"
         "  integer :: n, i, j, k, len\n  integer(8) :: bits\n"
         "  real(8), allocatable :: x(:)\n  integer, allocatable :: m(:)\n"
         "  character(len=30) :: abc = '"
      << kAlphabet
      << "'\n"
         "  open(10, file='reals.txt', status='old')\n  read(10,*) n\n  allocate(x(n))\n"
         "  do i = 1, n\n    read(10,'(Z16)') bits\n    x(i) = transfer(bits, x(i))\n  end do\n"
         "  do i = 1, n\n";
    for (const char* fmt : kRealFormats) f << "    write(*,'" << fmt << "') (x(i), k=1,20)\n";
    f << "    write(*,*) x(i)\n  end do\n";
    f << "  do i = 1, n - 7, 7\n";
    for (const char* fmt : kTableFormats) {
        f << "    write(*,'" << fmt << "') i, (',', x(j), j=i,i+6)\n";
    }
    f << "    write(*,'" << kPlainFormat << "') (x(j), j=i,i+6)\n";
    f << "  end do\n"
         "  open(11, file='ints.txt', status='old')\n  read(11,*) n\n  allocate(m(n))\n"
         "  read(11,*) m\n"
         "  do i = 1, n\n"
         "    write(*,'"
      << kIntFormat
      << "') (m(i), k=1,8)\n"
         "    write(*,*) m(i), 'ab', x(i), 'c', 'd', m(i)\n"
         "  end do\n"
         "  do len = 0, 14\n"
         "    write(*,'"
      << kTextFormat
      << "') (abc(1:len), k=1,4)\n"
         "    write(*,*) abc(1:len), len, abc(1:len), abc(1:len)\n"
         "  end do\nend program\n";
    return f.str();
}

std::string expected_output(const std::vector<double>& x, const std::vector<int>& m) {
    std::string out;
    std::vector<FItem> row;
    for (double v : x) {
        for (const char* fmt : kRealFormats) {
            row.assign(20, FItem(v));
            out += format_records(fmt, row);
        }
        out += list_directed({v});
    }
    for (std::size_t i = 0; i + 7 < x.size(); i += 7) {
        row.assign(1, FItem(static_cast<int>(i + 1)));
        for (std::size_t j = i; j < i + 7; ++j) {
            row.emplace_back(",");
            row.emplace_back(x[j]);
        }
        for (const char* fmt : kTableFormats) out += format_records(fmt, row);
        row.assign(x.begin() + static_cast<std::ptrdiff_t>(i),
                   x.begin() + static_cast<std::ptrdiff_t>(i + 7));
        out += format_records(kPlainFormat, row);
    }
    for (std::size_t i = 0; i < m.size(); ++i) {
        row.assign(8, FItem(m[i]));
        out += format_records(kIntFormat, row);
        out += list_directed({m[i], "ab", x[i], "c", "d", m[i]});
    }
    for (int len = 0; len <= 14; ++len) {
        const std::string_view s(kAlphabet, static_cast<std::size_t>(len));
        out += format_records(kTextFormat, {s, s, s, s});
        out += list_directed({s, len, s, s});
    }
    return out;
}

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FmtWriteGfortran, EveryRecordMatches) {
    const std::string fc = VORN_GFORTRAN;
    if (fc.empty() || ::access(fc.c_str(), X_OK) != 0) GTEST_SKIP() << "no gfortran: '" << fc << "'";
    const fs::path dir = fs::temp_directory_path() / ("vorn_fmtwrite_" + std::to_string(::getpid()));
    fs::create_directories(dir);

    const std::vector<double> x = real_values();
    const std::vector<int> m = int_values();
    ASSERT_GE(x.size(), m.size());
    {
        std::ofstream(dir / "fmtcheck.f90") << fortran_program();
        std::ofstream f(dir / "reals.txt");
        f << x.size() << '\n';
        char hex[24];
        for (double v : x) {
            std::snprintf(hex, sizeof hex, "%016llX",
                          static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v)));
            f << hex << '\n';
        }
        std::ofstream g(dir / "ints.txt");
        g << m.size() << '\n';
        for (int k : m) g << k << '\n';
    }
    const std::string cmd = "cd '" + dir.string() + "' && '" + fc +
                            "' -ffree-line-length-none fmtcheck.f90 -o fmtcheck > log.txt 2>&1"
                            " && ./fmtcheck > out.txt 2>> log.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(dir / "log.txt");

    std::istringstream theirs(read_file(dir / "out.txt")), ours(expected_output(x, m));
    fs::remove_all(dir);
    std::string a, b;
    int record = 0, differing = 0;
    while (std::getline(ours, a)) {
        ++record;
        ASSERT_TRUE(std::getline(theirs, b)) << "gfortran wrote only " << record - 1 << " records";
        if (a != b && ++differing <= 20) {
            ADD_FAILURE() << "record " << record << "\n  gfortran: [" << b << "]\n  ours:     [" << a
                          << "]";
        }
    }
    EXPECT_FALSE(std::getline(theirs, b)) << "gfortran wrote more than our " << record << " records";
    EXPECT_EQ(differing, 0) << "of " << record << " records";
}

}  // namespace
}  // namespace vorn
