// The implicit solution of the finite cable's network (coupling to the other
// bands within NBMut as unknowns) against an independent dense solve of the
// same equations, the reuse of its factorisation, Kirchhoff's laws in the
// solution, and the explicit scheme: its fixed point is the same solution,
// and its error propagation grows beyond 1 at short time steps.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "control/driver.hpp"
#include "field/field.hpp"
#include "network/network_fixture.hpp"
#include "small_cable.hpp"

namespace vorn::test {
namespace {

// A finite cable of 8 strands of 0.825 mm with the example's contacts and
// strands at the minimum resistivity, real inductances (NBMut bands), and
// random loop voltages, boundary currents and previous-step currents.
void physical_cable(Model& m, int NB, int NBMut, double dt, unsigned seed) {
    set_example_parameters(m);
    m.NS = 8;
    m.NB = NB;
    m.NB2_M = NB;
    m.w = m.NS * 0.825e-3 / 2;
    m.NBMut = NBMut;
    m.NrSteps_inp = 1;  // so that RMut is computed
    set_derived_counts(m);
    uniform_strand_inputs(m);
    set_up_case(m);
    rs_definition(m);

    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    for (int j = 1; j <= NB; ++j) {
        for (int s = 2; s <= m.NS_2m1; ++s) {
            m.Cs_prev(j, s) = 50.0 * uni(gen);
            m.Cs(j, s) = 0.0;
        }
        for (int k = 1; k <= m.NS - 1; ++k)
            for (int d = 1; d <= 3; ++d) m.EMF(j, k, d) = 1e-4 * uni(gen);
    }
    m.CPC = 400.0;
    for (int s = 2; s <= m.NS_2m1; ++s) {
        m.CSB1(s) = 50.0 + 5.0 * uni(gen);
        m.CSB2(s) = 50.0 + 5.0 * uni(gen);
    }
    m.NTS = 1;
    m.NrItRs = 1;
    m.dt = dt;
    m.NBw = 7 * m.NS - 1;
    m.NCa = 16 * m.NS - 6;
}

// Dense copy of the implicit system: the band columns plus the coupling to
// the other bands, written here from RMut for every voltage row that the
// assembly recorded (an independent statement of the same terms).
Dense implicit_dense(const Model& m) {
    Dense d = expand(m);
    for (const MutTerm& t : m.MutRows)
        for (int b2 = std::max(1, t.NB1 - m.NBMut); b2 <= std::min(m.NB, t.NB1 + m.NBMut); ++b2)
            if (b2 != t.NB1)
                for (int s = 2; s <= m.NS_2m1; ++s)
                    d.at(t.NRow, var_cs(m, b2, s)) += t.NFac * m.RMut(t.i1, b2 - t.NB1, s) / m.dt;
    return d;
}

// Assembles as the driver does (only the right-hand side while the kept
// factors are those of the band), solves implicitly and returns the
// solution; `dense` gets the dense system of a full assembly of a copy.
std::vector<double> solve_implicit(Model& m, Dense* dense = nullptr) {
    if (dense) {
        // A full assembly in a workspace of its own: the kept one holds the
        // factors (and GMRES's directions go with them).
        RArr2 kept_store = std::move(m.A_store);
        BandFactor kept = std::move(m.A_LU);
        KrylovRecycle kept_directions = std::move(m.Recycle);
        m.A_store = RArr2{};
        m.A_LU = BandFactor{};
        assemble_finite(m);
        *dense = implicit_dense(m);
        release_system_matrix(m);
        m.A_store = std::move(kept_store);
        m.A_LU = std::move(kept);
        m.Recycle = std::move(kept_directions);
    }
    create_system_matrix(m);
    assemble_finite_system(m);
    solve_array_implicit(m);
    std::vector<double> x(std::size_t(m.NEq));
    for (int g = 1; g <= m.NEq; ++g) x[std::size_t(g - 1)] = solution(m, g);
    release_system_matrix(m);
    return x;
}

double max_diff(const std::vector<double>& a, const std::vector<double>& b) {
    double worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

// From 1 µs (inductances dominate, the explicit scheme diverges) to 1 s:
// the solution is the dense one, the residual is below its tolerance, and
// each band's current sum and every node equation hold.
TEST(ImplicitSolve, MatchesDenseSolveAndKirchhoff) {
    for (double dt : {1e-6, 1e-3, 1.0}) {
        Model m;
        physical_cable(m, 9, 3, dt, 7u);
        Dense d;
        const std::vector<double> x = solve_implicit(m, &d);
        const std::vector<double> ref = dense_solve(d);
        ASSERT_EQ(ref.size(), x.size());
        EXPECT_LT(max_diff(x, ref), 1e-3 * m.CsAcc) << "dt " << dt;
        EXPECT_LE(m.Stats.ResNet, 1e-3 * m.CsAcc) << "dt " << dt;
        EXPECT_FALSE(m.MutRows.empty());

        // Node equations: rows 1..N-1 of the bands 2..NB, in units of A.
        const int N = m.NS;
        for (int j = 2; j <= m.NB; ++j)
            for (int k = 1; k <= N - 1; ++k) {
                const int row = var_cc(m, j, k);
                double r = -d.b[std::size_t(row - 1)];
                for (int v = 1; v <= d.n; ++v) r += d.at(row, v) * x[std::size_t(v - 1)];
                EXPECT_NEAR(r, 0.0, 1e-9) << "dt " << dt << " band " << j << " node " << k;
            }
        // Every interior band carries CPC through its cross-section.
        auto X = [&](int var) { return x[std::size_t(var - 1)]; };
        for (int j = 2; j <= m.NB - 1; ++j) {
            double sum = X(var_ca(m, j, 1)) + X(var_ca(m, j, 2)) + X(var_cs(m, j, 2));
            for (int k = N + 1; k <= 2 * N; ++k) sum += X(var_ca(m, j, k));
            for (int s = N + 1; s <= 2 * N - 1; ++s) sum += X(var_cs(m, j, s));
            EXPECT_NEAR(sum, m.CPC, 1e-12 * m.CPC) << "dt " << dt << " band " << j;
        }
    }
}

// The factorisation is made once while the banded part stays the same.
// After a resistance changes, the older factors stay the preconditioner
// (the operator is the new matrix, so the solution is the new one); the
// reference mode and a new time step make new factors.
TEST(ImplicitSolve, FactorisationReusedOnlyWhileMatrixUnchanged) {
    Model m;
    physical_cable(m, 6, 2, 1e-4, 3u);
    const std::vector<double> x1 = solve_implicit(m);
    EXPECT_EQ(m.Stats.NrFactor, 1);
    const std::vector<double> x2 = solve_implicit(m);
    EXPECT_EQ(m.Stats.NrFactor, 1);
    EXPECT_EQ(m.Stats.NrKrylovLast, 0) << "the last solution is the initial guess";
    EXPECT_LT(max_diff(x1, x2), 1e-3 * m.CsAcc);

    m.Rs(3, 5) *= 1e6;
    Dense d;
    std::vector<double> x = solve_implicit(m, &d);
    EXPECT_EQ(m.Stats.NrFactor, 1) << "stale factors as preconditioner";
    EXPECT_LT(max_diff(x, dense_solve(d)), 1e-3 * m.CsAcc);

    m.Rs(2, 4) *= 1e3;
    m.FreshFactor = 1;
    x = solve_implicit(m, &d);
    EXPECT_EQ(m.Stats.NrFactor, 2);
    EXPECT_LT(max_diff(x, dense_solve(d)), 1e-3 * m.CsAcc);
    m.FreshFactor = 0;

    m.dt *= 0.5;
    x = solve_implicit(m, &d);
    EXPECT_EQ(m.Stats.NrFactor, 3);
    EXPECT_LT(max_diff(x, dense_solve(d)), 1e-3 * m.CsAcc);
}

// A stale preconditioner that needs many iterations is replaced:
// resistances changed by up to eight orders of magnitude everywhere still give
// the new solution with the old factors, but the next solution makes new
// ones.
TEST(ImplicitSolve, StaleFactorsReplacedWhenTheIterationsClimb) {
    Model m;
    physical_cable(m, 6, 2, 1e-4, 5u);
    m.UpdateFactors = 0;  // the older factors uncorrected
    solve_implicit(m);
    ASSERT_EQ(m.Stats.NrFactor, 1);
    std::mt19937_64 gen(9u);
    std::uniform_real_distribution<double> uni(0.0, 8.0);
    for (int j = 1; j <= m.NB; ++j)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(j, s) = 1e-12 * std::pow(10.0, uni(gen));
    Dense d;
    const std::vector<double> x = solve_implicit(m, &d);
    EXPECT_LT(max_diff(x, dense_solve(d)), 1e-3 * m.CsAcc);
    EXPECT_EQ(m.Stats.NrFactor, 1);
    EXPECT_GT(m.A_LU.StaleKrylov, 12);
    m.Rs(2, 3) *= 2.0;
    solve_implicit(m, &d);
    EXPECT_EQ(m.Stats.NrFactor, 2);
    EXPECT_EQ(m.A_LU.StaleKrylov, -1);
}

// Older factors corrected for a few changed resistances (a quench front)
// precondition as the band's own factors do: the same solution, as few
// GMRES iterations as with new factors, fewer than uncorrected, and no
// factorisation.
TEST(ImplicitSolve, CorrectedOlderFactorsSolveLikeOwnFactors) {
    // The same cable solved once, then 20 resistances raised tenfold to 1e5.
    auto quenching = [](Model& m) {
        physical_cable(m, 6, 2, 1e-2, 5u);
        solve_implicit(m);
        ASSERT_EQ(m.Stats.NrFactor, 1);
        for (int j = 2; j <= 5; ++j)
            for (int s = 3; s <= 7; ++s) m.Rs(j, s) *= std::pow(10.0, 1 + (j + s) % 5);
    };
    Model m, own, plain;
    quenching(m);
    quenching(own);
    quenching(plain);
    own.StaleFactors = 0;
    plain.UpdateFactors = 0;
    const std::vector<double> x_own = solve_implicit(own);
    solve_implicit(plain);
    Dense d;
    const std::vector<double> x = solve_implicit(m, &d);
    EXPECT_EQ(m.Stats.NrFactor, 1);
    EXPECT_EQ(m.Stats.NrUpdate, 1);
    EXPECT_EQ(own.Stats.NrFactor, 2);
    EXPECT_LT(max_diff(x, dense_solve(d)), 1e-3 * m.CsAcc);
    EXPECT_LT(max_diff(x, x_own), 1e-3 * m.CsAcc);
    EXPECT_LE(m.Stats.NrKrylovLast, own.Stats.NrKrylovLast + 1);
    EXPECT_GT(plain.Stats.NrKrylovLast, m.Stats.NrKrylovLast + 3);

    // A change in every section is beyond a correction: the older factors
    // serve uncorrected.
    for (int j = 1; j <= m.NB; ++j)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Rs(j, s) *= 1.0 + 0.01 * s;
    const std::vector<double> x2 = solve_implicit(m, &d);
    EXPECT_LT(max_diff(x2, dense_solve(d)), 1e-3 * m.CsAcc);
    EXPECT_EQ(m.Stats.NrUpdate, 1);
    EXPECT_EQ(m.A_LU.StaleKrylov, m.Stats.NrKrylovLast);
}

// A resistance iteration of the coupled step that cannot end its time step
// (the first one with temperatures, or one whose resistances have just
// moved) is solved to a hundredth of CsAcc only.  The next iteration, on the
// same band and right-hand side, does not take that result as it stands but
// goes on from it to the full tolerance.  The section-by-section scheme and
// an iteration that may end the step get the full tolerance.
TEST(ImplicitSolve, InterimIterationsToAHundredthThenTheFullTolerance) {
    auto cable = [](Model& m) {
        physical_cable(m, 6, 2, 1e-6, 11u);
        m.Opt_Temp = 1;
        m.Opt_RsCalc = 2;
        m.CoupledStep = 1;
    };
    Model m;
    cable(m);
    Dense d;
    const std::vector<double> first = solve_implicit(m, &d);
    EXPECT_LE(m.Stats.ResNet, 1e-2 * m.CsAcc);
    EXPECT_NEAR(m.Stats.TolNet, 1e-2 * m.CsAcc, 1e-12 * m.CsAcc);
    ASSERT_GT(m.Stats.ResNet, 1e-3 * m.CsAcc) << "the case must leave an interim residual";
    EXPECT_GT(max_diff(first, dense_solve(d)), 1e-4 * m.CsAcc);

    m.NrItRs = 2;
    const std::vector<double> second = solve_implicit(m);
    EXPECT_GT(m.Stats.NrKrylovLast, 0) << "the interim result taken as final";
    EXPECT_LE(m.Stats.ResNet, 1e-3 * m.CsAcc);
    EXPECT_LT(max_diff(second, dense_solve(d)), 1e-3 * m.CsAcc);
    const std::vector<double> third = solve_implicit(m);
    EXPECT_EQ(m.Stats.NrKrylovLast, 0) << "a full-tolerance result stands";
    EXPECT_EQ(max_diff(second, third), 0.0);

    // A later iteration whose resistances moved by more than RhoAcc, with
    // resistive sections: interim; without the move: full.
    for (int moved : {1, 0}) {
        Model l;
        cable(l);
        l.NrItRs = 3;
        l.NrSecRes = 2;
        l.NrRsCh = moved;
        solve_implicit(l);
        EXPECT_NEAR(l.Stats.TolNet, (moved ? 1e-2 : 1e-3) * l.CsAcc, 1e-12 * l.CsAcc);
    }
    // Constant resistivity (the first iteration may end the step), and the
    // section-by-section scheme: full.
    for (int coupled : {1, 0}) {
        Model c;
        cable(c);
        c.Opt_RsCalc = coupled ? 1 : 2;
        c.CoupledStep = coupled;
        solve_implicit(c);
        EXPECT_LE(c.Stats.ResNet, 1e-3 * c.CsAcc);
        EXPECT_NEAR(c.Stats.TolNet, 1e-3 * c.CsAcc, 1e-12 * c.CsAcc);
    }
}

// Error propagation of the explicit scheme, by power iteration: below 1 at
// long time steps, above 1 when the inductances dominate.  Where it is below
// 1, iterating the explicit scheme (full weight) reaches the implicit
// solution.
TEST(ImplicitSolve, ExplicitSchemeConvergesOnlyAtLongSteps) {
    for (double dt : {1e-6, 1.0}) {
        Model m;
        physical_cable(m, 9, 3, dt, 11u);
        assemble_finite(m);
        const double rho = explicit_spectral_radius(m, 100);
        release_system_matrix(m);
        if (dt < 1e-3) {
            EXPECT_GT(rho, 1.0);
            continue;
        }
        EXPECT_LT(rho, 0.5);

        const std::vector<double> x = solve_implicit(m);
        m.MutExplicit = 1;
        m.NrItRs = 100;  // the coupling at full weight
        for (int it = 0; it < 60; ++it) {
            assemble_finite(m);
            solve_array(m);
            currents_powers_calculation(m);
            release_system_matrix(m);
        }
        double worst = 0;
        for (int j = 1; j <= m.NB; ++j)
            for (int s = 2; s <= m.NS_2m1; ++s)
                worst = std::max(worst, std::abs(m.Cs(j, s) - x[std::size_t(var_cs(m, j, s) - 1)]));
        EXPECT_LT(worst, 1e-3 * m.CsAcc);
    }
}

}  // namespace
}  // namespace vorn::test

namespace vorn::test {
namespace {

void set_previous_currents(Model& m, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    for (int j = 1; j <= m.NB; ++j)
        for (int s = 2; s <= m.NS_2m1; ++s) m.Cs_prev(j, s) = 50.0 * uni(gen);
}

// GMRES keeps the directions of each solution for the next ones with the
// same factors: a right-hand side halfway between two solved ones (the
// system is linear in the previous-step currents) is answered from them,
// and the directions go with the band they were made for.
TEST(ImplicitSolve, KeptDirectionsAnswerRightHandSidesOfTheirBand) {
    Model m;
    physical_cable(m, 6, 2, 1e-4, 3u);
    RArr2 A_prev = m.Cs_prev;
    solve_implicit(m);
    set_previous_currents(m, 17u);
    RArr2 B_prev = m.Cs_prev;
    solve_implicit(m);
    EXPECT_GT(m.Stats.NrKrylovLast, 0);
    ASSERT_FALSE(m.Recycle.C.empty());
    EXPECT_EQ(m.Recycle.serial, m.A_LU.Serial);
    for (int j = 1; j <= m.NB; ++j)
        for (int s = 2; s <= m.NS_2m1; ++s)
            m.Cs_prev(j, s) = 0.5 * (A_prev(j, s) + B_prev(j, s));
    Dense d;
    const std::vector<double> x = solve_implicit(m, &d);
    EXPECT_LE(m.Stats.NrKrylovLast, 1);
    EXPECT_LT(max_diff(x, dense_solve(d)), 1e-3 * m.CsAcc);
    // Their pairs satisfy P^-1 A u = c with orthonormal c.
    for (std::size_t a = 0; a < m.Recycle.C.size(); ++a)
        for (std::size_t b = 0; b <= a; ++b) {
            double dot = 0.0;
            for (std::size_t i = 0; i < m.Recycle.C[a].size(); ++i)
                dot += m.Recycle.C[a][i] * m.Recycle.C[b][i];
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-9) << a << " " << b;
        }

