#!/usr/bin/env bash
# Installs what building and testing Quorvel needs and this machine lacks.
#
#   tools/setup-deps.sh [--dry-run] [--no-install] PURPOSE...
#
# PURPOSE is what the machine must be able to do:
#   example  build the program (a C++17 compiler, CMake 3.20 or later, make)
#   format   check and apply the code format (clang-format)
#   test     everything `make test` runs (the above, GoogleTest, GoogleMock,
#            Python 3, and rsvg-convert and headless Chromium, in which the
#            tests draw the figures and open the report page)
#   bench    the benchmarks (Google Benchmark)
#   fuzz     the fuzz targets (clang and its libFuzzer runtime)
#
# On Debian and Ubuntu the missing packages are installed with apt-get, through
# sudo when not root, after saying which; on other systems the script stops
# with the list of what to install. When nothing is missing it says nothing and
# takes a few milliseconds, so `make` calls it before every build.
#   --dry-run     say what would be installed and how; install nothing
#   --no-install  say what is missing and go on (a machine set up another way:
#                 GoogleTest in another prefix, no administrator rights)
# Headers are looked for in $SETUP_INCLUDE_DIRS (default: /usr/include
# /usr/local/include).
set -euo pipefail

dry_run=0
no_install=0
purposes=()
for argument in "$@"; do
  case "$argument" in
    --dry-run) dry_run=1 ;;
    --no-install) no_install=1 ;;
    example | format | test | bench | fuzz) purposes+=("$argument") ;;
    *)
      echo "usage: tools/setup-deps.sh [--dry-run] [--no-install] example|format|test|bench|fuzz..." >&2
      exit 64
      ;;
  esac
done
[ ${#purposes[@]} -eq 0 ] && purposes=(test)

include_dirs=${SETUP_INCLUDE_DIRS:-/usr/include /usr/local/include}

have() { command -v "$1" >/dev/null 2>&1; }
have_header() {
  local dir
  for dir in $include_dirs; do [ -f "$dir/$1" ] && return 0; done
  return 1
}
have_compiler() { have "${CXX:-c++}" || have g++ || have clang++; }
have_chromium() { have chromium || have chromium-browser; }
have_cmake() {
  have cmake || return 1
  local version major minor
  version=$(cmake --version 2>/dev/null | sed -n '1s/[^0-9]*\([0-9][0-9]*\)\.\([0-9][0-9]*\).*/\1 \2/p')
  read -r major minor <<<"${version:-0 0}"
  [ "$major" -gt 3 ] || { [ "$major" -eq 3 ] && [ "$minor" -ge 20 ]; }
}
# libFuzzer's runtime: older clang releases name it after the architecture,
# newer ones keep it in a per-target runtime folder.
have_fuzzer_runtime() {
  have clang++ || return 1
  local file
  file=$(clang++ -print-file-name="libclang_rt.fuzzer-$(uname -m).a" 2>/dev/null || true)
  [ -f "$file" ] && return 0
  file="$(clang++ -print-runtime-dir 2>/dev/null || true)/libclang_rt.fuzzer.a"
  [ -f "$file" ]
}

# What each purpose needs: purpose, check, Debian/Ubuntu packages, what to
# install elsewhere. The libFuzzer runtime's package is named after the clang
# release, known once clang is in.
requirements=(
  "example|have_compiler|g++|a C++17 compiler (g++ 8 or later, or clang++)"
  "example|have_cmake|cmake|CMake 3.20 or later"
  "example|have make|make|GNU make"
  "format|have clang-format|clang-format|clang-format"
  "test|have_header gtest/gtest.h|libgtest-dev|GoogleTest (headers and libraries)"
  "test|have_header gmock/gmock.h|libgmock-dev|GoogleMock (headers and libraries)"
  "test|have python3|python3|Python 3"
  "test|have rsvg-convert|librsvg2-bin|rsvg-convert (librsvg), in which the tests draw the figures"
  "test|have_chromium|chromium|Chromium, run headless, in which the tests draw the figures and open the report page"
  "bench|have_header benchmark/benchmark.h|libbenchmark-dev|Google Benchmark"
  "fuzz|have clang++|clang|clang (clang++)"
  "fuzz|have_fuzzer_runtime|@fuzzer-runtime|the libFuzzer runtime of clang"
)

# Purposes include what they build on.
wanted=" ${purposes[*]} "
case "$wanted" in *" test "*) wanted+="example format " ;; esac
case "$wanted" in *" bench "* | *" fuzz "*) wanted+="example " ;; esac

