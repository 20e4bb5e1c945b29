"""vorn-sweep: a 2 x 3 grid through GNU parallel, resuming, the results table
against a case run on its own, the Slurm batch script and the sweep-file
errors; runs stopped by SIGTERM resumed from their checkpoint and resubmitted
at a time limit (with a stand-in vorn)."""
import csv
import io
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import pytest

from conftest import SOURCE, copy_case, tool, vorn_exe

SWEEP = tool("vorn-sweep")
TEMPLATE = os.path.join(SOURCE, "examples", "VORN_data", "Demo", "Demo-001")

GRID = """name = "rc_ramp"
[parameters]
RcCon = [5.0, 45.0]
C2_Opt = {start = 0.5, stop = 1.0, num = 3}
[fixed]
Nr_Opt = 60
[results]
columns = ["max:Pc_T", "last:Ts_max", "last:Time"]
"""


def sweep(*args):
    return subprocess.run([sys.executable, SWEEP, *map(str, args), "--vorn", vorn_exe()],
                          capture_output=True, text=True, timeout=600)


def table(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))


@pytest.fixture
def grid(tmp_path):
    p = tmp_path / "rc_ramp.toml"
    p.write_text(GRID)
    return p


def test_grid_runs_resumes_and_matches_a_single_run(grid, tmp_path):
    if not shutil.which("parallel"):
        pytest.skip("GNU parallel is not installed (apt-get install parallel)")
    r = sweep(TEMPLATE, grid, "-j", "2")
    assert r.returncode == 0, r.stdout + r.stderr
    d = tmp_path / "rc_ramp"
    index = table(d / "sweep.csv")
    assert index[0] == ["case", "RcCon", "C2_Opt"]
    assert [row[1:] for row in index[1:]] == [["5", "0.5"], ["5", "0.75"], ["5", "1"],
                                              ["45", "0.5"], ["45", "0.75"], ["45", "1"]]
    res = table(d / "results.csv")
    assert res[0] == ["case", "RcCon", "C2_Opt", "status", "max:Pc_T", "last:Ts_max",
                      "last:Time", "last_message"]
    assert all(row[3] == "0" for row in res[1:])
    pc = [float(row[4]) for row in res[1:]]
    # Crossing-contact loss: four times for twice the ramp rate; nearly a
    # ninth for nine times the resistance (the adjacent contacts share the
    # current paths).
    assert pc[2] / pc[0] == pytest.approx(4, rel=1e-3)
    assert 8.5 < pc[0] / pc[3] < 9.0

    # Case 005 (Rc 45, ramp x 0.75) run on its own gives the same numbers.
    alone = tmp_path / "alone" / "VORN_data" / "A" / "A-001"
    copy_case(TEMPLATE, alone)
    exe = vorn_exe()
    assert subprocess.run([exe, "set", alone, "Nr_Opt=60", "RcCon=45", "C2_Opt=0.75"],
                          capture_output=True).returncode == 0
    assert subprocess.run([exe, "A", "001"], cwd=tmp_path / "alone",
                          capture_output=True).returncode == 0
    import vorn_tables as vt
    prog = vt.read_table(alone / "Run01" / "Progress.dat")
    assert float(res[5][4]) == pytest.approx(max(prog.column("Pc_T")), abs=1e-9)
    assert float(res[5][5]) == pytest.approx(prog.column("Ts_max")[-1], abs=1e-9)

    # One case made to fail: only it runs again, and it is listed with its
    # last message.
    case4 = d / "VORN_data" / "rc_ramp" / "rc_ramp-004"
    (case4 / "status").write_text("1\n")
    step = case4 / "input" / "inp_STEP13.txt"
    kept = step.read_text()
    step.unlink()
    os.unlink(d / "parallel.log")
    r = sweep(TEMPLATE, grid, "-j", "2")
    assert r.returncode == 1
    assert "5 of 6 cases finished" in r.stdout
    assert "case 004 (exit status 1): Input file not found" in r.stdout
    assert len(open(d / "parallel.log").read().splitlines()) == 2  # header + one case
    row = table(d / "results.csv")[4]
    assert row[3] == "1" and row[4] == "" and "inp_STEP13.txt" in row[-1]
    step.write_text(kept)
    r = sweep(TEMPLATE, grid, "-j", "2")
    assert r.returncode == 0 and "6 of 6 cases finished" in r.stdout
    assert table(d / "results.csv")[4][4] == res[4][4]


