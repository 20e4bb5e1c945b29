"""An independent 1-D finite-volume solution of the heat equation of one
strand carrying a constant current, with current sharing between the
superconductor and the copper (the reference of the quench items).

  A C(T) dT/dt = d/dx (A_cu k(T) dT/dx) + q_joule(T) + q_heater

C: volumetric heat capacity of copper and NbTi (superconducting below the
current-sharing temperature Tcs, normal above); k: copper conductivity by
Wiedemann-Franz, k = L0 T / (rho_0 + rho_T(T)) with rho_0 = 1.7e-8/RRR;
joule: I^2 (1 - Ic(T)/I) rho_Cu(T) / A_cu per metre above Tcs, with
Ic(T) = Ic0 (1 - T/Tcb) and rho_Cu = 1e-8/RRR + rho_T(T) (no
magnetoresistance).  Explicit time steps below the stability limit of the
coldest cell (forward Euler in time, second order in space).

For the quench energy: the strand's path through a cable (its sections and
their lengths, the end sections held at the bath temperature), heater trials
several at a time with a quench/recovery decision, and the bisection."""
import numpy as np

import materials as mat

L0 = 2.45e-8


def _along(s, n):
    """The sections before and after section s (2..2n-1) along its strand:
    ((section, band offset), (section, band offset))."""
    if s == 2:
        return (3, 0), (n + 1, 1)
    if s == 3:
        return (n + 2, -1), (2, 0)
    if s <= n:
        return ((s + n - 1, -1), (s + n - 3, 0)) if s % 2 else ((s + n - 3, -1), (s + n - 1, 0))
    if s == n + 1:
        return (2, -1), (4, 1)
    if s <= 2 * n - 3:
        return ((s - n + 1, 0), (s - n + 3, 1)) if s % 2 else ((s - n + 3, 0), (s - n + 1, 1))
    if s == 2 * n - 2:
        return (2 * n - 1, -1), (n - 1, 1)
    return (n, 0), (2 * n - 2, 1)


def strand_cells(n, nb, band, section, w, lp, split=1):
    """The strand through section `section` of band `band` of a cable of n
    strands and nb bands, end to end, each section cut into `split` cells:
    (cell lengths m, band of each cell, held cells, cells of that section).
    A section is a strand length of sqrt(w^2 + lp^2/4)/n, twice that at the
    edges (sections 2 and 2n-1); the cable's end sections are held at their
    temperature (band 1: 2 < s <= n+1 and s = 2n-2; band nb: s = 2 and s > n)."""
    ends = []
    for side in (0, 1):
        b, s, run = band, section, []
        while True:
            s, db = _along(s, n)[side]
            b += db
            if not 1 <= b <= nb:
                break
            run.append((b, s))
        ends.append(run)
    path = ends[0][::-1] + [(band, section)] + ends[1]
    base = np.hypot(w, lp / 2) / n
    length = [(2 if s in (2, 2 * n - 1) else 1) * base / split for b, s in path]
    held = [(b == 1 and (2 < s <= n + 1 or s == 2 * n - 2)) or (b == nb and (s == 2 or s > n))
            for b, s in path]
    rep = lambda v: np.repeat(np.array(v), split)  # noqa: E731
    return rep(length), rep([b for b, _ in path]), rep(held), rep([p == (band, section) for p in path])


