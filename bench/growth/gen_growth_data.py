#!/usr/bin/env python3
"""Synthetic community data of any size, for the growth benchmark.

    gen_growth_data.py --plots 400 --species 300 OUTDIR

writes into OUTDIR (Python 3 standard library only; the same arguments give
the same files, byte for byte):

  matrix.txt         species x plots counts, about --per-plot species a plot
                     (or triplets.txt with --format triplets)
  tree.txt           ultrametric coalescent tree of the species (Newick)
  taxonomy.txt       the same species classified in genera, families, orders
  taxdiv.txt         "TAXONOMIC DIVERGENCES" of those levels
  plots.txt          plot list with x, y coordinates
  distint.txt        distance intervals
  divint.txt         divergence intervals (only with --divergence-intervals)
  instr_partition.txt           tree, partition alone
  instr_random.txt              tree, PHYLOGENY RANDOMIZATION TESTS 1 x N
  instr_taxonomy_partition.txt  classification, partition alone
  instr_taxonomy_random.txt     classification, 1 x N randomizations

The community: every species gets a regional abundance (lognormal weight);
each plot holds 0.8 to 1.2 times --per-plot species. The species are first
dealt out one by one to plots with room left, so that every species occurs
somewhere whenever the plots hold enough occurrences (plots x per-plot >=
species), then each plot is filled by draws weighted by regional abundance.
Counts are 1 + a geometric number whose mean grows with the weight.

The tree: Kingman's coalescent on the species (every pair of lineages merges
at the same rate), ages scaled so that the root is 100. Branch lengths are
written with ten decimals: near the tips of a large coalescent they are tiny,
and six decimals would round many of them to zero. --zero-branches K raises
K internal nodes to their parent's age (zero-length branches, as rounding and
polytomies produce in real files; the tree stays ultrametric);
--zero-tip-branches K lowers K cherries to age 0 (two species whose tip
branches were rounded to zero). The
classification cuts the coalescent when S/5, S/25 and S/125 lineages remain:
genera, families and orders, with those ages as divergences.

Streams are seeded from the seed and a purpose, so the tree does not change
when only the community parameters change, and vice versa.
"""

import argparse
import bisect
import math
import os
import random
import sys

ROOT_AGE = 100.0


class Tree:
    """Coalescent tree: nodes 0..S-1 are the tips (tip i is species i),
    S..2S-2 internal, the root last. parent[root] = -1."""

    def __init__(self, n_tips):
        self.n_tips = n_tips
        self.parent = []
        self.children = []
        self.age = []
        self.cuts = []  # (age, [lineage nodes]) for the classification levels

    @property
    def root(self):
        return len(self.parent) - 1


def coalescent_tree(n_tips, rng, cut_sizes=()):
    tree = Tree(n_tips)
    tree.parent = [-1] * n_tips
    tree.children = [[] for _ in range(n_tips)]
    tree.age = [0.0] * n_tips
    lineages = list(range(n_tips))
    wanted = sorted((c for c in set(cut_sizes) if 1 < c < n_tips), reverse=True)
    t = 0.0
    k = n_tips
    while k > 1:
        t += rng.expovariate(k * (k - 1) / 2.0)
        i = rng.randrange(k)
        j = rng.randrange(k - 1)
        if j >= i:
            j += 1
        a, b = lineages[i], lineages[j]
        node = len(tree.parent)
        tree.parent.append(-1)
        tree.children.append([a, b])
        tree.age.append(t)
        tree.parent[a] = node
        tree.parent[b] = node
        lineages[i] = node
        lineages[j] = lineages[k - 1]
        lineages.pop()
        k -= 1
        while wanted and k == wanted[0]:
            # The cut lies between this merge and the next one.
            tree.cuts.append((t, list(lineages)))
            wanted.pop(0)
    if n_tips == 1:
        tree.age = [0.0]
    scale = ROOT_AGE / t if t > 0 else 1.0
    tree.age = [a * scale for a in tree.age]
    tree.cuts = [(a * scale, nodes) for a, nodes in tree.cuts]
    return tree


def preorder(tree):
    order = [tree.root]
    for node in order:
        order.extend(tree.children[node])
    return order


def add_zero_branches(tree, count, rng):
    """Raises `count` internal nodes (not the root) to their parent's age."""
    internal = list(range(tree.n_tips, tree.root))
    chosen = set(rng.sample(internal, min(count, len(internal))))
    for node in preorder(tree):  # parents first: a chosen chain shares one age
        if node in chosen:
            tree.age[node] = tree.age[tree.parent[node]]


