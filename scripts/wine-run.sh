#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests:
#   wine-run.sh [--prefix DIR] [--bits 32|64] PROGRAM.exe [ARGS...]
# - 32-bit programs run with 32-bit Wine in a 32-bit prefix (WINEARCH=win32), 64-bit ones with
#   wine64 in a 64-bit prefix. Where the kernel refuses 32-bit code, 32-bit Wine runs under qemu's
#   user-mode emulation (scripts/setup.sh registers it); a machine with neither says so, exit 125;
# - the prefix (default $KALVOR_WINEPREFIX, else ./wineprefix) is made on first use, once, under a lock;
# - when DISPLAY is unset, Xvfb is started on a free display and stopped again by its own pid;
# - LC_ALL is tr_TR.UTF-8 (ANSI code page 1254) unless the caller set another;
# - the program's exit code is passed through; it is killed after $KALVOR_WINE_TIMEOUT seconds (600).
#   wine-run.sh --emulated   exits 0 when 32-bit Wine runs under emulation here, 1 when not.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
. "$root/scripts/common.sh"

# Is there an enabled binfmt_misc handler that sends i386 programs through qemu?
emulated() {
  local f
  for f in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$f" ] && grep -qx enabled "$f" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$f" && return 0
  done
  return 1
}
if [ "${1:-}" = --emulated ]; then emulated; exit; fi

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

# 32-bit Wine under qemu-i386 needs its preloader (without it every process first spends a minute
# of CPU reserving the address space in small pieces), but not as shipped: the preloader has a
# lone segment at 0x08048000 (its build-id note) and the rest at 0x7d400000, and qemu reserves the
# whole span between them, where ntdll and kernel32 want to load. A copy without the low segment
# loads only at 0x7d400000. Wine takes its preloader from the folder of the loader it runs, and
# finds its libraries and data relative to that folder: the copy lives in a tree of its own in the
# build folder (build/wine32-emulated), beside a copy of the loader and links to the rest.
emulated_loader() {
  local tree="$root/build/wine32-emulated" sys=/usr/lib/wine
  local dir="$tree/usr/lib/wine"
  mkdir -p "$tree" || return 1
  (
    flock 9
    if ! cmp -s "$sys/wine" "$dir/wine" || [ "$sys/wine-preloader" -nt "$dir/wine-preloader" ]; then
      rm -rf "$tree/usr" && mkdir -p "$dir" "$tree/usr/share" "$tree/usr/lib/i386-linux-gnu" &&
        ln -s /usr/lib/i386-linux-gnu/wine "$tree/usr/lib/i386-linux-gnu/wine" &&
        ln -s /usr/share/wine "$tree/usr/share/wine" &&
        for f in "$sys"/wineserver*; do ln -s "$f" "$dir/"; done &&
        cp "$sys/wine" "$dir/wine" &&
        python3 - "$sys/wine-preloader" "$dir/wine-preloader" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
assert data[:5] == b"\x7fELF\x01", "not a 32-bit ELF file"
phoff, = struct.unpack_from("<I", data, 28)
phentsize, phnum = struct.unpack_from("<HH", data, 42)
headers = [(phoff + i * phentsize,) + struct.unpack_from("<IIII", data, phoff + i * phentsize)
           for i in range(phnum)]  # (offset, type, file offset, vaddr, paddr)
PT_NULL, PT_LOAD, PT_NOTE = 0, 1, 4
code = min(vaddr for _, kind, _, vaddr, _ in headers if kind == PT_LOAD and vaddr >= 0x10000000)
for at, kind, _, vaddr, _ in headers:
    if kind in (PT_LOAD, PT_NOTE) and vaddr < code:
        struct.pack_into("<I", data, at, PT_NULL)
open(sys.argv[2], "wb").write(data)
PY
      [ -s "$dir/wine-preloader" ] && chmod +x "$dir/wine-preloader" ||
        { rm -rf "$tree/usr"; exit 1; }
    fi
  ) 9>"$tree.lock" || { echo "wine-run: could not set up 32-bit Wine for qemu in $tree" >&2; return 1; }
  echo "$dir/wine"
}

tune=""
if [ "$bits" = 32 ]; then
  loader=/usr/lib/wine/wine
  export WINEARCH=win32
  if [ -x "$loader" ] && emulated; then
    loader=$(emulated_loader) || exit 2
    tune=1
  fi
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "wine-run: this machine cannot run 32-bit Wine (no wine32, or IA-32 emulation is off and" \
      "no qemu-i386 handler: scripts/setup.sh)" >&2
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

