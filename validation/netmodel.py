"""An independent network model of a two-layer flat cable, assembled here
from the cable's geometry (no code or index map of the program is used).

Geometry.  N strands (N even), width w, thickness t, twist pitch Lp, band
length l = Lp/N.  Along the cable every strand follows the same closed path
in the cross-section, strand k being k bands ahead of strand 0 on it.  With
the phase v (in bands, 0 <= v < N) and the column pitch a = 2w/N:
  0 <= v < N/2-1     upper layer (y = 3t/4), x = a/2 + v*a   (moving right)
  N/2-1 <= v < N/2   right edge, x = w - a/2, on the mid-plane (y = t/2)
  N/2 <= v < N-1     lower layer (y = t/4), x = w - a/2 - (v - N/2)*a
  N-1 <= v < N       left edge,  x = a/2, on the mid-plane
so a strand moves one column (or changes layer at an edge) per band.

Contacts.  A crossing contact (Rc) wherever an upper and a lower strand are
at the same x (twice per band for each upper strand) and, at every band
boundary, one at each edge between the strand leaving the lower layer (or
the upper one) and the strand entering the other layer there.  Adjacent
contacts (Ra) between the strands that follow each other on the path
(neighbours in a layer, and across the layer change at the edges), two per
band.

The strands are superconducting (no resistance along them): the potential
along a strand follows the field-induced electric field E_z = dB_y/dt x
(field across the broad face) or -dB_x/dt y (field along the width), plus
the inductive voltages of the strand currents.

Two solutions:
* infinite_loss(): the steady loss per metre of an infinitely long cable in
  a constant ramp (no inductive voltages), from the exact crossing points of
  the straight strand paths; a periodic problem over one pitch.
* FiniteCable: a cable of NB bands cut into half-band sections, each a
  straight filament along the cable at its mean (x, y), with Neumann
  inductances between all sections (no cut-off), contacts at the section
  ends.  Dense generalised eigenproblem G x = lambda L x for the decay
  modes, and the exact response to a ramp switched on at t = 0.
"""
import numpy as np

MU0 = 4e-7 * np.pi


def path(N, w, t, v):
    """x, y (m) and layer (+1 upper, -1 lower, 0 edge) at phase v (bands)."""
    a, h = 2 * w / N, N // 2
    v = np.mod(v, N)
    up, redge, low = v < h - 1, (v >= h - 1) & (v < h), (v >= h) & (v < N - 1)
    x = np.where(up, a / 2 + v * a, np.where(redge, w - a / 2,
                 np.where(low, w - a / 2 - (v - h) * a, a / 2)))
    lay = np.where(up, 1, np.where(low, -1, 0))
    y = np.where(up, 0.75 * t, np.where(low, 0.25 * t, 0.5 * t))
    return x, y, lay


def contacts(N, n_bands, nz=8):
    """Contact list over n_bands bands: (kind 'c' or 'a', strand k, strand m,
    z in bands) for strand k at phase z + k.  nz: samples per band (even)
    for the search of crossings, which lie on half-band points."""
    h = N // 2
    out = []
    z = np.arange(n_bands * nz + 1) / nz
    for k in range(N):
        for m in range(N):
            if k == m:
                continue
            xk, _, lk = path(N, 1.0, 1.0, z + k)
            xm, _, lm = path(N, 1.0, 1.0, z + m)
            d = xk - xm
            both = (lk == 1) & (lm == -1)
            # A crossing: upper k and lower m at the same x, inside both traverses.
            hit = np.nonzero(both & (np.abs(d) < 1e-9))[0]
            for i in hit:
                out.append(("c", k, m, z[i]))
    for j in range(n_bands + 1):
        at = {(j + k) % N: k for k in range(N)}
        out.append(("c", at[0], at[N - 1], float(j)))      # left edge
        out.append(("c", at[h - 1], at[h], float(j)))      # right edge
    for j in range(n_bands + 1):
        for q in (0.0, 0.5):
            if j + q <= n_bands:
                for k in range(N):
                    out.append(("a", k, (k + 1) % N, j + q))
    return out


