"""Parameter studies with vorn (the program vorn-sweep).

vorn-sweep TEMPLATE_CASE sweep.toml makes one case per point of a parameter
grid in a sweep directory, runs the cases with GNU parallel (or as a Slurm
job array) and collects one results table.  Layout of the sweep directory:

    SWEEP/sweep.csv                  index: case number and its parameters
    SWEEP/results.csv                parameters, exit status, last message, results
    SWEEP/run_case.sh                runs one case (used by parallel and Slurm)
    SWEEP/sweep.sbatch               the Slurm batch script (--slurm)
    SWEEP/VORN_data/NAME/NAME-001/   the cases: input/, output/, Run01/, ...

A case is finished when its file "status" holds 0; a rerun of vorn-sweep
skips the finished cases and runs the others again; one stopped by SIGTERM
(status 143) with a checkpoint resumes from it (under Slurm at once).
"""

import argparse
import csv
import itertools
import math
import os
import shutil
import subprocess
import sys

import vorn_tables as vt
from vorn_sweep_jobs import (CHECKPOINT, PROG, RESUBMITS, STATUS, STOPPED,  # noqa: F401
                             SweepError, array_list, pending, run_local, submit_slurm,
                             write_run_script, write_slurm_script)

SLURM_KEYS = {"partition", "time", "mem", "account", "options", "signal_before",
              "max_resubmit"}


# --- the sweep file ---------------------------------------------------------
def load_sweep_file(path):
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        raise SweepError(f"{path}: {e.strerror}")
    if path.endswith((".yaml", ".yml")):
        try:
            import yaml
        except ImportError:
            raise SweepError(f"{path}: reading YAML needs python3-yaml "
                             f"(apt-get install python3-yaml), or write the sweep as TOML")
        try:
            data = yaml.safe_load(raw.decode("utf-8"))
        except yaml.YAMLError as e:
            raise SweepError(f"{path}: {e}")
    else:
        import tomllib
        try:
            data = tomllib.loads(raw.decode("utf-8"))
        except tomllib.TOMLDecodeError as e:
            raise SweepError(f"{path}: {e}")
    if not isinstance(data, dict):
        raise SweepError(f"{path}: expected tables such as [parameters]")
    return parse_sweep(path, data)


def _range_values(path, name, spec):
    known = {"start", "stop", "num", "log", "step"}
    unknown = set(spec) - known
    if unknown:
        raise SweepError(f"{path}: parameters.{name}: unknown key(s) {', '.join(sorted(unknown))}"
                         f" (a range has start, stop and num or step, and optionally log)")
    try:
        start, stop = float(spec["start"]), float(spec["stop"])
    except (KeyError, TypeError, ValueError):
        raise SweepError(f"{path}: parameters.{name}: a range needs numbers start and stop")
    if "step" in spec:
        step = float(spec["step"])
        if step == 0 or (stop - start) / step < 0:
            raise SweepError(f"{path}: parameters.{name}: step {step:g} does not lead from "
                             f"{start:g} to {stop:g}")
        n = int(math.floor((stop - start) / step + 1e-9)) + 1
        values = [start + k * step for k in range(n)]
    else:
        num = spec.get("num")
        if not isinstance(num, int) or num < 1:
            raise SweepError(f"{path}: parameters.{name}: num must be a positive integer")
        if spec.get("log"):
            if start <= 0 or stop <= 0:
                raise SweepError(f"{path}: parameters.{name}: a log range needs positive ends")
            values = [start * (stop / start) ** (k / (num - 1)) if num > 1 else start
                      for k in range(num)]
        else:
            values = [start + (stop - start) * k / (num - 1) if num > 1 else start
                      for k in range(num)]
    return [float(f"{v:.12g}") for v in values]


def _text(v):
    if isinstance(v, bool):
        raise ValueError("a true/false value")
    if isinstance(v, float):
        return f"{v:.12g}"
    return str(v)


