#!/usr/bin/env bash
# Fails when a run of the partition alone, with an ultrametric tree, needs
# more peak memory than a bound: the guard that a tree run keeps no
# species x species table. Meant for ctest, for example
#   add_test(NAME growth_memory_bound COMMAND bash bench/growth/check_memory_bound.sh
#            --program $<TARGET_FILE:quorvel> --plots 400 --species 20000 --max-mb 1024)
# Every argument goes to `run_growth.py bound` (see --help); the defaults are
# 400 plots x 20,000 species and a bound of 1,024 MB. The data set is
# generated on the first run (a few seconds) under build-bench/growth-data,
# or --work FOLDER. Exit 0 within the bound, 1 over it or when the run does
# not finish.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
args=("$@")
case " ${args[*]-} " in *" --max-mb "*) ;; *) args+=(--max-mb 1024) ;; esac
exec python3 "$here/run_growth.py" bound "${args[@]}"
