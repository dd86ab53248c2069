#!/usr/bin/env bash
# Runs the libFuzzer targets of the readers.
#   run_fuzz.sh BUILD_DIR SECONDS [TARGET...]  fuzz each target for SECONDS
#   run_fuzz.sh BUILD_DIR replay [TARGET...]   run every input of each corpus once
# Each target starts from its committed corpus (tests/fuzz/corpus/<target>:
# hand-made seeds and every input that once found a fault) and from the
# shared data files listed below, copied into BUILD_DIR/corpus/<target>
# together with what earlier runs found. A crash, a sanitizer report, a leak,
# a hang over 10 s or more than 2 GB of memory is a finding: the input is
# kept in BUILD_DIR/artifacts/<target>/ and the script fails; copy the input
# into tests/fuzz/corpus/<target>/ once the fault is mended.
# FUZZ_SEED=n fixes libFuzzer's random seed, so that a run (CI's) explores the
# same inputs on every machine and a clean run here stays clean there.
set -u
build=$1 mode=$2
shift 2
# Absolute paths: the targets work in a folder of their own.
build="$(cd "$build" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
sets="$root/tests/data/sets"
e2e="$root/tests/data/e2e"

seeds() {
  case $1 in
    instruction_file) ls "$e2e"/*/instr.txt ;;
    species_plot_matrix) echo "$sets/dune/dune_matrix.txt $sets/dune/dune_presence.txt $sets/mite/mite_matrix.txt" ;;
    triplets) echo "$e2e/dune_convert/expected/dune_triplets.txt $e2e/mite_convert_back/mite_triplets.txt" ;;
    plot_list) echo "$sets/dune/dune_plots.txt $sets/mite/mite_plots.txt $sets/mite/mite_plots_topo.txt" ;;
    species_traits | species_se_traits) echo "$sets/carni70/carni70_traits.txt $sets/dune/dune_taxonomy.txt" ;;
    trait_distances | species_divergences) echo "$sets/dune/dune_divergences.txt" ;;
    newick) echo "$sets/dune/dune_tree.txt $sets/carni70/carni70_tree.txt $sets/lansing/lansing_tree.txt" ;;
    taxonomy) echo "$sets/dune/dune_taxonomy.txt" ;;
    interval_files)
      echo "$sets/dune/dune_divint.txt $sets/carni70/carni70_divint.txt $sets/mite/mite_distint.txt" \
        "$sets/lansing/lansing_regint.txt"
      ;;
    selection_tests) echo "$sets/lansing/lansing_seltests_sp.txt $sets/lansing/lansing_seltests_ind.txt" ;;
    individual_list) echo "$sets/lansing/lansing_trees.txt" ;;
  esac
}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for binary in "$build"/tests/fuzz/*_fuzz; do targets+=("$(basename "$binary" _fuzz)"); done
fi
[ ${#targets[@]} -gt 0 ] || { echo "No fuzz targets in $build/tests/fuzz" >&2; exit 1; }

failed=0
for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/${target}_fuzz"
  committed="$root/tests/fuzz/corpus/$target"
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  log="$build/logs/$target.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")" "$committed"
  for seed in $(seeds "$target"); do
    cp "$seed" "$work/$(basename "$(dirname "$seed")")_$(basename "$seed")" 2>/dev/null || true
  done
  options=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  if [ "$mode" = replay ]; then
    options+=(-runs=0)
  else
    options+=(-max_total_time="$mode" -max_len=16384)
    [ -n "${FUZZ_SEED:-}" ] && options+=(-seed="$FUZZ_SEED")
  fi
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$binary" "${options[@]}" "$work" "$committed" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    echo "fuzz $target: clean, ${runs:-?} executions"
  else
    echo "fuzz $target: FINDING (see $log and $artifacts/)"
    tail -n 30 "$log"
    failed=1
  fi
done
exit $failed
