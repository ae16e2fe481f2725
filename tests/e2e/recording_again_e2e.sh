#!/usr/bin/env bash
# Two recordings of one lock, 15 s apart, from the simulated PCI-E card, driven by name through the
# accessibility interface: lock 11362 H 22000 once, record 3 s, wait, record 3 s again. Each file
# must hold its own 3 s of stream (size at the carrier's useful rate, and ffprobe's duration), and
# the second must begin with the stream of its own start, not with what passed while the graph
# was stopped.
# Usage: recording_again_e2e.sh <program folder> <artefact folder>
source "$(dirname "$0")/e2e_lib.sh"
E2E_ARTEFACTS=$2
e2e_begin "$1"

e2e_prepare_settings

e2e_open_main_window
main=$E2E_MAIN
e2e_ui press "$main" "Lock TP"
e2e_ui wait-exact "$main" "LockStatus:" LOCKED
e2e_ui page "$main" "Capture Control"
e2e_ui press "$main" "Use Time Limit"
e2e_ui set-text "$main" "Time limit" 3

# record <file>: one 3-second recording; prints the time of pressing Start.
record() {
  e2e_ui set-text "$main" "Store File Path:" "$1"
  date +%s.%N
  e2e_ui press "$main" "Start Record"
  e2e_ui wait-text "$main" "Status:" "Recording..."
  e2e_ui wait-exact "$main" "Status:" "Record Stopped!"
  [[ -s $1 ]] || e2e_fail "no record file at $1"
}
first="$E2E_DIR/first.ts"
second="$E2E_DIR/second.ts"
first_started=$(record "$first")
sleep 15
second_started=$(record "$second")

probe_log="$E2E_DIR/ffprobe.log"
probe() {
  ffprobe -v error -show_entries format=start_time,duration -of default=noprint_wrappers=1:nokey=1 "$1" \
    2>"$probe_log" | tr '\n' ' ' || e2e_fail "ffprobe cannot read $1: $(tail -n 5 "$probe_log")"
}
/usr/bin/python3 - "$(stat -c %s "$first")" "$(probe "$first")" "$first_started" \
  "$(stat -c %s "$second")" "$(probe "$second")" "$second_started" <<'PY' || e2e_fail "a recording holds other than its own 3 s"
import sys
# The useful rate of DVB-S2 8PSK 2/3 at 22000 kSps, normal frames, pilots on (the card's choice
# for this transponder; the single recording test checks it from the carrier report).
rate = 22_000_000 * (43040 - 80) / (90 * (240 + 1) + 36 * ((240 - 1) // 16))
files = []
for size, probed, started in zip(sys.argv[1::3], sys.argv[2::3], sys.argv[3::3]):
    start_time, duration = (float(x) for x in probed.split())
    files.append((int(size), start_time, duration, float(started)))
for name, (size, start_time, duration, _) in zip(("first", "second"), files):
    seconds = size * 8 / rate
    print(f"{name}: {size} bytes = {seconds:.2f} s at the useful rate; ffprobe: {duration:.2f} s "
          f"from stream time {start_time:.2f} s")
    # 31 ticks of at least 100 ms: 3.1 s and a little more, up to 3.5 s when the ticks come late
    # (a sanitizer build on a busy machine). The fault this guards against gave 24.5 s.
    for what, value in (("size", seconds), ("duration", duration)):
        if not 2.7 <= value <= 4.5:
            sys.exit(f"the {name} file's {what} gives {value:.2f} s, not 3 s (2.7 to 4.5)")
# The card's stream clock runs from the lock: the second file must start as much later in it as
# the second Start came after the first (give or take a second of start-up on either side).
apart = files[1][3] - files[0][3]
in_stream = files[1][1] - files[0][1]
print(f"the starts were {apart:.2f} s apart, the files' first stream times {in_stream:.2f} s")
if in_stream < apart - 1.0:
    sys.exit(f"the second file starts {apart - in_stream:.2f} s before its Start: it holds stream of the wait")
PY

e2e_close_with Escape
echo "PASS: two 3 s recordings 15 s apart hold their own stream"
