#!/usr/bin/env bash
# command_line_test.sh PROGRAM_DIR VERSION
# --help and --version answer without a display and without a window; any other argument starts
# the program as before, which without a display means Qt's failure to open one.
set -uo pipefail

program_dir=$(cd "$1" && pwd -P)
program=$program_dir/vlk-tscap
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ulimit -c 0  # the runs expected to fail abort inside Qt

failures=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}

# run ARGS...: the program with no display of any kind; sets status, fills out and err.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 30 "$program" "$@" \
    >"$work/out" 2>"$work/err"
  status=$?
}

# expect_answer WHAT FIRST_LINE ARGS...: exit 0, nothing on stderr, FIRST_LINE first.
expect_answer() {
  local what=$1 first=$2
  shift 2
  run "$@"
  [[ $status -eq 0 ]] || fail "$what: exit status $status, expected 0; stderr: $(head -c 400 "$work/err")"
  [[ ! -s "$work/err" ]] || fail "$what: wrote to stderr: $(head -c 400 "$work/err")"
  local line
  line=$(head -n 1 "$work/out")
  [[ "$line" == "$first" ]] || fail "$what: first line '$line', expected '$first'"
}

usage='Usage: vlk-tscap [--help | --version]'
expect_answer '--version' "vlk-tscap $version" --version
[[ $(wc -l <"$work/out") -eq 1 ]] || fail "--version printed more than one line: $(cat "$work/out")"

expect_answer '--help' "$usage" --help
for needle in '  --help ' '  --version ' "  data folder: $program_dir" 'Transponders/*.ini' 'CityList.txt' \
  'LinuxTuners.ini' 'Vantor-recorder.chm' 'VLK-TScap.ini, VLK-IPdata.ini' 'LinuxTunerLocks.ini' \
  '~/Keplin.log' '~/SimulatedCard.log' '~/Vantor-capture.ts'; do
  grep -qF -- "$needle" "$work/out" || fail "--help does not mention '$needle'"
done

# Qt's own options may come first; the first of the two options decides.
expect_answer 'Qt option before --version' "vlk-tscap $version" -style fusion --version
expect_answer '--version before --help' "vlk-tscap $version" --version --help
expect_answer '--help before --version' "$usage" --help --version

# Anything else goes on to Qt, which cannot start without a display: proof that no shortcut was
# taken and that a window would have been opened.
for args in '--bogus' '-h' 'help' '--help=1'; do
  # shellcheck disable=SC2086
  run $args
  if [[ $status -eq 0 ]] || grep -qF -e "$usage" -e "vlk-tscap $version" "$work/out"; then
    fail "'$args' answered like an option (status $status): $(head -c 200 "$work/out")"
  elif ! grep -qi 'platform plugin\|could not connect to display' "$work/err"; then
    fail "'$args' did not try to open a window: status $status, stderr: $(head -c 400 "$work/err")"
  fi
done

# A help text that cannot be written is an error, not a silent success.
if [[ -w /dev/full ]]; then
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$program" --help >/dev/full 2>/dev/null
  status=$?
  [[ $status -eq 1 ]] || fail "--help into a full device: exit status $status, expected 1"
fi

if [[ $failures -ne 0 ]]; then
  printf '%d check(s) failed\n' "$failures" >&2
  exit 1
fi
printf 'command line: --help, --version and the other arguments as expected\n'
