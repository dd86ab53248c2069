#!/usr/bin/env python3
"""Compares a written list of divergences between species ("a<TAB>b<TAB>d" lines)
with reference values ("div.<a>.<b><TAB>d" lines). Usage: LIST REFERENCE [TOLERANCE]"""
import sys


def main():
    listed, reference = sys.argv[1], sys.argv[2]
    tolerance = float(sys.argv[3]) if len(sys.argv) > 3 else 1e-6
    expected = {}
    with open(reference) as ref:
        for line in ref:
            key, _, value = line.rstrip("\n").partition("\t")
            if key.startswith("div."):
                _, a, b = key.split(".", 2)
                expected[frozenset((a, b))] = float(value)
    seen, failures = 0, []
    with open(listed) as pairs:
        for line in pairs:
            cells = line.rstrip("\n").split("\t")
            if len(cells) != 3:
                continue
            a, b, value = cells
            want = expected.get(frozenset((a, b)))
            seen += 1
            if want is None:
                failures.append(f"{a}-{b}: no reference value")
            elif abs(float(value) - want) > tolerance * max(1.0, abs(want)):
                failures.append(f"{a}-{b}: {value}, reference {want}")
    if seen != len(expected):
        failures.append(f"{seen} pairs written, {len(expected)} in the reference")
    for failure in failures[:20]:
        print(failure)
    print(f"{seen - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
