"""vorn-plot on the example outputs and on quench-energy files of the
documented layout."""
import os
import subprocess
import sys

import pytest

from conftest import tool

PLOT = tool("vorn-plot")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


class Result:
    def __init__(self, returncode, stderr):
        self.returncode = returncode
        self.stderr = stderr


def run_plot(*args):
    """vorn-plot in this process (matplotlib is imported once)."""
    import contextlib
    import io
    import vorn_plot
    err = io.StringIO()
    with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
        status = vorn_plot.main([str(a) for a in args])
    return Result(status, err.getvalue())


def test_command_runs():
    r = subprocess.run([sys.executable, PLOT, "--help"], capture_output=True, text=True,
                       timeout=60)
    assert r.returncode == 0 and "CASE_DIR" in r.stdout


def qe_row(values, ints):
    fields = [f"{values[0]:7d}", f"{values[1]:7d}"] + [f"{v:12.5f}" for v in values[2:12]]
    fields += [f"{v:7d}" for v in ints]
    return ",".join(fields)


QE_LEGEND = """QDM:       Quench Decision Moment
QE_Dec=0:  No quench
QE_Dec=1:  Quench
Tmax(m):   Maximum local cable temperature in last time step
Tmax(m-1): Maximum local cable temperature in previous time step
nQ(-1): Nr of sections with rho>QE_rho_Q in wire left adjacent to heated wire
nQ(0):  Nr of sections with rho>QE_rho_Q in heated wire
nQ(+1): Nr of sections with rho>QE_rho_Q in wire right adjacent to heated wire

"""


def qe_case(root):
    """A case with two runs of an energy search, in the documented layouts."""
    names = ["Iter", "NTS", "QDM", "E_HP_min", "E_HP_max", "E_HP", "TC_min", "TC_max", "TC",
             "Ba1", "Tmax(m)", "Tmax(m-1)", "QE_Dec", "nQ(-1)", "nQ(0)", "nQ(+1)"]
    units = ["(-)", "(-)", "(ms)"] + ["(uJ)"] * 3 + ["(A)"] * 3 + ["(T)", "(K)", "(K)"] + \
        ["(-)"] * 4
    w = [7, 7] + [12] * 10 + [7] * 4

    def head(row):
        return ",".join(f"{x:>{n}}" for x, n in zip(row, w))

    case = root / "Q" / "Q-001"
    for run, current in ((1, 1000.0), (2, 2000.0)):
        d = case / f"Run{run:02d}"
        d.mkdir(parents=True)
        lines = [head(names), head(units)]
        lo, hi, e = 0.0, 1e9, 100.0
        for it in range(1, 5):
            q = 1 if it % 2 else 0
            hi, lo = (e, lo) if q else (hi, e)
            lines.append(qe_row([it, 10 * it, 0.5, lo, min(hi, 999999.0), e, current, current,
                                 current, 5.0, 12.0 if q else 4.5, 11.0 if q else 4.4],
                                [q, 0, 3 * q, 0]))
            e = e * 1.5 if not q else e * 0.7
        lines.append("QE_accuracy in the energy pulse reached. Simulation stopped")
        (d / "VORN_QE.dat").write_text(QE_LEGEND + "\n".join(lines) + "\n")
    sum_names = ["Case", "Ba1", "TC_ini", "E_HP_ini", "QE_F", "QE_acc", "TC_min", "TC_max",
                 "TC_aver", "E_HP_min", "E_HP_max", "E_HP_aver", "Error"]
    sum_units = ["(-)", "(T)", "(A)", "(uJ)", "(-)", "(%)", "(A)", "(A)", "(A)", "(uJ)",
                 "(uJ)", "(uJ)", "(%)"]
    out = case / "output"
    out.mkdir()
    rows = [",".join([f"{sum_names[0]:>5}"] + [f"{x:>12}" for x in sum_names[1:]]),
            ",".join([f"{sum_units[0]:>5}"] + [f"{x:>12}" for x in sum_units[1:]])]
    for r, (tc, lo, hi) in enumerate(((1000, 80.0, 90.0), (2000, 40.0, 44.0)), start=1):
        v = [5.0, tc, 100.0, 2.0, 5.0, tc, tc, tc, lo, hi, (lo + hi) / 2,
             100 * (hi - lo) / (hi + lo)]
        rows.append(",".join([f"{r:5d}"] + [f"{x:12.3f}" for x in v]))
    (out / "VORN_QE_Sum.dat").write_text("\n".join(rows) + "\n")
    return case


