// Cable network model: geometry and index maps, contact resistances,
// inductances, assembly and solution of the network equations, the
// infinitely-long-ramp reference and the voltages.
#pragma once

#include <vector>

#include "control/model.hpp"
#include "support/state_archive.hpp"

namespace vorn {

// --- geometry and index maps -------------------------------------------------
void position_calculation(Model& m);
void strand_specific_data(Model& m);
// Wire at position p of band j (both 1-based).
inline int wire_at(int p, int j, int NS) { return ((p + j - 2) % NS + NS) % NS + 1; }
// Position that owns section s (2..2NS-1), NS even.
int position_of_section(int s, int NS);
// One band's row per position (1..NS) to its row per section (2..2NS-1).
void convert_pos_to_sec(int NS, double* sec_row, const double* pos_row);
void convert_pos_to_sec_int(int NS, int* sec_row, const int* pos_row);
// One band's row per section to per position: mode 1 sum, mode 2
// length-weighted mean; other modes leave the row unchanged.
void convert_sec_to_pos(int NS, const double* sec_row, double* pos_row, int mode);
// Per (band, position) to per (band, wire), all bands 1..NB.
void convert_pos_to_wire(int NB, int NS, RArr2& wire_arr, const RArr2& pos_arr);

// --- contact resistances and loop surfaces --------------------------------------
void ra_definition(Model& m);
void rc_definition(Model& m);
void surf_loop_definition(Model& m);
// Derived cable quantities for the reports: mid thickness, cable length,
// transposition angle, compaction factor, free volume and the statistics of
// the Ra and Rc tables.  Called once the contact resistances exist.
void cable_derived_values(Model& m);

// --- inductances ---------------------------------------------------------------------
// Self inductance (H) of a round wire of radius a and length l (m), l2 = l*l.
double self(double a, double l, double l2);
// Mutual inductance (H) of two parallel filaments along z: filament 1 ends at
// z1, filament 2 starts at z2 (g = z2 - z1 < 0 when they overlap).
double parmut(double x1, double y1, double z1, double x2, double y2, double z2, double l1,
              double l2);
void mutual_ind_array_calculation(Model& m);
void inductance(Model& m, int NColOff, int NRow, int NB1, int i1, int NFac);
// The inductive terms of one assembly of the finite cable, for the rows of
// sections of bands b_lo..b_hi: add() writes what inductance() writes, but
// the sums over the own and the other bands are formed once per section (a
// section's sums serve every row it appears in), for all bands side by
// side, and the own-band coefficients RMut/dt once.  Each sum takes its
// terms in inductance()'s order, so the matrix is the same to the bit.
// RMut, Cs, Cs_prev, dt, NBMut and MutExplicit must not change while the
// object is used.
class InductiveTerms {
public:
    InductiveTerms(const Model& m, int b_lo, int b_hi);
    void add(Model& m, int NColOff, int NRow, int NB1, int i1, int NFac);

private:
    RArr2 own_dt_;       // i1 x s: RMut(i1, 0, s) / dt, H/s
    RArr2 own_, other_;  // i1 x b: sums of RMut times the currents, V s
};
void inductance_infinite(Model& m, int NRow, int i1, int NFac);

// --- assembly and solution --------------------------------------------------------------
// Takes up the system matrix A for one solution from its workspace, and
// hands it back: the case's (NEq x NCa, NEqB x NCa for an infinitely long
// cable) or, with reference, the NEqB x NCa one of the infinitely long
// reference.  A taken-up workspace keeps its old values: the fill that
// starts every assembly zeroes it.
void create_system_matrix(Model& m, bool reference = false);
void release_system_matrix(Model& m, bool reference = false);
void fill_band_1(Model& m);
void fill_array(Model& m);
void fill_band_nb(Model& m);
void fill_infinit_array(Model& m, int band);
// The system matrix has NCa columns and at least `rows` rows from 1.
void require_system_shape(const Model& m, int rows);
// Explicit coupling: the factorisation of the last elimination (A_LU) for a
// new right-hand side while the matrix is the same, else a new one.
void solve_array(Model& m);
// The same by a fresh elimination with the right-hand side along.
void solve_array_fresh(Model& m);
// A_LU was made from the present matrix (resistances, dt, One, NCa, NEq and
// inductive terms the same), and the same but for the resistances; and its
// factors may precondition an implicit solution of the present matrix.
bool band_factor_current(const Model& m);
bool band_factor_same_shape(const Model& m);
bool stale_factor_usable(const Model& m);
// Assembly of the finite cable's system in the mode (AsmMode) the kept
// factors allow; the whole band.
void assemble_finite_system(Model& m);
void assemble_full_band(Model& m);
// Factorises the assembled band in place (A then holds the factors; A_LU
// what goes with them, for the implicit solution the band's pattern too).
// pack: the factors packed in place (band_pack.hpp), which only the
// implicit solution's substitutions read.
void band_factorise(Model& m, bool pack = false);
// x = P^-1 b with the factors in A (0-based, NEq long).  band_factor_solve
// makes the operations of a fresh elimination in their
// order; band_factor_solve_fast sums the products in partial sums (the
// implicit solution, whose result is good to its tolerance either way).
void band_factor_solve(const Model& m, const double* b, double* x);
void band_factor_solve_fast(const Model& m, const double* b, double* x);
// The same system with the coupling to the other bands within NBMut as
// unknowns (recorded in MutRows by the assembly): restarted GMRES, the
// factorisation of the banded part as preconditioner, reused while that
// part is unchanged.  Leaves Xsol(g) = variable g like solve_array.
void solve_array_implicit(Model& m);
// Spectral radius of the error propagation e <- -P^-1 N e of the explicit
// scheme (N the coupling to the other bands), by power iteration on the
// assembled implicit system.
double explicit_spectral_radius(Model& m, int iterations);
void solve_infinit_array(Model& m);
void check_zero_columns(Model& m);
void currents_powers_calculation(Model& m);
void currents_powers_calculation_equal(Model& m);
void boundary_currents_definition(Model& m);

// --- infinitely long ramp and voltages ----------------------------------------------------
void iscc_inf_calculation(Model& m);
void voltage_calculation(Model& m);

// The network's part of the time-dependent state, as the quench-energy
// iterations restore it: the currents, powers and voltages of the solution,
// and its right-hand side, boundary currents and initial guesses.
std::vector<RArr2*> network_results(Model& m);
std::vector<RArr1*> network_vectors(Model& m);
// That state with everything the next solution reuses (the factors, the
// workspace that holds them, GMRES's kept directions, the counts), to or
// from a checkpoint: a resumed run then solves as the uninterrupted one.
void network_state_io(StateArchive& ar, Model& m);

}  // namespace vorn
