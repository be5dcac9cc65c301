#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine, in a fresh prefix:
#  0. where no SAPI 4 run time is registered, the stand-in run time is chosen on the components
#     page (read through the installer's /CHOICES test hook), but not for a silent install;
#  1. a silent install (/S, with the stand-in SAPI 4 run time and Lumeko's start with Windows);
#  2. the installed files, shortcuts and registration (kalvor-reg status); a reinstallation keeps
#     the parts chosen before;
#  3. kalvor-sapi say speaks through the installed engine and run time (audio into a WAV file
#     through the stand-in run time's WAV mode), with the same samples as the installed kalvor.exe;
#  4. the installed Lumeko finds the Kalvor voice through the run time and reads the clipboard; an
#     update while it runs ends it and starts it again;
#  5. a silent uninstall while Lumeko runs: Lumeko is stopped, and no file and no key of ours is
#     left (the prefix's files and registry compared with their state before the install);
#  6. where another SAPI 4 run time is registered, the stand-in is not offered, /RUNTIME does not
#     put it over the other one, and the uninstall leaves it alone.
#   windows-installer.sh SETUP.exe BITS [LUMEKO_DRIVER.exe]
# BITS is 64 for the win64 tree's test installer (wine64); 32 needs 32-bit Wine. Exit 125 (skipped)
# where this machine cannot run that Wine.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
setup=$(realpath "$1")
bits=$2
driver_exe=${3:-}
[ -f "$setup" ] || { echo "windows-installer: $setup is missing (build the installer target)" >&2; exit 2; }

# shellcheck source=scripts/common.sh
. "$here/../../scripts/common.sh"
work=$(mktemp -d)
prefix=$work/prefix
lumeko_pid=""
cleanup() {
  [ -n "$lumeko_pid" ] && kill "$lumeko_pid" 2>/dev/null
  WINEPREFIX=$prefix timeout 20 wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

has() { grep -q -i -F -- "$2" "$1"; }
hasnt() { ! grep -q -i -F -- "$2" "$1"; }

# One display for the whole test: Lumeko runs across several Wine starts.
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb windows-installer 300 360 1024x768x24 || exit 2
fi

# Every program goes through scripts/wine-run.sh (which makes the prefix, and tunes it where 32-bit
# Wine runs under emulation); with the display set here it lets programs of the prefix run side by
# side: Lumeko must keep running while the driver, the registry tool and the uninstaller start.
# Everything shares the one Xvfb above.
case $bits in
  32) loader=/usr/lib/wine/wine ;;
  64) loader=/usr/lib/wine/wine64 ;;
  *) echo "windows-installer: BITS is 32 or 64, not $bits" >&2; exit 2 ;;
esac
if ! "$loader" --version >/dev/null 2>&1; then
  echo "windows-installer: no $bits-bit Wine here (or the kernel cannot run it): skipped"
  exit 125
fi
export WINEPREFIX=$prefix WINEDEBUG=-all
export LC_ALL=${LC_ALL:-tr_TR.UTF-8}  # ANSI code page 1254, as on a Turkish Windows
# No Mono or Gecko dialogs; and Wine would mirror the Start menu entries into this machine's own
# desktop menus: not here.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export KALVOR_WINE_TIMEOUT=300
settle() { timeout 120 wineserver -w; }  # every program of the prefix has ended
# Everything under drive_c but Wine's and the installer's scratch folders.
files() {
  (cd "$prefix/drive_c" && find . \( -ipath '*/temp' -o -ipath '*/temp/*' \) -prune -o -print |
    sort)
}

# 1. A fresh prefix, and what it holds before the install.
run wineboot.exe -i >"$work/boot.log" 2>&1
rc=$?
settle
check "a fresh Wine prefix (exit code $rc: $(tail -n 3 "$work/boot.log" | tr '\n' ' '))" \
  test $rc -eq 0 -a -f "$prefix/system.reg"
files >"$work/files-before"
cp "$prefix/system.reg" "$work/system-before.reg"
cp "$prefix/user.reg" "$work/user-before.reg"
check "no SAPI 4 run time in the fresh prefix" hasnt "$work/system-before.reg" \
  "{D67C0280-C743-11CD-80E5-00AA003E4B50}"

# The parts the components page offers, without installing anything.
choices() {  # choices [OPTIONS...]: prints the NAME=STATE lines
  rm -f "$work/choices.txt"
  run "$setup" "$@" "/CHOICES=$(winpath "$work/choices.txt")" >/dev/null 2>&1
  tr -d '\r' <"$work/choices.txt" 2>/dev/null
}
choices >"$work/choices-ui"
check "no run time: the components page offers the stand-in run time, chosen ($(tr '\n' ' ' <"$work/choices-ui"))" \
  grep -qx 'Runtime=1' "$work/choices-ui"
