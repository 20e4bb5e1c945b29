"""The physics that the shipped examples show, each run cut to a fraction of a
second: the worked parameter study examples/sweeps/rc_ramp.toml and the field
and current ramps Demo-001 to Demo-004.  The heater, magnetisation and
quench-energy examples Demo-005 to Demo-009 are checked by the end-to-end
tests of the program (tests/e2e, tests/magnetisation).

Units as in Progress.dat: powers in mW, fields in T, currents in A."""
import glob
import math
import os
import subprocess

import pytest

from conftest import SOURCE, copy_case, vorn_exe
import vorn_sweep
import vorn_tables as vt

DEMO = os.path.join(SOURCE, "examples", "VORN_data", "Demo")
SWEEP_FILE = os.path.join(SOURCE, "examples", "sweeps", "rc_ramp.toml")
MU0 = 4e-7 * math.pi


# --- helpers -------------------------------------------------------------------
def schedule(*rows):
    """inp_TimeSteps.txt: row 0 (the state at t = 0) and one row per interval
    (duration s, dBa1/dt T/s, dI/dt A/s, step s)."""
    dt0 = rows[0][3]
    lines = [f"0  0.0  0  0.0  0.0  0  0  0  0  {dt0}"]
    for k, (dur, bdot, idot, dt) in enumerate(rows, start=1):
        lines.append(f"{k}  {dur}  0  {bdot}  0.0  0  0  {idot}  0  {dt}")
    return "\n".join(lines) + "\n", len(rows)


def vorn(*args, cwd=None):
    r = subprocess.run([vorn_exe(), *map(str, args)], cwd=cwd, capture_output=True, text=True,
                       timeout=300)
    assert r.returncode == 0, f"vorn {' '.join(map(str, args))}: {r.stdout}{r.stderr}"
    return r.stdout


def make_case(root, nr, example, ramp=None, **values):
    """A copy of the shipped `example` as root/VORN_data/Demo/Demo-NR with the
    schedule `ramp` (rows for schedule()) and the step-file values set."""
    d = os.path.join(root, "VORN_data", "Demo", f"Demo-{nr}")
    copy_case(os.path.join(DEMO, example), d)
    if ramp:
        text, n = schedule(*ramp)
        with open(os.path.join(d, "input", "inp_TimeSteps.txt"), "w") as f:
            f.write(text)
        values["NrSteps_inp"] = n
    if values:
        vorn("set", d, *(f"{k}={v}" for k, v in values.items()))
    return d


def run_case(root, nr):
    # A relative root keeps the case paths short (the program allows 80 characters).
    vorn("Demo", nr, cwd=root)
    return os.path.join(root, "VORN_data", "Demo", f"Demo-{nr}")


def progress(case_dir):
    """Progress.dat of run 1 as {column: values}, the initial state (NTS 0) left out."""
    t = vt.read_table(os.path.join(case_dir, "Run01", "Progress.dat"))
    rows = [r for r in t.rows if r[0] >= 1]
    return {name: [r[k] for r in rows] for k, name in enumerate(t.names)}


def get(case_dir, *names):
    """Values of the step files as numbers, in the units of the files."""
    out = vorn("get", case_dir, *names)
    values = dict(line.split(" = ", 1) for line in out.splitlines())
    return [float(values[n].split()[0]) for n in names]


def filament_loss(case_dir, bdot):
    """Inter-filament coupling loss (mW) at dB/dt = bdot (T/s): 2 TauIF/mu0
    bdot^2 per unit strand volume; a strand crosses the width w twice per
    pitch TPStr, so each band holds 2 sqrt(w^2 + TPStr^2/4) of strand (all NS
    strands together)."""
    tau, nb, w, pitch, d = get(case_dir, "TauIF", "NB", "w", "TPStr", "DiamStr")
    volume = nb * 2 * math.hypot(w, pitch / 2) * 1e-3 * math.pi / 4 * (d * 1e-3) ** 2
    return 2 * tau / MU0 * bdot ** 2 * volume * 1e3


def increasing(values, strict=True):
    return all(b > a or (b == a and not strict) for a, b in zip(values, values[1:]))


