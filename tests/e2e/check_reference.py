#!/usr/bin/env python3
"""Compares the partition section of a result file with reference values.

Usage: check_reference.py RESULT_FILE REFERENCE_TSV

The reference holds one "key<TAB>value" per line (MISSING = an empty cell,
NaN = a value no report shows). The values the report shows are matched to
their keys: global statistics, species-pool values, distance classes, class
means and slopes, the decomposition by divergence interval, the plots left
out of each statistic and interval column that the section shows (lines
"Plots left out of ..."; none printed means none left out) and, for a
spatial randomization test, the mean and SD of the randomized values
(checked loosely: they come from another random stream). A value must agree
within 1e-4 relative or within the rounding of its printed form.
"""
import math
import re
import sys

STATISTICS = {  # column header of a global block -> reference names
    "Ist": ("I", "Ist"), "Pst": ("P", "Pst"), "P*st": ("Pstar", "Pstarst"), "PIst": ("PI", "PIst"),
}
INTERVAL_ROWS = [  # row label prefix -> reference key suffix
    ("PAD(<t)", "PAD"), ("Diw(t)", "I.within"), ("Dia(t)", "I.among"),
    ("Dp*w(<t)", "Pstar.within"), ("Dp*a(<t)", "Pstar.among"), ("P*st(<t)", "Pstarst"),
    ("Dsw(t)", "S.within"), ("Dsa(t)", "S.among"),
    ("DELTApw(<t)", "PI.within"), ("DELTApa(<t)", "PI.among"), ("PIst(<t)", "PIst"),
]
CLASS_ROWS = [("Max distance", "limit", 1.0), ("Number of pairs", "npairs", 1.0), ("% partic", "partic", 100.0),
              ("CV partic", "cvpartic", 1.0), ("Mean distance", "meandist", 1.0),
              ("Mean ln(distance)", "meanlndist", 1.0)]


def printed_tolerance(text):
    """Half a unit of the last printed digit."""
    mantissa, _, exponent = text.upper().partition("E")
    decimals = len(mantissa.split(".")[1]) if "." in mantissa else 0
    return 0.5 * 10.0 ** (-decimals) * 10.0 ** (int(exponent) if exponent else 0)


def printed_failure(key, text, ref, scale=1.0, floor=0.0):
    """Why a printed cell disagrees with its reference value, or None.

    An empty cell stands for MISSING (and for NaN, a 0/0 no report shows);
    numbers agree within 1e-4 relative, the rounding of their printed form,
    or `floor`; other texts must be equal."""
    if ref in ("MISSING", "NaN"):
        return None if text == "" else f"{key}: printed {text}, reference {ref}"
    if text == "":
        return f"{key}: empty cell, reference {ref}"
    try:
        got, want = float(text) / scale, float(ref)
    except ValueError:
        return None if text == ref else f"{key}: printed {text}, reference {ref}"
    tolerance = max(1e-4 * abs(want), printed_tolerance(text) / scale * 1.001, floor)
    return None if abs(got - want) <= tolerance else f"{key}: printed {text}, reference {ref}"


class Checker:
    def __init__(self, reference):
        self.reference = reference
        self.compared = 0
        self.failures = []

    def value(self, key, text, scale=1.0):
        if key not in self.reference:
            return
        self.compared += 1
        failure = printed_failure(key, text.strip(), self.reference[key], scale)
        if failure:
            self.failures.append(failure)

    def loose(self, key, got, want, tolerance):
        self.compared += 1
        if not abs(got - want) <= tolerance:
            self.failures.append(f"{key}: {got} against reference {want} (tolerance {tolerance:.3g})")

    def report(self, reference_name):
        """Prints the failures and the counts; the exit status of the check."""
        for failure in self.failures:
            print(failure)
        print(f"{self.compared} values compared with {reference_name}")
        if self.compared < 10:
            print("too few values identified in the result file")
            return 1
        print(f"{self.compared - len(self.failures)} passed, {len(self.failures)} failed")
        return 1 if self.failures else 0


