"""The reader of the comma-separated fixed-width result tables."""
import glob
import math
import os

import pytest

import vorn_tables as vt

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


def test_every_result_file_of_the_examples(example_outputs):
    """Each table of every example reads with consistent row widths; each
    snapshot has one value per column index and statistics that match."""
    kinds = set()
    for case, d in example_outputs.items():
        for path in sorted(glob.glob(os.path.join(d, "Run*", "*.dat"))):
            base = os.path.basename(path)
            if base == "VORN_convergency.dat":
                continue
            t = vt.read_file(path)
            if isinstance(t, vt.Snapshot):
                kinds.add("snapshot")
                assert t.time is not None and t.nts is not None, path
                assert len(t.values) == len(t.bands or [0])
                for stats, row in zip(t.stats, t.values):
                    assert len(row) == len(t.index)
                    if all(math.isfinite(v) for v in row) and abs(stats[0]) < 1e5:
                        # Sum and Max of the row, to the 3 decimals written
                        assert stats[0] == pytest.approx(sum(row), abs=1e-3 * len(row) + 1e-9)
                        assert stats[4] == pytest.approx(max(row), abs=1e-3)
            else:
                kinds.add(base)
                assert t.rows, path
                assert all(len(r) == len(t.names) for r in t.rows)
        prog = vt.read_table(os.path.join(d, "Run01", "Progress.dat"))
        assert prog.names[:3] == ["NTS", "dt", "Time"] and len(prog.names) == 36
        assert prog.unit("Pa_T") == "mW" and prog.unit("Ts_max") == "K"
        assert prog.column("NTS")[0] == 0
    assert {"snapshot", "Progress.dat", "Signals.dat"} <= kinds
    if "Demo-008" in example_outputs:
        assert "Mp.dat" in kinds


def test_snapshot_layout():
    text = (" Strand currents per section, Cs [A]\n"
            " Time step           5\n"
            " Time   5.0000000000000001E-003\n"
            " All values multplied by:   1000.0000000000000\n"
            "  NB,       Sum,      Aver,     StDev,       Min,       Max,         2,         3\n"
            "   1,     3.000,     1.500,     0.707,     1.000,     2.000,     1.000,     2.000\n"
            "   2,**********,     1.500,     0.707,     1.000,     2.000,**********,     2.000\n")
    s = vt.read_snapshot("x.dat", text)
    assert s.nts == 5 and s.time == pytest.approx(5e-3) and s.multiplier == 1000
    assert s.index == [2, 3] and s.bands == [1, 2]
    assert s.values[0] == [1.0, 2.0]
    assert math.isnan(s.values[1][0]) and math.isnan(s.stats[1][0])
    assert s.name == ("Cs", "A") and s.unit == "mA"


def test_integer_and_one_dimensional_snapshots():
    integer = (" Regime [-]\n Time step           0\n Time   0.0\n"
               "    NB,   Sum,  Aver, StDev,   Min,   Max,  2,  3,  4\n"
               "     1,     1, 0.333, 0.577,     0,     1,  0,  0,  1\n")
    s = vt.read_snapshot("r.dat", integer)
    assert s.multiplier is None and s.values == [[0, 0, 1]] and s.stats[0][1] == 0.333
    one_d = (" Field in x-direction along a line, BFL_x [mT]\n Time step 0\n Time 0.0\n"
             " All values multplied by: 1000.0\n"
             "       Sum,      Aver,     StDev,       Min,       Max,         1,         2\n"
             "     3.000,     1.500,     0.707,     1.000,     2.000,     1.000,     2.000\n")
    s = vt.read_snapshot("b.dat", one_d)
    assert s.bands is None and s.index == [1, 2] and s.values == [[1.0, 2.0]]


def test_snapshot_errors_name_the_file_and_line():
    bad = (" Cs [A]\n Time step 1\n Time 0.0\n"
           "  NB,       Sum,      Aver,     StDev,       Min,       Max,         2\n"
           "   1,     1.000,     1.000,     0.000,     1.000,     1.000\n")
    with pytest.raises(vt.TableError, match=r"bad\.dat, line 5"):
        vt.read_snapshot("bad.dat", bad)
    with pytest.raises(vt.TableError, match="short"):
        vt.read_snapshot("s.dat", " title\n")


def test_repeated_header_blocks_and_text_lines():
    head = (" NTS,  Time,     E\n"
            " (-),   (s),  (mJ)\n")
    text = head + "   0, 0.000, 1.000\n   1, 0.001, 2.000\n" + head + "   0, 0.000, 5.000\n"
    text += "QE_accuracy in the energy pulse reached. Simulation stopped\n"
    t = vt.read_table("p.dat", text)
    assert len(t.blocks) == 2 and [b.line for b in t.blocks] == [1, 5]
    assert t.column("E") == [1.0, 2.0, 5.0]
    assert t.blocks[0].column("E") == [1.0, 2.0]
    assert t.unit("E") == "mJ"
    assert t.text[-1][1].startswith("QE_accuracy")
    with pytest.raises(KeyError, match="no column 'F'"):
        t.column("F")
    with pytest.raises(vt.TableError, match="no table"):
        vt.read_table("n.dat", "just a line\nand another\n")


def test_energy_file_of_a_heater_example():
    t = vt.read_table(os.path.join(DATA, "Energy.dat"))
    assert t.names[:3] == ["NTS", "Time", "E_HP"] and len(t.names) == 13
    assert t.unit("E_Joule") == "mJ" and t.unit("Residual_rel") == "-"
    e = t.column("E_HP")
    assert e[0] == 0 and all(b >= a for a, b in zip(e, e[1:]))


def test_snapshot_names():
    assert vt.snapshot_stamp(" 1 00000005000 Cs.dat") == (1, "00000005000", "Cs")
    assert vt.snapshot_stamp("12 M0000000005 Ts-THs.dat") == (12, "M0000000005", "Ts-THs")
    assert not vt.is_snapshot_name("Progress.dat")
    assert not vt.is_snapshot_name(" 1 0000005000 Cs.dat")
