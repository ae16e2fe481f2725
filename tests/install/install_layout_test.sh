#!/usr/bin/env bash
# install_layout_test.sh CMAKE BUILD_DIR PROGRAM_DIR SOURCE_DIR APP_ID VERSION
# Installs the build into a scratch root (DESTDIR) under a prefix, then checks the layout that
# cmake/Install.cmake promises: every file there, nothing outside the prefix and nothing extra
# (tests, benchmarks), the desktop entry and the AppStream metadata valid by the distribution's
# own validators, the icons at their sizes, the manual page clean, and the installed program
# finding its data in share/vlk-tscap.
set -uo pipefail

cmake=$1 build=$2 program_dir=$3 source=$4 id=$5 version=$6

for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream groff:groff-base; do
  if ! command -v "${tool%%:*}" >/dev/null; then
    printf 'FAIL: %s not found: install the Debian package %s (apt-get install %s)\n' \
      "${tool%%:*}" "${tool#*:}" "${tool#*:}" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
prefix=/opt/vlk-tscap-check
p=$root$prefix

if ! DESTDIR=$root "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  printf 'FAIL: cmake --install failed\n' >&2
  exit 1
fi

failures=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failures=$((failures + 1))
}

# --- Everything under the prefix, and only what belongs there.
while IFS= read -r -d '' path; do
  [[ "$path" == "$p/"* ]] || fail "installed outside the prefix: ${path#"$root"}"
done < <(find "$root" -mindepth 1 \( -type f -o -type l \) -print0)

list_of() { (cd "$1" 2>/dev/null && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' '); }
[[ "$(list_of "$p")" == 'bin share ' ]] || fail "prefix holds: $(list_of "$p")"
[[ "$(list_of "$p/bin")" == 'vlk-tscap ' ]] || fail "bin/ holds: $(list_of "$p/bin")"
[[ "$(list_of "$p/share")" == 'applications bash-completion icons man metainfo vlk-tscap ' ]] ||
  fail "share/ holds: $(list_of "$p/share")"

# --- The program and its data folder.
[[ -f "$p/bin/vlk-tscap" && -x "$p/bin/vlk-tscap" ]] || fail 'bin/vlk-tscap missing or not executable'
data=$(cd "$p/share/vlk-tscap" 2>/dev/null && pwd -P)
data=${data:-$p/share/vlk-tscap}
for name in CityList.txt LinuxTuners.ini Vantor-recorder.chm; do
  cmp -s "$program_dir/$name" "$data/$name" || fail "share/vlk-tscap/$name differs from the build's"
done
cmp -s "$source/data/CityList.ATTRIBUTION.md" "$data/CityList.ATTRIBUTION.md" ||
  fail 'share/vlk-tscap/CityList.ATTRIBUTION.md missing or different'
built=$(find "$program_dir/Transponders" -name '*.ini' | wc -l)
installed=$(find "$data/Transponders" -name '*.ini' 2>/dev/null | wc -l)
[[ $built -gt 0 && $installed -eq $built ]] ||
  fail "share/vlk-tscap/Transponders holds $installed satellite files, the build $built"
