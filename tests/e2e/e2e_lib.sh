# Shared pieces of the whole-program tests: each test runs the real program from a copy of the
# program folder, with its own home folder, on its own virtual X server.
#   e2e_begin <program folder>   sets E2E_DIR, E2E_PROGRAM, HOME; starts Xvfb
#   e2e_start                    starts the program in the background (E2E_PID)
#   e2e_wait_window <title part> waits for a window, sets E2E_WINDOW
#   e2e_shot <name>              saves a screenshot as <artefact folder>/<name>.png
#   e2e_wait_file_line <file> <text> waits until the file holds a line with the text
set -euo pipefail

e2e_fail() {
  echo "FAIL: $*" >&2
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
  cp -r "$source_folder" "$E2E_DIR/program"
  E2E_PROGRAM="$E2E_DIR/program/vlk-tscap"
  export HOME="$E2E_DIR/home"
  export XDG_CONFIG_HOME="$HOME/.config"
  export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  local n=90
  while [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  E2E_XVFB=$!
  export DISPLAY=":$n"
  trap e2e_end EXIT
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  e2e_fail "the virtual X server did not start"
}

e2e_end() {
  [[ -n ${E2E_PID:-} ]] && kill "$E2E_PID" 2>/dev/null || true
  [[ -n ${E2E_XVFB:-} ]] && kill "$E2E_XVFB" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$E2E_DIR"
}

e2e_start() {
  "$E2E_PROGRAM" >"$E2E_DIR/program.log" 2>&1 &
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
