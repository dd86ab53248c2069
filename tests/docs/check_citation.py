#!/usr/bin/env python3
"""The citation, the licence and the version they name agree with the program.

check_citation.py ROOT

- CITATION.cff names Quorvel, the version the program reports (kVersion in
  src/core/constants.hpp), the Quorvel developers as authors and the MIT
  licence;
- LICENSE is the MIT licence of the Quorvel developers;
- the README has its "How to cite" and "Licence" sections and names the
  licence; every "version N.N" of the README and of docs/*.md is the
  program's version, so that a release cannot leave an old one behind.
"""
import glob
import os
import re
import sys

from doc_checks import read, report


def read_file(root, name):
    return read(os.path.join(root, name))


def main(argv):
    root = argv[1]
    problems = []
    version = re.search(r'kVersion\s*=\s*"([^"]+)"', read_file(root, "src/core/constants.hpp"))
    if not version:
        print("no kVersion in src/core/constants.hpp: has it moved?")
        return 1
    version = version.group(1)

    cff = read_file(root, "CITATION.cff")
    for field, value in (("cff-version", None), ("title", "Quorvel"), ("version", '"%s"' % version),
                         ("license", "MIT"), ("type", "software")):
        m = re.search(r"^%s:\s*(.+?)\s*$" % field, cff, re.M)
        if not m or (value is not None and m.group(1) != value):
            problems.append("CITATION.cff: %s should be %s, not %s" % (field, value or "given",
                                                                        m.group(1) if m else "absent"))
    if not re.search(r"^authors:\n  - name: the Quorvel developers$", cff, re.M):
        problems.append("CITATION.cff: the authors should be \"the Quorvel developers\"")

    licence = read_file(root, "LICENSE")
    if not licence.startswith("MIT License\n") or "Copyright (c) 2026 the Quorvel developers" not in licence:
        problems.append("LICENSE: not the MIT licence of the Quorvel developers")

    readme = read_file(root, "README.md")
    for heading in ("## How to cite", "## Licence"):
        if heading + "\n" not in readme:
            problems.append("README.md: no section \"%s\"" % heading)
    if "MIT licence" not in readme:
        problems.append("README.md does not name the MIT licence")
    for name in ["README.md"] + sorted(os.path.relpath(p, root) for p in glob.glob(os.path.join(root, "docs", "*.md"))):
        for found in re.findall(r"\bversion (\d+\.\d+)\b", read_file(root, name)):
            if found != version:
                problems.append("%s names version %s; the program is version %s" % (name, found, version))

    return report(problems, "CITATION.cff, LICENSE and the docs name Quorvel %s under the MIT licence" % version)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
