#!/usr/bin/env bash
# tests/scripts/scripts_test.sh
# The scripts where people run them: from folders whose paths hold spaces
# and letters beyond ASCII, on trees copied or unpacked without git, and
# next to folders that are not theirs. Run by ./test.
. "$(dirname "$0")/../../scripts/lib.sh"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
make_work_dir
place="$work/my projects/quäsi démos"
mkdir -p "$place"
fail() { die "FAIL: $*"; }

# A failed step is named with its arguments as they ran, and what was
# registered to run at exit runs even then, the latest first.
cat >"$place/failing step" <<EOF2
. "$source_dir/scripts/lib.sh"
at_exit echo second
at_exit echo first
step ls "$place/missing file"
EOF2
bash "$place/failing step" >"$work/out" 2>&1 && fail "a failed step passed"
grep -qF "failed (status 2) in step: ls $(quote "$place/missing file")" "$work/out" ||
  fail "the failed step is not named as it ran: $(cat "$work/out")"
[ "$(tail -n 2 "$work/out")" = "$(printf 'first\nsecond')" ] || fail "exit commands: $(cat "$work/out")"

# install-deps does nothing when everything is present (./test ran it):
# neither apt-get nor sudo runs.
mkdir "$work/bin"
cat >"$work/bin/apt-get" <<'EOF2'
#!/bin/sh
echo "$0 ran" >&2
exit 1
EOF2
cp "$work/bin/apt-get" "$work/bin/sudo"
chmod +x "$work/bin/apt-get" "$work/bin/sudo"
PATH="$work/bin:$PATH" "$source_dir/scripts/install-deps" ||
  fail "install-deps tried to install what is present"

# fetch-sdl12-compat leaves a folder that it did not make as it is.
mkdir "$place/sdl"
touch "$place/sdl/mine"
"$source_dir/scripts/fetch-sdl12-compat" "$place/sdl" 2>/dev/null && fail "fetch-sdl12-compat took a foreign folder"
[ -e "$place/sdl/mine" ] || fail "fetch-sdl12-compat deleted a folder it did not make"

# plant-fault on a project in such a folder: a planted fault that the test
# sees is caught, one it does not see is not, and the file is put back.
cat >"$place/CMakeLists.txt" <<'EOF2'
cmake_minimum_required(VERSION 3.16)
project(planted LANGUAGES NONE)
enable_testing()
add_custom_target(nothing)
add_test(NAME good COMMAND grep -q good "${CMAKE_SOURCE_DIR}/value")
EOF2
echo good >"$place/value"
cmake -S "$place" -B "$place/build" >/dev/null
plant() { "$source_dir/scripts/plant-fault" "$place/value" "$@" "$place/build" nothing >/dev/null; }
plant good bad || fail "plant-fault did not see a caught fault"
status=0
plant go go || status=$?
[ "$status" = 1 ] || fail "plant-fault took a harmless change for a caught fault (status $status)"
[ "$(cat "$place/value")" = good ] || fail "plant-fault did not put the file back"

# build-deb in a checkout that was copied (cp -a, as a backup or a chroot
# gets it), whose index then holds stale file data, called from another
# folder with a relative output folder, which is taken from that folder;
# and in a tree without git, as a release tarball unpacks. The source
# package only.
(cd "$source_dir" && copy_tree "$place/tree")
git -C "$place/tree" init --quiet
git -C "$place/tree" add --all
git -C "$place/tree" -c user.name=test -c user.email=test@invalid commit --quiet -m tree
cp -a "$place/tree" "$place/copy"
rm -rf "$place/tree/.git"
mkdir "$place/elsewhere"
for tree in copy tree; do
  (cd "$place/elsewhere" && "$place/$tree/scripts/build-deb" "$tree out" -S >/dev/null 2>"$work/log") ||
    { cat "$work/log" >&2; fail "build-deb in $tree"; }
  ls "$place/elsewhere/$tree out"/*.dsc >/dev/null || fail "build-deb in $tree made no source package"
done
echo "scripts test passed"