def test_every_plot_kind_of_the_examples(example_outputs, tmp_path):
    """Progress, Signals, Mp and one map per snapshot array; the pictures have
    the size of their figure at the chosen resolution."""
    sizes = {"Progress": (360, 240), "Mp": (240, 180)}
    for case, d in example_outputs.items():
        out = tmp_path / case
        r = run_plot(d, "--snapshots", "last", "--out", str(out), "--dpi", "30")
        assert r.returncode == 0, r.stderr
        made = sorted(os.listdir(out))
        assert "Run01_Progress.png" in made and "Run01_Signals.png" in made
        arrays = {n.split(" ")[-1][:-4] for n in os.listdir(os.path.join(d, "Run01"))
                  if n.startswith(" ")}
        maps = [m for m in made if m.count("_") >= 2 and m.split("_", 2)[1].isdigit()]
        assert {m.split("_", 2)[2][:-4] for m in maps} == arrays
        for m in maps:
            assert png_size(out / m) == (300, 180)
        for kind, size in sizes.items():
            if f"Run01_{kind}.png" in made:
                assert png_size(out / f"Run01_{kind}.png") == size
        if case == "Demo-008":
            assert "Run01_Mp.png" in made


def test_movie_and_pdf(example_outputs, tmp_path):
    pytest.importorskip("PIL", reason="Pillow (python3-pil) is needed for the animations")
    d = example_outputs.get("Demo-001")
    if d is None:
        pytest.skip("Demo-001 not run")
    r = run_plot(d, "--snapshots", "none", "--movie", "Cs", "--pdf", "--dpi", "30", "--out", str(tmp_path))
    assert r.returncode == 0, r.stderr
    gif = tmp_path / "Run01_Cs.gif"
    assert gif.read_bytes()[:6] in (b"GIF89a", b"GIF87a")
    from PIL import Image
    with Image.open(gif) as im:
        assert im.n_frames == 6
    assert (tmp_path / "Run01_Progress.pdf").read_bytes()[:4] == b"%PDF"
    r = run_plot(d, "--snapshots", "none", "--movie", "Xx", "--out", str(tmp_path))
    assert r.returncode == 1 and "no snapshots of 'Xx'" in r.stderr and "Cs" in r.stderr


def test_quench_energy_files(tmp_path):
    case = qe_case(tmp_path)
    r = run_plot(str(case), "--dpi", "30", "--out", str(tmp_path / "p"))
    assert r.returncode == 0, r.stderr
    made = sorted(os.listdir(tmp_path / "p"))
    assert made == ["Run01_VORN_QE.png", "Run02_VORN_QE.png", "VORN_QE_Sum.png"]
    assert png_size(tmp_path / "p" / "VORN_QE_Sum.png") == (270, 180)


def test_stops_name_the_file(tmp_path):
    r = run_plot(str(tmp_path / "nowhere"))
    assert r.returncode == 1 and "Case directory not found" in r.stderr
    d = tmp_path / "C" / "Run01"
    d.mkdir(parents=True)
    (d / "Progress.dat").write_text("garbage\n")
    r = run_plot(str(tmp_path / "C"))
    assert r.returncode == 1 and "Progress.dat" in r.stderr and "no table" in r.stderr
    r = run_plot(str(tmp_path / "C"), "--run", "3")
    assert r.returncode == 1 and "Run03" in r.stderr


# --- synthetic result files in the program's layouts --------------------------
PROGRESS_NAMES = ("NTS dt Time dBa1dt Ba1 dBa2dt Ba2 dIdt CPC Ts_max THs_max Pt_T/CPC P_HP_T "
                  "HF_s_T HF_He_T HF_ins_T Pa_T Pc_T Ps_T PFs_T Pt_T P_IS_T PaInf_T PcInf_T "
                  "PsInf_T Pa_max Pc_max Ps_max Ca_av Cc_av Cs_av Ca_max Cc_max Cs_max Cs_min "
                  "ICs_min").split()
PROGRESS_WIDTHS = [5, 14, 14] + [11] * 9 + [13] * 24


