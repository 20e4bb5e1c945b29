"""Pictures of the result files of a vorn case (the program vorn-plot)."""

import argparse
import glob
import math
import os
import re
import sys

import vorn_tables as vt

PROG = "vorn-plot"


class PlotError(Exception):
    """A stop of vorn-plot: the message names the file."""


def _mpl():
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    return plt


def _label(name, unit):
    return f"{name} [{unit}]" if unit and unit != "-" else name


def _finite(values):
    return [v if v is not None and math.isfinite(v) else math.nan for v in values]


# --- the index of the columns of a snapshot -------------------------------
_INDEX_WORDS = [
    (re.compile(r"^(Ca|Pa|HF_adj)(_Inf)?$"), "band", "adjacent contact"),
    (re.compile(r"^(Cc|Pc|HF_cross)(_Inf)?$"), "band boundary", "crossing contact"),
    (re.compile(r"^BFL"), None, "point on the line"),
    (re.compile(r"(w|wZ|_w|w-THw)$"), "band", "wire"),
    (re.compile(r"(p|_p|p-THp)(_Inf)?$|^BSFp|^BTp"), "band", "position"),
]


def index_words(short_name):
    """(row word, column word) of a snapshot array's short name."""
    for rx, row, col in _INDEX_WORDS:
        if rx.search(short_name):
            return row, col
    return "band", "section"


def read_volt_stop(case_dir):
    """VoltStop (uV) of the case: the second value of inp_STEP12.txt."""
    path = os.path.join(case_dir, "input", "inp_STEP12.txt")
    try:
        with open(path, encoding="latin-1") as f:
            tokens = re.split(r"[,\s]+", f.read().strip())
        return float(tokens[1].replace("D", "E"))
    except (OSError, IndexError, ValueError):
        return None