# --- the worked parameter study ------------------------------------------------
def test_rc_ramp_sweep_has_inductance_and_scales_as_bdot_squared_over_rc(tmp_path):
    """The sweep's cases with RcCon >= 40 uOhm, whose coupling time constants
    (about 4 ms) end well within one 40 ms ramp, at its slowest and fastest
    ramp: the loss starts low and rises to a steady value that goes as
    (ramp factor)^2 / Rc, the value of the same cable without inductance."""
    exe = vorn_exe()
    spec = vorn_sweep.load_sweep_file(SWEEP_FILE)
    k_rc, k_f = spec["names"].index("RcCon"), spec["names"].index("C2_Opt")
    f_grid = [float(p[k_f]) for p in spec["points"]]
    spec["points"] = [p for p in spec["points"] if float(p[k_rc]) >= 40
                      and float(p[k_f]) in (min(f_grid), max(f_grid))]
    # Demo-001 cut to one ramp of 1 T/s (times C2_Opt) for 40 ms in 4 ms steps.
    ramp = [(0.04, 1.0, 0, 0.004)]
    template = make_case(tmp_path / "t", "001", "Demo-001", ramp, NrWrArrays=0, NrSignals=0)
    sweep = vorn_sweep.Sweep(str(tmp_path / "sweep"), spec)
    vorn_sweep.create(sweep, template, exe)
    env = {k: v for k, v in os.environ.items() if k != "VORN"}
    steady = {}
    for case_id, point in zip(sweep.ids, spec["points"]):
        subprocess.run([os.path.join(sweep.dir, "run_case.sh"), case_id], env=env, timeout=300)
        assert sweep.status(case_id) == 0, sweep.last_message(case_id)
        pc = progress(sweep.case_dir(case_id))["Pc_T"]
        what = f"RcCon {point[k_rc]}, C2_Opt {point[k_f]}: {pc}"
        # Inductances active: the coupling currents need time to build up.
        assert increasing(pc, strict=False), what
        assert pc[0] < 0.6 * pc[-1], what
        assert pc[-1] == pytest.approx(pc[-2], rel=2e-3), f"not steady; {what}"
        steady[float(point[k_rc]), float(point[k_f])] = pc[-1]
    rcs = sorted({rc for rc, _ in steady})
    f0, f1 = min(f_grid), max(f_grid)
    assert len(rcs) >= 2 and f1 > f0 and len(steady) == 2 * len(rcs)
    # Linear network: the currents follow the ramp rate, the loss its square.
    for rc in rcs:
        assert steady[rc, f1] == pytest.approx(steady[rc, f0] * (f1 / f0) ** 2, rel=1e-3), rc
    # Crossing-contact loss of coupling currents: (dB/dt)^2 / Rc.
    for f in (f0, f1):
        assert steady[rcs[0], f] * rcs[0] == pytest.approx(steady[rcs[-1], f] * rcs[-1],
                                                           rel=0.02), f

    # The same cable without inductance (C1_Opt = 0): the steady loss at once.
    make_case(tmp_path / "n", "001", "Demo-001", ramp, NrWrArrays=0, NrSignals=0,
              Nr_Opt=60, C1_Opt=0, C2_Opt=f1, RcCon=rcs[-1])
    pc = progress(run_case(tmp_path / "n", "001"))["Pc_T"]
    assert max(pc) - min(pc) < 1e-5 * pc[0]
    assert pc[0] == pytest.approx(steady[rcs[-1], f1], rel=2e-3)


# --- Demo-001 to Demo-004 --------------------------------------------------------
def test_demo001_coupling_currents_build_up_in_the_ramp_and_decay_after_it(tmp_path):
    """1 T/s for 30 ms, then 20 ms at constant field."""
    make_case(tmp_path, "001", "Demo-001")
    d = run_case(tmp_path, "001")
    p = progress(d)
    ramp = [k for k, r in enumerate(p["dBa1dt"]) if r == 1.0]
    hold = [k for k, r in enumerate(p["dBa1dt"]) if r == 0.0]
    assert ramp and len(hold) >= 4 and ramp[-1] < hold[0]
    # Inter-filament coupling loss: the closed form while the field ramps,
    # nothing once it stands.
    pf = filament_loss(d, 1.0)
    for k in ramp:
        assert p["PFs_T"][k] == pytest.approx(pf, rel=1e-5)
    assert all(p["PFs_T"][k] == 0 for k in hold)
    pc = p["Pc_T"]
    assert increasing([pc[k] for k in ramp])
    # After the ramp the currents decay with one dominant time constant: the
    # loss falls at nearly the same rate (1/s) over every step.
    decay = [(pc[k], p["dt"][k]) for k in hold]
    rates = [math.log(a / b) / dt for (a, _), (b, dt) in zip(decay, decay[1:])]
    assert all(r > 0 for r in rates), decay
    assert max(rates) < 1.05 * min(rates), rates


