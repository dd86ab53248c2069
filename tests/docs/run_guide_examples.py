#!/usr/bin/env python3
"""Runs every example of the user guide, so that the guide cannot go stale.

run_guide_examples.py QUORVEL DOCS_DIR DATA_SETS_DIR WORK_DIR

In docs/*.md, a fenced code block preceded by the line
    <!-- example: <folder>/<file> -->
is the content of that file. Every folder that has an instr.txt is run in
WORK_DIR/<folder>, next to a copy of every shared data set (the files the
guide's examples name), with standard input closed: it must exit with status
0 and its main result file must end with "Analyses finished at".
"""
import glob
import os
import re
import shutil
import subprocess
import sys

MARK = re.compile(r"^<!-- example: ([A-Za-z0-9_./-]+) -->\s*$")


def extract(docs_dir):
    files = {}
    for path in sorted(glob.glob(os.path.join(docs_dir, "*.md"))):
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        i = 0
        while i < len(lines):
            m = MARK.match(lines[i])
            if not m:
                i += 1
                continue
            name = m.group(1)
            if i + 1 >= len(lines) or not lines[i + 1].startswith("```"):
                sys.exit("%s: the example %s is not followed by a code block" % (path, name))
            j = i + 2
            body = []
            while j < len(lines) and not lines[j].startswith("```"):
                body.append(lines[j])
                j += 1
            if name in files:
                sys.exit("%s: the example file %s is given twice" % (path, name))
            files[name] = "\n".join(body) + "\n"
            i = j + 1
    return files


def main_result_file(instructions):
    for line in instructions.split("\n"):
        for keyword in ("MAIN RESULT FILE", "ADD TO MAIN RESULT FILE"):
            if line.startswith(keyword):
                return line[len(keyword):].split()[0]
    return None


def main(argv):
    quorvel, docs_dir, sets_dir, work_dir = (os.path.abspath(a) for a in argv[1:5])
    files = extract(docs_dir)
    folders = sorted({name.split("/")[0] for name in files if name.endswith("/instr.txt")})
    if not folders:
        print("no example found")
        return 1
    shutil.rmtree(work_dir, ignore_errors=True)
    failed = []
    for folder in folders:
        run_dir = os.path.join(work_dir, folder)
        os.makedirs(run_dir)
        for data_file in glob.glob(os.path.join(sets_dir, "*", "*")):
            shutil.copy(data_file, run_dir)
        for name, text in files.items():
            if name.startswith(folder + "/"):
                target = os.path.join(work_dir, name)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "w", encoding="ascii", newline="\n") as f:
                    f.write(text)
        instructions = files[folder + "/instr.txt"]
        result = main_result_file(instructions)
        args = [quorvel, "instr.txt"] + ([] if result else ["out.txt"])
        with open(os.devnull) as closed:
            run = subprocess.run(args, cwd=run_dir, stdin=closed, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 timeout=600)
        result_path = os.path.join(run_dir, result or "out.txt")
        finished = os.path.exists(result_path) and "Analyses finished at" in open(result_path, encoding="latin-1").read()
        if run.returncode != 0 or not finished:
            failed.append(folder)
            console = run.stdout.decode("latin-1").strip().split("\n")
            print("example %s: exit status %i%s; console ends with:" %
                  (folder, run.returncode, "" if finished else ", no \"Analyses finished\""))
            for line in console[-8:]:
                print("    " + line)
        else:
            print("example %s: finished" % folder)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
