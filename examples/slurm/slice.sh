#!/bin/bash
#SBATCH --job-name=quorvel-slice
#SBATCH --array=1-8
#SBATCH --cpus-per-task=1
#SBATCH --output=%x-%A_%a.out
# Add here the lines your cluster asks for, for example:
##SBATCH --account=my_project
##SBATCH --partition=normal
##SBATCH --time=12:00:00
#
# One task of a job array: task k of K evaluates the randomizations i with
# i mod K = k - 1 and writes the slice file <main result file>.slice-k-of-K
# beside the instruction file. submit.sh submits this array and the merge.
#
#   sbatch --array=1-K slice.sh [INSTRUCTION_FILE [K]]
#
# K is the number of tasks of the array unless given: give it when rerunning
# one failed task alone, e.g. task 3 of 8:  sbatch --array=3 slice.sh instr.txt 8
# The program is $QUORVEL when set (sbatch passes your environment to the
# job), otherwise quorvel on the PATH.
set -euo pipefail

instr=${1:-instr.txt}
if [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
  echo "slice.sh: not an array task: submit it with sbatch --array=1-K" >&2
  exit 2
fi
k=$SLURM_ARRAY_TASK_ID
K=${2:-$SLURM_ARRAY_TASK_COUNT}
if [ "$k" -lt 1 ] || [ "$k" -gt "$K" ]; then
  echo "slice.sh: task $k is not one of the slices 1 to $K" >&2
  exit 2
fi

# Cores: Slurm gives this task SLURM_CPUS_PER_TASK cores (--cpus-per-task; one
# when none is asked for, and then the variable is unset). The variable is
# exported with that number: a slice whose instruction file has no THREADS
# line takes its threads from it, so it uses exactly the cores given. Where a
# THREADS line stands, keep it equal to --cpus-per-task (this task says so when
# it differs). The instruction file is never rewritten here: every slice and the
# merge must read the very same file, whose checksum each slice carries.
export SLURM_CPUS_PER_TASK=${SLURM_CPUS_PER_TASK:-1}
threads=$(awk '/^THREADS/ { n = $2 } END { print n }' "$instr")
if [ -n "$threads" ] && [ "$threads" != "$SLURM_CPUS_PER_TASK" ]; then
  echo "slice.sh: note: $instr asks for THREADS $threads, Slurm gave this task $SLURM_CPUS_PER_TASK cores" >&2
fi

echo "slice $k of $K on $(hostname) (cores: $SLURM_CPUS_PER_TASK), job ${SLURM_ARRAY_JOB_ID}_$k"
exec "${QUORVEL:-quorvel}" --slice "$k/$K" "$instr" </dev/null
