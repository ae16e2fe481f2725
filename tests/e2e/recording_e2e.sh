#!/usr/bin/env bash
# A 5-second recording from the simulated PCI-E card, driven by name through the accessibility
# interface: lock 11362 H 22000 (DVB-S2 8PSK 2/3 at 19.2 E, behind DiSEqC port B), check the
# carrier report, record with the time limit and check the file: whole transport stream packets,
# a size that matches the carrier's useful bit rate over the time the stream's own clock covers,
# and the services the card's model gives that transponder. Screenshots of the locked window and
# of "Capture Control" while recording are kept.
# Usage: recording_e2e.sh <program folder> <artefact folder>
source "$(dirname "$0")/e2e_lib.sh"
E2E_ARTEFACTS=$2
e2e_begin "$1"

e2e_prepare_settings

e2e_open_main_window
main=$E2E_MAIN
e2e_ui press "$main" "Lock TP"
e2e_ui wait-exact "$main" "LockStatus:" LOCKED
# The carrier report follows at the monitor's next poll.
e2e_ui wait-exact "$main" "IF:" 1612000
expect_field() {
  local got
  got=$(e2e_ui text "$main" "$1")
  [[ $got == "$2" ]] || e2e_fail "the carrier report shows \"$got\" in \"$1\", not \"$2\""
}
expect_field "Carrier SymbolRate:" 22000000
expect_field "DVBS1/S2:" DVB-S2
expect_field "Modulation Type:" 8PSK
expect_field "FEC:" 2/3
expect_field "StreamType:" TRANSPORT_STREAM
expect_field "FrameLength:" "Long Frame"
for field in Strength: Quality:; do
  value=$(e2e_ui text "$main" "$field")
  [[ $value =~ ^[0-9]+$ ]] && ((value >= 1 && value <= 100)) ||
    e2e_fail "\"$field\" shows \"$value\", not a level from 1 to 100"
done
pilots=$(e2e_ui text "$main" "Pilots:")
e2e_shot e2e-recording-locked

record="$E2E_DIR/record.ts"
e2e_ui page "$main" "Capture Control"
e2e_ui set-text "$main" "Store File Path:" "$record"
e2e_ui press "$main" "Use Time Limit"
e2e_ui set-text "$main" "Time limit" 5
started=$(date +%s.%N)
e2e_ui press "$main" "Start Record"
e2e_ui wait-text "$main" "Status:" "Recording..."
e2e_shot e2e-recording-capture-control
# The end of a recording is the status text itself; no message box follows.
e2e_ui wait-exact "$main" "Status:" "Record Stopped!"
seen_stopped=$(date +%s.%N)
[[ -s $record ]] || e2e_fail "no record file at $record"

# (a) Whole 188-byte packets, each with the sync byte.
/usr/bin/python3 - "$record" <<'PY' || e2e_fail "the record file is no clean transport stream"
import sys
data = open(sys.argv[1], "rb").read()
if len(data) % 188:
    sys.exit(f"{len(data)} bytes are no whole number of 188-byte packets")
bad = [i for i in range(0, len(data), 188) if data[i] != 0x47]
if bad:
    sys.exit(f"{len(bad)} of {len(data) // 188} packets lack the sync byte 0x47, the first at byte {bad[0]}")
PY

# (b) The size against the useful bit rate of DVB-S2 8PSK 2/3, normal frames, at 22000 kSps:
# Kbch 43040 less the 80-bit BBHEADER per PLFRAME of 240 slots of 90 symbols plus the header slot,
# and with pilots 14 blocks of 36 symbols. The time is the one the stream's own clock covers.
case $pilots in
  "Pilots On") pilot_symbols=$((36 * ((240 - 1) / 16))) ;;
  "Pilots Off") pilot_symbols=0 ;;
  *) e2e_fail "\"Pilots:\" shows \"$pilots\"" ;;
esac
# ffprobe also tries to decode the audio, whose payload is filler, and says so at length.
probe_log="$E2E_DIR/ffprobe.log"
duration=$(ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 "$record" 2>"$probe_log") ||
  e2e_fail "ffprobe cannot read the record file: $(tail -n 5 "$probe_log")"
size=$(stat -c %s "$record")
/usr/bin/python3 - "$duration" "$size" "$pilot_symbols" "$started" "$seen_stopped" <<'PY' \
  || e2e_fail "the recording's length or rate is off"
