// Assembly of the network equations: Kirchhoff's current law at the nodes,
// the voltage law around the loops (resistive, inductive and field-induced
// voltages) and one current-sum equation per band that fixes the band's
// total current to the transport current CPC.
//
// N = NS; variables and rows as in band_system.hpp.  Resistances in Ohm,
// currents in A, EMF in V.  Within a row the resistive coefficients are
// stored first, then the inductive terms (only for NTS >= 1) are added.
#include <algorithm>
#include <initializer_list>
#include <optional>

#include "network/band_system.hpp"
#include "network/network.hpp"

namespace vorn {

namespace {

// Writes the equations of one band.  The same writer serves the banded
// matrix of a finite cable and the full single-band matrix of the infinitely
// long cable.  Variables are addressed by the band they occupy in the matrix
// (vp, vj, vn for bands j-1, j, j+1); coefficients by the band whose
// resistances and loop voltages they are (jc for band j, jn for band j+1).
// In the periodic single band all of them are the same band, and a term of
// band j-1 that meets its own twin of band j adds up to zero (the terms
// that cancel are thereby left out).
struct BandRows {
    Model& m;
    bool full;  // infinitely long cable: full storage
    int N;
    int jc, jn;      // coefficient bands of j and j+1
    int vp, vj, vn;  // matrix bands of the variables of j-1, j, j+1
    double one;      // node terms and the diagonal of rows pinned to zero
    double sum_one;  // current-sum row
    bool inductive;  // NTS >= 1: inductive terms
    InductiveTerms* terms;  // finite cable with inductive terms: their sums
    int row = 0;

    // --- storage -----------------------------------------------------------
    void begin(int g) { row = g; }
    void put(int var, double v) {
        if (full)
            full_coef(m, row, var) += v;
        else
            band_add(m, row, m.NBw + var - row, v);
    }
    struct Term {
        int var;
        double c;
    };
    void put(std::initializer_list<Term> terms) {
        for (const Term& t : terms) put(t.var, t.c);
    }
    void rhs(double v) {
        if (full)
            full_rhs(m, row) += v;
        else
            band_rhs(m, row) += v;
    }
    // Inductive voltage of section s of matrix band vb, with the sign of
    // the section's resistive term.
    void L(int vb, int s, int fac) {
        if (!inductive) return;
        if (full)
            inductance_infinite(m, row, s, fac);
        else
            terms->add(m, band_col_offset(m, row, vb), row, vb, s, fac);
    }

    // --- variables ---------------------------------------------------------
    int cc(int k) const { return var_cc(m, vj, k); }
    int ca(int k) const { return var_ca(m, vj, k); }
    int cs(int s) const { return var_cs(m, vj, s); }
    int ca_p(int k) const { return var_ca(m, vp, k); }
    int cs_p(int s) const { return var_cs(m, vp, s); }
    int cc_n(int k) const { return var_cc(m, vn, k); }
    int ca_n(int k) const { return var_ca(m, vn, k); }
    int cs_n(int s) const { return var_cs(m, vn, s); }

    // --- coefficients ------------------------------------------------------
    double Ra(int k) const { return m.Ra(jc, k); }
    double Rc(int k) const { return m.Rc(jc, k); }
    double Rs(int s) const { return m.Rs(jc, s); }
    double Ra_n(int k) const { return m.Ra(jn, k); }
    double Rc_n(int k) const { return m.Rc(jn, k); }
    double Rs_n(int s) const { return m.Rs(jn, s); }
    double emf(int k, int d) const { return m.EMF(jc, k, d); }

    // A variable pinned to a value: coefficient c on the diagonal.
    void pin(int var, double c, double value) {
        begin(var);
        put(var, c);
        rhs(value);
    }

