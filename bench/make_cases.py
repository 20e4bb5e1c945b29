#!/usr/bin/env python3
"""Writes the benchmark cases of the network solver below DIR/VORN_data/Bench/,
each a copy of the shipped Demo-001 with the values below changed.

usage: make_cases.py DIR
"""
import shutil
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


def main():
    dest = Path(sys.argv[1])
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
