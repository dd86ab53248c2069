#!/usr/bin/env python3
"""The list of figures in docs/results.md is the list the program writes.

check_figure_list.py FIGURES_SOURCE RESULTS_MD

The names the figure writers can give are read from FIGURES_SOURCE, from
every assignment `file_name = <expression>;`: string literals are kept, the
alternatives of a `?:` are each a name, a parameter of the enclosing function
takes every value its calls in the file pass (string constants `kName` of the
reports' headers are looked up), and whatever cannot be resolved (a trait
name) stands for any text. The documented names are the `....svg` written in
backticks in the section "## Figures" of RESULTS_MD, where `<word>` stands for
any text. Every name the writers can give must be documented, and every
documented name must be one the writers can give.
"""
import fnmatch
import glob
import os
import re
import sys

from doc_checks import read, report

ANY = "*"



def split_top(text, separator):
    """Splits at separators outside parentheses and string literals."""
    parts, depth, quoted, current = [], 0, False, ""
    for i, c in enumerate(text):
        if c == '"' and (i == 0 or text[i - 1] != "\\"):
            quoted = not quoted
        if not quoted:
            depth += c in "([{"
            depth -= c in ")]}"
            if depth == 0 and c == separator:
                parts.append(current)
                current = ""
                continue
        current += c
    parts.append(current)
    return [p.strip() for p in parts]


def string_constants(reports_dir):
    constants = {}
    for header in glob.glob(os.path.join(reports_dir, "*.hpp")):
        for name, value in re.findall(r'constexpr const char\s*\*\s*(k\w+)\s*=\s*"([^"]*)"', read(header)):
            constants[name] = value
    return constants


FUNCTION = re.compile(r"^[\w:<>&*, ]+?\b(\w+)\(([^)]*)\)\s*(?:const\s*)?\{", re.M)


def enclosing_function(source, position):
    """Name and parameter names of the function whose body holds `position`."""
    best = None
    for m in FUNCTION.finditer(source, 0, position):
        best = m
    if not best:
        return None, []
    params = [re.findall(r"(\w+)\s*(?:=.*)?$", p.strip()) for p in split_top(best.group(2), ",") if p.strip()]
    return best.group(1), [p[0] if p else "" for p in params]


def argument_values(source, function, index, constants):
    """Values passed as argument `index` to the calls of `function` in `source`."""
    values = []
    for m in re.finditer(r"\b%s\(" % re.escape(function), source):
        depth, j = 1, m.end()
        while j < len(source) and depth:
            depth += {"(": 1, ")": -1}.get(source[j], 0)
            j += 1
        args = split_top(source[m.end():j - 1], ",")
        if source[j:].lstrip().startswith("{") or index >= len(args):
            continue  # the definition, or a call of another shape
        values.append(literal_value(args[index], constants))
    return values


def literal_value(term, constants):
    term = term.strip()
    m = re.fullmatch(r'(?:std::string\()?"([^"]*)"\)?', term)
    if m:
        return m.group(1)
    return constants.get(term)


def names_of(expression, source, position, constants):
    """Every name an expression can give, with ANY where it cannot be told."""
    alternatives = split_top(expression, "?")
    if len(alternatives) == 2:
        choices = split_top(alternatives[1], ":")
        return [n for c in choices for n in names_of(c, source, position, constants)]
    names = [""]
    for term in split_top(expression, "+"):
        value = literal_value(term, constants)
        values = [value] if value is not None else None
        if values is None and re.fullmatch(r"\w+", term):
            function, params = enclosing_function(source, position)
            if term in params:
                passed = argument_values(source, function, params.index(term), constants)
                if passed and None not in passed:
                    values = passed
        names = [n + (v if values else ANY) for n in names for v in (values or [""])]
    return names


def written_names(figures_source):
    source = read(figures_source)
    constants = string_constants(os.path.dirname(figures_source))
    names = set()
    for m in re.finditer(r"\bfile_name\s*=\s*([^;]+);", source):
        names.update(names_of(" ".join(m.group(1).split()), source, m.start(), constants))
    return names


def documented_names(results_md):
    text = read(results_md)
    section = re.search(r"^## Figures\s*$(.*?)(?=^## |\Z)", text, re.S | re.M)
    if not section:
        return None
    return {re.sub(r"<[^>]+>", ANY, n) for n in re.findall(r"`([^`\s]+\.svg)`", section.group(1))}


def covers(pattern, name):
    return pattern == name or fnmatch.fnmatchcase(name, pattern)


def main(argv):
    figures_source, results_md = argv[1:3]
    written = written_names(figures_source)
    documented = documented_names(results_md)
    if not written:
        print("no figure file name found in %s: have the figure writers moved?" % figures_source)
        return 1
    if documented is None:
        print("%s has no section \"## Figures\"" % results_md)
        return 1
    problems = []
    for name in sorted(written):
        if not any(covers(name, d) or covers(d, name) for d in documented):
            problems.append("the program writes %s, which %s does not list" % (name, results_md))
    for name in sorted(documented):
        if not any(covers(w, name) or covers(name, w) for w in written):
            problems.append("%s lists %s, which no figure writer gives" % (results_md, name))
    return report(problems, "%i figures, all listed: %s" % (len(written), ", ".join(sorted(written))))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
