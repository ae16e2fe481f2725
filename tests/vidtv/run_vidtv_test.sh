#!/usr/bin/env bash
# The Linux DVB backend against a real kernel driver: Debian's kernel boots under QEMU (TCG) with
# the kernel's virtual DVB driver vidtv, built out of tree from Debian's kernel source, and the
# program's own graph (tests/vidtv/vidtv_guest_test.cpp) tunes, locks (low and high band, with and
# without a switch port), reads the signal and the carrier report, sends DiSEqC, records, meets
# other programs that hold the frontend or dvr, and overruns dvr's buffer; then the command line
# (vlk-tscap list, tune, record) on the same driver, and a tune of a frontend another program
# holds. Kernel probes record
# what reached vidtv's SEC calls, with times; this script checks their order and the DiSEqC bus
# gaps phase by phase (the guest marks each phase in the trace).
#
# Usage: tests/vidtv/run_vidtv_test.sh [BUILD_DIR]   (default: build; needs root for apt-get)
# Installs what it needs from Debian's packages (kernel headers of the version apt offers now, and
# the tools), and fetches the kernel image and source of that same version into its own folder
# without installing them, so it runs on a fresh machine and on one that has another
# linux-source-6.1 installed. Prints the time of each phase, the
# guest's phases included, and the measured gaps.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath -m "${1:-$root/build}")
work=$build/vidtv-work
started=$(date +%s)
phase_started=$started

phase() {
  local now
  now=$(date +%s)
  printf '[vidtv] %-44s %4ds (total %4ds)\n' "$1" $((now - phase_started)) $((now - started))
  phase_started=$now
}

fail() {
  printf '[vidtv] FAILED: %s\n' "$*" >&2
  exit 1
}

# --- 1. Packages: one kernel version for image, headers and source. -------------------------
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
abi=$(apt-cache depends linux-headers-amd64 | sed -n 's/^ *Depends: linux-headers-\(6\.1\.[0-9]*-[0-9]*-amd64\)$/\1/p;T;q')
[[ -n "$abi" ]] || fail "no 6.1 kernel headers in apt"
version=$(apt-cache policy "linux-headers-$abi" | sed -n 's/^ *Candidate: //p')
echo "[vidtv] kernel $abi, Debian version $version"
apt-get install -y -qq --no-install-recommends \
  "linux-headers-$abi=$version" qemu-system-x86 busybox-static \
  gcc make libc6-dev kmod xz-utils cpio gzip >/dev/null
rm -rf "$work"
mkdir -p "$work"
# linux-source-6.1 of the headers' version, fetched but not installed: a newer one installed on
# the machine stays, and apt is never asked to downgrade it.
(cd "$work" && apt-get download -qq -o APT::Sandbox::User=root \
  "linux-image-$abi-unsigned=$version" "linux-source-6.1=$version")
dpkg-deb -x "$work"/linux-image-"$abi"-unsigned_*.deb "$work/image"
dpkg-deb -x "$work"/linux-source-6.1_*.deb "$work/source-package"
phase "packages installed"

# --- 2. vidtv, out of tree, against the headers of the same version. -------------------------
vidtv_path=linux-source-6.1/drivers/media/test-drivers/vidtv
tar -xf "$work/source-package/usr/src/linux-source-6.1.tar.xz" -C "$work" "$vidtv_path"
vidtv="$work/$vidtv_path"
cat >"$vidtv/Kbuild" <<'EOF'
dvb-vidtv-tuner-objs := vidtv_tuner.o
dvb-vidtv-demod-objs := vidtv_demod.o
dvb-vidtv-bridge-objs := vidtv_bridge.o vidtv_common.o vidtv_ts.o vidtv_psi.o vidtv_pes.o vidtv_s302m.o vidtv_channel.o vidtv_mux.o
obj-m += dvb-vidtv-tuner.o dvb-vidtv-demod.o dvb-vidtv-bridge.o
EOF
rm -f "$vidtv/Makefile"
make -s -C "/lib/modules/$abi/build" M="$vidtv" modules >"$work/vidtv-build.log" 2>&1 ||
  { cat "$work/vidtv-build.log"; fail "vidtv does not build"; }