def test_demo002_infinitely_long_cable_tends_to_the_infinite_ramp_reference(tmp_path):
    """The one-band model of an infinitely long cable, its 1 T/s ramp kept up
    for 100 ms (ten coupling time constants): the loss rises to the
    steady-ramp solution computed apart (PcInf_T, PaInf_T)."""
    d = make_case(tmp_path, "002", "Demo-002", [(0.1, 1.0, 0, 0.004)], NrWrArrays=0,
                  NrSignals=0)
    p = progress(run_case(tmp_path, "002"))
    assert increasing(p["Pc_T"])
    assert p["Pc_T"][0] < 0.2 * p["PcInf_T"][0]
    assert p["Pc_T"][-1] == pytest.approx(p["PcInf_T"][-1], rel=2e-3)
    assert p["Pa_T"][-1] == pytest.approx(p["PaInf_T"][-1], rel=2e-3)
    assert p["PFs_T"][-1] == pytest.approx(filament_loss(d, 1.0), rel=1e-5)


def _wire_shares(case_dir):
    with open(os.path.join(case_dir, "input", "inp_StrCur.txt")) as f:
        rows = [line.split() for line in f if line.strip()]
    return [float(r[1]) for r in rows], [float(r[2]) for r in rows]


def test_demo003_unequal_feeds_give_a_loss_of_current_and_of_ramp_rate(tmp_path):
    """1000 A/s up to 1000 A, 0.5 s held, down to 0 A and held: the current
    enters and leaves the strands in unequal shares and crosses between them
    through the contacts."""
    make_case(tmp_path, "003", "Demo-003")
    d = run_case(tmp_path, "003")
    p = progress(d)
    t, cur, idot, pt = p["Time"], p["CPC"], p["dIdt"], p["Pt_T"]
    cur_at = {round(x, 6): c for x, c in zip(t, cur)}

    # The strands carry the shares of inp_StrCur.txt in the first band and
    # nearly those of the far end in the last one.
    share1, share2 = _wire_shares(d)
    snaps = sorted(glob.glob(os.path.join(d, "Run01", "*Cw.dat")))
    checked = 0
    for path in snaps:
        s = vt.read_snapshot(path)
        i = cur_at.get(round(s.time, 6), 0.0)
        if abs(i) < 100:
            continue
        ns = len(s.index)
        for k in range(ns):
            assert s.values[0][k] == pytest.approx(share1[k] * i / 100, abs=0.01), path
            assert s.values[-1][k] == pytest.approx(share2[k] * i / 100, abs=0.01 * i / ns), path
        checked += 1
    assert checked >= 4

    # Held at 1000 A the redistribution loss is steady.
    held = [x for x, c, r, tt in zip(pt, cur, idot, t) if c == 1000 and r == 0 and tt >= 1.2]
    assert len(held) >= 3 and max(held) - min(held) < 1e-4 * held[0] and held[0] > 0
    # On both ramps, once their transients have passed (0.3 s), the loss is
    # that of the current's pattern, scaled as the current squared, plus one
    # part of the ramp rate alone, the same at every current and in both
    # directions (a linear network).
    start_up = next(x for x, r in zip(t, idot) if r > 0)
    start_down = next(x for x, r in zip(t, idot) if r < 0)
    ramp = [(x, x - held[0] * (c / 1000) ** 2) for x, c, r, tt in zip(pt, cur, idot, t)
            if (r > 0 and tt >= start_up + 0.3) or (r < 0 and tt >= start_down + 0.3)]
    assert len(ramp) >= 20
    rate_part = sorted(rest for _, rest in ramp)[len(ramp) // 2]
    assert rate_part > 0.05 * held[0]
    for x, rest in ramp:
        assert rest == pytest.approx(rate_part, abs=0.01 * x)
    # Back at 0 A the coupling currents die out.
    assert t[-1] > 2.7
    assert all(x < 1e-3 * held[0] for x, tt in zip(pt, t) if tt >= 2.7)


def test_demo004_long_cable_loses_what_the_infinitely_long_one_does(tmp_path):
    """The 28-strand cable, four twist pitches long, in its 0.1 T/s ramp,
    without inductance (C1_Opt = 0 under Nr_Opt = 60), so that the first
    step is the steady ramp: it loses what the infinitely long cable does,
    computed apart (PcInf_T, PaInf_T), to 2 %."""
    d = make_case(tmp_path, "004", "Demo-004", [(0.005, 0.1, 0, 0.005)], Nr_Opt=60, C1_Opt=0,
                  C2_Opt=1)
    p = progress(run_case(tmp_path, "004"))
    assert p["Pc_T"][0] == pytest.approx(p["PcInf_T"][0], rel=0.02)
    assert p["P_IS_T"][0] == pytest.approx(p["PaInf_T"][0] + p["PcInf_T"][0], rel=0.02)
    assert p["PFs_T"][0] == pytest.approx(filament_loss(d, 0.1), rel=1e-5)
