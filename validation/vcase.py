"""Cases of the validation: copies of the shipped examples changed by name
with `vorn set`, run in a scratch directory, and their result files read
back (Progress.dat, Energy.dat, snapshots, VORN_QE_Sum.dat).

Nothing here computes physics: the references are in materials.py,
strand1d.py and netmodel.py, which never read the program's results."""
import os
import resource
import shutil
import subprocess
import sys

import numpy as np

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
DEMO = os.path.join(SOURCE, "examples", "VORN_data", "Demo")
sys.path.insert(0, os.path.join(SOURCE, "tools", "python"))
import vorn_tables  # noqa: E402  (the project's reader of the result tables)

MU0 = 4e-7 * np.pi


class RunError(RuntimeError):
    pass


class Runner:
    """The program and the scratch root below which the cases live; counts
    the CPU time of every run."""

    def __init__(self, exe, root):
        self.exe = exe
        self.root = root
        self.cpu = 0.0
        self.runs = 0
        os.makedirs(root, exist_ok=True)

    def case(self, sub, nr, demo):
        return Case(self, sub, nr, demo)

    def call(self, args, cwd=None, timeout=3000):
        """Runs the program; returns (exit status, stdout, stderr, CPU s)."""
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        p = subprocess.run([self.exe] + [str(a) for a in args], cwd=cwd, capture_output=True,
                           text=True, timeout=timeout)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        self.cpu += cpu
        return p.returncode, p.stdout, p.stderr, cpu


