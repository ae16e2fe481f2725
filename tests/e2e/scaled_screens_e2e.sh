#!/usr/bin/env bash
# The real program at 200 % (QT_SCALE_FACTOR=2) on the simulated PCI-E card: screenshots of the
# device list and of each page of the main window, locked on a transponder so that the report
# fields are filled, and of the Transponders page in its own window with the dish and scan windows,
# kept as e2e-*-200.png for a look at the scaled layout and pictures.
# Usage: scaled_screens_e2e.sh <program folder> <artefact folder>
source "$(dirname "$0")/e2e_lib.sh"
E2E_ARTEFACTS=$2
# The main window is 1102 x 1348 pixels at 200 %: taller than the usual screen.
E2E_SCREEN=2560x1600x24
export QT_SCALE_FACTOR=2
e2e_begin "$1"

e2e_prepare_settings

e2e_accessible
e2e_start
e2e_wait_window "VLK Record : Select device"
e2e_shot e2e-device-list-200
e2e_key_until Return e2e_window_shown "Skarveld - Version"
e2e_wait_window "Skarveld - Version"
e2e_key_until Return grep -qF "diseqc E0 10 38 F6" "$HOME/SimulatedCard.log"
e2e_wait_file_line "$HOME/SimulatedCard.log" "lock 11362 H 22000"
sleep 2.5  # a poll or two of the monitor
e2e_shot e2e-tuner-setting-200
e2e_key ctrl+Tab
sleep 0.5
e2e_shot e2e-capture-control-200
e2e_key ctrl+Next
sleep 0.5
e2e_shot e2e-motor-positioner-200
# The window is as large as the scale asks: 200 % of its 551 x 674 pixels.
eval "$(xdotool getwindowgeometry --shell "$E2E_WINDOW" | grep -E '^(WIDTH|HEIGHT)=')"
[[ $WIDTH -eq 1102 && $HEIGHT -eq 1348 ]] || e2e_fail "the main window is ${WIDTH}x${HEIGHT} at 200 %"
main_window=$E2E_WINDOW

e2e_key ctrl+Next
sleep 0.5
e2e_shot e2e-transponders-200
e2e_ui press "Skarveld - Version" Window
e2e_wait_window "Transponders"
e2e_shot e2e-transponders-window-200
e2e_ui press Transponders "Dish..."
e2e_wait_window "Dish Alignment"
e2e_shot e2e-dish-window-200
e2e_key_closing Escape
e2e_ui press Transponders "Scan..."
e2e_wait_window "Scan of"
e2e_shot e2e-scan-window-200
e2e_key_closing Escape
e2e_ui press Transponders "To Tab"

E2E_WINDOW=$main_window
e2e_close_with Escape
echo "PASS: screenshots at 200 % in $E2E_ARTEFACTS"
