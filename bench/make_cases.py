#!/usr/bin/env python3
"""Writes the benchmark cases of the network solver below DIR/VORN_data/Bench/,
each a copy of the shipped Demo-001 with the values below changed.

usage: make_cases.py DIR [VORN]

With VORN (the program, for its `set` command) the cases of the suite run by
bench/run are written as well: Suite-A, -B, -C and -D below.
"""
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent / "examples" / "VORN_data" / "Demo"


def set_values(path, changes):
    """changes: {1-based position on the first line: new text}."""
    lines = path.read_text().splitlines()
    vals = [v.strip() for v in lines[0].split(",")]
    for k, v in changes.items():
        vals[k - 1] = v
    lines[0] = ", ".join(vals)
    path.write_text("\n".join(lines) + "\n")


def schedule(path, rows):
    """rows: (duration s, dBa1/dt T/s, dt s); row 0 is the start at rest."""
    text = "0  0.00  0  0.0  0.00  0  0  0  0  %g\n" % rows[0][2]
    for i, (dur, rate, dt) in enumerate(rows, start=1):
        text += "%d  %g  0  %g  0.0  0  0  0  0  %g\n" % (i, dur, rate, dt)
    path.write_text(text)


def make(dest, name, ns, nb, w_mm, th_mm, diam_mm, pitch_mm, ra_uohm, nbmut, rows):
    case = dest / "VORN_data" / "Bench" / ("Bench-" + name)
    if case.exists():
        shutil.rmtree(case)
    shutil.copytree(ROOT / "Demo-001", case)
    inp = case / "input"
    set_values(inp / "inp_STEP01.txt", {4: str(nb), 5: str(ns), 6: str(w_mm), 7: str(th_mm),
                                        8: str(th_mm), 11: str(diam_mm), 13: str(pitch_mm)})
    set_values(inp / "inp_STEP05.txt", {1: str(ra_uohm)})
    set_values(inp / "inp_STEP12.txt", {1: str(len(rows)), 3: str(nbmut)})
    schedule(inp / "inp_TimeSteps.txt", rows)


def derived(dest, name, demo, settings, steps=None):
    """A copy of Demo-<demo> as Suite-<name>, values changed by name with
    `vorn set`; steps, when given, replaces its time-step table."""
    case = dest / "VORN_data" / "Bench" / ("Bench-Suite" + name)
    if case.exists():
        shutil.rmtree(case)
    shutil.copytree(ROOT / ("Demo-" + demo), case)
    if settings:
        subprocess.run([VORN[0], "set", str(case)] + settings, check=True,
                       stdout=subprocess.DEVNULL)
    if steps is not None:
        (case / "input" / "inp_TimeSteps.txt").write_text(steps)
        set_values(case / "input" / "inp_STEP12.txt", {1: str(steps.count("\n") - 1)})


VORN = []


def suite(dest):
    """The cases users run, with schedules cut short so that the whole suite
    takes a few minutes on two cores."""
    # (a) coupling currents: 36 strands, 360 bands, NBMut = 8, 0.1 T/s in
    # 10 ms steps: the full case, 100 steps.
    make(dest, "SuiteA", 36, 360, 15.1, 1.5, 0.825, 115.0, 200.0, 8, [(1.0, 0.1, 0.01)])
    # (a') the same cable with NBMut = 1, where the explicit coupling
    # converges: the full case with the default solution, and the baseline
    # (the explicit coupling, eliminated afresh at every network solution)
    # for its first 6 steps after t = 0 (about 3 s per step).
    make(dest, "SuiteAp", 36, 360, 15.1, 1.5, 0.825, 115.0, 200.0, 1, [(1.0, 0.1, 0.01)])
    make(dest, "SuiteApBase", 36, 360, 15.1, 1.5, 0.825, 115.0, 200.0, 1, [(0.06, 0.1, 0.01)])
    # (b) heater quench, n-power law, adiabatic: the Demo-005 cable widened
    # to 28 strands of 1.065 mm and 100 bands; the first 0.75 ms of the
    # heater pulse in 50 us steps: 15 steps (the full case has about 200).
    derived(dest, "B", "005", ["NS=28", "NB=100", "w=15.1", "Th1=1.9", "Th2=1.9",
                               "DiamStr=1.065", "TPStr=115"],
            "0  0.000  0  0.0  5.0  0  0  0  2240.0  0.0001\n"
            "1  0.00075  0  0.0  0.0  0  0  0  0.0  0.00005\n")
    # (c) self field (Opt_SF = 1, NBSF = 5), 36 strands, 60 bands, a
    # transport-current ramp of 1000 A/s for 0.1 s in 10 ms steps.
    derived(dest, "C", "001", ["NS=36", "NB=60", "w=15.1", "Th1=1.5", "Th2=1.5",
                               "Opt_SF=1", "NBSF=5", "TPStr=115"],
            "0  0.0  0  0.0  0.0  0  0  0.0  0.0  0.01\n"
            "1  0.1  0  0.0  0.0  0  0  1000.0  100.0  0.01\n")
    # (d) quench-energy search, three runs, on a 12-strand cable (the
    # Demo-009 search on the strands of Demo-001).
    # Opt_PrIter = 1: the convergency files list the iterations of every
    # step, which the suite counts.
    derived(dest, "D", "009", ["NS=12", "w=5.0", "TPStr=60", "Opt_PrIter=1"])


def main():
    dest = Path(sys.argv[1])
    if len(sys.argv) > 2:
        VORN.append(sys.argv[2])
        suite(dest)
        return
    # 24 strands, 20 bands, NBMut = 2, 1 T/s for 30 ms (Demo-001 widened).
    for name, dt in (("A20ms", 0.02), ("A2ms", 0.002), ("A200us", 0.0002), ("A1us", 1e-6)):
        dur = 0.04 if dt >= 0.02 else min(0.03, 20 * dt)
        make(dest, name, 24, 20, 10.5, 1.6, 0.825, 60.0, 20.0, 2, [(dur, 1.0, dt)])
    # 28 strands, 112 bands, NBMut = 4, 0.01 T/s, Ra = 200 uOhm: 20 steps.
    for name, dt in (("B500ms", 0.5), ("B100ms", 0.1), ("B10ms", 0.01), ("B1ms", 0.001),
                     ("B1us", 1e-6)):
        make(dest, name, 28, 112, 15.1, 1.9, 1.065, 115.0, 200.0, 4, [(20 * dt, 0.01, dt)])
    # The 28-strand cable in a long 0.1 T/s ramp, for its coupling time constant.
    make(dest, "Btau", 28, 112, 15.1, 1.9, 1.065, 115.0, 200.0, 4, [(4.0, 0.1, 0.02)])
    # 36 strands, 120 bands, NBMut = 8, 0.1 T/s in 2 ms steps: 20 steps.
    for name, dt in (("C2ms", 0.002), ("C1us", 1e-6), ("C1s", 1.0)):
        make(dest, name, 36, 120, 15.1, 1.5, 0.825, 115.0, 200.0, 8, [(20 * dt, 0.1, dt)])


if __name__ == "__main__":
    main()
