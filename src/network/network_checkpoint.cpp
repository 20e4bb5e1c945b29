// The network's state between time steps, to and from a checkpoint.
//
// Besides the solution, a resumed run needs what the next solutions reuse:
// the kept factors (and the values of them held in the workspace of the
// system matrix), the nonzeros of the operator kept with older factors,
// GMRES's kept directions and initial guesses.  Without them the resumed
// run would solve from other starting points and agree with the
// uninterrupted one only to the solver's tolerance.
#include <algorithm>
#include <cstring>

#include "network/band_pack.hpp"
#include "network/network.hpp"

namespace vorn {

std::vector<RArr2*> network_results(Model& m) {
    return {&m.Ca,    &m.Pa,    &m.CaInf,   &m.PaInf, &m.Cc,   &m.Pc,      &m.CcInf,
            &m.PcInf, &m.Cs,    &m.Cs_prev, &m.CsInf, &m.Ps,   &m.Ps_prev, &m.PsInf,
            &m.CpInf, &m.PpInf, &m.VRs,     &m.VIs,   &m.VTs,  &m.VRp,     &m.VIp,
            &m.VTp,   &m.VRw,   &m.VIw,     &m.VTw,   &m.VRwZ, &m.VIwZ,    &m.VTwZ};
}

std::vector<RArr1*> network_vectors(Model& m) {
    // X_last and B_last: the implicit solution's initial guess and the
    // right-hand side it answered.
    return {&m.A_nca, &m.CSB1, &m.CSB2, &m.CWB1, &m.CWB2, &m.X_last, &m.X_prev, &m.B_last};
}

void state_io(StateArchive& ar, BandLU::Block& b) {
    ar(b.first, b.rows, b.Lstart, b.Ustart, b.Ldist, b.Udist, b.Lval, b.Uval, b.Udiag);
}

void state_io(StateArchive& ar, BandLU& f) { ar(f.Nt, f.blocks); }

void state_io(StateArchive& ar, PackedLU& p) {
    ar(p.Nt, p.W, p.Lstart, p.LRstart, p.Lruns, p.Ustart, p.URstart, p.Uruns);
    bool has = bool(p.Uval);
    ar(has);
    const std::size_t n = ar.count(p.upper_values(), sizeof(double));
    if (ar.loading()) {
        p.Uval.reset();
        if (!has) return;
        if (n != p.upper_values()) throw ArchiveError("packed factors of another size");
        p.Uval = packed_values(n);
    }
    if (has) ar.raw(p.Uval.get(), n * sizeof(double));
}

void state_io(StateArchive& ar, BandFactor& f) {
    ar(f.sparse, f.LU, f.compact, f.Packed, f.Lfirst, f.Ulast, f.Ostart, f.Ovar, f.Oval,
       f.Oval0, f.Residues);
    ar(f.Rs, f.Ra, f.Rc, f.dt, f.One, f.NCa, f.NEq, f.inductive, f.valid, f.held, f.StaleKrylov);
    ar(f.StaleRs, f.StaleRa, f.StaleRc, f.Serial);
}

void state_io(StateArchive& ar, KrylovRecycle& r) { ar(r.serial, r.mut, r.U, r.C); }

void state_io(StateArchive& ar, BandUpdateCache& c) { ar(c.serial, c.Slot, c.W); }

namespace {

// The workspace of the system matrix between solutions.  Only the values
// the kept factors read are saved: all of it while it holds the factors in
// place, the packed multipliers at its front while it holds those, and
// nothing otherwise (the next assembly clears it).  The rest comes back as
// zeros.
void workspace_io(StateArchive& ar, Model& m) {
    RArr2& w = m.A_store;
    bool on = w.allocated();
    int rows = w.hi1(), cols = w.hi2();
    std::size_t keep = 0;
    if (on && m.A_LU.held == 1) keep = m.A_LU.compact == 1 ? m.A_LU.Packed.lower_values() : w.size();
    ar(on, rows, cols);
    keep = ar.count(keep, sizeof(double));
    if (ar.loading()) {
        w.deallocate();
        if (!on) return;
        // The workspace is of this cable's system: NEq (or NEqB) rows and
        // at most 16 NS - 2 columns.
        const bool shape = (rows == m.NEq || rows == m.NEqB) && cols >= 1 && cols <= 16 * m.NS;
        if (!shape || keep > std::size_t(rows) * std::size_t(cols))
            throw ArchiveError("a workspace of another size");
        w.allocate(1, rows, 1, cols, 0.0);
    }
    ar.raw(w.data(), keep * sizeof(double));
}

}  // namespace

void network_state_io(StateArchive& ar, Model& m) {
    for (RArr2* a : network_results(m)) ar(*a);
    for (RArr1* a : network_vectors(m)) ar(*a);
    ar(m.X_last_NTS, m.X_prev_NTS, m.X_last_t, m.X_prev_t);
    ar(m.Rhs, m.Xsol, m.MutRows, m.FactorSerials, m.AsmMode, m.AsmMiss, m.AsmSameBand);
    ar(m.A_LU);
    workspace_io(ar, m);
    ar(m.Recycle, m.UpdateCache, m.Stats);
}

}  // namespace vorn
