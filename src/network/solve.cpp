// Solution of the network system (Gaussian elimination without pivoting,
// banded for a finite cable, full for the single band of an infinitely long
// cable), the currents, voltages and powers taken from it, the uniform
// shortcut, and the section currents imposed at the two cable ends.
//
// Currents in A, voltages in V, powers in W, inductances in H, dt in s.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "control/messages.hpp"
#include "network/band_kernel.hpp"
#include "network/band_system.hpp"
#include "network/network.hpp"
#include "support/simd_dot.hpp"
#include "support/stop.hpp"

namespace vorn {

namespace {

// Entries that should have been eliminated are reported above this.
constexpr double kResidue = 1e-15;

// One record of a formatted WRITE, without its line end.
std::string record(std::string_view spec, std::initializer_list<FItem> items) {
    std::string line = format_records(spec, items);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

std::string list_record(std::initializer_list<FItem> items) {
    std::string line = list_directed(items);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

}  // namespace

// Infinitely long cable: full NEqB x NEqB matrix, right-hand side in
// column NCa.  A sub-diagonal entry that survives the elimination stops the
// program once all of them are reported.
void solve_infinit_array(Model& m) {
    const int N1 = m.NEqB, NCa = m.NCa;
    require_system_shape(m, N1);
    RArr2& A = m.A;
    for (int p = 1; p <= N1 - 1; ++p)
        for (int i = p + 1; i <= N1; ++i) {
            const double f = A(i, p) / A(p, p);
            if (!(std::abs(f) > kNegligibleFactor)) continue;
            A(i, p) = 0.0;
            for (int c = p + 1; c <= NCa; ++c) A(i, c) -= f * A(p, c);
        }

    std::vector<std::string> bad;
    for (int i = 2; i <= N1; ++i)
        for (int c = 1; c <= i - 1; ++c)
            if (std::abs(A(i, c)) > kResidue)
                bad.push_back(record("(A8,I4,A1,I4,A24,F12.6,A19)",
                                     {"Element ", i, ",", c, " in array (A) has value ", A(i, c),
                                      " but should be zero"}));
    if (!bad.empty()) {
        for (std::size_t k = 0; k + 1 < bad.size(); ++k) msg(m, bad[k]);
        stop_with_message(m, bad.back());
    }

    for (int i = N1; i >= 1; --i) {
        double sum = 0.0;
        for (int c = i + 1; c <= NCa - 1; ++c) sum += A(i, c) * A(c, 1);
        A(i, 1) = (A(i, NCa) - sum) / A(i, i);
    }
    std::vector<double> x(static_cast<std::size_t>(N1));
    for (int i = 1; i <= N1; ++i) x[std::size_t(i - 1)] = A(i, 1);
    keep_solution(m, x.data(), N1);
}

// Diagnostic: every column of the matrix (right-hand side included) whose
// entries are all below 1e-15 in magnitude.
void check_zero_columns(Model& m) {
    const int rows = m.A.hi1();
    for (int c = 1; c <= m.NCa; ++c) {
        bool zero = true;
        for (int i = 1; i <= rows && zero; ++i) zero = std::abs(m.A(i, c)) < kResidue;
        if (zero) msg(m, list_record({"Column ", c, " contains only zeros"}));
    }
}

namespace {

// Inductive voltage of section s1 of band j from the current changes of
// the sections within NBMut bands; the band distance is j - jb.  Each
// sum takes its terms in increasing jb, then section; the sums of all
// bands are formed side by side (the changes held section by section,
// bands innermost), which vectorises.
VORN_CLONES void inductive_voltages(Model& m) {
    const int N = m.NS, NB = m.NB;
    const int ns = 2 * N - 2;
    RArr2 diff(0, ns - 1, 1, NB);
    for (int jb = 1; jb <= NB; ++jb)
        for (int n = 0; n < ns; ++n) diff(n, jb) = m.Cs(jb, n + 2) - m.Cs_prev(jb, n + 2);
    std::vector<double> sum(static_cast<std::size_t>(NB) + 1);
    for (int s1 = 2; s1 <= 2 * N - 1; ++s1) {
        std::fill(sum.begin(), sum.end(), 0.0);
        for (int d = std::min(m.NBMut, NB - 1); d >= -std::min(m.NBMut, NB - 1); --d) {
            const int lo = std::max(1, 1 + d), hi = std::min(NB, NB + d);  // j, with jb = j - d
            for (int n = 0; n < ns; ++n) {
                const double r = m.RMut(s1, d, n + 2);
                const double* dv = &diff(n, lo - d);
                double* out = &sum[std::size_t(lo)];
                for (int k = 0; k <= hi - lo; ++k) out[k] += dv[k] * r;
            }
        }
        for (int j = 1; j <= NB; ++j) {
            m.VIs(j, s1) = sum[std::size_t(j)] / m.dt;
            m.VTs(j, s1) = m.VRs(j, s1) + m.VIs(j, s1);
        }
    }
}

}  // namespace

// Contact and section currents from the solution, their powers and the
// section voltages.  Cc is stored with the opposite sign of its variable.
void currents_powers_calculation(Model& m) {
    const int N = m.NS, NB = m.NB;
    m.NrCsCh = 0;
    for (int j = 1; j <= NB; ++j) {
        for (int k = 1; k <= 2 * N; ++k) {
            m.Ca(j, k) = solution(m, var_ca(m, j, k));
            m.Pa(j, k) = m.Ra(j, k) * m.Ca(j, k) * m.Ca(j, k);
        }
        for (int k = 1; k <= N - 1; ++k) {
            m.Cc(j, k) = -solution(m, var_cc(m, j, k));
            m.Pc(j, k) = m.Rc(j, k) * m.Cc(j, k) * m.Cc(j, k);
        }
        for (int s = 2; s <= 2 * N - 1; ++s) {
            const double cs = solution(m, var_cs(m, j, s));
            if (std::abs(cs - m.Cs(j, s)) > m.CsAcc) ++m.NrCsCh;
            m.Cs(j, s) = cs;
            m.VRs(j, s) = m.Rs(j, s) * cs;
            m.Ps(j, s) = m.Rs(j, s) * cs * cs;
        }
    }
    for (int k = 1; k <= N - 1; ++k) {
        m.Cc(NB + 1, k) = 0.0;
        m.Pc(NB + 1, k) = 0.0;
    }
    m.VIs.fill(0.0);
    if (m.NTS == 0) {
        m.VTs = m.VRs;
        return;
    }

    inductive_voltages(m);
}

// Uniform distribution without a solution: every section carries CPC/NS,
// no contact currents.
void currents_powers_calculation_equal(Model& m) {
    for (RArr2* a : {&m.Ca, &m.Pa, &m.Cc, &m.Pc}) a->fill(0.0);
    const double cs = m.CPC / m.NS;
    for (int j = 1; j <= m.NB; ++j)
        for (int s = 2; s <= 2 * m.NS - 1; ++s) {
            m.Cs(j, s) = cs;
            m.Ps(j, s) = m.Rs(j, s) * cs * cs;
            m.VRs(j, s) = m.Rs(j, s) * cs;
        }
    m.NrCsCh = 0;
    m.VIs.fill(0.0);
    m.VTs = m.VRs;
}

// End currents of a finite cable: per wire from the input percentages of
// the present CPC; per section of band 1 and band NB from the wire at each
// position (both sections of a position carry the strand's full current).
// Zero when the time table never carries more than 0.01 A.
void boundary_currents_definition(Model& m) {
    const int NS = m.NS;
    bool carries = false;
    for (int k = m.cpc_fin.lo(); k <= m.cpc_fin.hi(); ++k)
        if (std::abs(m.cpc_fin(k)) > 0.01) carries = true;
    if (!carries) {
        for (RArr1* a : {&m.CWB1, &m.CWB2, &m.CSB1, &m.CSB2}) a->fill(0.0);
        return;
    }
    for (int w = 1; w <= NS; ++w) {
        m.CWB1(w) = m.CWB1perc(w) / 100.0 * m.CPC;
        m.CWB2(w) = m.CWB2perc(w) / 100.0 * m.CPC;
    }
    std::vector<double> entry(NS), exit(NS);
    for (int p = 1; p <= NS; ++p) {
        entry[p - 1] = m.CWB1(p);  // band 1: wire p at position p
        exit[p - 1] = m.CWB2(wire_at(p, m.NB, NS));
    }
    convert_pos_to_sec(NS, m.CSB1.data(), entry.data());
    convert_pos_to_sec(NS, m.CSB2.data(), exit.data());
}

}  // namespace vorn