def test_slurm_script(grid, tmp_path):
    r = sweep(TEMPLATE, grid, "--slurm", "--dry-run", "--dir", tmp_path / "s")
    assert r.returncode == 0, r.stderr
    script = tmp_path / "s" / "sweep.sbatch"
    assert f"sbatch {script}" in r.stdout
    text = script.read_text()
    assert "#SBATCH --array=1-6\n" in text and "ids=(001 002 003 004 005 006)" in text
    assert subprocess.run(["bash", "-n", script]).returncode == 0
    # Finished cases are left out of the array.
    for k in ("001", "003"):
        (tmp_path / "s" / "VORN_data" / "rc_ramp" / f"rc_ramp-{k}" / "status").write_text("0\n")
    assert sweep(TEMPLATE, grid, "--slurm", "--dry-run", "--dir", tmp_path / "s").returncode == 0
    assert "#SBATCH --array=2,4,5,6\n" in script.read_text()


@pytest.mark.parametrize("text, message", [
    ('[parameters]\nRCcon = [1, 2]\n', 'Unknown parameter "RCcon"; close names: RcCon'),
    ('[parameters]\nNS = [12, 7]\n', "case 002 (NS=7)"),
    ('combine = "zip"\n[parameters]\nRcCon = [1, 2]\nRaCon = [1]\n', "RcCon: 2, RaCon: 1"),
    ('[parameters]\nRcCon = {start = 1, stop = 2}\n', "parameters.RcCon: num"),
    ('[parameters]\nRcCon = [1]\n[results]\ncolumns = ["top:Pc_T"]\n', "'top:Pc_T'"),
    ('[parameters\n', "sweep.toml"),
    ('', "[parameters] is missing"),
])
def test_sweep_file_errors(tmp_path, text, message):
    p = tmp_path / "sweep.toml"
    p.write_text(text)
    r = sweep(TEMPLATE, p)
    assert r.returncode == 1
    assert message in r.stderr, r.stderr


def _slurm_missing():
    if os.environ.get("VORN_SLURM_TEST") == "0":
        return "VORN_SLURM_TEST=0"
    for tool in ("munged", "slurmctld", "slurmd", "sbatch", "sinfo"):
        if not shutil.which(tool) and not os.path.exists(f"/usr/sbin/{tool}"):
            return f"{tool} not found (apt-get install slurm-wlm)"
    if os.geteuid() != 0:
        return "the single-node Slurm of this test runs its daemons as root"
    return None


def test_three_case_array_on_a_local_slurm(tmp_path):
    """A single-node Slurm started and stopped on this machine runs the array."""
    why = _slurm_missing()
    if why:
        pytest.skip(f"no local Slurm: {why}")
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "slurm_local.sh")
    sdir = tmp_path / "slurm"
    env = dict(os.environ, SLURM_CONF=str(sdir / "slurm.conf"),
               PATH=os.environ.get("PATH", "") + ":/usr/sbin")
    start = subprocess.run(["bash", script, "start", sdir], capture_output=True, text=True,
                           env=env, timeout=120)
    try:
        if start.returncode != 0:
            pytest.skip(f"the local Slurm did not start: {start.stdout.strip()}")
        p = tmp_path / "three.toml"
        p.write_text('name = "three"\n[parameters]\nRcCon = [5, 15, 45]\n'
                     '[results]\ncolumns = ["max:Pc_T"]\n')
        r = subprocess.run([sys.executable, SWEEP, TEMPLATE, p, "--vorn", vorn_exe(),
                            "--slurm", "--wait", "--dir", tmp_path / "t"],
                           capture_output=True, text=True, env=env, timeout=300)
        assert r.returncode == 0, r.stdout + r.stderr
        assert "3 of 3 cases finished" in r.stdout
        assert len(os.listdir(tmp_path / "t" / "slurm")) == 3
        pc = [float(row[3]) for row in table(tmp_path / "t" / "results.csv")[1:]]
        assert pc[0] > pc[1] > pc[2] > 0
    finally:
        subprocess.run(["bash", script, "stop", sdir], env=env, timeout=60)