class InfiniteCable:
    """An infinitely long cable: the crossing points of the straight strand
    paths over one pitch, solved for a given electric field along the
    strands.  By symmetry every strand carries the same current history,
    shifted by one band per strand, so one strand's current along one pitch
    gives the current of every position."""

    def __init__(self, N, w, t, Lp, Ra, Rc, nz=64):
        self.N, self.w, self.t, self.Lp, self.nz = N, w, t, Lp, nz
        self.ell = Lp / N
        self.con = [c for c in contacts(N, N) if c[3] < N - 1e-9]   # z = N is z = 0
        self.g = np.array([1.0 / (Rc if c[0] == "c" else Ra) for c in self.con])
        zs = np.arange(N * nz) / nz + 0.5 / nz                        # sample midpoints
        self.phase = zs
        A = np.zeros((N, N))
        for (kind, k, m, z), g in zip(self.con, self.g):
            A[k, k] += g
            A[m, m] += g
            A[k, m] -= g
            A[m, k] -= g
        A[0, :] = 0.0
        A[0, 0] = 1.0
        self.A = A

    def solve(self, field):
        """field(phase) -> electric field along a strand at that phase of the
        path (V/m).  Returns (loss W/m of the crossing and of the adjacent
        contacts, current of every position 1..N averaged over its band)."""
        N, nz, ell = self.N, self.nz, self.ell
        F = np.empty((N, N * nz + 1))
        for k in range(N):
            F[k] = np.concatenate([[0.0], np.cumsum(field(self.phase + k)) * ell / nz])
        f = np.array([F[k, int(round(z * nz))] - F[m, int(round(z * nz))]
                      for _, k, m, z in self.con])
        b = np.zeros(N)
        for (kind, k, m, z), g, fk in zip(self.con, self.g, f):
            b[k] -= g * fk
            b[m] += g * fk
        b[0] = 0.0
        V = np.linalg.solve(self.A, b)
        ic = np.array([g * (V[k] - V[m] + fk) for (_, k, m, _), g, fk in zip(self.con, self.g, f)])
        P = {"c": 0.0, "a": 0.0}
        for (kind, *_), g, i in zip(self.con, self.g, ic):
            P[kind] += i * i / g
        # Current of strand 0 along the pitch: what leaves it through its contacts.
        out = np.zeros(N * nz + 1)
        for (_, k, m, z), i in zip(self.con, ic):
            j = int(round(z * nz))
            if k == 0:
                out[j] += i
            if m == 0:
                out[j] -= i
        cur = -np.cumsum(out)[:-1]                 # on the samples of [0, N) bands
        Ipos = cur.reshape(N, nz).mean(axis=1)     # position p = phase band p-1
        Ipos -= Ipos.mean()                        # no transport current
        return P["c"] / self.Lp, P["a"] / self.Lp, Ipos

    def field_perp(self, bdot=1.0):
        return lambda v: bdot * path(self.N, self.w, self.t, v)[0]

    def field_par(self, bdot=1.0):
        return lambda v: -bdot * path(self.N, self.w, self.t, v)[1]

    def position_field(self, gpos):
        """A field that is constant over each band of the path: gpos[p-1] on
        the band of position p."""
        gpos = np.asarray(gpos, dtype=float)
        return lambda v: gpos[np.floor(np.mod(v, self.N)).astype(int) % self.N]

    def positions(self):
        """Centre (x, y) of each position (the path at the middle of its band)."""
        v = np.arange(self.N) + 0.5
        x, y, _ = path(self.N, self.w, self.t, v)
        return x, y

    def ramp_transient(self, d, bdot=1.0, n_t=400):
        """Ramp switched on at t = 0, with the inductance per metre between
        positions (straight, parallel conductors; the strand's own by its
        geometric mean radius).  Returns (slowest time constant, mean time
        tau = int (1 - sqrt(P/P_end)) dt, steady loss W/m)."""
        N = self.N
        x, y = self.positions()
        dist = np.hypot(x[:, None] - x[None], y[:, None] - y[None])
        np.fill_diagonal(dist, 0.7788 * d / 2)
        Lm = MU0 / (2 * np.pi) * np.log(1.0 / dist)
        # Response of the position currents to a field constant per position.
        H = np.column_stack([self.solve(self.position_field(np.eye(N)[p]))[2] for p in range(N)])
        H = 0.5 * (H + H.T)
        Pc, Pa, Iinf = self.solve(self.field_perp(bdot))
        # Zero-sum subspace (no transport current).
        B = np.linalg.qr(np.column_stack([np.ones(N), np.eye(N)[:, :N - 1]]))[0][:, 1:]
        Hr, Lr = B.T @ H @ B, B.T @ Lm @ B
        # I = Iinf - H L dI/dt: modes of M = Hr Lr (similar to a symmetric matrix).
        Ls = np.linalg.cholesky(Lr)
        taus, Y = np.linalg.eigh(Ls.T @ Hr @ Ls)
        taus = np.clip(taus, 0, None)
        Vm = np.linalg.solve(Ls.T, Y)             # modes in the reduced basis
        c = np.linalg.solve(Vm, B.T @ Iinf)
        tmax = 12 * taus.max()
        ts = np.unique(np.concatenate([[0.0], np.geomspace(tmax * 1e-5, tmax, n_t)]))
        P = []
        for tt in ts:
            # dI/dt of each mode, then the field it adds at each position.
            didt = B @ (Vm @ (c * np.exp(-tt / np.maximum(taus, 1e-300)) / np.maximum(taus, 1e-300)))
            gind = -(Lm @ didt)
            base = self.field_perp(bdot)
            ind = self.position_field(gind)
            pc, pa, _ = self.solve(lambda v: base(v) + ind(v))
            P.append(pc + pa)
        P = np.array(P)
        u = np.sqrt(np.clip(P / (Pc + Pa), 0, None))
        return taus.max(), np.trapz(1 - np.minimum(u, 1.0), ts), Pc + Pa