def progress_block(n, ba1=5.0, volt_unit="uV"):
    """Header and n rows of Progress.dat (steps 0..n-1 of 10 us)."""
    units = ["-", "s", "s", "T/s", "T", "T/s", "T", "A/s", "A", "K", "K", volt_unit] + \
        ["mW"] * 16 + ["A"] * 8
    lines = [",".join(f"{x:>{w}}" for x, w in zip(PROGRESS_NAMES, PROGRESS_WIDTHS)),
             ",".join(f"{'(' + u + ')':>{w}}" for u, w in zip(units, PROGRESS_WIDTHS))]
    for k in range(n):
        v = [k, 1e-5, 1e-5 * k, 0.0, ba1 + 0.01 * k, 0.0, ba1, 0.0, 1800.0, 4.2 + k, 4.2,
             100.0 * k] + [1.0] * 24
        lines.append(f"{k:5d},{v[1]:14.9f},{v[2]:14.7f}," + ",".join(
            f"{x:11.4f}" for x in v[3:12]) + "," + ",".join(f"{x:13.6f}" for x in v[12:]))
    return lines


def synthetic_case(root, progress_blocks, nb=16, ns=8, volt_unit="uV", summary=None):
    """A case with the cable of Demo-009 (TPStr 40 mm, VoltStop 50000 uV/m) by default."""
    case = root / "S" / "S-001"
    (case / "input").mkdir(parents=True)
    (case / "Run01").mkdir()
    (case / "input" / "inp_STEP01.txt").write_text(
        f"1, 1, {1 if nb == 1 else 2}, {nb}, {ns}, 3.5, 1.5, 1.5, 0.3, 0.7, 0.825, 15.0, 40.0, "
        "0, 1.8, 100.0, 0, 5.0E-11, 0\n")
    (case / "input" / "inp_STEP12.txt").write_text("3, 50000.0, 2, 0.1, 0.001, 0\n")
    lines = []
    for n, ba1 in progress_blocks:
        lines += progress_block(n, ba1, volt_unit)
    (case / "Run01" / "Progress.dat").write_text("\n".join(lines) + "\n")
    if summary:
        (case / "output").mkdir()
        (case / "output" / "Summary.dat").write_text(summary)
    return case


def draw(case, out, *args):
    """plot_case with the figures kept open and nothing written."""
    import vorn_plot
    p = vorn_plot.Plotter(None, [], 30, keep=True)
    vorn_plot.plot_case(vorn_plot.parse_args([str(case), "--out", str(out)] + list(args)), p)
    return p.figures


def panel(fig, title):
    return next(a for a in fig.axes if a.get_title().startswith(title))


def stop_lines(fig):
    return [ln for ln in panel(fig, "Resistive voltage").get_lines()
            if ln.get_label().startswith("VoltStop")]


@pytest.fixture(autouse=True)
def close_figures():
    yield
    import matplotlib.pyplot as plt
    plt.close("all")


SUMMARY = ("                              NB: Number of bands,            16          ,-\n"
           "                                     Cable length,      0.500000          ,m\n"
           "           Voltage at which the calculation stops,   1000.000000         ,uV\n")


@pytest.mark.parametrize("nb, unit, summary, value, words", [
    (16, "uV", None, 4000.0, ["4000 uV", "50000 uV/m", "0.08 m"]),  # 50000 uV/m x 40 mm x 16 / 8
    (16, "mV", None, 4.0, ["4 mV", "50 mV/m"]),                     # in the unit of the column
    (16, "uV", SUMMARY, 1000.0, ["1000 uV", "2000 uV/m", "0.5 m"]),  # what the program used
    (1, "uV", None, None, ["NB = 1"]),                               # never tested with one band
])
def test_stop_voltage_is_per_cable(tmp_path, nb, unit, summary, value, words):
    fig = draw(synthetic_case(tmp_path, [(5, 5.0)], nb=nb, volt_unit=unit, summary=summary),
               tmp_path, "--snapshots", "none")["Run01_Progress"]
    lines = stop_lines(fig)
    if value is None:
        assert lines == []
    else:
        assert len(lines) == 1 and lines[0].get_ydata()[0] == pytest.approx(value)
    legend = " ".join(t.get_text() for t in panel(fig, "Resistive voltage").get_legend().texts)
    assert all(w in legend for w in words), legend


