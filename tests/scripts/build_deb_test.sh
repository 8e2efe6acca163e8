#!/usr/bin/env bash
# tests/scripts/build_deb_test.sh
# scripts/build-deb where people run it: in a checkout that was copied
# (cp -a, as a backup or a chroot gets it), whose index then holds stale
# file data, called from another folder with a relative output folder,
# which must be taken from that folder. Builds the source package only.
# Run by ./test.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A clean checkout with this tree's build-deb committed, then copied.
git clone --quiet "$source_dir" "$work/clone"
cp "$source_dir/scripts/build-deb" "$work/clone/scripts/build-deb"
git -C "$work/clone" -c user.name=test -c user.email=test@invalid commit --quiet --allow-empty -am build-deb
cp -a "$work/clone" "$work/copy"
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && "$work/copy/scripts/build-deb" relative -S >/dev/null 2>"$work/log") ||
  { cat "$work/log" >&2; fail "build-deb in a copied checkout"; }
ls "$work"/elsewhere/relative/*.dsc >/dev/null 2>&1 ||
  fail "build-deb did not put the source package in the relative folder from where it was called"
echo "build-deb test passed"
