#!/usr/bin/env bash
# Slices of the randomizations made one after the other and merged give the
# results of the plain run, file for file, the time stamps aside.
#
#   slices_merge.sh INSTRUCTION_FILE K...
#
# Run by an e2e case's command in a folder holding the instruction file and
# its data ($QUORVEL is the program). The plain run is made in plain/; for
# each K, the K slices, then their merge (the slice files given in reverse
# order), in K<K>/. Prints one line per step; the exit status is 1 when a
# run fails or a merged file differs from the plain run's.
set -u
instr=$1
shift
mapfile -t inputs < <(ls -A | grep -v -x -e console.txt -e stderr.txt)
failed=0

files() { (cd "$1" && find . -type f | sed 's|^\./||' | sort); }
fresh() {
  mkdir "$1"
  cp -r "${inputs[@]}" "$1"/
  files "$1" >"$1.inputs"
}
# Files of folder $1 that were not among its inputs.
written() { comm -13 "$1.inputs" <(files "$1"); }
mask() { sed -E -e 's/^(Analyses finished at ).*/\1<time>/' -e 's/(Current local time and date: ).*/\1<time>/' "$1"; }
run() { # folder console arguments...
  local folder=$1 console=$2 status
  shift 2
  (cd "$folder" && "$QUORVEL" "$@" </dev/null >"../$console" 2>&1)
  status=$?
  [ $status = 0 ] || failed=1
  return $status
}

fresh plain
run plain plain.console "$instr"
echo "plain run: status $?"
mapfile -t outputs < <(written plain)
echo "plain run wrote: ${outputs[*]}"

for K in "$@"; do
  fresh "K$K"
  statuses=""
  for ((k = 1; k <= K; k++)); do
    run "K$K" "K$K-slice-$k.console" --slice "$k/$K" "$instr"
    statuses="$statuses $?"
  done
  echo "K = $K: slice statuses$statuses; the slices wrote: $(written "K$K" | tr '\n' ' ')"
  mapfile -t slices < <(written "K$K" | sort -r)
  run "K$K" "K$K-merge.console" --merge "$instr" "${slices[@]}"
  echo "K = $K: merge status $?"
  same=0
  for output in "${outputs[@]}"; do
    if [ ! -f "K$K/$output" ]; then
      echo "K = $K: the merge did not write $output"
      failed=1
    elif ! diff -q <(mask "plain/$output") <(mask "K$K/$output") >/dev/null; then
      echo "K = $K: $output differs from the plain run's:"
      diff <(mask "plain/$output") <(mask "K$K/$output") | head -n 20
      failed=1
    else
      same=$((same + 1))
    fi
  done
  echo "K = $K: $same of ${#outputs[@]} files identical to the plain run's"
  # Besides the results of the whole run, the merge writes nothing.
  extra=$(comm -13 <(printf '%s\n' "${outputs[@]}" "${slices[@]}" | sort) <(written "K$K"))
  [ -z "$extra" ] || echo "K = $K: the merge also wrote: $extra"
done

# The console of a merge: the plain run's, with one line saying where the
# randomizations come from.
last=${*: -1}
echo "console of the merge (K = $last) beside the plain run's:"
diff <(mask plain.console) <(mask "K$last-merge.console")
exit $failed
