"""Item 8: heat transfer to the helium, regime by regime against its
correlation, and the final state of cables that recover."""
import time

import numpy as np

import materials as mat
import report
from items_quench import CUSC, D, LP, NS, W
from report import Item
from vcase import section_lengths, series, wr_arrays

LAMBDA = 2.1652                 # K, where the superfluid regimes end
NAMES = {1: "transient", 2: "Kapitza", 3: "film boiling, superfluid", 4: "natural convection",
         5: "nucleate boiling", 6: "film boiling", 10: "supercritical helium"}
FORMULAS = {1: "a_Trans·(THe^n_Trans − Ts^n_Trans)", 2: "aKap·(THe^nKap − Ts^nKap)",
            3: "aFB_II·(THe − Ts)", 4: "aNC·(THe − Ts)", 5: "sign·aNB·|THe − Ts|^2.5",
            6: "aFB_I·(THe − Ts)",
            10: "(THe − Ts)·(0.5·√(π·C·k)·(t − t0)^p + a_inf), t0 when the section passed TBath + dT"}
# Normal helium at 4.2 K in the voids (Demo-006) with limits that make every
# regime above the lambda point occur: natural convection to 100 W/m^2
# (0.4 K), nucleate boiling to 10 kW/m^2 (1 K), film boiling beyond; the
# transient regime first, up to 5 J/m^2.
BOILING = dict(Opt_Trans_HF=2, a_Trans=200.0, n_Trans=4.0, E_Trans_Lim0=5.0, aNC=250.0,
               HF_Lim_NC=100.0, aNB=1e4, HF_Lim_NB=1e4, aFB_I=250.0)
# Superfluid helium at 1.9 K, the bath holding its temperature (Opt_Temp 2).
SUPERFLUID = dict(Opt_Temp=2, TBath=1.9, Opt_Trans_HF=0, aKap=400.0, nKap=4.0,
                  HF_Lim_Kap=3000.0, aFB_II=1000.0)
MIN_DT = 0.01                   # K: points with a smaller |THe - Ts| are left out (print resolution)


def correlation(r, Ts, THe, par, t=None, t0=None):
    """Heat flux from the helium into the strand (W/m^2) of regime r."""
    d = THe - Ts
    if r == 1:
        return par["a_Trans"] * (THe ** par["n_Trans"] - Ts ** par["n_Trans"])
    if r == 2:
        return par["aKap"] * (THe ** par["nKap"] - Ts ** par["nKap"])
    if r in (3, 4, 6):
        return par[{3: "aFB_II", 4: "aNC", 6: "aFB_I"}[r]] * d
    if r == 5:
        return np.sign(d) * par["aNB"] * np.abs(d) ** 2.5
    h = 0.5 * np.sqrt(np.pi * par["C"] * par["k"]) * np.maximum(t - t0, 1e-30) ** par["p"]
    return d * np.where(t > t0, h + par["a_inf"], 0.0)


def own_regime(Ts, THe, par, tbath, transient):
    """The regime the selection rule gives at these temperatures: transient
    while allowed, else the first valid of 2..6 (from 4 above the lambda point)."""
    out = np.full(Ts.shape, 6)
    lim = {2: "HF_Lim_Kap", 4: "HF_Lim_NC", 5: "HF_Lim_NB"}
    for r in (5, 4, 3, 2) if tbath <= LAMBDA else (5, 4):
        ok = (THe <= LAMBDA) if r in (2, 3) else (THe >= LAMBDA)
        if r in lim:
            ok &= np.abs(correlation(r, Ts, THe, par)) <= par[lim[r]]
        out = np.where(ok, r, out)
    return np.where(transient, 1, out)


