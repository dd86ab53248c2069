#!/usr/bin/env bash
# Writes the interpreted tree of a Newick tree, reads the rebuilt text back as
# the tree of a second run, and checks that both runs give the same
# divergences between species. Usage: tree_round_trip.sh BINARY TREE MATRIX|none RUN_DIR
# (without a matrix the species are the tips of the tree)
set -eu
binary=$1 tree=$2 matrix=$3 run_dir=$4
rm -rf "$run_dir" && mkdir -p "$run_dir" && cd "$run_dir"
cp "$tree" tree.txt
data=""
if [ "$matrix" != none ]; then
  cp "$matrix" matrix.txt
  data='SPECIES-PLOT MATRIX\tmatrix.txt\n'
fi
printf "$data"'ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\nWRITE PHYLOGENETIC TREE INTERPRETATION\tinterpretation.txt\nWRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\tfirst.txt\nMAIN RESULT FILE\tr1.txt\n' >first_run.txt
"$binary" first_run.txt </dev/null >console1.txt
grep -A1 '^Interpreted tree (without internal node names' interpretation.txt | tail -n 1 >rebuilt.txt
printf "$data"'ULTRAMETRIC PHYLOGENETIC TREE\trebuilt.txt\nWRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\tsecond.txt\nMAIN RESULT FILE\tr2.txt\n' >second_run.txt
"$binary" second_run.txt </dev/null >console2.txt
# Branch lengths are rebuilt with six decimals: divergences agree to about 1e-5.
# Pairs are matched by their names: the rebuilt text may list tips in another order.
awk -F'\t' '
  NF != 3 { next }
  { key = ($1 < $2) ? $1 SUBSEP $2 : $2 SUBSEP $1 }
  FNR == NR { first[key] = $3; next }
  { n++; d = $3 - first[key]; if (d < 0) d = -d
    if (!(key in first) || d > 1e-4 * ($3 > 1 ? $3 : 1)) { bad++; print } }
  END { printf "%d passed, %d failed\n", n - bad, bad; exit (bad > 0 || n == 0) }' first.txt second.txt
