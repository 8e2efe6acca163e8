#!/usr/bin/env bash
# tests/scripts/shellcheck.sh
# Runs shellcheck on every shell script of the tree, found by its first line
# (#!... sh or bash) or, for a sourced library, its `# shellcheck shell=`
# line; the build folders are left out. Fails on any finding. Run by ./test.
. "$(dirname "$0")/../../scripts/lib.sh"
cd "$(dirname "$0")/../.."

files=()
while IFS= read -r -d '' file; do
  if head -n 1 "$file" | grep -qE '^#!.*[/ ](ba|da)?sh( |$)' || grep -q '^# shellcheck shell=' "$file"; then
    files+=("$file")
  fi
done < <(find . \( -name .git -o -path ./build -o -path './build-*' \) -prune -o -type f -print0)
[ ${#files[@]} -gt 0 ] || die "found no shell script"
shellcheck --external-sources --source-path=SCRIPTDIR "${files[@]}"
echo "shellcheck: no finding in ${#files[@]} shell scripts"
