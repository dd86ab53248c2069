#!/usr/bin/env bash
# Runs the bundled example (dune meadow data) in a scratch copy, so the
# example's own files are never touched, and shows where the results are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/examples/out"
rm -rf "$out" && mkdir -p "$out"
cp "$root"/examples/dune/* "$out"/
chmod u+w "$out"/*
"$root/build/quorvel" "$out/instr.txt" </dev/null
echo
echo "Example finished. Results are in $out:"
ls -l "$out" | grep -v -e instr.txt -e '^total' | sed 's/^/  /'
echo "The main result file is $out/results.txt (tab-separated; open it in a spreadsheet)."
