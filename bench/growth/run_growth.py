#!/usr/bin/env python3
"""Growth benchmark: time and peak memory of the program as data grow.

    run_growth.py [--grid default|issue|full|PxS,PxS...] [options]
    run_growth.py bound --plots 400 --species 20000 --max-mb 1024

For every size (plots x species) it generates a synthetic data set with
gen_growth_data.py (once; kept under the work folder) and runs the program on
  (a) the partition alone (tree, no randomization), and
  (b) the same with one phylogeny randomization test of N randomizations
      (permute sampled species, THREADS 1 unless --threads),
each as a child process whose CPU time (user + system) and peak resident
memory are the kernel's accounting of that child (wait4). It prints:
  CPU a      CPU seconds of run (a): reading, the observed partition, reports
  peak a     its largest resident memory
  CPU/rand   (CPU of (b) - CPU of (a)) / N: the CPU of one randomization
  ops        beside CPU/rand, the operation counts of op_count.py (multiply-
             adds per randomization) and CPU cycles (or ns) per operation, at
             the nominal clock of the processor.
A run over --max-gb of resident memory or --max-seconds of wall time is
stopped and reported as such. CPU time is quoted because the machine may be
shared; the load average is printed before and after.

"bound" runs (a) at one size and fails (exit 1) when its peak memory exceeds
--max-mb, or when the run does not finish: a check for continuous
integration. The run is stopped as soon as it passes the bound.
"""

import argparse
import datetime
import hashlib
import os
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the scripts

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

import gen_growth_data as gen  # noqa: E402
import op_count  # noqa: E402

GRIDS = {
    # Each axis alone, starting from the 400 x 300 reference.
    "default": "400x300,800x300,1600x300,3200x300,400x1000,400x3000,400x10000",
    # The rows of the table of issue 21.
    "issue": "400x300,3200x300,400x10000,400x20000",
    "full": ",".join(
        ["%dx%d" % (p, s) for p in (400, 800, 1600, 3200) for s in (300, 1000, 3000, 10000, 20000, 50000)]
        + ["2000x50000"]
    ),
}


