"""Reader of the comma-separated fixed-width result tables of vorn.

Every result file of a case is a text table whose fields are right-aligned in
fixed widths and separated by commas.  Three layouts occur:

* column tables (Progress.dat, Energy.dat, Signals.dat, VORN_QE.dat,
  VORN_QE_Sum.dat, Mp.dat): a line of column names, usually followed by a
  line of units in parentheses, then one line of numbers per row.  Files that
  are appended to by several runs repeat the name and unit lines; each
  repetition starts a new block.  Any other line (titles, legends, closing
  remarks, the signal definitions) is kept as text.
* snapshots ("RR TTTTTTTTTTT Name.dat"): a title such as
  "Strand currents per section, Cs [A]", the lines "Time step", "Time" and
  (for real arrays) "All values multplied by:", a column header
  "NB, Sum, Aver, StDev, Min, Max, i1, i2, ..." and one row per band.
* the same without a band column for one-dimensional arrays.

A field written as asterisks (a value too wide for its field) is read as a
missing value (NaN).
"""

import math
import os
import re

__all__ = ["TableError", "Block", "Table", "Snapshot", "read_table", "read_snapshot",
           "read_file", "parse_number", "is_snapshot_name", "snapshot_stamp",
           "SNAPSHOT_RE"]

# " 1 00000005000 Cs.dat": run, time stamp, name.
SNAPSHOT_RE = re.compile(r"^([ \d]\d) ([0-9MS]\d{10}) (.+)\.dat$")
STAT_COLUMNS = ("Sum", "Aver", "StDev", "Min", "Max")


class TableError(ValueError):
    """A file that does not have the layout of a result table."""


def parse_number(text):
    """The value of one field: a float, NaN for asterisks, None for text."""
    t = text.strip()
    if t and set(t) == {"*"}:
        return math.nan
    try:
        return float(t.replace("D", "E").replace("d", "e"))
    except ValueError:
        return None


def _fields(line):
    return [f.strip() for f in line.rstrip("\r\n").split(",")]


def _is_unit_line(fields):
    return len(fields) > 1 and all(f.startswith("(") and f.endswith(")") for f in fields if f)


def _numeric(fields):
    values = [parse_number(f) for f in fields]
    if not fields or any(v is None for v in values):
        return None
    return values


class Block:
    """One header block of a column table and the rows below it."""

    def __init__(self, names, units, line):
        self.names = names
        self.units = units
        self.line = line  # 1-based line number of the names
        self.rows = []

    def column(self, name):
        """The values of the column `name` (a list of floats)."""
        try:
            k = self.names.index(name)
        except ValueError:
            raise KeyError(f"no column {name!r}; the columns are {', '.join(self.names)}")
        return [r[k] for r in self.rows]

    def unit(self, name):
        k = self.names.index(name)
        u = self.units[k] if k < len(self.units) else ""
        return u.strip("()")


class Table:
    """A column table: its blocks and its text lines."""

    def __init__(self, path, blocks, text):
        self.path = path
        self.blocks = blocks
        self.text = text  # (line number, line) of every line outside the rows

    @property
    def names(self):
        return self.blocks[-1].names if self.blocks else []

    @property
    def rows(self):
        """The rows of every block with the same columns as the last one."""
        out = []
        for b in self.blocks:
            if b.names == self.names:
                out.extend(b.rows)
        return out

    def column(self, name):
        if not self.blocks:
            raise KeyError(f"{self.path}: no table")
        k = self.names.index(name) if name in self.names else None
        if k is None:
            raise KeyError(f"{self.path}: no column {name!r}; the columns are "
                           f"{', '.join(self.names)}")
        return [r[k] for r in self.rows]

    def unit(self, name):
        return self.blocks[-1].unit(name)


def read_table(path, text=None):
    """Reads a column table.  Raises TableError when no block is found."""
    if text is None:
        with open(path, encoding="latin-1") as f:
            text = f.read()
    lines = text.splitlines()
    blocks, other = [], []
    i = 0
    while i < len(lines):
        fields = _fields(lines[i])
        nxt = _fields(lines[i + 1]) if i + 1 < len(lines) else None
        values = _numeric(fields)
        if values is None and nxt is not None and _is_unit_line(nxt) and len(nxt) == len(fields) \
                and len(fields) > 1:
            blocks.append(Block(fields, nxt, i + 1))
            i += 2
            continue
        if values is not None and blocks and len(values) == len(blocks[-1].names):
            blocks[-1].rows.append(values)
        elif values is None and blocks and (not blocks[-1].rows or fields == blocks[-1].names) \
                and _header_without_units(fields, lines, i):
            # A repeated header without units (Mp.dat appended by another run
            # or iteration) starts a block of its own, as one with units does.
            blocks.append(Block(fields, [""] * len(fields), i + 1))
        elif values is None and not blocks and _header_without_units(fields, lines, i):
            blocks.append(Block(fields, [""] * len(fields), i + 1))
        else:
            other.append((i + 1, lines[i]))
        i += 1
    if not blocks:
        raise TableError(f"{path}: no table found (a line of column names followed by "
                         f"rows of numbers)")
    return Table(path, blocks, other)


