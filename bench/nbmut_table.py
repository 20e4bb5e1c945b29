#!/usr/bin/env python3
"""Coupling loss of finite cables against NBMut, NB, CsAcc and the time step:
the Markdown tables of docs/choosing-the-model.md.

usage: nbmut_table.py VORN [WORK_DIR [NBMUT,NBMUT,...]]

VORN is the program; the cases are written below WORK_DIR/VORN_data/Nbmut/
(default build/nbmut), each a copy of the input of the shipped Demo-004 with
its cable, NBMut, CsAcc and schedule set by name with `vorn set`.  The NBMut
values default to 1,2,4,8,14; the relative differences are taken from the
last.  Every case: constant resistivity, constant temperature, no self field,
a field ramp perpendicular to the broad face from t = 0.

Table 1, per cable and NBMut, two runs:
  transient: the ramp runs for RAMP_END s, then the field stays constant for
             DECAY s (4 ms steps while the coupling currents rise, in the
             last 80 ms of the ramp and while they decay; 40 ms in between);
  steady:    the same ramp solved with steps of 10^4 s, which leave the
             inductive voltages out: what a ramp long against every time
             constant of the cable approaches.
  The loss is Pa_T + Pc_T of Progress.dat (adjacent plus crossing contacts).
  Rise time: when the coupling currents, sqrt(loss / steady loss), reach
  1 - 1/e of their steady value; decay time: when, after the ramp has
  stopped, they have fallen to 1/e of their value at its end (both
  interpolated linearly between steps).  CsAcc = 1e-4 A: the solver's
  tolerance, 10^-3 CsAcc, lies far below the coupling currents.
Table 2: the steady loss of the 28-strand cable against its length (NB),
  with the loss of an infinitely long cable (PaInf_T + PcInf_T) beside it.
Table 3: the transient run of the 36-strand cable with NBMut = 4 at several
  CsAcc.
Table 4: the first 0.4 s of the ramp of the 28-strand cable with NBMut = 4
  at several time steps.

Each run takes a few seconds to about a quarter of a minute on two cores;
all of them about three minutes.
"""
import math
import resource
import shutil
import subprocess
import sys
from pathlib import Path

DEMO = Path(__file__).resolve().parent.parent / "examples" / "VORN_data" / "Demo" / "Demo-004"

NBMUTS = (1, 2, 4, 8, 14)
RAMP_END = 2.0   # s
DECAY = 0.4      # s

# tag, description, rate (T/s), values set by name
CABLES = (
    ("C28", "28 strands of 1.065 mm, 15.1 mm × 1.9 mm, twist pitch 115 mm, "
            "Ra = 200 µΩ, Rc = 15 µΩ, 112 bands (four twist pitches, 0.46 m; the cable of "
            "`Demo-004`), 0.1 T/s", 0.1,
     ["NS=28", "NB=112", "w=15.1", "Th1=1.9", "Th2=1.9", "DiamStr=1.065",
      "TPStr=115", "RaCon=200", "RcCon=15"]),
    ("C36", "36 strands of 0.825 mm, 15.1 mm × 1.5 mm, twist pitch 100 mm, "
            "Ra = 200 µΩ, Rc = 20 µΩ, 144 bands (four twist pitches, 0.4 m), 0.01 T/s", 0.01,
     ["NS=36", "NB=144", "w=15.1", "Th1=1.5", "Th2=1.5", "DiamStr=0.825",
      "TPStr=100", "RaCon=200", "RcCon=20"]),
)
BANDS = (28, 56, 112, 224, 448)
CSACCS = (0.1, 0.01, 1e-3, 1e-4)
TIME_STEPS = (0.04, 0.02, 0.01, 0.004, 0.002, 0.001)  # s

COMMON = ["Opt_RsCalc=1", "Opt_Temp=0", "Opt_SF=0", "Opt_PrIter=0",
          "dt_Prog=1e-6", "dt_NTS=1e9", "dT_NTS=1e9", "dI_NTS=1e9", "NrWrArrays=0",
          "NrSignals=0", "Opt_PrMat=0", "Opt_Magn=0", "Opt_HP=0"]


def transient_schedule(rate):
    """Rows: running number, duration, unused, dBa1/dt, Ba1 at the end,
    dBa2/dt, Ba2, dI/dt, current, time step."""
    rows = [(0.4, rate, 0.004), (RAMP_END - 0.48, rate, 0.04), (0.08, rate, 0.004),
            (DECAY, 0.0, 0.004)]
    text = "0  0.0  0  0.0  0.0  0  0  0  0  0.004\n"
    b = 0.0
    for i, (dur, r, dt) in enumerate(rows, start=1):
        b += r * dur
        text += "%d  %g  0  %g  %.6g  0  0  0  0  %g\n" % (i, dur, r, b, dt)
    return text, len(rows)


