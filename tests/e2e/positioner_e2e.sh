#!/usr/bin/env bash
# The dish motor of the simulated PCI-E card, driven by name through the accessibility interface.
# The card's site is Frankfurt am Main (its options file), and so is the site chosen on
# "Motor/Positioner". 11362 H 22000 at 19.2 E, tuned behind DiSEqC port A (the motorised dish),
# does not lock while the dish stands at 0 degrees, where the card starts; "Go" to the "0192
# Astra" entry sends the goto-angle message for 11.5 degrees east (E0 B8), the motor travels
# there at its speed, and then "Lock TP" locks and the carrier report shows the transponder.
# Screenshots of the positioner page and of the locked window are kept.
# Usage: positioner_e2e.sh <program folder> <artefact folder>
source "$(dirname "$0")/e2e_lib.sh"
E2E_ARTEFACTS=$2
e2e_begin "$1"

mkdir -p "$XDG_CONFIG_HOME/vlk-tscap"
cat >"$XDG_CONFIG_HOME/vlk-tscap/SimulatedCard.ini" <<'INI'
[Site]
Latitude=50.1155
Longitude=8.6842
INI
trace="$HOME/SimulatedCard.log"

# trace_line_after <line number> <text>: waits for a trace line with the text below the given
# line; sets LINE to the number of the first one and TIME to its simulated time in seconds.
trace_line_after() {
  local after=$1 text=$2 found
  for _ in $(seq 300); do
    found=$(awk -v after="$after" -v text="$text" 'NR > after && index($0, text) { print NR, $3; exit }' \
      "$trace" 2>/dev/null)
    [[ -n $found ]] && { read -r LINE TIME <<<"$found"; return 0; }
    sleep 0.1
  done
  e2e_fail "no \"$text\" in the card's trace after its line $after; its end: $(tail -n 15 "$trace")"
}

e2e_open_main_window
main=$E2E_MAIN

# The transponder, typed in as a user would on a first start (no settings file).
e2e_ui set-text "$main" "LNBLow:" 9750
e2e_ui set-text "$main" "LNBHigh:" 10600
e2e_ui set-text "$main" "LNBSwitch:" 11700
e2e_ui set-text "$main" "Frequency:" 11362
e2e_ui set-text "$main" "SymbolRate:" 22000
e2e_ui select "$main" "Diseqc:" "Diseqc A"
e2e_ui press "$main" "Lock TP"
# Port A, horizontal, low band: the committed switch message proves the choice of "Diseqc A".
trace_line_after 0 "diseqc E0 10 38 F2: committed switch port A"
switch_line=$LINE
trace_line_after "$switch_line" \
  "tune 11362000 kHz, LNB 9750000/10600000 kHz, switch 11700000 kHz, horizontal, 22000 kSps"
tune_line=$LINE tune_time=$TIME
grep -q "port A (motorised dish at 0.0000 deg)" <(sed -n "${tune_line}p" "$trace") ||
  e2e_fail "the first tune is not on the motorised dish at 0 degrees: $(sed -n "${tune_line}p" "$trace")"

# A site at 50.1155 N 8.6842 E: choosing Germany shows its first city in sorted order, Aachen,
# with Aachen's coordinates (not those of Berlin, the block's first line); the city sets the place.
e2e_ui page "$main" "Motor/Positioner"
e2e_ui select "$main" "Country:" Germany
e2e_ui wait-exact "$main" "City:" Aachen
e2e_ui wait-exact "$main" "Latitude:" 50.7766
e2e_ui wait-exact "$main" "Longitude:" 6.0834
e2e_ui select "$main" "City:" "Frankfurt am Main"
e2e_ui wait-exact "$main" "Latitude:" 50.1155
e2e_ui wait-exact "$main" "Longitude:" 8.6842
e2e_ui select "$main" "Satellite:" "0192  Astra"
e2e_shot e2e-positioner-site
e2e_ui press "$main" Go

# Control: with the dish at 0 degrees, about 11 degrees from 19.2 E, the pointing loss leaves no
# margin. The card locks 0.3 s after the conditions come right; it must not have locked between
# the tune and "Go", and "Go" must have come later than that.
trace_line_after "$tune_line" "diseqc E1 31 6E E0 B8: motor goto angle 11.5000 deg east"
go_line=$LINE go_time=$TIME
awk -v a="$tune_time" -v b="$go_time" 'BEGIN { exit !(b - a > 0.3) }' ||
  e2e_fail "\"Go\" came $tune_time..$go_time s (simulated), too soon to tell a lock from none"
if sed -n "$((tune_line + 1)),$((go_line - 1))p" "$trace" | grep -E " lock [0-9]"; then
  e2e_fail "the card locked while its dish pointed at 0 degrees"
fi

# 11.5 degrees at 1.5 degrees a second: the motor stops about 7.7 s later.
trace_line_after "$go_line" "motor start east from 0.0000 deg to 11.5000 deg"
start_line=$LINE
trace_line_after "$start_line" "motor stop at 11.5000 deg (target reached)"
stop_line=$LINE

e2e_ui page "$main" "Tuner Setting"
e2e_ui press "$main" "Lock TP"
trace_line_after "$stop_line" "port A (motorised dish at 11.5000 deg)"
tune_line=$LINE
trace_line_after "$tune_line" "lock 11362 H 22000 DVB-S2 8PSK 2/3 at 19.2 E Astra"
e2e_ui wait-exact "$main" "LockStatus:" LOCKED
e2e_ui wait-exact "$main" "IF:" 1612000
for check in "Carrier SymbolRate:=22000000" "DVBS1/S2:=DVB-S2" "Modulation Type:=8PSK" "FEC:=2/3"; do
  field=${check%%=*} want=${check#*=}
  got=$(e2e_ui text "$main" "$field")
  [[ $got == "$want" ]] || e2e_fail "the carrier report shows \"$got\" in \"$field\", not \"$want\""
done
e2e_shot e2e-positioner-locked

e2e_ui page "$main" "Motor/Positioner"
e2e_close_with Escape
echo "PASS: the dish turned to 19.2 E and locked 11362 H 22000; screenshots in $E2E_ARTEFACTS"
