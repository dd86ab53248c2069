"""Operation counts of the clade-sum algorithm for one phylogeny randomization.

A randomization recomputes the partition with the species moved between tips.
With divergences that are ages of common ancestors, the sums of a pair of
plots (k, l) come from clade sums: X_k(n), the abundance of plot k under node
n, and P_k(n), its number of species there; species j of plot l then meets
the species of k whose common ancestor with j is node n through the sums of
n's other children (the "channels" of j). Counts are scalar multiply-adds (an
add counts as one) per randomization, n_k being the species of plot k and
depth(tip) the number of ancestors of a tip:

TIGHT, one operation per node the clade-sum algorithm must touch:
      sum_k sum_{j in k} (depth(tip_j) + 1)    climb only plot k's own tips
    + sum_k n_k                                each plot with itself
    + sum_{k<l} n_l                            each pair: the tips of l's
                                               species summed against k
  This is a floor: the channels (intervals, abundance and species-count sums)
  multiply the pair terms, and the finishing of a pair (divisions,
  statistics, distance classes) is not counted.

CODE, the multiply-adds of today's clade kernel (partition/clade_kernel.cpp):
  per plot, once for its within values and once more when it has partners:
      node pass      2 per branch, + 4 per branch below a node holding species
                     of the plot (prefix and suffix sums over the children)
      tip climbs     from the tip of EVERY species of the table: u adds per
                     ancestor whose other children hold species of the plot
                     (u = 4 with interval slots, 2 with value slots)
  + C * n_k for the plot with itself and C * n_l for every pair (k < l)
    (C channels: 4 R with interval slots, 2 x distinct divergences with value
     slots; R divergence intervals).

Reported beside them: VISITS, the ancestors the code's climbs pass through
(memory traffic, added to nothing when the sibling clades are empty), and
BRANCH, the count of the branch form
    a_k' D a_l = H A_k A_l - sum_b L_b X_k(b) X_l(b):
      sum_k sum_{j in k} (depth(tip_j) + 1) + sum_k |N_k| + sum_{k<l} |N_k & N_l|
  with N_k the nodes above species of plot k (tips included);
  sum_{k<l} |N_k & N_l| = sum_n c_n (c_n - 1) / 2, c_n the plots under node n.

All depend on which tip each species sits on: they are averaged over a few
random permutations of the sampled species among their tips, as the test
"PERMUTE SAMPLED SPECIES" draws them.
"""

import random


class CountTree:
    """Parent array over nodes 0..V-1 (tips 0..n_tips-1 are species 0..S-1),
    parent -1 for the root; zero-length branches are already collapsed."""

    def __init__(self, parent, age, n_tips):
        self.parent = parent
        self.age = age
        self.n_tips = n_tips
        self.children = [[] for _ in parent]
        for node, up in enumerate(parent):
            if up >= 0:
                self.children[up].append(node)
        self.depth = [0] * len(parent)
        order = [node for node, up in enumerate(parent) if up < 0]
        for node in order:
            for child in self.children[node]:
                self.depth[child] = self.depth[node] + 1
                order.append(child)
        self.tips_below = [0] * len(parent)
        for node in reversed(order):
            if node < n_tips:
                self.tips_below[node] = 1
            up = parent[node]
            if up >= 0:
                self.tips_below[up] += self.tips_below[node]
        self.branches = sum(len(c) for c in self.children)


def from_coalescent(tree):
    """The tree as the program keeps it: a node at its parent's age (a
    zero-length branch) is dissolved, its children hang from the parent."""

    def dissolved(node):
        up = tree.parent[node]
        return node >= tree.n_tips and up >= 0 and tree.age[node] == tree.age[up]

    alive = [n for n in range(len(tree.parent)) if not dissolved(n)]
    index = {n: i for i, n in enumerate(alive)}
    parent = []
    for n in alive:
        up = tree.parent[n]
        while up >= 0 and dissolved(up):
            up = tree.parent[up]
        parent.append(index[up] if up >= 0 else -1)
    return CountTree(parent, [tree.age[n] for n in alive], tree.n_tips)


