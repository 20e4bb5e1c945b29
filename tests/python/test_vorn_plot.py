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
