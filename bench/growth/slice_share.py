#!/usr/bin/env python3
"""What a slice of the randomizations costs: the share of its time spent
drawing every permutation of the run.

    slice_share.py [--plots 400] [--species 300] [--randomizations 999]
                   [--slices 8] [--test phylogeny|spatial] [--repeat 3]

A slice (quorvel --slice k/K) reads the data, computes the observed values
and draws every permutation of every test in stream order, as the whole run
does, but evaluates only about 1/K of the randomizations. On a synthetic data
set of gen_growth_data.py, THREADS 1, it measures the CPU time (user +
system, the kernel's accounting of the child) of:
  partition   the run without test: reading, observed values, reports
  whole       the run with the test (N randomizations)
  slice       slice 1 of K
  draws only  slice 1 of N + 1, which draws every permutation and evaluates
              none (no randomization i has i mod (N + 1) = 0)
and prints the share of the slice spent drawing, (draws only - partition) /
slice (an upper bound: it also holds the slice's bookkeeping), the share of
the fixed part, partition / slice, and the speed-up of K machines over one,
whole / slice. Each figure is the median of --repeat runs.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the scripts

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

import gen_growth_data as gen  # noqa: E402


def cpu_seconds(program, arguments, folder):
    """Runs the program in `folder` with standard input closed; returns its
    CPU time and wall time; stops on a failed run."""
    start = time.monotonic()
    with open(os.path.join(folder, "console.txt"), "w") as out:
        child = subprocess.Popen([program] + arguments, stdin=subprocess.DEVNULL, stdout=out,
                                 stderr=subprocess.STDOUT, cwd=folder)
        _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit("%s %s ended with status %d (see %s/console.txt)"
                 % (program, " ".join(arguments), child.returncode, folder))
    return usage.ru_utime + usage.ru_stime, time.monotonic() - start


def write_instructions(folder, test, randomizations):
    """The run without and with the test, THREADS 1, a fixed seed."""
    base = ["SPECIES-PLOT MATRIX\tmatrix.txt", "PLOT LIST\tplots.txt", "DISTANCE INTERVALS\tdistint.txt",
            "ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt", "RANDOM SEED\t12345", "THREADS\t1"]
    if test == "phylogeny":
        tested = ["PHYLOGENY RANDOMIZATION TESTS\t1\t%d" % randomizations, "1\tPERMUTE SAMPLED SPECIES"]
    else:
        tested = ["SPATIAL RANDOMIZATION TEST\t%d" % randomizations]
    for name, lines in (("slices_partition.txt", base), ("slices_test.txt", base + tested)):
        result = name.replace(".txt", "_results.txt")
        with open(os.path.join(folder, name), "w") as f:
            f.write("\n".join(lines + ["MAIN RESULT FILE\t%s" % result]) + "\n")


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--plots", type=int, default=400)
    p.add_argument("--species", type=int, default=300)
    p.add_argument("--randomizations", type=int, default=999)
    p.add_argument("--slices", type=int, default=8)
    p.add_argument("--test", choices=("phylogeny", "spatial"), default="phylogeny")
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--program", default=os.path.join(ROOT, "build-bench", "quorvel"))
    p.add_argument("--work", default=os.path.join(ROOT, "build-bench", "slice-share-data"))
    args = p.parse_args(argv)
    args.program = os.path.abspath(args.program)
    if not os.access(args.program, os.X_OK):
        sys.exit("no program %s: build it first (make bench-growth, or --program build/quorvel)" % args.program)

    data_args = argparse.Namespace(plots=args.plots, species=args.species, per_plot=60, seed=1, zero_branches=0,
                                   zero_tip_branches=0, divergence_intervals=0, format="matrix")
    gen.check_arguments(data_args)
    folder = os.path.join(args.work, "%dx%d" % (args.plots, args.species))
    if not os.path.exists(os.path.join(folder, "tree.txt")):
        gen.write_dataset(folder, gen.Dataset(data_args))
    write_instructions(folder, args.test, args.randomizations)

    n, K = args.randomizations, args.slices
    runs = {
        "partition": ["slices_partition.txt"],
        "whole": ["slices_test.txt"],
        "slice": ["--slice", "1/%d" % K, "slices_test.txt"],
        "draws only": ["--slice", "1/%d" % (n + 1), "slices_test.txt"],
    }
    cpu = {}
    for name, arguments in runs.items():
        times = [cpu_seconds(args.program, arguments, folder) for _ in range(max(1, args.repeat))]
        cpu[name] = statistics.median(t[0] for t in times)
        print("%-10s  CPU %7.2f s  (wall %.2f s, median of %d)" % (name, cpu[name],
                                                                    statistics.median(t[1] for t in times),
                                                                    len(times)))
    slice_cpu = cpu["slice"]
    print("\n%d plots x %d species, %s test of %d randomizations, slice 1 of %d, THREADS 1"
          % (args.plots, args.species, args.test, n, K))
    print("drawing every permutation: %5.1f %% of the slice" % (100 * (cpu["draws only"] - cpu["partition"]) / slice_cpu))
    print("fixed part (read, observed, reports): %5.1f %% of the slice" % (100 * cpu["partition"] / slice_cpu))
    print("evaluating its 1/%d of the randomizations: %5.1f %% of the slice"
          % (K, 100 * (slice_cpu - cpu["draws only"]) / slice_cpu))
    # Slice 1 evaluates the randomizations i = K, 2K, ...: floor(n / K) of them.
    print("one slice against the whole run: %.2f times sooner (%.2f at best: the slice evaluates %d of the %d)"
          % (cpu["whole"] / slice_cpu, n / (n // K), n // K, n))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
