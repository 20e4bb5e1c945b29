// Cable network: geometry and strand data, contact resistances, loop
// surfaces, inductances, the system matrix, and the currents, powers and
// voltages of the network solution.
//
// Index ranges: band b 1..NB, section s 2..2NS-1, position p 1..NS (0..NS
// for the position coordinates), wire 1..NS, adjacent contact k 1..2NS,
// crossing contact k 1..NS-1 on band boundaries 1..NB+1.
#pragma once

#include <vector>

#include "network/band_kernel.hpp"
#include "network/band_pack.hpp"
#include "support/oarray.hpp"

namespace vorn {

// One inductive term of the banded system whose coupling to the other bands
// within NBMut is solved implicitly: row NRow holds the voltage of section
// i1 of band NB1 with sign NFac (recorded by `inductance`).
struct MutTerm {
    int NRow, NB1, i1, NFac;
    bool operator==(const MutTerm&) const = default;
};

// Directions the implicit solutions keep from one solution to the next
// while their operator P^-1 A is the same (the factors of band Serial and
// the coupling terms Mut): pairs u, c with P^-1 A u = c, the c orthonormal.
// A new right-hand side's residual loses its part in the span of the c
// before GMRES starts, and GMRES works in their orthogonal complement.
struct KrylovRecycle {
    long serial = -1;
    std::vector<MutTerm> mut;
    std::vector<std::vector<double>> U, C;
    void clear() {
        serial = -1;
        mut.clear();
        U.clear();
        C.clear();
    }
};

// Columns P0^-1 e_r of the factors of band Serial (P0), one per row r of
// the band whose coefficient has changed since those factors were made:
// the low-rank correction that makes older factors an exact preconditioner
// (band_update.cpp).  Slot[r-1] is the index of row r's column in W, -1
// while it has none.
struct BandUpdateCache {
    long serial = -1;
    std::vector<int> Slot;
    std::vector<std::vector<double>> W;
    void clear() {
        serial = -1;
        Slot.clear();
        W.clear();
    }
};

// Work of the implicit solutions of one process.
struct NetSolverStats {
    int NrFactor = 0;      // factorisations made
    int NrSolve = 0;       // implicit solutions made
    int NrNetwork = 0;     // network solutions made, by any method
    long NrKrylov = 0;     // GMRES iterations over all of them
    int NrKrylovLast = 0;  // GMRES iterations of the last solution
    long NrSubst = 0;      // substitutions with the factors over all of them
    int NrUpdate = 0;      // solutions preconditioned by older factors with the change corrected
    double ResNet = 0;     // its preconditioned residual, max norm (A)
    double TolNet = 0;     // and the tolerance it was to reach (A)
};

// An entry of the eliminated matrix that should be zero and is not: left of
// the diagonal (kind 0, its elimination was skipped) or beyond the last
// variable in the last rows (kind 1).  Reported at every solution made
// with the factorisation.
struct BandResidue {
    int kind, row, col;
    double value;
};

// Factorisation of the banded part of the network system (band_factor.cpp),
// made in place in the system matrix and kept there (in the case's
// workspace) while the matrix it came from is unchanged: same resistances,
// time step, unit coefficient and band width.  Meanwhile the assembly
// writes only the right-hand side (AsmMode).
struct BandFactor {
    // Of a band of at most kSparseCopyBytes (band_factor.cpp), the factors'
    // nonzeros again (sparse = 1): solutions then read only nonzeros.
    int sparse = 0;
    BandLU LU;
    // Implicit solution (PackFactors = 1): the factors packed in place at
    // the front of A's storage (compact = 1), the rest of A handed back to
    // the system; the right-hand side is then in Rhs.
    int compact = 0;
    PackedLU Packed;
    void drop_packed() {
        Packed.clear();
        compact = 0;
    }
    // Per row i (at i-1): the first band column of its multipliers and the
    // last nonzero band column right of its diagonal; the solution reads
    // only these stretches.
    std::vector<int> Lfirst, Ulast;
    // Implicit solution: where the factored band had nonzeros, by rows
    // (variable numbers), and while older factors serve (AsmMode 2) the
    // values the assembly put there: the operator's band part.
    std::vector<int> Ostart, Ovar;
    std::vector<double> Oval;
    // The values of the factored band at Ovar's places: Oval - Oval0 is
    // what the resistances have changed since.
    std::vector<double> Oval0;
    std::vector<BandResidue> Residues;
    RArr2 Rs, Ra, Rc;  // resistances it was made with, Ohm
    double dt = 0, One = 0;
    int NCa = 0, NEq = 0, inductive = 0;
    int valid = 0;  // 1: the values above describe the last factorisation
    int held = 0;   // 1: A, or the workspace it returns to, holds its factors
    // Implicit solution: GMRES iterations of the last solution made with
    // these factors while the resistances had changed since (a stale
    // preconditioner); -1 when they are current.
    int StaleKrylov = -1;
    // The resistances (Ohm) of the last matrix those older factors solved
    // to the tolerance: the same matrix again (an inner iteration that
    // changed only temperatures, or the step's confirming solution) keeps
    // them whatever StaleKrylov says, since its solution starts at the
    // last one.
    RArr2 StaleRs, StaleRa, StaleRc;
    // Number of the band these factors are of: a new number (from
    // FactorSerials) for each factorisation of a band other than the one
    // before.
    long Serial = 0;
};

struct NetworkState {
    // --- geometry (m) ---------------------------------------------------------
    RArr1 PosX, PosY;                    // section centres, s
    RArr1 PosXP, PosYP;                  // position centres, 0..NS (0 repeats NS)
    RArr1 PosRetLeadP_x, PosRetLeadP_y;  // return lead, 0..NS
    RArr1 Twice;                         // s: 2 at the edge sections, else 1
    RArr1 Length_s, Vol_s, l_div_a;      // s: m, m^3, 1/m