import sys
duration, size, pilot_symbols = float(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
watched = float(sys.argv[5]) - float(sys.argv[4])
rate = 22_000_000 * (43040 - 80) / (90 * (240 + 1) + pilot_symbols)
measured = size * 8 / duration
print(f"recorded {size} bytes over {duration:.3f} s: {measured / 1e6:.3f} Mbit/s, "
      f"the carrier's useful rate {rate / 1e6:.3f} Mbit/s; {watched:.1f} s from Start to the stop")
# 51 ticks of at least 100 ms each. A busy machine stretches the ticks, but the stream cannot
# cover more than the test watched from pressing Start to seeing the stop (give or take the last
# video frame, which the stream's clock counts whole).
if duration < 5.0:
    sys.exit(f"the stream covers {duration:.3f} s, less than the 5 s limit")
if duration > max(6.0, watched + 0.1):
    sys.exit(f"the stream covers {duration:.3f} s, more than 6 s and than the {watched:.1f} s watched")
# The stream's clock misses at most a frame or two at the ends (under 2 %); pilots off would give
# a rate 2.3 % higher.
if abs(measured / rate - 1) > 0.02:
    sys.exit(f"{measured:.0f} bit/s is more than 2 % from {rate:.0f} bit/s")
PY

# (c) The services the card's model gives the transponder: one per started 5 Mbit/s, program
# numbers n + 100 * (transport stream id % 655) with the id 11362 * 4 (horizontal), and names
# drawn from its two word lists by a SplitMix64 hash of the seed (1), the position (192 tenths
# east), the frequency in kHz, the polarisation (0) and the input stream (0) + 1.
programs=$(ffprobe -v error -show_entries program=program_id:program_tags=service_name,service_provider \
  -of compact "$record" 2>"$probe_log") || e2e_fail "ffprobe cannot read the record file: $(tail -n 5 "$probe_log")"
/usr/bin/python3 - "$pilot_symbols" "$programs" <<'PY' || e2e_fail "the services differ from the card's"
import sys
MASK = (1 << 64) - 1
def splitmix(x):
    x = (x + 0x9E3779B97F4A7C15) & MASK
    x = ((x ^ (x >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    x = ((x ^ (x >> 27)) * 0x94D049BB133111EB) & MASK
    return x ^ (x >> 31)
prefixes = ["Alpen", "Nord", "Sued", "Ost", "West", "Euro", "Sky", "Star", "Nova", "Delta", "Orion",
            "Atlas", "Luna", "Sol", "Polar", "Aurora", "Vega", "Sirius", "Terra", "Rhein", "Adria",
            "Baltic", "Iberia", "Helvet"]
suffixes = ["TV", "News", "Sport", "Kino", "Music", "Kids", "Doku", "Info", "Shop", "Life", "Travel",
            "Classic", "Plus", "24", "HD", "Eins"]
rate = round(22_000_000 * (43040 - 80) / (90 * (240 + 1) + int(sys.argv[1])))
count = min(max((rate + 4_999_999) // 5_000_000, 1), 12)
h = splitmix(1)
for value in (192, 11362000, 0, 0 + 1):
    h = splitmix(h ^ value)
expected, used = [], set()
for n in range(1, count + 1):
    while True:
        h = splitmix(h)
        prefix = prefixes[h % len(prefixes)]
        name = f"{prefix} {suffixes[(h >> 16) % len(suffixes)]}"
        if name not in used:
            break
    used.add(name)
    expected.append(f"program|program_id={n + 100 * (11362 * 4 % 655)}|tag:service_name={name}"
                    f"|tag:service_provider={prefix} Media")
# A program line: its own fields, then an empty section of its streams.
listed = sorted("|".join(["program"] + [f for f in line.split("|")[1:] if "=" in f])
                for line in sys.argv[2].splitlines() if line.startswith("program|"))
if listed != sorted(expected):
    sys.exit("ffprobe lists\n  " + "\n  ".join(listed) + "\nthe card gives\n  " + "\n  ".join(expected))
print(f"{count} services, as the card names them: " + ", ".join(sorted(used)))
PY

e2e_ui page "$main" "Motor/Positioner"
e2e_close_with Escape
echo "PASS: recorded 5 s of 11362 H 22000; screenshots in $E2E_ARTEFACTS"
