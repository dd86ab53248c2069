#!/usr/bin/env python3
"""A person at the keyboard: the program runs in a pseudo-terminal, the
instruction file is created by answering the dialogue, the closing pause
waits for one key (no Return needed), and the run goes on to the end.

Usage: dialogue_terminal_test.py QUORVEL DUNE_DATA_DIR RUN_DIR
"""
import os
import pty
import select
import shutil
import sys
import time

binary, data_dir, run_dir = sys.argv[1:4]
shutil.rmtree(run_dir, ignore_errors=True)
shutil.copytree(data_dir, run_dir)

pid, terminal = pty.fork()
if pid == 0:
    try:
        os.chdir(run_dir)
        os.execv(binary, [binary])
    finally:
        os._exit(127)  # never run the test's own code in the child

output = b""


def read_for(seconds):
    """Reads what the program prints during `seconds` (less if it ends)."""
    global output
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        ready, _, _ = select.select([terminal], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            return
        try:
            chunk = os.read(terminal, 4096)
        except OSError:  # the program has ended
            return
        if not chunk:
            return
        output += chunk


def expect(text, limit=60):
    """Waits until `text` has been printed; fails after `limit` seconds."""
    deadline = time.monotonic() + limit
    while text.encode() not in output:
        if time.monotonic() > deadline:
            sys.exit("never printed: %r\n--- console so far:\n%s" % (text, output.decode(errors="replace")))
        read_for(0.2)


def answer(prompt_end, typed):
    expect(prompt_end)
    os.write(terminal, typed.encode())


answer("  Instruction file: ", "\r")
answer('default name "instr.txt")', "\r")
answer("7- Inter-species trait distance matrix", "13\r")
answer('default name "sp_plot.txt")', "dune_matrix.txt\r")
answer('default name "phylo.txt")', "dune_tree.txt\r")
answer("ultrametric? (y/n)", "y\r")
answer("3- Matrix of pairwise categories", "1\r")
answer('default name "plot.txt")', "dune_plots.txt\r")
answer("9- Write pairwise indices of phylogenetic turnover", "\r")
answer('default name "output.txt")', "results.txt\r")
expect("drag its icon on the icon of the Quorvel software.")

# The pause waits for the person: nothing more is printed until a key comes.
read_for(1.0)
if b"Random seed" in output:
    sys.exit("the closing pause did not wait for a key")
os.write(terminal, b"x")  # one key, without Return
expect("Current local time and date:")

_, status = os.waitpid(pid, 0)
if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
    sys.exit("the run ended with status %r" % status)
with open(os.path.join(run_dir, "instr.txt")) as written:
    instructions = written.read()
if instructions != ("SPECIES-PLOT MATRIX\tdune_matrix.txt\n\nULTRAMETRIC PHYLOGENETIC TREE\tdune_tree.txt"
                    "\n\nPLOT LIST\tdune_plots.txt\n\n\nMAIN RESULT FILE\tresults.txt"):
    sys.exit("unexpected instruction file:\n" + instructions)
with open(os.path.join(run_dir, "results.txt")) as results:
    if "Analyses finished at" not in results.read():
        sys.exit("the results file does not end with the time stamp")
print("dialogue at a terminal: instruction file written, pause waited for a key, run finished")
