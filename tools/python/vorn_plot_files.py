"""What the result files of a vorn case say, for vorn-plot: the indices and
sign of a snapshot array, the voltage a run stops at, and the runs and
quench-energy iterations of the blocks of an appended file."""

import collections
import math
import os
import re

import vorn_tables as vt


# --- what a snapshot array is ---------------------------------------------
# By the array name of the file ("Ca_Inf", "RHOs", "BFLz") or of the title
# ("Ca_Inf", "Rho_s", "BFL_z").
_INDEX_WORDS = [
    (re.compile(r"^(Ca|Pa)(_?Inf)?$"), "band", "adjacent contact"),
    (re.compile(r"^(Cc|Pc)(_?Inf)?$"), "band boundary", "crossing contact"),
    (re.compile(r"^BFL"), None, "point on the line"),
    (re.compile(r"wZ$"), "band end (0 = cable entrance)", "wire"),
    (re.compile(r"(w|_w|w-THw)$"), "band", "wire"),
    (re.compile(r"(p|_p|p-THp)(_?Inf)?$|^BSFp"), "band", "position"),
]
# Arrays that take both signs: currents, voltages, field components and
# rates, heat flows, temperature differences, the saturation code.
_SIGNED = re.compile(r"^(C[acspw](_?Inf)?$|V[RIT]|BSF|BDOT|HF_|T[spw]-TH|NrSAT|BFL)")
DIVERGING, SEQUENTIAL = "RdBu_r", "viridis"


def index_words(name):
    """(row word, column word) of a snapshot array's name."""
    for rx, row, col in _INDEX_WORDS:
        if rx.search(name):
            return row, col
    return "band", "section"


def is_signed(name, values=()):
    """Whether the array is drawn around 0: a quantity that takes both signs,
    known by name or seen in the values."""
    v = [x for x in values if math.isfinite(x)]
    return bool(_SIGNED.search(name)) or bool(v) and min(v) < 0 < max(v)


def drawn_rows(s, row_word):
    """(bands, rows) of a snapshot to draw.  The crossing-contact tables hold
    the planes 1..NB+1, the last (the cable end) always 0: for one band
    (NB = 1) only the first plane is drawn."""
    bands, rows = s.bands, s.values
    if row_word == "band boundary" and len(rows) == 2 and all(
            not math.isfinite(v) or v == 0 for v in rows[1]):
        bands, rows = bands[:1], rows[:1]
    return bands, rows


# --- the stop voltage -------------------------------------------------------
# The resistive voltage at which a run stops: `uv` per cable in uV (the
# per-metre input times the cable length, m), or None with the reason `why`.
StopVoltage = collections.namedtuple("StopVoltage", "uv per_metre length why",
                                     defaults=(None, None, None, None))


_ONE_BAND = "no VoltStop line: not tested with one band (NB = 1)"
_SUMMARY_KEYS = ("NB: Number of bands", "Cable length", "Voltage at which the calculation stops")
# Factor from uV to the unit of the plotted column.
_FROM_UV = {"V": 1e-6, "mV": 1e-3, "uV": 1.0, "\u00b5V": 1.0, "nV": 1e3}


def _summary_values(case_dir):
    """{key: (value, unit)} of the lines of output/Summary.dat that give the
    stop voltage (as the program stored it) and the cable length."""
    out = {}
    try:
        with open(os.path.join(case_dir, "output", "Summary.dat"), encoding="latin-1") as f:
            for line in f:
                fields = [x.strip() for x in line.split(",")]
                if len(fields) >= 2 and fields[0] in _SUMMARY_KEYS and fields[0] not in out:
                    v = vt.parse_number(fields[1])
                    if v is not None:
                        out[fields[0]] = (v, fields[2] if len(fields) > 2 else "")
    except OSError:
        pass
    return out


def _step_numbers(case_dir, step):
    with open(os.path.join(case_dir, "input", f"inp_STEP{step:02d}.txt"), encoding="latin-1") as f:
        return [float(x.replace("D", "E").replace("d", "e"))
                for x in re.split(r"[,\s]+", f.read().strip()) if x]


def read_stop_voltage(case_dir):
    """The stop voltage of the case, from Summary.dat (what the program used),
    else from the step files: VoltStop (uV per metre, STEP12) times the cable
    length TPStr*NB/NS (STEP01, TPStr in mm).  The program tests it only when
    the cable has more than one band."""
    s = _summary_values(case_dir)
    if _SUMMARY_KEYS[0] in s and _SUMMARY_KEYS[2] in s:
        if s[_SUMMARY_KEYS[0]][0] <= 1:
            return StopVoltage(why=_ONE_BAND)
        v, unit = s[_SUMMARY_KEYS[2]]
        length = s.get(_SUMMARY_KEYS[1], (0.0, ""))[0]
        if unit == "uV" and length > 0:
            return StopVoltage(v, v / length, length)
    try:
        s1, s12 = _step_numbers(case_dir, 1), _step_numbers(case_dir, 12)
        nb, ns, tp_str, per_metre = int(s1[3]), int(s1[4]), s1[12] / 1000.0, s12[1]
    except (OSError, IndexError, ValueError):
        return StopVoltage(why="VoltStop unknown (no Summary.dat, no step files)")
    if nb <= 1:
        return StopVoltage(why=_ONE_BAND)
    length = tp_str * nb / ns
    return StopVoltage(per_metre * length, per_metre, length)


# --- the header blocks of appended files --------------------------------------
def qe_trial(t):
    """(trial, lower, upper) column names of VORN_QE.dat: the searched
    current when it varies at a fixed energy, else the energy."""
    current = len(set(t.column("TC"))) > 1 and len(set(t.column("E_HP"))) == 1
    return ("TC", "TC_min", "TC_max") if current else ("E_HP", "E_HP_min", "E_HP_max")


def read_decisions(run_dir):
    """[(iteration, trial text, quench)] of the run's VORN_QE.dat, [] without."""
    path = os.path.join(run_dir, "VORN_QE.dat")
    try:
        t = vt.read_table(path)
        trial = qe_trial(t)[0]
        return [(int(i), f"{trial} = {v:g} {t.unit(trial)}", d == 1) for i, v, d in
                zip(t.column("Iter"), t.column(trial), t.column("QE_Dec"))]
    except (OSError, vt.TableError, KeyError, ValueError):
        return []


def block_labels(blocks, decisions):
    """Legend text of every header block of an appended run file.  The search
    writes one block per iteration; VORN_QE.dat (rewritten by every run of the
    case) names the last ones; other blocks come from earlier runs."""
    n = len(blocks)
    labels = [f"block {k + 1} (line {b.line})" for k, b in enumerate(blocks)]
    if decisions and n >= len(decisions):
        first = n - len(decisions)
        for k, (it, trial, quench) in enumerate(decisions):
            labels[first + k] = f"iteration {it}: {trial}, {'quench' if quench else 'no quench'}"
        for k in range(first):
            labels[k] = f"earlier run, block {k + 1}"
    return labels