def parse_sweep(path, data):
    allowed = {"name", "combine", "parameters", "fixed", "results", "slurm", "jobs", "plot",
               "split_runs"}
    unknown = set(data) - allowed
    if unknown:
        raise SweepError(f"{path}: unknown key(s) {', '.join(sorted(unknown))}; "
                         f"known: {', '.join(sorted(allowed))}")
    params = data.get("parameters")
    if not isinstance(params, dict) or not params:
        raise SweepError(f"{path}: [parameters] is missing or empty "
                         f"(e.g. RcCon = [5, 10, 20])")
    grid = {}
    for name, spec in params.items():
        if isinstance(spec, list):
            values = spec
        elif isinstance(spec, dict):
            values = _range_values(path, name, spec)
        else:
            values = [spec]
        if not values:
            raise SweepError(f"{path}: parameters.{name}: no values")
        try:
            grid[name] = [_text(v) for v in values]
        except ValueError as e:
            raise SweepError(f"{path}: parameters.{name}: {e} is not a value")
    combine = data.get("combine", "cross")
    if combine not in ("cross", "zip"):
        raise SweepError(f"{path}: combine = {combine!r}; it is 'cross' (every combination) "
                         f"or 'zip' (the lists side by side)")
    names = list(grid)
    if combine == "zip":
        lengths = {len(v) for v in grid.values()}
        if len(lengths) > 1:
            raise SweepError(f"{path}: combine = 'zip' needs lists of one length; found "
                             + ", ".join(f"{n}: {len(v)}" for n, v in grid.items()))
        points = [list(p) for p in zip(*grid.values())]
    else:
        points = [list(p) for p in itertools.product(*grid.values())]
    fixed = {k: _text(v) for k, v in (data.get("fixed") or {}).items()}
    results = data.get("results", {}).get("columns", ["max:Pt_T", "max:Ts_max", "last:Time"])
    for r in results:
        parse_result_spec(path, r)
    slurm = parse_slurm(path, data.get("slurm", {}))
    name = data.get("name") or os.path.splitext(os.path.basename(path))[0]
    if not name.replace("_", "").replace("-", "").isalnum():
        raise SweepError(f"{path}: name {name!r} may hold letters, digits, '-' and '_' only")
    plot = data.get("plot")
    if plot is not None:
        for key in ("x", "y"):
            if key not in plot:
                raise SweepError(f"{path}: [plot] needs {key} (a parameter or result column)")
        columns = names + results
        for key in ("x", "y", "group"):
            if key in plot and plot[key] not in columns:
                raise SweepError(f"{path}: plot.{key} = {plot[key]!r} is none of the columns "
                                 f"{', '.join(columns)}")
    split = data.get("split_runs", False)
    if not isinstance(split, bool):
        raise SweepError(f"{path}: split_runs = {split!r}; it is true or false")
    return {"name": name, "names": names, "points": points, "fixed": fixed,
            "results": results, "slurm": slurm, "jobs": data.get("jobs"), "plot": plot,
            "split_runs": split}


def parse_slurm(path, slurm):
    """[slurm] with the defaults of signal_before (s) and max_resubmit."""
    if not isinstance(slurm, dict):
        raise SweepError(f"{path}: slurm is a table: [slurm] time = \"01:00:00\", ...")
    unknown = set(slurm) - SLURM_KEYS
    if unknown:
        raise SweepError(f"{path}: slurm: unknown key(s) {', '.join(sorted(unknown))}; "
                         f"known: {', '.join(sorted(SLURM_KEYS))}")
    out = {"signal_before": 120, "max_resubmit": 10, **slurm}
    # Slurm takes the warning time as a 16-bit number of seconds.
    for key, top in (("signal_before", 65535), ("max_resubmit", 10**6)):
        v = out[key]
        if isinstance(v, bool) or not isinstance(v, int) or not 0 <= v <= top:
            raise SweepError(f"{path}: slurm.{key} = {v!r}; it is a whole number from 0 "
                             f"(none) to {top}")
    return out


RESULT_KINDS = ("last", "max", "min", "qe", "energy")


def parse_result_spec(path, spec):
    kind, _, column = str(spec).partition(":")
    if kind not in RESULT_KINDS or not column:
        raise SweepError(f"{path}: results.columns: {spec!r}; write KIND:COLUMN with KIND one of "
                         f"{', '.join(RESULT_KINDS)} (e.g. max:Pt_T, qe:E_HP_aver)")
    return kind, column


