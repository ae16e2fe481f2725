#!/usr/bin/env bash
# The fuzz runner against fake targets that play libFuzzer's part: an input that was only slow
# under load and runs clean alone is no finding, one that is slow again or that crashed is.
#
# Usage: tests/fuzz_runner/run_fuzzers_test.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
runner=$here/../fuzz/run_fuzzers.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A fake target. A run (a folder argument) writes the artifact FAKE_ARTIFACT names, if any, says
# what libFuzzer says for it and exits FAKE_STATUS; a replay (a file argument) exits FAKE_REPLAY.
fake_target() {
  cat <<'FAKE'
#!/usr/bin/env bash
prefix=
for argument in "$@"; do
  case $argument in
    -artifact_prefix=*) prefix=${argument#-artifact_prefix=} ;;
    -*) ;;
    *) [[ -f $argument ]] && exit "${FAKE_REPLAY:-0}" ;;
  esac
done
echo "#100	DONE   cov: 7 ft: 9 corp: 1/1b"
echo "stat::number_of_executed_units: 100"
if [[ -n ${FAKE_ARTIFACT:-} ]]; then
  echo "unit" >"${prefix}${FAKE_ARTIFACT}"
  [[ $FAKE_ARTIFACT == timeout-* ]] && echo "==1== ERROR: libFuzzer: timeout after 10 seconds"
fi
exit "${FAKE_STATUS:-0}"
FAKE
}

mkdir -p "$scratch/build/fuzz"
for target in $(sed -n 's/^  "\(fuzz_[a-z_0-9]*\) [0-9]*"$/\1/p' "$runner"); do
  fake_target >"$scratch/build/fuzz/$target"
  chmod +x "$scratch/build/fuzz/$target"
done

failures=0
# expect <exit status> <what the output must hold> <case>: runs the runner with the FAKE_ settings
# exported by the caller.
expect() {
  local status=0 output
  output=$("$runner" "$scratch/build" 1 2>&1) || status=$?
  if [[ $status -ne $1 ]] || ! grep -qF -- "$2" <<<"$output"; then
    echo "FAIL: $3: exit $status (expected $1), output:"
    sed 's/^/    /' <<<"$output"
    failures=$((failures + 1))
  else
    echo "ok: $3"
  fi
}

FAKE_ARTIFACT=slow-unit-1 FAKE_STATUS=0 FAKE_REPLAY=0 \
  expect 0 "slow only under load, fast alone: slow-unit-1" "a slow unit that is fast alone passes"
FAKE_ARTIFACT=timeout-1 FAKE_STATUS=70 FAKE_REPLAY=0 \
  expect 0 "slow only under load, fast alone: timeout-1" "a timeout that is fast alone passes"
FAKE_ARTIFACT=slow-unit-1 FAKE_STATUS=0 FAKE_REPLAY=70 \
  expect 1 "input kept: $scratch/build/fuzz-runs/fuzz_settings_ini/artifacts/slow-unit-1" \
  "a slow unit that is slow again is a finding"
FAKE_ARTIFACT=timeout-1 FAKE_STATUS=70 FAKE_REPLAY=70 \
  expect 1 "FAILED (exit status 70)" "a timeout that times out again is a finding"
FAKE_ARTIFACT=crash-1 FAKE_STATUS=1 FAKE_REPLAY=0 \
  expect 1 "input kept: $scratch/build/fuzz-runs/fuzz_settings_ini/artifacts/crash-1" \
  "a crash is a finding, however its input replays"
FAKE_ARTIFACT= FAKE_STATUS=0 FAKE_REPLAY=0 \
  expect 0 "targets ran 1 s each without a finding" "a clean run passes"

exit $((failures > 0))