def test_quench_energy_runs_split_into_cases(tmp_path):
    """Each run of a search becomes a case with its own row of inp_QE.txt."""
    template = tmp_path / "T"
    copy_case(os.path.join(SOURCE, "examples", "VORN_data", "Demo", "Demo-005"), template)
    rows = [f"1, 1.0, {tc:.1f}, 5.0, 0, 1, 2.0, 5.0, 0" for tc in (2000, 2200, 2400)]
    (template / "input" / "inp_QE.txt").write_text("\n".join(rows) + "\n")
    assert subprocess.run([vorn_exe(), "set", template, "Opt_HP=2", "NrRunT=3"],
                          capture_output=True).returncode == 0
    p = tmp_path / "qs.toml"
    p.write_text('name = "qs"\nsplit_runs = true\n[parameters]\nRcCon = [10, 20]\n'
                 '[results]\ncolumns = ["qe:E_HP_aver"]\n')
    r = sweep(template, p, "--slurm", "--dry-run", "--dir", tmp_path / "qs")
    assert r.returncode == 0, r.stderr
    index = table(tmp_path / "qs" / "sweep.csv")
    assert index[0] == ["case", "RcCon", "run"] and len(index) == 7
    assert index[5] == ["005", "20", "2"]
    case5 = tmp_path / "qs" / "VORN_data" / "qs" / "qs-005"
    assert (case5 / "input" / "inp_QE.txt").read_text() == rows[1] + "\n"
    got = subprocess.run([vorn_exe(), "get", case5, "NrRunT", "RcCon"], capture_output=True,
                         text=True).stdout
    assert got == "NrRunT = 1  (inp_STEP12.txt)\nRcCon = 20 uOhm  (inp_STEP05.txt)\n"


def test_readme_study_file(tmp_path):
    """The README's sweep file makes its 18 cases, each validated by vorn set."""
    p = os.path.join(SOURCE, "examples", "sweeps", "rc_ramp.toml")
    r = sweep(TEMPLATE, p, "--slurm", "--dry-run", "--dir", tmp_path / "rc")
    assert r.returncode == 0, r.stderr
    index = table(tmp_path / "rc" / "sweep.csv")
    assert len(index) == 19 and index[1] == ["001", "2.5", "0.5"]
    assert index[-1] == ["018", "80", "2"]
    assert "#SBATCH --time=00:10:00" in (tmp_path / "rc" / "sweep.sbatch").read_text()


# --- stopped runs: resumed by run_case.sh, resubmitted by the batch script ---
# A stand-in vorn (VORN=...) and sbatch on PATH; no build and no Slurm needed.
FAKE_VORN = """#!{python}
# Stands in for vorn: appends its arguments to calls and "run N" to vorn.out,
# then as the file mode says: done (exit 0, checkpoint removed), stop (exit 143
# with a checkpoint) or wait (until SIGTERM or SIGINT, then as vorn does:
# checkpoint, exit 128 + signal; exit 0 after 30 s without one).
import os, signal, sys, time
fake, args = os.environ["FAKE"], sys.argv[1:]
with open(os.path.join(fake, "calls"), "a") as f:
    f.write(" ".join(args) + "\\n")
if "--fresh" in args and "--resume" in args:
    sys.exit(2)
name, case = args[-2:]
ckpt = os.path.join(args[1], name, name + "-" + case, "output", "VORN_checkpoint.bin")
if "--resume" in args and not os.path.isfile(ckpt):
    sys.exit("no checkpoint")
print("run", len(open(os.path.join(fake, "calls")).readlines()), flush=True)
mode = open(os.path.join(fake, "mode")).read()

def stop(sig, frame):
    open(ckpt, "w").close()
    sys.exit(128 + sig)

if mode == "wait":
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    open(os.path.join(fake, "started"), "w").close()
    for _ in range(600):  # 30 s at most, should the signal never come
        time.sleep(0.05)
if mode == "stop":
    stop(15, None)
if os.path.exists(ckpt):
    os.unlink(ckpt)
"""


