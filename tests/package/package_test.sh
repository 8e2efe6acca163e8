#!/usr/bin/env bash
# tests/package/package_test.sh [OUTPUT_DIR]
# Checks the Debian packages that scripts/build-deb left in OUTPUT_DIR
# (default build-deb/) as a user and the archive would meet them: the file
# list and dependencies; the version, which debian/changelog sets, in the
# metainfo and the manual pages; lintian on the source and binary packages
# with no error or warning; hardening-check on both programs and blhc on the
# build log; the packaged metainfo, menu entries and manual pages; and both
# packaged programs on their own Xvfb server (debian/tests/show-and-quit).
# The package is unpacked with dpkg-deb into a temporary folder, never
# installed: installing, removing and purging it is piuparts' job in a
# throwaway system (scripts/check-in-debian), so that this test needs no root
# and leaves this machine's package database alone. Run by ./test.
. "$(dirname "$0")/../../scripts/lib.sh"

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$source_dir/build-deb}
[ -d "$out" ] || die "no folder $out: run scripts/build-deb first"
out=$(cd "$out" && pwd)
make_work_dir
root=$work/root
fail() { die "FAIL: $*"; }

# --- the package files ----------------------------------------------------

arch=$(dpkg --print-architecture)
version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
deb=$out/quasi-demos_${version}_$arch.deb
for file in "$deb" "$out/quasi-demos-dbgsym_${version}_$arch.deb" \
  "$out/quasi-demos_${version}_$arch.changes" "$out/quasi-demos_${version}_$arch.build"; do
  [ -f "$file" ] || fail "scripts/build-deb made no $file"
done

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
# And lintian's overrides, where the programs carry a run path to the SDL
# 1.2 compatibility layer (the release's SDL 1.2 is the classic library) or
# the release's AppStream warns of the metainfo's missing homepage.
classic_sdl=false
[ "$(dpkg-query -W -f='${source:Package}' libsdl1.2-dev)" = sdl12-compat ] || classic_sdl=true
metainfo_report=$(appstreamcli validate --no-net "$source_dir"/packaging/*.metainfo.xml || true)
if $classic_sdl || grep -q ': url-homepage-missing$' <<<"$metainfo_report"; then
  echo "-rw-r--r-- root/root ./usr/share/lintian/overrides/quasi-demos" >>"$work/expected"
fi
sort -o "$work/expected" "$work/expected"
diff -u "$work/expected" "$work/files" || fail "package file list"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quasi-demos ] || fail "package name $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
depends=$(field Depends)
echo "Depends: $depends"
# Every package that ships a library the programs link, as this release
# names it, and libGL, which SDL loads when it opens the OpenGL window.
dpkg-deb -x "$deb" "$root"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for library in $(objdump -p "$root"/usr/bin/* | awk '/NEEDED/ {print $2}' | sort -u); do
  dpkg -S "*/$multiarch/$library" | sed 's/:.*//' || fail "no package of this machine ships $library"
done | sort -u >"$work/shipping"
# Package names compared as strings: libstdc++6 and libsdl1.2debian hold
# characters that a regular expression reads otherwise.
depends_names=$(tr ',|' '\n' <<<"$depends" | awk '{print $1}')
for package in $(cat "$work/shipping") libgl1; do
  grep -qxF "$package" <<<"$depends_names" || fail "no dependency on $package"
done
if grep -q -- '-dev' <<<"$depends"; then fail "depends on a development package"; fi
# Over the classic SDL 1.2, each program loads the compatibility layer from
# its own folder first, and the package brings it.
if $classic_sdl; then
  grep -qxF libsdl1.2-compat <<<"$depends_names" || fail "no dependency on libsdl1.2-compat"
  for program in "$root"/usr/bin/*; do
    # grep reads it all: -q would stop objdump with SIGPIPE under pipefail.
    objdump -p "$program" | grep -E "^ *RUNPATH +/usr/lib/$multiarch/sdl12-compat$" >/dev/null ||
      fail "${program##*/} does not load the SDL 1.2 compatibility layer first"
  done
fi

# lintian on the source and binary packages: informational and pedantic
# tags are shown, an error or a warning fails. lintian 2.116 (Debian 12)
# mangles letters beyond ASCII in the paths of its argument and of its
# temporary folder, and then misreads the package: it gets a relative path
# and /tmp.
status=0
(cd "$out" && TMPDIR=/tmp lintian --pedantic --display-info --fail-on error,warning "quasi-demos_${version}_$arch.changes") \
  >"$work/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/lintian.log" || true
[ "$status" = 0 ] || fail "lintian"
# Both programs hardened in the ways every release's dpkg-buildflags offers
# (newer ones add more; hardening-check then reports those too), and every
# compiler and linker call with the flags.
hardening-check "$root"/usr/bin/* >"$work/hardening" || true
for feature in 'Position Independent Executable: yes' 'Stack protected: yes' \
  'Fortify Source functions: \(yes\|unknown, no protectable\)' 'Read-only relocations: yes' \
  'Immediate binding: yes'; do
  [ "$(grep -c "^ $feature" "$work/hardening")" = 2 ] ||
    { cat "$work/hardening" >&2; fail "hardening-check: not both $feature"; }
done
blhc "$out/quasi-demos_${version}_$arch.build" || fail "blhc"

# The copyright file carries the holder and the text of LICENSE.
doc=$root/usr/share/doc/quasi-demos
licence=$source_dir/LICENSE
grep -qxF "Copyright: $(sed -n 's/^Copyright (c) //p' "$licence")" "$doc/copyright" ||
  fail "copyright names another holder than LICENSE"
diff -u <(sed '1,/^Copyright (c) /d; /./,$!d' "$licence") \
  <(awk -v RS= '/^License: Expat\n/' "$doc/copyright" | sed '1d; s/^ \.$//; s/^ //') ||
  fail "copyright: licence text"

# --- what the package puts in place ---------------------------------------

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
  [ -f "$entry" ] || fail "$metainfo launches $entry, which the package does not ship"
  desktop-file-validate "$entry" || fail "$entry"
  command=$(sed -n 's/^Exec=//p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$root/usr/bin/$command" ] || fail "$entry runs $command, which the package does not ship"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon"
  zcat "$root/usr/share/man/man6/$program_name.6.gz" | grep -q "^\.TH .* \"quasi-demos $version\"" ||
    fail "manual page $program_name.6: not version $version"
  warnings=$(zcat "$root/usr/share/man/man6/$program_name.6.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "manual page $program_name.6: $warnings"
  if ldd "$root/usr/bin/$program_name" | grep 'not found'; then fail "$program_name: missing library"; fi
done

# --- run the packaged programs --------------------------------------------

start_xvfb "$work/xvfb.log"
"$source_dir/debian/tests/show-and-quit" "$root/usr/bin"

echo "package test passed"