class Plotter:
    def __init__(self, out_dir, formats, dpi):
        self.out_dir = out_dir
        self.formats = formats
        self.dpi = dpi
        self.written = []
        self.plt = _mpl()

    def save(self, fig, stem):
        for ext in self.formats:
            path = os.path.join(self.out_dir, f"{stem}.{ext}")
            fig.savefig(path, dpi=self.dpi)
            self.written.append(path)
        self.plt.close(fig)

    # --- Progress.dat ----------------------------------------------------
    def progress(self, path, stem, volt_stop):
        t = vt.read_table(path)
        time = t.column("Time")
        fig, ax = self.plt.subplots(2, 2, figsize=(12, 8), constrained_layout=True)
        fig.suptitle(path)
        a = ax[0][0]
        for name in ("Ba1", "Ba2"):
            a.plot(time, t.column(name), label=_label(name, t.unit(name)))
        a.set_xlabel(_label("Time", t.unit("Time")))
        a.set_ylabel("field [T]")
        a2 = a.twinx()
        a2.plot(time, t.column("CPC"), "k--", label=_label("CPC", t.unit("CPC")))
        a2.set_ylabel(_label("CPC", t.unit("CPC")))
        a.legend(loc="upper left")
        a2.legend(loc="upper right")
        a.set_title("Applied field and cable current")

        a = ax[0][1]
        drawn = False
        for name in ("Pa_T", "Pc_T", "Ps_T", "PFs_T", "P_HP_T", "HF_He_T"):
            if name not in t.names:
                continue
            v = [x if x > 0 else math.nan for x in _finite(t.column(name))]
            if any(math.isfinite(x) for x in v):
                a.plot(time, v, label=name)
                drawn = True
        if drawn:
            a.set_yscale("log")
            a.legend()
        else:
            a.text(0.5, 0.5, "all powers are zero", ha="center", transform=a.transAxes)
        a.set_xlabel(_label("Time", t.unit("Time")))
        a.set_ylabel(f"power [{t.unit('Pa_T')}]")
        a.set_title("Powers")

        a = ax[1][0]
        for name in ("Ts_max", "THs_max"):
            a.plot(time, t.column(name), label=name)
        a.set_xlabel(_label("Time", t.unit("Time")))
        a.set_ylabel(f"temperature [{t.unit('Ts_max')}]")
        a.legend()
        a.set_title("Highest temperatures")

        a = ax[1][1]
        name = "Pt_T/CPC"
        a.plot(time, t.column(name), label="resistive voltage")
        if volt_stop is not None:
            a.axhline(volt_stop, color="r", linestyle=":", label=f"VoltStop = {volt_stop:g} uV")
        a.set_xlabel(_label("Time", t.unit("Time")))
        a.set_ylabel(_label(name, t.unit(name)))
        a.legend()
        a.set_title("Resistive voltage")
        self.save(fig, stem)
        return t

    # --- Signals.dat ------------------------------------------------------
    def signals(self, path, stem):
        t = vt.read_table(path)
        b = t.blocks[-1]
        multipliers = []
        for _, line in t.text:
            f = [x.strip() for x in line.split(",")]
            if f and f[0] == "Multipl.":
                multipliers = [vt.parse_number(x) for x in f[2:]]
        n = len(b.names) - 2
        fig, axes = self.plt.subplots(max(n, 1), 1, figsize=(10, 2.5 + 2 * n), squeeze=False,
                                      constrained_layout=True)
        fig.suptitle(path)
        time = t.column(b.names[1])
        for k in range(n):
            a = axes[k][0]
            unit = b.units[k + 2].strip("()")
            mult = multipliers[k] if k < len(multipliers) else None
            if mult not in (None, 1.0):
                unit = f"{unit} x {mult:g}"
            a.plot(time, [r[k + 2] for r in t.rows])
            a.set_ylabel(_label(f"{k + 1}: {b.names[k + 2]}", unit))
            a.set_xlabel(_label(b.names[1], b.unit(b.names[1])))
        self.save(fig, stem)

    # --- Energy.dat -------------------------------------------------------
    def energy(self, path, stem):
        t = vt.read_table(path)
        time = t.column("Time")
        fig, ax = self.plt.subplots(2, 1, figsize=(10, 8), sharex=True, constrained_layout=True)
        fig.suptitle(path)
        for name in t.names[2:]:
            if name in ("Residual", "Residual_rel"):
                continue
            ax[0].plot(time, t.column(name), label=name)
        ax[0].set_ylabel(f"energy [{t.unit('E_HP')}]")
        ax[0].legend(ncol=3)
        ax[0].set_title("Cumulative energies")
        ax[1].plot(time, t.column("Residual_rel"))
        ax[1].set_ylabel(_label("Residual_rel", t.unit("Residual_rel")))
        ax[1].set_xlabel(_label("Time", t.unit("Time")))
        ax[1].set_title("Relative residual of the energy balance")
        self.save(fig, stem)

    # --- Mp.dat -----------------------------------------------------------
    def magnetisation(self, path, stem, progress):
        t = vt.read_table(path)
        title = next((line.strip() for _, line in t.text if "[" in line), "Magnetisation, M [mT]")
        unit = re.search(r"\[([^\]]*)\]", title)
        unit = unit.group(1) if unit else ""
        m = t.column("Aver")
        fig, a = self.plt.subplots(figsize=(8, 6), constrained_layout=True)
        fig.suptitle(path)
        x, xlabel = None, None
        if progress is not None:
            ba = dict(zip(progress.column("NTS"), progress.column("Ba1")))
            nts = t.column("NTS")
            if all(n in ba for n in nts):
                x = [ba[n] for n in nts]
                xlabel = _label("Ba1", progress.unit("Ba1"))
        if x is None:
            x = t.column("time")
            xlabel = "time [s]"
        a.plot(x, m, marker=".", markersize=3)
        a.set_xlabel(xlabel)
        a.set_ylabel(_label("M (mean over the bands)", unit))
        a.set_title("Magnetisation loop" if xlabel.startswith("Ba1") else "Magnetisation")
        a.axhline(0, color="grey", linewidth=0.5)
        self.save(fig, stem)

    # --- VORN_QE.dat ------------------------------------------------------
    def qe(self, path, stem):
        t = vt.read_table(path)
        fig, ax = self.plt.subplots(figsize=(9, 6), constrained_layout=True)
        fig.suptitle(path)
        if not t.rows:
            ax.text(0.5, 0.5, "no decision lines", ha="center", transform=ax.transAxes)
        else:
            it = t.column("Iter")
            current = len(set(t.column("TC"))) > 1 and len(set(t.column("E_HP"))) == 1
            trial, lo, hi = ("TC", "TC_min", "TC_max") if current else ("E_HP", "E_HP_min",
                                                                         "E_HP_max")
            dec = t.column("QE_Dec")
            y = t.column(trial)
            q = [(i, v) for i, v, d in zip(it, y, dec) if d == 1]
            nq = [(i, v) for i, v, d in zip(it, y, dec) if d != 1]
            if q:
                ax.plot(*zip(*q), "rv", markersize=9, label="quench")
            if nq:
                ax.plot(*zip(*nq), "g^", markersize=9, label="no quench")
            ax.step(it, t.column(lo), "k:", where="post", label="bracket")
            ax.step(it, t.column(hi), "k:", where="post")
            ax.set_xlabel("Iter")
            ax.set_ylabel(_label(trial, t.unit(trial)))
            ax.legend()
        ax.set_title("Quench-energy search: trials and decisions")
        self.save(fig, stem)

    # --- VORN_QE_Sum.dat --------------------------------------------------
    def qe_sum(self, path, stem):
        t = vt.read_table(path)
        fig, ax = self.plt.subplots(figsize=(9, 6), constrained_layout=True)
        fig.suptitle(path)
        if not t.rows:
            ax.text(0.5, 0.5, "no runs", ha="center", transform=ax.transAxes)
        else:
            searched_current = len(set(t.column("E_HP_ini"))) == 1 and len(
                set(t.column("TC_aver"))) > 1 and len(set(t.column("TC_ini"))) == 1
            if searched_current:
                x, xn = t.column("E_HP_ini"), "E_HP_ini"
                y, lo, hi, yn = t.column("TC_aver"), t.column("TC_min"), t.column("TC_max"), \
                    "TC_aver"
            else:
                x, xn = t.column("TC_ini"), "TC_ini"
                y, lo, hi, yn = t.column("E_HP_aver"), t.column("E_HP_min"), \
                    t.column("E_HP_max"), "E_HP_aver"
            err = [[max(v - a, 0) for v, a in zip(y, lo)], [max(b - v, 0) for v, b in zip(y, hi)]]
            ax.errorbar(x, y, yerr=err, marker="o", capsize=4)
            ax.set_xlabel(_label(xn, t.unit(xn)))
            ax.set_ylabel(_label(yn, t.unit(yn)))
        ax.set_title("Quench energy against transport current")
        self.save(fig, stem)

    # --- snapshots --------------------------------------------------------
    def snapshot(self, path, stem):
        s = vt.read_snapshot(path)
        short, _ = s.name
        row_word, col_word = index_words(short)
        unit = s.unit
        fig, a = self.plt.subplots(figsize=(10, 6), constrained_layout=True)
        t = f"{s.title}\nt = {s.time:g} s" if s.time is not None else s.title
        if s.nts is not None:
            t += f", time step {s.nts}"
        a.set_title(t)
        if s.bands is None or len(s.values) == 1 and s.bands is not None and False:
            pass
        if s.bands is None:
            a.plot(s.index, s.values[0], marker="o")
            a.set_xlabel(col_word)
            a.set_ylabel(_label(short, unit))
        else:
            import numpy as np
            z = np.array([_finite(r) for r in s.values], dtype=float)
            z = np.ma.masked_invalid(z)
            x = _edges(s.index)
            y = _edges(s.bands)
            mesh = a.pcolormesh(x, y, z, shading="flat", cmap="viridis")
            bar = fig.colorbar(mesh, ax=a)
            bar.set_label(_label(short, unit))
            a.set_xlabel(col_word)
            a.set_ylabel(row_word)
        self.save(fig, stem)
        return s

    def movie(self, paths, out_path, fps):
        import numpy as np
        from matplotlib import animation
        shots = [vt.read_snapshot(p) for p in paths]
        first = shots[0]
        short, _ = first.name
        row_word, col_word = index_words(short)
        allv = np.array([v for s in shots for r in s.values for v in _finite(r)], dtype=float)
        allv = allv[np.isfinite(allv)]
        lo, hi = (float(allv.min()), float(allv.max())) if allv.size else (0.0, 1.0)
        if lo == hi:
            hi = lo + 1.0
        fig, a = self.plt.subplots(figsize=(10, 6), constrained_layout=True)

        def frame(k):
            a.clear()
            s = shots[k]
            a.set_title(f"{s.title}\nt = {s.time:g} s")
            if s.bands is None:
                a.plot(s.index, s.values[0], marker="o")
                a.set_ylim(lo, hi)
                a.set_xlabel(col_word)
                a.set_ylabel(_label(short, s.unit))
            else:
                z = np.ma.masked_invalid(np.array([_finite(r) for r in s.values], dtype=float))
                m = a.pcolormesh(_edges(s.index), _edges(s.bands), z, shading="flat",
                                 vmin=lo, vmax=hi, cmap="viridis")
                a.set_xlabel(col_word)
                a.set_ylabel(row_word)
                return m
            return None

        m = frame(0)
        if m is not None:
            fig.colorbar(m, ax=a).set_label(_label(short, first.unit))
        anim = animation.FuncAnimation(fig, frame, frames=len(shots), interval=1000 / fps)
        anim.save(out_path, writer=animation.PillowWriter(fps=fps))
        self.plt.close(fig)
        self.written.append(out_path)


