// Solution of the network system against an independent dense solve, the
// solver's diagnostics, and the currents, powers and end currents taken
// from a solution.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "control/messages.hpp"
#include "network/network_fixture.hpp"
#include "support/stop.hpp"

namespace vorn {
namespace {

using namespace test;

// Max |x_band - x_dense| relative to max |x_dense|.
double compare_with_dense(Model& m, const Dense& d) {
    const std::vector<double> x = dense_solve(d);
    EXPECT_EQ(int(x.size()), d.n) << "dense system singular";
    if (int(x.size()) != d.n) return 1.0;
    double diff = 0, scale = 0;
    for (int g = 1; g <= d.n; ++g) {
        diff = std::max(diff, std::abs(solution(m, g) - x[std::size_t(g - 1)]));
        scale = std::max(scale, std::abs(x[std::size_t(g - 1)]));
    }
    return diff / scale;
}

TEST(NetworkSolve, BandedEliminationMatchesDenseSolve) {
    for (int NB = 2; NB <= 6; ++NB)
        for (int nts = 0; nts <= 1; ++nts) {
            Model m;
            make_small_cable(m, NB, 2, nts, 100u + unsigned(NB) * 7u + unsigned(nts));
            assemble_finite(m);
            int outside = -1;
            const Dense d = expand(m, &outside);
            EXPECT_EQ(outside, 0) << "band entries beyond the first or last variable";
            solve_array(m);
            EXPECT_LT(compare_with_dense(m, d), 1e-11) << "NB " << NB << " NTS " << nts;
            release_system_matrix(m);
        }
}

TEST(NetworkSolve, FullEliminationMatchesDenseSolve) {
    for (int nts = 0; nts <= 1; ++nts) {
        Model m;
        make_small_cable(m, 1, 1, nts, 5u + unsigned(nts));
        m.One = 0.75;
        create_system_matrix(m);
        EXPECT_EQ(m.A.hi1(), m.NEqB);
        EXPECT_EQ(m.A.hi2(), 5 * m.NS - 2);
        fill_infinit_array(m, 1);
        const Dense d = expand(m);
        solve_infinit_array(m);
        EXPECT_LT(compare_with_dense(m, d), 1e-11) << "NTS " << nts;
    }
}

// A tiny banded system: NEqB = 3, NB = 2 (6 variables), diagonal column 3,
// band columns 1..5, right-hand side in column 6.
struct Tiny {
    TempDir dir;
    Model m;
    Tiny() {
        m.NEqB = 3;
        m.NB = 2;
        m.NEq = 6;
        m.NBw = 3;
        m.NCa = 6;
        m.Opt_Cable = 2;
        m.msg_unit.open((dir.path() / "msg.dat").string(), OpenMode::Replace);
        create_system_matrix(m);
        for (int g = 1; g <= 6; ++g) {
            band_coef(m, g, g) = 2.0;
            band_rhs(m, g) = g;
        }
    }
    std::vector<std::string> messages() {
        m.msg_unit.close();
        return read_lines(dir.path() / "msg.dat");
    }
};

// The fresh elimination (right-hand side along, eliminated entries zeroed)
// and the kept factorisation: the same messages and the same bits.
TEST(NetworkSolve, NegligibleFactorsAndResiduesAtTheirLimits) {
    for (int fresh : {1, 0}) {
        Tiny t;
        Model& m = t.m;
        m.FreshFactor = fresh;
        band_coef(m, 1, 2) = 4.0;
        band_coef(m, 2, 1) = 2e-25;  // factor exactly 1e-25: skipped, the row keeps it
        band_coef(m, 2, 3) = 1e30;
        band_coef(m, 3, 2) = 4e-25;  // factor 2e-25: eliminated with row 2
        band_coef(m, 4, 4) = 2e30;
        band_coef(m, 5, 4) = 2e-15;  // factor 1e-45: skipped, left behind as a residue
        band_coef(m, 5, 5) = 1e30;
        band_coef(m, 6, 5) = 1e-15;  // skipped too, but exactly 1e-15 is no residue
        solve_array(m);
        if (fresh == 1) {
            EXPECT_EQ(m.A(2, 2), 2e-25);
            EXPECT_EQ(m.A(3, 2), 0.0);
            EXPECT_EQ(m.A(3, 3), 2.0 - 2e-25 * 1e30);
        }
        const std::vector<std::string> lines = t.messages();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0],
                  "LEFT: Ele      5,      2 in array (A) has value     0.000000 but should be zero");
        // back substitution over the band right of the diagonal only
        EXPECT_EQ(solution(m, 6), 3.0);
        EXPECT_EQ(solution(m, 3), (3.0 - 2e-25 * 2.0) / (2.0 - 2e-25 * 1e30));
        EXPECT_DOUBLE_EQ(solution(m, 2), (2.0 - 1e30 * solution(m, 3)) / 2.0);
        EXPECT_DOUBLE_EQ(solution(m, 1), (1.0 - 4.0 * solution(m, 2)) / 2.0);
    }
}

