"""Items 3 and 4: filament magnetisation against the critical state, and
adiabatic heating against the integral of the heat capacities."""
import time

import numpy as np

import materials as mat
import report
from report import Item
from vcase import MU0, section_lengths

# ----------------------------------------------------------------- item 3
IC3 = 50.0           # A: a low critical current keeps the penetration field small
D_OUT = 0.7e-3       # m, outer diameter of the filament zone (Demo-008)
D_STR = 0.825e-3     # m, strand


def item3(runner, figdir, quick):
    it = Item(3, "Filament magnetisation")
    t0 = time.process_time()
    jc = IC3 / (np.pi * D_STR ** 2 / 4)          # the program's Jc: Ic over the strand section
    bp = MU0 * jc * D_OUT / np.pi                # full-penetration field of a round filament
    # 0 -> 5 T, then two cycles 5 -> 7 -> 5 T (10 T/s, 20 mT steps in the cycles).
    steps = [(0.5, 10.0, 0, 0.01)] + [(0.2, s * 10.0, 0, 0.001) for s in (1, -1, 1, -1)]
    curves = []
    for din in (0.0, 0.3e-3):
        c = runner.case("M", "d%d" % round(din * 1e4), "008")
        c.set(d_fil_in=din * 1e3, IcCon=IC3, NrWrArrays=0, NrSignals=0, Opt_PrIter=0, NB=4,
              NB1_M=2, NB2_M=2)
        c.schedule(steps)
        c.run()
        m, pr = c.table("Mp.dat"), c.progress()
        t, M = m["time"], m["Aver"] * 1e-3                    # T (mu0 M)
        B = np.interp(t, np.concatenate([[0], pr["Time"]]), np.concatenate([[0], pr["Ba1"]]))
        ms = MU0 * 2 / (3 * np.pi) * jc * (D_OUT ** 3 - din ** 3) / D_OUT ** 2
        tag = "solid" if din == 0 else "hollow (d_in = 0.3 mm)"
        at7 = np.argmin(abs(t - 0.7))
        it.add(f"{tag} filament: magnitude of µ0·M at 7 T after a rising sweep",
               "critical state, full penetration: µ0·(2/(3π))·Jc·(d_o³ − d_i³)/d_o², "
               "Jc = Ic / strand section; band ±0.2 % (print resolution 1 µT)",
               abs(M[at7]), ms, (0.998, 1.002), unit="T", fmt="%.5f")
        sel = (t >= 0.9 - 1e-9) & (t <= 1.3 + 1e-9)          # second cycle 5 -> 7 -> 5 T
        area = -np.trapz(M[sel], B[sel])
        dbpp = 2.0
        it.add(f"{tag} filament: loss per cycle 5 → 7 → 5 T, ∮µ0M dB",
               "critical state for ΔB ≫ B_p: 2·µ0M_s·ΔB; the reversals cost at most "
               "2·B_p/ΔB of it (B_p = µ0·Jc·d/π = %.1f mT)" % (bp * 1e3),
               area, 2 * ms * dbpp, (1 - 2 * bp / dbpp, 1.002), unit="T²", fmt="%.5f")
        curves.append((tag, B, M, ms, sel))
    it.cpu = time.process_time() - t0
    fig, ax = report.figure()
    for (tag, B, M, ms, sel), col in zip(curves, ("C0", "C1")):
        ax[0].plot(B, M * 1e3, color=col, label=tag)
        ax[0].axhline(ms * 1e3, color=col, ls=":")
        ax[0].axhline(-ms * 1e3, color=col, ls=":")
        ax[1].plot(B[sel], M[sel] * 1e3, color=col, label=tag)
    report.label(ax[0], "B (T)", "µ0·M (mT)", "whole history (dotted: ±µ0·M_s)")
    report.label(ax[1], "B (T)", title="second cycle 5 → 7 → 5 T", legend=None)
    report.save(it, fig, figdir, "item3_magnetisation.png", "filament magnetisation of Demo-008's "
                "cable over a field history 0 → 5 T and two cycles 5 ↔ 7 T")
    it.say(f"""
**Case.** `Demo-008` (12 strands, magnetisation of bands 2 of 4 recorded) with
`IcCon` = {IC3:g} A (Jc = {jc / 1e6:.0f} A/mm² over the strand section, the program's
definition), filament zone d_o = 0.7 mm and d_i = 0 or 0.3 mm; the field rises to
5 T and cycles twice between 5 and 7 T in 20 mT steps.

**Reference.** The critical state of a round filament zone fully penetrated in a
transverse field: µ0·M_s = µ0·(2/(3π))·Jc·d for a solid one, times
(1 − (d_i/d_o)³) for a hollow one; the program's Jc falls as 1/√B (Kim-like)
around the present field, which over the filament's own field change
(B_p = {bp * 1e3:.1f} mT at 5–7 T) changes it by less than 0.5 %. The loss per cycle of a
loop of ΔB = 2 T is the area of the M(B) loop, 2·µ0M_s·ΔB for ΔB ≫ B_p (J/m³ of
filament zone after dividing by µ0); each reversal, while the flux profile turns
over, takes off between 0 and µ0M_s·2B_p (a linear turn-over), which is the band.
`Demo-008` as shipped (IcCon = 500 A, ±1 T) has B_p = 0.26 T, where the 1/√B law
of Jc inside the filament makes the closed form of a constant Jc inapplicable.""")
    return it