def add_zero_tip_branches(tree, count, rng):
    """Lowers `count` cherries (two tips and their parent) to age 0: two
    species written with zero-length branches, as rounding leaves them."""
    cherries = [n for n in range(tree.n_tips, tree.root) if all(c < tree.n_tips for c in tree.children[n])]
    for node in rng.sample(cherries, min(count, len(cherries))):
        tree.age[node] = 0.0


def tips_under(tree, node):
    tips, stack = [], [node]
    while stack:
        n = stack.pop()
        if n < tree.n_tips:
            tips.append(n)
        else:
            stack.extend(tree.children[n])
    return tips


def newick(tree, names):
    """Newick text, written without recursion (deep trees)."""
    out = []
    stack = [tree.root]
    root = tree.root
    while stack:
        item = stack.pop()
        if isinstance(item, str):
            out.append(item)
            continue
        node = item
        length = "" if node == root else ":%.10f" % (tree.age[tree.parent[node]] - tree.age[node])
        if node < tree.n_tips:
            out.append(names[node] + length)
            continue
        out.append("(")
        stack.append(")" + length)
        kids = tree.children[node]
        for idx in range(len(kids) - 1, -1, -1):
            stack.append(kids[idx])
            if idx > 0:
                stack.append(",")
    return "".join(out) + ";"


def community(n_plots, n_species, per_plot, rng):
    """Per plot, a list of (species, count) sorted by species."""
    weight = [rng.lognormvariate(0.0, 1.5) for _ in range(n_species)]
    cumulative = []
    total = 0.0
    for w in weight:
        total += w
        cumulative.append(total)
    low = max(1, int(round(0.8 * per_plot)))
    high = max(low, int(round(1.2 * per_plot)))
    size = [min(n_species, rng.randint(low, high)) for _ in range(n_plots)]
    members = [set() for _ in range(n_plots)]
    # Deal every species to a plot with room, while there is room.
    order = list(range(n_species))
    rng.shuffle(order)
    open_plots = [k for k in range(n_plots) if size[k] > 0]
    cursor = 0
    for s in order:
        if not open_plots:
            break
        cursor %= len(open_plots)
        k = open_plots[cursor]
        members[k].add(s)
        if len(members[k]) >= size[k]:
            open_plots.pop(cursor)
        else:
            cursor += 1
    # Fill up by regional abundance (rejection of repeats; plots nearly
    # full of the table's species finish by uniform draws).
    for k in range(n_plots):
        chosen = members[k]
        tries = 0
        while len(chosen) < size[k]:
            if tries < 50 * size[k]:
                s = bisect.bisect_right(cumulative, rng.random() * total)
                s = min(s, n_species - 1)
                tries += 1
            else:
                s = rng.randrange(n_species)
            chosen.add(s)
    mean_weight = total / n_species
    plots = []
    for k in range(n_plots):
        row = []
        for s in sorted(members[k]):
            # Geometric count, mean about 1 + 3 w / mean weight.
            mean = 3.0 * weight[s] / mean_weight
            p = 1.0 / (1.0 + mean)
            count = 1 + int(math.log(1.0 - rng.random()) / math.log(1.0 - p)) if p < 1.0 else 1
            row.append((s, count))
        plots.append(row)
    return plots


def width(n):
    return max(4, len(str(n)))


def species_names(n_species):
    w = width(n_species)
    return ["sp%0*d" % (w, s + 1) for s in range(n_species)]


def plot_names(n_plots):
    w = width(n_plots)
    return ["P%0*d" % (w, k + 1) for k in range(n_plots)]


