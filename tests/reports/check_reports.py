#!/usr/bin/env python3
"""Checks the results table and the figures of a run against its main result file.

check_reports.py RUN_DIR RESULT_FILE TABLE_FILE FIGURE_FOLDER [--points N --envelopes M]

- the table loads with the csv module (tab-separated, one header line, 15 cells a row);
- every value of the table is the value the report shows at the matching place
  (the report rounds: values agree within the report's format);
- every figure is well-formed XML with two axes, points and, where a test was
  run, envelope polygons (exact counts with --points/--envelopes for a known case);
- rendered by rsvg-convert (when installed), no figure is blank.
Exit status 77 (skipped) is never used for a failed check.
"""
import csv
import math
import os
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

COLUMNS = ["section", "statistic", "scope", "index", "limit", "value", "test", "n", "mean", "sd",
           "ci95_low", "ci95_high", "p_lower", "p_upper", "p_two_sided"]

failures = []


def fail(message):
    failures.append(message)


# ---- report parsing -------------------------------------------------------

def cells(line):
    return line.rstrip("\n").split("\t")


def number(text):
    text = text.strip()
    return None if text == "" else float(text)


def agrees(table_value, report_text, fmt):
    """True when the table's full-precision value is what the report shows."""
    shown = number(report_text) if report_text is not None else None
    if table_value is None or shown is None:
        return table_value is None and shown is None
    if fmt == "%i":
        return table_value == shown
    if fmt.endswith("f"):
        decimals = int(fmt[2:-1]) if fmt.startswith("%.") else 6
        return abs(table_value - shown) <= 0.5 * 10 ** -decimals + 1e-9 * abs(shown) + 1e-12
    digits = int(fmt[2:-1]) if fmt.startswith("%.") else 6
    return abs(table_value - shown) <= 0.5 * 10 ** (1 - digits) * max(abs(shown), abs(table_value)) + 1e-300


class Report:
    def __init__(self, path):
        with open(path, encoding="latin-1") as f:
            self.lines = f.read().split("\n")

    def find(self, start, predicate, stop=None):
        for i in range(start, len(self.lines)):
            if stop is not None and i > start and stop(self.lines[i]):
                return None
            if predicate(self.lines[i]):
                return i
        return None

    def sections(self, title):
        return [i for i, line in enumerate(self.lines) if line.startswith(title)]


def section_end(report, start):
    for i in range(start + 1, len(report.lines)):
        line = report.lines[i]
        if line.startswith("ANALYSIS") or line.startswith("Analyses finished") or "RANDOMIZATION TEST" in line \
                or line.startswith("BROWNIAN EVOLUTION TEST"):
            return i
    return len(report.lines)


STAT_LABELS = {
    "Ist": ("Diw", "Dia"), "Pst": ("Dpw", "Dpa"), "P*st": ("Dp*w", "Dp*a"), "PIst": ("DELTApw", "DELTApa"),
    "Tst": ("Dtw", "Dta"), "T*st": ("Dt*w", "Dt*a"), "TAUst": ("DELTAtw", "DELTAta"),
}
WITHIN = {v[0]: k for k, v in STAT_LABELS.items()}
AMONG = {v[1]: k for k, v in STAT_LABELS.items()}
CLASS_LINES = {"n_pairs": ("Number of pairs", "%i"), "percent_participation": ("% partic", "%.1f"),
               "cv_participation": ("CV partic", "%.2f"), "mean_distance": ("Mean distance", "%G"),
               "mean_ln_distance": ("Mean ln(distance)", "%G")}
INTERVAL_LINES = {"PAD": "PAD(<t)", "Diw": "Diw(t)", "Dia": "Dia(t)", "Dp*w": "Dp*w(<t)", "Dp*a": "Dp*a(<t)",
                  "P*st": "P*st(<t)", "Dsw": "Dsw(t)", "Dsa": "Dsa(t)", "DELTApw": "DELTApw(<t)",
                  "DELTApa": "DELTApa(<t)", "PIst": "PIst(<t)"}
