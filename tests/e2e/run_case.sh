#!/usr/bin/env bash
# Runs one end-to-end case: run_case.sh BINARY CASE_DIR RUN_DIR
#   CASE_DIR/args             command-line arguments (default: instr.txt)
#   CASE_DIR/stdin            console input (default: none, standard input closed)
#   CASE_DIR/status           expected exit status (default: 0)
#   CASE_DIR/data_sets        names of shared data sets (tests/data/sets/<name>)
#                             whose files are copied in first, so that cases
#                             share one copy of each data set
#   CASE_DIR/command          a bash script run instead of the program (which it
#                             finds in $QUORVEL, and the helpers of tests/e2e in
#                             $QUORVEL_E2E), for cases of several runs, limits
#                             or signals; its output is then console.txt
#   CASE_DIR/expected/<file>  reviewed expected output; console.txt is the console
# Every other file of CASE_DIR is an input, copied to a scratch RUN_DIR first.
# Time stamps and clock seeds are masked before comparing.
set -u
binary=$1 case_dir=$(cd "$2" && pwd) run_dir=$3
e2e_dir=$(cd "$(dirname "$0")" && pwd)
rm -rf "$run_dir" && mkdir -p "$run_dir"
sets_dir="$(cd "$(dirname "$0")/../data/sets" && pwd)"
if [ -f "$case_dir/data_sets" ]; then
  for set in $(cat "$case_dir/data_sets"); do cp "$sets_dir/$set"/* "$run_dir/"; done
fi
(cd "$case_dir" && find . -path ./expected -prune -o -type f ! -name args ! -name stdin ! -name status ! -name data_sets ! -name command -print |
  while read -r f; do mkdir -p "$run_dir/$(dirname "$f")"; cp "$f" "$run_dir/$f"; done)
args=instr.txt
[ -f "$case_dir/args" ] && args=$(cat "$case_dir/args")
expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(cat "$case_dir/status")
input=/dev/null
[ -f "$case_dir/stdin" ] && input="$case_dir/stdin"

cd "$run_dir"
if [ -f "$case_dir/command" ]; then
  QUORVEL=$binary QUORVEL_E2E=$e2e_dir timeout 120 bash "$case_dir/command" <"$input" >console.txt 2>stderr.txt
else
  # shellcheck disable=SC2086
  timeout 120 "$binary" $args <"$input" >console.txt 2>stderr.txt
fi
status=$?
failed=0
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  cat stderr.txt
  failed=1
fi
mask() {
  sed -E -e 's/^(Analyses finished at ).*/\1<time>/' -e 's/(Current local time and date: ).*/\1<time>/' \
    -e "s/(Random seed: |RANDOM SEED : )-?[0-9]+\$/\\1<seed>/" "$1"
}
if [ -d "$case_dir/expected" ]; then
  while read -r name; do
    expected="$case_dir/expected/$name"
    if [ ! -f "$name" ]; then
      echo "missing output file $name"
      failed=1
      continue
    fi
    if ! diff -u <(mask "$expected") <(mask "$name") >"$name.diff"; then
      echo "output $name differs from the expected file:"
      head -n 60 "$name.diff"
      failed=1
    fi
  done < <(cd "$case_dir/expected" && find . -type f | sed 's|^\./||' | sort)
fi
exit $failed