def read_reference(path):
    table = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("\t")
            table[key] = value
    return table


def partition_lines(lines):
    """Lines of the first partition section (up to the next section)."""
    start = next(i for i, line in enumerate(lines) if line.startswith("ANALYSIS of :"))
    end = next((i for i in range(start + 1, len(lines))
                if lines[i].startswith("ANALYSIS of :") or "RANDOMIZATION TEST" in lines[i]), len(lines))
    return lines[start:end]


def check_partition(lines, check):
    for i, line in enumerate(lines):
        fields = line.split("\t")
        if line.startswith("DELTAp (mean divergence"):
            values = lines[i + 1].split("\t")
            for key, text in zip(("pool.DELTAp", "pool.Dpstar", "pool.PAD"), values):
                check.value(key, text)
        for label, suffix, scale in CLASS_ROWS:
            if fields[0] == label:
                for j, text in enumerate(fields[6:], start=1):
                    check.value(f"class.{j}.{suffix}", text, scale)
        header = re.search(r"\t(Ist|Pst|P\*st|PIst)\t", line + "\t") if line.startswith("\t") else None
        if header is None and "Pairwise Ist" in line and line.startswith("\tGlobal statistics"):
            header = re.search(r"(Ist)", "Ist")  # plain report: no column header line
        if header and not lines[i + 1].startswith("\tGlobal"):
            name, st = STATISTICS[header.group(1)]
            values = lines[i + 1].split("\t")
            if len(values) < 4 or not re.match(r"^-?[0-9.]*$", values[1]):
                continue
            check.value(f"global.{name}.within", values[1])
            check.value(f"global.{name}.among", values[2])
            check.value(f"global.{st}", values[3])
            means = values[6:]
            if "b-lin" in line:  # classes, average, empty, b-lin, b-log
                classes = means[:-3]
                for j, text in enumerate(classes[:-1], start=1):
                    check.value(f"class.{j}.mean.{st}", text)
                check.value(f"class.average.mean.{st}", classes[-1])
                check.value(f"reg.{st}.blin", means[-2])
                check.value(f"reg.{st}.blog", means[-1])
            elif means:
                check.value(f"class.average.mean.{st}", means[0])
        if line.startswith("Upper divergence threshold"):
            for j, text in enumerate(fields[1:], start=1):
                check.value(f"interval.{j}.limit", text)
        for label, suffix in INTERVAL_ROWS:
            if line.startswith(label + " ") or line.startswith(label + "\t"):
                for j, text in enumerate(fields[1:], start=1):
                    check.value(f"interval.{j}.{suffix}", text)


LEFT_OUT = re.compile(r"^Plots left out of (.*?)(?: at t = ([^()]*?))? \(([^()]*)\): (.*)$")
LEFT_OUT_GLOBAL = {"Ist": "I", "Pst": "P", "P*st": "Pstar", "PIst": "PI"}
LEFT_OUT_INTERVAL = {"Di(t)": "I", "P*st(<t)": "Pstar", "Ds(t)": "S", "PIst(<t)": "PI"}
INTERVAL_SHOWN = {"Diw(t)": "I", "Dp*w(<t)": "Pstar", "Dsw(t)": "S", "DELTApw(<t)": "PI"}


def plot_set(text):
    """The plots of a printed list, or of a reference value ("none" = no plot)."""
    if text in ("", "none"):
        return []
    text = re.sub(r" and \d+ more$", "", text)
    return [name.strip() for name in re.split(r",\s*", text)]


