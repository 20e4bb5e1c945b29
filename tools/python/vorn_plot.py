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


def _integer_ticks(*axes):
    """Band, section, position, wire, contact and iteration axes: whole numbers only."""
    from matplotlib.ticker import MaxNLocator
    for axis in axes:
        axis.set_major_locator(MaxNLocator(integer=True))


from vorn_plot_files import (  # noqa: F401  (names of the module's interface)
    DIVERGING, SEQUENTIAL, StopVoltage, _FROM_UV, _ONE_BAND, block_labels, drawn_rows,
    index_words, is_signed, qe_trial, read_decisions, read_stop_voltage)


def _block_colours(n):
    """None (the usual colour per quantity) for one block, else a colour per block."""
    import matplotlib
    cmap = matplotlib.colormaps["tab10" if n <= 10 else "viridis"]
    return [None] if n == 1 else [cmap(k if n <= 10 else k / (n - 1)) for k in range(n)]


def _match_block(blocks, k, n):
    """Block of another file of the same run for block k of n (aligned at the end)."""
    j = k - n + len(blocks)
    return blocks[j] if 0 <= j < len(blocks) else None


def _lines(a, blocks, colours, x, y, style="-", label=None, transform=None):
    """One line of column y against x per block with a value to show; only the
    first is labelled.  Returns the number of lines."""
    drawn = 0
    for b, c in zip(blocks, colours):
        if x not in b.names or y not in b.names:
            continue
        v = _finite(b.column(y))
        v = transform(v) if transform else v
        if any(math.isfinite(z) for z in v):
            a.plot(b.column(x), v, linestyle=style, color=c, label=label if not drawn else "_")
            drawn += 1
    return drawn


def _legend(a, entries, many, **kw):
    """Legend of the quantities: by line style in grey when the colours stand for blocks."""
    if not many:
        a.legend(**kw)
        return
    from matplotlib.lines import Line2D
    a.legend(handles=[Line2D([], [], color="0.3", linestyle=s, label=n) for n, s in entries], **kw)


_POWERS = (("Pa_T", "-"), ("Pc_T", "--"), ("Ps_T", ":"), ("PFs_T", "-."),
           ("P_HP_T", (0, (5, 1))), ("HF_He_T", (0, (3, 1, 1, 1, 1, 1))))


