#!/usr/bin/env bash
# The Linux DVB backend against a real kernel driver: Debian's kernel boots under QEMU (TCG) with
# the kernel's virtual DVB driver vidtv, built out of tree from Debian's kernel source, and the
# program's own graph (tests/vidtv/vidtv_guest_test.cpp) tunes, locks, reads the signal and the
# carrier report, sends DiSEqC, records two seconds and checks the recording. Kernel probes record
# what reached vidtv's SEC calls; this script checks their order.
#
# Usage: tests/vidtv/run_vidtv_test.sh [BUILD_DIR]   (default: build; needs root for apt-get)
# Installs what it needs from Debian's packages (kernel image, headers and source of one version,
# the version apt offers now), so it runs on a fresh machine. Prints the time of each phase.
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
  "linux-source-6.1=$version" "linux-headers-$abi=$version" qemu-system-x86 busybox-static \
  gcc make libc6-dev kmod xz-utils cpio gzip >/dev/null
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get download -qq -o APT::Sandbox::User=root "linux-image-$abi-unsigned=$version")
dpkg-deb -x "$work"/linux-image-"$abi"-unsigned_*.deb "$work/image"
phase "packages installed"

# --- 2. vidtv, out of tree, against the headers of the same version. -------------------------
vidtv_path=linux-source-6.1/drivers/media/test-drivers/vidtv
tar -xf /usr/src/linux-source-6.1.tar.xz -C "$work" "$vidtv_path"
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
cmake --build "$build" --target vidtv_guest_test >/dev/null
program="$build/tests/vidtv_guest_test"
phase "test program built"

# --- 4. Kernel and initramfs. --------------------------------------------------------------------
vmlinuz="$work/image/boot/vmlinuz-$abi"
# The bzImage carries the kernel as an xz stream; an uncompressed ELF boots fastest.
offset=$({ grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" || true; } | sed -n '1{s/:.*//p;q}')
[[ -n "$offset" ]] || fail "no xz stream in $vmlinuz"
tail -c +$((offset + 1)) "$vmlinuz" >"$work/vmlinux.xz"
xz -dc --single-stream "$work/vmlinux.xz" >"$work/vmlinux"

initramfs="$work/initramfs"
mkdir -p "$initramfs"/{bin,dev,proc,sys,tmp,modules,opt/vlk}
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
cp "$program" "$initramfs/opt/vlk/"
cp "$root/src/drivers/linuxdvb/LinuxTuners.ini" "$initramfs/opt/vlk/"
# The shared libraries the program needs, at the paths the loader looks for.
ldd "$program" | grep -o '/[^ ]*' | sort -u | while read -r library; do
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
insmod /modules/dvb-vidtv-bridge.ko
for i in 1 2 3 4 5 6 7 8 9 10; do [ -e /dev/dvb/adapter0/frontend0 ] && break; sleep 0.2; done
ls /dev/dvb/adapter0
# What reaches vidtv's SEC calls (x86-64: the second argument is in %si).
T=/sys/kernel/tracing
echo 'p:vlk/tone vidtv_demod_set_tone tone=%si:u32' >>$T/kprobe_events
echo 'p:vlk/voltage vidtv_demod_set_voltage voltage=%si:u32' >>$T/kprobe_events
echo 'p:vlk/diseqc vidtv_send_diseqc_msg msg=+0(%si):x8[6] len=+6(%si):u8' >>$T/kprobe_events
echo 'p:vlk/tune vidtv_demod_set_frontend' >>$T/kprobe_events
echo 1 >$T/events/vlk/enable
echo 1 >$T/tracing_on
mkdir -p /tmp/home
HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config /opt/vlk/vidtv_guest_test
echo "GUEST-EXIT $?"
echo "TRACE-BEGIN"
grep -E ' (tone|voltage|diseqc|tune): ' $T/trace
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

# The probes in order, one word per call: tone off is 1, 18 V is 1 (SEC_TONE_OFF, SEC_VOLTAGE_18).
events=$(sed -n '/^TRACE-BEGIN$/,/^TRACE-END$/p' "$work/console.txt" | sed -n \
  -e 's/.* tone: ([^)]*) tone=\([0-9]*\).*/tone=\1/p' \
  -e 's/.* voltage: ([^)]*) voltage=\([0-9]*\).*/voltage=\1/p' \
  -e 's/.* diseqc: ([^)]*) msg={\([^}]*\)} len=\([0-9]*\).*/diseqc=\1\/\2/p' \
  -e 's/.* tune: .*/tune/p' | tr '\n' ' ')
echo "[vidtv] kernel probes: $events"
switch='diseqc=0xe0,0x10,0x38,0xf6,0x0,0x0/4'
positioner='diseqc=0xe0,0x31,0x6b,0x0,0x0,0x0/4'
first_tune="tone=1 voltage=1 $switch tone=1 tune"
[[ "$events" == "$first_tune "* ]] && r=ok || r=bad
check "first tune: tone off, 18 V, E0 10 38 F6, tone off (low band), then the tune" $r
[[ "$events" == *"$first_tune $positioner $first_tune "* ]] && r=ok || r=bad
check "positioner command at once; switch message replayed before the second tune" $r

phase "results checked"
echo "[vidtv] runtime $(($(date +%s) - started)) s"
if ((failures > 0)); then
  fail "$failures check(s) failed"
fi
echo "[vidtv] all checks passed"