class Dataset:
    def __init__(self, args):
        self.args = args
        self.n_plots = args.plots
        self.n_species = args.species
        tree_rng = random.Random("%d-tree-%d" % (args.seed, args.species))
        cuts = (args.species // 5, args.species // 25, args.species // 125)
        self.tree = coalescent_tree(args.species, tree_rng, cuts)
        if args.zero_branches:
            add_zero_branches(self.tree, args.zero_branches, random.Random("%d-zero" % args.seed))
        if args.zero_tip_branches:
            add_zero_tip_branches(self.tree, args.zero_tip_branches, random.Random("%d-zero-tip" % args.seed))
        data_rng = random.Random("%d-community-%d-%d-%s" % (args.seed, args.plots, args.species, args.per_plot))
        self.plots = community(args.plots, args.species, args.per_plot, data_rng)
        self.species = species_names(args.species)
        self.plot_names = plot_names(args.plots)
        pos_rng = random.Random("%d-positions-%d" % (args.seed, args.plots))
        # About 100 m between neighbours whatever the number of plots.
        self.side = 100.0 * math.sqrt(args.plots)
        self.xy = [(pos_rng.random() * self.side, pos_rng.random() * self.side) for _ in range(args.plots)]

    def summary(self):
        present = set()
        for row in self.plots:
            present.update(s for s, _ in row)
        richness = [len(row) for row in self.plots]
        return {
            "plots": self.n_plots,
            "species": self.n_species,
            "species_present": len(present),
            "mean_species_per_plot": sum(richness) / max(1, len(richness)),
            "tree_nodes": len(self.tree.parent),
        }


def write_matrix(path, data):
    n_plots = data.n_plots
    occurrences = [[] for _ in range(data.n_species)]
    for k, row in enumerate(data.plots):
        for s, count in row:
            occurrences[s].append((k, count))
    zeros = "\t0" * n_plots
    with open(path, "w", buffering=1 << 22) as f:
        f.write("Species\t" + "\t".join(data.plot_names) + "\n")
        for s in range(data.n_species):
            pieces = [data.species[s]]
            at = 0
            for k, count in occurrences[s]:  # plots in increasing order
                pieces.append(zeros[2 * at : 2 * k])
                pieces.append("\t%d" % count)
                at = k + 1
            pieces.append(zeros[2 * at :])
            pieces.append("\n")
            f.write("".join(pieces))


def write_triplets(path, data):
    with open(path, "w", buffering=1 << 22) as f:
        for k, row in enumerate(data.plots):
            name = data.plot_names[k]
            f.write("".join("%s\t%d\t%s\n" % (name, count, data.species[s]) for s, count in row))


def write_taxonomy(outdir, data):
    tree = data.tree
    cuts = sorted(tree.cuts)  # youngest (genera) first
    levels = ["Genus", "Family", "Order"][: len(cuts)]
    prefix = {"Genus": "G", "Family": "F", "Order": "O"}
    taxon = [[None] * data.n_species for _ in levels]
    for li, (_, lineages) in enumerate(cuts):
        w = width(len(lineages))
        for number, node in enumerate(sorted(lineages, key=lambda n: min(tips_under(tree, n)))):
            for tip in tips_under(tree, node):
                taxon[li][tip] = "%s%0*d" % (prefix[levels[li]], w, number + 1)
    with open(os.path.join(outdir, "taxonomy.txt"), "w") as f:
        header = ["Species"] + ["#%d %s" % (len(cuts[li][1]), levels[li]) for li in range(len(levels))]
        f.write("\t".join(header) + "\n")
        for s in range(data.n_species):
            f.write("\t".join([data.species[s]] + [taxon[li][s] for li in range(len(levels))]) + "\n")
    ages = ["%.6f" % age for age, _ in cuts] + ["%.6f" % ROOT_AGE]
    with open(os.path.join(outdir, "taxdiv.txt"), "w") as f:
        f.write("TAXONOMIC DIVERGENCES\t%d\n" % (len(levels) + 1))
        f.write("\t".join(["Species"] + levels) + "\n")
        f.write("\t".join(ages) + "\n")
    return len(levels) > 0


def distance_limits(side):
    # The last limit exceeds the diagonal of the square: every pair is in a class.
    return [side * f for f in (0.1, 0.25, 0.5, 0.75, 1.5)]


def divergence_limits(count):
    # 0 (same species), equal steps, and a last limit just above the root so
    # that no interval is appended for the largest divergence.
    return [0.0] + [ROOT_AGE * i / count for i in range(1, count)] + [ROOT_AGE * 1.001]


def instruction_text(data, phylogeny, randomizations, threads, seed, result):
    args = data.args
    lines = ["// Synthetic growth-benchmark data: %d plots x %d species, seed %d"
             % (data.n_plots, data.n_species, args.seed)]
    if args.format == "triplets":
        lines.append("PLOT-ABUNDANCE-SPECIES TRIPLET\ttriplets.txt")
    else:
        lines.append("SPECIES-PLOT MATRIX\tmatrix.txt")
    lines.append("PLOT LIST\tplots.txt")
    lines.append("DISTANCE INTERVALS\tdistint.txt")
    if phylogeny == "tree":
        lines.append("ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt")
    else:
        lines.append("SPECIES TAXONOMY\ttaxonomy.txt")
        lines.append("TAXONOMIC DIVERGENCES\ttaxdiv.txt")
    if args.divergence_intervals:
        lines.append("DIVERGENCE INTERVALS\tdivint.txt")
    if randomizations > 0:
        lines.append("PHYLOGENY RANDOMIZATION TESTS\t1\t%d" % randomizations)
        lines.append("1\tPERMUTE SAMPLED SPECIES")
        lines.append("RANDOM SEED\t%d" % seed)
    lines.append("THREADS\t%d" % threads)
    lines.append("MAIN RESULT FILE\t%s" % result)
    return "\n".join(lines) + "\n"


def write_instructions(outdir, data, randomizations, threads=1, seed=12345):
    """Writes the four instruction files; returns their paths by name."""
    paths = {}
    for phylogeny, stem in (("tree", "instr"), ("taxonomy", "instr_taxonomy")):
        for kind, n in (("partition", 0), ("random", randomizations)):
            name = "%s_%s.txt" % (stem, kind)
            result = "results_%s_%s.txt" % (phylogeny, kind)
            with open(os.path.join(outdir, name), "w") as f:
                f.write(instruction_text(data, phylogeny, n, threads, seed, result))
            paths[(phylogeny, kind)] = os.path.join(outdir, name)
    return paths


def write_dataset(outdir, data, randomizations=99, threads=1, seed=12345):
    os.makedirs(outdir, exist_ok=True)
    if data.args.format == "triplets":
        write_triplets(os.path.join(outdir, "triplets.txt"), data)
    else:
        write_matrix(os.path.join(outdir, "matrix.txt"), data)
    with open(os.path.join(outdir, "tree.txt"), "w") as f:
        f.write(newick(data.tree, data.species) + "\n")
    write_taxonomy(outdir, data)
    with open(os.path.join(outdir, "plots.txt"), "w") as f:
        f.write("Plot\tx\ty\n")
        for name, (x, y) in zip(data.plot_names, data.xy):
            f.write("%s\t%.1f\t%.1f\n" % (name, x, y))
    limits = distance_limits(data.side)
    with open(os.path.join(outdir, "distint.txt"), "w") as f:
        f.write("DISTANCE INTERVALS\t%d\n" % len(limits))
        f.write("\t".join("%.1f" % d for d in limits) + "\n")
    if data.args.divergence_intervals:
        limits = divergence_limits(data.args.divergence_intervals)
        with open(os.path.join(outdir, "divint.txt"), "w") as f:
            f.write("DIVERGENCE INTERVALS\t%d\n" % len(limits))
            f.write("\t".join("%.4f" % d for d in limits) + "\n")
    return write_instructions(outdir, data, randomizations, threads, seed)


def parser():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    add_data_arguments(p)
    p.add_argument("--randomizations", type=int, default=99, help="N of the randomization instruction files")
    p.add_argument("--threads", type=int, default=1, help="THREADS of the instruction files")
    p.add_argument("--random-seed", type=int, default=12345, help="RANDOM SEED of the instruction files")
    p.add_argument("outdir")
    return p


def add_data_arguments(p):
    p.add_argument("--plots", type=int, default=400)
    p.add_argument("--species", type=int, default=300)
    p.add_argument("--per-plot", type=int, default=60, help="mean species per plot (default 60)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--zero-branches", type=int, default=0, help="internal branches of length 0")
    p.add_argument("--zero-tip-branches", type=int, default=0,
                   help="cherries whose two tip branches have length 0 (species at divergence 0)")
    p.add_argument("--divergence-intervals", type=int, default=0,
                   help="K equal divergence intervals (default: none, the program's two)")
    p.add_argument("--format", choices=("matrix", "triplets"), default="matrix")


def check_arguments(args):
    if args.plots < 2 or args.species < 2 or args.per_plot < 1:
        sys.exit("gen_growth_data: need at least 2 plots, 2 species and 1 species a plot")


def main():
    args = parser().parse_args()
    check_arguments(args)
    data = Dataset(args)
    write_dataset(args.outdir, data, args.randomizations, args.threads, args.random_seed)
    info = data.summary()
    print("%(plots)d plots x %(species)d species: %(species_present)d species present, "
          "%(mean_species_per_plot).1f species a plot, %(tree_nodes)d tree nodes" % info)


if __name__ == "__main__":
    main()