choices /S >"$work/choices-silent"
check "... but a silent install takes it only with /RUNTIME ($(tr '\n' ' ' <"$work/choices-silent"))" \
  grep -qx 'Runtime=0' "$work/choices-silent"
choices /S /RUNTIME >"$work/choices-runtime"
check "... which chooses it" grep -qx 'Runtime=1' "$work/choices-runtime"
settle
check "the choices alone install nothing" test ! -e "$prefix/drive_c/Program Files/Kalvor"

run "$setup" /S /RUNTIME /AUTOSTART
check "the silent install succeeds" test $? -eq 0
settle

# 2. What is installed, and where.
dir="$prefix/drive_c/Program Files/Kalvor"
for f in Kalvor.dll ORVDAT1.SPD ORVDAT2.SPD Lumeko.exe kalvor.exe kalvor-sapi.exe kalvor-reg.exe \
  sapi4rt.dll Uninstall.exe; do
  check "installed $f" test -f "$dir/$f"
done
start_menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
check "a Start menu entry for Lumeko" test -f "$start_menu/Lumeko.lnk"
check "Lumeko starts with Windows (/AUTOSTART)" test -f "$start_menu/StartUp/Lumeko.lnk"
run "$dir/kalvor-reg.exe" status >"$work/status" 2>&1
tr -d '\r' <"$work/status" >"$work/status.txt"
sed -n '1,/^64-bit/p' "$work/status.txt" >"$work/status32"
sed -n '/^64-bit/,$p' "$work/status.txt" >"$work/status64"
view="$work/status$bits"
check "the engine is registered for COM, from the install folder" \
  has "$view" 'C:\Program Files\Kalvor\Kalvor.dll (Apartment)'
check "the engine is in the SAPI 4 engine list" has "$view" "in the SAPI 4 engine list: yes"
check "the SAPI 5 voices are registered" has "$view" "SAPI 5 voices: Kalvor-Tarpek Kalvor-Nilvo"
check "the stand-in run time is registered (/RUNTIME, no run time before)" \
  has "$view" 'TTS enumerator: C:\Program Files\Kalvor\sapi4rt.dll'