class Strand:
    def __init__(self, cells, d, cusc, rrr, B, I, ic0, tcb, T0):
        self.h = np.asarray(cells, dtype=float)            # cell lengths, m
        self.x = np.cumsum(self.h) - 0.5 * self.h          # cell centres
        self.A = np.pi * d * d / 4
        self.Acu = self.A * cusc / (1 + cusc)
        self.Asc = self.A - self.Acu
        self.B, self.I, self.ic0, self.tcb, self.rrr = B, I, ic0, tcb, rrr
        self.tcs = (1 - I / ic0) * tcb
        self.T = np.full(self.h.size, float(T0))
        self.T0 = T0
        self.dist = 0.5 * (self.h[1:] + self.h[:-1])       # centre distances

    def cap(self, T):
        """Heat capacity per metre of strand, J/(m K)."""
        sc = np.where(T < self.tcs, mat.cp_nbti_sc(T, self.B), mat.cp_nbti_normal(T))
        return self.Acu * mat.cp_cu(T) + self.Asc * sc

    def kcu(self, T):
        return L0 * T / (1.7e-8 / self.rrr + mat.rho_cu_t(T))

    def joule(self, T):
        """W per metre."""
        ic = np.clip(self.ic0 * (1 - T / self.tcb), 0, None)
        share = np.clip(1 - ic / self.I, 0, None)
        rho = 1e-8 / self.rrr + mat.rho_cu_t(T)
        return self.I ** 2 * share * rho / self.Acu

    def step(self, T, cfl, dt_max, heat=None):
        """One forward Euler step (one row per trial when T is 2-D) of
        cfl times the stability limit of the coldest cell, at most dt_max;
        heat(dt) gives the heater's W per cell.  Returns (T at the end, dt)."""
        Tm = 0.5 * (T[..., 1:] + T[..., :-1])
        g = self.Acu * self.kcu(Tm) / self.dist             # W/K between neighbours
        c = self.cap(T) * self.h                              # J/K of each cell
        gsum = np.zeros_like(T)
        gsum[..., 1:] += g
        gsum[..., :-1] += g
        dt = min(cfl * float(np.min(c / gsum)), dt_max)
        q = self.joule(T) * self.h
        if heat is not None:
            q = q + heat(dt)
        flow = g * (T[..., 1:] - T[..., :-1])
        q[..., :-1] += flow
        q[..., 1:] -= flow
        return T + dt * q / c, dt

    def run(self, t_end, heater_cell, heater_w, heater_end, t_mark, cfl=0.4):
        """Advances to t_end; returns the time each cell first reaches t_mark
        (linear in time within a step; -1 where it never does)."""
        t, T = 0.0, self.T
        passed = np.full(T.size, -1.0)
        pulse = np.zeros_like(T)
        pulse[heater_cell] = heater_w
        while t < t_end:
            Tn, dt = self.step(T, cfl, t_end - t, (lambda dt: pulse) if t < heater_end else None)
            new = (passed < 0) & (Tn >= t_mark)
            if new.any():
                passed[new] = t + dt * (t_mark - T[new]) / (Tn[new] - T[new])
            T, t = Tn, t + dt
        self.T = T
        return passed

    def rho(self, T):
        """Resistivity over the whole strand section (Ohm m): the copper's
        (1e-8/RRR, as the electrical model) carrying the current above Ic."""
        ic = np.clip(self.ic0 * (1 - T / self.tcb), 0, None)
        share = np.clip(1 - ic / self.I, 0, None)
        return share * (1e-8 / self.rrr + mat.rho_cu_t(T)) * self.A / self.Acu

    def decide(self, energies, pulse, heated, held, band, rule, cfl=0.4, dt_max=5e-7, t_max=0.02):
        """Heater trials, one per energy (J), all from T0: the heater puts the
        energy with the shape pulse = (times s, powers) on the cells weighted by
        `heated`; `held` cells stay at T0 (the cable's ends).  rule =
        (rho_q, rho_nq, n_bands): a quench when n_bands bands (cells grouped
        by `band`, length-weighted) pass rho_q; none once the time is past 1.1
        times the pulse's end (1.101) with no cell above rho_nq.  Returns an
        array of 1 (quench), 0 (no quench), -1 (undecided by t_max)."""
        E = np.asarray(energies, dtype=float)
        tp, pp = (np.asarray(x, dtype=float) for x in pulse)
        p_per_j = 1.0 / np.trapz(pp, tp)
        weights = heated / heated.sum()
        heat_rows = (E * p_per_j)[:, None] * weights[None, :]
        t_end = tp[-1]
        rho_q, rho_nq, n_bands = rule
        bands, idx = np.unique(band, return_inverse=True)
        blen = np.bincount(idx, weights=self.h)
        T = np.full((E.size, self.h.size), float(self.T0))
        dec = np.full(E.size, -1)
        live = np.ones(E.size, bool)
        t = 0.0
        while t < t_max and live.any():
            if t < t_end:
                heat = lambda dt: heat_rows[live] * np.interp(t + dt / 2, tp, pp)  # noqa: E731
            else:
                heat = None
            Tn, dt = self.step(T[live], cfl, dt_max if t >= t_end else min(dt_max, t_end - t), heat)
            Tn[:, held] = self.T0
            T[live] = Tn
            t += dt
            r = self.rho(Tn)
            rb = np.stack([np.bincount(idx, weights=row * self.h) for row in r]) / blen
            q = (rb > rho_q).sum(axis=1) >= n_bands
            nq = (t > 1.101 * t_end) & ~(r > rho_nq).any(axis=1)
            rows = np.nonzero(live)[0]
            dec[rows[q]] = 1
            dec[rows[nq & ~q]] = 0
            live[rows[q | nq]] = False
        return dec


def min_quench_energy(strand, lo, hi, acc, trials=8, **kw):
    """Bracket (J) of the smallest heater energy that quenches, to acc
    (relative half-width): `trials` energies at a time, evenly spread over
    the bracket (a quench at every energy above the smallest that quenches
    is assumed).  lo must recover and hi quench; both are widened by factors
    of 2 when they do not."""
    while strand.decide([lo], **kw)[0] != 0:
        lo /= 2
    while strand.decide([hi], **kw)[0] != 1:
        hi *= 2
    while (hi - lo) / (hi + lo) > acc:
        e = lo + (hi - lo) * np.arange(1, trials + 1) / (trials + 1)
        d = strand.decide(e, **kw)
        if (d < 0).any():
            raise RuntimeError("own 1-D solution: no decision at %s J" % e[d < 0])
        lo = max([lo] + list(e[d == 0]))
        hi = min([hi] + list(e[d == 1]))
    return lo, hi


def front_speed(x, t_pass, x_min, x_max):
    """Least-squares slope of position over passing time, for the cells
    between x_min and x_max (distance from the heater) that were passed."""
    sel = (t_pass > 0) & (x >= x_min) & (x <= x_max)
    if sel.sum() < 4:
        return float("nan")
    return float(np.polyfit(t_pass[sel], x[sel], 1)[0])


def wilson(J, C, Ts, T0):
    """Adiabatic front speed (m/s): J current density over the strand, C its
    volumetric heat capacity, Ts the transition temperature."""
    return J / C * np.sqrt(L0 * Ts / (Ts - T0))