TEST_INTERVAL_BLOCKS = {"PAD": "PAD(<t)", "Dp*w": "Dbw(<t)", "Dp*a": "Dba(<t)", "P*st": "P*st(<t)",
                        "DELTApw": "DELTAw(<t)", "DELTApa": "DELTAa(<t)", "PIst": "PIst(<t)"}
SUMMARY_ROWS = [("value", "Obs val", "%G"), ("mean", "Mean permut val", "%G"), ("sd", "SD permut val", "%G"),
                ("ci95_low", "95%CI-inf", "%G"), ("ci95_high", "95%CI-sup", "%G"),
                ("p_lower", "P(1-sided test, H1: obs<exp)", "%.4f"),
                ("p_upper", "P(1-sided test, H1: obs>exp)", "%.4f"),
                ("p_two_sided", "P(2-sided test, H1: obs<>exp)", "%.4f")]
TRANSFORMS = ["divergence", "ln(divergence)", "squared(divergence)", "sqrt(divergence)"]


def base_statistic(name):
    if name.startswith("b(") and name.endswith(", distance)"):
        return name[2:-len(", distance)")], -2
    if name.startswith("b(") and name.endswith(", ln(distance))"):
        return name[2:-len(", ln(distance))")], -1
    return name, None


def partition_value(report, start, end, row, n_classes):
    """(report cell, format) of an observed value of a partition section."""
    stat, scope, index = row["statistic"], row["scope"], row["index"]
    if scope == "pool":
        i = report.find(start, lambda l: l.startswith("DELTAp (") or l.startswith("DELTAt ("))
        col = {"DELTAp": 0, "DELTAt": 0, "Dp*": 1, "Dt*": 1, "PAD": 2, "TAD": 2}[stat]
        return cells(report.lines[i + 1])[col], "%f"
    if scope == "class" and stat in CLASS_LINES:
        label, fmt = CLASS_LINES[stat]
        i = report.find(start, lambda l: l.startswith(label + "\t"))
        return cells(report.lines[i])[5 + int(index)], fmt
    if scope == "interval":
        i = report.find(start, lambda l: l.startswith(INTERVAL_LINES[stat]))
        return cells(report.lines[i])[int(index)], "%.6g"
    st, slope = base_statistic(stat)
    if scope == "within":
        st = WITHIN[stat]
    elif scope == "among":
        st = AMONG[stat]
    within, among = STAT_LABELS[st]
    header = report.find(start, lambda l: l.startswith("\t%s\t%s\t%s\t" % (within, among, st)))
    if header is None or header >= end:  # no column header without divergences: the block follows the title line
        header = report.find(start, lambda l: l.startswith("\tGlobal statistics"))
    values = cells(report.lines[header + 1])
    if scope == "within":
        return values[1], "%.4f"
    if scope == "among":
        return values[2], "%.4f"
    if scope == "global":
        return values[3], "%.4f"
    if scope == "class":
        return values[5 + int(index)], "%G"
    if scope == "pair":
        if n_classes == 0:
            return values[6], "%.4f"
        return values[6 + n_classes], "%G"
    if scope == "regression":
        return values[6 + n_classes + 2 + (0 if slope == -2 else 1)], "%G"
    raise ValueError(stat)


def check_partition_rows(report, rows):
    for section_name, title in (("plots_phylogeny", "ANALYSIS of : SPECIES-PLOT"),
                                ("plots_traits", "ANALYSIS of : SPECIES-PLOT + INTER-SPECIES TRAIT")):
        starts = [s for s in report.sections("ANALYSIS of : SPECIES-PLOT")
                  if ("TRAIT" in report.lines[s]) == (section_name == "plots_traits")]
        mine = [r for r in rows if r["section"] == section_name and r["test"] == ""]
        if not mine:
            continue
        if not starts:
            fail("%s: rows in the table but no section in the report" % section_name)
            continue
        start = starts[0]
        end = section_end(report, start)
        n_classes = len([r for r in mine if r["statistic"] == "n_pairs" and r["scope"] == "class"])
        for row in mine:
            shown, fmt = partition_value(report, start, end, row, n_classes)
            value = number(row["value"])
            if not agrees(value, shown, fmt):
                fail("%s %s %s %s: table %r, report %r" % (section_name, row["statistic"], row["scope"],
                                                           row["index"], row["value"], shown))