# --- the sweep directory ----------------------------------------------------
class Sweep:
    def __init__(self, sweep_dir, spec):
        self.dir = os.path.abspath(sweep_dir)
        self.spec = spec
        self.name = spec["name"]
        self.ids = [f"{k:03d}" for k in range(1, len(spec["points"]) + 1)]

    def case_dir(self, case_id):
        return os.path.join(self.dir, "VORN_data", self.name, f"{self.name}-{case_id}")

    def status(self, case_id):
        try:
            with open(os.path.join(self.case_dir(case_id), STATUS)) as f:
                return int(f.read().strip())
        except (OSError, ValueError):
            return None

    def last_message(self, case_id):
        d = self.case_dir(case_id)
        for path in (os.path.join(d, "output", "VORN_messages.dat"), os.path.join(d, "vorn.err")):
            try:
                with open(path, encoding="latin-1") as f:
                    lines = [ln.strip() for ln in f if ln.strip()]
            except OSError:
                continue
            if lines:
                return lines[-1]
        return ""


def qe_rows(template, vorn):
    """The rows of inp_QE.txt of a quench-energy template (one per run), or
    None when the template is no quench-energy search."""
    r = subprocess.run([vorn, "get", template, "Opt_HP", "NrRunT"], capture_output=True,
                       text=True)
    if r.returncode != 0:
        raise SweepError(r.stderr.strip())
    values = dict(line.split(" = ")[0:2] for line in r.stdout.splitlines())
    opt_hp = int(values["Opt_HP"].split()[0])
    runs = int(values["NrRunT"].split()[0])
    if opt_hp != 2 or runs <= 1:
        return None
    path = os.path.join(template, "input", "inp_QE.txt")
    try:
        with open(path, encoding="latin-1") as f:
            rows = [ln for ln in f.read().splitlines() if ln.strip()]
    except OSError as e:
        raise SweepError(f"{path}: {e.strerror}")
    if len(rows) < runs:
        raise SweepError(f"{path}: {runs} runs (NrRunT) but only {len(rows)} rows")
    return rows[:runs]


def split_points(spec, rows):
    """One case per grid point and run: a column "run" is added."""
    spec["names"] = spec["names"] + ["run"]
    spec["points"] = [p + [str(k)] for p in spec["points"] for k in range(1, len(rows) + 1)]


def index_rows(spec):
    return [[f"{k:03d}"] + p for k, p in enumerate(spec["points"], start=1)]


def create(sweep, template, vorn):
    spec = sweep.spec
    index = os.path.join(sweep.dir, "sweep.csv")
    header = ["case"] + spec["names"]
    rows = index_rows(spec)
    if os.path.exists(index):
        with open(index, newline="") as f:
            old = list(csv.reader(f))
        if old != [header] + rows:
            raise SweepError(f"{index}: the sweep directory holds another sweep; choose another "
                             f"directory with --dir or remove it")
    if not os.path.isdir(os.path.join(template, "input")):
        raise SweepError(f"Input directory not found: {os.path.abspath(template)}/input")
    runs = sorted(d for d in os.listdir(template)
                  if d.startswith("Run") and len(d) == 5 and d[3:].isdigit()) or ["Run01"]
    os.makedirs(sweep.dir, exist_ok=True)
    made = 0
    for case_id, point in zip(sweep.ids, spec["points"]):
        d = sweep.case_dir(case_id)
        if os.path.isdir(os.path.join(d, "input")):
            continue
        tmp = d + ".new"
        shutil.rmtree(tmp, ignore_errors=True)
        shutil.copytree(os.path.join(template, "input"), os.path.join(tmp, "input"))
        for sub in ["output"] + runs:
            os.makedirs(os.path.join(tmp, sub))
        assignments = [f"{k}={v}" for k, v in spec["fixed"].items()]
        assignments += [f"{k}={v}" for k, v in zip(spec["names"], point) if k != "run"]
        if "run" in spec["names"]:
            # This case's run of the search: its row of inp_QE.txt alone.
            run = int(point[spec["names"].index("run")])
            with open(os.path.join(tmp, "input", "inp_QE.txt"), "w") as f:
                f.write(spec["qe_rows"][run - 1] + "\n")
            assignments.append("NrRunT=1")
        r = subprocess.run([vorn, "set", tmp] + assignments, capture_output=True, text=True)
        if r.returncode != 0:
            shutil.rmtree(tmp, ignore_errors=True)
            raise SweepError(f"case {case_id} ({', '.join(assignments)}): "
                             + r.stderr.strip().replace(tmp, d))
        os.rename(tmp, d)
        made += 1
    with open(index, "w", newline="") as f:
        csv.writer(f).writerows([header] + rows)
    write_run_script(sweep, vorn)
    return made