def check_left_out(lines, check):
    """Plots left out of the whole analysis, of each statistic shown and of
    each interval column shown, against the leftout keys."""
    found = {}
    shown = {"leftout.empty"}
    limits = []
    for line in lines:
        fields = line.split("\t")
        header = re.search(r"\t(Ist|Pst|P\*st|PIst)\t", line + "\t") if line.startswith("\t") else None
        if header:
            shown.add("leftout." + LEFT_OUT_GLOBAL[header.group(1)])
        if line.startswith("Upper divergence threshold"):
            limits = [float(t) for t in fields[1:]]
        for label, name in INTERVAL_SHOWN.items():
            if line.startswith(label):
                shown.update(f"interval.{m}.leftout.{name}" for m in range(1, len(limits) + 1))
        match = LEFT_OUT.match(line)
        if not match:
            continue
        what, t, _, names = match.groups()
        if what == "the whole analysis":
            found["leftout.empty"] = plot_set(names)
            continue
        statistics = re.split(r", | and ", what)
        if t is None:
            for st in statistics:
                found["leftout." + LEFT_OUT_GLOBAL.get(st, st)] = plot_set(names)
        else:
            for value in re.split(r", | and ", t):
                m = next(i for i, limit in enumerate(limits, start=1)
                         if abs(limit - float(value)) <= 1e-4 * abs(limit) + 1e-9)
                for st in statistics:
                    found[f"interval.{m}.leftout.{LEFT_OUT_INTERVAL.get(st, st)}"] = plot_set(names)
    for key, value in check.reference.items():
        if key not in shown:
            continue
        check.compared += 1
        want = plot_set(value)
        got = found.get(key, [])
        complete = len(want) <= 20
        if (got != want) if complete else (got != want[:20]):
            check.failures.append(f"{key}: printed {','.join(got) or 'none'}, reference {value}")


def check_spatial_test(lines, check):
    """Mean and SD of the randomized class means and slopes of the spatial test."""
    reference = check.reference
    try:
        start = next(i for i, line in enumerate(lines) if line.startswith("LOCATIONS RANDOMIZATION TESTS"))
    except StopIteration:
        return
    for i in range(start, len(lines)):
        match = re.match(r"STATISTICS:\tGlobal (\S+)-statistics", lines[i])
        if not match:
            continue
        st = {"I": "Ist", "P": "Pst", "P*": "Pstarst", "PI": "PIst"}[match.group(1)]
        columns = lines[i + 1].split("\t")[6:]
        rows = {lines[k].split("\t")[0]: lines[k].split("\t")[6:] for k in range(i + 2, i + 11)}
        for j, column in enumerate(columns):
            column = column.strip()
            key = {"average": None, "b-lin (slope linear dist)": "blin", "b-log (slope ln(dist))": "blog"}.get(
                column, f"class.{column}" if column.isdigit() else None)
            if key is None or f"null.spatial.{st}.{key}.mean" not in reference:
                continue
            mean_text, sd_text = rows["Mean permut val"][j].strip(), rows["SD permut val"][j].strip()
            ref_texts = (reference[f"null.spatial.{st}.{key}.mean"], reference[f"null.spatial.{st}.{key}.sd"])
            if mean_text == "" or any(t in ("MISSING", "NaN") for t in ref_texts):
                continue
            ref_mean, ref_sd = (float(t) for t in ref_texts)
            if ref_sd < 1e-12:  # rounding noise (P* and PI without divergences)
                continue
            count = int(reference.get("test.spatial.N", "99"))
            check.loose(f"null.spatial.{st}.{key}.mean", float(mean_text), ref_mean,
                        4.0 * ref_sd / math.sqrt(count) + 1e-9)
            check.loose(f"null.spatial.{st}.{key}.sd", float(sd_text), ref_sd, 0.35 * ref_sd)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    with open(sys.argv[1], encoding="latin-1") as f:
        lines = f.read().split("\n")
    check = Checker(read_reference(sys.argv[2]))
    check_partition(partition_lines(lines), check)
    check_left_out(partition_lines(lines), check)
    check_spatial_test(lines, check)
    return check.report(sys.argv[2])


if __name__ == "__main__":
    sys.exit(main())
