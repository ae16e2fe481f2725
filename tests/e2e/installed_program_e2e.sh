#!/usr/bin/env bash
# The installed program: `cmake --install` into a prefix that the program's user cannot write (the
# prefix is made read-only, and a run as root starts the program as "nobody", whom no mode bit
# exempts). Its data come from <prefix>/share/vlk-tscap and its settings live in
# $XDG_CONFIG_HOME/vlk-tscap: a VLK-TScap.ini prepared there locks 11362 H 22000 on the simulated
# PCI-E card; 11464 typed in and locked is saved there; a second start shows 11464 again and tunes
# it. Nothing in the prefix changes (a listing with checksums, before and after).
# Usage: installed_program_e2e.sh <program folder (unused: the installed one runs)> <build folder>
source "$(dirname "$0")/e2e_lib.sh"
E2E_ARTEFACTS=$2
build=$2
test_start=$(date +%s%N)

# elapsed <since>: seconds since a date +%s%N reading, to a tenth.
elapsed() {
  awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'
}

e2e_begin ""
prefix="$E2E_DIR/prefix"
# A user's read-only prefix must become writable again before e2e_end can remove it.
trap 'chmod -R u+w "$prefix" 2>/dev/null || true; e2e_end' EXIT

step_start=$(date +%s%N)
cmake --install "$build" --prefix "$prefix" >"$E2E_DIR/install.log" 2>&1 ||
  e2e_fail "cmake --install failed: $(tail -n 20 "$E2E_DIR/install.log")"
install_time=$(elapsed "$step_start")
for file in bin/vlk-tscap share/vlk-tscap/Transponders/Astra-19.2E.ini share/vlk-tscap/CityList.txt \
  share/vlk-tscap/LinuxTuners.ini; do
  [[ -f $prefix/$file ]] || e2e_fail "the installation lacks $file; it holds: $(cd "$prefix" && find . | head -n 40)"
done
# Data beside the executable would be taken for a build tree's, hiding a wrong share/ lookup.
[[ ! -e $prefix/bin/Transponders ]] || e2e_fail "satellite files were installed into bin/"
E2E_PROGRAM="$prefix/bin/vlk-tscap"

chmod -R a-w "$prefix"
if [[ $(id -u) == 0 ]]; then
  E2E_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  chmod o+x "$E2E_DIR"
  chown -R nobody:nogroup "$HOME" "$XDG_RUNTIME_DIR"
fi
for folder in bin share/vlk-tscap; do
  if "${E2E_AS[@]}" touch "$prefix/$folder/write-probe" 2>/dev/null; then
    e2e_fail "the program's user ($("${E2E_AS[@]}" id -un)) can write into <prefix>/$folder"
  fi
done

# prefix_listing: every entry with its type, mode, size and time (a folder's time also shows a
# file made and removed again), then the checksum of every file.
prefix_listing() {
  (
    cd "$prefix" || exit 1
    find . -printf '%y %m %s %T@ %p %l\n' | sort
    find . -type f -print0 | sort -z | xargs -0 sha256sum
  )
}
prefix_listing >"$E2E_DIR/prefix-before.txt"

settings="$XDG_CONFIG_HOME/vlk-tscap"
mkdir -p "$settings"
e2e_prepare_settings "$settings"
if ((${#E2E_AS[@]} > 0)); then chown -R nobody:nogroup "$XDG_CONFIG_HOME"; fi
trace="$HOME/SimulatedCard.log"
main="Skarveld - Version"
# The device list's first entry (no real cards on a test machine) is the simulated PCI-E card;
# the main window's title names the chosen card.
main_title="\(simulated PCI-E card\) Skarveld - Version"

# trace_count <text>: how many lines of the card's trace hold the text.
trace_count() {
  local count
  count=$(grep -cF -- "$1" "$trace" 2>/dev/null || true)
  echo "${count:-0}"
}

# trace_count_above <count> <text>: whether more lines than that hold the text.
trace_count_above() {
  (($(trace_count "$2") > $1))
}

e2e_accessible
step_start=$(date +%s%N)
e2e_start
if ((${#E2E_AS[@]} > 0)); then
  user=$(ps -o user= -p "$E2E_PID" || true)
  [[ $user == nobody ]] || e2e_fail "the program runs as \"$user\", not as nobody"
fi
e2e_wait_window "VLK Record : Select device"
e2e_key_until Return e2e_window_shown "$main_title"
e2e_wait_window "$main_title"
e2e_ui wait-exact "$main" "Frequency:" 11362
e2e_key_until Return grep -qF "tune 11362000 kHz" "$trace"
e2e_wait_file_line "$trace" "lock 11362 H 22000"

e2e_ui set-text "$main" "Frequency:" 11464
e2e_key_until Return grep -qF "tune 11464000 kHz" "$trace"
e2e_wait_file_line "$trace" "lock 11464 H 22000"
e2e_wait_file_line "$settings/VLK-TScap.ini" "freq=11464"
e2e_shot e2e-installed-locked
# Escape is swallowed on "Tuner Setting"; on "Motor/Positioner" it closes the window.
e2e_ui page "$main" "Motor/Positioner"
e2e_close_with Escape
first_run_time=$(elapsed "$step_start")
grep -qx "freq=11464" "$settings/VLK-TScap.ini" ||
  e2e_fail "the settings file does not keep freq=11464: $(cat "$settings/VLK-TScap.ini")"

step_start=$(date +%s%N)
tunes=$(trace_count "tune 11464000 kHz")
e2e_start
e2e_wait_window "VLK Record : Select device"
e2e_key_until Return e2e_window_shown "$main_title"
e2e_wait_window "$main_title"
e2e_ui wait-exact "$main" "Frequency:" 11464
e2e_key_until Return trace_count_above "$tunes" "tune 11464000 kHz"
e2e_ui page "$main" "Motor/Positioner"
e2e_close_with Escape
second_run_time=$(elapsed "$step_start")

prefix_listing >"$E2E_DIR/prefix-after.txt"
changes=$(diff "$E2E_DIR/prefix-before.txt" "$E2E_DIR/prefix-after.txt" || true)
[[ -z $changes ]] || e2e_fail "the program changed its installation: $changes"
echo "times: install ${install_time} s, first run ${first_run_time} s, second run ${second_run_time} s," \
  "whole test $(elapsed "$test_start") s"
echo "PASS: the installed program kept its settings in $settings and left <prefix> unchanged"