# --- results --------------------------------------------------------------------
def _last_run(case_dir):
    runs = sorted(d for d in os.listdir(case_dir) if d.startswith("Run") and len(d) == 5)
    for r in reversed(runs):
        if os.path.isfile(os.path.join(case_dir, r, "Progress.dat")):
            return os.path.join(case_dir, r)
    return None


def result_value(case_dir, spec):
    kind, column = parse_result_spec("results", spec)
    if kind == "qe":
        path = os.path.join(case_dir, "output", "VORN_QE_Sum.dat")
    else:
        run = _last_run(case_dir)
        if run is None:
            return ""
        path = os.path.join(run, "Energy.dat" if kind == "energy" else "Progress.dat")
    if not os.path.isfile(path):
        return ""
    try:
        values = [v for v in vt.read_table(path).column(column) if math.isfinite(v)]
    except KeyError as e:
        raise SweepError(str(e.args[0]))
    except vt.TableError:
        return ""
    if not values:
        return ""
    v = {"max": max, "min": min}.get(kind, lambda x: x[-1])(values)
    return f"{v:.10g}"


def collect(sweep):
    spec = sweep.spec
    path = os.path.join(sweep.dir, "results.csv")
    header = ["case"] + spec["names"] + ["status"] + spec["results"] + ["last_message"]
    rows = []
    for case_id, point in zip(sweep.ids, spec["points"]):
        d = sweep.case_dir(case_id)
        st = sweep.status(case_id)
        values = [result_value(d, r) if st == 0 else "" for r in spec["results"]]
        rows.append([case_id] + point + ["" if st is None else st] + values
                    + [sweep.last_message(case_id) if st not in (0,) else ""])
    with open(path, "w", newline="") as f:
        csv.writer(f).writerows([header] + rows)
    return path, rows


def plot_results(sweep, rows):
    """results.png: column y against column x, one line per value of group."""
    spec = sweep.spec
    p = spec["plot"]
    header = ["case"] + spec["names"] + ["status"] + spec["results"] + ["last_message"]
    kx, ky = header.index(p["x"]), header.index(p["y"])
    kg = header.index(p["group"]) if "group" in p else None
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(8, 6), constrained_layout=True)
    groups = {}
    for r in rows:
        if r[ky] == "":
            continue
        groups.setdefault(r[kg] if kg is not None else "", []).append((float(r[kx]),
                                                                       float(r[ky])))
    for g, pts in groups.items():
        pts.sort()
        ax.plot(*zip(*pts), marker="o", label=f"{p['group']} = {g}" if kg is not None else None)
    if p.get("logx"):
        ax.set_xscale("log")
    if p.get("logy"):
        ax.set_yscale("log")
    ax.set_xlabel(p.get("xlabel", p["x"]))
    ax.set_ylabel(p.get("ylabel", p["y"]))
    ax.set_title(p.get("title", f"{sweep.name}: {p['y']} against {p['x']}"))
    if kg is not None:
        ax.legend()
    path = os.path.join(sweep.dir, "results.png")
    fig.savefig(path, dpi=100)
    plt.close(fig)
    return path