class Run:
    """One finished (or stopped) child process."""

    def __init__(self):
        self.status = "ok"
        self.exit = None
        self.user = self.sys = self.wall = 0.0
        self.peak_kb = 0

    @property
    def cpu(self):
        return self.user + self.sys

    @property
    def ok(self):
        return self.status == "ok"


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def size_text(kb):
    return "%.1f GB" % (kb / 1048576.0) if kb >= 1048576 else "%d MB" % (kb // 1024)


def only_child(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            children = f.read().split()
        return int(children[0]) if children else None
    except (OSError, ValueError):
        return None


# The peak memory of a child forked from this script would include the
# script's own (Linux carries the largest resident size over fork and exec),
# so the program runs under GNU time, a small process, which reports the
# program's own peak. CPU times are the child's rusage (time's own share is a
# millisecond).
GNU_TIME = "/usr/bin/time"


def run_program(program, instruction, result, max_kb, max_seconds, console):
    """Runs `program instruction` with standard input closed; watches its
    resident memory and time; returns a Run with the child's own rusage."""
    run = Run()
    peak_file = console + ".peak"
    under_time = os.access(GNU_TIME, os.X_OK)
    command = [program, instruction]
    if under_time:
        command = [GNU_TIME, "-f", "%M", "-o", peak_file] + command
    start = time.monotonic()
    with open(console, "w") as out:
        child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                 cwd=os.path.dirname(instruction))
    target = None if under_time else child.pid
    stopped = None
    while True:
        pid, status, usage = os.wait4(child.pid, os.WNOHANG)
        if pid == child.pid:
            break
        if target is None:
            target = only_child(child.pid)
        elapsed = time.monotonic() - start
        if stopped is None and target is not None:
            if max_kb and rss_kb(target) > max_kb:
                stopped = "stopped: over %s" % size_text(max_kb)
            elif max_seconds and elapsed > max_seconds:
                stopped = "stopped: over %d s" % max_seconds
            if stopped:
                os.kill(target, signal.SIGKILL)
        time.sleep(0.05)
    child.returncode = status  # reaped here, not by Popen
    run.wall = time.monotonic() - start
    run.user, run.sys = usage.ru_utime, usage.ru_stime
    run.peak_kb = usage.ru_maxrss
    if under_time:
        try:
            with open(peak_file) as f:
                run.peak_kb = int(f.read().split()[-1])
        except (OSError, ValueError, IndexError):
            pass
    run.exit = os.waitstatus_to_exitcode(status)
    if stopped:
        run.status = stopped
    elif run.exit != 0:
        run.status = "failed: exit %d" % run.exit
    elif not finished(result):
        run.status = "failed: no \"Analyses finished\""
    return run


def finished(result):
    try:
        with open(result, "rb") as f:
            f.seek(max(0, os.path.getsize(result) - 4096))
            return b"Analyses finished" in f.read()
    except OSError:
        return False


def data_arguments(args, plots, species):
    ns = argparse.Namespace(plots=plots, species=species, per_plot=args.per_plot, seed=args.seed,
                            zero_branches=args.zero_branches, zero_tip_branches=args.zero_tip_branches,
                            divergence_intervals=args.divergence_intervals,
                            format=args.format)
    gen.check_arguments(ns)
    return ns


def data_folder(args, ns):
    name = "%dx%d-pp%d-seed%d-z%d-zt%d-di%d-%s" % (ns.plots, ns.species, ns.per_plot, ns.seed, ns.zero_branches,
                                                   ns.zero_tip_branches, ns.divergence_intervals, ns.format)
    return os.path.join(args.work, name)


class Size:
    """The data set of one size, generated on first use."""

    def __init__(self, args, plots, species):
        self.args = args
        self.ns = data_arguments(args, plots, species)
        self.folder = data_folder(args, self.ns)
        self._data = None

    @property
    def data(self):
        if self._data is None:
            self._data = gen.Dataset(self.ns)
        return self._data

    def prepare(self):
        """Generates the data set unless this generator already wrote it."""
        marker = os.path.join(self.folder, ".complete")
        with open(gen.__file__, "rb") as f:
            version = hashlib.sha1(f.read()).hexdigest() + "\n"
        try:
            with open(marker) as f:
                if f.read() == version:
                    return
        except OSError:
            pass
        gen.write_dataset(self.folder, self.data)
        with open(marker, "w") as f:
            f.write(version)

    def run(self, kind, randomizations=0):
        """Runs `kind` --repeat times; returns the run of median CPU time
        (the first run that did not finish, if any)."""
        runs = []
        for _ in range(max(1, self.args.repeat)):
            run = self.run_once(kind, randomizations)
            if not run.ok:
                return run
            runs.append(run)
        runs.sort(key=lambda r: r.cpu)
        return runs[(len(runs) - 1) // 2]

    def run_once(self, kind, randomizations):
        """Writes the instruction files for N and runs one of them."""
        args = self.args
        paths = gen.write_instructions(self.folder, self.data if self._data else _Shallow(self.ns),
                                       randomizations, args.threads, args.random_seed)
        phylogeny = args.phylogeny
        instruction = paths[(phylogeny, kind)]
        result = os.path.join(self.folder, "results_%s_%s.txt" % (phylogeny, kind))
        console = os.path.join(self.folder, "console_%s_%s.txt" % (phylogeny, kind))
        return run_program(args.program, instruction, result, int(args.max_gb * 1048576), args.max_seconds, console)


class _Shallow:
    """What the instruction writer needs, without generating the data."""

    def __init__(self, ns):
        self.args = ns
        self.n_plots = ns.plots
        self.n_species = ns.species


def parse_grid(text):
    text = GRIDS.get(text, text)
    sizes = []
    for item in text.split(","):
        plots, _, species = item.strip().lower().partition("x")
        sizes.append((int(plots), int(species)))
    return sizes


def nominal_ghz():
    """Nominal clock of the processor: the "@ x.xxGHz" of its model name, or
    else the kernel's "cpu MHz" (on a virtual machine, the host's nominal)."""
    try:
        with open("/proc/cpuinfo") as f:
            text = f.read()
    except OSError:
        return None, "unknown"
    model = next((l.split(":", 1)[1].strip() for l in text.splitlines() if l.startswith("model name")), "unknown")
    if "GHz" in model and "@" in model:
        try:
            return float(model.rsplit("@", 1)[1].replace("GHz", "").strip()), model
        except ValueError:
            pass
    mhz = next((l.split(":", 1)[1].strip() for l in text.splitlines() if l.startswith("cpu MHz")), None)
    return (float(mhz) / 1000.0 if mhz else None), model


def load_average():
    try:
        with open("/proc/loadavg") as f:
            return " ".join(f.read().split()[:3])
    except OSError:
        return "unknown"


def commit():
    try:
        return subprocess.run(["git", "-C", ROOT, "describe", "--always", "--dirty"], capture_output=True,
                              text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def default_program():
    for candidate in ("build-bench/quorvel", "build/quorvel"):
        path = os.path.join(ROOT, candidate)
        if os.access(path, os.X_OK):
            return path
    return os.path.join(ROOT, "build-bench", "quorvel")


def fmt_mb(kb):
    return "%.0f" % (kb / 1024.0)


def per_randomization(size, base, args, log):
    """CPU of one randomization: (CPU with N - CPU without) / N. With
    --randomizations auto, a pilot of 3 sets N for about --budget seconds."""
    if args.randomizations == "auto":
        n = 3
        pilot = size.run_once("random", n)
        if not pilot.ok:
            return pilot, n, None
        per = max((pilot.cpu - base.cpu) / n, 1e-4)
        wanted = int(min(999, max(n, args.budget / per)))
        log("    pilot N=%d: %.1f ms a randomization; N=%d" % (n, 1000 * per, wanted))
        if wanted <= n:
            return pilot, n, per
        n = wanted
    else:
        n = int(args.randomizations)
    run = size.run("random", n)
    if not run.ok:
        return run, n, None
    return run, n, (run.cpu - base.cpu) / n


def growth(args):
    sizes = parse_grid(args.grid)
    ghz, model = nominal_ghz()
    if args.clock_ghz:
        ghz = args.clock_ghz
    out = sys.stdout

    def log(text):
        print(text, file=sys.stderr, flush=True)

    print("# growth benchmark %s, program %s (commit %s)" % (datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
                                                            os.path.relpath(args.program, ROOT), commit()))
    print("# processor: %s, %d cores; nominal clock %s GHz (assumed for cycles)" %
          (model, os.cpu_count() or 0, "%.2f" % ghz if ghz else "unknown"))
    zeros = "".join([", %d zero-length internal branches" % args.zero_branches if args.zero_branches else "",
                     ", %d cherries of zero-length tip branches" % args.zero_tip_branches
                     if args.zero_tip_branches else ""])
    print("# data: %d species a plot on average (counts), coalescent tree%s, seed %d; phylogeny: %s; THREADS %d" %
          (args.per_plot, zeros, args.seed, args.phylogeny, args.threads))
    print("# each figure: median CPU of %d run(s); load average before: %s" % (max(1, args.repeat), load_average()))
    header = ["plots", "species", "spp/plot", "CPU a (s)", "wall a (s)", "peak a (MB)", "N", "CPU b (s)",
              "wall b (s)", "peak b (MB)", "CPU/rand (ms)", "status"]
    rows = []
    ops_rows = []
    for plots, species in sizes:
        size = Size(args, plots, species)
        log("%d x %d: generating data in %s" % (plots, species, os.path.relpath(size.folder, ROOT)))
        size.prepare()
        richness = size.data.summary()["mean_species_per_plot"]
        log("%d x %d: partition alone" % (plots, species))
        base = size.run("partition")
        row = [plots, species, "%.1f" % richness, "%.2f" % base.cpu, "%.2f" % base.wall, fmt_mb(base.peak_kb)]
        per = None
        if base.ok and args.randomizations != "0":
            log("%d x %d: randomizations" % (plots, species))
            rand, n, per = per_randomization(size, base, args, log)
            row += [n, "%.2f" % rand.cpu, "%.2f" % rand.wall, fmt_mb(rand.peak_kb),
                    "%.1f" % (1000 * per) if per is not None else "-", rand.status]
        else:
            row += ["-", "-", "-", "-", "-", base.status]
        rows.append(row)
        print("\t".join(str(c) for c in row), file=sys.stderr, flush=True)
        if per is not None and want_ops(args, plots, species):
            log("%d x %d: operation counts" % (plots, species))
            ops_rows.append(ops_row(size, per, ghz, args))
    print("# load average after: %s" % load_average())
    print_table(out, header, rows)
    if ops_rows:
        print()
        print("# operations per randomization (op_count.py; M = 10^6 multiply-adds), cycles at %s GHz" %
              ("%.2f" % ghz if ghz else "?"))
        print_table(out, ["plots", "species", "CPU/rand (ms)", "tight ops", "cycles/tight op", "ns/tight op",
                          "code ops", "cycles/code op", "branch ops", "visits", "channels"], ops_rows)
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("\t".join(header) + "\n")
            for row in rows:
                f.write("\t".join(str(c) for c in row) + "\n")
    return 0  # a stopped or failed row is a figure of the table, not an error of the benchmark


def want_ops(args, plots, species):
    if args.ops == "never":
        return False
    return args.ops == "always" or plots * species <= 20_000_000


def ops_row(size, per, ghz, args):
    data = size.data
    if args.phylogeny == "tree":
        tree = op_count.from_coalescent(data.tree)
    else:
        tree = op_count.from_classification(data.tree)
    n_intervals = len(gen.divergence_limits(args.divergence_intervals)) if args.divergence_intervals else 2
    c = op_count.counts(tree, data.plots, n_intervals)

    def cycles(ops):
        return "%.2f" % (per * ghz * 1e9 / ops) if ghz and ops else "-"

    def mega(ops):
        return "%.2fM" % (ops / 1e6)

    return [size.ns.plots, size.ns.species, "%.2f" % (1000 * per), mega(c["tight"]), cycles(c["tight"]),
            "%.2f" % (per * 1e9 / c["tight"]), mega(c["code"]), cycles(c["code"]), mega(c["branch"]),
            mega(c["visits"]), c["channels"]]


def print_table(out, header, rows):
    cells = [[str(c) for c in header]] + [[str(c) for c in row] for row in rows]
    widths = [max(len(r[i]) for r in cells) for i in range(len(header))]
    for r in cells:
        out.write("  ".join(c.rjust(widths[i]) for i, c in enumerate(r)).rstrip() + "\n")
    out.flush()


def bound(args):
    size = Size(args, args.plots, args.species)
    size.prepare()
    args.max_gb = args.max_mb / 1024.0
    run = size.run("partition")
    print("%d plots x %d species (%s): CPU %.2f s, wall %.2f s, peak %s MB, bound %d MB: %s" %
          (args.plots, args.species, args.phylogeny, run.cpu, run.wall, fmt_mb(run.peak_kb), args.max_mb,
           run.status))
    if not run.ok:
        return 1
    if run.peak_kb > args.max_mb * 1024:
        print("FAIL: peak memory %s MB is over the bound of %d MB" % (fmt_mb(run.peak_kb), args.max_mb))
        return 1
    return 0


def common_arguments(p):
    p.add_argument("--program", default=None, help="the program (default build-bench/quorvel, else build/quorvel)")
    p.add_argument("--work", default=os.path.join(ROOT, "build-bench", "growth-data"),
                   help="folder of the generated data sets (default build-bench/growth-data)")
    p.add_argument("--per-plot", type=int, default=60, help="mean species per plot (default 60)")
    p.add_argument("--seed", type=int, default=1, help="seed of the data (default 1)")
    p.add_argument("--zero-branches", type=int, default=0, help="zero-length internal branches in the tree")
    p.add_argument("--zero-tip-branches", type=int, default=0,
                   help="cherries with zero-length tip branches (two species at divergence 0)")
    p.add_argument("--divergence-intervals", type=int, default=0,
                   help="K equal divergence intervals (default none: the program's two)")
    p.add_argument("--format", choices=("matrix", "triplets"), default="matrix")
    p.add_argument("--phylogeny", choices=("tree", "taxonomy"), default="tree",
                   help="ultrametric tree or the classification variant")
    p.add_argument("--threads", type=int, default=1, help="THREADS of the runs (default 1)")
    p.add_argument("--random-seed", type=int, default=12345, help="RANDOM SEED of the runs")
    p.add_argument("--max-seconds", type=int, default=600, help="stop a run after this wall time (default 600)")
    p.add_argument("--repeat", type=int, default=1,
                   help="run each command this many times and keep the median CPU (default 1)")


def main(argv):
    if argv and argv[0] == "bound":
        p = argparse.ArgumentParser(prog="run_growth.py bound",
                                    description="fail when the partition alone exceeds a peak memory")
        common_arguments(p)
        p.add_argument("--plots", type=int, default=400)
        p.add_argument("--species", type=int, default=20000)
        p.add_argument("--max-mb", type=int, required=True, help="bound on the peak resident memory, MB")
        args = p.parse_args(argv[1:])
        action = bound
    else:
        p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
        common_arguments(p)
        p.add_argument("--grid", default="default",
                       help="default, issue, full, or sizes as PLOTSxSPECIES,... (default: default = %s)" %
                       GRIDS["default"])
        p.add_argument("--randomizations", default="auto",
                       help="N of run (b): a number, auto (about --budget CPU seconds), or 0 for none")
        p.add_argument("--budget", type=float, default=20.0, help="CPU seconds of run (b) under auto (default 20)")
        p.add_argument("--max-gb", type=float, default=12.0, help="stop a run over this resident memory (default 12)")
        p.add_argument("--ops", choices=("auto", "always", "never"), default="auto",
                       help="operation counts (auto: sizes up to 20 million plot-species cells)")
        p.add_argument("--clock-ghz", type=float, default=None, help="nominal clock for cycles per operation")
        p.add_argument("--tsv", default=None, help="also write the main table to this file")
        args = p.parse_args(argv)
        if args.randomizations not in ("auto",) and not args.randomizations.isdigit():
            p.error("--randomizations: a number, auto or 0")
        action = growth
    args.program = os.path.abspath(args.program or default_program())
    args.work = os.path.abspath(args.work)
    if not os.access(args.program, os.X_OK):
        sys.exit("run_growth: no program at %s (make bench-growth builds it)" % args.program)
    return action(args)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