TEST(NetworkSolve, ReportsEntriesBeyondTheLastVariable) {
    for (int fresh : {1, 0}) {
        Tiny t;
        Model& m = t.m;
        m.FreshFactor = fresh;
        m.A(6, 4) = 0.5;    // row 6, variable 7
        m.A(5, 5) = -1.25;  // row 5, variable 7
        solve_array(m);
        const std::vector<std::string> lines = t.messages();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0],
                  "RIGHT: E   5,   5 in array (A) has value    -1.250000 but should be zero");
        EXPECT_EQ(lines[1],
                  "RIGHT: E   6,   4 in array (A) has value     0.500000 but should be zero");
        EXPECT_DOUBLE_EQ(solution(m, 6), 3.0);  // the entries take no part in the solution
    }
}

TEST(NetworkSolve, InfiniteCableStopsOnAResidueBelowTheDiagonal) {
    TempDir dir;
    Model m;
    m.msg_unit.open((dir.path() / "msg.dat").string(), OpenMode::Replace);
    std::ostringstream err;
    m.con_err = &err;
    m.Opt_Cable = 1;
    m.NEqB = 3;
    m.NCa = 4;
    create_system_matrix(m);
    for (int i = 1; i <= 3; ++i) m.A(i, i) = 1.0;
    m.A(1, 1) = 1e30;
    m.A(2, 1) = 0.5;  // factor 5e-31: skipped
    m.A(3, 1) = 0.25;
    EXPECT_THROW(solve_infinit_array(m), ProgramStop);
    m.msg_unit.close();
    const std::vector<std::string> lines = read_lines(dir.path() / "msg.dat");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Element    2,   1 in array (A) has value     0.500000 but should be zero");
    EXPECT_EQ(lines[1], "Element    3,   1 in array (A) has value     0.250000 but should be zero");
}

TEST(NetworkSolve, ZeroColumnsAreReported) {
    Tiny t;
    Model& m = t.m;
    check_zero_columns(m);  // columns 1, 2, 4, 5 of the band are empty
    m.A(6, 1) = 1e-15;      // not below 1e-15: column 1 counts as used
    m.A(6, 2) = 9e-16;
    check_zero_columns(m);
    const std::vector<std::string> lines = t.messages();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], " Column            1  contains only zeros");
    EXPECT_EQ(lines[3], " Column            5  contains only zeros");
    EXPECT_EQ(lines[4], " Column            2  contains only zeros");
}

// A store that holds a chosen solution vector.
void set_solution(Model& m, double (*x)(int)) {
    create_system_matrix(m);
    std::vector<double> v(static_cast<std::size_t>(m.NEq));
    for (int g = 1; g <= m.NEq; ++g) v[std::size_t(g - 1)] = x(g);
    keep_solution(m, v.data(), m.NEq);
}

TEST(NetworkSolve, CurrentsAndPowersFromTheSolution) {
    Model m;
    make_small_cable(m, 3, 2, 0, 9);
    const int N = m.NS;
    set_solution(m, [](int g) { return 0.25 * g; });
    m.CsAcc = 0.25;
    for (int j = 1; j <= 3; ++j)
        for (int s = 2; s <= 2 * N - 1; ++s) m.Cs(j, s) = 0.25 * var_cs(m, j, s);
    m.Cs(2, 5) += 0.25;   // changes by exactly CsAcc: not counted
    m.Cs(3, 9) -= 0.375;  // counted
    m.Cs(1, 2) += 1.0;    // counted
    for (int k = 1; k <= N - 1; ++k) m.Cc(4, k) = 7.0;
    currents_powers_calculation(m);
    EXPECT_EQ(m.NrCsCh, 2);
    // band 2: variables 38.. (NEqB = 37)
    EXPECT_EQ(m.Cc(2, 3), -0.25 * 40);
    EXPECT_DOUBLE_EQ(m.Pc(2, 3), m.Rc(2, 3) * 100.0);
    EXPECT_EQ(m.Ca(2, 1), 0.25 * (37 + 8));
    EXPECT_EQ(m.Cs(3, 15), 0.25 * (74 + 37));
    for (int k = 1; k <= N - 1; ++k) {
        EXPECT_EQ(m.Cc(4, k), 0.0);
        EXPECT_EQ(m.Pc(4, k), 0.0);
    }
    for (int j = 1; j <= 3; ++j)
        for (int s = 2; s <= 2 * N - 1; ++s) {
            EXPECT_EQ(m.VIs(j, s), 0.0);
            EXPECT_EQ(m.VTs(j, s), m.VRs(j, s));
        }
}