class Plotter:
    """Draws the files; `keep` keeps the figures in `figures` (by stem) open."""

    def __init__(self, out_dir, formats, dpi, keep=False):
        self.out_dir, self.formats, self.dpi, self.keep = out_dir, formats, dpi, keep
        self.figures, self.written, self.plt = {}, [], _mpl()

    def save(self, fig, stem):
        for ext in self.formats:
            path = os.path.join(self.out_dir, f"{stem}.{ext}")
            fig.savefig(path, dpi=self.dpi)
            self.written.append(path)
        if self.keep:
            self.figures[stem] = fig
        else:
            self.plt.close(fig)
        return fig

    # --- Progress.dat ----------------------------------------------------
    def progress(self, path, stem, stop, decisions=()):
        t = vt.read_table(path)
        blocks = t.blocks
        labels = block_labels(blocks, decisions)
        many = len(blocks) > 1
        colours = _block_colours(len(blocks))
        last = blocks[-1]
        tl = _label("Time", last.unit("Time"))
        fig, ax = self.plt.subplots(2, 2, figsize=(12, 8), constrained_layout=True)
        fig.suptitle(path)
        a = ax[0][0]
        for name, style in (("Ba1", "-"), ("Ba2", ":")):
            _lines(a, blocks, colours, "Time", name, style, _label(name, last.unit(name)))
        a2 = a.twinx()
        cpc = _label("CPC", last.unit("CPC"))
        _lines(a2, blocks, colours if many else ["k"], "Time", "CPC", "--", cpc)
        a2.set_ylabel(cpc)
        a.set(title="Applied field and cable current", xlabel=tl, ylabel="field [T]")
        _legend(a, [("Ba1", "-"), ("Ba2", ":"), ("CPC (right)", "--")], many, loc="upper left")
        if not many:
            a2.legend(loc="upper right")

        a = ax[0][1]
        shown = [(n, s) for n, s in _POWERS if _lines(
            a, blocks, colours, "Time", n, s, n, lambda v: [x if x > 0 else math.nan for x in v])]
        if shown:
            a.set_yscale("log")
            _legend(a, shown, many)
        else:
            a.text(0.5, 0.5, "all powers are zero", ha="center", transform=a.transAxes)
        a.set(title="Powers", xlabel=tl, ylabel=f"power [{last.unit('Pa_T')}]")

        a = ax[1][0]
        for name, style in (("Ts_max", "-"), ("THs_max", "--")):
            _lines(a, blocks, colours, "Time", name, style, name)
        a.set(title="Highest temperatures", xlabel=tl,
              ylabel=f"temperature [{last.unit('Ts_max')}]")
        _legend(a, [("Ts_max", "-"), ("THs_max", "--")], many)

        a = ax[1][1]
        name = "Pt_T/CPC"
        unit = last.unit(name)
        for b, c, lab in zip(blocks, colours, labels):
            if name in b.names:
                a.plot(b.column("Time"), b.column(name), color=c,
                       label=lab if many else "resistive voltage")
        self._stop_line(a, stop, unit)
        a.set(title="Resistive voltage", xlabel=tl, ylabel=_label(name, unit))
        a.legend(fontsize="small" if len(blocks) > 6 else None, ncol=1 + len(blocks) // 12)
        return self.save(fig, stem)

    @staticmethod
    def _stop_line(a, stop, unit):
        """The stop voltage in the unit of the plotted column, or the reason
        why there is none."""
        factor = _FROM_UV.get(unit)
        if stop is None:
            return
        if stop.uv is not None and factor is not None:
            v = stop.uv * factor
            a.axhline(v, color="r", linestyle=":", label=f"VoltStop = {v:g} {unit} "
                      f"({stop.per_metre * factor:g} {unit}/m x {stop.length:g} m)")
        else:
            a.plot([], [], " ", label=stop.why or f"VoltStop not drawn: unknown unit {unit!r}")

    # --- Signals.dat ------------------------------------------------------
    def signals(self, path, stem, progress=None, decisions=()):
        t = vt.read_table(path)
        labels = block_labels(t.blocks, decisions)
        last = t.blocks[-1]
        picked = [k for k, b in enumerate(t.blocks) if b.names == last.names]
        multipliers = []
        for line_no, line in t.text:
            f = [x.strip() for x in line.split(",")]
            if f and f[0] == "Multipl." and line_no < last.line:
                multipliers = [vt.parse_number(x) for x in f[2:]]
        colours = _block_colours(len(picked))
        # The t column has 3 decimals (s); Progress.dat, written at the same
        # steps, gives the time of each step in full.
        times, from_progress = [], True
        for k in picked:
            b = t.blocks[k]
            p = _match_block(progress.blocks, k, len(t.blocks)) if progress else None
            if p is not None and "NTS" in p.names and p.column("NTS") == b.column(b.names[0]):
                times.append(p.column("Time"))
            else:
                times.append(b.column(b.names[1]))
                from_progress = False
        xl = _label("Time", "s") if from_progress else _label(last.names[1], last.unit(
            last.names[1]))
        n = len(last.names) - 2
        fig, axes = self.plt.subplots(max(n, 1), 1, figsize=(10, 2.5 + 2 * n), squeeze=False,
                                      constrained_layout=True)
        fig.suptitle(path)
        for j in range(n):
            a = axes[j][0]
            unit = last.units[j + 2].strip("()")
            mult = multipliers[j] if j < len(multipliers) else None
            # The program writes the unit the values are in when the
            # multiplier is an SI prefix of a plain unit (1000 x W: mW).
            prefixed = mult in (1e-3, 1e3, 1e6, 1e9) and unit[:1] in "kmun" and len(unit) == 2
            if mult not in (None, 1.0) and not prefixed:
                unit = f"{unit} x {mult:g}"
            for k, x, c in zip(picked, times, colours):
                a.plot(x, [r[j + 2] for r in t.blocks[k].rows], color=c, label=labels[k])
            a.set(xlabel=xl, ylabel=_label(f"{j + 1}: {last.names[j + 2]}", unit))
            if len(picked) > 1 and j == 0:
                a.legend(fontsize="small")
        return self.save(fig, stem)

    # --- Energy.dat -------------------------------------------------------
    def energy(self, path, stem, decisions=()):
        t = vt.read_table(path)
        blocks = t.blocks
        labels = block_labels(blocks, decisions)
        n, cols = len(blocks), min(len(blocks), 3)
        rows = -(-n // cols)
        fig = self.plt.figure(figsize=(10, 8) if n == 1 else (5 * cols, 2.8 * rows + 3),
                              constrained_layout=True)
        fig.suptitle(path)
        grid = fig.add_gridspec(rows + 1, cols)
        unit = blocks[-1].unit("E_HP")
        first = None
        for k, b in enumerate(blocks):
            a = fig.add_subplot(grid[k // cols, k % cols], sharex=first)
            for name in b.names[2:]:
                if name not in ("Residual", "Residual_rel"):
                    a.plot(b.column("Time"), b.column(name), label=name)
            a.set_ylabel(f"energy [{unit}]")
            a.set_title("Cumulative energies" if n == 1 else labels[k], fontsize=None if n == 1
                        else "small")
            if first is None:
                first = a
                a.legend(ncol=3, fontsize=None if n == 1 else "x-small")
        a = fig.add_subplot(grid[rows, :], sharex=first if n == 1 else None)
        for b, c, lab in zip(blocks, _block_colours(n), labels):
            a.plot(b.column("Time"), b.column("Residual_rel"), color=c, label=lab)
        if n > 1:
            a.legend(fontsize="small", ncol=1 + n // 8)
        a.set(title="Relative residual of the energy balance",
              xlabel=_label("Time", blocks[-1].unit("Time")),
              ylabel=_label("Residual_rel", blocks[-1].unit("Residual_rel")))
        return self.save(fig, stem)

    # --- Mp.dat -----------------------------------------------------------
    def magnetisation(self, path, stem, progress, decisions=()):
        t = vt.read_table(path)
        labels = block_labels(t.blocks, decisions)
        title = next((line.strip() for _, line in t.text if "[" in line), "Magnetisation, M [mT]")
        unit = re.search(r"\[([^\]]*)\]", title)
        unit = unit.group(1) if unit else ""
        # M against Ba1 when every step of a block is in the matching block of
        # Progress.dat (the step numbers restart with every block).
        xs, loop = [], True
        for k, b in enumerate(t.blocks):
            p = _match_block(progress.blocks, k, len(t.blocks)) if progress else None
            ba = dict(zip(p.column("NTS"), p.column("Ba1"))) if p is not None and \
                "Ba1" in p.names else {}
            nts = b.column("NTS")
            xs.append([ba[s] for s in nts] if all(s in ba for s in nts) else None)
            loop = loop and xs[-1] is not None
        if not loop:
            xs = [b.column("time") for b in t.blocks]
        fig, a = self.plt.subplots(figsize=(8, 6), constrained_layout=True)
        fig.suptitle(path)
        for b, x, c, lab in zip(t.blocks, xs, _block_colours(len(t.blocks)), labels):
            a.plot(x, b.column("Aver"), marker=".", markersize=3, color=c, label=lab)
        a.set(title="Magnetisation loop" if loop else "Magnetisation",
              xlabel=_label("Ba1", progress.blocks[-1].unit("Ba1")) if loop else "time [s]",
              ylabel=_label("M (mean over the bands)", unit))
        a.axhline(0, color="grey", linewidth=0.5)
        if len(t.blocks) > 1:
            a.legend(fontsize="small")
        return self.save(fig, stem)

    # --- VORN_QE.dat ------------------------------------------------------
    def qe(self, path, stem):
        t = vt.read_table(path)
        fig, ax = self.plt.subplots(figsize=(9, 6), constrained_layout=True)
        fig.suptitle(path)
        if not t.rows:
            ax.text(0.5, 0.5, "no decision lines", ha="center", transform=ax.transAxes)
        else:
            it = t.column("Iter")
            trial, lo, hi = qe_trial(t)
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
            ax.set(xlabel="Iter", ylabel=_label(trial, t.unit(trial)))
            _integer_ticks(ax.xaxis)
            ax.legend()
        ax.set_title("Quench-energy search: trials and decisions")
        return self.save(fig, stem)

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
            xn, q = ("E_HP_ini", "TC") if searched_current else ("TC_ini", "E_HP")
            x, y, lo, hi = (t.column(c) for c in (xn, q + "_aver", q + "_min", q + "_max"))
            err = [[max(v - a, 0) for v, a in zip(y, lo)], [max(b - v, 0) for v, b in zip(y, hi)]]
            ax.errorbar(x, y, yerr=err, marker="o", capsize=4)
            ax.set(xlabel=_label(xn, t.unit(xn)), ylabel=_label(q + "_aver", t.unit(q + "_aver")))
        ax.set_title("Quench energy against transport current")
        return self.save(fig, stem)

    # --- snapshots --------------------------------------------------------
    @staticmethod
    def _array_name(s):
        """The array name of the file name (" 1 00000005000 Cs.dat"), else of the title."""
        return vt.snapshot_stamp(s.path)[2] if vt.is_snapshot_name(s.path) else s.name[0]

    def _draw_snapshot(self, a, s, lim=None):
        """A map over rows x columns, or a profile when one row is left.
        Returns the mesh of a map (None for a profile)."""
        import numpy as np
        name = self._array_name(s)
        short, unit = s.name[0], s.unit
        row_word, col_word = index_words(name)
        bands, rows = (None, s.values) if s.bands is None else drawn_rows(s, row_word)
        values = [v for r in rows for v in _finite(r)]
        # A movie passes the limits of all its frames: +-m for a signed array.
        signed = is_signed(name, values) if lim is None else lim[0] == -lim[1]
        lim = lim or _limits(values, signed)
        head = f"{s.title}\nt = {s.time:g} s" if s.time is not None else s.title
        if s.nts is not None:
            head += f", time step {s.nts}"
        _integer_ticks(a.xaxis)
        a.set_xlabel(col_word)
        if bands is None or len(rows) == 1:
            a.plot(s.index, _finite(rows[0]), marker="o")
            a.set_ylim(*_margin(lim))
            if signed:
                a.axhline(0, color="grey", linewidth=0.5)
            if bands is not None:
                head += f" ({row_word} {bands[0]})"
            a.set(title=head, ylabel=_label(short, unit))
            return None
        z = np.ma.masked_invalid(np.array([_finite(r) for r in rows], dtype=float))
        mesh = a.pcolormesh(_edges(s.index), _edges(bands), z, shading="flat",
                            cmap=DIVERGING if signed else SEQUENTIAL, vmin=lim[0], vmax=lim[1])
        _integer_ticks(a.yaxis)
        a.set(title=head, ylabel=row_word)
        return mesh

    def snapshot(self, path, stem):
        s = vt.read_snapshot(path)
        fig, a = self.plt.subplots(figsize=(10, 6), constrained_layout=True)
        mesh = self._draw_snapshot(a, s)
        if mesh is not None:
            fig.colorbar(mesh, ax=a).set_label(_label(s.name[0], s.unit))
        return self.save(fig, stem)

    def movie(self, paths, out_path, fps):
        from matplotlib import animation
        shots = [vt.read_snapshot(p) for p in paths]
        first = shots[0]
        name = self._array_name(first)
        row_word = index_words(name)[0]
        values = [v for s in shots for r in (s.values if s.bands is None else
                                             drawn_rows(s, row_word)[1]) for v in _finite(r)]
        lim = _limits(values, is_signed(name, values))
        fig, a = self.plt.subplots(figsize=(10, 6), constrained_layout=True)

        def frame(k):
            a.clear()
            return self._draw_snapshot(a, shots[k], lim)

        m = frame(0)
        if m is not None:
            fig.colorbar(m, ax=a).set_label(_label(first.name[0], first.unit))
        anim = animation.FuncAnimation(fig, frame, frames=len(shots), interval=1000 / fps)
        anim.save(out_path, writer=animation.PillowWriter(fps=fps))
        self.plt.close(fig)
        self.written.append(out_path)


def _limits(values, signed):
    """Colour (or value) limits: +-max|v| around 0 for a signed quantity, else
    the range of the values."""
    v = [x for x in values if math.isfinite(x)]
    if signed:
        m = max((abs(x) for x in v), default=0.0)
        return (-m, m) if m > 0 else (-1.0, 1.0)
    lo, hi = (min(v), max(v)) if v else (0.0, 1.0)
    return (lo, hi) if hi > lo else (lo - 0.5, lo + 0.5)


def _margin(lim):
    d = 0.05 * (lim[1] - lim[0])
    return lim[0] - d, lim[1] + d


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


def plot_case(args, plotter=None):
    """Draws the case of `args` (see main); returns the files written."""
    case = args.case_dir
    if not os.path.isdir(case):
        raise PlotError(f"Case directory not found: {os.path.abspath(case)}")
    out = args.out or os.path.join(case, "plots")
    os.makedirs(out, exist_ok=True)
    p = plotter or Plotter(out, ["png"] + (["pdf"] if args.pdf else []), args.dpi)
    stop = read_stop_voltage(case)
    done_any = False

    def attempt(fn, path, *rest):
        try:
            return fn(path, *rest)
        except (vt.TableError, KeyError, ValueError, IndexError) as e:
            raise PlotError(f"{path}: {e}") from None

    for rd in run_dirs(case, args.run):
        tag = os.path.basename(rd)
        decisions = read_decisions(rd)
        f = os.path.join(rd, "Progress.dat")
        progress = attempt(vt.read_table, f) if os.path.isfile(f) else None
        for name, fn, rest in (("Progress", p.progress, (stop, decisions)),
                               ("Signals", p.signals, (progress, decisions)),
                               ("Energy", p.energy, (decisions,)), ("VORN_QE", p.qe, ()),
                               ("Mp", p.magnetisation, (progress, decisions))):
            f = os.path.join(rd, name + ".dat")
            if os.path.isfile(f):
                attempt(fn, f, f"{tag}_{name}", *rest)
        shots = sorted(x for x in os.listdir(rd) if vt.is_snapshot_name(x))
        by_array = {}
        for x in shots:
            by_array.setdefault(vt.snapshot_stamp(x)[2], []).append(x)
        chosen = {"all": shots, "last": [v[-1] for v in by_array.values()]}
        for x in chosen.get(args.snapshots, []):
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


def parse_args(argv=None):
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
    return ap.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    try:
        written = plot_case(args)
    except (PlotError, OSError) as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    print(f"{PROG}: {len(written)} files written to {os.path.abspath(args.out or os.path.join(args.case_dir, 'plots'))}")
    return 0