def report(sweep, rows, out):
    failed = [r for r in rows if r[len(sweep.spec["names"]) + 1] not in (0,)]
    done = len(rows) - len(failed)
    print(f"{PROG}: {done} of {len(rows)} cases finished", file=out)
    for r in failed:
        st = r[len(sweep.spec["names"]) + 1]
        what = "not run" if st == "" else f"exit status {st}"
        if st == STOPPED and os.path.isfile(os.path.join(sweep.case_dir(r[0]), CHECKPOINT)):
            what += ", stopped with a checkpoint: the next run resumes it"
        print(f"  case {r[0]} ({what}): {r[-1]}", file=out)
    return 0 if not failed else 1


def find_vorn(given):
    if given:
        if not os.access(given, os.X_OK):
            raise SweepError(f"--vorn {given}: not an executable program")
        return os.path.abspath(given)
    here = os.path.dirname(os.path.realpath(sys.argv[0] if sys.argv[0] else __file__))
    for cand in (os.path.join(here, "vorn"), os.path.join(here, "..", "bin", "vorn")):
        if os.access(cand, os.X_OK) and os.path.isfile(cand):
            return os.path.abspath(cand)
    found = shutil.which("vorn")
    if found:
        return found
    raise SweepError("the program vorn was not found next to vorn-sweep nor on PATH; "
                     "give it with --vorn")


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Runs a parameter study: one copy of TEMPLATE_CASE per point of the grid "
                    "in SWEEP_FILE (TOML or YAML), with GNU parallel or as a Slurm job array, "
                    "and collects results.csv.")
    ap.add_argument("template", metavar="TEMPLATE_CASE", help="the case directory to copy")
    ap.add_argument("sweep_file", metavar="SWEEP_FILE", help="the grid, e.g. sweep.toml")
    ap.add_argument("--dir", help="the sweep directory (default: NAME next to SWEEP_FILE)")
    ap.add_argument("-j", "--jobs", type=int, help="cases run at once (default: the file's "
                    "jobs, else the number of cores)")
    ap.add_argument("--slurm", action="store_true", help="submit a Slurm job array instead")
    ap.add_argument("--dry-run", action="store_true", help="with --slurm: only write the "
                    "batch script")
    ap.add_argument("--wait", action="store_true", help="with --slurm: wait for the array "
                    "and collect the results")
    ap.add_argument("--collect", action="store_true", help="only collect results.csv")
    ap.add_argument("--vorn", metavar="PATH", help="the program vorn to use")
    args = ap.parse_args(argv)
    try:
        spec = load_sweep_file(args.sweep_file)
        sweep_dir = args.dir or os.path.join(os.path.dirname(os.path.abspath(args.sweep_file)),
                                             spec["name"])
        vorn = find_vorn(args.vorn)
        if spec["split_runs"]:
            rows = qe_rows(args.template, vorn)
            if rows:
                spec["qe_rows"] = rows
                split_points(spec, rows)
        sweep = Sweep(sweep_dir, spec)
        if args.collect:
            _, rows = collect(sweep)
            if spec["plot"]:
                plot_results(sweep, rows)
            return report(sweep, rows, sys.stdout)
        made = create(sweep, args.template, vorn)
        print(f"{PROG}: {len(sweep.ids)} cases in {sweep.dir} ({made} new, "
              f"{len(sweep.ids) - len(pending(sweep))} finished before)")
        if args.slurm:
            path, job = submit_slurm(sweep, args.dry_run, args.wait)
            if path is None:
                print(f"{PROG}: every case is finished")
            elif job is None:
                print(f"{PROG}: wrote {path}; submit it with: sbatch {path}")
                return 0
            else:
                print(f"{PROG}: submitted {path} as job {job}")
                if not args.wait:
                    print(f"{PROG}: when it has finished: {PROG} --collect "
                          f"{args.template} {args.sweep_file}" +
                          (f" --dir {sweep.dir}" if args.dir else ""))
                    return 0
        else:
            jobs = args.jobs or spec["jobs"] or os.cpu_count() or 1
            run_local(sweep, jobs)
        path, rows = collect(sweep)
        print(f"{PROG}: results in {path}")
        if spec["plot"]:
            print(f"{PROG}: plot in {plot_results(sweep, rows)}")
        return report(sweep, rows, sys.stdout)
    except SweepError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