def steady_schedule(rate):
    return ("0  0.0  0  0.0  0.0  0  0  0  0  1e4\n"
            "1  2e4  0  %g  %.6g  0  0  0  0  1e4\n" % (rate, rate * 2e4)), 1


def case_dir(work, name):
    return work / "VORN_data" / "Nbmut" / ("Nbmut-" + name)


def make_case(work, vorn, name, settings, schedule):
    case = case_dir(work, name)
    if case.exists():
        shutil.rmtree(case)
    case.mkdir(parents=True)
    shutil.copytree(DEMO / "input", case / "input")
    text, nrows = schedule
    (case / "input" / "inp_TimeSteps.txt").write_text(text)
    subprocess.run([vorn, "set", str(case), "NrSteps_inp=%d" % nrows] + COMMON + settings,
                   check=True, stdout=subprocess.DEVNULL)


def run(work, vorn, name):
    """Runs the case; returns its Progress.dat rows as lists of floats and
    the CPU seconds of the run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run([vorn, "--root", str(work / "VORN_data"), "--create", "--fresh",
                    "Nbmut", name], check=True, stdout=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    text = (case_dir(work, name) / "Run01" / "Progress.dat").read_text()
    return [[number(x) for x in line.split(",")] for line in text.splitlines()[2:]], cpu


def number(field):
    """A value too wide for its field is written as asterisks (the 10^4 s
    time step of the steady runs)."""
    return float("nan") if "*" in field else float(field)


# Progress.dat columns (0-based)
TIME, RATE, PA, PC, PAINF, PCINF, CC_MAX = 2, 3, 16, 17, 22, 23, 32


def loss(row):
    return row[PA] + row[PC]


def crossing(pts, level, rising):
    """First time at which the points (t, u) cross level (linear)."""
    for (t0, u0), (t1, u1) in zip(pts, pts[1:]):
        if (rising and u0 < level <= u1) or (not rising and u0 > level >= u1):
            return t0 + (t1 - t0) * (level - u0) / (u1 - u0)
    return float("nan")


def at(pts, t):
    for (t0, p0), (t1, p1) in zip(pts, pts[1:]):
        if t0 <= t <= t1:
            return p0 + (p1 - p0) * (t - t0) / (t1 - t0)
    return float("nan")


def measure(rows, steady):
    """The ramp ends with the last written step that still has the ramp's
    rate (the step that ends at RAMP_END itself may already have rate 0)."""
    last = max(i for i, r in enumerate(rows) if r[RATE] != 0.0)
    t_end, p_end = rows[last][TIME], loss(rows[last])
    rise = [(r[TIME], math.sqrt(max(loss(r), 0.0) / steady)) for r in rows[:last + 1]]
    decay = [(r[TIME], math.sqrt(max(loss(r), 0.0) / p_end)) for r in rows[last:]]
    return {
        "rise": crossing(rise, 1.0 - math.exp(-1.0), True) * 1e3,
        "p01": at([(r[TIME], loss(r)) for r in rows], 0.1),
        "pend": p_end,
        "ccmax": rows[last][CC_MAX],
        "decay": (crossing(decay, math.exp(-1.0), False) - t_end) * 1e3,
    }


def rel(v, ref):
    d = 100.0 * (v - ref) / ref
    return ("%+.2f %%" % d).replace("-", "−") if abs(d) >= 0.005 else "0.00 %"


def nbmut_table(work, vorn, nbmuts, tag, text, rate, cable):
    results = {}
    for m in nbmuts:
        s_name, t_name = "%s-S%02d" % (tag, m), "%s-T%02d" % (tag, m)
        settings = cable + ["NBMut=%d" % m, "CsAcc=1e-4"]
        make_case(work, vorn, s_name, settings, steady_schedule(rate))
        make_case(work, vorn, t_name, settings, transient_schedule(rate))
        s_rows, _ = run(work, vorn, s_name)
        t_rows, t_cpu = run(work, vorn, t_name)
        r = measure(t_rows, loss(s_rows[-1]))
        r["steady"], r["cpu"] = loss(s_rows[-1]), t_cpu
        results[m] = r
        print("%s NBMut=%d: %s" % (tag, m, r), file=sys.stderr)
    ref = results[nbmuts[-1]]
    print("\n%s.\n" % text)
    print("| `NBMut` | rise time (ms) | loss at 0.1 s (mW) | loss at the end of the "
          "%g s ramp (mW) | steady loss (mW) | decay time (ms) | CPU (s) |" % RAMP_END)
    print("|---:|---:|---:|---:|---:|---:|---:|")
    for m in nbmuts:
        r = results[m]
        cells = ["%s (%s)" % (fmt % r[key], rel(r[key], ref[key]))
                 for key, fmt in (("rise", "%.1f"), ("p01", "%#.5g"), ("pend", "%#.5g"),
                                  ("steady", "%#.6g"), ("decay", "%.1f"))]
        print("| %d | %s | %.1f |" % (m, " | ".join(cells), r["cpu"]))


def bands_table(work, vorn):
    tag, text, rate, cable = CABLES[0]
    print("\nSteady loss of the 28-strand cable against its length, 0.1 T/s "
          "(`NBMut` = 1: the steady loss does not depend on it).\n")
    print("| `NB` | twist pitches | length (m) | loss (mW) | loss per metre (mW/m) "
          "| infinitely long cable (mW/m) | ratio |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    for nb in BANDS:
        name = "%s-L%03d" % (tag, nb)
        settings = [c for c in cable if not c.startswith("NB=")] + \
            ["NB=%d" % nb, "NBMut=1", "CsAcc=1e-4"]
        make_case(work, vorn, name, settings, steady_schedule(rate))
        rows, _ = run(work, vorn, name)
        length = nb * 0.115 / 28
        p, p_inf = loss(rows[-1]), rows[-1][PAINF] + rows[-1][PCINF]
        print("| %d | %g | %.3f | %#.5g | %#.5g | %#.5g | %.4f |"
              % (nb, nb / 28, length, p, p / length, p_inf / length, p / p_inf))


def csacc_table(work, vorn):
    tag, text, rate, cable = CABLES[1]
    print("\nThe 36-strand cable, `NBMut` = 4, 0.01 T/s, against `CsAcc`.\n")
    print("| `CsAcc` (A) | loss at 0.1 s (mW) | loss at the end of the ramp (mW) "
          "| largest crossing-contact current (A) | CPU (s) |")
    print("|---:|---:|---:|---:|---:|")
    results = {}
    for a in CSACCS:
        name = "%s-A%g" % (tag, a)
        make_case(work, vorn, name, cable + ["NBMut=4", "CsAcc=%g" % a],
                  transient_schedule(rate))
        rows, cpu = run(work, vorn, name)
        results[a] = measure(rows, 1.0), cpu
    ref = results[CSACCS[-1]][0]
    for a in CSACCS:
        r, cpu = results[a]
        print("| %g | %#.6g (%s) | %#.6g (%s) | %#.6g (%s) | %.1f |"
              % (a, r["p01"], rel(r["p01"], ref["p01"]), r["pend"], rel(r["pend"], ref["pend"]),
                 r["ccmax"], rel(r["ccmax"], ref["ccmax"]), cpu))


def time_step_table(work, vorn):
    tag, text, rate, cable = CABLES[0]
    print("\nThe 28-strand cable, `NBMut` = 4, 0.1 T/s, against the time step.\n")
    print("| time step (ms) | rise time (ms) | loss at 0.12 s (mW) | loss at 0.4 s (mW) "
          "| CPU (s) |")
    print("|---:|---:|---:|---:|---:|")
    steady_name = "%s-S04" % tag
    make_case(work, vorn, steady_name, cable + ["NBMut=4", "CsAcc=1e-4"],
              steady_schedule(rate))
    steady = loss(run(work, vorn, steady_name)[0][-1])
    results = {}
    for dt in TIME_STEPS:
        name = "%s-D%g" % (tag, dt * 1e3)
        schedule = ("0  0.0  0  0.0  0.0  0  0  0  0  %g\n"
                    "1  0.4  0  %g  %g  0  0  0  0  %g\n" % (dt, rate, 0.4 * rate, dt)), 1
        make_case(work, vorn, name, cable + ["NBMut=4", "CsAcc=1e-4"], schedule)
        rows, cpu = run(work, vorn, name)
        pts = [(r[TIME], loss(r)) for r in rows]
        rise = [(t, math.sqrt(max(p, 0.0) / steady)) for t, p in pts]
        results[dt] = (crossing(rise, 1.0 - math.exp(-1.0), True) * 1e3, at(pts, 0.12),
                       at(pts, 0.4), cpu)
    ref = results[TIME_STEPS[-1]]
    for dt in TIME_STEPS:
        r = results[dt]
        print("| %g | %.1f (%s) | %#.5g (%s) | %#.5g (%s) | %.1f |"
              % (dt * 1e3, r[0], rel(r[0], ref[0]), r[1], rel(r[1], ref[1]),
                 r[2], rel(r[2], ref[2]), r[3]))


def main():
    vorn = str(Path(sys.argv[1]).resolve())
    work = Path(sys.argv[2] if len(sys.argv) > 2 else "build/nbmut").resolve()
    nbmuts = NBMUTS
    if len(sys.argv) > 3:
        nbmuts = tuple(int(x) for x in sys.argv[3].split(","))
    for cable in CABLES:
        nbmut_table(work, vorn, nbmuts, *cable)
    bands_table(work, vorn)
    csacc_table(work, vorn)
    time_step_table(work, vorn)


if __name__ == "__main__":
    main()
