#!/usr/bin/env python3
"""Writes the heater-quench benchmark cases below DIR/VORN_data/Bench/, each
a copy of the shipped Demo-005 (adiabatic, n-power law) with its cable,
field, current, heater and schedule changed by name with `vorn set`.

usage: quench_cases.py DIR VORN

  Bench-Q12: 12 strands, 24 bands (twist pitch 50 mm: 0.1 m of cable) at
             8 T and 6000 A; 100 uJ on one section (2 W for 50 us);
             5 ms in 10 us steps (500 steps).  The strand's Ic at 8 T is
             raised (C1 = 3910 A) so that 500 A per strand is 65 % of it,
             the load of Demo-005 (with Demo-005's strand the cable would
             carry 3.5 times its critical current from t = 0).
  Bench-Q28: the 28-strand, 100-band cable of the suite's case B at 5 T and
             7840 A, 300 uJ on one section (6 W for 50 us: 100 uJ heats
             its thicker strand to 8.6 K, and it recovers); 1 ms in 10 us
             steps (100 steps).
  Bench-Q05: Demo-005 as shipped (0.37 ms until VoltStop in 50 us steps).

VoltStop is raised so that the quench cases run to the end of their
schedule; Opt_PrIter = 1 lists every inner iteration in the convergency
file, which the benchmark counts.
"""
import shutil
import subprocess
import sys
from pathlib import Path

DEMO = Path(__file__).resolve().parent.parent / "examples" / "VORN_data" / "Demo"

# P mW from 0 to 50 us, times in ms; zero at the first point.
PULSE = "0 {band}\n0 5\n0.0 0.0\n0.0001 {mw}\n0.05 {mw}\n0.0501 0.0\n"


def schedule(field, current, end, dt):
    return ("0  0.000  0  0.0  %g  0  0  0  %g  %g\n" % (field, current, dt) +
            "1  %g  0  0.0  0.0  0  0  0  0.0  %g\n" % (end, dt))


def make(dest, vorn, name, settings, band, steps, mw=2000.0):
    case = dest / "VORN_data" / "Bench" / ("Bench-" + name)
    if case.exists():
        shutil.rmtree(case)
    shutil.copytree(DEMO / "Demo-005", case)
    inp = case / "input"
    if steps is not None:
        (inp / "inp_TimeSteps.txt").write_text(steps)
        (inp / "inp_EP.txt").write_text(PULSE.format(band=band, mw=mw))
        settings = settings + ["NrSteps_inp=1", "NrT_HP=4", "VoltStop=1.0E12"]
    subprocess.run([vorn, "set", str(case), "Opt_PrIter=1"] + settings, check=True,
                   stdout=subprocess.DEVNULL)


def main():
    dest, vorn = Path(sys.argv[1]), sys.argv[2]
    make(dest, vorn, "Q12", ["NS=12", "NB=24", "w=5.0", "TPStr=50", "ConIcA=3910"], 12,
         schedule(8.0, 6000.0, 0.005, 1e-5))
    make(dest, vorn, "Q28", ["NS=28", "NB=100", "w=15.1", "Th1=1.9", "Th2=1.9",
                             "DiamStr=1.065", "TPStr=115"], 50,
         schedule(5.0, 7840.0, 0.001, 1e-5), 6000.0)
    make(dest, vorn, "Q05", [], 8, None)


if __name__ == "__main__":
    main()
