#!/usr/bin/env python3
"""Generates core/grid/XPaletteData.inc, the 68 built-in colour palettes.

Inputs (resources/palettes/):
  catalogue.csv  index,name,source - every palette's name and how it is built
  palettes.csv   index,entry,r,g,b - all 256 entries of the palettes whose
                 source is "table" (standard colour tables)
  anchors.csv    index,entry,r,g,b - the fixed entries 0, 64, 128, 192 and 255
                 of every palette without a closed form; each generated
                 palette is checked against them

Sources:
  table       the 256 entries of palettes.csv
  formula     a closed form below (FORMULAS), keyed by index
  steps       one colour per block of 16 entries (STEPS)
  knots       piecewise-linear between the anchor entries, rounded half up
  reverse:K   palette K read backwards
  tail:K      palette K from entry 64 on, ramping linearly from the anchor
              entry 0 to palette K's entry 64 below that

Run from anywhere:  python3 tools/palettes/gen_palettes.py
The script is deterministic; the generated file is committed, so the build
does not need Python.
"""

import csv
import os
import sys
from fractions import Fraction

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RESOURCES = os.path.join(ROOT, "resources", "palettes")
OUTPUT = os.path.join(ROOT, "core", "grid", "XPaletteData.inc")

COUNT = 68


def round_half_up(x):
    """Rounds a Fraction (or int) to the nearest integer, halves upward."""
    x = Fraction(x)
    return (2 * x.numerator + x.denominator) // (2 * x.denominator)


# ---- closed forms ------------------------------------------------------------


def pseudo_color(i):
    r = 0 if i <= 85 else (3 * i - 256 if i <= 169 else 255)
    g = 0 if i == 0 else (3 * i - 1 if i <= 84 else (255 if i <= 170 else 766 - 3 * i))
    b = 255 if i <= 85 else (511 - 3 * i if i <= 169 else 0)
    return r, g, b


def saw(i):
    r = 0 if i <= 128 else (4 * i - 513 if i <= 192 else 255)
    g = 0 if i == 0 else (4 * i - 1 if i <= 64 else (255 if i <= 192 else 1024 - 4 * i))
    b = 255 if i <= 64 else (512 - 4 * i if i <= 128 else 0)
    return r, g, b


def waterlevel(i):
    if i <= 9:
        return 0, 0, 255
    if i <= 251:
        return i, i, i
    return 255, 255, 0