    // --- strand data: per wire, per (band, position), per (band, section) ----
    RArr1 CuSCw, RRRw, ICRATw, NPOWw;
    IArr1 Normw;
    RArr2 CuSCp, RRRp, ICRATp, NPOWp;
    IArr2 Normp;
    RArr2 CuSCs, RRRs, ICRATs, NPOWs;
    IArr2 Norms;
    RArr1 F_Ra_w, F_Rc_w;                 // wire factors on Ra and Rc
    RArr2 Cs_mat, Cs_SC, Vol_Cu, Vol_SC;  // b x s: m^2, m^2, m^3, m^3
    int AnyNormS = 0;

    // --- contacts and loops --------------------------------------------------------
    RArr2 Ra;  // 1..NB x 1..2NS, Ohm
    RArr2 Rc;  // 1..NB+1 x 1..NS-1, Ohm
    RArr1 SurfLoopX, SurfLoopY, SurfLoopZ;  // 1..NS-1, m^2

    // --- derived cable quantities (cable_derived_values) --------------------------
    double ThMid = 0;        // mid thickness (Th1 + Th2)/2, m
    double L_cable = 0;      // cable length TPStr NB/NS, m
    double Theta_tr = 0;     // transposition angle arctan(2 w/TPStr), rad
    double F_compact = 0;    // compaction factor, -
    double Vol_free = 0;     // free volume per metre of cable, m^3/m
    double Ra_min = 0, Ra_max = 0, Ra_aver = 0;  // over the whole Ra table, Ohm
    double Ra_inv_aver = 0;                      // mean of 1/Ra, 1/Ohm
    double Rc_min = 0, Rc_max = 0, Rc_aver = 0;  // over the whole Rc table, Ohm
    double Rc_inv_aver = 0;                      // mean of 1/Rc, 1/Ohm

    // --- inductances -----------------------------------------------------------------
    RArr3 RMut;  // s x -NBMut..NBMut x s, H

