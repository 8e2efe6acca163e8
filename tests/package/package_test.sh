#!/usr/bin/env bash
# tests/package/package_test.sh BUILD_DIR [CPACK]
# Builds the Debian package from a finished build and checks it as a user
# would meet it: its file list and dependencies; Debian's package checker,
# lintian, with no error or warning; an install with dpkg into a
# scratch root whose package database is a copy of this machine's (so that
# dpkg checks the dependencies against what is really installed, and the
# system itself is left alone); both installed programs on their own Xvfb
# server, showing a picture and quitting with status 0 on q; their AppStream
# metainfo, valid and naming the installed menu entries; and dpkg's removal,
# which must leave nothing behind.
set -euo pipefail

build=$(cd "${1:?usage: package_test.sh BUILD_DIR [CPACK]}" && pwd)
cpack=${2:-cpack}
work=$(mktemp -d)
root=$work/root
server=
program=

cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# --- the package file ---------------------------------------------------

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/cpack/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, got: ${debs[*]}"
deb=${debs[0]}

# Exactly the programs, their manual pages, menu entries, icons and
# metainfo, the copyright file and the change log, in the system's places;
# nothing from the build tree or the tests.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort >"$work/files"
cat >"$work/expected" <<'EOF'
-rw-r--r-- root/root ./usr/share/applications/deriraredeve.desktop
-rw-r--r-- root/root ./usr/share/applications/webtemper.desktop
-rw-r--r-- root/root ./usr/share/doc/quasi-demos/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quasi-demos/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/deriraredeve.svg
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/webtemper.svg
-rw-r--r-- root/root ./usr/share/man/man6/deriraredeve.6.gz
-rw-r--r-- root/root ./usr/share/man/man6/webtemper.6.gz
-rw-r--r-- root/root ./usr/share/metainfo/invalid.quasi_demos.deriraredeve.metainfo.xml
-rw-r--r-- root/root ./usr/share/metainfo/invalid.quasi_demos.webtemper.metainfo.xml
-rwxr-xr-x root/root ./usr/bin/deriraredeve
-rwxr-xr-x root/root ./usr/bin/webtemper
EOF
sort -o "$work/expected" "$work/expected"
diff -u "$work/expected" "$work/files" || fail "package file list"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quasi-demos ] || fail "package name $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
depends=$(field Depends)
echo "Depends: $depends"
for library in 'libsdl1\.2debian' 'libglu1-mesa' 'libopengl0' 'libgl1' 'libc6'; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "no dependency on $library"
done
if grep -q -- '-dev' <<<"$depends"; then fail "depends on a development package"; fi

# Informational tags may stay; lintian's exit status says whether there was
# any error or warning.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian"; }

# The copyright file carries the holder and the text of LICENSE; the change
# log's newest entry is this version.
dpkg-deb -x "$deb" "$work/unpacked"
doc=$work/unpacked/usr/share/doc/quasi-demos
licence=$(dirname "$0")/../../LICENSE
grep -qxF "Copyright: $(sed -n 's/^Copyright (c) //p' "$licence")" "$doc/copyright" ||
  fail "copyright names another holder than LICENSE"
diff -u <(sed '1,/^Copyright (c) /d; /./,$!d' "$licence") \
  <(sed '1,/^License: /d; s/^ \.$//; t; s/^ \(.\)/\1/' "$doc/copyright") || fail "copyright: licence text"
version=$(field Version)
gunzip -c "$doc/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
  fail "changelog does not start at version $version"

# --- install into a scratch root ----------------------------------------

mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
touch "$root/var/lib/dpkg/available"
# The copied database lists the installed packages; give each an empty file
# list, since their files are not in the scratch root.
dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' |
  awk '$1 ~ /^.i/ {print $2}' |
  while read -r package; do : >"$root/var/lib/dpkg/info/$package.list"; done
dpkg --root="$root" -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log" >&2; fail "dpkg -i"; }

# Value of the one-line XML element $1 in file $2.
xml_element() {
  sed -n "s|.*<$1[^>]*>\(.*\)</$1>.*|\1|p" "$2"
}

# The metainfo validator fails on an error or a warning; informational notes
# may stay. Of the warnings, only these tags (a regular expression) are
# accepted: url-homepage-missing, since AppStream 1.0 asks every application
# for a homepage and this project has none to name.
accepted_metainfo_warnings='url-homepage-missing'
validate_metainfo() {
  appstreamcli validate --no-net "$1" >"$work/appstream.log" 2>&1 && return 0
  grep -Eq "^W: .*: ($accepted_metainfo_warnings)\$" "$work/appstream.log" &&
    ! grep -E '^[EW]: ' "$work/appstream.log" | grep -Ev ": ($accepted_metainfo_warnings)\$" >/dev/null
}