TEST(NetworkSolve, InductiveVoltagesCountTheBandDistanceFromTheSource) {
    Model m;
    make_small_cable(m, 3, 2, 1, 10);
    const int N = m.NS;
    m.RMut.fill(0.0);
    m.RMut(5, 1, 7) = 2e-3;  // section 5 of band j, source section 7 with j - jb = 1
    m.RMut(6, 0, 6) = 1e-3;
    set_solution(m, [](int g) { return 0.5 * g; });
    currents_powers_calculation(m);
    auto dcs = [&](int jb, int s) { return m.Cs(jb, s) - m.Cs_prev(jb, s); };
    EXPECT_EQ(m.VIs(1, 5), 0.0);
    EXPECT_DOUBLE_EQ(m.VIs(2, 5), dcs(1, 7) * 2e-3 / m.dt);
    EXPECT_DOUBLE_EQ(m.VIs(3, 5), dcs(2, 7) * 2e-3 / m.dt);
    for (int j = 1; j <= 3; ++j) {
        EXPECT_DOUBLE_EQ(m.VIs(j, 6), dcs(j, 6) * 1e-3 / m.dt);
        EXPECT_EQ(m.VIs(j, 2), 0.0);
        for (int s = 2; s <= 2 * N - 1; ++s) EXPECT_EQ(m.VTs(j, s), m.VRs(j, s) + m.VIs(j, s));
    }
}

TEST(NetworkSolve, UniformDistributionShortcut) {
    Model m;
    make_small_cable(m, 3, 2, 1, 11);
    m.CPC = 12.0;
    for (RArr2* a : {&m.Ca, &m.Cc, &m.Pc, &m.VIs}) a->fill(1.0);
    currents_powers_calculation_equal(m);
    EXPECT_EQ(m.Ca(2, 16), 0.0);
    EXPECT_EQ(m.Cc(4, 7), 0.0);
    EXPECT_EQ(m.Pc(1, 1), 0.0);
    for (int s = 2; s <= 15; ++s) {
        EXPECT_EQ(m.Cs(2, s), 1.5);
        EXPECT_EQ(m.VIs(2, s), 0.0);
        EXPECT_EQ(m.VTs(2, s), m.Rs(2, s) * 1.5);
    }
}

TEST(NetworkSolve, BoundaryCurrents) {
    Model m;
    make_small_cable(m, 3, 2, 0, 12);
    const int N = m.NS;
    m.cpc_fin.allocate(0, 2, 0.0);
    m.cpc_fin(1) = 0.01;
    m.cpc_fin(2) = -0.01;
    m.CPC = 100.0;
    for (int w = 1; w <= N; ++w) {
        m.CWB1perc(w) = 100.0 / N;
        m.CWB2perc(w) = w;
    }
    boundary_currents_definition(m);  // the table never exceeds 0.01 A
    for (int s = 2; s <= 2 * N - 1; ++s) {
        EXPECT_EQ(m.CSB1(s), 0.0);
        EXPECT_EQ(m.CSB2(s), 0.0);
    }
    EXPECT_EQ(m.CWB2(3), 0.0);

    m.cpc_fin(2) = -0.0101;
    m.CPC = 80.0;
    boundary_currents_definition(m);
    for (int s = 2; s <= 2 * N - 1; ++s) EXPECT_DOUBLE_EQ(m.CSB1(s), 10.0);
    EXPECT_DOUBLE_EQ(m.CWB2(3), 2.4);
    // band 3: position p holds wire p+2 (mod 8); sections 2, 3 are position
    // 1, section 4 position 7 (wire 1), section 9 position 8 (wire 2)
    EXPECT_DOUBLE_EQ(m.CSB2(2), 2.4);
    EXPECT_DOUBLE_EQ(m.CSB2(3), 2.4);
    EXPECT_DOUBLE_EQ(m.CSB2(4), 0.8);
    EXPECT_DOUBLE_EQ(m.CSB2(9), 1.6);
    EXPECT_DOUBLE_EQ(m.CSB2(14), 4.8);  // position 4: wire 6
}

}  // namespace
}  // namespace vorn
