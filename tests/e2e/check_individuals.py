#!/usr/bin/env python3
"""Compares the individual-level sections of a result file with reference values.

Usage: check_individuals.py RESULT_FILE REFERENCE_TSV

Every "ind.*" key of the reference (except the "_alt" readings and the
reference implementation's own "check.*" keys) must be found in the report
and agree: texts exactly, numbers within 1e-4 relative or within the rounding
of their printed form, MISSING as an empty cell.
"""
import sys

from check_reference import Checker, read_reference


def cells(line):
    return line.split("\t")


def parse_section(lines, start, q, found):
    """Reads one section from its "Base population" line; returns the next line index."""
    prefix = f"ind.{q}."
    head = lines[start]
    text = head[len("Base population: "):]
    count, _, rest = text.partition(" individuals selected by test ")
    test_text, _, interp = rest.partition(" interpreted as ")
    found[prefix + "base.n"] = count
    found[prefix + "text.0"] = ("text", test_text)
    found[prefix + "interp.0"] = ("text", interp)
    header = cells(lines[start + 1])
    n = header.index("linear regression with distance") - 5
    m = (len(header) - header.index("linear regression with distance") - 2) // 2
    found[prefix + "nclass"] = str(n)
    found[prefix + "nreg"] = str(m)
    pairs, maxdist, means = cells(lines[start + 2]), cells(lines[start + 3]), cells(lines[start + 4])
    for c in range(n + 1):
        found[f"{prefix}class.{c}.npairs"] = pairs[4 + c]
        found[f"{prefix}class.{c}.meandist"] = means[4 + c]
        if c >= 1:
            found[f"{prefix}class.{c}.maxdist"] = maxdist[4 + c]
    for b in range(1, m + 1):
        found[f"{prefix}reg.{b}.npairs"] = pairs[5 + n + b]
        lo, _, hi = maxdist[5 + n + b].partition(" to ")
        found[f"{prefix}reg.{b}.lo"] = lo
        found[f"{prefix}reg.{b}.hi"] = hi
        found[f"{prefix}reg.{b}.mean1"] = means[5 + n + b]
        found[f"{prefix}reg.{b}.mean2"] = means[6 + n + m + b]
    i = start + 5
    test = 0
    T = 0
    divergences = 0
    while i < len(lines) and not lines[i].startswith("Base population: ") and not lines[i].startswith(
            "Analyses finished") and not lines[i].startswith("Phylogeny test:"):
        line = lines[i]
        fields = cells(line)
        if line.startswith("For selected individual pairs"):
            T = 1
        elif line.startswith("For selected species pairs"):
            T = -1
        elif "  :  " in line and T != 0:
            test += 1
            definition, _, interp = fields[0].partition("  :  ")
            found[f"{prefix}text.{test}"] = ("text", definition)
            found[f"{prefix}interp.{test}"] = ("text", interp)
            found[f"{prefix}test.{test}.count"] = fields[1]
            found[f"{prefix}test.{test}.freq"] = fields[2]
            for c, value in enumerate(fields[4:]):
                found[f"{prefix}test.{test}.class.{c}"] = value
        elif line.startswith("\t") and T < 0 and len(fields) > 4:
            key = f"{prefix}test.{test}.sppair.{fields[1]}.{fields[2]}"
            found[key + ".weight"] = fields[3]
            for c, value in enumerate(fields[4:]):
                found[f"{key}.class.{c}"] = value
        elif fields[0] in ("I", "P", "R") and len(fields) > 4:
            divergences = 1
            key = f"{prefix}turnover.{test}.{fields[0]}"
            found[key + ".total"] = fields[1]
            for c, value in enumerate(fields[4:]):
                found[f"{key}.class.{c}"] = value
        elif T == 0 and len(fields) > 4 and fields[0] not in ("Species", "Statistic") and fields[1].isdigit():
            key = f"{prefix}sp.{fields[0]}"
            found[key + ".n"] = fields[1]
            found[key + ".freq"] = fields[2]
            for c in range(n + 1):
                found[f"{key}.class.{c}"] = fields[4 + c]
            for b in range(1, m + 1):
                found[f"{key}.blin.{b}"] = fields[5 + n + b]
                found[f"{key}.blog.{b}"] = fields[6 + n + m + b]
        i += 1
    found[prefix + "T"] = str(test * T)
    found[prefix + "divergences"] = str(divergences)
    return i


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    with open(sys.argv[1], encoding="latin-1") as f:
        lines = f.read().split("\n")
    reference = read_reference(sys.argv[2])
    check = Checker(reference)
    found = {}
    starts = [i for i, line in enumerate(lines) if line.startswith("Base population: ")]
    found["ind.nsections"] = str(len(starts))
    for number, start in enumerate(starts, start=1):
        q = reference.get(f"ind.section.{number}", "0").split(".")[0]
        parse_section(lines, start, q, found)
    for key, value in reference.items():
        if not key.startswith("ind.") or key.endswith("_alt") or key.startswith("ind.section."):
            continue
        if key not in found:
            check.compared += 1
            check.failures.append(f"{key}: not found in the report (reference {value})")
        elif isinstance(found[key], tuple):
            check.compared += 1
            if found[key][1] != value:
                check.failures.append(f"{key}: shown {found[key][1]!r}, reference {value!r}")
        else:
            check.value(key, found[key])
    return check.report(sys.argv[2])


if __name__ == "__main__":
    sys.exit(main())
