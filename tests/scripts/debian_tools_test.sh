#!/usr/bin/env bash
# tests/scripts/debian_tools_test.sh
# What the Debian-tool scripts do before any work, in a folder whose path
# has a space and letters beyond ASCII: check-in-debian and make-sysroot
# leave alone a folder they did not make (the current one, ".", among them),
# and wrong usage of make-sysroot and test-cross exits with 2. Stand-ins
# for mmdebstrap and apt-get that fail keep a fault here from reaching the
# network. Run by ./test.
. "$(dirname "$0")/../../scripts/lib.sh"
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/my folder é"
for tool in mmdebstrap apt-get; do
  printf '#!/bin/sh\nexit 1\n' >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
touch "$work/my folder é/keep"
for command in "check-in-debian trixie" "make-sysroot arm64"; do
  for folder in . "$work/my folder é"; do
    status=0
    # shellcheck disable=SC2086 # the words of the command
    (cd "$work/my folder é" && PATH=$work/bin:$PATH "$scripts"/$command "$folder") \
      >/dev/null 2>"$work/log" || status=$?
    if [ "$status" -ne 1 ] || ! grep -q 'did not make' "$work/log" || [ ! -e "$work/my folder é/keep" ]; then
      die "$command $folder: status $status, $(cat "$work/log")"
    fi
  done
done

usage_error() {
  local status=0
  "$scripts/$1" "${@:2}" >/dev/null 2>&1 || status=$?
  [ "$status" -eq 2 ] || die "$*: status $status, not 2"
}
usage_error make-sysroot
usage_error make-sysroot arm64
usage_error make-sysroot no-such-arch "$work/x"
usage_error test-cross
usage_error test-cross --no-such-option arm64
echo "Debian tools test passed"