def helium_case(runner, tag, demo, values, steps=None, uniform=None, heater_mw=None, extra=(),
                current=0.0, every=True):
    """A case that writes Ts, THs, HF_He, Regime (and `extra` arrays) at every
    step (every=False: at the start and the end); uniform = (energy J, ms)
    heats a one-band cable uniformly, heater_mw changes the power of the
    example's heater (50 us rise, 0.5 ms); steps and current (A) replace the
    example's schedule."""
    c = runner.case("He", tag, demo)
    if uniform:
        c.uniform_heater(NS, W, LP, *uniform, Opt_PrIter=0)
    if heater_mw:
        c.heater(8, 5, [(0, 0), (0.05, heater_mw), (0.5, heater_mw), (0.55, 0)])
    c.set(NrSignals=0, dt_Prog=1e-9, **values)
    wr_arrays(c, [(83, 1e3), (93, 1e3), (146, 1e6), (192, 1)] + list(extra),
              dt_nts=1e-9 if every else 1.0)
    if steps:
        c.schedule(steps, start=(0, 5.0, current))
    c.run()
    return c


def points(c, par, tbath, e_trans=False):
    """Per step and section: mid-step strand and helium temperatures, the
    program's heat flux (W/m^2), its regime, the step's end time, the time
    cooling started (supercritical helium) and the own rule's regime."""
    t, Ts = series(c, "Ts.dat")
    _, THs = series(c, "THs.dat")
    _, HF = series(c, "HF_He.dat")
    _, reg = series(c, "Regime.dat")
    if len(t) != c.progress()["NTS"][-1] + 1:
        raise RuntimeError(f"{c.dir}: a step without snapshots")
    lengths = section_lengths(NS, W, LP)[1]
    a_he = par["A_He_con"] * 1e-6 * lengths / lengths.min()       # m^2 per section
    Tm, Hm = 0.5 * (Ts[1:] + Ts[:-1]), 0.5 * (THs[1:] + THs[:-1])
    warm = Ts - tbath >= par.get("dT", np.inf)
    t0 = np.where(warm.any(axis=0), t[warm.argmax(axis=0)], np.inf)
    trans = np.zeros(Tm.shape, bool)
    if e_trans:
        trans = series(c, "E_Trans.dat")[1][:-1] < a_he * par["E_Trans_Lim0"]
    return dict(Ts=Tm, THe=Hm, THs=THs[1:], q=HF[1:] / a_he, reg=reg[1:].astype(int),
                t=np.broadcast_to(t[1:, None, None], Tm.shape), t0=np.broadcast_to(t0, Tm.shape),
                own=own_regime(Tm, THs[1:], par, tbath, trans))


