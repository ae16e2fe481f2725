#!/usr/bin/env bash
# subcommands_test.sh PROGRAM_DIR
# Each subcommand run whole, as a script or a timer runs it: no display, the simulated tuners,
# a home of its own. What each prints and its exit status; the recordings read by ffprobe; two
# commands on two tuners at once; a stop signal that keeps every byte; the stream sent over UDP,
# RTP and HTTP, read by ffprobe.
set -uo pipefail

program=$(cd "$1" && pwd -P)/vlk-tscap
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home
mkdir -p "$HOME"

failures=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}

# run ARGS...: the program with no display of any kind, and a platform plugin that would abort
# without one, were it loaded; sets status, fills out and err.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb QT_DEBUG_PLUGINS=1 timeout 120 "$program" "$@" \
    >"$work/out" 2>"$work/err"
  status=$?
}

expect_status() {
  local what=$1 expected=$2
  [[ $status -eq $expected ]] ||
    fail "$what: exit status $status, expected $expected; stderr: $(head -c 600 "$work/err")"
  ! grep -qi 'plugin' "$work/err" || fail "$what: Qt looked for a plugin: $(head -c 600 "$work/err")"
}

# ffprobe reads the whole file without an error and finds video and audio in it.
expect_playable() {
  local what=$1 file=$2
  [[ -s $file ]] || { fail "$what: $file is empty"; return; }
  local errors streams
  errors=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$file" 2>&1 >/dev/null)
  streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$file" 2>/dev/null | sort -u | tr '\n' ' ')
  [[ -z $errors ]] || fail "$what: ffprobe: $errors"
  [[ $streams == *audio*video* ]] || fail "$what: streams '$streams', expected audio and video"
}

tuned=(--frequency 11362 --symbol-rate 22000 --polarity H --diseqc B)

# list: the three simulated tuners, free.
run list
expect_status list 0
[[ $(grep -c '(simulated)  free$' "$work/out") -eq 3 ]] || fail "list: $(cat "$work/out")"
grep -q '^0  VLK Arden ' "$work/out" || fail "list: the first tuner is not index 0: $(cat "$work/out")"

# tune: the card's lock, with its figures; an empty sky position does not lock.
run tune "${tuned[@]}"
expect_status tune 0
grep -Eq '^locked, C/N [0-9.]+ dB, margin \+[0-9.]+ dB, DVB-S2 8PSK 2/3$' "$work/out" ||
  fail "tune: $(cat "$work/out")"
run tune --transponder '19.2E  Astra-1N:11464:H' --diseqc B --wait 5
expect_status 'tune from the satellite files' 0
run tune --frequency 11362 --symbol-rate 22000 --diseqc A --wait 2
expect_status 'tune through a port with nothing behind it' 1
grep -q '^not locked, ' "$work/out" || fail "tune without lock: $(cat "$work/out")"

# status: three JSON objects with lock true and C/N in dB, and the stream's health.
run status "${tuned[@]}" --json --stream --count 3 --interval 0.5
expect_status status 0
[[ $(wc -l <"$work/out") -eq 3 ]] || fail "status: $(cat "$work/out")"
python3 - "$work/out" <<'PY' || fail "status --json: $(cat "$work/out")"
import json, sys
for line in open(sys.argv[1]):
    reading = json.loads(line)
    assert reading["lock"] is True and isinstance(reading["cn_db"], float), reading
    assert reading["modcod"] == "DVB-S2 8PSK 2/3" and reading["level_dbm"] is None, reading
    assert reading["carrier"]["standard"] == "DVB-S2", reading
    assert not any(reading["stream"]["errors"].values()), reading
assert reading["stream"]["bit_rate"] > 40e6 and reading["stream"]["pids"] > 10, reading
PY

# record: 3 s of the stream, and one service into standard output; both play.
run record "${tuned[@]}" --output "$work/all.ts" --seconds 3
expect_status record 0
expect_playable record "$work/all.ts"
grep -q "^Recorded $(stat -c %s "$work/all.ts") bytes " "$work/err" ||
  fail "record does not tell the bytes the file holds: $(cat "$work/err")"
env -u DISPLAY timeout 60 "$program" record "${tuned[@]}" --output - --seconds 2 --service 25307 \
  >"$work/service.ts" 2>"$work/err"
status=$?
expect_status 'record --service to standard output' 0
expect_playable 'record --service' "$work/service.ts"
run record "${tuned[@]}" --output "$work/x.ts" --seconds 1 --service 4
expect_status 'record of a service the stream lacks' 2
grep -q 'carries no service 4; it carries 25301 Euro Kids' "$work/err" || fail "$(cat "$work/err")"
run record "${tuned[@]}" --output "$work/missing/x.ts" --seconds 1
expect_status 'record into a missing folder' 1
grep -q 'Cannot create the record file .*No such file or directory' "$work/err" || fail "$(cat "$work/err")"

