#!/usr/bin/env bash
# Runs the load tests (ctest label "load") of a configured build folder: builds them if needed,
# runs them one after the other, and prints how long each took. They are long, so the test
# presets (scripts/test, `ctest --preset NAME`) leave them out.
#
# Usage: tests/load/run_load_tests.sh BUILD_DIR [lock-tp|record-hour|all] [-- ARGS...]
#   lock-tp       load_lock_tp: 10,000 "Lock TP" cycles on the main window (monitor and recording
#                 running); build it with ThreadSanitizer (build-tsan) to check for races
#   record-hour   load_record_hour: one hour of a 100 Mbit/s stream recorded into a pipe and
#                 compared with the generator's own output (run it in an optimised build)
#   all           both (default)
#   ARGS          passed to the test program instead of ctest running it: --cycles=N for
#                 lock-tp, --seconds=N for record-hour (one test only)
set -euo pipefail

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}" >&2
  exit 2
}

[[ $# -ge 1 && $1 != -h && $1 != --help ]] || usage
build=$(realpath -m "$1")
which=${2:-all}
shift $(($# < 2 ? $# : 2))
program_args=()
if [[ $# -gt 0 ]]; then
  [[ $1 == -- ]] || usage
  shift
  program_args=("$@")
fi
[[ -f "$build/CMakeCache.txt" ]] || { echo "[load] error: $build is not a configured build folder" >&2; exit 2; }

case "$which" in
  lock-tp) tests=(load_lock_tp) ;;
  record-hour) tests=(load_record_hour) ;;
  all) tests=(load_lock_tp load_record_hour) ;;
  *) usage ;;
esac
if [[ ${#program_args[@]} -gt 0 && ${#tests[@]} -ne 1 ]]; then
  echo "[load] error: program arguments need one test (lock-tp or record-hour)" >&2
  exit 2
fi

cmake --build "$build" --target "${tests[@]}"

for test in "${tests[@]}"; do
  started=$(date +%s)
  if [[ ${#program_args[@]} -gt 0 ]]; then
    (cd "$build/tests" && QT_QPA_PLATFORM=offscreen "./$test" "${program_args[@]}")
  else
    ctest --test-dir "$build" -L load -R "^${test}\$" --output-on-failure --verbose --no-tests=error
  fi
  elapsed=$(($(date +%s) - started))
  printf '[load] %s passed in %dm%02ds\n' "$test" $((elapsed / 60)) $((elapsed % 60))
done
