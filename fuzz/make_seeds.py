#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/seed-*
from the shipped example cases and the formats the program writes.  Run from
anywhere; existing seeds are replaced, regression inputs are left alone."""
import pathlib
import re

HERE = pathlib.Path(__file__).resolve().parent
TOP = HERE.parent
DEMO = TOP / "examples" / "VORN_data" / "Demo"
CORPUS = HERE / "corpus"

# Order of the files in a case_reader input (as in case_reader_fuzz.cpp).
FILES = [f"inp_STEP{k:02d}.txt" for k in range(1, 17)] + [
    "inp_TimeSteps.txt", "inp_WrArrays.txt", "inp_Signals.txt", "inp_StrCur.txt",
    "inp_EP.txt", "inp_QE.txt", "inp_StrMech.txt", "inp_RRR_per_section.txt",
    "inp_LongVarB.txt", "inp_B-posit.txt", "inp_RaRc_per_strand.txt", "inp_RaSpecial.txt",
    "inp_RcSpecial.txt", "inp_LongVarR.txt", "inp_RhoSpecial.txt", "inp_LongVarRho.txt",
    "inp_IcLocal.txt", "inp_StrIc.txt", "inp_SurfVol.txt"]


def write(target, name, data):
    d = CORPUS / target
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data)


def case_input(files):
    parts = [files.get(f, "") for f in FILES]
    while parts and not parts[-1]:
        parts.pop()
    return "%%\n".join(p if p.endswith("\n") or not p else p + "\n" for p in parts).encode()


def set_values(text, changes):
    """Values of a one-record comma-separated file, changed by 1-based position."""
    vals = [v.strip() for v in text.strip().split(",")]
    for k, v in changes.items():
        vals[k - 1] = v
    return ", ".join(vals) + "\n"


def kind(token):
    if re.fullmatch(r"[+-]?\d+", token):
        return 0
    try:
        float(token.replace("D", "E").replace("d", "e"))
        return 1
    except ValueError:
        return 2


def listread_seed(text):
    """Header: one read per line (at most 8 lines, 9 values each), kinds from the tokens."""
    lines = [l for l in text.splitlines()][:8] or [""]
    head = [len(lines) - 1]
    for l in lines:
        toks = [t for t in re.split(r"[ ,\t]+", l.strip()) if t][:9]
        head.append(len(toks))
        head.extend(kind(t) for t in toks)
    return bytes(head) + text.encode()


def main():
    cases = {}
    for case in sorted(DEMO.glob("Demo-*")):
        files = {p.name: p.read_text() for p in (case / "input").glob("inp_*.txt")}
        cases[case.name] = files
        write("case_reader", f"seed-{case.name}", case_input(files))
        for name, text in sorted(files.items()):
            write("listread", f"seed-{case.name}-{name[:-4]}", listread_seed(text))

    # Options that request the auxiliary files, on the first example (12
    # strands, 20 bands): every auxiliary file once.
    f = dict(cases["Demo-001"])
    nb, ns = 20, 12
    f["inp_STEP01.txt"] = set_values(f["inp_STEP01.txt"], {14: "2"})
    f["inp_RRR_per_section.txt"] = "2\n1 3 5 150.0\n2 20 23 80.0\n"
    f["inp_STEP02.txt"] = set_values(f["inp_STEP02.txt"], {1: "1", 4: "4"})
    f["inp_LongVarB.txt"] = "".join(f"{i} 1.0 0.5\n" for i in range(1, nb + 1))
    f["inp_B-posit.txt"] = "".join(f"{i} 0.0 3.0 4.0\n" for i in range(1, ns + 1))
    f["inp_STEP05.txt"] = set_values(f["inp_STEP05.txt"], {5: "2", 10: "1", 15: "1", 18: "1"})
    f["inp_RaRc_per_strand.txt"] = "".join(f"{i} 1.0 2.0\n" for i in range(1, ns + 1))
    f["inp_RaSpecial.txt"] = "3 4 10.0\n5 6 12.0\n"
    f["inp_RcSpecial.txt"] = "7 8 30.0\n"
    f["inp_LongVarR.txt"] = "".join(f"{i} 20.0 15.0\n" for i in range(1, nb + 1))
    f["inp_STEP06.txt"] = set_values(f["inp_STEP06.txt"], {5: "1", 6: "1"})
    f["inp_RhoSpecial.txt"] = "2 5 3.0\n"
    f["inp_LongVarRho.txt"] = "".join(f"{i} 1.0\n" for i in range(1, nb + 1))
    f["inp_STEP07.txt"] = set_values(f["inp_STEP07.txt"], {10: "1", 11: "1"})
    f["inp_IcLocal.txt"] = "1 4 7 0.5\n"
    f["inp_StrIc.txt"] = "".join(f"{i} 1.0 30\n" for i in range(1, ns + 1))
    f["inp_STEP09.txt"] = set_values(f["inp_STEP09.txt"], {1: "2"})
    f["inp_SurfVol.txt"] = "".join(f"{s} 0.5 0.4 0.3 0.05\n" for s in range(2, 2 * ns))
    f["inp_STEP12.txt"] = set_values(f["inp_STEP12.txt"], {6: "1", 7: "3", 8: "2", 9: "2", 10: "2"})
    f["inp_StrCur.txt"] = "".join(f"{i} 8.3333 8.3333\n" for i in range(1, ns + 1))
    f["inp_EP.txt"] = "0 10 11\n0 5 6\n0 0 0\n1 2*5.0\n2 0 0\n"
    f["inp_QE.txt"] = "1 1.0 0.0 0.0 0 1 2.0 0.01 0\n2 2.0 0.0 0.0 0 2 2.0 0.01 0\n"
    write("case_reader", "seed-all-auxiliary", case_input(f))
    for name in ("inp_EP.txt", "inp_QE.txt", "inp_RRR_per_section.txt", "inp_SurfVol.txt"):
        write("listread", f"seed-aux-{name[:-4]}", listread_seed(f[name]))

    # Values that are not finite numbers (NaN, infinities, a literal beyond
    # the largest double), which the readers note and the validation lists.
    g = dict(cases["Demo-001"])
    g["inp_STEP05.txt"] = set_values(g["inp_STEP05.txt"], {6: "NaN", 7: "-Inf"})
    g["inp_STEP13.txt"] = set_values(g["inp_STEP13.txt"], {1: "Infinity", 2: "1e999"})
    rows = g["inp_TimeSteps.txt"].splitlines(keepends=True)
    toks = rows[1].split()
    toks[1] = "nan"  # the end time of the first row of the schedule
    rows[1] = "  ".join(toks) + "\n"
    g["inp_TimeSteps.txt"] = "".join(rows)
    write("case_reader", "seed-nonfinite", case_input(g))
    for name in ("inp_STEP05.txt", "inp_STEP13.txt", "inp_TimeSteps.txt"):
        write("listread", f"seed-nonfinite-{name[:-4]}", listread_seed(g[name]))

    # Formats the program writes, each with items of the kinds its first
    # descriptors take.
    formats = set()
    for src in (TOP / "src").rglob("*.cpp"):
        formats.update(re.findall(r'"(\([A-Z0-9][^"]*\))"', src.read_text()))
    for n, spec in enumerate(sorted(formats)):
        kinds = re.findall(r"ES|[IFEA]", spec.upper().replace("'", ""))[:15]
        items = bytearray([len(kinds)])
        for k in kinds:
            if k == "I":
                items += bytes([0]) + (12345).to_bytes(8, "little", signed=True)
            elif k == "A":
                items += bytes([2, 3]) + b",ab"
            else:
                import struct
                items += bytes([1]) + struct.pack("<d", -1234.5678)
        write("fmtwrite", f"seed-{n:02d}", bytes(items) + spec.encode())


if __name__ == "__main__":
    main()
