#!/usr/bin/env bash
# Runs every fuzz target of a VLK_FUZZ build for a bounded time, each on a copy of its seeds
# (tests/fuzz/corpus/<target>/; what a run adds stays in the build folder), and prints per
# target the inputs executed, the coverage reached and the result. Exits non-zero when a target
# found a crash, a leak, undefined behaviour or a timeout; the input that did it is kept and
# named in the output. An input that was only slow (a timeout or a "slow unit") is run again on
# its own first: on a loaded machine one unit once took 12 s that takes 0.04 s alone, so only an
# input that is slow again is a finding.
#
# Usage: tests/fuzz/run_fuzzers.sh <build folder> <seconds per target>
#   e.g. tests/fuzz/run_fuzzers.sh build-fuzz 60
# Reproduce a finding: <build folder>/fuzz/<target> <kept input>
set -euo pipefail

if [[ $# -ne 2 || ! $2 =~ ^[1-9][0-9]*$ ]]; then
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
corpus_root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/corpus

# target and the longest input worth trying: a settings file, a tuning-space store, a city list,
# a satellite file or a few, an options file, forty transport packets, one flags byte with a
# media-info record, a run of kernel answers, a naming table, a service list's sections, a scan,
# an address and an HTTP request.
targets=(
  "fuzz_settings_ini 4096"
  "fuzz_tuning_spaces 4096"
  "fuzz_city_list 4096"
  "fuzz_satellite_file 4096"
  "fuzz_sim_sky 4096"
  "fuzz_sim_options 2048"
  "fuzz_transport_stream 7520"
  "fuzz_media_info_record 73"
  "fuzz_dvb_frontend_stats 1024"
  "fuzz_linux_tuner_names 2048"
  "fuzz_psi_sections 4096"
  "fuzz_scan_csv 4096"
  "fuzz_network_requests 2048"
)

work=$build/fuzz-runs
rm -rf "$work"
mkdir -p "$work"
# The targets' scratch files (settings, city lists, satellite files) go to memory when it can.
scratch_parent=/tmp
[[ -d /dev/shm && -w /dev/shm ]] && scratch_parent=/dev/shm
export TMPDIR
TMPDIR=$(mktemp -d "$scratch_parent/vlk-fuzz.XXXXXX")
trap 'rm -rf "$TMPDIR"' EXIT

# replay <binary> <input>: 0 when the input runs clean and within the time limit on its own.
replay() {
  local started ended
  started=$(date +%s%N)
  "$1" -timeout=10 -rss_limit_mb=2048 "$2" >"$2.replay.txt" 2>&1 || return 1
  ended=$(date +%s%N)
  (((ended - started) / 1000000 < 10000))
}

failed=()
printf '%-26s %12s %8s %8s  %s\n' target executions cov ft result
for entry in "${targets[@]}"; do
  read -r target max_len <<<"$entry"
  binary=$build/fuzz/$target
  if [[ ! -x $binary ]]; then
    echo "[fuzz] error: $binary is missing: build the target vlk_fuzzers of a -DVLK_FUZZ=ON build" >&2
    exit 2
  fi
  corpus=$work/$target/corpus
  mkdir -p "$corpus" "$work/$target/artifacts"
  cp "$corpus_root/$target"/* "$corpus"/
  log=$work/$target/log.txt
  status=0
  # Timeouts: no input of these sizes needs a second; leaks are reported at the end of an input.
  "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" "$corpus" >"$log" 2>&1 ||
    status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$coverage")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$coverage")
  artifacts=$(find "$work/$target/artifacts" -type f ! -name '*.replay.txt' | sort)
  # Slowness alone is checked again before it counts; any other artifact is a finding.
  only_slow=1
  for artifact in $artifacts; do
    case $(basename "$artifact") in
      slow-unit-* | timeout-*)
        if replay "$binary" "$artifact"; then
          echo "    slow only under load, fast alone: $(basename "$artifact") ($(tail -n 1 "$artifact.replay.txt"))"
          rm -f "$artifact"
        else
          only_slow=0
        fi
        ;;
      *) only_slow=0 ;;
    esac
  done
  artifacts=$(find "$work/$target/artifacts" -type f ! -name '*.replay.txt' | sort)
  # A run that a timeout ended, whose input was fast alone, found nothing.
  [[ $only_slow -eq 1 && -z $artifacts ]] && grep -q 'ERROR: libFuzzer: timeout' "$log" && status=0
  if [[ $status -eq 0 && -z $artifacts ]]; then
    result=passed
  else
    result="FAILED (exit status $status)"
    failed+=("$target")
  fi
  printf '%-26s %12s %8s %8s  %s\n' "$target" "${executions:-?}" "${cov:-?}" "${ft:-?}" "$result"
  if [[ $result != passed ]]; then
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|.*runtime error)' "$log" | head -5 | sed 's/^/    /' || true
    for artifact in $artifacts; do echo "    input kept: $artifact"; done
    echo "    log: $log"
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "[fuzz] ${#failed[@]} of ${#targets[@]} targets found a fault: ${failed[*]}"
  exit 1
fi
echo "[fuzz] ${#targets[@]} targets ran ${seconds} s each without a finding"
