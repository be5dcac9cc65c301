# What the scripts that drive Windows programs under Wine share (scripts/wine-run.sh, the
# screenshots, the end-to-end and installer tests): a private Xvfb, the Wine runner and path
# conversion, and counted checks. Sourced, not run:
#   . "$(dirname "$0")/common.sh"    (or with the path of the scripts folder)
# shellcheck shell=bash

kalvor_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# start_xvfb NAME FIRST LAST GEOMETRY [XVFB_ARGS...]: starts Xvfb on the first free display
# between :FIRST and :LAST with one screen of GEOMETRY (e.g. 1024x768x24), exports DISPLAY and
# sets xvfb_pid; the caller stops it (kill "$xvfb_pid"). When none starts, says so on stderr in
# NAME's words and returns 2.
xvfb_pid=""
start_xvfb() {
  local name=$1 first=$2 last=$3 screen=$4 n
  shift 4
  command -v Xvfb >/dev/null || { echo "$name: Xvfb is not installed (scripts/setup.sh)" >&2; return 2; }
  for n in $(seq "$first" "$last"); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp "$@" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid="" # lost the race for this display: try the next
  done
  echo "$name: could not start Xvfb" >&2
  return 2
}

# run PROGRAM [ARGS...]: a Windows program through scripts/wine-run.sh, in the prefix $WINEPREFIX
# with the Wine of $bits (32 or 64) bits.
# shellcheck disable=SC2154  # bits is the caller's
run() { "$kalvor_scripts/wine-run.sh" --prefix "$WINEPREFIX" --bits "$bits" "$@"; }

# winpath PATH: the Windows name of a path of this machine (Wine's drive Z:).
winpath() { printf 'Z:%s\n' "${1//\//\\}"; }

# check DESCRIPTION COMMAND...: runs the command as one check; a failure is counted and named on
# stderr, a success counted (and named on stdout when check_verbose is set).
passed=0
failed=0
check_verbose=""
fail() {
  echo "FAILED: $*" >&2
  failed=$((failed + 1))
}
check() {
  if "${@:2}"; then
    passed=$((passed + 1))
    [ -z "$check_verbose" ] || echo "ok: $1"
  else
    fail "$1"
  fi
}
# checks_done: the counts; true when no check failed.
checks_done() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
