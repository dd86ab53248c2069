#!/usr/bin/env bash
# Submits the randomizations of one analysis as K slices (a job array) and the
# merge that writes the results once every slice has ended well.
#
#   submit.sh [K [INSTRUCTION_FILE]]      (defaults: K = 8, instr.txt)
#
# Run it from the folder where the jobs should start (usually the folder of the
# instruction file): the jobs run there and write their console output there
# (quorvel-slice-<job>_<k>.out, quorvel-merge-<job>.out). The slice files and
# the results are written beside the instruction file. The program is $QUORVEL
# when set, otherwise quorvel on the PATH (of the compute nodes).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
K=${1:-8}
instr=${2:-instr.txt}

if ! [[ $K =~ ^[1-9][0-9]*$ ]]; then
  echo "submit.sh: K must be a whole number of slices, 1 or more (not \"$K\")" >&2
  exit 2
fi
if [ ! -f "$instr" ]; then
  echo "submit.sh: no instruction file \"$instr\" here ($(pwd))" >&2
  exit 2
fi
# The slices are named after the main result file; the last "MAIN RESULT FILE"
# (or "ADD TO MAIN RESULT FILE") line names it, as in a run.
main=$(awk '/^(ADD TO )?MAIN RESULT FILE/ { sub(/\r$/, ""); sub(/^(ADD TO )?MAIN RESULT FILE[ \t]*/, ""); n = $1 } END { print n }' "$instr")
if [ -z "$main" ]; then
  echo "submit.sh: $instr names no main result file: add a line \"MAIN RESULT FILE<tab>results.txt\"" >&2
  exit 2
fi
folder=$(cd "$(dirname "$instr")" && pwd)
[[ $main == /* ]] || main=$folder/$main
slices=()
for ((k = 1; k <= K; k++)); do slices+=("$main.slice-$k-of-$K"); done

array=$(sbatch --parsable --array="1-$K" "$here/slice.sh" "$instr" "$K")
array=${array%%;*}
# A slice that fails makes the merge impossible: Slurm then cancels it instead
# of keeping it pending for ever. Rerun the failed slice, then submit merge.sh.
merge=$(sbatch --parsable --dependency="afterok:$array" --kill-on-invalid-dep=yes "$here/merge.sh" "$instr" "${slices[@]}")
merge=${merge%%;*}
echo "slices: array job $array (tasks 1-$K)"
echo "merge:  job $merge (after every slice of job $array has ended well)"