phase "vidtv built"

# --- 3. The test program, built by the project. ------------------------------------------------
[[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target vidtv_guest_test vlk-tscap >/dev/null
program="$build/tests/vidtv_guest_test"
command_line="$build/bin/vlk-tscap"
phase "test program built"

# --- 4. Kernel and initramfs. --------------------------------------------------------------------
vmlinuz="$work/image/boot/vmlinuz-$abi"
# The bzImage carries the kernel as an xz stream; an uncompressed ELF boots fastest.
offset=$({ grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" || true; } | sed -n '1{s/:.*//p;q}')
[[ -n "$offset" ]] || fail "no xz stream in $vmlinuz"
tail -c +$((offset + 1)) "$vmlinuz" >"$work/vmlinux.xz"
xz -dc --single-stream "$work/vmlinux.xz" >"$work/vmlinux"

initramfs="$work/initramfs"
mkdir -p "$initramfs"/{bin,dev,proc,sys,tmp,modules,opt/vlk/Transponders}
cp /bin/busybox "$initramfs/bin/busybox"
modules="$work/image/lib/modules/$abi/kernel/drivers/media"
for module in "$modules/mc/mc.ko" "$modules/dvb-core/dvb-core.ko"; do
  if [[ -f "$module" ]]; then
    cp "$module" "$initramfs/modules/"
  elif [[ -f "$module.xz" ]]; then
    xz -dc "$module.xz" >"$initramfs/modules/$(basename "$module")"
  else
    fail "module $module missing"
  fi
done
cp "$vidtv"/dvb-vidtv-{tuner,demod,bridge}.ko "$initramfs/modules/"
cp "$program" "$command_line" "$initramfs/opt/vlk/"
cp "$root/src/drivers/linuxdvb/LinuxTuners.ini" "$initramfs/opt/vlk/"
# The shared libraries the programs need, at the paths the loader looks for.
ldd "$program" "$command_line" | grep -o '/[^ ]*' | grep -v ':$' | sort -u | while read -r library; do
  mkdir -p "$initramfs$(dirname "$library")"
  cp -L "$library" "$initramfs$library"
done
cat >"$initramfs/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mount -t tracefs tracefs /sys/kernel/tracing
echo "GUEST booted: $(uname -r)"
insmod /modules/mc.ko
insmod /modules/dvb-core.ko
insmod /modules/dvb-vidtv-tuner.ko
insmod /modules/dvb-vidtv-demod.ko
# 12188000 kHz: a high-band carrier (IF 1588000 kHz) beside the default low-band one.
insmod /modules/dvb-vidtv-bridge.ko vidtv_valid_dvb_s_freqs=11362000,12188000
for i in 1 2 3 4 5 6 7 8 9 10; do [ -e /dev/dvb/adapter0/frontend0 ] && break; sleep 0.2; done
ls /dev/dvb/adapter0
# What reaches vidtv's SEC calls (x86-64: the second argument is in %si).
T=/sys/kernel/tracing
echo 'p:vlk/tone vidtv_demod_set_tone tone=%si:u32' >>$T/kprobe_events
echo 'p:vlk/voltage vidtv_demod_set_voltage voltage=%si:u32' >>$T/kprobe_events
echo 'p:vlk/diseqc vidtv_send_diseqc_msg msg=+0(%si):x8[6] len=+6(%si):u8' >>$T/kprobe_events
echo 'p:vlk/tune vidtv_demod_set_frontend' >>$T/kprobe_events
# Every attempt to open the frontend, refused ones too.
echo 'p:vlk/feopen dvb_frontend_open' >>$T/kprobe_events
# CLOCK_MONOTONIC, as the guest's MARK lines.
echo mono >$T/trace_clock
echo 1 >$T/events/vlk/enable
# The refused write of a full dvr buffer (EOVERFLOW), in a trace instance of its own that the
# guest reads while it stalls a recording; off in the main one (every packet's write).
echo 'r:vlk/dvrfull dvb_dmxdev_buffer_write ret=$retval:s32' >>$T/kprobe_events
echo 0 >$T/events/vlk/dvrfull/enable
mkdir $T/instances/dvr
echo mono >$T/instances/dvr/trace_clock
echo 'ret == -75' >$T/instances/dvr/events/vlk/dvrfull/filter
echo 1 >$T/instances/dvr/events/vlk/dvrfull/enable
echo 1 >$T/tracing_on
mkdir -p /tmp/home
HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config /opt/vlk/vidtv_guest_test
echo "GUEST-EXIT $?"
# The command line on the same driver: list, tune, record; then a tune while another program
# holds the frontend.
export HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config
echo "command line" >$T/trace_marker
V=/opt/vlk/vlk-tscap
carrier="--diseqc B --frequency 11362 --symbol-rate 27500 --polarity H"
$V list 2>&1 | sed 's/^/CLI-LIST /'
$V tune $carrier 2>&1 | sed 's/^/CLI-TUNE /'
$V tune $carrier >/dev/null 2>&1; echo "CLI-TUNE-EXIT $?"
$V record $carrier --output /tmp/cli.ts --seconds 3 2>&1 | sed 's/^/CLI-RECORD /'
bytes=$(wc -c </tmp/cli.ts)
syncs=0
for packet in 0 1 100 1000; do
  [ "$(dd if=/tmp/cli.ts bs=188 skip=$packet count=1 2>/dev/null | head -c 1 | od -An -tx1 | tr -d ' ')" = 47 ] && syncs=$((syncs + 1))
done
echo "CLI-RECORDED $bytes bytes, $((bytes % 188)) over whole packets, $syncs of 4 sync bytes"
sleep 30 </dev/dvb/adapter0/frontend0 &
holder=$!
sleep 0.5
$V tune $carrier 2>&1 | sed 's/^/CLI-BUSY /'
$V tune $carrier >/dev/null 2>&1; echo "CLI-BUSY-EXIT $?"
kill $holder
echo "TRACE-BEGIN"
grep -E ' (tone|voltage|diseqc|tune|feopen|tracing_mark_write): ' $T/trace
echo "TRACE-END"
poweroff -f
EOF
chmod +x "$initramfs/init"
(cd "$initramfs" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initrd.gz"
phase "kernel and initramfs ready"

# --- 5. Boot. --------------------------------------------------------------------------------------
console="$work/console.log"
timeout 900 qemu-system-x86_64 -accel tcg -cpu max -smp 2 -m 1024 -display none -monitor none \
  -serial "file:$console" -no-reboot -nic none -kernel "$work/vmlinux" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet loglevel=4 panic=-1" </dev/null || fail "QEMU did not end cleanly"
phase "guest ran"
tr -d '\r' <"$console" >"$work/console.txt"
cat "$work/console.txt"

# --- 6. Results. ---------------------------------------------------------------------------------
failures=0
check() {
  if [[ "$2" == ok ]]; then echo "[vidtv] PASS $1"; else echo "[vidtv] FAIL $1"; failures=$((failures + 1)); fi
}
grep -q '^GUEST-EXIT 0$' "$work/console.txt" && r=ok || r=bad
check "guest program exit status 0" $r
grep -q '^vidtv: [1-9][0-9]* passed, 0 failed$' "$work/console.txt" && r=ok || r=bad
check "guest program checks" $r
grep -Eq '^CLI-LIST 0  .*\(Linux DVB\)  free$' "$work/console.txt" && r=ok || r=bad
check "vlk-tscap list names the vidtv frontend, free" $r
grep -Eq '^CLI-TUNE locked, C/N ' "$work/console.txt" && grep -q '^CLI-TUNE-EXIT 0$' "$work/console.txt" && r=ok || r=bad
check "vlk-tscap tune locks, exit status 0" $r
grep -Eq '^CLI-RECORDED [1-9][0-9]* bytes, 0 over whole packets, 4 of 4 sync bytes$' "$work/console.txt" &&
  grep -Eq '^CLI-RECORD Recorded [1-9][0-9]* bytes' "$work/console.txt" && r=ok || r=bad
check "vlk-tscap record writes whole transport packets" $r
grep -Eq '^CLI-BUSY vlk-tscap: The tuner ".*" is in use by another program: sleep \(process [0-9]+\)' "$work/console.txt" &&
  grep -q '^CLI-BUSY-EXIT 3$' "$work/console.txt" && r=ok || r=bad
check "vlk-tscap tune of a held tuner names the holder, exit status 3" $r

# The guest's phases, timed by the guest.
sed -n 's/^PHASE \(.*\) \([0-9.]*\)$/[vidtv]   guest phase: \1 \2 s/p' "$work/console.txt"

# The probes as "<seconds> <event>", the guest's phase marks as "<seconds> mark <label>". Tone
# off is 1, 18 V is 1, the LNB unpowered is 2 (SEC_TONE_OFF, SEC_VOLTAGE_18, SEC_VOLTAGE_OFF).
sed -n '/^TRACE-BEGIN$/,/^TRACE-END$/p' "$work/console.txt" | sed -n -E \
  -e 's/^.* ([0-9]+\.[0-9]+): (tone|voltage): \([^)]*\) [a-z]+=([0-9]+).*$/\1 \2=\3/p' \
  -e 's/^.* ([0-9]+\.[0-9]+): diseqc: \([^)]*\) msg=\{([^}]*)\} len=([0-9]+).*$/\1 diseqc=\2\/\3/p' \
  -e 's/^.* ([0-9]+\.[0-9]+): (tune|feopen): .*$/\1 \2/p' \
  -e 's/^.* ([0-9]+\.[0-9]+): tracing_mark_write: (.*)$/\1 mark \2/p' >"$work/events.txt"
switch_low='diseqc=0xe0,0x10,0x38,0xf6,0x0,0x0/4'
switch_high='diseqc=0xe0,0x10,0x38,0xf7,0x0,0x0/4'
positioner='diseqc=0xe0,0x31,0x6b,0x0,0x0,0x0/4'
# What each phase must send, in order (repeated tunes of the kernel's search count once). Each
# Lock TP with a port sends its switch message once, the one with "Diseqc NULL" none, and one
# whose frontend another program holds nothing at all.
cat >"$work/expected.txt" <<EOF
locktp first	tone=1 voltage=1 $switch_low tone=1 tune
locktp high	tone=1 voltage=1 $switch_high tone=0 tune
positioner	tone=1 voltage=1 $positioner voltage=1 tone=0
locktp null	tone=1 voltage=1 tone=1 tune
record	
locktp wrong	tone=1 voltage=1 $switch_low tone=1 tune
locktp busy	
busy-poll	
locktp after-busy	tone=1 voltage=1 $switch_low tone=1 tune
record busy	
record overrun	
command line	tone=1 voltage=1 $switch_low tone=1 tune tone=1 voltage=1 $switch_low tone=1 tune tone=1 voltage=1 $switch_low tone=1 tune
EOF
awk -F'\t' -v quiet_ms=15 -v powerup_ms=150 '
  FNR == NR { expected[$1] = $2; messages += gsub(/diseqc=/, "&", $2); next }
  function verdict(ok, text) { printf "CHECK\t%s\t%s\n", ok ? "ok" : "bad", text }
  {
    split($0, word, " ")
    t = word[1]; ev = word[2]
    if (ev == "mark") {
      seg = substr($0, index($0, " mark ") + 6); order[++segments] = seg
      tone_before[seg] = tone; voltage_before[seg] = voltage; messages_in[seg] = 0
      next
    }
    # The kernel powers the LNB off (SEC_VOLTAGE_OFF) when the last writer closes the frontend,
    # which only these phases do (each command of the command line ends so); anywhere else it
    # counts as sent.
    if (ev == "voltage=2" && (seg == "release" || seg == "busy-end" || seg == "end" || seg == "command line")) next
    if (ev == "feopen") { opens[seg]++; next }
    if (ev == "tune" && last[seg] == "tune") next
    sequence[seg] = sequence[seg] (sequence[seg] == "" ? "" : " ") ev; last[seg] = ev
    if (ev ~ /^voltage=/) { voltage = ev; voltage_at = t; voltage_after[seg] = ev }
    if (ev ~ /^tone=/) {
      if (pending != "") {
        gaps[++ngaps] = sprintf("%s\t%s\t%.1f\t%.1f\t%s\t%d", pending_seg, pending, pending_vm, (t - pending_at) * 1000, pending_tone, pending_first)
        pending = ""
      }
      tone = ev; tone_after[seg] = ev
    }
    if (ev ~ /^diseqc=/) {
      if (pending != "") gaps[++ngaps] = sprintf("%s\t%s\t%.1f\t-1\t%s\t%d", pending_seg, pending, pending_vm, pending_tone, pending_first)
      pending = ev; pending_at = t; pending_vm = (t - voltage_at) * 1000; pending_tone = tone
      pending_seg = seg; pending_first = (messages_in[seg]++ == 0)
    }
  }
  END {
    if (pending != "") gaps[++ngaps] = sprintf("%s\t%s\t%.1f\t-1\t%s\t%d", pending_seg, pending, pending_vm, pending_tone, pending_first)
    for (i = 1; i <= segments; i++) {
      seg = order[i]; printf "SEQUENCE\t%s\t%s\n", seg, sequence[seg]
      if (seg in expected) verdict(sequence[seg] == expected[seg], "phase \"" seg "\" sent: " (expected[seg] == "" ? "nothing" : expected[seg]))
      else if (sequence[seg] ~ /diseqc/) verdict(0, "phase \"" seg "\" sent no DiSEqC message")
    }
    quiet = 1; off = 1; cold = 1; colds = 0
    for (i = 1; i <= ngaps; i++) {
      split(gaps[i], g, "\t")
      printf "GAP\t%s\t%s\tvoltage->message %s ms\tmessage->tone %s ms\ttone before message %s\n", g[1], g[2], g[3], g[4], g[5]
      if (g[3] + 0 < quiet_ms || g[4] + 0 < quiet_ms) quiet = 0
      if (g[5] != "tone=1") off = 0
      if ((g[1] == "locktp first" || g[1] == "locktp after-busy") && g[6] == 1) { colds++; if (g[3] + 0 < powerup_ms) cold = 0 }
    }
    verdict(ngaps == messages && quiet, ngaps " DiSEqC messages, each " quiet_ms " ms or more after the voltage and before the next tone")
    verdict(ngaps == messages && off, "the tone was off (1) at every DiSEqC message")
    verdict(colds == 2 && cold, "at least " powerup_ms " ms of power-up before the first message after the frontend was opened")
    verdict(sequence["locktp null"] ~ /tune/ && sequence["locktp null"] !~ /diseqc/, "Diseqc NULL: a tune, no DiSEqC message")
    verdict(tone_before["positioner"] == "tone=0" && tone_after["positioner"] == tone_before["positioner"] && voltage_after["positioner"] == voltage_before["positioner"], \
      "positioner command: tone and voltage restored (before " tone_before["positioner"] " " voltage_before["positioner"] ", after " tone_after["positioner"] " " voltage_after["positioner"] ")")
    verdict(tone_after["locktp high"] == "tone=0", "high band: tuned with the tone on (0)")
    verdict(opens["busy-poll"] == 1, "busy frontend: " opens["busy-poll"] + 0 " open attempt(s) in 3.5 s of polls (at most one per 3 s)")
  }' "$work/expected.txt" "$work/events.txt" >"$work/analysis.txt"
sed -n 's/^SEQUENCE\t\(.*\)\t\(.*\)$/[vidtv] probes in "\1": \2/p' "$work/analysis.txt"
sed -n 's/^GAP\t/[vidtv] gap: /p' "$work/analysis.txt" | tr '\t' ' '
[[ -s "$work/events.txt" ]] && r=ok || r=bad
check "kernel probes recorded" $r
while IFS=$'\t' read -r kind verdict text; do
  [[ "$kind" == CHECK ]] && check "$text" "$verdict"
done <"$work/analysis.txt"

phase "results checked"
echo "[vidtv] runtime $(($(date +%s) - started)) s"
if ((failures > 0)); then
  fail "$failures check(s) failed"
fi
echo "[vidtv] all checks passed"
