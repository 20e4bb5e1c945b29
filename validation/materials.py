"""Material fits of the thermal model, written here from their published
form (the model description), for the reference solutions: volumetric heat
capacities of copper and of the superconductor (NbTi; the Nb3Sn types),
copper resistivity and conductivity, helium specific heat.  Evaluated
directly (the program tabulates them on a 0.1 K grid)."""
import numpy as np


def _poly(T, c):
    return sum(ci * T ** i for i, ci in enumerate(c))


def cp_cu(T):
    """Copper, J/(m^3 K)."""
    T = np.asarray(T, dtype=float)
    pieces = [(9.441, [2.5631, 101.892, -2.1286, 7.229, -0.0308]),
              (31.134, [-8250.329, 3469.536, -455.609, 29.871, -0.3045]),
              (123.34, [178432, -31595, 1508.89, -14.0237, 0.0419]),
              (306.12, [-1285100, 60590, -325.52, 0.8419, -0.000848]),
              (498.15, [1028000, 20363, -64.12, 0.09173, -4.8e-05]),
              (1000.0, [3182250, 1003.842, -0.21486, 1.2e-05])]
    out = 3161232 + 930 * T
    for lim, c in reversed(pieces):
        out = np.where(T < lim, _poly(T, c), out)
    return out


def cp_nbti_normal(T):
    """NbTi above its current-sharing temperature, J/(m^3 K)."""
    T = np.asarray(T, dtype=float)
    pieces = [(28.358, [0, 928, 0, 16.24]),
              (50.099, [41383, -7846.1, 553.71, 11.9838, -0.2177]),
              (165.8, [-1530000, 83022, -716.3, 2.976, -0.00482]),
              (496.54, [1240000, 13706, -51.66, 0.09296, -6.29e-05]),
              (1000.01, [2450000, 955.5, -0.257])]
    out = np.full_like(T, np.nan)
    for lim, c in reversed(pieces):
        out = np.where(T < lim, _poly(T, c), out)
    return out


def cp_nbti_sc(T, B):
    """NbTi below its current-sharing temperature, J/(m^3 K)."""
    return 49.1 * T ** 3 + 64.0 * B * T


def tc_field(B, tc0=9.2, bc20=14.5):
    """Critical temperature at the field B (NbTi defaults)."""
    return tc0 * np.clip(1 - B / bc20, 0, None) ** 0.59


def rho_cu_t(T):
    """Temperature part of the copper resistivity, Ohm m."""
    T = np.asarray(T, dtype=float)
    return 1e-8 / (163.0 / T + 957000.0 / T ** 3 + 2.33e9 / T ** 5)


def rho_cu(T, B, rrr, mr):
    """Copper resistivity of the electrical model: magnetoresistance +
    residual 1e-8/RRR + temperature part."""
    return mr * B + 1e-8 / rrr + rho_cu_t(T)


def k_cu_nist(T, rrr):
    """Copper thermal conductivity (NIST fit), W/(m K)."""
    T = np.asarray(T, dtype=float)
    w0 = 0.634 / (rrr * T)
    wi = 1.754e-8 * T ** 2.763 / (1 + 1.933e-5 * T ** 2.598 * np.exp(-(70.0 / T) ** 1.765))
    wio = 0.504631514 * wi * w0 / (wi + w0)
    return np.where(T < 10, 1 / w0, 1 / (w0 + wi + wio))


def cp_he(T):
    """Helium at 1 atm, J/(kg K)."""
    T = np.asarray(T, dtype=float)
    return np.where(T < 2.17, 1000 * (2.12 + 0.000678 * T ** 12.159),
           np.where(T < 2.5, 1000 * (3712.9 - 4673.2 * T + 1961.6 * T ** 2 - 274.45 * T ** 3),
           np.where(T < 4.3, 1000 * (7.68 - 4.484 * T + 0.9163 * T ** 2),
           np.where(T < 15, 1000 * (5.2 + 1489.4 * T ** -4.06), 5200.0))))


def strand_enthalpy(T0, T1, v_cu, v_sc, B, tcs, n=4000):
    """Heat (J) that takes a piece of strand with copper and NbTi volumes
    v_cu, v_sc (m^3) from T0 to T1 at the field B, the superconductor
    switching to its normal heat capacity at tcs."""
    if T1 <= T0:
        return 0.0
    edges = sorted({T0, T1, min(max(tcs, T0), T1)})
    E = 0.0
    for a, b in zip(edges, edges[1:]):
        if b <= a:
            continue
        x, wts = np.polynomial.legendre.leggauss(64)
        for lo, hi in zip(np.linspace(a, b, 41)[:-1], np.linspace(a, b, 41)[1:]):
            T = 0.5 * (hi - lo) * x + 0.5 * (hi + lo)
            sc = cp_nbti_sc(T, B) if hi <= tcs + 1e-12 else cp_nbti_normal(T)
            E += 0.5 * (hi - lo) * np.sum(wts * (v_cu * cp_cu(T) + v_sc * sc))
    return E


def enthalpy_table(T0, t_hi, v_cu, v_sc, B, tcs, dT=0.01):
    """(T, H(T)): the heat from T0 to each T of a fine grid (Gauss-Legendre on
    every interval, the switch at tcs on a grid point)."""
    T = np.unique(np.concatenate([np.arange(T0, t_hi + dT, dT), [tcs]]))
    T = T[(T >= T0) & (T <= t_hi + dT)]
    x, wts = np.polynomial.legendre.leggauss(8)
    a, b = T[:-1], T[1:]
    pts = 0.5 * (b - a)[:, None] * x[None] + 0.5 * (b + a)[:, None]
    sc = np.where((b <= tcs + 1e-12)[:, None], cp_nbti_sc(pts, B), cp_nbti_normal(pts))
    c = v_cu * cp_cu(pts) + v_sc * sc
    dH = 0.5 * (b - a) * (c * wts[None]).sum(axis=1)
    return T, np.concatenate([[0.0], np.cumsum(dH)])


def temperature_for(E, table):
    """The end temperature of an adiabatic heating by E (J) from a table of
    enthalpy_table()."""
    T, H = table
    return np.interp(E, H, T)