def test_block_rows(report, start, end, label_predicate):
    """The summary rows of the block whose header line satisfies the predicate."""
    i = report.find(start, label_predicate)
    if i is None or i >= end:
        return None
    found = {}
    for j in range(i + 1, min(i + 14, end)):
        line = report.lines[j]
        for key, label, _ in SUMMARY_ROWS:
            if line.startswith(label + "\t"):
                found[key] = cells(line)
    return found


def check_summary(found, row, column, where):
    if found is None:
        fail("%s: no block in the report" % where)
        return
    for key, _, fmt in SUMMARY_ROWS:
        shown = found[key][column] if key in found and column < len(found[key]) else ""
        if not agrees(number(row[key]), shown, fmt):
            fail("%s %s: table %r, report %r" % (where, key, row[key], shown))


def check_plot_test_rows(report, rows):
    for row in rows:
        if row["test"] == "" or row["section"] not in ("plots_phylogeny", "plots_traits"):
            continue
        title = row["test"]
        where = "%s / %s %s %s" % (title, row["statistic"], row["scope"], row["index"])
        if title.startswith("PHYLOGENY RANDOMIZATION TESTS BY DIVERGENCE INTERVALS"):
            start = report.sections(title)[0]
            block = TEST_INTERVAL_BLOCKS[row["statistic"]]
            found = test_block_rows(report, start, len(report.lines), lambda l: l == block)
            check_summary(found, row, int(row["index"]), where)
            continue
        heading = title.split(" : ")[0] if " : " in title else title
        starts = [i for i in report.sections(heading) if report.lines[i].startswith(heading)]
        st, slope = base_statistic(row["statistic"])
        if row["scope"] == "within":
            st = WITHIN[row["statistic"]]
        elif row["scope"] == "among":
            st = AMONG[row["statistic"]]
        within, among = STAT_LABELS[st]
        n_classes = len({r["index"] for r in rows if r["test"] == title and r["scope"] == "class"})
        column = {"within": 1, "among": 2, "global": 3}.get(row["scope"])
        if row["scope"] == "class":
            column = 5 + int(row["index"])
        elif row["scope"] == "pair":
            column = 6 + n_classes
        elif row["scope"] == "regression":
            column = 6 + n_classes + 2 + (0 if slope == -2 else 1)
        ok = False
        for start in starts:
            end = section_end(report, start)
            found = test_block_rows(report, start, end, lambda l: l.startswith("\t%s\t%s\t%s\t" % (within, among, st)))
            if found is None:
                continue
            before = len(failures)
            check_summary(found, row, column, where)
            if len(failures) == before:
                ok = True
                break
            del failures[before:]
        if not ok:
            fail("%s: no matching block in the report" % where)


def signal_column(statistic, n_intervals, index):
    if index:
        return int(index)
    kind, transform = statistic[0], statistic[statistic.index(", ") + 2:-1]
    t = TRANSFORMS.index(transform)
    return n_intervals + 2 + t if kind == "r" else n_intervals + 7 + t


def variable_of(statistic):
    if statistic.startswith("autocorrelation(") or statistic.startswith("mean_distance("):
        return statistic[statistic.index("(") + 1:-1]
    return statistic[2:statistic.index(", ")]