def item8(runner, figdir, quick):
    it = Item(8, "Helium cooling")
    t0 = time.process_time()
    lengths = section_lengths(NS, W, LP)[1]
    e_boil = 20e-6 * lengths.sum() / lengths.min()        # 20 uJ per ordinary section
    boil = helium_case(runner, "boil", "006", BOILING,
                       [(1.1e-3, 0, 0, 2e-5), (0.02, 0, 0, 2e-4), (0.1, 0, 0, 2e-3)],
                       (e_boil, 1.0), extra=[(149, 1e9)])
    sfl = helium_case(runner, "sf", "006", SUPERFLUID,
                      [(1.1e-3, 0, 0, 2e-5), (0.01, 0, 0, 1e-4), (0.03, 0, 0, 1e-3)],
                      (e_boil / 4, 1.0))
    scr = helium_case(runner, "scr", "007", {})
    scr80 = helium_case(runner, "scr80", "007", {}, heater_mw=80.0)
    scr10 = helium_case(runner, "scr10", "007", {}, [(2e-3, 0, 0, 1e-5), (8e-3, 0, 0, 2e-4)],
                        current=2240.0, every=False)
    names = ["A_He_con", "Vol_He_con", "TBath", "a_Trans", "n_Trans", "E_Trans_Lim0", "aKap",
             "nKap", "aFB_II", "HF_Lim_Kap", "aNC", "aNB", "aFB_I", "HF_Lim_NC", "HF_Lim_NB", "C",
             "k", "p", "a_inf", "dT"]
    cases = []
    for c, e_trans in ((boil, True), (sfl, False), (scr, False)):
        par = dict(zip(names, c.get(*names)))
        cases.append((c, par, points(c, par, par["TBath"], e_trans)))
    pts = {}
    for r in NAMES:
        for c, par, P in cases:
            sel = (P["reg"] == r) & (np.abs(P["THe"] - P["Ts"]) >= MIN_DT) & (P["t"] > P["t0"])
            if sel.any():
                ref = correlation(r, P["Ts"][sel], P["THe"][sel], par, P["t"][sel], P["t0"][sel])
                pts.setdefault(r, []).append((P["q"][sel], ref, P["THe"][sel] - P["Ts"][sel],
                                              P["t"][sel] - P["t0"][sel], par))
    for r, lists in pts.items():
        q = np.concatenate([x[0] for x in lists])
        ref = np.concatenate([x[1] for x in lists])
        k = int(np.argmax(np.abs(q / ref - 1)))
        it.add(f"regime {r} ({NAMES[r]}): heat flux, program / correlation, the worst of "
               f"{q.size} points", FORMULAS[r] + " at the step's mean temperatures; band ±0.1 % "
               "(print resolution)", q[k], ref[k], (0.999, 1.001), unit="W/m²", fmt="%.5g")
    for c, par, P in cases[2:]:
        before = (P["reg"] == 10) & (P["t"] <= P["t0"])
        it.add(f"regime 10 before a section stood dT above the bath: largest |heat flux| "
               f"({int(before.sum())} points)", "no heat transfer before the cooling starts; band "
               "±0.001 W/m² (1 nW on 1 mm²)", float(np.max(np.abs(P["q"][before]), initial=0.0)), 0.0,
               (-1e-3, 1e-3), kind="diff", unit="W/m²", fmt="%.3g")
    miss = sum(int((P["reg"] != P["own"]).sum()) for c, par, P in cases[:2])
    total = sum(P["reg"].size for c, par, P in cases[:2])
    it.add(f"regime chosen at every step and section of the 4.2 K and 1.9 K cases ({total})",
           "the rule: transient while below its energy limit, then the first valid of "
           "Kapitza, superfluid film boiling, natural convection, nucleate boiling, film "
           "boiling; band 0 points differ", miss, 0, (0, 0), kind="diff", fmt="%d")
    fin = _final_state(it, boil, cases[0][1], e_boil)
    rec = _recovery(it, scr, scr80, cases[2][1])
    rec["s10"] = _stored(scr10, cases[2][1]) + (scr10.progress()["Ps_T"].max(),)
    it.energy_accounts("the five helium cases", [boil, sfl, scr, scr80, scr10])
    it.cpu = time.process_time() - t0
    _figures(figdir, it, pts, fin, rec)
    _text8(it, pts, cases, fin, rec, miss, total)
    return it


def _volumes(vol):
    return vol * CUSC / (1 + CUSC), vol / (1 + CUSC)


def _final_state(it, c, par, energy):
    """The uniformly heated one-band cable in the voids' helium at rest: the
    heat put in against the enthalpy of strands and helium at one temperature."""
    tb = par["TBath"]
    lengths = section_lengths(NS, W, LP)[1]
    vol = np.pi * D * D / 4 * lengths.sum()
    m_he = par["Vol_He_con"] * 1e-9 * lengths.sum() / lengths.min() * (126.0 if tb >= 2.18 else 147.0)
    tcb = float(mat.tc_field(5.0))
    T, H = mat.enthalpy_table(tb, tb + 3.0, *_volumes(vol), 5.0, tcb, dT=1e-4)
    cp = mat.cp_he(T)
    H_he = m_he * np.concatenate([[0.0], np.cumsum(0.5 * (cp[1:] + cp[:-1]) * np.diff(T))])
    T_eq = float(np.interp(energy, H + H_he, T))
    pr = c.progress()
    end = pr["Ts_max"][-1], pr["THs_max"][-1]
    rise = T_eq - tb
    worst = max(end, key=lambda x: abs(x - T_eq))
    it.add(f"uniform heating of {energy * 1e3:.2f} mJ at 4.2 K: end temperature (strands "
           f"{end[0]:.4f} K, helium {end[1]:.4f} K), the farther from the reference",
           "own quadrature: heat put in = strands' (Cu, NbTi) + helium's enthalpy (cp of normal "
           "helium at 1 atm, 126 kg/m³) at one temperature; band ±1 % of the rise",
           worst, T_eq, (-0.01 * rise, 0.01 * rise), kind="diff", unit="K", fmt="%.4f")
    return dict(T_eq=T_eq, end=end, pr=pr, H_strand=float(np.interp(T_eq, T, H)), energy=energy,
                m_he=m_he)