def _edges(centres):
    """Cell edges around integer index values (for a map)."""
    if len(centres) == 1:
        return [centres[0] - 0.5, centres[0] + 0.5]
    return [c - 0.5 for c in centres] + [centres[-1] + 0.5]


def run_dirs(case_dir, run):
    dirs = sorted(d for d in glob.glob(os.path.join(case_dir, "Run[0-9][0-9]")) if os.path.isdir(d))
    if run is not None:
        want = os.path.join(case_dir, f"Run{run:02d}")
        if want not in dirs:
            raise PlotError(f"Run directory not found: {os.path.abspath(want)}")
        dirs = [want]
    return dirs


def plot_case(args):
    case = args.case_dir
    if not os.path.isdir(case):
        raise PlotError(f"Case directory not found: {os.path.abspath(case)}")
    out = args.out or os.path.join(case, "plots")
    os.makedirs(out, exist_ok=True)
    formats = ["png"] + (["pdf"] if args.pdf else [])
    p = Plotter(out, formats, args.dpi)
    volt_stop = read_volt_stop(case)
    done_any = False

    def attempt(fn, path, *rest):
        try:
            return fn(path, *rest)
        except (vt.TableError, KeyError, ValueError, IndexError) as e:
            raise PlotError(f"{path}: {e}") from None

    for rd in run_dirs(case, args.run):
        tag = os.path.basename(rd)
        progress = None
        f = os.path.join(rd, "Progress.dat")
        if os.path.isfile(f):
            progress = attempt(p.progress, f, f"{tag}_Progress", volt_stop)
        for name, fn in (("Signals.dat", p.signals), ("Energy.dat", p.energy),
                         ("VORN_QE.dat", p.qe)):
            f = os.path.join(rd, name)
            if os.path.isfile(f):
                attempt(fn, f, f"{tag}_{name[:-4]}")
        f = os.path.join(rd, "Mp.dat")
        if os.path.isfile(f):
            attempt(p.magnetisation, f, f"{tag}_Mp", progress)
        shots = sorted(x for x in os.listdir(rd) if vt.is_snapshot_name(x))
        by_array = {}
        for x in shots:
            by_array.setdefault(vt.snapshot_stamp(x)[2], []).append(x)
        chosen = []
        if args.snapshots == "all":
            chosen = shots
        elif args.snapshots == "last":
            chosen = [v[-1] for v in by_array.values()]
        for x in chosen:
            r, stamp, name = vt.snapshot_stamp(x)
            attempt(p.snapshot, os.path.join(rd, x), f"{tag}_{stamp}_{name}")
        for name in args.movie or []:
            if name not in by_array:
                raise PlotError(f"{rd}: no snapshots of {name!r} for --movie (arrays: "
                                f"{', '.join(sorted(by_array)) or 'none'})")
            paths = [os.path.join(rd, x) for x in by_array[name]]
            try:
                p.movie(paths, os.path.join(out, f"{tag}_{name}.gif"), args.fps)
            except (vt.TableError, ValueError) as e:
                raise PlotError(f"{rd}: {name}: {e}") from None
        done_any = True
    f = os.path.join(case, "output", "VORN_QE_Sum.dat")
    if os.path.isfile(f):
        attempt(p.qe_sum, f, "VORN_QE_Sum")
        done_any = True
    if not done_any:
        raise PlotError(f"No run directories (Run01, Run02, ...) in {os.path.abspath(case)}")
    return p.written


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Draws the result files of a vorn case: Progress.dat, Signals.dat, "
                    "Energy.dat, Mp.dat, VORN_QE.dat, output/VORN_QE_Sum.dat and every "
                    "snapshot file, as PNG (and PDF) pictures.")
    ap.add_argument("case_dir", metavar="CASE_DIR", help="the case directory, e.g. "
                    "VORN_data/Demo/Demo-001")
    ap.add_argument("--run", type=int, metavar="N", help="only run N (default: every run)")
    ap.add_argument("--out", metavar="DIR", help="directory of the pictures "
                    "(default CASE_DIR/plots)")
    ap.add_argument("--pdf", action="store_true", help="also write PDF files")
    ap.add_argument("--snapshots", choices=("all", "last", "none"), default="all",
                    help="which snapshot files to draw: all, the last of each array, none "
                         "(default all)")
    ap.add_argument("--movie", action="append", metavar="ARRAY",
                    help="string the snapshots of ARRAY (e.g. Cs) into an animated GIF; "
                         "may be repeated")
    ap.add_argument("--fps", type=float, default=4.0, help="frames per second of a movie")
    ap.add_argument("--dpi", type=int, default=100, help="resolution of the pictures")
    args = ap.parse_args(argv)
    try:
        written = plot_case(args)
    except PlotError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    print(f"{PROG}: {len(written)} files written to {os.path.abspath(args.out or os.path.join(args.case_dir, 'plots'))}")
    return 0