def check_trait_signal_rows(report, rows):
    mine = [r for r in rows if r["section"] == "phylogeny_traits"]
    if not mine:
        return
    start = report.sections("ANALYSIS OF : PHYLOGENY + TRAITS")[0]
    limits_line = report.find(start, lambda l: l.startswith("Upper divergence limit:"))
    # Cells: label, '', limits of intervals 2..K, '': K is the number of limit cells + 1.
    n_intervals = 1
    for c in cells(report.lines[limits_line])[2:]:
        if c == "":
            break
        n_intervals += 1
    end = section_end(report, start)
    for row in mine:
        stat, index = row["statistic"], row["index"]
        if row["test"] == "":
            if stat == "n_pairs":
                i, fmt = report.find(start, lambda l: l.startswith("Number of species pairs:")), "%i"
            elif stat == "mean_divergence":
                i, fmt = report.find(start, lambda l: l.startswith("Mean divergence between species:")), "%f"
            else:
                var = variable_of(stat)
                i = report.find(start, lambda l: l.startswith(var + "\t"), stop=None)
                fmt = "%f"
            if i is None or i >= end:
                fail("trait signal %s: no line in the report" % stat)
                continue
            shown = cells(report.lines[i])[signal_column(stat, n_intervals, index) if stat not in
                                           ("n_pairs", "mean_divergence") else int(index)]
            if not agrees(number(row["value"]), shown, fmt):
                fail("trait signal %s %s: table %r, report %r" % (stat, index, row["value"], shown))
        else:
            heading = "BROWNIAN EVOLUTION TEST" if row["test"] == "BROWNIAN EVOLUTION TEST" else row["test"]
            tstart = [i for i in report.sections(heading)][0]
            detail = report.find(tstart, lambda l: l.startswith("Detailed test results"))
            var = variable_of(stat)
            block = report.find(detail, lambda l: l == var + "\t\t")
            found = {}
            for j in range(block + 1, block + 10):
                for key, label, _ in SUMMARY_ROWS:
                    if report.lines[j].startswith(label + "\t"):
                        found[key] = cells(report.lines[j])
            check_summary(found, row, signal_column(stat, n_intervals, index), "%s / %s %s" % (row["test"], stat, index))



def individual_blocks(report):
    starts = [i for i, line in enumerate(report.lines) if line.startswith("Base population:")]
    return [(start, starts[k + 1] if k + 1 < len(starts) else len(report.lines)) for k, start in enumerate(starts)]


def split_suffix(statistic):
    if statistic.endswith("]") and " [selection test " in statistic:
        at = statistic.rindex(" [selection test ")
        return statistic[:at], int(statistic[at + len(" [selection test "):-1])
    return statistic, 1


def check_individual_rows(report, rows):
    mine = [r for r in rows if r["section"] == "individuals" and r["test"] == ""]
    if not mine:
        return
    blocks = individual_blocks(report)
    for row in mine:
        stat, q = split_suffix(row["statistic"])
        start, end = blocks[q - 1]
        header = cells(report.lines[report.find(start, lambda l: l.startswith("Dist class"))])
        n = header.index("linear regression with distance") - 5
        m = len([c for c in header if c.startswith("blin")])
        scope, index = row["scope"], row["index"]
        c = 0 if scope == "pair" else (int(index) if index else None)

        def line(prefix):
            i = report.find(start, lambda l: l.startswith(prefix))
            return cells(report.lines[i]) if i is not None and i < end else None

        fmt, shown = "%g", None
        if stat in ("n_pairs", "mean_distance", "mean_ln_distance"):
            label = {"n_pairs": "# pairs of individuals", "mean_distance": "mean distance between pairs",
                     "mean_ln_distance": "mean distance between pairs"}[stat]
            values = line(label)
            fmt = "%i" if stat == "n_pairs" else "%g"
            if scope == "regression":
                col = 5 + n + int(index) + (m + 1 if stat == "mean_ln_distance" else 0)
            else:
                col = 4 + c
            shown = values[col]
        elif stat.startswith(("n_individuals(", "frequency(", "autocorrelation(", "b(")) and scope != "test" \
                and not (stat.startswith("frequency(") and scope == "class"):
            name = stat[stat.index("(") + 1:stat.index(", ") if stat.startswith("b(") else -1]
            values = line(name + "\t")
            if stat.startswith("n_individuals("):
                shown, fmt = values[1], "%i"
            elif stat.startswith("frequency("):
                shown = values[2]
            elif stat.startswith("autocorrelation("):
                shown = values[4 + c]
            elif stat.endswith(", ln(distance))"):
                shown = values[6 + n + m + int(index)]
            else:
                shown = values[5 + n + int(index)]
        elif stat.startswith(("count(", "frequency(")):
            text = stat[stat.index("(") + 1:-1]
            values = line(text + "  :  ")
            if scope == "test":
                shown, fmt = (values[1], "%i") if stat.startswith("count(") else (values[2], "%f")
            else:
                shown = values[4 + c]
        else:
            continue  # species pairs and turnover: not parsed here
        if not agrees(number(row["value"]), shown, fmt):
            fail("individuals %s %s %s: table %r, report %r" % (row["statistic"], scope, index, row["value"], shown))