def _stored(c, par):
    """Heat stored at the end of a run (J): own, from the final temperatures
    (strand enthalpy of Cu and NbTi below Tcs; supercritical helium
    Vol_He*C*(THs - TBath)), and the account's E_Strands, E_Helium."""
    tb = par["TBath"]
    Ts, THs = series(c, "Ts.dat")[1][-1], series(c, "THs.dat")[1][-1]
    lengths = section_lengths(NS, W, LP)[1]
    T, H = mat.enthalpy_table(tb, max(Ts.max(), tb) + 0.02, *_volumes(1.0), 5.0,
                              float(mat.tc_field(5.0)), dT=1e-4)
    strands = float(np.sum(np.interp(Ts, T, H) * np.pi * D * D / 4 * lengths))
    helium = float(np.sum(par["C"] * par["Vol_He_con"] * 1e-9 * lengths / lengths.min() * (THs - tb)))
    en = c.energy()
    return strands, helium, en["E_Strands"][-1] * 1e-3, en["E_Helium"][-1] * 1e-3, float(Ts.max())


def _recovery(it, c, c80, par):
    """Demo-007: current sharing during the pulse, recovery after it; the
    stored heat recomputed from the final temperatures, also of the same case
    with 80 mW, which stays below the current-sharing temperature."""
    pr = c.progress()
    floor, end, peak = pr["Ps_T"][0], pr["Ps_T"][-1], pr["Ps_T"].max()
    it.add(f"Demo-007 (supercritical helium, 2240 A): resistive power at the end, against its "
           f"value before the pulse (peak {peak:.1f} mW)", "recovered: back to the floor of the "
           "minimum resistivity; band ±0.5 %", end, floor, (0.995, 1.005), unit="mW", fmt="%.4f")
    st = _stored(c, par)
    it.add("Demo-007: heat stored in the helium at the end, from its final temperatures, "
           "against the account", "own: Σ Vol_He·C·(THs − TBath) over the sections, against "
           "E_Helium of Energy.dat; band ±0.2 % (1 µK of tens of mK, five digits)",
           st[3] * 1e6, st[1] * 1e6, (0.998, 1.002), unit="µJ", fmt="%.3f")
    s80 = _stored(c80, par)
    p80 = c80.progress()["Ps_T"].max()
    it.add("the same with 80 mW (below Tcs throughout; resistive power at most "
           f"{p80:.2f} mW): heat stored at the end, from the final temperatures, against the "
           "account", "own: strand enthalpy (Cu, NbTi below Tcs) and the helium's, against "
           "E_Strands + E_Helium; band ±1 % (the midpoint rule of the 50 µs steps)",
           (s80[2] + s80[3]) * 1e6, (s80[0] + s80[1]) * 1e6, (0.99, 1.01), unit="µJ", fmt="%.3f")
    return dict(pr=pr, peak=peak, floor=floor, st=st, s80=s80)