cleanup() {
  if [ -n "$xvfb_pid" ]; then
    # Wine's own processes of this prefix end before their display goes. Under emulation they
    # now and then never end (services.exe, svchost): after a minute they are ended.
    WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null ||
      WINEPREFIX="$prefix" timeout 20 wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb wine-run 90 190 1280x1024x24 || exit 2
fi

# Under qemu, Wine's signal handlers get no trap number ("Got unexpected trap -1"): the driver host
# with the mount manager, NDIS and nsiproxy crashes, the Plug and Play service can hang, a fresh
# prefix's wineboot and services.exe with them, and each crash starts winedbg, which hangs too. An
# emulated prefix therefore runs without those services and without winedbg (a crash just ends the
# program), and without the event log, the one service left that would start a process (svchost)
# with every new Wine session; the tests need none of them. The overrides carry the prefix through
# its making, the registry keeps it that way.
if [ -n "$tune" ]; then
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe,plugplay.exe,mountmgr.sys,ndis.sys,nsiproxy.sys=d"
  # Test cases that emulation cannot run reliably (their test says why) stay out of it.
  [ -n "${KALVOR_EMULATED_GTEST_FILTER:-}" ] && export GTEST_FILTER="$KALVOR_EMULATED_GTEST_FILTER"
fi
tuned="$prefix/.kalvor-emulated"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ] || { [ -n "$tune" ] && [ ! -f "$tuned" ]; }; then
    echo "wine-run: making a $bits-bit prefix in $prefix" >&2
    # Under emulation the making of a new prefix hangs now and then for good (services.exe); it
    # takes a minute or two when it works: after four, it starts again from nothing, up to three
    # times.
    limit=600 tries=1
    [ -n "$tune" ] && [ ! -f "$prefix/system.reg" ] && limit=240 tries=3
    for ((try = 1; try <= tries; try++)); do
      timeout --kill-after=10 "$limit" "$loader" wineboot.exe -i >/dev/null 2>&1 && break
      echo "wine-run: wineboot -i in $prefix failed or timed out (try $try of $tries)" >&2
      [ "$try" -lt "$tries" ] || break
      timeout 30 wineserver -k 2>/dev/null
      rm -rf "$prefix"
    done
    if [ -n "$tune" ]; then
      reg="$prefix/drive_c/kalvor-emulated.reg"
      {
        echo REGEDIT4
        for service in MountMgr NDIS nsiproxy PlugPlay Eventlog; do
          printf '\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\%s]\n"Start"=dword:00000004\n' "$service"
        done
        printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\n"winedbg.exe"=""\n'
      } >"$reg"
      timeout --kill-after=10 300 "$loader" regedit.exe /S 'C:\kalvor-emulated.reg' >/dev/null 2>&1 &&
        touch "$tuned" || echo "wine-run: could not tune $prefix for emulation" >&2
      rm -f "$reg"
    fi
    # The making's own session ends before the program starts one (ended if it would not).
    timeout 60 wineserver -w 2>/dev/null || timeout 20 wineserver -k 2>/dev/null || true
  fi
) 9>"$prefix.lock"

# Under qemu a new Wine session (the first program of a prefix, or one after all others ended)
# now and then hangs for good while services.exe starts, with wineboot --init and the program
# waiting for it; ending that services.exe lets the session go on. This watches for it.
unstick_services() {  # unstick_services PID_TO_OUTLIVE
  ours() {  # the processes of this prefix whose command line matches $1
    local p
    for p in $(pgrep -f "$1" 2>/dev/null); do
      tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && echo "$p"
    done
  }
  local p age
  while kill -0 "$1" 2>/dev/null; do
    sleep 10 </dev/null >/dev/null 2>&1  # holds no pipe of the caller open
    # Stuck: still starting after 90 s, with this prefix's wineboot --init waiting for it.
    [ -n "$(ours 'wineboot\.exe --init')" ] || continue
    for p in $(ours 'wine C:\\windows\\system32\\services\.exe'); do
      age=$(ps -o etimes= -p "$p" 2>/dev/null | tr -d ' ')
      [ -n "$age" ] && [ "$age" -gt 90 ] || continue
      echo "wine-run: services.exe of $prefix hangs at the session's start: ending it" >&2
      kill "$p" 2>/dev/null
    done
  done
}

# Under qemu, 32-bit Wine itself dies now and then of a signal that its handlers could not take
# (qemu: "uncaught target signal"; several threads at work make it likelier): such a death, and
# only that, gets one more run. A program that fails or crashes as a Windows program does not.
runs=1
[ -n "$tune" ] && runs=2
for ((run = 1; run <= runs; run++)); do
  if [ -n "$tune" ]; then
    timeout --kill-after=10 "${KALVOR_WINE_TIMEOUT:-600}" "$loader" "$@" <&0 &
    program=$!
    unstick_services "$program" &
    watcher=$!
    wait "$program"
    rc=$?
    kill "$watcher" 2>/dev/null
    wait "$watcher" 2>/dev/null
  else
    timeout --kill-after=10 "${KALVOR_WINE_TIMEOUT:-600}" "$loader" "$@"
    rc=$?
  fi
  case $rc in
    132 | 133 | 134 | 135 | 139) # SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGSEGV
      [ "$run" -lt "$runs" ] || break
      echo "wine-run: the emulated Wine died of signal $((rc - 128)); running $1 once more" >&2
      ;;
    *) break ;;
  esac
done
[ $rc -eq 124 ] && echo "wine-run: $1 timed out" >&2
exit $rc