# A reader that goes away, one that stops reading, a folder removed: the recording stops and
# says why, with exit status 1.
env -u DISPLAY timeout 60 "$program" record "${tuned[@]}" --output - --seconds 20 2>"$work/err" |
  head -c 100000 >/dev/null
status=${PIPESTATUS[0]}
expect_status 'record into a pipe whose reader went away' 1
env -u DISPLAY timeout 60 "$program" record "${tuned[@]}" --output - --seconds 2 2>"$work/err" |
  sleep 4
status=${PIPESTATUS[0]}
expect_status 'record into a pipe whose reader stopped reading' 1
grep -q 'the program reading - stopped reading: [1-9][0-9]* bytes were not written' "$work/err" ||
  fail "stalled reader: $(cat "$work/err")"
mkdir "$work/gone"
env -u DISPLAY "$program" record "${tuned[@]}" --output "$work/gone/x.ts" --seconds 20 2>"$work/err" &
recording=$!
sleep 1.5
rm -rf "$work/gone"
wait "$recording"
status=$?
expect_status 'record into a folder removed meanwhile' 1
grep -q 'was deleted during the recording' "$work/err" || fail "removed folder: $(cat "$work/err")"

# Two commands on two tuners at once, and a stop signal: each recording is whole.
env -u DISPLAY "$program" record "${tuned[@]}" --tuner 0 --output "$work/first.ts" --seconds 60 \
  2>"$work/first.err" &
first=$!
env -u DISPLAY "$program" record "${tuned[@]}" --tuner 2 --output "$work/second.ts" --seconds 3 \
  2>"$work/second.err"
status=$?
expect_status 'record on the second tuner beside the first' 0
kill -INT "$first"
wait "$first"
status=$?
expect_status 'record stopped by SIGINT' 0
for name in first second; do
  expect_playable "two at once: $name" "$work/$name.ts"
  grep -q "^Recorded $(stat -c %s "$work/$name.ts") bytes " "$work/$name.err" ||
    fail "two at once: $name: $(cat "$work/$name.err")"
done
grep -q 'stopped by a signal' "$work/first.err" || fail "SIGINT: $(cat "$work/first.err")"