def _figures(figdir, it, pts, fin, rec):
    fig, ax = report.figure()
    for r, lists in sorted(pts.items()):
        if r == 10:
            continue
        q = np.concatenate([x[0] for x in lists])
        d = np.concatenate([x[2] for x in lists])
        line, = ax[0].plot(np.abs(d), np.abs(q), "o", ms=3, label=f"{r}: {NAMES[r]}")
        dd = np.geomspace(np.abs(d).min(), np.abs(d).max(), 50)
        he = 1.9 if r in (2, 3) else 4.25          # the helium of the curve, K
        ax[0].plot(dd, np.abs(correlation(r, he + dd, he, lists[0][4])), "-", lw=0.8,
                   color=line.get_color())
    report.label(ax[0], "|THe − Ts| (K)", "|heat flux| (W/m²)",
                 "regimes 1–6: program (points), correlation (lines)", legend=7, xlog=10, ylog=10)
    q = np.concatenate([x[0] for x in pts.get(10, [])]) if 10 in pts else np.array([])
    if q.size:
        d = np.concatenate([x[2] for x in pts[10]])
        s = np.concatenate([x[3] for x in pts[10]])
        par = pts[10][0][4]
        ax[1].plot(s * 1e3, q / d, "o", ms=3, label="program, q / (THe − Ts)")
        ss = np.geomspace(s.min(), s.max(), 100)
        ax[1].plot(ss * 1e3, 0.5 * np.sqrt(np.pi * par["C"] * par["k"]) * ss ** par["p"] + par["a_inf"],
                   "k-", lw=0.8, label="0.5·√(π·C·k)·(t − t0)^p + a_inf")
        report.label(ax[1], "time since the section passed TBath + dT (ms)",
                     "heat transfer coefficient (W/m²/K)", "regime 10: supercritical helium",
                     xlog=10, ylog=10)
    report.save(it, fig, figdir, "item8_helium_regimes.png", "heat flux to the helium against "
                "the regimes' correlations: regimes 1 to 6 (left; lines for a strand near 4.25 K "
                "or the bath of 1.9 K), supercritical helium (right)")
    fig, ax = report.figure()
    pr = fin["pr"]
    ax[0].plot(pr["Time"][1:] * 1e3, pr["Ts_max"][1:], "-", label="strands")
    ax[0].plot(pr["Time"][1:] * 1e3, pr["THs_max"][1:], "-", label="helium")
    ax[0].axhline(fin["T_eq"], color="k", ls=":", label=f"own equilibrium {fin['T_eq']:.4f} K")
    report.label(ax[0], "time (ms)", "temperature (K)", "uniform heating, helium in the voids",
                 xlog=10)
    pr = rec["pr"]
    ax[1].plot(pr["Time"] * 1e3, pr["Ps_T"], "-", color="C3", label="resistive power (mW)")
    ax[1].set_yscale("log")
    tw = ax[1].twinx()
    tw.plot(pr["Time"] * 1e3, pr["Ts_max"], "-", color="C0", label="highest strand temperature")
    tw.plot(pr["Time"] * 1e3, pr["THs_max"], "--", color="C0", label="highest helium temperature")
    tw.set_ylabel("K")
    tw.legend(fontsize=7, loc="center right")
    report.label(ax[1], "time (ms)", "mW", "Demo-007: supercritical helium, 2240 A", legend=7)
    report.save(it, fig, figdir, "item8_recovery.png", "recovery: the uniformly heated cable "
                "settling at the own equilibrium (left), Demo-007's current sharing and recovery "
                "(right)")