class Fake:
    """Sweep "t" of cases 001 and 002 made by hand; array task 2 (case 002)."""

    def __init__(self, tmp, slurm):
        import vorn_sweep as vs
        self.vs, self.tmp = vs, tmp
        grid = vs.parse_sweep("t.toml", {"name": "t", "parameters": {"RcCon": [5, 45]},
                                         "slurm": slurm})
        self.sweep = vs.Sweep(str(tmp / "sw"), grid)
        for i in self.sweep.ids:
            for sub in ("input", "output"):
                os.makedirs(os.path.join(self.sweep.case_dir(i), sub))
        self.case = tmp / "sw" / "VORN_data" / "t" / "t-002"
        self.run_case = vs.write_run_script(self.sweep, "/nowhere/vorn")  # VORN wins
        self.batch = vs.write_slurm_script(self.sweep, self.sweep.ids)
        bindir = tmp / "bin"
        bindir.mkdir()
        (bindir / "vorn").write_text(FAKE_VORN.format(python=sys.executable))
        (bindir / "sbatch").write_text('#!/bin/bash\necho "$*" >> "$FAKE/sbatch"\n')
        for f in bindir.iterdir():
            f.chmod(0o755)
        self.env = dict(os.environ, FAKE=str(tmp), VORN=str(bindir / "vorn"),
                        PATH=f"{bindir}:{os.environ['PATH']}", SLURM_ARRAY_TASK_ID="2")

    def lines(self, name):
        p = self.tmp / name
        return p.read_text().splitlines() if p.exists() else []

    def run(self, mode):
        (self.tmp / "mode").write_text(mode)
        return subprocess.run([self.run_case, "002"], env=self.env, timeout=60).returncode

    def signalled(self, cmd, sig):
        """Runs cmd until vorn waits, sends sig to cmd's shell alone (as Slurm's
        --signal=B: does); (exit status, output)."""
        (self.tmp / "mode").write_text("wait")
        started = self.tmp / "started"
        started.unlink(missing_ok=True)
        p = subprocess.Popen(cmd, env=self.env, stdout=subprocess.PIPE, text=True)
        for _ in range(1000):
            if started.exists() or p.poll() is not None:
                break
            time.sleep(0.02)
        time.sleep(0.2)  # the shells set their traps just after starting vorn
        p.send_signal(sig)
        out = p.communicate(timeout=40)[0]
        return p.returncode, out


@pytest.mark.parametrize("status, checkpoint, resumed", [
    ("143", True, True), ("143", False, False), ("1", True, False), ("130", True, False),
    (None, True, False)])
def test_run_case_resumes_only_after_sigterm_with_a_checkpoint(tmp_path, status, checkpoint,
                                                               resumed):
    f = Fake(tmp_path, {})
    if status:
        (f.case / "status").write_text(status + "\n")
    if checkpoint:
        (f.case / "output" / "VORN_checkpoint.bin").write_text("")
    (f.case / "vorn.out").write_text("run 0\n")
    assert f.run("done") == 0
    assert f.lines("calls") == [f"--root VORN_data/ {'--resume' if resumed else '--fresh'} t 002"]
    # A resumed run appends to the console of the stopped one.
    assert (f.case / "vorn.out").read_text() == ("run 0\n" if resumed else "") + "run 1\n"
    assert (f.case / "status").read_text() == "0\n"