def from_classification(tree):
    """The classification of the generator as a tree: species -> genus ->
    family -> order -> root, each taxon one node at its level's age."""
    parent = [-1] * tree.n_tips
    age = [0.0] * tree.n_tips
    below = list(range(tree.n_tips))  # node of each species at the level below
    for level_age, lineages in sorted(tree.cuts):
        taxon_of_tip = [0] * tree.n_tips
        for lineage in lineages:
            node = len(parent)
            parent.append(-1)
            age.append(level_age)
            stack = [lineage]
            while stack:
                n = stack.pop()
                if n < tree.n_tips:
                    taxon_of_tip[n] = node
                else:
                    stack.extend(tree.children[n])
        for s in range(tree.n_tips):
            parent[below[s]] = taxon_of_tip[s]
            below[s] = taxon_of_tip[s]
    root = len(parent)
    parent = [root if p < 0 else p for p in parent] + [-1]
    age.append(tree.age[tree.root])
    return CountTree(parent, age, tree.n_tips)


def counts(count_tree, plots, n_intervals, permutations=3, seed=1):
    """Mean counts per randomization: dict with 'tight', 'code', 'visits' and
    the parts. `plots`: per plot a list of (species, count)."""
    t = count_tree
    internal_ages = {t.age[n] for n in range(len(t.parent)) if t.children[n]}
    n_values = len(internal_ages | {0.0})
    value_slots = 2 * n_values < 4 * n_intervals and n_values < 65535
    channels = 2 * n_values if value_slots else 4 * n_intervals
    per_update = 2 if value_slots else 4
    n_plots = len(plots)
    richness = [len(row) for row in plots]
    present = sorted({s for row in plots for s, _ in row})
    all_depth = sum(t.depth[s] for s in range(t.n_tips))
    rng = random.Random(seed)
    totals = {}
    for _ in range(permutations):
        tip_of = list(range(t.n_tips))
        shuffled = list(present)
        rng.shuffle(shuffled)
        for s, tip in zip(present, shuffled):
            tip_of[s] = tip
        climb_own = 0
        nodes_own = 0
        plots_under = {}
        code = 0
        visits = 0
        for k, row in enumerate(plots):
            under = {}
            for s, _ in row:
                n = tip_of[s]
                while n >= 0:
                    under[n] = under.get(n, 0) + 1
                    climb_own += 1
                    n = t.parent[n]
            nodes_own += len(under)
            updates = 0
            suffix = 0
            for n, here in under.items():
                plots_under[n] = plots_under.get(n, 0) + 1
                kids = t.children[n]
                suffix += len(kids)
                for c in kids:
                    # Species j under c climb through n with species of the
                    # plot in n's other children: one channel update each.
                    if here > under.get(c, 0):
                        updates += t.tips_below[c]
            passes = 2 if k < n_plots - 1 else 1
            code += passes * (2 * t.branches + 4 * suffix + per_update * updates)
            visits += passes * all_depth
        shared = sum(c * (c - 1) // 2 for c in plots_under.values())
        pair_terms = sum(k * richness[k] for k in range(n_plots))  # plot l pairs with l-1 earlier plots
        code += channels * (sum(richness) + pair_terms)
        run = {
            "tight": climb_own + sum(richness) + pair_terms,
            "branch": climb_own + nodes_own + shared,
            "code": code,
            "visits": visits,
            "climb_own": climb_own,
            "shared_nodes": shared,
            "pair_terms": pair_terms,
        }
        for key, value in run.items():
            totals[key] = totals.get(key, 0) + value
    result = {key: value / permutations for key, value in totals.items()}
    result["channels"] = channels
    result["value_slots"] = value_slots
    return result
