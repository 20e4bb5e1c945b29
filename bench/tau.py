#!/usr/bin/env python3
"""Coupling-current time constant from the transient after a ramp start.

usage: tau.py Progress.dat Lp_m N w_m t_m Rc_ohm

With P(t) the coupling power (Pa_T + Pc_T) and P_end its value at the end of
a ramp long against tau, u = sqrt(P/P_end) is the normalised coupling-current
amplitude, and tau = integral of (1 - u) dt (exact for one exponential mode,
the mean time constant for several).  Compared with the estimate for
crossing-contact coupling currents in a field across the broad face,
tau_c = mu0 Lp N(N-1) w / (120 Rc t).
"""
import math
import sys

rows = []
with open(sys.argv[1]) as f:
    for line in f.readlines()[2:]:
        v = [float(x) for x in line.split(",")]
        rows.append((v[2], v[16] + v[17], v[3]))  # time, Pa_T + Pc_T (mW), dBa1/dt
ramp = [r for r in rows if r[2] > 0]
p_end = ramp[-1][1]
tau = 0.0
prev_t, prev_g = 0.0, 1.0
for t, p, _ in ramp:
    g = 1.0 - math.sqrt(max(p, 0.0) / p_end)
    tau += 0.5 * (g + prev_g) * (t - prev_t)
    prev_t, prev_g = t, g
lp, n, w, t, rc = (float(x) for x in sys.argv[2:7])
est = 4e-7 * math.pi * lp * n * (n - 1) * w / (120 * rc * t)
print("P_end %.4f mW  tau from transient %.4f s  estimate %.4f s  ratio %.3f"
      % (p_end, tau, est, tau / est))