for page in "$source"/docs/help/*.html "$source"/docs/help/*.css; do
  cmp -s "$page" "$data/help/${page##*/}" || fail "share/vlk-tscap/help/${page##*/} missing or different"
done

# --- Desktop entry and AppStream metadata.
desktop=$p/share/applications/$id.desktop
metainfo=$p/share/metainfo/$id.metainfo.xml
if [[ -f "$desktop" ]]; then
  desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || fail "desktop-file-validate: $(cat "$work/desktop.log")"
  # Hints are not errors, but each one is a category or key the entry could state better.
  [[ ! -s "$work/desktop.log" ]] || fail "desktop-file-validate says: $(cat "$work/desktop.log")"
  grep -qx 'Exec=vlk-tscap' "$desktop" || fail 'the desktop entry does not start vlk-tscap'
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
  grep -qx 'Name=VLK-TScap' "$desktop" || fail 'the desktop entry is not named VLK-TScap'
else
  fail "share/applications/$id.desktop missing"
fi
if [[ -f "$metainfo" ]]; then
  appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
  for element in "<id>$id</id>" '<name>VLK-TScap</name>' '<component type="desktop-application">' \
    "<launchable type=\"desktop-id\">$id.desktop</launchable>" '<binary>vlk-tscap</binary>' \
    '<category>AudioVideo</category>' '<category>TV</category>' '<content_rating type="oars-1.1"'; do
    grep -qF "$element" "$metainfo" || fail "the metainfo lacks $element"
  done
else
  fail "share/metainfo/$id.metainfo.xml missing"
fi

# --- Icons: a PNG of each size the theme looks up, and the drawing itself.
png_size() {  # prints WIDTHxHEIGHT of a PNG file, or nothing
  local bytes
  read -r -a bytes < <(od -An -tu1 -N24 "$1" 2>/dev/null | tr '\n' ' ')
  [[ ${#bytes[@]} -eq 24 && "${bytes[*]:0:8}" == '137 80 78 71 13 10 26 10' ]] || return
  printf '%dx%d' $(((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19])) \
    $(((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23]))
}
for size in 16 32 48 64 128 256; do
  icon=$p/share/icons/hicolor/${size}x${size}/apps/$id.png
  actual=$(png_size "$icon")
  [[ "$actual" == "${size}x${size}" ]] || fail "icon ${size}x${size}: '${actual:-not a PNG file}'"
done
cmp -s "$source/res/icon_128.svg" "$p/share/icons/hicolor/scalable/apps/$id.svg" ||
  fail "share/icons/hicolor/scalable/apps/$id.svg missing or different"

# --- Manual page: renders without a warning, has its sections and this version.
man=$p/share/man/man1/vlk-tscap.1
if [[ -f "$man" ]]; then
  groff -man -Tutf8 -ww -z "$man" >"$work/man.log" 2>&1
  [[ ! -s "$work/man.log" ]] || fail "groff warns on the manual page: $(cat "$work/man.log")"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES; do
    grep -qx "\.SH $section" "$man" || fail "the manual page has no $section section"
  done
  grep -qF "\"vlk-tscap $version\"" "$man" || fail "the manual page does not state version $version"
else
  fail 'share/man/man1/vlk-tscap.1 missing'
fi

# --- Bash completes the subcommands and their options from the installed completion.
completion=$p/share/bash-completion/completions/vlk-tscap
if [[ -f "$completion" ]]; then
  words=$(bash -c 'source "$1"; COMP_WORDS=(vlk-tscap rec); COMP_CWORD=1; _vlk_tscap
    printf "%s " "${COMPREPLY[@]}"; COMP_WORDS=(vlk-tscap record --ser); COMP_CWORD=2; _vlk_tscap
    printf "%s " "${COMPREPLY[@]}"' _ "$completion" 2>&1)
  [[ "$words" == 'record --service ' ]] || fail "bash completion offers '$words'"
else
  fail 'share/bash-completion/completions/vlk-tscap missing'
fi
for section in SUBCOMMANDS 'EXIT STATUS'; do
  grep -qx "\.SH $section" "$man" || fail "the manual page has no $section section"
done

# --- The installed program finds its data beside bin/, in share/vlk-tscap.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 30 "$p/bin/vlk-tscap" --help 2>&1)
grep -qxF "  data folder: $data" <<<"$help" ||
  fail "the installed program does not name $data as its data folder: $(head -c 600 <<<"$help")"

if [[ $failures -ne 0 ]]; then
  printf '%d check(s) failed\n' "$failures" >&2
  exit 1
fi
printf 'install layout: %d satellite files, desktop entry and metainfo valid, icons %s\n' \
  "$installed" '16..256 px'