for program_name in deriraredeve webtemper; do
  # The metainfo names the program's menu entry, its binary and this release;
  # the menu entry names the binary and the icon.
  metainfo=$root/usr/share/metainfo/invalid.quasi_demos.$program_name.metainfo.xml
  validate_metainfo "$metainfo" || { cat "$work/appstream.log" >&2; fail "appstreamcli validate $metainfo"; }
  [ "$(xml_element id "$metainfo")" = "invalid.quasi_demos.$program_name" ] || fail "$metainfo: id"
  [ "$(xml_element binary "$metainfo")" = "$program_name" ] || fail "$metainfo: binary"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo: no release $version"
  entry=$root/usr/share/applications/$(xml_element launchable "$metainfo")
  [ -f "$entry" ] || fail "$metainfo launches $entry, which is not installed"
  desktop-file-validate "$entry" || fail "$entry"
  command=$(sed -n 's/^Exec=//p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$root/usr/bin/$command" ] || fail "$entry runs $command, which is not installed"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon"
  warnings=$(zcat "$root/usr/share/man/man6/$program_name.6.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "manual page $program_name.6: $warnings"
  if ldd "$root/usr/bin/$program_name" | grep 'not found'; then fail "$program_name: missing library"; fi
done

# --- run the installed programs -------------------------------------------

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
export DISPLAY=:$(cat "$work/display")

# Share of the screen that is not black, from 0 to 1.
lit_share() {
  xwd -root -silent | convert xwd:- -fill white +opaque black -format '%[fx:mean]' info:
}

# Waits until at least `share` of the screen is lit.
wait_for_picture() {
  local share=$1
  for _ in $(seq 100); do
    awk -v lit="$(lit_share)" -v want="$share" 'BEGIN { exit !(lit >= want) }' && return 0
    sleep 0.2
  done
  return 1
}

# Whether the program has ended: gone, or waiting only to be reaped.
has_ended() {
  [ ! -e "/proc/$program" ] ||
    [ "$(sed 's/.*) //' "/proc/$program/stat" 2>/dev/null | cut -d ' ' -f 1)" = Z ]
}

# Sends q, waits up to five seconds for the program to end, and sets status
# to its exit status ("running" if it did not end).
quit_program() {
  xdotool key q
  for _ in $(seq 50); do
    has_ended && break
    sleep 0.1
  done
  has_ended || { status=running; return; }
  status=0
  wait "$program" || status=$?
  program=
}

"$root/usr/bin/deriraredeve" >"$work/deriraredeve.out" 2>"$work/deriraredeve.err" &
program=$!
# The tiling covers most of the screen.
wait_for_picture 0.5 || fail "deriraredeve shows no tiling"
quit_program
[ "$status" = 0 ] || fail "deriraredeve ended with $status: $(cat "$work/deriraredeve.err")"
[ ! -s "$work/deriraredeve.err" ] || fail "deriraredeve wrote: $(cat "$work/deriraredeve.err")"

"$root/usr/bin/webtemper" >"$work/webtemper.out" 2>"$work/webtemper.err" &
program=$!
# The empty layout's outline first, then vertices added with a.
wait_for_picture 0.001 || fail "webtemper shows nothing"
before=$(lit_share)
xdotool key --delay 20 a a a a a a a a a a
wait_for_picture "$(awk -v b="$before" 'BEGIN { print b + 0.003 }')" ||
  fail "webtemper shows no vertices after a"
quit_program
[ "$status" = 0 ] || fail "webtemper ended with $status: $(cat "$work/webtemper.err")"
[ "$(head -n 1 "$work/webtemper.out")" = "Webtemper simulator" ] || fail "webtemper printed no key summary"
[ ! -s "$work/webtemper.err" ] || fail "webtemper wrote: $(cat "$work/webtemper.err")"

# --- remove ---------------------------------------------------------------

dpkg --root="$root" -r quasi-demos >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log" >&2; fail "dpkg -r"; }
left=$(find "$root" -path "$root/var" -prune -o -mindepth 1 -print)
[ -z "$left" ] || fail "left after removal: $left"
if dpkg --root="$root" -s quasi-demos >/dev/null 2>&1; then fail "still registered after removal"; fi
echo "package test passed"
