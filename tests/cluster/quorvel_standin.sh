#!/usr/bin/env bash
# Stands in for the slice and merge commands of the program, to prove the
# cluster side (job array, dependency, files passed between jobs) before the
# program slices its randomizations itself. QUORVEL_STANDIN_PROGRAM is the
# real program.
#
#   quorvel_standin.sh --slice k/K INSTRUCTION_FILE
#       runs the whole analysis in a private copy of the instruction file's
#       folder and writes <main result file>.slice-k-of-K beside the
#       instruction file: a tar of what the run wrote, with a header
#       standin.txt naming k, K and the Slurm task that ran it.
#   quorvel_standin.sh --merge INSTRUCTION_FILE SLICE_FILE...
#       checks that the slices are the K slices of one array, each once, and
#       unpacks the outputs of slice 1 beside the instruction file.
set -euo pipefail
program=${QUORVEL_STANDIN_PROGRAM:?set QUORVEL_STANDIN_PROGRAM to the quorvel program}

standin_slice() {
  local spec=$1 instr=$2 k K folder main private status=0
  k=${spec%/*} K=${spec#*/}
  folder=$(cd "$(dirname "$instr")" && pwd)
  main=$(awk '/^MAIN RESULT FILE/ { n = $4 } END { print n }' "$instr")
  [ -n "$main" ] || { echo "stand-in: $instr names no main result file" >&2; exit 3; }
  private=$(mktemp -d "$folder/.standin-$k-of-$K.XXXXXX")
  find "$folder" -mindepth 1 -maxdepth 1 ! -name '.standin-*' ! -name '*.slice-*' ! -name 'quorvel-*.out' \
    -exec cp -a {} "$private"/ \;
  touch "$private/.before"
  "$program" "$private/$(basename "$instr")" </dev/null >"$private/.console" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    tail -n 20 "$private/.console" >&2
    rm -rf "$private"
    echo "stand-in: slice $k/$K: the run ended with status $status" >&2
    exit $status
  fi
  printf 'k=%s\nK=%s\narray_job=%s\ntask=%s\ncores=%s\n' "$k" "$K" "${SLURM_ARRAY_JOB_ID:-}" \
    "${SLURM_ARRAY_TASK_ID:-}" "${SLURM_CPUS_PER_TASK:-}" >"$private/standin.txt"
  (cd "$private" && find . -type f -newer .before ! -name '.*' -print0 | tar -cf "$folder/$main.slice-$k-of-$K" --null -T -)
  rm -rf "$private"
}

standin_merge() {
  local instr=$1 folder slice header first="" K="" seen=" " k
  shift
  folder=$(cd "$(dirname "$instr")" && pwd)
  for slice in "$@"; do
    [ -f "$slice" ] || { echo "stand-in: missing slice file $slice" >&2; exit 3; }
    header=$(tar -xOf "$slice" ./standin.txt) || { echo "stand-in: $slice is no slice file" >&2; exit 3; }
    echo "$slice: $(echo "$header" | tr '\n' ' ')"
    k=$(echo "$header" | sed -n 's/^k=//p')
    [ -z "$K" ] && K=$(echo "$header" | sed -n 's/^K=//p') && first=$slice
    [ "$(echo "$header" | sed -n 's/^K=//p')" = "$K" ] || { echo "stand-in: $slice is not of $K slices" >&2; exit 3; }
    [ "$k" -ge 1 ] && [ "$k" -le "$K" ] || { echo "stand-in: $slice is slice $k of $K" >&2; exit 3; }
    [[ $seen == *" $k "* ]] && { echo "stand-in: slice $k given twice" >&2; exit 3; }
    seen="$seen$k "
  done
  [ $# -eq "$K" ] || { echo "stand-in: $# slice files for $K slices" >&2; exit 3; }
  (cd "$folder" && tar -xf "$first" --exclude=./standin.txt)
}

case ${1:-} in
--slice) standin_slice "$2" "$3" ;;
--merge) shift && standin_merge "$@" ;;
*) exec "$program" "$@" ;;
esac
