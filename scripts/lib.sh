# scripts/lib.sh: what the project's shell scripts share. Sourced, never run:
#   . "$(dirname "$0")/lib.sh"        (from scripts/; adjust the path elsewhere)
# Sets strict mode, names the script in every message, and reports a failed
# command with its arguments as they ran.
# shellcheck shell=bash
set -Eeuo pipefail

script_name=${0##*/}

# die MESSAGE...: one line on standard error naming the script, status 1.
die() {
  echo "$script_name: $*" >&2
  exit 1
}

# quote COMMAND...: the command as a shell would read it back.
quote() {
  local quoted
  printf -v quoted '%q ' "$@"
  printf '%s' "${quoted% }"
}

# A failed command stops the script, named with the step it was in (its
# arguments as they ran) and its own line and text; bash gives no expanded
# form of the command itself.
current_step=
trap 'echo "$script_name: failed (status $?)${current_step:+ in step: $current_step}: line $LINENO: $BASH_COMMAND" >&2' ERR

# at_exit COMMAND...: runs the command, with the arguments it has now, when
# the script exits, before the ones registered earlier; its failure is
# ignored, so that those still run.
at_exit() {
  local -a earlier=()
  eval "earlier=($(trap -p EXIT))"
  # shellcheck disable=SC2064 # the command is fixed now, on purpose
  trap "$(quote "$@") 2>/dev/null || true; ${earlier[2]:-:}" EXIT
}

# make_work_dir: a temporary folder in $work, removed when the script exits.
make_work_dir() {
  work=$(mktemp -d)
  at_exit rm -rf "$work"
}

# copy_tree DEST: copies the current folder into DEST as a release tarball
# holds it: without .git and the build folders that .gitignore names.
copy_tree() {
  mkdir -p "$1"
  tar -c --exclude=./.git --exclude=./build --exclude='./build-*' . | tar -x -C "$1"
}

# as_root COMMAND...: runs the command as root, through sudo for an ordinary
# user.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# step COMMAND...: runs one step of a longer run and keeps how long it took
# for `print_step_times`. A failure in it is reported with the step's
# command (see the ERR trap above).
step_times=()
step() {
  local start=$SECONDS
  current_step=$(quote "$@")
  echo "$script_name: $current_step" >&2
  "$@"
  step_times+=("$(printf '%5d s  %s' $((SECONDS - start)) "$current_step")")
  current_step=
}

print_step_times() {
  printf '  %s\n' "${step_times[@]}"
}

# run_logged LOG COMMAND...: runs the command quietly into LOG; when it
# fails, shows the log's last lines and names the command, and returns its
# status.
run_logged() {
  local log=$1 status=0
  shift
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "$script_name: failed (status $status): $(quote "$@"); the whole log: $log" >&2
  fi
  return "$status"
}

# start_xvfb LOG: starts an Xvfb server at 1024 x 768 on a free display,
# exports DISPLAY, and stops the server when the script exits (with any
# EXIT trap set earlier). XVFB_PID holds its process.
start_xvfb() {
  local log=$1 display_file tries=0
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$display_file" 2>"$log" &
  XVFB_PID=$!
  at_exit kill "$XVFB_PID"
  until [ -s "$display_file" ]; do
    if ! kill -0 "$XVFB_PID" 2>/dev/null || [ $tries -ge 300 ]; then
      rm -f "$display_file"
      cat "$log" >&2
      die "Xvfb did not start"
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
  DISPLAY=:$(cat "$display_file")
  export DISPLAY
  rm -f "$display_file"
}