def signals_text(run_dir, blocks):
    """Signals.dat of two signals, one header block per (steps, first value)."""
    out = []
    for n, v0 in blocks:
        out += [run_dir, " Signal number,           ,          1,          2",
                "      Multipl.,           ,  1.000E+00,  1.000E+03",
                "           NTS,          t,         Ts,         Pc",
                "           (-),        (s),        (K),        (W)"]
        out += [f"{k:14d},{1e-5 * k:11.3f},{v0 + k:11.3f},{v0:11.3f}" for k in range(n)]
    return "\n".join(out) + "\n"


def mp_text(blocks):
    out = []
    for n in blocks:
        out += ["Magnetisation, M [mT]",
                " NTS,        time,   Current,       Sum,      Aver,     StDev,       Min,"
                "       Max,         1"]
        out += [f"{k:4d},{1e-5 * k:12.6f},{0:10.3f}," + ",".join([f"{-k:10.3f}"] * 6)
                for k in range(n)]
    return "\n".join(out) + "\n"


def test_appended_blocks_are_one_line_each(tmp_path):
    """Three runs of a case appended to Progress.dat, Signals.dat and Mp.dat:
    one line per block, each from t = 0, never one line back to t = 0; with
    VORN_QE.dat the last blocks are the iterations of the search."""
    case = synthetic_case(tmp_path, [(4, 1.0), (6, 2.0), (3, 3.0)])
    run = case / "Run01"
    (run / "Signals.dat").write_text(signals_text(str(run), [(4, 10.0), (6, 20.0), (3, 30.0)]))
    (run / "Mp.dat").write_text(mp_text([6, 3]))
    figs = draw(case, tmp_path, "--snapshots", "none")
    rv = panel(figs["Run01_Progress"], "Resistive voltage")
    data = [ln for ln in rv.get_lines() if not ln.get_label().startswith("VoltStop")]
    assert [len(ln.get_xdata()) for ln in data] == [4, 6, 3]
    for ln in data:
        x = list(ln.get_xdata())
        assert x[0] == 0 and x == sorted(x)
    assert [ln.get_label() for ln in data] == ["block 1 (line 1)", "block 2 (line 7)",
                                                "block 3 (line 15)"]
    assert len(panel(figs["Run01_Progress"], "Highest temperatures").get_lines()) == 6
    for a in figs["Run01_Signals"].axes:
        lines = a.get_lines()
        assert [len(ln.get_xdata()) for ln in lines] == [4, 6, 3]
        # the time of the step from Progress.dat, not the 3 decimals of t
        assert list(lines[1].get_xdata()) == pytest.approx([1e-5 * k for k in range(6)])
    mp = [ln for ln in figs["Run01_Mp"].axes[0].get_lines() if len(ln.get_xdata()) > 2]
    assert len(mp) == 2  # x: Ba1 of the matching (last two) blocks of Progress.dat
    assert list(mp[0].get_xdata()) == pytest.approx([2.0 + 0.01 * k for k in range(6)])
    assert list(mp[1].get_xdata()) == pytest.approx([3.0 + 0.01 * k for k in range(3)])

    head = ["   Iter,    NTS,         QDM,    E_HP_min,    E_HP_max,        E_HP,      TC_min,"
            "      TC_max,          TC,         Ba1,     Tmax(m),   Tmax(m-1), QE_Dec, nQ(-1),"
            "  nQ(0), nQ(+1)",
            "    (-),    (-),        (ms),        (uJ),        (uJ),        (uJ),         (A),"
            "         (A),         (A),         (T),         (K),         (K),    (-),    (-),"
            "    (-),    (-)"]
    rows = [qe_row([1, 5, 0.05, 0, 999, 20.0, 1800, 1800, 1800, 5, 9, 8], [1, 0, 2, 0]),
            qe_row([2, 2, 0.02, 0, 20, 10.0, 1800, 1800, 1800, 5, 5, 5], [0, 0, 0, 0])]
    (run / "VORN_QE.dat").write_text(QE_LEGEND + "\n".join(head + rows) + "\n")
    rv = panel(draw(case, tmp_path, "--snapshots", "none")["Run01_Progress"], "Resistive voltage")
    assert [ln.get_label() for ln in rv.get_lines()][:3] == [
        "earlier run, block 1", "iteration 1: E_HP = 20 uJ, quench",
        "iteration 2: E_HP = 10 uJ, no quench"]


