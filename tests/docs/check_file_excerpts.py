#!/usr/bin/env python3
"""Files shown in the docs are shown as they are.

check_file_excerpts.py ROOT REQUIRED...

In README.md and docs/*.md, a fenced code block preceded by the line
    <!-- file: <path> -->
shows the file ROOT/<path> of the project: the block must be that file, line
for line (tabulations included). Each REQUIRED argument, DOC:PATH, names an
excerpt that must exist (README.md:examples/dune/instr.txt: the README shows
the bundled dune example), so that removing the mark cannot silence the check.
"""
import glob
import os
import re
import sys

from doc_checks import read, report

MARK = re.compile(r"^<!-- file: ([A-Za-z0-9_./-]+) -->\s*$")


def excerpts(path):
    lines = read(path).split("\n")
    found = []
    for i, line in enumerate(lines):
        m = MARK.match(line)
        if not m:
            continue
        if i + 1 >= len(lines) or not lines[i + 1].startswith("```"):
            found.append((m.group(1), None, i + 1))
            continue
        j = i + 2
        while j < len(lines) and not lines[j].startswith("```"):
            j += 1
        found.append((m.group(1), lines[i + 2:j], i + 1))
    return found


def main(argv):
    root = argv[1]
    required = {tuple(a.split(":", 1)) for a in argv[2:]}
    problems = []
    shown = set()
    docs = [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    for doc in docs:
        name = os.path.relpath(doc, root)
        for path, block, line in excerpts(doc):
            shown.add((name, path))
            if block is None:
                problems.append("%s:%i: the excerpt of %s is not followed by a code block" % (name, line, path))
                continue
            try:
                with open(os.path.join(root, path), encoding="utf-8", newline="") as f:
                    actual = f.read()
            except OSError as e:
                problems.append("%s:%i: %s cannot be read (%s)" % (name, line, path, e.strerror))
                continue
            if "\n".join(block) + "\n" != actual:
                problems.append("%s:%i: the excerpt differs from %s; it should read:\n%s" % (name, line, path, actual))
    for doc, path in sorted(required - shown):
        problems.append("%s shows no excerpt of %s (a line <!-- file: %s --> before its code block)" % (doc, path, path))
    return report(problems, "%i excerpts, each the file it shows" % len(shown))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
