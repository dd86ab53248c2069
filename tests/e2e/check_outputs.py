#!/usr/bin/env python3
"""Compares the optional tables of a run with reference values.

Usage: check_outputs.py REFERENCE_TSV FILE [FILE ...]

The files are read in the order given (the tables may share one file). The
tables found are matched to the reference keys: decomposition by node
(node.*), plot diversity and similarity (pd.*, pdpair.*), lineages through
time (ltt.*, lttpair.*) and the pairwise values in column form (pwcol.*,
pw.calls, pair.<A>.<B>.dist and the pairwise statistics of the first block).
A value must agree within 1e-4 relative, within the rounding of its printed
form, or within 1e-9 (differences of two equal values).
"""
import sys

from check_reference import printed_failure

PAIR_TITLES = {"Pairwise Ist": "Ist", "Pairwise Pst": "Pst", "Pairwise P*st": "Pstarst", "Pairwise PIst": "PIst"}
NODE_COLUMNS = {2: "parent", 3: "nspecies", 4: "meanfreq", 5: "age", 7: "H.within", 8: "H.among", 9: "J.within",
                10: "J.among", 11: "Dpstar.within", 12: "Dpstar.among", 13: "Pstarst", 14: "Di.within",
                15: "Di.among", 16: "Ist", 18: "P.within", 19: "P.among", 20: "Q.within", 21: "Q.among",
                22: "DELTA.within", 23: "DELTA.among", 24: "PIst"}
TIP_COLUMNS = {0: "number", 2: "parent", 3: "meanfreq", 4: "age", 5: "H.within", 6: "H.among", 8: "ratio"}
SUMMARY_ROWS = {"Proportion of pairs of indiv WITHIN species": ("H0", "MH"),
                "Proportion of pairs of indiv BETWEEN species": ("H1", "Ist"),
                "Mean divergence time btw individuals": ("H2", "Pst"),
                "Mean divergence time btw individuals of distinct species": ("H3", "Pstarst"),
                "Mean divergence time btw species": ("P2", "PIst")}


class Checker:
    def __init__(self, reference):
        self.reference = reference
        self.seen = set()
        self.failures = []

    def value(self, key, text):
        if key not in self.reference:
            return
        self.seen.add(key)
        failure = printed_failure(key, text.strip(), self.reference[key], floor=1e-9)
        if failure:
            self.failures.append(failure)

    def text(self, key, text):
        if key in self.reference:
            self.seen.add(key)
            if self.reference[key] != text:
                self.failures.append(f"{key}: found {text!r}, reference {self.reference[key]!r}")


def check_nodes(lines, check):
    start = next((i for i, l in enumerate(lines) if l.startswith("Spatial and phylogenetic decomposition")), None)
    if start is None:
        return
    restricted = lines[start + 1] if lines[start + 1].startswith("Restricted to plots") else "none"
    check.text("node.text.restricted", restricted)
    heading = next(l for l in lines[start:] if "Mean within plot" in l or "among/within" in l)
    among = heading.split("Mean within plot\t")[1].split("\t")[0] if "Mean within plot" in heading else "none"
    check.text("node.text.among", among)
    section, ntips, nnodes = None, 0, 0
    for line in lines[start:]:
        fields = line.split("\t")
        if len(fields) > 2 and fields[1] in SUMMARY_ROWS:
            name, stat = SUMMARY_ROWS[fields[1]]
            check.value(f"node.sum.{name}.within", fields[5])
            check.value(f"node.sum.{name}.among", fields[6])
            check.value(f"node.sum.{name}.{stat}", fields[8] if name == "H0" else fields[9])
        elif line.startswith("Tip number"):
            section = "tips"
        elif line.startswith("Node number"):
            section = "nodes"
        elif section and fields[0].isdigit():
            if section == "tips":
                ntips += 1
                for column, key in TIP_COLUMNS.items():
                    check.value(f"node.tip.{fields[1]}.{key}", fields[column] if column < len(fields) else "")
            else:
                nnodes += 1
                check.value(f"node.{fields[0]}.name", fields[1])
                for column, key in NODE_COLUMNS.items():
                    check.value(f"node.{fields[0]}.{key}", fields[column])
        elif section == "nodes" and line.strip() == "":
            break
    check.value("node.ntips", str(ntips))
    check.value("node.count", str(nnodes))


