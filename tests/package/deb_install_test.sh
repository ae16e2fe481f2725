#!/usr/bin/env bash
# The Debian package of the build, on this machine: it installs into /usr, the installed program
# states its package's version, names /usr/share/vlk-tscap as its data folder and opens its device
# list (run as an unprivileged user with a home of its own), and `dpkg -r` then `dpkg -P` leave
# /usr, /etc, /opt and /srv as they were, with nothing named after the program anywhere under
# /var outside dpkg's own database.
# Needs root, as dpkg does. Refuses to run where a package of that name, or a file it would
# install, is already there, and always purges what it installed, so a developer's own
# installation is never touched.
# Usage: deb_install_test.sh <build folder>
source "$(dirname "$0")/../e2e/e2e_lib.sh"
package=vlk-tscap
test_start=$(date +%s%N)

# elapsed <since>: seconds since a date +%s%N reading, to a tenth.
elapsed() {
  awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'
}

[[ $(id -u) == 0 ]] || e2e_fail "this test installs and removes a Debian package and needs root" \
  "(CI runs as root): run it as root on a machine that may be changed"
for tool in dpkg dpkg-deb dpkg-query cpack setpriv; do
  command -v "$tool" >/dev/null || e2e_fail "$tool not found"
done
# Runs from other build folders of this machine wait for each other instead of finding each
# other's package installed.
exec 9>/run/lock/vlk-tscap-deb-install-test.lock
flock -w 100 9 || e2e_fail "another run of this test held its lock for 100 s"
build=$(cd "$1" && pwd)
E2E_ARTEFACTS=$build
# desired/status/error of the package; "not-installed" (second letter n) is the only state
# this test may start from.
state=$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null || true)
[[ -z $state || ${state:1:1} == n ]] ||
  e2e_fail "a package $package is already on this machine (dpkg state \"$state\"): the test" \
    "refuses to replace or remove it"

e2e_begin ""
installed=0
# Purges only a package that this run installed (its absence was checked above).
cleanup() {
  local status=$?
  e2e_end
  if ((installed)); then
    dpkg -P "$package" >/dev/null 2>&1 || echo "WARNING: dpkg -P $package failed; remove it by hand" >&2
  fi
  return $status
}
trap cleanup EXIT
work="$E2E_DIR/package"
mkdir -p "$work"