    // --- system -----------------------------------------------------------------------
    RArr2 A;      // NEq x NCa while one solution is made
    RArr2 A_store;      // the case's workspace for A, kept between solutions
    RArr2 A_ref_store;  // NEqB x NCa workspace of the infinitely long reference
    // 1: every solution gets a freshly allocated, zeroed matrix instead of
    // its workspace (the reference behaviour the workspaces are compared to).
    int FreshMatrix = 0;
    // 1: every solution eliminates its matrix afresh (the explicit scheme
    // with the right-hand side along): the reference the reused
    // factorisation is compared to.
    int FreshFactor = 0;
    // 1: the implicit solution may take the factors of an older matrix (only
    // the resistances changed) as its preconditioner; 0: always factors of
    // the present matrix.
    int StaleFactors = 1;
    // 1: older factors are corrected for the band's change since they were
    // made (band_update.hpp) while that change is small, and replaced at
    // once when it is not; 0: they serve uncorrected while GMRES needs few
    // iterations with them.
    int UpdateFactors = 1;
    // 1: the implicit solution packs its factors in place (band_pack.hpp);
    // 0: it keeps them as the explicit scheme does (the reference).
    int PackFactors = 1;
    long FactorSerials = 0;  // band numbers given out so far (never reset)
    // What the assembly of a finite cable writes: 0 the whole band and the
    // right-hand side (the factors in A are lost); 1 the right-hand side
    // only (A holds the factors of this very band); 2 the right-hand side,
    // and the band coefficients into A_LU's nonzeros of the operator (A
    // holds the factors of an older band).  AsmMiss: a coefficient of mode
    // 2 had no place among those nonzeros.
    int AsmMode = 0;
    int AsmMiss = 0;
    // 1: the band of the last assembly is the one of the last factors
    // (whatever AsmMode): the implicit solution may take its last result
    // when the right-hand side is the same too.
    int AsmSameBand = 0;
    RArr1 A_nca;  // 1..NEq, last right-hand side
    // 1..NEq: the finite system's right-hand side while A holds factors
    // (AsmMode 1 and 2, or packed factors); otherwise it is column NCa of A.
    RArr1 Rhs;
    RArr1 Xsol;   // 1..rows of A: the solution of the last network system
    RArr1 CSB1, CSB2;  // s, boundary section currents (A)
    RArr1 CWB1, CWB2;  // wire, end currents (A)

    // --- solution of the coupling to the other bands within NBMut -------------------
    // 0: implicit (banded factorisation as preconditioner of restarted GMRES
    // over the whole system); 1: explicit, from the previous iterate.
    int MutExplicit = 0;
    std::vector<MutTerm> MutRows;  // terms of the last assembly (implicit only)
    BandFactor A_LU;
    RArr1 X_last;  // 1..NEq, last solution: the next initial guess
    RArr1 X_prev;  // 1..NEq, last solution of the step before X_last's
    int X_last_NTS = -1, X_prev_NTS = -1;     // their time steps (-1: none)
    double X_last_t = 0.0, X_prev_t = 0.0;    // and times (s)
    RArr1 B_last;  // 1..NEq, its right-hand side
    KrylovRecycle Recycle;
    BandUpdateCache UpdateCache;
    NetSolverStats Stats;

    // --- currents (A), powers (W), voltages (V) -------------------------------------
    RArr2 Ca, Pa, CaInf, PaInf;  // 1..NB x 1..2NS
    RArr2 Cc, Pc, CcInf, PcInf;  // 1..NB+1 x 1..NS-1
    RArr2 Cs, Cs_prev, CsInf;    // b x s
    RArr2 Ps, Ps_prev, PsInf;    // b x s
    RArr2 CpInf, PpInf;          // b x p
    RArr2 VRs, VIs, VTs;         // b x s
    RArr2 VRp, VIp, VTp;         // b x p
    RArr2 VRw, VIw, VTw;         // b x wire
    RArr2 VRwZ, VIwZ, VTwZ;      // 0..NB x wire
};

}  // namespace vorn