def check_diversity(lines, check):
    start = next((i for i, l in enumerate(lines) if l == "DIVERSITY indices"), None)
    if start is None:
        return
    header = lines[start + 1].split("\t")
    has_div = "Mean divergence between species" in header
    has_tree = any(h.startswith("Faith") for h in header)
    check.value("pd.has_div", "1" if has_div else "0")
    check.value("pd.has_tree", "1" if has_tree else "0")
    i = start + 2
    while i < len(lines) and not lines[i].startswith("PHYLOGENETIC DIVERSITY FOR PLOT PAIRS"):
        fields = lines[i].split("\t")
        if len(fields) >= 2 and fields[0]:
            check.value(f"pd.{fields[0]}.richness", fields[1])
            rest = fields[2:]
            if has_div:
                check.value(f"pd.{fields[0]}.meandiv", rest.pop(0))
            if has_tree:
                check.value(f"pd.{fields[0]}.pd", rest.pop(0))
        i += 1
    for line in lines[i + 2:]:
        fields = line.split("\t")
        if len(fields) < 5:
            break
        key = f"pdpair.{fields[0]}.{fields[1]}"
        check.value(f"{key}.shared", fields[3])
        check.value(f"{key}.jaccard", fields[4])
        rest = fields[5:]
        if has_tree:
            check.value(f"{key}.pj", rest.pop(0))
        if has_div:
            check.value(f"{key}.divind", rest.pop(0))
            check.value(f"{key}.divsp", rest.pop(0))


def check_lineages(lines, check):
    tables = {"NUMBER OF LINEAGES through TIME: ": "n", "SIMPSON DIVERSITY of LINEAGES through TIME: ": "simpson"}
    pairs = {"JACCARD index of LINEAGE SIMILARITY for PLOT PAIRS through TIME": "jaccard",
             "MORISITA-HORN index of LINEAGE SIMILARITY for PLOT PAIRS through TIME": "mh"}
    for i, line in enumerate(lines):
        if line in tables:
            times = lines[i + 2].split("\t")[1:]
            check.value("ltt.ntimes", str(len(times)))
            for m, t in enumerate(times, start=1):
                check.value(f"ltt.{m}.time", t)
            for row in lines[i + 3:]:
                fields = row.split("\t")
                if row == "":
                    if any(r.startswith("ALL plots") for r in lines[i + 3:i + 5]) and row is lines[i + 3]:
                        continue
                if row.startswith(("SIMPSON", "JACCARD", "MORISITA")) or (row == "" and fields == [""] and
                                                                          False):
                    break
                if len(fields) < 2:
                    continue
                for m, text in enumerate(fields[1:], start=1):
                    check.value(f"ltt.{m}.{fields[0]}.{tables[line]}", text)
        elif line in pairs:
            for row in lines[i + 4:]:
                fields = row.split("\t")
                if len(fields) < 3:
                    break
                for m, text in enumerate(fields[2:], start=1):
                    check.value(f"lttpair.{fields[0]}.{fields[1]}.{m}.{pairs[line]}", text)


def check_pairwise(lines, check):
    blocks = [i for i, l in enumerate(lines) if l == "PAIRWISE VALUES written in column form"]
    check.value("pw.calls", str(len(blocks)))
    if not blocks:
        return
    start = blocks[0]
    header = lines[start + 1].split("\t")
    count = 0
    for line in lines[start + 2:]:
        fields = line.split("\t")
        if len(fields) < 5:
            break
        count += 1
        check.text(f"pwcol.{count}", f"{fields[0]} {fields[1]}")
        check.value(f"pair.{fields[0]}.{fields[1]}.dist", fields[4])
        for title, text in zip(header[5:], fields[5:]):
            check.value(f"pair.{fields[0]}.{fields[1]}.{PAIR_TITLES.get(title, title)}", text)
    check.value("pwcol.npairs", str(count))


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    reference = {}
    with open(sys.argv[1]) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("\t")
            reference[key] = value
    lines = []
    for path in sys.argv[2:]:
        with open(path, encoding="latin-1") as f:
            lines += f.read().split("\n")
    check = Checker(reference)
    for part in (check_nodes, check_diversity, check_lineages, check_pairwise):
        part(lines, check)
    families = ("node.", "pd.", "pdpair.", "ltt.", "lttpair.", "pwcol.", "pw.")
    unseen = [k for k in reference if k.startswith(families) and k not in check.seen]
    for key in unseen[:20]:
        check.failures.append(f"{key}: not found in the tables")
    for failure in check.failures[:60]:
        print(failure)
    print(f"{len(check.seen)} values compared, {len(check.failures)} failed ({len(unseen)} reference keys not found)")
    return 1 if check.failures or len(check.seen) < 10 else 0


if __name__ == "__main__":
    sys.exit(main())