def _header_without_units(fields, lines, i):
    """A names line directly followed by numeric rows of the same width."""
    if len(fields) < 2 or i + 1 >= len(lines):
        return False
    nxt = _numeric(_fields(lines[i + 1]))
    return nxt is not None and len(nxt) == len(fields) and all(fields)


class Snapshot:
    """One snapshot file: a table of one array, row = band, column = index."""

    def __init__(self, path, title, nts, time, multiplier, index, bands, stats, values):
        self.path = path
        self.title = title
        self.nts = nts
        self.time = time
        self.multiplier = multiplier
        self.index = index      # second index of every column
        self.bands = bands      # band of every row (None for a 1-D array)
        self.stats = stats      # rows of Sum, Aver, StDev, Min, Max
        self.values = values    # rows of the values

    @property
    def name(self):
        """Short name and unit from the title: 'Cs', 'A'."""
        m = re.search(r",\s*([^,\[]+?)\s*\[([^\]]*)\]\s*$", self.title)
        if not m:
            return self.title.strip(), ""
        return m.group(1), m.group(2)

    @property
    def unit(self):
        """The unit of the numbers in the file (the multiplier applied)."""
        unit = self.name[1]
        m = self.multiplier
        if m is None or m == 1 or not unit:
            return unit
        prefix = {1e3: "m", 1e6: "u", 1e9: "n", 1e-3: "k", 1e-6: "M"}.get(m)
        if prefix and unit not in ("-", "K") and not unit.startswith("10"):
            return prefix + unit
        return f"{unit} x {m:g}"


def read_snapshot(path, text=None):
    if text is None:
        with open(path, encoding="latin-1") as f:
            text = f.read()
    lines = [ln for ln in text.splitlines()]
    if len(lines) < 4:
        raise TableError(f"{path}: too short for a snapshot ({len(lines)} lines)")
    title = lines[0].strip()
    nts = time = multiplier = None
    k = 1
    while k < len(lines):
        s = lines[k].strip()
        if s.startswith("Time step"):
            nts = int(float(s[len("Time step"):]))
        elif s.startswith("Time"):
            time = float(s[len("Time"):].replace("D", "E"))
        elif s.startswith("All values multplied by:"):
            multiplier = float(s[len("All values multplied by:"):].replace("D", "E"))
        else:
            break
        k += 1
    if k >= len(lines):
        raise TableError(f"{path}: no column header after the title lines")
    header = _fields(lines[k])
    two_d = header[0] == "NB"
    first = 6 if two_d else 5
    if header[first - 5:first] != list(STAT_COLUMNS):
        raise TableError(f"{path}, line {k + 1}: expected the columns "
                         f"{', '.join(STAT_COLUMNS)}, found {', '.join(header[:first])}")
    index = [int(h) for h in header[first:]]
    bands, stats, values = ([] if two_d else None), [], []
    for n, line in enumerate(lines[k + 1:], start=k + 2):
        if not line.strip():
            continue
        v = _numeric(_fields(line))
        if v is None or len(v) != len(header):
            raise TableError(f"{path}, line {n}: expected {len(header)} numbers")
        if two_d:
            bands.append(int(v[0]))
        stats.append(v[first - 5:first])
        values.append(v[first:])
    return Snapshot(path, title, nts, time, multiplier, index, bands, stats, values)


def is_snapshot_name(path):
    return SNAPSHOT_RE.match(os.path.basename(path)) is not None


def snapshot_stamp(path):
    """(run, stamp, array name) of a snapshot file name."""
    m = SNAPSHOT_RE.match(os.path.basename(path))
    if not m:
        raise TableError(f"{path}: not a snapshot file name")
    return int(m.group(1)), m.group(2), m.group(3)


def read_file(path):
    """A Snapshot for a snapshot file, else a Table."""
    if is_snapshot_name(path):
        return read_snapshot(path)
    return read_table(path)
