#!/usr/bin/env python3
"""Every keyword of the instruction-file reader appears in the user guide.

check_keyword_coverage.py KEYWORD_TABLE_SOURCE DOCS_DIR

The keywords are the records {"KEYWORD", compared_length, ...} of the
reader's keyword table; each must appear in the guide written as `KEYWORD`
(in a table or in the text) so that a reader can look it up.
"""
import glob
import os
import re
import sys


def main(argv):
    source, docs_dir = argv[1:3]
    with open(source, encoding="utf-8") as f:
        keywords = re.findall(r'\{"([A-Z][A-Z0-9 *<-]+)", \d+,', f.read())
    if len(keywords) < 30:
        print("only %i keywords found in %s: has the table moved?" % (len(keywords), source))
        return 1
    guide = ""
    for path in glob.glob(os.path.join(docs_dir, "*.md")):
        with open(path, encoding="utf-8") as f:
            guide += f.read()
    missing = [k for k in keywords if "`%s`" % k not in guide]
    for k in missing:
        print("keyword not described in the guide: %s" % k)
    if missing:
        return 1
    print("%i keywords, all in the guide" % len(keywords))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