# Network output: ffprobe, listening, receives the UDP and RTP datagrams of record --output, and
# reads the stream and a service from serve's HTTP server; each finds video and audio. ffplay
# plays the service from the server.
expect_probed() {
  local what=$1 probe=$2
  [[ ! -s $probe.err ]] || fail "$what: ffprobe: $(head -c 600 "$probe.err")"
  grep -q '^codec_type=video$' "$probe" && grep -q '^codec_type=audio$' "$probe" ||
    fail "$what: ffprobe found no video and audio: $(sort -u "$probe" | tr '\n' ' ')"
}
probe() {
  timeout 20 ffprobe -v error -show_entries stream=codec_type -of default=nw=1 "$1" \
    >"$work/$2" 2>"$work/$2.err"
}
# An even UDP port whose next one is free too (RTP's receiver takes port+1 for RTCP).
udp_port=$(python3 -c '
import socket
for port in range(20000 + 2 * (__import__("os").getpid() % 10000), 60000, 2):
    try:
        for p in (port, port + 1):
            socket.socket(socket.AF_INET, socket.SOCK_DGRAM).bind(("127.0.0.1", p))
        print(port)
        break
    except OSError:
        pass')
# UDP carries the whole stream: ffprobe ends a UDP input only when it has read enough of it,
# which one service's 3 s may not be. RTP carries one service.
for scheme in udp rtp; do
  probe "$scheme://127.0.0.1:$udp_port" "$scheme.probe" &
  prober=$!
  sleep 0.5
  service=()
  [[ $scheme == rtp ]] && service=(--service 25307)
  run record "${tuned[@]}" --output "$scheme://127.0.0.1:$udp_port" --seconds 3 "${service[@]}"
  expect_status "record --output $scheme://" 0
  grep -Eq "^Sent [1-9][0-9]* bytes .* to $scheme://127.0.0.1:$udp_port .*: [1-9][0-9]* datagrams, 0 dropped\.$" \
    "$work/err" || fail "record --output $scheme://: $(cat "$work/err")"
  wait "$prober" || fail "ffprobe $scheme://: exit status $?"
  expect_probed "record --output $scheme://" "$work/$scheme.probe"
done
run record "${tuned[@]}" --output udp://127.0.0.1 --seconds 1
expect_status 'record --output to an address without a port' 2

env -u DISPLAY "$program" serve "${tuned[@]}" --http 0 --seconds 60 2>"$work/serve.err" &
server=$!
for _ in $(seq 300); do
  grep -q '/service/25307  ' "$work/serve.err" 2>/dev/null && break
  sleep 0.1
done
stream_url=$(grep -o '^http://127\.0\.0\.1:[0-9]*/stream' "$work/serve.err")
service_url=$(grep -o '^http://127\.0\.0\.1:[0-9]*/service/25307' "$work/serve.err")
if [[ -n $stream_url && -n $service_url ]]; then
  probe "$stream_url" http.probe || fail "ffprobe $stream_url: exit status $?"
  expect_probed 'serve /stream' "$work/http.probe"
  probe "$service_url" service.probe || fail "ffprobe $service_url: exit status $?"
  expect_probed 'serve /service/25307' "$work/service.probe"
  # A player as well: ffplay, on SDL's offscreen video and dummy audio, shows the service's pictures
  # with no word but its status line (a second of analysis, not five, before it plays). A live
  # stream never ends, so the time-out ends it.
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 8 ffplay -v warning -stats -an \
    -analyzeduration 1000000 "$service_url" \
    >/dev/null 2>"$work/play.err" || true
  tr '\r' '\n' <"$work/play.err" | grep -v '^ *$' >"$work/play.lines"
  ! grep -v 'fd=.*aq=' "$work/play.lines" >"$work/play.words" ||
    fail "ffplay $service_url: $(head -c 600 "$work/play.words")"
  grep -Eq '^ *[1-9][0-9.]* M-V:' "$work/play.lines" ||
    fail "ffplay $service_url showed no second of pictures: $(tail -c 300 "$work/play.lines")"
else
  fail "serve printed no URLs: $(cat "$work/serve.err")"
fi
kill -TERM "$server"
wait "$server"
status=$?
expect_status 'serve stopped by SIGTERM' 0
grep -q '^Clients served: 3, dropped as too slow: 0; [1-9][0-9]* bytes .*, stopped by a signal\.$' \
  "$work/serve.err" || fail "serve: $(tail -3 "$work/serve.err")"
# A file of its own: the one above may still be read before this server's shell empties it.
env -u DISPLAY "$program" serve "${tuned[@]}" --http 0 --seconds 60 2>"$work/busy.err" &
server=$!
for _ in $(seq 300); do
  port=$(grep -o '^http://127\.0\.0\.1:[0-9]*' "$work/busy.err" 2>/dev/null | head -1 | cut -d: -f3)
  [[ -n $port ]] && break
  sleep 0.1
done
run serve "${tuned[@]}" --http "${port:-0}" --seconds 1
expect_status 'serve on a port in use' 1
grep -qx "vlk-tscap: Port $port is in use" "$work/err" || fail "port in use: $(cat "$work/err")"
kill -INT "$server"
wait "$server"

# scan: a satellite file of 30 transponders, each locked, as CSV on standard output.
run scan --diseqc B --satellite '19.2E  Astra-1N' --csv
expect_status scan 0
[[ $(grep -c ',yes,' "$work/out") -eq 30 ]] || fail "scan: $(head -5 "$work/out")"
head -1 "$work/out" | grep -q '^Frequency (MHz),Polarisation,' || fail "scan: no CSV header"
grep -q 'Scan finished in .* 30 of 30 transponders locked.' "$work/err" || fail "scan: $(tail -2 "$work/err")"
run scan --satellite 'Hot Bird'
expect_status 'scan of a satellite not listed' 2

# motor: the page's goto-angle message reaches the simulated motor; the page's refusals.
rm -f "$HOME/SimulatedCard.log"
run motor goto-satellite 19.2E --site 51.5,-0.1
expect_status 'motor goto-satellite' 0
grep -q 'diseqc E1 31 6E E1 50: motor goto angle 21.0000 deg east' "$HOME/SimulatedCard.log" ||
  fail "motor: $(grep diseqc "$HOME/SimulatedCard.log")"
run motor goto-satellite 19.2E --site 51.5,150
expect_status 'motor to a satellite below the horizon' 1
grep -qx 'vlk-tscap: Can not reach this satellite from your location!' "$work/err" || fail "$(cat "$work/err")"
run motor "${tuned[@]}" halt
expect_status 'motor behind another port' 1
grep -q 'did not reach the motor' "$work/err" || fail "$(cat "$work/err")"

# Bad input: one line on standard error, exit status 2; no tuner: 3.
run tune --frequency 5000 --symbol-rate 22000
expect_status 'a frequency out of range' 2
[[ $(wc -l <"$work/err") -eq 1 ]] || fail "more than one line: $(cat "$work/err")"
run tune "${tuned[@]}" --tuner 'No Such Tuner'
expect_status 'a tuner not listed' 2

for command in list tune status record serve scan motor; do
  run "$command" --help
  expect_status "$command --help" 0
  head -1 "$work/out" | grep -q "^Usage: vlk-tscap $command" || fail "$command --help: $(head -1 "$work/out")"
done

if [[ $failures -gt 0 ]]; then
  printf '%d failure(s)\n' "$failures" >&2
  exit 1
fi
echo "every subcommand passed"