    // Node equation at crossing contact k (row of Cc(j,k)).
    void node_row(int k) {
        const double u = one;
        begin(cc(k));
        put(cc(k), u);
        if (k == 1) {
            put({{ca(1), u}, {cs(2), u}, {ca(N + 1), u}});
            put({{ca_p(1), -u}, {cs(3), -u}});
        } else if (k == N - 1) {
            put({{cs(2 * N - 2), u}, {ca(2 * N - 1), u}});
            put({{ca(N), -u}, {ca_p(2 * N - 1), -u}, {cs_p(2 * N - 1), -u}});
        } else if (k % 2 == 0) {
            put({{cs(k + 1), u}, {ca(k + 2), u}});
            put({{ca_p(N + k - 1), -u}, {cs_p(N + k), -u}});
        } else {
            put({{cs(N + k - 1), u}, {ca(N + k), u}});
            put({{ca(k + 1), -u}, {cs(k + 2), -u}});
        }
    }

    // Loop equation named after adjacent contact k (row of Ca(j,k)).
    void loop_row(int k) {
        begin(ca(k));
        if (k == 1) {
            put({{ca(1), Ra(1)}, {ca(N + 1), -Ra(N + 1)}, {cs_n(3), -Rs_n(3)}});
            rhs(emf(1, 2));
            L(vn, 3, -1);
        } else if (k == 2) {
            put({{cs(2), Rs(2)}, {ca(2), -Ra(2)}, {cc(1), -Rc(1)}});
            rhs(emf(1, 1));
            L(vj, 2, 1);
        } else if (k == 2 * N - 1) {
            put({{ca(k), Ra(k)}, {cs(k), -Rs(k)}, {cc(N - 1), -Rc(N - 1)}});
            rhs(emf(N - 1, 1));
            L(vj, k, -1);
        } else if (k == 2 * N) {
            put({{cs(2 * N - 1), Rs(2 * N - 1)}, {cc_n(N - 1), Rc_n(N - 1)}, {ca(k), -Ra(k)}});
            rhs(emf(N - 1, 1));
            L(vj, 2 * N - 1, 1);
        } else if (k <= N && k % 2 == 1) {  // 3..N-1
            put({{cs(k), Rs(k)}, {cc(k - 2), Rc(k - 2)}});
            put({{ca(k), -Ra(k)}, {cc(k - 1), -Rc(k - 1)}});
            rhs(emf(k - 1, 1) - emf(k - 1, 3));
            L(vj, k, 1);
        } else if (k <= N) {  // even, 4..N
            put({{ca(k), Ra(k)}, {cc(k - 1), Rc(k - 1)}});
            put({{cs(k), -Rs(k)}, {cc(k - 2), -Rc(k - 2)}});
            rhs(emf(k - 2, 1) + emf(k - 2, 3));
            L(vj, k, -1);
        } else if (k % 2 == 1) {  // N+1..2N-3
            put({{ca(k), Ra(k)}, {cc_n(k - N + 1), Rc_n(k - N + 1)}});
            put({{cs(k), -Rs(k)}, {cc(k - N), -Rc(k - N)}});
            rhs(emf(k - N + 1, 1) + emf(k - N + 1, 3));
            L(vj, k, -1);
        } else {  // even, N+2..2N-2
            put({{cs(k), Rs(k)}, {cc_n(k - N), Rc_n(k - N)}});
            put({{ca(k), -Ra(k)}, {cc(k - N + 1), -Rc(k - N + 1)}});
            rhs(emf(k - N, 1) - emf(k - N, 3));
            L(vj, k, 1);
        }
    }

    // Node equation joining two sections and two adjacent contacts on each
    // side: +(Ca, Cs)(a1), (a2) of band `va`, -(Ca, Cs)(b1), (b2) of band `vb`.
    void quad_node(int va, int a1, int a2, int vb, int b1, int b2) {
        const double u = one;
        put({{var_ca(m, va, a1), u}, {var_cs(m, va, a1), u}});
        put({{var_ca(m, va, a2), u}, {var_cs(m, va, a2), u}});
        put({{var_ca(m, vb, b1), -u}, {var_cs(m, vb, b1), -u}});
        put({{var_ca(m, vb, b2), -u}, {var_cs(m, vb, b2), -u}});
    }