def test_stopped_case_is_pending_and_resumes(tmp_path):
    f = Fake(tmp_path, {})
    assert f.run("stop") == 143
    assert (f.case / "status").read_text() == "143\n"
    assert f.vs.pending(f.sweep) == ["001", "002"]
    out = io.StringIO()
    f.vs.report(f.sweep, f.vs.collect(f.sweep)[1], out)
    assert "case 002 (exit status 143, stopped with a checkpoint: the next run resumes it)" \
        in out.getvalue()
    assert f.run("done") == 0
    assert f.lines("calls") == ["--root VORN_data/ --fresh t 002",
                                "--root VORN_data/ --resume t 002"]
    assert (f.case / "vorn.out").read_text() == "run 1\nrun 2\n"
    assert not (f.case / "output" / "VORN_checkpoint.bin").exists()
    assert f.vs.pending(f.sweep) == ["001"]


@pytest.mark.parametrize("sig, code", [(signal.SIGTERM, 143), (signal.SIGINT, 130)])
def test_run_case_passes_signals_on_and_records_the_status(tmp_path, sig, code):
    f = Fake(tmp_path, {})
    assert f.signalled([f.run_case, "002"], sig)[0] == code
    assert (f.case / "status").read_text() == f"{code}\n"
    assert (f.case / "output" / "VORN_checkpoint.bin").exists()


def test_batch_script_signal_line_and_resubmission(tmp_path):
    f = Fake(tmp_path, {"signal_before": 300})
    text = open(f.batch).read()
    assert "#SBATCH --signal=B:USR1@300\n" in text
    assert f'sbatch --array="$SLURM_ARRAY_TASK_ID" {f.batch} ||' in text
    assert subprocess.run(["bash", "-n", f.batch]).returncode == 0
    g = f.vs.parse_sweep("z.toml", {"parameters": {"RcCon": [5]}, "slurm": {"signal_before": 0}})
    z = f.vs.write_slurm_script(f.vs.Sweep(str(tmp_path / "z"), g), ["001"])
    assert "--signal" not in open(z).read()


def test_batch_task_resubmits_at_the_time_limit_up_to_max_resubmit(tmp_path):
    f = Fake(tmp_path, {"max_resubmit": 2})
    # scancel (SIGTERM): vorn stops with a checkpoint, but nothing is resubmitted.
    assert f.signalled(["bash", f.batch], signal.SIGTERM)[0] == 143
    assert f.lines("sbatch") == [] and (f.case / "output" / "VORN_checkpoint.bin").exists()
    # The warning before the time limit (SIGUSR1): resubmitted as task 2, twice.
    for k in (1, 2, 3):
        code, out = f.signalled(["bash", f.batch], signal.SIGUSR1)
        assert code == 143 and (f.case / "status").read_text() == "143\n"
        assert f.lines("sbatch") == [f"--array=2 {f.batch}"] * min(k, 2)
        assert (f.case / "resubmits").read_text() == f"{min(k, 2)}\n"
    assert "resubmission 2 of 2" not in out
    assert "case 002 reached the time limit; not resubmitted after 2 resubmissions" in out
    assert f.lines("calls") == ["--root VORN_data/ --fresh t 002"] + \
        ["--root VORN_data/ --resume t 002"] * 3
    # A new submission by hand allows max_resubmit again.
    f.vs.submit_slurm(f.sweep, dry_run=True, wait=False)
    assert not (f.case / "resubmits").exists()


@pytest.mark.parametrize("slurm, message", [
    ({"signal_befor": 60}, "unknown key(s) signal_befor"),
    ({"signal_before": "2m"}, "slurm.signal_before = '2m'"),
    ({"signal_before": 70000}, "to 65535"),
    ({"max_resubmit": -1}, "slurm.max_resubmit = -1"),
])
def test_slurm_key_errors(slurm, message):
    import vorn_sweep as vs
    with pytest.raises(vs.SweepError, match=re.escape(message)):
        vs.parse_sweep("s.toml", {"parameters": {"RcCon": [1]}, "slurm": slurm})