# ----------------------------------------------------------------- item 4
def item4(runner, figdir, quick):
    it = Item(4, "Adiabatic heating of a uniform cable")
    t0 = time.process_time()
    N, w, lp, d, cusc, B, T0 = 8, 3.5e-3, 40e-3, 0.825e-3, 1.8, 5.0, 4.2
    A = np.pi * d * d / 4
    V = A * section_lengths(N, w, lp)[1].sum()
    vcu, vsc = V * cusc / (1 + cusc), V / (1 + cusc)
    tcs = float(mat.tc_field(B))
    T_end = 40.0
    E_end = mat.strand_enthalpy(T0, T_end, vcu, vsc, B, tcs)
    table = mat.enthalpy_table(T0, 60.0, vcu, vsc, B, tcs)
    runs = []
    for dt in ([1e-4] if quick else [1e-4, 2.5e-5]):
        c = runner.case("H", "ad%d" % round(dt * 1e6), "005")
        c.uniform_heater(N, w, lp, E_end, 10.0, NrWrArrays=0, NrSignals=0, dt_Prog=dt / 2,
                         Opt_PrIter=0)
        c.schedule([(0.0115, 0, 0, dt)], start=(0, B, 0))
        c.run()
        pr, en = c.progress(), c.energy()
        E = en["E_HP"] * 1e-3
        Tref = mat.temperature_for(E, table)
        runs.append((dt, pr["Time"], pr["Ts_max"], Tref, en["Residual_rel"], E))
        k = len(E) - 1
        it.add(f"end temperature after {E[k] * 1e3:.2f} mJ, steps of {dt * 1e6:g} µs",
               "own quadrature of the copper and NbTi fits (NbTi switching to its normal heat "
               "capacity at Tcs = %.2f K, 5 T); band ±0.3 %% of the rise (see text)" % tcs,
               pr["Ts_max"][k], Tref[k], (-0.003 * (Tref[k] - T0), 0.003 * (Tref[k] - T0)),
               kind="diff", unit="K", fmt="%.3f")
        it.energy_accounts(f"the uniform heating, steps of {dt * 1e6:g} µs", [c])
    parts_e, parts_l = [], []
    for dt, t, Ts, Tr, res, E in runs:
        rel = (Ts - Tr) / np.maximum(Tr - T0, 1e-9)
        k = int(np.argmax(np.where(Tr > T0 + 1, rel, -1)))
        parts_e.append("%+.1f %% of the rise at %.1f K with %g µs steps" % (100 * rel[k], Tr[k], dt * 1e6))
        parts_l.append("%+.2f %% with %g µs steps" % (100 * rel[-1], dt * 1e6))
    early, late = "; ".join(parts_e), "; ".join(parts_l)
    it.cpu = time.process_time() - t0
    fig, ax = report.figure()
    for dt, t, Ts, Tr, res, E in runs:
        ax[0].plot(E * 1e3, Ts, "o", ms=3, label=f"program, {dt * 1e6:g} µs steps")
        ax[1].plot(Tr, Ts - Tr, "o-", ms=3, label=f"{dt * 1e6:g} µs steps")
    ee = np.linspace(0, runs[0][5][-1], 200)
    ax[0].plot(ee * 1e3, mat.temperature_for(ee, table),
               "k-", lw=1, label="∫C dT = E (own quadrature)")
    report.label(ax[0], "heat put in (mJ)", "temperature (K)")
    report.label(ax[1], "reference temperature (K)", "program − reference (K)")
    report.save(it, fig, figdir, "item4_adiabatic.png",
                "temperature of a uniformly heated cable against the heat put in")
    it.say(f"""
**Case.** `Demo-005` (8 strands of 0.825 mm, NbTi, copper/superconductor 1.8,
adiabatic) made an infinitely long cable of one band, so that no section is held at
the cable ends; no current, 5 T; one heater on each of the 14 sections with a power
proportional to the section's length (volume), together {E_end * 1e3:.1f} mJ over
10 ms: the cable heats uniformly, with no heat flow between sections.

**Reference.** The heat put in (`E_HP` of `Energy.dat`) against the end temperature T
of ∫C dT = E with C = V_Cu·c_Cu(T) + V_NbTi·c_NbTi(T, B), the fits evaluated directly
(`validation/materials.py`, Gauss–Legendre quadrature, bisection for T); NbTi takes its
superconducting heat capacity 49.1·T³ + 64·B·T below Tcs (= Tcb at zero current) and
its normal one above.

**Band.** The program takes each step's heat capacity at the step's mid temperature
(a midpoint rule over the step's temperature rise) from tables on a 0.1 K grid; the
rise per step is largest at the start (several K per step where C grows as T³), which
leaves the temperature high early in the pulse (largest: {early}) and less at the end
({late}). The band, ±0.3 % of the rise at the end, is three times the midpoint rule's
end error at 100 µs steps; the right figure shows the error shrinking with the step.""")
    return it
