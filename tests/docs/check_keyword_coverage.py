#!/usr/bin/env python3
"""The keyword reference cannot go stale: it documents exactly the keywords
of the instruction-file reader.

check_keyword_coverage.py KEYWORD_TABLE_SOURCE DOCS_DIR

The keywords are the records {"KEYWORD", compared_length, ...} of the
reader's keyword table, in the order the reader compares them. Then:
- each appears in the guide written as `KEYWORD`, so that a reader can look
  it up;
- docs/keywords.md has one entry per keyword (a heading ### `KEYWORD`) and no
  other, each with its Usage, Arguments, Default and Example; the example
  holds a line that the reader takes for that keyword (the first record whose
  compared characters begin the line), so that no example is read as another
  keyword;
- the index at its top links every entry, and every link to a heading of
  keywords.md (#anchor) leads to one.
"""
import glob
import os
import re
import sys

from doc_checks import read, report

HEADING = re.compile(r"^### `([^`]+)`\s*$", re.M)
FIELDS = ("**Usage**", "**Arguments**", "**Default**", "**Example**")



def keyword_table(source):
    records = re.findall(r'\{"([A-Z][A-Z0-9 *<-]+)", (\d+),', read(source))
    return [(k, int(n)) for k, n in records]


def recognised_keyword(line, table):
    for keyword, compared in table:
        if line[:compared] == keyword[:compared]:
            return keyword
    return None


def anchor(heading):
    """The anchor a Markdown renderer gives a heading."""
    text = re.sub(r"[^a-z0-9 _-]", "", heading.strip().lower())
    return text.replace(" ", "-")


def check_reference(path, table):
    text = read(path)
    problems = []
    keywords = [k for k, _ in table]
    entries = HEADING.findall(text)
    for k in keywords:
        if entries.count(k) != 1:
            problems.append("keywords.md: %s has %i entries (one expected)" % (k, entries.count(k)))
    for k in sorted(set(entries) - set(keywords)):
        problems.append("keywords.md documents %s, which the reader's keyword table does not hold" % k)
    starts = [m.start() for m in HEADING.finditer(text)] + [len(text)]
    for (start, end), k in zip(zip(starts, starts[1:]), entries):
        body = re.split(r"^##? ", text[start:end], flags=re.M)[0]
        for field in FIELDS:
            if field not in body:
                problems.append("keywords.md, %s: no %s" % (k, field))
        example = body.split("**Example**", 1)[-1]
        block = re.search(r"^```\n(.*?)^```", example, re.S | re.M)
        lines = block.group(1).split("\n") if block else []
        if k in keywords and not any(recognised_keyword(line, table) == k for line in lines):
            problems.append("keywords.md, %s: no line of its example is read as this keyword" % k)
    headings = re.findall(r"^#+ (.*)$", text, re.M)
    anchors = {anchor(h) for h in headings}
    links = re.findall(r"\]\(#([^)]+)\)", text)
    for target in links:
        if target not in anchors:
            problems.append("keywords.md: the link #%s leads to no heading" % target)
    for k in keywords:
        if anchor(k) not in links:
            problems.append("keywords.md: the index at the top does not link %s" % k)
    return problems


def main(argv):
    source, docs_dir = argv[1:3]
    table = keyword_table(source)
    if len(table) < 30:
        print("only %i keywords found in %s: has the table moved?" % (len(table), source))
        return 1
    guide = "".join(read(p) for p in glob.glob(os.path.join(docs_dir, "*.md")))
    problems = ["keyword not described in the guide: %s" % k for k, _ in table if "`%s`" % k not in guide]
    problems += check_reference(os.path.join(docs_dir, "keywords.md"), table)
    return report(problems, "%i keywords, all in the guide and in the keyword reference" % len(table))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