def brown_green(i):
    # Linear from (165, 42, 42) to (124, 255, 0), each channel rounded down.
    a, b = (165, 42, 42), (124, 255, 0)
    return tuple(x + ((y - x) * i) // 255 for x, y in zip(a, b))


def hue(i):
    # Full saturation and value; the hue turns once over 256 entries.
    h6 = Fraction(6 * i, 256)
    sector = int(h6)
    f = h6 - sector
    rise, fall = f, 1 - f
    rgb = [(1, rise, 0), (fall, 1, 0), (0, 1, rise), (0, fall, 1), (rise, 0, 1), (1, 0, fall)][sector]
    return tuple(round_half_up(255 * c) for c in rgb)


def new_grey(i):
    v = 117 + round_half_up(Fraction(97 * i, 255))
    return v, v, v


def rgb_reduce(i):
    # The 6 x 6 x 6 colour cube in the first 216 entries. The entries past
    # the cube have no colour of their own and are black, like entry 255.
    if i < 216:
        return 51 * (i // 36), 51 * ((i // 6) % 6), 51 * (i % 6)
    return 0, 0, 0


def unique(i):
    # PseudoColor with a mid-grey first entry.
    return (128, 128, 128) if i == 0 else pseudo_color(i)


FORMULAS = {
    1: lambda i: (i, i, i),
    10: lambda i: (i, 0, 0),
    11: lambda i: (0, i, 0),
    12: lambda i: (0, 0, i),
    13: lambda i: (255, i, i),
    14: lambda i: (i, 255, i),
    15: lambda i: (i, i, 255),
    51: brown_green,
    54: hue,
    56: new_grey,
    57: pseudo_color,
    58: lambda i: (255 - i, 0, i),
    59: lambda i: (255, i, 0),
    61: rgb_reduce,
    62: lambda i: (i, i, i),
    63: saw,
    66: unique,
    67: waterlevel,
    68: lambda i: (255 - i, 255 - i, i),
}

# ---- step palettes ---------------------------------------------------------------

STEPS = {
    26: [(0, 0, 0), (0, 168, 0), (0, 255, 0), (0, 255, 84), (0, 255, 168), (0, 255, 255), (0, 0, 255),
         (128, 0, 255), (255, 0, 220), (255, 0, 180), (255, 0, 128), (255, 0, 64), (255, 0, 0),
         (220, 190, 190), (220, 220, 220), (255, 255, 255)],
    52: [(0, 0, 255), (0, 47, 255), (0, 95, 255), (0, 143, 255), (0, 191, 255), (0, 239, 255),
         (32, 255, 223), (80, 255, 175), (128, 255, 127), (176, 255, 79), (224, 255, 31), (255, 238, 0),
         (255, 190, 0), (255, 142, 0), (255, 94, 0), (255, 46, 0)],
}


def step_palette(index):
    table = [STEPS[index][i // 16] for i in range(256)]
    if index == 26:
        for i in range(1, 16):
            table[i] = (0, 84, 0)
        for first, last, red in ((213, 217, 221), (218, 222, 222), (223, 223, 223)):
            for i in range(first, last + 1):
                table[i] = (red,) + table[i][1:]
    if index == 52:
        table[255] = (255, 1, 0)
    return table


# ---- interpolation -------------------------------------------------------------------


def through_knots(knots):
    """Piecewise-linear table through {entry: (r, g, b)}, rounded half up."""
    entries = sorted(knots)
    if entries[0] != 0 or entries[-1] != 255:
        raise ValueError("knots must include entries 0 and 255")
    table = [None] * 256
    for i0, i1 in zip(entries, entries[1:]):
        for i in range(i0, i1 + 1):
            table[i] = tuple(round_half_up(Fraction(a * (i1 - i) + b * (i - i0), i1 - i0))
                             for a, b in zip(knots[i0], knots[i1]))
    return table


# ---- inputs ------------------------------------------------------------------------------


def read_rows(name):
    with open(os.path.join(RESOURCES, name), newline="") as f:
        return list(csv.DictReader(f))


def main():
    catalogue = {int(r["index"]): (r["name"], r["source"]) for r in read_rows("catalogue.csv")}
    if sorted(catalogue) != list(range(1, COUNT + 1)):
        sys.exit("catalogue.csv must list the indices 1..%d once each" % COUNT)

    stored = {}
    for r in read_rows("palettes.csv"):
        stored.setdefault(int(r["index"]), {})[int(r["entry"])] = (int(r["r"]), int(r["g"]), int(r["b"]))
    anchors = {}
    for r in read_rows("anchors.csv"):
        anchors.setdefault(int(r["index"]), {})[int(r["entry"])] = (int(r["r"]), int(r["g"]), int(r["b"]))

    # A reversed palette's anchors pin its source at the mirrored entries too.
    knots = {k: dict(v) for k, v in anchors.items()}
    for index, (_, source) in catalogue.items():
        if source.startswith("reverse:"):
            base = int(source.split(":")[1])
            for e, rgb in anchors.get(index, {}).items():
                knots.setdefault(base, {})[255 - e] = rgb

    tables = {}

    def build(index):
        if index in tables:
            return tables[index]
        source = catalogue[index][1]
        if source == "table":
            entries = stored.get(index, {})
            if sorted(entries) != list(range(256)):
                sys.exit("palettes.csv lacks entries of palette %d" % index)
            table = [entries[i] for i in range(256)]
        elif source == "formula":
            table = [FORMULAS[index](i) for i in range(256)]
        elif source == "steps":
            table = step_palette(index)
        elif source == "knots":
            table = through_knots(knots[index])
        elif source.startswith("reverse:"):
            table = list(reversed(build(int(source.split(":")[1]))))
        elif source.startswith("tail:"):
            base = build(int(source.split(":")[1]))
            table = through_knots({0: anchors[index][0], 64: base[64], 255: base[255]})[:64] + base[64:]
        else:
            sys.exit("palette %d: unknown source %r" % (index, source))
        tables[index] = table
        return table

    for index in catalogue:
        build(index)

    # Every palette holds its fixed entries and only byte values.
    for index, table in tables.items():
        for e, rgb in anchors.get(index, {}).items():
            if tuple(table[e]) != rgb:
                sys.exit("palette %d entry %d is %s, expected %s" % (index, e, table[e], rgb))
        if any(not 0 <= c <= 255 for rgb in table for c in rgb):
            sys.exit("palette %d has a value outside 0..255" % index)

    write(catalogue, tables)


def write(catalogue, tables):
    out = []
    out.append("// Generated by tools/palettes/gen_palettes.py from resources/palettes/*.csv.")
    out.append("// Do not edit: change the inputs or the script and run it again.")
    out.append("//")
    out.append("// kPaletteNames[k] is the name of palette k (1..%d); entry 0 is unused." % COUNT)
    out.append("// kPaletteRGB[k - 1][c][i] is channel c (0 red, 1 green, 2 blue) of entry i.")
    out.append("")
    out.append("inline constexpr int kPaletteCount = %d;" % COUNT)
    out.append("")
    out.append("inline constexpr const char* kPaletteNames[kPaletteCount + 1] = {")
    out.append('    "",')
    for index in range(1, COUNT + 1):
        out.append('    "%s",' % catalogue[index][0])
    out.append("};")
    out.append("")
    out.append("inline constexpr uint8_t kPaletteRGB[kPaletteCount][3][256] = {")
    for index in range(1, COUNT + 1):
        name, source = catalogue[index]
        out.append("    // %d \"%s\" (%s)" % (index, name, source))
        out.append("    {")
        for c in range(3):
            values = [tables[index][i][c] for i in range(256)]
            out.append("        {")
            for row in range(0, 256, 16):
                out.append("            " + ", ".join("%3d" % v for v in values[row:row + 16]) + ",")
            out.append("        },")
        out.append("    },")
    out.append("};")
    with open(OUTPUT, "w", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    print("wrote %s (%d palettes)" % (os.path.relpath(OUTPUT, ROOT), COUNT))


if __name__ == "__main__":
    main()