    // Row of section s (row of Cs(j,s)) of an interior band.
    void section_row(int s) {
        begin(cs(s));
        if (s == 2) {
            put({{ca(1), Ra(1)}, {cc_n(1), Rc_n(1)}, {cs(2), -Rs(2)}});
            rhs(emf(1, 1));
            L(vj, 2, -1);
        } else if (s == N + 1) {
            current_sum();
        } else if (s == 2 * N - 2) {
            put({{cs(s), Rs(s)}, {ca_n(N), Ra_n(N)}, {ca(2 * N - 1), -Ra(2 * N - 1)}});
            rhs(emf(N - 1, 2));
            L(vj, s, 1);
        } else if (s == 2 * N - 1) {
            const double u = one;
            put({{ca(2 * N - 2), u}, {cs(2 * N - 2), u}});
            put({{ca(2 * N - 1), u}, {ca(2 * N), u}, {cs(2 * N - 1), u}});
            put({{ca(N), -u}, {cs(N), -u}});
            put({{ca_p(2 * N - 1), -u}, {ca_p(2 * N), -u}, {cs_p(2 * N - 1), -u}});
        } else if (s <= N && s % 2 == 1) {  // 3..N-1
            put({{cs(s), Rs(s)}, {ca(N + s - 2), Ra(N + s - 2)}});
            put({{cs(N + s - 1), -Rs(N + s - 1)}, {ca(s + 1), -Ra(s + 1)}});
            rhs(emf(s - 1, 2));
            L(vj, s, 1);
            L(vj, N + s - 1, -1);
        } else if (s <= N) {  // even, 4..N
            quad_node(vj, s - 1, s, vp, N + s - 3, N + s - 2);
        } else if (s % 2 == 0) {  // N+2..2N-4
            put({{cs(s), Rs(s)}, {ca_n(s - N + 2), Ra_n(s - N + 2)}});
            put({{cs_n(s - N + 3), -Rs_n(s - N + 3)}, {ca(s + 1), -Ra(s + 1)}});
            rhs(emf(s - N + 1, 2));
            L(vj, s, 1);
            L(vn, s - N + 3, -1);
        } else {  // odd, N+3..2N-3
            quad_node(vj, s - 1, s, vj, s - N + 1, s - N + 2);
        }
    }

    // The band's total current: Ca(1), Ca(2), Ca(N+1..2N), Cs(2) and
    // Cs(N+1..2N-1) add up to the transport current.
    void current_sum() {
        const double u = sum_one;
        put({{ca(1), u}, {ca(2), u}});
        for (int k = N + 1; k <= 2 * N; ++k) put(ca(k), u);
        put(cs(2), u);
        for (int s = N + 1; s <= 2 * N - 1; ++s) put(cs(s), u);
        rhs(m.CPC);
    }

    // Last band: node rows in place of the loop rows of sections 3 and
    // odd 5..N-1 (the end currents are imposed on the other half).
    void last_band_node_row(int s) {
        begin(cs(s));
        if (s == 3) {
            const double u = one;
            put({{ca(1), u}, {ca(2), u}, {cs(2), u}, {ca(N + 1), u}, {cs(N + 1), u}});
            put({{ca_p(1), -u}, {ca_p(2), -u}, {cs_p(2), -u}});
            put({{ca(3), -u}, {cs(3), -u}});
        } else {
            quad_node(vj, N + s - 3, N + s - 2, vj, s - 1, s);
        }
    }

