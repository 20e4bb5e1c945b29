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
coldest cell (forward Euler in time, second order in space)."""
import numpy as np

import materials as mat

L0 = 2.45e-8


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

    def run(self, t_end, heater_cell, heater_w, heater_end, t_mark, cfl=0.4):
        """Advances to t_end; returns the time each cell first reaches t_mark
        (linear in time within a step; -1 where it never does)."""
        t, T = 0.0, self.T
        passed = np.full(T.size, -1.0)
        while t < t_end:
            Tm = 0.5 * (T[1:] + T[:-1])
            g = self.Acu * self.kcu(Tm) / self.dist         # W/K between neighbours
            c = self.cap(T) * self.h                          # J/K of each cell
            gsum = np.zeros_like(T)
            gsum[1:] += g
            gsum[:-1] += g
            dt = min(cfl * np.min(c / gsum), t_end - t)
            q = self.joule(T) * self.h
            if t < heater_end:
                q[heater_cell] += heater_w
            flow = g * (T[1:] - T[:-1])
            q[:-1] += flow
            q[1:] -= flow
            Tn = T + dt * q / c
            new = (passed < 0) & (Tn >= t_mark)
            if new.any():
                passed[new] = t + dt * (t_mark - T[new]) / (Tn[new] - T[new])
            T, t = Tn, t + dt
        self.T = T
        return passed


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
