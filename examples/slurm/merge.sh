#!/bin/bash
#SBATCH --job-name=quorvel-merge
#SBATCH --cpus-per-task=1
#SBATCH --output=%x-%j.out
# Add here the lines your cluster asks for, for example:
##SBATCH --account=my_project
##SBATCH --partition=normal
##SBATCH --time=1:00:00
#
# Merges the K slice files into the main result file, the results table and
# the figures that one run on one machine would have written. No randomization
# is evaluated again: one core is enough.
#
#   sbatch --dependency=afterok:<array job> merge.sh INSTRUCTION_FILE SLICE_FILE...
#
# submit.sh submits it for you. After rerunning a failed slice by hand, submit
# it the same way, e.g.:  sbatch merge.sh instr.txt results.txt.slice-*-of-8
# The program is $QUORVEL when set, otherwise quorvel on the PATH.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: sbatch merge.sh INSTRUCTION_FILE SLICE_FILE..." >&2
  exit 2
fi
instr=$1
shift
echo "merging $# slices of $instr on $(hostname)"
exec "${QUORVEL:-quorvel}" --merge "$instr" "$@" </dev/null