# ---- table, figures -------------------------------------------------------

def load_table(path):
    with open(path, newline="", encoding="ascii") as f:
        reader = csv.DictReader(f, delimiter="\t")
        if reader.fieldnames != COLUMNS:
            fail("table header %r" % reader.fieldnames)
        rows = list(reader)
    for r in rows:
        if None in r or any(v is None for v in r.values()):
            fail("a table row without 15 cells: %r" % r)
            continue
        if r["test"] == "" and any(r[k] != "" for k in COLUMNS[7:]):
            fail("an observed value with test cells: %r" % r)
        for key in ("index", "limit", "value", "n", "mean", "sd", "ci95_low", "ci95_high", "p_lower", "p_upper",
                    "p_two_sided"):
            if r[key] != "" and not math.isfinite(float(r[key])):
                fail("not a number in %s: %r" % (key, r[key]))
    return rows


def png_is_blank(path):
    with open(path, "rb") as f:
        data = f.read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return len(set(zlib.decompress(idat))) < 16


def check_figures(folder, points, envelopes):
    names = sorted(n for n in os.listdir(folder) if n.endswith(".svg"))
    if not names:
        fail("no figure in %s" % folder)
    total_points = total_envelopes = 0
    renderer = shutil.which("rsvg-convert")
    for name in names:
        path = os.path.join(folder, name)
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError as error:
            fail("%s is not well-formed XML: %s" % (name, error))
            continue
        ns = "{http://www.w3.org/2000/svg}"
        if root.tag != ns + "svg":
            fail("%s: root element %s" % (name, root.tag))
        classes = [e.get("class") for e in root.iter()]
        if classes.count("x-axis") != 1 or classes.count("y-axis") != 1:
            fail("%s: axes missing" % name)
        if classes.count("point") == 0:
            fail("%s: no point" % name)
        total_points += classes.count("point")
        total_envelopes += classes.count("envelope")
        if any(e.tag in (ns + "script", ns + "image", ns + "foreignObject") for e in root.iter()):
            fail("%s: not self-contained" % name)
        if renderer:
            png = path[:-4] + ".png"
            subprocess.run([renderer, "-o", png, path], check=True)
            if png_is_blank(png):
                fail("%s renders blank" % name)
    if points is not None and total_points != points:
        fail("%i points drawn, %i expected" % (total_points, points))
    if envelopes is not None and total_envelopes != envelopes:
        fail("%i envelope polygons drawn, %i expected" % (total_envelopes, envelopes))
    return renderer is not None


def main(argv):
    run_dir, result_file, table_file, figure_folder = argv[1:5]
    points = envelopes = None
    if "--points" in argv:
        points = int(argv[argv.index("--points") + 1])
    if "--envelopes" in argv:
        envelopes = int(argv[argv.index("--envelopes") + 1])
    rows = load_table(os.path.join(run_dir, table_file))
    report = Report(os.path.join(run_dir, result_file))
    check_partition_rows(report, rows)
    check_plot_test_rows(report, rows)
    check_trait_signal_rows(report, rows)
    check_individual_rows(report, rows)
    rendered = check_figures(os.path.join(run_dir, figure_folder), points, envelopes)
    for message in failures[:40]:
        print(message)
    if failures:
        print("%i failures" % len(failures))
        return 1
    print("%i table rows agree with the report%s" % (len(rows), "" if rendered else
                                                      " (rsvg-convert not installed: figures not rendered)"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
