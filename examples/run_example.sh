#!/usr/bin/env bash
# Runs the bundled examples, each in a scratch folder examples/out/<name> made
# of its data set (tests/data/sets/<name>) and its instruction file, so that
# the example files are never touched; then shows where the results are.
# run_example.sh [name...]   (default: every example)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
names=("$@")
[ ${#names[@]} -eq 0 ] && names=(dune mite carni70 lansing doubs)
failed=0
for name in "${names[@]}"; do
  out="$root/examples/out/$name"
  rm -rf "$out" && mkdir -p "$out"
  cp "$root/tests/data/sets/$name"/* "$out"/
  cp "$root/examples/$name/instr.txt" "$out"/
  chmod u+w "$out"/*
  echo "=== $name: build/quorvel examples/out/$name/instr.txt"
  start=$(date +%s)
  if "$root/build/quorvel" "$out/instr.txt" </dev/null >"$out/console.txt" 2>&1; then
    echo "    finished in $(($(date +%s) - start)) s; console output in examples/out/$name/console.txt"
    echo "    main result file:  examples/out/$name/results.txt"
    [ -f "$out/results_table.tsv" ] && echo "    results table:     examples/out/$name/results_table.tsv"
    [ -d "$out/figures" ] && echo "    figures:           examples/out/$name/figures/ ($(ls "$out/figures" | grep -v '^index.html$' | tr '\n' ' '))"
    [ -f "$out/figures/index.html" ] && echo "    report page:       examples/out/$name/figures/index.html"
  else
    status=$?
    echo "    stopped with exit status $status; the end of its console output:"
    tail -n 5 "$out/console.txt" | sed 's/^/      /'
    failed=1
  fi
done
echo
echo "Open the .tsv files in a spreadsheet, R (read.delim) or pandas (read_csv(sep='\t')),"
echo "and the report page figures/index.html (or the .svg figures) in a web browser. The user guide"
echo "is docs/guide.md."
exit $failed
