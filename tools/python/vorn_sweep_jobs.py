"""Running the cases of a sweep (part of vorn-sweep): the script that runs
one case (run_case.sh), GNU parallel for a local run, and the Slurm batch
script of a job array with its resubmission of cases that reach the time
limit."""

import os
import shlex
import shutil
import subprocess

PROG = "vorn-sweep"
STATUS = "status"
CHECKPOINT = "output/VORN_checkpoint.bin"  # of a case; vorn writes it on SIGTERM
STOPPED = 143          # vorn's exit status after SIGTERM (128 + 15)
RESUBMITS = "resubmits"  # of a case: its resubmissions after time limits


class SweepError(Exception):
    """A stop of vorn-sweep; the message names the file (and item)."""


def _wait_for_child(traps):
    """Shell text that waits for the command just started in the background
    ($!) with TRAPS ({signal: action on "$child"}) set; its status ends in
    $status.  A shell runs a trap only after a foreground command has ended,
    and dies of an untrapped SIGTERM before it records anything; ignoring the
    signal (trap '' TERM) would lose it, as Slurm signals the batch shell
    alone.  So the trap interrupts "wait" (status 128 + signal) and passes the
    signal on while the command goes on: wait again until a wait returns
    undisturbed (bash answers a second wait for an ended child alike)."""
    lines = ["child=$!"]
    lines += [f"trap 'caught=1; {action}' {sig}" for sig, action in traps.items()]
    lines += ["while :; do", "  caught=", '  wait "$child"', "  status=$?",
              '  [ -z "$caught" ] && break', "done"]
    return "\n".join(lines) + "\n"


def write_run_script(sweep, vorn):
    path = os.path.join(sweep.dir, "run_case.sh")
    name = shlex.quote(sweep.name)
    # vorn runs in the sweep directory with a relative root, which keeps the
    # case paths short (the program limits them to 80 characters).  vorn sets
    # its own SIGINT handler over the SIG_IGN that a background command gets.
    text = f"""#!/bin/bash
# Runs case $1 (e.g. 001) of the sweep {sweep.name}; its exit status goes to
# the file "{STATUS}" of the case, its console to vorn.out and vorn.err.  A run
# stopped by SIGTERM (status {STOPPED}, e.g. a time limit) with a checkpoint is
# resumed (appending); SIGTERM and SIGINT are passed on to vorn.
VORN=${{VORN:-{shlex.quote(vorn)}}}
cd {shlex.quote(sweep.dir)} || exit 2
dir=VORN_data/{name}/{name}-"$1"
[ -d "$dir/input" ] || {{ echo "run_case.sh: no case $dir" >&2; exit 2; }}
previous=$(cat "$dir/{STATUS}" 2>/dev/null)
rm -f "$dir/{STATUS}"
if [ "$previous" = {STOPPED} ] && [ -f "$dir/{CHECKPOINT}" ]; then
  "$VORN" --root VORN_data/ --resume {name} "$1" >> "$dir/vorn.out" 2>> "$dir/vorn.err" &
else
  "$VORN" --root VORN_data/ --fresh {name} "$1" > "$dir/vorn.out" 2> "$dir/vorn.err" &
fi
""" + _wait_for_child({"TERM": 'kill -TERM "$child" 2>/dev/null',
                       "INT": 'kill -INT "$child" 2>/dev/null'})
    text += f'echo "$status" > "$dir/{STATUS}"\nexit "$status"\n'
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, 0o755)
    return path


# --- running ------------------------------------------------------------------
def pending(sweep):
    return [i for i in sweep.ids if sweep.status(i) != 0]


def run_local(sweep, jobs):
    todo = pending(sweep)
    if not todo:
        return 0
    parallel = shutil.which("parallel")
    if not parallel:
        raise SweepError("GNU parallel is not installed (apt-get install parallel)")
    cmd = [parallel, "--will-cite", "-j", str(jobs), "--halt", "never",
           "--joblog", os.path.join(sweep.dir, "parallel.log"),
           os.path.join(sweep.dir, "run_case.sh"), ":::"] + todo
    subprocess.run(cmd, stdin=subprocess.DEVNULL)
    return len(todo)


