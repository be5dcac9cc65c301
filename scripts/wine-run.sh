#!/usr/bin/env bash
# Runs one Windows program under 32-bit Wine for the tests:
#   wine-run.sh [--prefix DIR] [--bits 32|64] PROGRAM.exe [ARGS...]
# - 32-bit programs run in a 32-bit prefix (WINEARCH=win32), 64-bit ones with wine64 in a 64-bit
#   prefix; a machine whose kernel cannot run 32-bit code (IA-32 emulation off) can only do the
#   latter, and the 32-bit run then says so and fails;
# - the prefix (default $KALVOR_WINEPREFIX, else ./wineprefix) is made on first use, once, under a lock;
# - when DISPLAY is unset, Xvfb is started on a free display and stopped again by its own pid;
# - LC_ALL is tr_TR.UTF-8 (ANSI code page 1254) unless the caller set another;
# - the program's exit code is passed through; it is killed after $KALVOR_WINE_TIMEOUT seconds (600).
set -uo pipefail

prefix="${KALVOR_WINEPREFIX:-$PWD/wineprefix}"
bits=64
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix="$2"; shift 2 ;;
    --bits) bits="$2"; shift 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 1 ]; then echo "usage: wine-run.sh [--prefix DIR] [--bits 32|64] PROGRAM [ARGS...]" >&2; exit 2; fi

if [ "$bits" = 32 ]; then
  loader=/usr/lib/wine/wine
  export WINEARCH=win32
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "wine-run: this machine cannot run 32-bit Wine (no wine32, or IA-32 emulation is off)" >&2
    exit 125
  fi
else
  loader=/usr/lib/wine/wine64
  export WINEARCH=win64
fi
[ -x "$loader" ] || { echo "wine-run: $loader is missing (scripts/setup.sh)" >&2; exit 2; }
export WINELOADER="$loader"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs in a test prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL="${LC_ALL:-tr_TR.UTF-8}"

mkdir -p "$(dirname "$prefix")"
# When this script brings its own Xvfb, one program at a time per prefix: the programs of a prefix
# share one wineserver and one Wine desktop, which stays bound to the X display it was started on,
# and a second program on another Xvfb would find that display gone once the first one's Xvfb
# stops. A caller that sets DISPLAY shares one display among its programs and may run them at once.
if [ -z "${DISPLAY:-}" ]; then
  exec 8>"$prefix.run.lock"
  flock 8
fi

xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    # Wine's own processes of this prefix end before their display goes.
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "wine-run: Xvfb is not installed (scripts/setup.sh)" >&2; exit 2; }
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"; break
    fi
    wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""   # lost the race for this display: try the next
  done
  [ -n "${DISPLAY:-}" ] || { echo "wine-run: could not start Xvfb" >&2; exit 2; }
fi

(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    echo "wine-run: making a 32-bit prefix in $prefix" >&2
    "$loader" wineboot.exe -i >/dev/null 2>&1
    wineserver -w 2>/dev/null || true
  fi
) 9>"$prefix.lock"

timeout --kill-after=10 "${KALVOR_WINE_TIMEOUT:-600}" "$loader" "$@"
rc=$?
[ $rc -eq 124 ] && echo "wine-run: $1 timed out" >&2
exit $rc