    void interior_band() {
        for (int k = 1; k <= N - 1; ++k) node_row(k);
        for (int k = 1; k <= 2 * N; ++k) loop_row(k);
        for (int s = 2; s <= 2 * N - 1; ++s) section_row(s);
    }
};

// Writer for band j of the finite cable (banded storage); terms is needed
// from the first time step on (NTS >= 1).
BandRows finite_band(Model& m, int j, InductiveTerms* terms = nullptr) {
    return BandRows{.m = m,
                    .full = false,
                    .N = m.NS,
                    .jc = j,
                    .jn = std::min(j + 1, m.NB),
                    .vp = std::max(j - 1, 1),
                    .vj = j,
                    .vn = std::min(j + 1, m.NB),
                    .one = m.One,
                    .sum_one = 1.0,
                    .inductive = m.NTS >= 1,
                    .terms = terms};
}

// The inductive sums of the sections of bands b_lo..b_hi, from the first
// time step on.
std::optional<InductiveTerms> inductive_terms(const Model& m, int b_lo, int b_hi) {
    if (m.NTS < 1) return std::nullopt;
    return std::optional<InductiveTerms>(std::in_place, m, b_lo, b_hi);
}

}  // namespace

// Clears the matrix, right-hand side included, and the recorded couplings
// to other bands, and pins band 1: no contact currents, the section currents
// imposed by CSB1.  With AsmMode 1 or 2 the band columns hold factors and
// only the right-hand side (and in mode 2 the kept operator) is cleared.
void fill_band_1(Model& m) {
    if (m.AsmMode == 0) {
        // Before A is filled, so that memory holds one band at a time: the
        // packed factors, and the directions GMRES kept for them when the
        // band will be another.
        m.A_LU.drop_packed();
        if (!band_factor_current(m)) m.Recycle.clear();
        m.A.fill(0.0);
        m.A_LU.held = 0;  // the factors that A held are overwritten
    } else {
        if (!m.Rhs.allocated() || m.Rhs.hi() != m.A.hi1()) m.Rhs.allocate(1, m.A.hi1(), 0.0);
        m.Rhs.fill(0.0);
        if (m.AsmMode == 2) {
            m.A_LU.Oval.assign(m.A_LU.Ovar.size(), 0.0);
            m.AsmMiss = 0;
        }
        // In mode 1 kept values stay those of the band, which is the same.
    }
    m.MutRows.clear();
    BandRows w = finite_band(m, 1);
    for (int k = 1; k <= m.NS - 1; ++k) w.pin(w.cc(k), m.One, 0.0);
    for (int k = 1; k <= 2 * m.NS; ++k) w.pin(w.ca(k), m.One, 0.0);
    for (int s = 2; s <= 2 * m.NS - 1; ++s) w.pin(w.cs(s), 1.0, m.CSB1(s));
}

// Interior bands 2..NB-1, in increasing order.
void fill_array(Model& m) {
    auto terms = inductive_terms(m, 2, m.NB);  // band j's rows reach band j+1
    for (int j = 2; j <= m.NB - 1; ++j) {
        BandRows w = finite_band(m, j, terms ? &*terms : nullptr);
        w.interior_band();
    }
}

// Band NB: the node rows of an interior band, the adjacent contacts of the
// two cable-end halves pinned to zero, the section currents there imposed by
// CSB2, and node rows in place of the loop rows they would have needed.
void fill_band_nb(Model& m) {
    const int N = m.NS;
    auto terms = inductive_terms(m, m.NB, m.NB);
    BandRows w = finite_band(m, m.NB, terms ? &*terms : nullptr);
    for (int k = 1; k <= N - 1; ++k) w.node_row(k);
    w.pin(w.ca(1), m.One, 0.0);
    w.pin(w.ca(2), m.One, 0.0);
    for (int k = 3; k <= N; ++k) w.loop_row(k);
    for (int k = N + 1; k <= 2 * N; ++k) w.pin(w.ca(k), m.One, 0.0);
    w.pin(w.cs(2), 1.0, m.CSB2(2));
    for (int s = 3; s <= N; ++s) {
        if (s % 2 == 0)
            w.section_row(s);
        else
            w.last_band_node_row(s);
    }
    for (int s = N + 1; s <= 2 * N - 1; ++s) w.pin(w.cs(s), 1.0, m.CSB2(s));
}

// The periodic single band of an infinitely long cable, with the
// resistances and loop voltages of `band`; every unit coefficient is One.
void fill_infinit_array(Model& m, int band) {
    m.A.fill(0.0);
    BandRows w{.m = m,
               .full = true,
               .N = m.NS,
               .jc = band,
               .jn = band,
               .vp = 1,
               .vj = 1,
               .vn = 1,
               .one = m.One,
               .sum_one = m.One,
               .inductive = m.NTS >= 1,
               .terms = nullptr};
    w.interior_band();
}

}  // namespace vorn