def _text8(it, pts, cases, fin, rec, miss, total):
    counts = ", ".join(f"{r}: {sum(x[0].size for x in pts[r])}" for r in sorted(pts))
    bpar, spar = cases[0][1], cases[1][1]
    it.say(f"""
**Cases.** Each writes the strand and helium temperatures, the heat flow from the
helium and the regime of every section at every step. (a) `Demo-006`'s cable made
an infinitely long cable of one band, helium in the voids at 4.2 K (`Opt_Temp` 3),
no current, every section heated alike ({fin['energy'] * 1e3:.2f} mJ in 1 ms,
20 µJ per ordinary section), the transient regime first (`a_Trans` {bpar['a_Trans']:g},
`n_Trans` {bpar['n_Trans']:g}, up to `E_Trans_Lim0` = {bpar['E_Trans_Lim0']:g} J/m²),
then natural convection (`aNC` {bpar['aNC']:g} W/m²/K up to {bpar['HF_Lim_NC']:g} W/m²),
nucleate boiling (`aNB` {bpar['aNB']:g} up to {bpar['HF_Lim_NB']:g} W/m²) and film
boiling (`aFB_I` {bpar['aFB_I']:g}); 121 ms. (b) The same at 1.9 K with a bath that
keeps its temperature (`Opt_Temp` 2): Kapitza (`aKap` {spar['aKap']:g}, `nKap`
{spar['nKap']:g}, up to {spar['HF_Lim_Kap']:g} W/m²) and superfluid film boiling
(`aFB_II` {spar['aFB_II']:g}); a quarter of the heat. (c) `Demo-007` as shipped:
supercritical helium at 4.5 K (`C` 420000 J/K/m³, `k` 0.02 W/m/K, `p` −0.5, `a_inf`
100 W/m²/K, `dT` 0.1 K), 16 bands, 2240 A, 0.1 W for 0.5 ms on one section.

**Reference.** Each regime's correlation, written anew, at the step's mean
strand and helium temperatures (the means of the snapshots before and after the
step), over the program's helium surface of the section (`A_He_con`, twice at the
edges); for supercritical helium t is the step's end and t0 the end of the first
step at which the section stood `dT` above the bath. Points with |THe − Ts| below
{MIN_DT * 1e3:g} mK are left out: the snapshots print 1 µK and 1 nW, which there is
more than 0.1 %. Points per regime: {counts}. The regime of every point was also
chosen anew by the rule — transient while the section's `E_Trans` (before the step)
is below `A_He`·`E_Trans_Lim0`, then the first of 2 to 6 (4 to 6 above the lambda
point) whose flux is within its limit: {miss} of {total} differ.

**Final state.** Case (a) has no heat flow along the cable; the heat put in ends
in the strands and the helium at one temperature, the own quadrature's
{fin['T_eq']:.4f} K (strands {fin['H_strand'] * 1e6:.1f} µJ of it, the helium,
{fin['m_he'] * 1e9:.0f} µg, the rest); the program ends at {fin['end'][0]:.4f} K
(strands) and {fin['end'][1]:.4f} K (helium). The band, ±1 % of the rise, covers the
midpoint rule of the step's heat capacities, whose error is largest where the
helium's fit jumps (at 4.3 K). In case (c) the heated strand shares current (the
resistive power peaks at {rec['peak']:.1f} mW) and recovers: at the end the
resistive power is back at {rec['floor']:.4f} mW, the floor of the minimum
resistivity, the hottest strand at {rec['st'][4]:.4f} K. The heat stored by then,
recomputed from the final temperatures: helium {rec['st'][1] * 1e6:.3f} µJ against the
account's {rec['st'][3] * 1e6:.3f} µJ; strands {rec['st'][0] * 1e6:.3f} µJ against
{rec['st'][2] * 1e6:.3f} µJ. The strands' account is lower, and not by the step's
midpoint rule: with steps of 10 µs instead of 50 µs during the pulse (the resistive
power then peaks at {rec['s10'][5]:.1f} mW) the gap grows, {rec['s10'][0] * 1e6:.3f} µJ
against {rec['s10'][2] * 1e6:.3f} µJ. At 5 T without self field the only term of a section's heat capacity
that depends on more than its temperature is NbTi's switch from the superconducting
to the normal heat capacity at the section's Tcs, and Tcs moves with the section's
current. The heated strand warms above the Tcs of its full current with the smaller
normal heat capacity and, its current having moved to its neighbours, cools below a
higher Tcs with the larger superconducting one, so the heat the strands hold at a
temperature depends on the way there. That is the model as defined; its account books
the same heat capacities and closes. With 80 mW, which keeps every section below its
Tcs, the heat recomputed from the final state, {(rec['s80'][0] + rec['s80'][1]) * 1e6:.3f} µJ
(strands {rec['s80'][0] * 1e6:.3f} µJ), matches the account's
{(rec['s80'][2] + rec['s80'][3]) * 1e6:.3f} µJ (strands {rec['s80'][2] * 1e6:.3f} µJ).""")