def infinite_loss(N, w, t, Lp, Ra, Rc, field="perp"):
    """Steady loss (W/m at 1 T/s) of the crossing and the adjacent contacts
    of an infinitely long cable: (P_crossing, P_adjacent)."""
    cab = InfiniteCable(N, w, t, Lp, Ra, Rc)
    pc, pa, _ = cab.solve(cab.field_perp() if field == "perp" else cab.field_par())
    return pc, pa


def neumann(x1, y1, z1a, z1b, x2, y2, z2a, z2b, gmr):
    """Mutual inductance (H) of parallel filaments along z (arrays broadcast);
    gmr replaces the distance of a filament with itself."""
    d = np.hypot(x1 - x2, y1 - y2)
    d = np.where(d < 1e-12, gmr, d)

    def phi(u):
        return u * np.arcsinh(u / d) - np.sqrt(u * u + d * d)

    return MU0 / (4 * np.pi) * (phi(z2b - z1a) - phi(z2b - z1b) - phi(z2a - z1a) + phi(z2a - z1b))


class FiniteCable:
    """A finite cable of NB bands in a field across its broad face."""

    def __init__(self, N, NB, w, t, Lp, d, Ra, Rc):
        self.N, self.NB = N, NB
        ell = Lp / N
        ns = 2 * NB                               # half-band sections per strand
        k = np.repeat(np.arange(N), ns)
        i = np.tile(np.arange(ns), N)
        zc = (i + 0.5) / 2                        # centre, in bands
        x, y, _ = path(N, w, t, zc + k)
        # Mean position over the half band (the path is linear or constant on it).
        xa, _, _ = path(N, w, t, i / 2 + k + 1e-9)
        xb, _, _ = path(N, w, t, (i + 1) / 2 + k - 1e-9)
        self.x = 0.5 * (xa + xb)
        self.y = y
        self.za, self.zb = i / 2 * ell, (i + 1) / 2 * ell
        n_sec = N * ns
        node = lambda kk, j: kk * (ns + 1) + j   # noqa: E731  node j = 0..ns of strand kk
        n_node = N * (ns + 1)
        D = np.zeros((n_node, n_sec))     # node-section incidence
        s = np.arange(n_sec)
        D[node(k, i), s] = -1.0                   # the current leaves the start node
        D[node(k, i + 1), s] = 1.0                # and enters the end node
        # Contacts join the nodes of one plane (z = j/2 bands); the planes are
        # joined only by the sections.  Per plane: conductance matrix Kp.
        Kp = np.zeros((ns + 1, N, N))
        R = {"c": Rc, "a": Ra}
        self.n_contacts = {"c": 0, "a": 0}
        for kind, kk, mm, z in contacts(N, NB):
            j = int(round(2 * z))
            g = 1.0 / R[kind]
            Kp[j, kk, kk] += g
            Kp[j, mm, mm] += g
            Kp[j, kk, mm] -= g
            Kp[j, mm, kk] -= g
            self.n_contacts[kind] += 1
        # Node potentials from the currents: V = K^+ D I per plane (the
        # potential of each plane is free: it carries the cable's current
        # balance, sum of the currents of a slice = transport current = 0).
        Kplus = np.zeros((n_node, n_node))
        for j in range(ns + 1):
            idx = node(np.arange(N), j)
            Kplus[np.ix_(idx, idx)] = np.linalg.pinv(Kp[j])
        G = D.T @ Kplus @ D
        # Currents with a zero sum in every slice of the cable: Q (orthonormal).
        B = np.linalg.qr(np.column_stack([np.ones(N), np.eye(N)[:, :N - 1]]))[0][:, 1:]
        Q = np.zeros((n_sec, ns * (N - 1)))
        for ii in range(ns):
            Q[np.arange(N) * ns + ii, ii * (N - 1):(ii + 1) * (N - 1)] = B
        self.Q = Q
        self.G = Q.T @ G @ Q
        self.G = 0.5 * (self.G + self.G.T)
        gmr = 0.7788 * d / 2
        self.L = neumann(self.x[:, None], self.y[:, None], self.za[:, None], self.zb[:, None],
                         self.x[None], self.y[None], self.za[None], self.zb[None], gmr)
        self.L = Q.T @ (0.5 * (self.L + self.L.T)) @ Q
        self.e = Q.T @ (self.x * (self.zb - self.za))   # EMF per (T/s)
        self.length = NB * ell

    def steady(self):
        """Currents and loss (W per (T/s)^2) of a constant ramp."""
        I = np.linalg.solve(self.G, self.e)
        return I, float(self.e @ I)

    def section_currents(self, I):
        """Currents per section, strand-major (strand k, half band i)."""
        return (self.Q @ I).reshape(self.N, 2 * self.NB)

    def modes(self):
        """Decay rates (1/s, ascending) and modes, L-orthonormal."""
        C = np.linalg.cholesky(self.L)
        Ci = np.linalg.inv(C)
        lam, Y = np.linalg.eigh(Ci @ self.G @ Ci.T)
        return lam, Ci.T @ Y

    def ramp_response(self):
        """After a ramp starts at t = 0: (slowest time constant, the mean time
        tau = int (1 - sqrt(P/P_end)) dt of the contact loss P, the
        energy time constant I'LI / I'GI of the steady currents)."""
        lam, X = self.modes()
        I, P_end = self.steady()
        a = X.T @ (self.L @ I)
        wk = a * a * lam / P_end                  # loss share of each mode
        tmax = 12.0 / lam[0]
        ts = np.concatenate([np.linspace(0, 1 / lam[-1] * 5, 200), np.geomspace(5 / lam[-1], tmax, 4000)])
        ts = np.unique(ts)
        P = np.array([np.sum(wk * (1 - np.exp(-lam * tt)) ** 2) for tt in ts])
        u = np.sqrt(np.clip(P, 0, None))
        tau_u = np.trapz(1 - u, ts)
        tau_e = float(I @ self.L @ I) / P_end
        return 1.0 / lam[0], tau_u, tau_e