# --- The package: its name, its version, and every file under /usr.
step_start=$(date +%s%N)
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  e2e_fail "cpack failed: $(tail -n 30 "$work/cpack.log")"
cpack_time=$(elapsed "$step_start")
mapfile -t debs < <(find "$work/cpack" -maxdepth 1 -name '*.deb')
((${#debs[@]} == 1)) || e2e_fail "cpack made ${#debs[@]} .deb files: ${debs[*]}"
deb=${debs[0]}
[[ $(dpkg-deb -f "$deb" Package) == "$package" ]] || e2e_fail "the package is called $(dpkg-deb -f "$deb" Package)"
version=$(dpkg-deb -f "$deb" Version)
architecture=$(dpkg --print-architecture)
[[ ${deb##*/} == "${package}_${version}_${architecture}.deb" ]] ||
  e2e_fail "the package file is ${deb##*/}, not ${package}_${version}_${architecture}.deb"
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//; s/ -> .*//; s|^\./|/|' >"$work/contents.txt"
outside=$(grep -v -e '^/$' -e '^/usr/' "$work/contents.txt" || true)
[[ -z $outside ]] || e2e_fail "the package installs outside /usr: $outside"
# A file of this machine in the package's way would be overwritten by dpkg -i and then deleted by
# dpkg -r (dpkg does not refuse files that no package owns).
while IFS= read -r path; do
  [[ $path == */ ]] && continue
  [[ ! -e $path && ! -L $path ]] || e2e_fail "$path is already on this machine: the test refuses to overwrite it"
done <"$work/contents.txt"

# Missing dependencies come first, so that the snapshot holds them and only the package itself is
# compared. On the machine that built the package there are none.
missing=$(apt-get install -s --no-install-recommends "$deb" 2>/dev/null |
  awk '$1 == "Inst" && $2 != "'"$package"'" { print $2 }' || true)
if [[ -n $missing ]]; then
  echo "installing the package's missing dependencies: $missing"
  # shellcheck disable=SC2086  # one word per package
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing >"$work/apt.log" 2>&1 ||
    e2e_fail "apt-get could not install $missing: $(tail -n 20 "$work/apt.log")"
fi

# dpkg's file triggers: installing or removing a file below such a folder makes the interested
# package rewrite its cache there (icon-theme.cache, mimeinfo.cache), with new times and possibly
# the same bytes. The files directly in the trigger folders that the package touches are therefore
# compared by content.
trigger_folders=()
while read -r folder _; do
  grep -q "^$folder/" "$work/contents.txt" && trigger_folders+=("$folder")
done </var/lib/dpkg/triggers/File

# snapshot: every entry of /usr, /etc, /opt and /srv with type, mode, owner and link target, for
# files size and time (a folder's own time changes with any entry made in it: left out), for the
# trigger folders' files size and checksum; then every name under /var that mentions the
# program, dpkg's database aside.
snapshot() {
  local by_content=(-false) folder
  for folder in "${trigger_folders[@]}"; do
    by_content+=(-o \( -path "$folder/*" ! -path "$folder/*/*" \))
  done
  find /usr /etc /opt /srv -xdev \( -type d -printf 'd %m %U:%G %p\n' \) -o \
    \( -type f \( "${by_content[@]}" \) -printf 'f %m %U:%G %s %p\n' \) -o \
    -printf '%y %m %U:%G %s %T@ %p %l\n' 2>/dev/null | LC_ALL=C sort
  for folder in "${trigger_folders[@]}"; do
    find "$folder" -maxdepth 1 -type f -exec sha256sum {} + | LC_ALL=C sort -k 2
  done
  find /var -xdev -path /var/lib/dpkg -prune -o -iname '*vlk*' -printf 'var %p\n' 2>/dev/null |
    LC_ALL=C sort
}
step_start=$(date +%s%N)
snapshot >"$work/before.txt"
snapshot_time=$(elapsed "$step_start")

# --- Installed: the files, the command line, the window.
step_start=$(date +%s%N)
installed=1
dpkg -i "$deb" >"$work/dpkg-install.log" 2>&1 || e2e_fail "dpkg -i failed: $(cat "$work/dpkg-install.log")"
[[ $(dpkg-query -W -f='${db:Status-Abbrev}' "$package") == "ii " ]] ||
  e2e_fail "after dpkg -i the package is in state \"$(dpkg-query -W -f='${db:Status-Abbrev}' "$package")\""
dpkg -L "$package" | LC_ALL=C sort >"$work/installed-files.txt"
[[ -x /usr/bin/vlk-tscap ]] || e2e_fail "/usr/bin/vlk-tscap is not there after dpkg -i"

E2E_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
chmod o+x "$E2E_DIR"
chown -R nobody:nogroup "$HOME" "$XDG_RUNTIME_DIR"
# The command line needs no display.
version_text=$(env -u DISPLAY "${E2E_AS[@]}" /usr/bin/vlk-tscap --version 2>&1) ||
  e2e_fail "vlk-tscap --version failed: $version_text"
[[ $version_text == "vlk-tscap ${version%%-*}" ]] ||
  e2e_fail "vlk-tscap --version says \"$version_text\", the package's version is $version"
help_text=$(env -u DISPLAY "${E2E_AS[@]}" /usr/bin/vlk-tscap --help 2>&1) ||
  e2e_fail "vlk-tscap --help failed: $help_text"
grep -q "^Usage: vlk-tscap" <<<"$help_text" || e2e_fail "vlk-tscap --help shows no usage: $help_text"
grep -qxF "  data folder: /usr/share/vlk-tscap" <<<"$help_text" ||
  e2e_fail "the installed program does not name /usr/share/vlk-tscap as its data folder: $help_text"

# The desktop's launcher: the entry's command is on the PATH, its icon in the theme.
mapfile -t entries < <(grep '^/usr/share/applications/.*\.desktop$' "$work/installed-files.txt")
((${#entries[@]} == 1)) || e2e_fail "the package has ${#entries[@]} desktop entries"
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "${entries[0]}")
[[ $(command -v "$command") == /usr/bin/vlk-tscap ]] ||
  e2e_fail "the desktop entry starts \"$command\", which is not /usr/bin/vlk-tscap"
icon=$(sed -n 's/^Icon=//p' "${entries[0]}")
grep -qE "^/usr/share/icons/hicolor/[^/]+/apps/$icon\.(png|svg)$" "$work/installed-files.txt" ||
  e2e_fail "no icon \"$icon\" of the desktop entry in the package"

E2E_PROGRAM=/usr/bin/vlk-tscap
e2e_start
e2e_wait_window "VLK Record : Select device"
e2e_shot e2e-package-device-list
e2e_close_with Escape
installed_time=$(elapsed "$step_start")

# --- Removed and purged: nothing left.
step_start=$(date +%s%N)
dpkg -r "$package" >"$work/dpkg-remove.log" 2>&1 || e2e_fail "dpkg -r failed: $(cat "$work/dpkg-remove.log")"
[[ ! -e /usr/bin/vlk-tscap ]] || e2e_fail "/usr/bin/vlk-tscap is still there after dpkg -r"
dpkg -P "$package" >"$work/dpkg-purge.log" 2>&1 || e2e_fail "dpkg -P failed: $(cat "$work/dpkg-purge.log")"
installed=0
state=$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null || true)
[[ -z $state || ${state:1:1} == n ]] || e2e_fail "after dpkg -P the package is in state \"$state\""
snapshot >"$work/after.txt"
changes=$(diff "$work/before.txt" "$work/after.txt" || true)
[[ -z $changes ]] || e2e_fail "install and removal changed the system: $(head -n 40 <<<"$changes")"
removed_time=$(elapsed "$step_start")

echo "the package ${deb##*/} installed these files:"
grep -v -e '/$' -e '^/usr/share/vlk-tscap/Transponders/' "$work/contents.txt" | sed 's/^/  /'
echo "  /usr/share/vlk-tscap/Transponders/: $(grep -c '^/usr/share/vlk-tscap/Transponders/.*[^/]$' "$work/contents.txt") satellite files"
echo "times: cpack ${cpack_time} s, snapshot ${snapshot_time} s, install and run ${installed_time} s," \
  "removal and comparison ${removed_time} s, whole test $(elapsed "$test_start") s"
echo "PASS: $package $version installed, ran as nobody and left nothing behind"