class Case:
    """ROOT/SUB/SUB-NR: a copy of the input of Demo-<demo>."""

    def __init__(self, runner, sub, nr, demo):
        self.runner, self.sub, self.nr = runner, sub, nr
        self.dir = os.path.join(runner.root, sub, f"{sub}-{nr}")
        if os.path.exists(self.dir):
            shutil.rmtree(self.dir)
        shutil.copytree(os.path.join(DEMO, f"Demo-{demo}", "input"), os.path.join(self.dir, "input"))
        self.cpu = 0.0

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def set(self, **values):
        args = ["set", self.dir] + [f"{k}={v}" for k, v in values.items()]
        rc, out, err, _ = self.runner.call(args)
        if rc != 0:
            raise RunError(f"vorn set {' '.join(args[2:])}: {out}{err}")
        return self

    def get(self, *names):
        """Values in the units of the files."""
        rc, out, err, _ = self.runner.call(["get", self.dir] + list(names))
        if rc != 0:
            raise RunError(f"vorn get: {out}{err}")
        vals = {}
        for line in out.splitlines():
            k, v = line.split(" = ", 1)
            vals[k.strip()] = float(v.split()[0])
        return [vals[n] for n in names] if len(names) != 1 else vals[names[0]]

    def schedule(self, rows, start=(0.0, 0.0, 0.0), dt0=None):
        """inp_TimeSteps.txt. start = (dBa1/dt, Ba1, I) at t = 0; rows =
        (duration s, dBa1/dt T/s, dI/dt A/s, dt s).  Ba1 and I follow."""
        bdot0, b, cur = start
        lines = [f"0  0.0  0  {bdot0:g}  {b:g}  0  0  0  {cur:g}  {dt0 or rows[0][3]:g}"]
        for k, (dur, bdot, idot, dt) in enumerate(rows, start=1):
            b += bdot * dur
            cur += idot * dur
            lines.append(f"{k}  {dur:g}  0  {bdot:g}  {b:g}  0  0  {idot:g}  {cur:g}  {dt:g}")
        with open(self.path("input", "inp_TimeSteps.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
        return self.set(NrSteps_inp=len(rows))

    def heater(self, band, section, points, **values):
        """inp_EP.txt with one heater: points = [(t ms, P mW), ...]; the other
        values are set together with the heater's (one validation)."""
        text = f"0 {band}\n0 {section}\n" + "".join(f"{t:g} {p:g}\n" for t, p in points)
        with open(self.path("input", "inp_EP.txt"), "w") as f:
            f.write(text)
        return self.set(NrT_HP=len(points), Nr_HP=1, **values)

    def uniform_heater(self, ns, w, lp, energy, dur_ms, **values):
        """Makes the case an infinitely long cable of one band (no section held
        at the ends) with a heater on every section, its power proportional to
        the section's length: `energy` (J) over dur_ms, so that the cable heats
        uniformly.  w, lp in m; the other values are set with the heater's."""
        secs, lengths = section_lengths(ns, w, lp)
        mw = energy / (dur_ms * 1e-3) * lengths / lengths.sum() * 1e3
        text = "0 " + " ".join("1" for _ in secs) + "\n0 " + " ".join(map(str, secs)) + "\n"
        text += "0 " + " ".join("0" for _ in secs) + "\n"
        for t in (0.001, dur_ms):
            text += "%g " % t + " ".join("%.8g" % x for x in mw) + "\n"
        text += "%g " % (dur_ms + 0.001) + " ".join("0" for _ in secs) + "\n"
        self.write_input("inp_EP.txt", text)
        return self.set(Opt_Cable=1, NB=1, NBMut=0, Opt_HP=1, Opt_UnifCur1=0, NrT_HP=4,
                        Nr_HP=len(secs), **values)

    def write_input(self, name, text):
        with open(self.path("input", name), "w") as f:
            f.write(text)

    def run(self, timeout=3000, ok_status=(0,)):
        rc, out, err, cpu = self.runner.call(
            ["--root", ".", "--create", "--fresh", self.sub, self.nr], cwd=self.runner.root,
            timeout=timeout)
        self.cpu += cpu
        self.runner.runs += 1
        self.status = rc
        if rc not in ok_status:
            raise RunError(f"{self.dir}: exit status {rc}: {err.strip()[-400:]}")
        return self

    # --- results ---------------------------------------------------------------
    def table(self, name, run=1, block=-1):
        """A column table of the run directory (or output/ for *_Sum.dat) as
        {column: numpy array} of one block (the last by default)."""
        where = "output" if name.endswith("_Sum.dat") else f"Run{run:02d}"
        t = vorn_tables.read_table(self.path(where, name))
        b = t.blocks[block]
        rows = np.array(b.rows, dtype=float)
        if rows.size == 0:
            rows = np.zeros((0, len(b.names)))
        return {n: rows[:, k] for k, n in enumerate(b.names)}

    def progress(self, run=1, block=-1):
        return self.table("Progress.dat", run, block)

    def energy(self, run=1, block=-1):
        return self.table("Energy.dat", run, block)

    def worst_residual(self, runs=(1,)):
        """Largest |Residual_rel| of Energy.dat over every block (each QE
        iteration starts one) of the given runs, from the line on which the
        heat put in has reached 1 % of the block's total: before, the ratio
        divides the solver's tolerance by almost nothing."""
        worst = 0.0
        for run in runs:
            t = vorn_tables.read_table(self.path(f"Run{run:02d}", "Energy.dat"))
            for b in t.blocks:
                if not b.rows:
                    continue
                put = sum(np.array(b.column(n)) for n in ("E_HP", "E_Joule", "E_Contacts", "E_IFC"))
                rel = np.abs(np.array(b.column("Residual_rel")))[put >= 0.01 * put[-1]]
                worst = max(worst, float(rel.max()))
        return worst

    def snapshots(self, name, run=1):
        """Every snapshot of the array file `name` (e.g. 'Ts.dat'), by time."""
        d = self.path(f"Run{run:02d}")
        files = sorted(f for f in os.listdir(d) if vorn_tables.is_snapshot_name(f)
                       and f.endswith(" " + name))
        return [vorn_tables.read_snapshot(os.path.join(d, f)) for f in files]

    def summary_lines(self):
        with open(self.path("output", "Summary.dat"), encoding="latin-1") as f:
            return f.read().splitlines()


def section_lengths(ns, w, lp):
    """Sections 2..2ns-1 of a band and their strand lengths (m): the edge
    sections 2 and 2ns-1 twice the others.  w, lp in m."""
    secs = np.arange(2, 2 * ns)
    twice = np.where((secs == 2) | (secs == 2 * ns - 1), 2.0, 1.0)
    return secs, twice * np.hypot(w, lp / 2) / ns


def series(case, name, run=1):
    """(times, values) of every snapshot of `name`: values[time, band, index]."""
    snaps = case.snapshots(name, run)
    return (np.array([s.time for s in snaps]),
            np.array([snapshot_array(s)[2] for s in snaps]))


def snapshot_array(s):
    """(bands, index, values / multiplier) of a snapshot."""
    v = np.array(s.values, dtype=float) / (s.multiplier or 1.0)
    return np.array(s.bands if s.bands else [0]), np.array(s.index), v


def wr_arrays(case, codes, dt_nts=None):
    """inp_WrArrays.txt with the given (code, multiplier) rows."""
    text = "".join(f"{k}  {c}  {m:g}  0  0  0  0  0\n" for k, (c, m) in enumerate(codes, start=1))
    case.write_input("inp_WrArrays.txt", text)
    values = {"NrWrArrays": len(codes)}
    if dt_nts is not None:
        values["dt_NTS"] = dt_nts
    case.set(**values)