    // The reference mode factorises the same band again: same number, the
    // directions stay.  A new time step is another band: a new number, and
    // the directions kept are those of its own solution only.
    const long serial = m.A_LU.Serial;
    const std::size_t kept = m.Recycle.C.size();
    m.FreshFactor = 1;
    solve_implicit(m);
    m.FreshFactor = 0;
    EXPECT_EQ(m.A_LU.Serial, serial);
    EXPECT_GE(m.Recycle.C.size(), kept);
    m.dt *= 0.5;
    const long its_before = m.Stats.NrKrylov;
    const std::vector<double> y = solve_implicit(m, &d);
    EXPECT_LT(max_diff(y, dense_solve(d)), 1e-3 * m.CsAcc);
    EXPECT_GT(m.A_LU.Serial, serial);
    EXPECT_EQ(m.Recycle.serial, m.A_LU.Serial);
    EXPECT_LE(long(m.Recycle.C.size()), m.Stats.NrKrylov - its_before);
}

// Factors packed in place (the default) and kept as the explicit scheme
// keeps them give the same solution to the tolerance, the dense solve's.
TEST(ImplicitSolve, PackedAndUnpackedFactorsAgree) {
    std::vector<double> xs[2];
    double tol = 0.0;
    for (int pack : {1, 0}) {
        Model m;
        physical_cable(m, 6, 2, 1e-4, 5u);
        tol = 1e-3 * m.CsAcc;
        m.PackFactors = pack;
        Dense d;
        xs[pack] = solve_implicit(m, &d);
        EXPECT_EQ(m.A_LU.compact, pack);
        EXPECT_LT(max_diff(xs[pack], dense_solve(d)), 1e-3 * m.CsAcc) << "pack " << pack;
    }
    EXPECT_LT(max_diff(xs[0], xs[1]), tol);
}

// While A holds factors the right-hand side is kept beside it: the packed
// factorisation keeps the assembled one, and an assembly of the same state
// that writes only the right-hand side writes the same numbers there.
TEST(ImplicitSolve, RightHandSideBesideTheFactors) {
    Model m;
    physical_cable(m, 5, 2, 1e-3, 7u);
    create_system_matrix(m);
    assemble_finite_system(m);
    ASSERT_EQ(m.AsmMode, 0);
    std::vector<double> b(std::size_t(m.NEq));
    for (int i = 1; i <= m.NEq; ++i) b[std::size_t(i - 1)] = m.A(i, m.NCa);
    band_factorise(m, true);
    ASSERT_EQ(m.A_LU.compact, 1);
    for (int i = 1; i <= m.NEq; ++i) EXPECT_EQ(finite_rhs(m, i), b[std::size_t(i - 1)]) << i;
    release_system_matrix(m);
    m.AsmMode = 0;
    create_system_matrix(m);
    assemble_finite_system(m);
    ASSERT_EQ(m.AsmMode, 1);
    for (int i = 1; i <= m.NEq; ++i) EXPECT_EQ(finite_rhs(m, i), b[std::size_t(i - 1)]) << i;
    release_system_matrix(m);
}

// The inductive section voltages, formed for all bands side by side, are
// the sums over the bands within NBMut in increasing band, then section,
// bit for bit (bands at both ends of the cable included).
TEST(ImplicitSolve, InductiveVoltagesAreTheSumsInTheirOrder) {
    for (int NBMut : {1, 2}) {
        Model m;
        physical_cable(m, 5, NBMut, 1e-3, 13u);
        solve_implicit(m);
        currents_powers_calculation(m);
        for (int j = 1; j <= m.NB; ++j)
            for (int s1 = 2; s1 <= m.NS_2m1; ++s1) {
                double sum = 0.0;
                for (int jb = std::max(1, j - NBMut); jb <= std::min(m.NB, j + NBMut); ++jb)
                    for (int s = 2; s <= m.NS_2m1; ++s)
                        sum += (m.Cs(jb, s) - m.Cs_prev(jb, s)) * m.RMut(s1, j - jb, s);
                EXPECT_EQ(m.VIs(j, s1), sum / m.dt) << j << " " << s1;
                EXPECT_EQ(m.VTs(j, s1), m.VRs(j, s1) + m.VIs(j, s1));
            }
    }
}

}  // namespace
}  // namespace vorn::test
