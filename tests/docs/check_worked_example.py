#!/usr/bin/env python3
"""The worked example of docs/statistics.md gives the reference values.

check_worked_example.py STATISTICS_MD REFERENCE_TSV

The Doubs example (plots left out) shows, for each statistic, the within,
among and st values (4 decimals), the number of plots and pairs it uses and
the plots it leaves out, then the sites left out of each column of the
decomposition by divergence interval. These are compared with the reference
values of the doubs set (keys global.*, leftout.*, interval.<m>.*). Without
the reference file the check is skipped (exit status 77).
"""
import os
import re
import sys

from doc_checks import read, report

SKIPPED = 77
ROWS = {"I": ("I", "Ist", "I"), "P": ("P", "Pst", "P"), "P\\*": ("Pstar", "Pstarst", "Pstar"),
        "PI": ("PI", "PIst", "PI")}


def table_rows(text, first_header):
    """Cells of the rows of the Markdown table whose header begins with `first_header`."""
    m = re.search(r"^\| %s \|.*\n\|[-| ]+\|\n((?:\|.*\|\n)+)" % re.escape(first_header), text, re.M)
    if not m:
        return None
    return [[c.strip() for c in line.strip().strip("|").split("|")] for line in m.group(1).strip().split("\n")]


def names(value):
    return [] if value in ("none", "") else value.split(",")


def main(argv):
    statistics_md, reference_tsv = argv[1:3]
    if not os.path.exists(reference_tsv):
        print("no reference values (%s): skipped" % reference_tsv)
        return SKIPPED
    ref = {}
    with open(reference_tsv, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("\t")
            ref[key] = value
    text = read(statistics_md)
    problems = []
    plots = int(ref["data.nplots"])
    empty = names(ref["leftout.empty"])

    rows = table_rows(text, "Statistic | Within | Among | st | Plots (pairs)")
    if not rows:
        print("%s: the table of the worked example (header \"| Statistic | Within | Among | st | Plots (pairs) |\") is missing" % statistics_md)
        return 1
    seen = set()
    for cells in rows:
        label = cells[0]
        if label not in ROWS:
            problems.append("worked example: unknown row %s" % label)
            continue
        seen.add(label)
        q, st, leftout = ROWS[label]
        expected = ["%.4f" % float(ref["global.%s.within" % q]), "%.4f" % float(ref["global.%s.among" % q]),
                    "%.4f" % float(ref["global.%s" % st])]
        shown = [c.split()[-1] for c in cells[1:4]]
        if shown != expected:
            problems.append("worked example, %s: within, among, st are %s; the reference gives %s" %
                            (label, shown, expected))
        out = empty + names(ref["leftout.%s" % leftout])
        kept = plots - len(out)
        if cells[4] != "%i (%i)" % (kept, kept * (kept - 1) // 2):
            problems.append("worked example, %s: %s plots (pairs); the reference gives %i (%i)" %
                            (label, cells[4], kept, kept * (kept - 1) // 2))
        listed = re.findall(r"S\d+", cells[5])
        if listed != out:
            problems.append("worked example, %s: left out %s; the reference gives %s" % (label, listed, out))
    if seen != set(ROWS):
        problems.append("worked example: rows %s missing" % sorted(set(ROWS) - seen))

    intervals = table_rows(text, "t")
    limits = {ref["interval.%i.limit" % m]: m for m in range(1, int(ref["data.R"]) + 1)}
    for cells in intervals or []:
        m = limits.get(cells[0])
        if m is None:
            problems.append("worked example: no divergence limit %s in the reference" % cells[0])
            continue
        listed = re.findall(r"S\d+", cells[1])
        for q in ("Pstar", "PI"):
            expected = names(ref["interval.%i.leftout.%s" % (m, q)])
            if listed != expected:
                problems.append("worked example, t = %s: left out of %s %s; the reference gives %s" %
                                (cells[0], q, listed, expected))
    if not intervals:
        problems.append("worked example: the table of the divergence intervals (header \"| t |\") is missing")

    return report(problems, "the worked example gives the reference values of %s" % reference_tsv)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
