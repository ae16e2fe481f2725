#!/usr/bin/env bash
# The real program on the simulated PCI-E card: Return in the device list, Return in the main
# window with a prepared VLK-TScap.ini, and the card's trace shows the tune request and the
# DiSEqC message of the stored port. Screenshots of the device list and of each page are kept.
# Usage: tuner_setting_e2e.sh <program folder> <artefact folder>
source "$(dirname "$0")/e2e_lib.sh"
E2E_ARTEFACTS=$2
e2e_begin "$1"

e2e_prepare_settings

e2e_start
e2e_wait_window "VLK Record : Select device"
e2e_shot e2e-device-list
e2e_key_until Return e2e_window_shown "Skarveld - Version"
e2e_wait_window "Skarveld - Version"
e2e_shot e2e-tuner-setting
# What the desktop reads to list the window in its taskbar and offer to minimise it: a normal
# window of its own (no dialog transient for another), whose hints ask for a minimise box.
hints=$(xprop -id "$E2E_WINDOW" _NET_WM_WINDOW_TYPE WM_TRANSIENT_FOR _MOTIF_WM_HINTS)
grep -q "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL" <<<"$hints" ||
  e2e_fail "the main window is no normal window: $hints"
grep -q "WM_TRANSIENT_FOR:  not found" <<<"$hints" || e2e_fail "the main window is transient for another: $hints"
# _MOTIF_WM_HINTS: flags, functions, decorations, ...; function 8 and decoration 32 are minimise.
motif=$(sed -n 's/^_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = //p' <<<"$hints")
IFS=', ' read -r _ functions decorations _ <<<"$motif"
(((functions & 1) || (functions & 8))) && (((decorations & 1) || (decorations & 32))) ||
  e2e_fail "the window manager is not asked for a minimise box: $motif"
trace="$HOME/SimulatedCard.log"
e2e_key_until Return grep -qF "diseqc E0 10 38 F6" "$trace"
e2e_wait_file_line "$trace" "tune 11362000 kHz, LNB 9750000/10600000 kHz, switch 11700000 kHz, horizontal, 22000 kSps"
e2e_wait_file_line "$trace" "lock 11362 H 22000"
sleep 2.5  # a poll or two of the monitor
e2e_shot e2e-locked
e2e_key ctrl+Tab
sleep 0.5
e2e_shot e2e-capture-control
e2e_key ctrl+Tab
sleep 0.5
e2e_shot e2e-motor-positioner
e2e_close_with Escape
grep -q "^freq=11362" "$E2E_DIR/program/VLK-TScap.ini" || e2e_fail "the settings were not kept"
echo "PASS: tuned through the trace; screenshots in $E2E_ARTEFACTS"
