#!/usr/bin/env python3
"""The keyword reference cannot go stale: it documents exactly the keywords
of the instruction-file reader.

check_keyword_coverage.py KEYWORD_TABLE_SOURCE DOCS_DIR

The keywords are the records option("KEYWORD", compared_length, ...),
source(...) and output("KEYWORD", compared_length, KeywordRole::kRole, ...)
of the reader's keyword table, in the order the reader compares them, each
with its role. Then:
- each appears in the guide written as `KEYWORD`, so that a reader can look
  it up;
- docs/keywords.md has one entry per keyword (a heading ### `KEYWORD`) and no
  other, each with its Usage, Arguments, Default and Example; the example
  holds a line that the reader takes for that keyword (the first record whose
  compared characters begin the line), so that no example is read as another
  keyword;
- the index at its top links every entry, and every link to a heading of
  keywords.md (#anchor) leads to one;
- the "Outputs" row of the index holds exactly the keywords whose role is an
  output; the usage of an optional table (role kTableOutput) shows the
  keyword alone (its file left out: the main result file), that of the
  other outputs always a name.
"""
import glob
import os
import re
import sys

from doc_checks import read, report

HEADING = re.compile(r"^### `([^`]+)`\s*$", re.M)
FIELDS = ("**Usage**", "**Arguments**", "**Default**", "**Example**")



RECORD = re.compile(r'\b(option|source|output)\(\s*"([A-Z][A-Z0-9 *<-]+)",\s*(\d+),\s*([\w:]+)')
OUTPUT_ROLES = ("kMainResultFile", "kTableOutput", "kNewOutput", "kFolderOutput")


def keyword_table(source):
    """(keyword, compared length, role) of each record, in table order."""
    table = []
    for kind, keyword, compared, argument in RECORD.findall(read(source)):
        role = {"option": "kOption", "source": "kDataSource"}.get(kind, argument.split("::")[-1])
        table.append((keyword, int(compared), role))
    return table


def recognised_keyword(line, table):
    for keyword, compared, _ in table:
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
    keywords = [k for k, _, _ in table]
    roles = {k: role for k, _, role in table}
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
        usage = re.search(r"\*\*Usage\*\*\s*^```\n(.*?)^```", body, re.S | re.M)
        bare = usage is not None and k in [line.strip() for line in usage.group(1).split("\n")]
        if roles.get(k) == "kTableOutput" and not bare:
            problems.append("keywords.md, %s: an optional table, its usage shows no line without a file" % k)
        if roles.get(k) in OUTPUT_ROLES and roles.get(k) != "kTableOutput" and bare:
            problems.append("keywords.md, %s: its output needs a name, but its usage shows none" % k)
    headings = re.findall(r"^#+ (.*)$", text, re.M)
    anchors = {anchor(h) for h in headings}
    links = re.findall(r"\]\(#([^)]+)\)", text)
    for target in links:
        if target not in anchors:
            problems.append("keywords.md: the link #%s leads to no heading" % target)
    for k in keywords:
        if anchor(k) not in links:
            problems.append("keywords.md: the index at the top does not link %s" % k)
    outputs_row = re.search(r"^\| Outputs \|(.*)\|\s*$", text, re.M)
    listed = set(re.findall(r"`([^`]+)`", outputs_row.group(1))) if outputs_row else set()
    for k in sorted(listed ^ {k for k in keywords if roles[k] in OUTPUT_ROLES}):
        where = "lists" if k in listed else "does not list"
        problems.append("keywords.md: the Outputs row of the index %s %s, whose role is %s" % (where, k, roles.get(k)))
    return problems


def main(argv):
    source, docs_dir = argv[1:3]
    table = keyword_table(source)
    if len(table) < 30:
        print("only %i keywords found in %s: has the table moved?" % (len(table), source))
        return 1
    guide = "".join(read(p) for p in glob.glob(os.path.join(docs_dir, "*.md")))
    problems = ["keyword not described in the guide: %s" % k for k, _, _ in table if "`%s`" % k not in guide]
    problems += check_reference(os.path.join(docs_dir, "keywords.md"), table)
    return report(problems, "%i keywords, all in the guide and in the keyword reference" % len(table))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
