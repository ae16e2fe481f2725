#!/usr/bin/env bash
# CPU use of the running program with the "Dish Alignment" window shown (its meter read several
# times a second, its plot redrawn, its motor figures refreshed), against the same program
# locked on the same transponder with the Transponders page shown and the window closed, measured
# in the same run. The real program on the simulated card on a virtual X server.
# Prints both as a share of one core and their ratio; exits 1 when the meter's share passes 5 %.
# Usage: dish_meter_cpu.sh [program folder (default build/bin)] [seconds per side (default 20)]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tests/e2e/e2e_lib.sh"
E2E_ARTEFACTS=$(mktemp -d)
seconds=${2:-20}
e2e_begin "${1:-$root/build/bin}"
e2e_prepare_settings
e2e_open_main_window
e2e_key_until Return grep -qF "lock 11362 H 22000" "$HOME/SimulatedCard.log"
e2e_ui page "$E2E_MAIN" Transponders

# Process CPU time (user + system) in clock ticks.
cpu_ticks() {
  local fields
  read -ra fields <"/proc/$E2E_PID/stat"
  # The command name in brackets holds no blank here, so the fields count from 1 as in proc(5).
  echo $((fields[13] + fields[14]))
}

# share_of_core SECONDS: the program's CPU use over the next SECONDS, per mille of one core.
share_of_core() {
  local before after
  before=$(cpu_ticks)
  sleep "$1"
  after=$(cpu_ticks)
  echo $(((after - before) * 1000 / ($(getconf CLK_TCK) * $1)))
}

sleep 2  # the page's first reads and paints
page_only=$(share_of_core "$seconds")
e2e_ui press "$E2E_MAIN" "Dish..."
e2e_wait_window "Dish Alignment"
sleep 2
with_meter=$(share_of_core "$seconds")
e2e_ui wait-text "Dish Alignment" "C/N:" "dB"

printf 'Transponders page, locked: %d.%d %% of one core\n' $((page_only / 10)) $((page_only % 10))
printf 'with the dish meter shown: %d.%d %% of one core\n' $((with_meter / 10)) $((with_meter % 10))
printf 'ratio meter/page: %s\n' "$(awk -v a="$with_meter" -v b="$page_only" 'BEGIN { printf "%.2f", b ? a / b : 0 }')"
((with_meter < 50)) || { echo "FAIL: the meter needs 5 % of a core or more" >&2; exit 1; }
