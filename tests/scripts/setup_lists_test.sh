#!/usr/bin/env bash
# scripts/setup --dry-run for each purpose: the program's list is a strict subset of the test
# list and leaves the test kit out, and the two builds switch tests and benchmarks off and back on.
#
# Usage: tests/scripts/setup_lists_test.sh
set -euo pipefail

setup=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/setup

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# dry_run ARGS...: the output of a dry run, which must succeed.
dry_run() {
  "$setup" --dry-run "$@" || fail "scripts/setup --dry-run $* exited with $?"
}

# packages OUTPUT PURPOSE: the list the dry run printed, one package a line, sorted.
packages() {
  sed -n "s/^\[setup\] packages for $2 ([0-9]*): //p" <<<"$1" | tr ' ' '\n' | sed '/^$/d' | sort
}

run_output=$(dry_run --for run)
test_output=$(dry_run --for test)
run_list=$(packages "$run_output" run)
test_list=$(packages "$test_output" test)
[[ -n $run_list ]] || fail "no run list in: $run_output"
[[ -n $test_list ]] || fail "no test list in: $test_output"

outside=$(comm -23 <(echo "$run_list") <(echo "$test_list"))
[[ -z $outside ]] || fail "in the run list but not in the test list: $outside"
(($(wc -l <<<"$run_list") < $(wc -l <<<"$test_list"))) || fail "the run list is not smaller"
for kit in libgtest-dev libgmock-dev clang-14 ffmpeg xdotool dpkg-dev; do
  ! grep -qx "$kit" <<<"$run_list" || fail "the run list installs the test kit's $kit"
done
for needed in qt6-base-dev libudev-dev libasound2-dev dtv-scan-tables fp-utils xvfb; do
  grep -qx "$needed" <<<"$run_list" || fail "the run list lacks $needed"
done
# The count in the line is the number of names after it.
count=$(sed -n 's/^\[setup\] packages for run (\([0-9]*\)).*/\1/p' <<<"$run_output")
[[ $count == $(wc -l <<<"$run_list") ]] || fail "the run line says $count packages"

# configured PRESET OUTPUT: the configure command of the dry run.
configured() {
  grep "^\[setup\] would run: cmake --preset $1 " <<<"$2" || fail "no configure step for $1 in: $2"
}
grep -q -- "-DVLK_BUILD_TESTS=OFF -DVLK_BUILD_BENCH=OFF" <<<"$(configured default "$run_output")" ||
  fail "the run build keeps tests or benchmarks"
grep -q -- "-DVLK_BUILD_TESTS=ON -DVLK_BUILD_BENCH=ON" <<<"$(configured default "$test_output")" ||
  fail "the test build does not switch tests and benchmarks back on"
# The sanitizer presets keep their own choice of benchmarks (off).
sanitizer=$(configured asan-ubsan "$(dry_run --for test --preset asan-ubsan)")
grep -q -- "-DVLK_BUILD_TESTS=ON" <<<"$sanitizer" && ! grep -q -- "-DVLK_BUILD_BENCH" <<<"$sanitizer" ||
  fail "asan-ubsan configured as: $sanitizer"
# The caller's values come last, so they win.
grep -q -- "-DVLK_BUILD_BENCH=OFF -DVLK_WERROR=ON$" <<<"$(configured default "$(dry_run --for run -DVLK_WERROR=ON)")" ||
  fail "the caller's -D values do not come last"
"$setup" --dry-run --for nothing >/dev/null 2>&1 && fail "an unknown purpose was accepted"

echo "PASS: run list $(wc -l <<<"$run_list") packages, test list $(wc -l <<<"$test_list")"