engine_clsid=$(grep -o -m1 'engine {[0-9A-Fa-f-]*}' "$work/status.txt" | cut -c8-)
check "kalvor-reg status names the engine's class" test -n "$engine_clsid"
uninstall_key=$(run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvor' \
  /v QuietUninstallString 2>/dev/null | tr -d '\r')
check "the uninstaller is listed with its silent command" \
  grep -q -F 'C:\Program Files\Kalvor\Uninstall.exe" /S' <<<"$uninstall_key"

# An update: the same installer again, silently and with no options, keeps the parts chosen before.
run "$setup" /S
check "a silent reinstallation succeeds" test $? -eq 0
settle
check "... keeping the stand-in run time" test -f "$dir/sapi4rt.dll"
run "$dir/kalvor-reg.exe" status 2>&1 | tr -d '\r' >"$work/status-again"
check "... registered" has "$work/status-again" 'TTS enumerator: C:\Program Files\Kalvor\sapi4rt.dll'
check "... and Lumeko's start with Windows" test -f "$start_menu/StartUp/Lumeko.lnk"

# 3. Speaking through the installed engine, as any SAPI 4 program does.
text="Merhaba! Saat 14.30'da buluşalım mı?"
run "$dir/kalvor-sapi.exe" list >"$work/list" 2>&1
check "kalvor-sapi lists the installed Kalvor voice" has "$work/list" "Kalvor"
run "$dir/kalvor-sapi.exe" say -o "$(winpath "$work/sapi-male.wav")" "$text"
check "kalvor-sapi say speaks through the installed engine" test $? -eq 0
run "$dir/kalvor-sapi.exe" say --voice female -o "$(winpath "$work/sapi-female.wav")" "$text"
check "... with the female voice too" test $? -eq 0
run "$dir/kalvor.exe" say -o "$(winpath "$work/cli-male.wav")" "$text" 2>/dev/null
run "$dir/kalvor.exe" say --voice female -o "$(winpath "$work/cli-female.wav")" "$text" 2>/dev/null
wav() { python3 "$here/wavinfo.py" "$@"; }
check "the male speech is a 16000 Hz mono 16-bit WAV of over a second" \
  wav check "$work/sapi-male.wav" 1.0
check "... with the samples of the installed kalvor.exe" \
  wav same "$work/sapi-male.wav" "$work/cli-male.wav"
check "the female speech has the samples of the installed kalvor.exe" \
  wav same "$work/sapi-female.wav" "$work/cli-female.wav"
check "... and is not the male voice" bash -c "! cmp -s '$work/cli-male.wav' '$work/cli-female.wav'"

# 4. The installed Lumeko, started as from its Start menu entry, reads the clipboard through Kalvor.
if [ -n "$driver_exe" ]; then
  driver() { run "$driver_exe" "$@"; }
  KALVOR_AUDIO_WAV=$(winpath "$work/lumeko.wav") run "$dir/Lumeko.exe" >/dev/null 2>&1 &
  lumeko_pid=$!
  check "the installed Lumeko starts" driver wait-ready 90
  # The window may be there a moment before its engine list is filled.
  for _ in $(seq 1 30); do
    driver engine >"$work/engine" 2>&1
    has "$work/engine" "Kalvor" && break
    sleep 1
  done
  check "Lumeko finds the Kalvor voice through the installed run time ($(cat "$work/engine"))" \
    has "$work/engine" "Kalvor"
  driver clip "Bugün hava çok güzel." && driver key 121  # F10: read the clipboard
  for _ in $(seq 1 120); do  # a busy machine may take its time
    [ -s "$work/lumeko.wav" ] && [ "$(stat -c %s "$work/lumeko.wav")" -gt 16044 ] && break
    sleep 0.5
  done
  check "Lumeko reads the clipboard aloud through Kalvor" test -s "$work/lumeko.wav"
  # Lumeko stores its first settings as it starts: the uninstall must take them away too.
  run reg query 'HKCU\Software\Verdanis\Lumeko' >"$work/settings" 2>&1
  check "Lumeko keeps its settings under HKCU\\Software\\Verdanis\\Lumeko" \
    has "$work/settings" "autoplay"

  # An update while Lumeko runs: it is ended for the files to be replaced, and started again.
  run "$setup" /S
  check "an update while Lumeko runs succeeds" test $? -eq 0
  for _ in $(seq 1 60); do kill -0 "$lumeko_pid" 2>/dev/null || break; sleep 0.5; done
  check "the update ended the running Lumeko" bash -c "! kill -0 $lumeko_pid 2>/dev/null"
  wait "$lumeko_pid" 2>/dev/null
  lumeko_pid=""
  check "... which had spoken a sentence" wav check "$work/lumeko.wav" 0.5
  check "... and started it again" driver wait-ready 90
fi

# 5. The silent uninstall, with Lumeko still running.
run "$dir/Uninstall.exe" /S
check "the silent uninstall starts" test $? -eq 0
settle
if [ -n "$driver_exe" ]; then
  check "the uninstaller stopped the running Lumeko" driver wait-gone 30
fi
check "the install folder is gone" test ! -e "$dir"
files >"$work/files-after"
comm -13 "$work/files-before" "$work/files-after" >"$work/files-new"
check "no file of ours is left ($(tr '\n' ' ' <"$work/files-new"))" test ! -s "$work/files-new"
# Every key and value the install added is gone: the registry holds none of our names, classes or
# paths that it did not hold before.
for word in Kalvor Lumeko Verdanis sapi4rt "$engine_clsid" "{D67C0280-C743-11CD-80E5-00AA003E4B50}" \
  "{B59D7F8A-FCC9-4B1E-A955-3A431FBD6C9A}" \
  'Voice\\TextToSpeech' 'Program Files\\Kalvor'; do
  for hive in system user; do
    if ! has "$work/$hive-before.reg" "$word"; then
      grep -i -F -- "$word" "$prefix/$hive.reg" | head -n 3 >"$work/left"
      check "no registry entry with $word is left in $hive.reg ($(cat "$work/left"))" \
        test ! -s "$work/left"
    fi
  done
done

# 6. Another SAPI 4 run time is registered: the stand-in never replaces it.
other='C:\windows\system32\other-tts.dll'
run reg add 'HKLM\Software\Classes\CLSID\{D67C0280-C743-11CD-80E5-00AA003E4B50}\InprocServer32' \
  /ve /d "$other" /f >/dev/null 2>&1
choices >"$work/choices-other"
check "another run time registered: the stand-in is not offered ($(tr '\n' ' ' <"$work/choices-other"))" \
  grep -qx 'Runtime=-1' "$work/choices-other"
run "$setup" /S /RUNTIME
check "the install beside another run time succeeds" test $? -eq 0
settle
check "... without the stand-in run time's file" test ! -e "$dir/sapi4rt.dll"
run "$dir/kalvor-reg.exe" status 2>&1 | tr -d '\r' >"$work/status2"
check "... leaving the other run time registered" has "$work/status2" "TTS enumerator: $other"
check "... and registering the engine" has "$work/status2" "in the SAPI 4 engine list: yes"
run "$dir/Uninstall.exe" /S
settle
check "the uninstall leaves the other run time registered" \
  has "$prefix/system.reg" 'other-tts.dll'
check "... and removes the engine" hasnt "$prefix/system.reg" "$engine_clsid"
check "... and the install folder" test ! -e "$dir"

checks_done
