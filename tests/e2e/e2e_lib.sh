# Shared pieces of the whole-program tests: each test runs the real program from a copy of the
# program folder, with its own home folder, on its own virtual X server.
#   e2e_begin <program folder>   sets E2E_DIR, E2E_PROGRAM, HOME; starts Xvfb (screen size
#                                E2E_SCREEN, default 1280x1024x24); an empty folder copies
#                                nothing, and the caller sets E2E_PROGRAM
#   E2E_AS=(command...)          a prefix that the program, its buses and the accessibility
#                                steps run under, e.g. another user's; empty: this user
#   e2e_start                    starts the program in the background (E2E_PID)
#   e2e_accessible               starts a session bus and the accessibility bus, so that
#                                e2e_ui (tests/e2e/atspi_driver.py) drives the program by name
#   e2e_wait_window <title part> waits for a window, sets E2E_WINDOW
#   e2e_open_main_window         starts the program accessible, takes the first tuner of the
#                                list and waits for the main window (its name: E2E_MAIN)
#   e2e_shot <name>              saves a screenshot as <artefact folder>/<name>.png
#   e2e_wait_file_line <file> <text> waits until the file holds a line with the text
set -euo pipefail

E2E_AS=()

e2e_fail() {
  echo "FAIL: $*" >&2
  if [[ -n ${E2E_XVFB:-} ]] && ! kill -0 "$E2E_XVFB" 2>/dev/null; then
    echo "(the virtual X server has ended)" >&2
  fi
  if [[ -n ${E2E_PID:-} ]] && kill -0 "$E2E_PID" 2>/dev/null; then
    echo "(the program is still running)" >&2
    [[ -n ${E2E_DEBUG:-} ]] && gdb -p "$E2E_PID" -batch -ex "thread apply all bt 8" >&2 2>/dev/null
  fi
  if [[ -f ${E2E_DIR:-}/program.log ]]; then
    echo "--- program output:" >&2
    tail -n 30 "$E2E_DIR/program.log" >&2
  fi
  exit 1
}

e2e_begin() {
  local source_folder=$1
  E2E_ARTEFACTS=${E2E_ARTEFACTS:-$(pwd)}
  E2E_DIR=$(mktemp -d /tmp/vlk-e2e-XXXXXX)
  if [[ -n $source_folder ]]; then
    cp -r "$source_folder" "$E2E_DIR/program"
    E2E_PROGRAM="$E2E_DIR/program/vlk-tscap"
  fi
  export HOME="$E2E_DIR/home"
  export XDG_CONFIG_HOME="$HOME/.config"
  export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  # Xvfb picks a free display itself and writes its number, so parallel runs never collide.
  # -noreset: by default the server resets when its last client leaves, and refuses the clients
  # that connect meanwhile (the program, as xdpyinfo or the accessibility bus leave).
  Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1280x1024x24}" -nolisten tcp -noreset 3>"$E2E_DIR/display" \
    >/dev/null 2>&1 &
  E2E_XVFB=$!
  trap e2e_end EXIT
  for _ in $(seq 100); do
    if [[ -s $E2E_DIR/display ]]; then
      export DISPLAY=":$(head -n 1 "$E2E_DIR/display")"
      # No key repeat: on a loaded machine a late key release would repeat the key.
      xdpyinfo >/dev/null 2>&1 && xset r off && return 0
    fi
    sleep 0.1
  done
  e2e_fail "the virtual X server did not start"
}

e2e_end() {
  [[ -n ${E2E_PID:-} ]] && kill "$E2E_PID" 2>/dev/null || true
  [[ -n ${E2E_ATSPI:-} ]] && kill "$E2E_ATSPI" 2>/dev/null || true
  [[ -n ${DBUS_SESSION_BUS_PID:-} ]] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
  [[ -n ${E2E_XVFB:-} ]] && kill "$E2E_XVFB" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$E2E_DIR"
}