def write_slurm_script(sweep, ids):
    s = sweep.spec["slurm"]
    lines = ["#!/bin/bash", f"#SBATCH --job-name=vorn-{sweep.name}",
             f"#SBATCH --array={array_list(sweep, ids)}",
             f"#SBATCH --output={os.path.join(sweep.dir, 'slurm', '%A_%a.out')}",
             "#SBATCH --ntasks=1", "#SBATCH --cpus-per-task=1"]
    for key in ("partition", "time", "mem", "account"):
        if key in s:
            lines.append(f"#SBATCH --{key}={s[key]}")
    before, most = s["signal_before"], s["max_resubmit"]
    if before > 0:
        # "B:" signals this shell alone; without it Slurm signals the job
        # steps (srun), and vorn runs in none.
        lines.append(f"#SBATCH --signal=B:USR1@{before}")
    for opt in s.get("options", []):
        lines.append(f"#SBATCH {opt}")
    case = shlex.quote(os.path.join(sweep.dir, "VORN_data", sweep.name, sweep.name + "-"))
    script = shlex.quote(os.path.join(sweep.dir, "sweep.sbatch"))
    lines.append(f"""# One array task per case: task k runs case k of sweep.csv.
ids=({" ".join(sweep.ids)})
id=${{ids[$((SLURM_ARRAY_TASK_ID - 1))]}}
case_dir={case}"$id"
# SIGUSR1 (signal_before = {before} s before the time limit; 0: none) tells vorn
# to stop (SIGTERM); a case stopped with a checkpoint is then submitted again
# as this array task, where it resumes.  A SIGTERM (scancel, or the limit
# itself) is passed on too but resubmits nothing: a cancelled task stays so.
near_limit=
{shlex.quote(os.path.join(sweep.dir, "run_case.sh"))} "$id" &
""" + _wait_for_child({"USR1": 'near_limit=1; kill -TERM "$child" 2>/dev/null',
                       "TERM": 'kill -TERM "$child" 2>/dev/null'}) + f"""\
if [ "$status" = {STOPPED} ] && [ -n "$near_limit" ] && [ -f "$case_dir/{CHECKPOINT}" ]; then
  n=$(cat "$case_dir/{RESUBMITS}" 2>/dev/null)
  case $n in ""|*[!0-9]*) n=0 ;; esac
  if [ "$n" -lt {most} ]; then
    echo $((n + 1)) > "$case_dir/{RESUBMITS}"
    echo "{PROG}: case $id reached the time limit; resubmission $((n + 1)) of {most} resumes it"
    sbatch --array="$SLURM_ARRAY_TASK_ID" {script} ||
      echo "{PROG}: case $id: sbatch failed; {PROG} --slurm resumes it"
  else
    echo "{PROG}: case $id reached the time limit; not resubmitted after {most} resubmissions\
 (max_resubmit): raise [slurm] time or max_resubmit, {PROG} --slurm resumes it"
  fi
fi
exit "$status"
""")
    path = os.path.join(sweep.dir, "sweep.sbatch")
    os.makedirs(os.path.join(sweep.dir, "slurm"), exist_ok=True)
    with open(path, "w") as f:
        f.write("\n".join(lines))
    return path


def array_list(sweep, ids):
    """Array indices of the cases to run, e.g. '1-6' or '2,5'."""
    k = [sweep.ids.index(i) + 1 for i in ids]
    if k == list(range(k[0], k[-1] + 1)):
        return f"{k[0]}-{k[-1]}" if len(k) > 1 else str(k[0])
    return ",".join(str(x) for x in k)


def submit_slurm(sweep, dry_run, wait):
    todo = pending(sweep)
    if not todo:
        return None, None
    for i in todo:  # each submission by hand allows max_resubmit anew
        if os.path.exists(os.path.join(sweep.case_dir(i), RESUBMITS)):
            os.unlink(os.path.join(sweep.case_dir(i), RESUBMITS))
    path = write_slurm_script(sweep, todo)
    if dry_run:
        return path, None
    sbatch = shutil.which("sbatch")
    if not sbatch:
        raise SweepError("sbatch not found: run on a Slurm login node, or write the script "
                         "only with --dry-run")
    cmd = [sbatch, "--parsable"] + (["--wait"] if wait else []) + [path]
    r = subprocess.run(cmd, capture_output=True, text=True)
    if r.returncode != 0 and not (wait and r.stdout.strip()):
        raise SweepError(f"sbatch {path}: {r.stderr.strip() or 'exit status ' + str(r.returncode)}")
    return path, r.stdout.strip().split(";")[0]