# Fills missing_packages (Debian/Ubuntu packages) and missing_required (what
# to install elsewhere).
find_missing() {
  missing_packages=()
  missing_required=()
  local entry purpose check package description
  for entry in "${requirements[@]}"; do
    IFS='|' read -r purpose check package description <<<"$entry"
    case "$wanted" in *" $purpose "*) ;; *) continue ;; esac
    $check && continue
    case " ${missing_packages[*]} " in *" $package "*) continue ;; esac
    missing_packages+=("$package")
    missing_required+=("$description")
  done
}

list() { for item in "$@"; do echo "  - $item"; done; }

# The runtime packages of the clang release that is (or will be) installed:
# recent releases have one of their own, older ones ship it with clang's
# common files.
fuzzer_runtime_packages() {
  local release="<clang release>"
  have clang++ && release=$(clang++ -dumpversion | cut -d. -f1)
  echo "libclang-rt-$release-dev libclang-common-$release-dev"
}

find_missing
[ ${#missing_required[@]} -eq 0 ] && exit 0

if [ "$no_install" -eq 1 ]; then
  echo "setup: missing, and not installed (installation turned off):"
  list "${missing_required[@]}"
  exit 0
fi

if ! have apt-get; then
  echo "Quorvel needs, for ${purposes[*]}, what this machine lacks. Install with your system's package manager:"
  list "${missing_required[@]}"
  echo "then run the same command again."
  exit 1
fi

# `make -j` may start two set-up steps at once: the second waits for the
# first, then finds what is still missing.
if [ "$dry_run" -eq 0 ] && have flock; then
  exec 9>"${TMPDIR:-/tmp}/quorvel-setup-deps-$(id -u).lock"
  flock 9
  find_missing
  [ ${#missing_required[@]} -eq 0 ] && exit 0
fi

regular=()
runtime=0
for package in "${missing_packages[@]}"; do
  if [ "$package" = @fuzzer-runtime ]; then runtime=1; else regular+=("$package"); fi
done
read -r runtime_package common_package <<<"$(fuzzer_runtime_packages)"
shown=("${regular[@]}")
[ "$runtime" -eq 1 ] && shown+=("$runtime_package")

sudo_prefix=()
if [ "$(id -u)" -ne 0 ]; then
  if have sudo || [ "$dry_run" -eq 1 ]; then
    sudo_prefix=(sudo)
  else
    echo "Quorvel needs these packages, which this machine lacks: ${shown[*]}"
    echo "There is no sudo here: as root, run"
    echo "  apt-get update && apt-get install ${shown[*]}"
    exit 1
  fi
fi
apt=("${sudo_prefix[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)

# Runs one apt-get command, or only shows it on a dry run.
run_apt() {
  if [ "$dry_run" -eq 1 ]; then
    echo "  ${apt[*]} $*"
  else
    "${apt[@]}" "$@"
  fi
}

echo "Quorvel needs, for ${purposes[*]}, these packages that this machine lacks: ${shown[*]}"
if [ "$dry_run" -eq 1 ]; then
  echo "Dry run: they would be installed with"
else
  echo "Installing them with apt-get${sudo_prefix:+ through sudo}:"
fi
# A failed update still leaves the lists of an earlier one to install from.
run_apt update -q || true
if [ ${#regular[@]} -gt 0 ]; then run_apt install -y -q "${regular[@]}" || true; fi
if [ "$runtime" -eq 1 ]; then
  if [ "$dry_run" -eq 1 ]; then
    run_apt install -y -q "$runtime_package"
    echo "  (or $common_package where the release has no $runtime_package)"
  elif ! have_fuzzer_runtime; then
    # Named after the clang release just installed.
    read -r runtime_package common_package <<<"$(fuzzer_runtime_packages)"
    run_apt install -y -q "$runtime_package" || run_apt install -y -q "$common_package" || true
  fi
fi
[ "$dry_run" -eq 1 ] && exit 0

find_missing
if [ ${#missing_required[@]} -gt 0 ]; then
  echo "setup: still missing after apt-get:"
  list "${missing_required[@]}"
  exit 1
fi
exit 0