e2e_accessible() {
  eval "$("${E2E_AS[@]}" dbus-launch --sh-syntax)"
  "${E2E_AS[@]}" /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  E2E_ATSPI=$!
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  E2E_UI_DRIVER="$(dirname "${BASH_SOURCE[0]}")/atspi_driver.py"
}

# e2e_ui <command> <arguments>: one step through the accessibility interface.
e2e_ui() {
  "${E2E_AS[@]}" /usr/bin/python3 "$E2E_UI_DRIVER" "$@" || e2e_fail "accessibility step failed: $*"
}

e2e_start() {
  "${E2E_AS[@]}" "$E2E_PROGRAM" >"$E2E_DIR/program.log" 2>&1 &
  E2E_PID=$!
}

e2e_wait_window() {
  local title=$1
  for _ in $(seq 300); do
    E2E_WINDOW=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1 || true)
    if [[ -n $E2E_WINDOW ]]; then
      sleep 0.5  # let it paint
      return 0
    fi
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the program ended before \"$title\" appeared: $(cat "$E2E_DIR/program.log")"
    sleep 0.1
  done
  e2e_fail "no window \"$title\" within 30 s"
}

e2e_key() {
  xdotool windowfocus --sync "$E2E_WINDOW" 2>/dev/null || true
  xdotool key --window "$E2E_WINDOW" "$@"
}

# e2e_key_until <key> <command...>: presses the key until the command succeeds (three times at
# most, 5 s each): a window that has just appeared on a busy machine may not have the keyboard yet.
e2e_key_until() {
  local key=$1
  shift
  for _ in 1 2 3; do
    e2e_key "$key"
    for _ in $(seq 50); do
      "$@" 2>/dev/null && return 0
      sleep 0.1
    done
  done
  e2e_fail "pressing $key did not lead to: $*"
}

# e2e_close_with <key>: presses a key that ends the program until it has ended (three times at
# most, 5 s each).
e2e_close_with() {
  for _ in 1 2 3; do
    e2e_key_closing "$1"
    for _ in $(seq 50); do
      kill -0 "$E2E_PID" 2>/dev/null || { wait "$E2E_PID" || true; E2E_PID=; return 0; }
      sleep 0.1
    done
  done
  e2e_fail "pressing $1 did not end the program"
}

e2e_open_main_window() {
  e2e_accessible
  e2e_start
  e2e_ui press "Select device" OK
  E2E_MAIN="Skarveld - Version"
  e2e_wait_window "$E2E_MAIN"
}

e2e_window_shown() {
  xdotool search --onlyvisible --name "$1" >/dev/null
}

# A transponder of 19.2 E that the simulated card locks (DiSEqC port B), in VLK-TScap.ini of the
# given settings folder (default: the copied program folder).
e2e_prepare_settings() {
  cat >"${1:-$E2E_DIR/program}/VLK-TScap.ini" <<'INI'
[Config]
polarity=0
diseqc=2
goldcode=0
goldtype=0
freq=11362
symbol=22000
lnblow=9750
lnbhigh=10600
lnbswitch=11700
INI
}

# A key that closes the window: its release finds the window gone, which is no failure.
e2e_key_closing() {
  e2e_key "$@" 2>/dev/null || true
}

e2e_shot() {
  local X= Y= WIDTH= HEIGHT=
  eval "$(xdotool getwindowgeometry --shell "$E2E_WINDOW" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=' || true)"
  [[ -n $WIDTH ]] || e2e_fail "the window for the screenshot $1 is gone"
  /usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$E2E_ARTEFACTS/$1.png"
}

e2e_wait_file_line() {
  local file=$1 text=$2
  for _ in $(seq 300); do
    grep -qF -- "$text" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  e2e_fail "\"$text\" did not appear in $file; it holds: $(cat "$file" 2>/dev/null | tail -n 20)"
}

e2e_wait_exit() {
  for _ in $(seq 300); do
    kill -0 "$E2E_PID" 2>/dev/null || { wait "$E2E_PID" || true; E2E_PID=; return 0; }
    sleep 0.1
  done
  e2e_fail "the program did not end"
}
