#!/usr/bin/env bash
# End to end on a real Slurm: starts a single-node cluster, submits
# examples/slurm/submit.sh with K = 4 slices on a copy of a bundled example,
# waits for the array and the merge, checks that the merged results equal a
# plain run's (time stamps aside), and stops the cluster, also on failure.
#
#   tests/cluster/slurm_e2e.sh [EXAMPLE]        (default: mite)
#
# QUORVEL_PROGRAM    the program (default: build/quorvel)
# QUORVEL_SLURM_JOB_LIMIT  seconds the jobs may take (default 600)
# The cluster's own settings are those of slurm_cluster.sh.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
example=${1:-mite}
K=4
job_limit=${QUORVEL_SLURM_JOB_LIMIT:-600}
program=${QUORVEL_PROGRAM:-$root/build/quorvel}
cluster=$root/tests/cluster/slurm_cluster.sh

fail() {
  echo "slurm_e2e: FAILED: $*" >&2
  exit 1
}
[ -x "$program" ] || fail "no program $program: build it first (make build)"
[ -f "$root/examples/$example/instr.txt" ] || fail "no example $example"
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

work=$(mktemp -d)
chmod 755 "$work"
cluster_started=0
finish() {
  local status=$?
  [ $cluster_started = 1 ] && { bash "$cluster" stop || status=1; }
  rm -rf "$work"
  exit $status
}
trap finish EXIT
trap 'exit 130' INT TERM

elapsed() { echo $(($(date +%s%N) / 1000000 - $1)); }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
seconds() { printf '%d.%01d s' $(($1 / 1000)) $(($1 % 1000 / 100)); }

# Two copies of the example: one for the plain run, one for the cluster.
for copy in plain cluster; do
  mkdir -p "$work/$copy"
  cp "$root/tests/data/sets/$example"/* "$root/examples/$example/instr.txt" "$work/$copy"/
  chmod -R u+w "$work/$copy"
done
touch "$work/plain/.before"
sleep 0.01
(cd "$work/plain" && "$program" instr.txt </dev/null >"$work/plain.console" 2>&1) ||
  { tail -n 20 "$work/plain.console" >&2; fail "the plain run of $example failed"; }
mapfile -t outputs < <(cd "$work/plain" && find . -type f -newer .before ! -name '.*' | sed 's|^\./||' | sort)
[ ${#outputs[@]} -gt 0 ] || fail "the plain run of $example wrote nothing"

start=$(now_ms)
cluster_started=1
bash "$cluster" start || fail "the Slurm cluster did not start (see above)"
start_ms=$(elapsed "$start")
eval "$(bash "$cluster" env)"

export QUORVEL=$program

jobs_start=$(now_ms)
submitted=$(cd "$work/cluster" && bash "$root/examples/slurm/submit.sh" "$K" instr.txt) ||
  fail "submit.sh failed: $submitted"
echo "$submitted"
array=$(echo "$submitted" | sed -n 's/^slices: array job \([0-9]*\).*/\1/p')
merge=$(echo "$submitted" | sed -n 's/^merge: *job \([0-9]*\).*/\1/p')
[ -n "$array" ] && [ -n "$merge" ] || fail "submit.sh printed no job ids"

# One line per job (each array task is one): JobState, ExitCode, times.
job_records() { scontrol show job -o "$array" 2>/dev/null && scontrol show job -o "$merge" 2>/dev/null; }
field() { sed -En "s/(^|.* )$1=([^ ]*).*/\2/p"; }
show_job_logs() {
  local log
  for log in "$work/cluster"/quorvel-*.out; do
    [ -f "$log" ] || continue
    echo "--- $(basename "$log")"
    tail -n 15 "$log"
  done
}
terminal='^(COMPLETED|FAILED|CANCELLED|TIMEOUT|NODE_FAIL|OUT_OF_MEMORY|PREEMPTED|BOOT_FAIL|DEADLINE)$'
while :; do
  records=$(job_records)
  states=$(echo "$records" | field JobState)
  pending=$(echo "$states" | grep -Evc "$terminal")
  [ "$pending" -eq 0 ] && [ "$(echo "$records" | grep -c 'ArrayTaskId=')" -eq $K ] && break
  if [ $(($(now_ms) - jobs_start)) -gt $((job_limit * 1000)) ]; then
    squeue >&2
    show_job_logs >&2
    fail "the jobs did not end within $job_limit s"
  fi
  sleep 1
done
jobs_ms=$(elapsed "$jobs_start")
echo "$records" | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^(JobId|ArrayTaskId|JobState|ExitCode|StartTime|EndTime)=/) printf "%s ", $i; print "" }'

failed=$(echo "$records" | grep -v ' JobState=COMPLETED ' |
  awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^(JobId|ArrayTaskId|JobState|ExitCode)=/) printf "%s ", $i; print "" }')
if [ -n "$failed" ]; then
  show_job_logs >&2
  fail "jobs that did not complete:"$'\n'"$failed"
fi
tasks=$(echo "$records" | field ArrayTaskId | sort -n | tr '\n' ' ')
[ "$tasks" = "1 2 3 4 " ] || fail "array tasks $tasks, expected 1 2 3 4"
# The merge may only start once every slice has ended.
last_slice_end=$(echo "$records" | grep 'ArrayTaskId=' | field EndTime | sort | tail -n 1)
merge_start=$(echo "$records" | grep -v 'ArrayTaskId=' | field StartTime)
[[ ! $merge_start < $last_slice_end ]] || fail "the merge started at $merge_start, before the last slice ended ($last_slice_end)"

# Each task wrote its slice file, and the merge took its randomizations from
# them (a merge evaluates none).
main=$(awk '/^MAIN RESULT FILE/ { n = $4 } END { print n }' "$work/cluster/instr.txt")
for ((k = 1; k <= K; k++)); do
  [ -s "$work/cluster/$main.slice-$k-of-$K" ] || fail "no slice file $main.slice-$k-of-$K"
done
grep -q "^Randomizations from $K slice files: none is evaluated again" "$work/cluster"/quorvel-merge-*.out ||
  { show_job_logs >&2; fail "the merge job did not merge $K slice files"; }

# Same results as the plain run, the time stamps aside.
mask() { grep -v -e 'Analyses finished at' -e 'Current local time' "$1"; }
differ=0
for output in "${outputs[@]}"; do
  if [ ! -f "$work/cluster/$output" ]; then
    echo "missing after the merge: $output" >&2
    differ=1
  elif ! diff -u <(mask "$work/plain/$output") <(mask "$work/cluster/$output") >"$work/diff" 2>&1; then
    echo "differs from the plain run: $output" >&2
    head -n 30 "$work/diff" >&2
    differ=1
  fi
done
[ $differ = 0 ] || fail "the merged results differ from the plain run's"
echo "slurm_e2e: the merged ${outputs[*]} equal the plain run's"

stop_start=$(now_ms)
cluster_started=0
bash "$cluster" stop || fail "the cluster did not stop cleanly"
stop_ms=$(elapsed "$stop_start")
echo "slurm_e2e: passed ($example, K = $K): cluster start $(seconds "$start_ms"), jobs $(seconds "$jobs_ms")," \
  "stop $(seconds "$stop_ms")"