def snapshot_text(title, index, rows, mult=1.0):
    head = "  NB,       Sum,      Aver,     StDev,       Min,       Max," + ",".join(
        f"{i:10d}" for i in index)
    out = [f" {title}", " Time step           5", " Time   5.0000000000000001E-003",
           f" All values multplied by:   {mult:.16f}", head]
    for b, r in enumerate(rows, start=1):
        out.append(f"{b:4d}," + ",".join(f"{v:10.3f}" for v in
                                          [sum(r), sum(r) / len(r), 0, min(r), max(r)] + r))
    return "\n".join(out) + "\n"


def integer_ticks(axis):
    return all(float(t).is_integer() for t in axis.get_majorticklocs())


def test_snapshot_maps_and_profiles(tmp_path):
    """Signed arrays on a diverging map centred on 0, one-signed ones on a
    sequential map, whole-number index ticks, and a profile where the table
    has one band (a crossing-contact table of NB = 1: its plane 2 is 0)."""
    case = synthetic_case(tmp_path, [(2, 5.0)])
    run = case / "Run01"
    files = {
        "Cs": snapshot_text("Strand currents per section, Cs [A]", [2, 3, 4],
                            [[1.0, -4.5, 2.0], [0.5, 3.0, -1.0], [0.0, 1.0, 2.0]]),
        "Ts": snapshot_text("Strand temperatures per section, Ts [K]", [2, 3, 4],
                            [[4.2, 5.0, 6.5], [4.4, 4.3, 4.2], [4.2, 4.2, 4.2]]),
        "Pc": snapshot_text("Powers in the crossing contacts, Pc [W]", [1, 2, 3],
                            [[0.004, 0.012, 0.004], [0.0, 0.0, 0.0]], 1000.0),
        "Ca": snapshot_text("Currents in the adjacent contacts, Ca [A]", [1, 2, 3, 4],
                            [[0.5, -0.5, 0.3, -0.3]]),
    }
    for name, text in files.items():
        (run / f" 1 00000005000 {name}.dat").write_text(text)
    figs = draw(case, tmp_path, "--snapshots", "all")
    for name, cmap, lim in (("Cs", "RdBu_r", (-4.5, 4.5)), ("Ts", "viridis", (4.2, 6.5))):
        a = figs[f"Run01_00000005000_{name}"].axes[0]
        (mesh,) = a.collections
        assert mesh.get_cmap().name == cmap and mesh.get_clim() == pytest.approx(lim)
        assert integer_ticks(a.xaxis) and integer_ticks(a.yaxis)
    for name, y in (("Pc", [0.004, 0.012, 0.004]), ("Ca", [0.5, -0.5, 0.3, -0.3])):
        fig = figs[f"Run01_00000005000_{name}"]
        a = fig.axes[0]
        assert len(fig.axes) == 1 and not a.collections  # no map, no colour bar
        assert list(a.get_lines()[0].get_ydata()) == pytest.approx(y)
        assert integer_ticks(a.xaxis)
    assert "band boundary 1" in figs["Run01_00000005000_Pc"].axes[0].get_title()


def test_example_maps_and_stop_voltage(example_outputs, tmp_path):
    """The files of the program itself: Demo-001 (20 bands of 5 mm, 1000 uV/m)
    stops at 100 uV, its currents are signed; Demo-002 is an infinitely long
    cable (one band): no stop voltage, profiles instead of maps."""
    if "Demo-001" not in example_outputs or "Demo-002" not in example_outputs:
        pytest.skip("Demo-001 and Demo-002 not run")
    figs = draw(example_outputs["Demo-001"], tmp_path, "--snapshots", "last")
    assert [ln.get_ydata()[0] for ln in stop_lines(figs["Run01_Progress"])] == [100.0]
    cs = next(f for s, f in figs.items() if s.endswith("_Cs"))
    assert cs.axes[0].collections[0].get_cmap().name == "RdBu_r"
    figs = draw(example_outputs["Demo-002"], tmp_path, "--snapshots", "last")
    assert stop_lines(figs["Run01_Progress"]) == []
    for stem in ("Pc", "Ca"):
        fig = next(f for s, f in figs.items() if s.endswith("_" + stem))
        assert len(fig.axes) == 1 and not fig.axes[0].collections
