#!/usr/bin/env bash
# Lumeko end to end, as a user meets it, under Wine and a private Xvfb:
#   lumeko_e2e.sh BIN_DIR LOCALE [WORK_DIR]
# BIN_DIR is the bin folder of a Windows build, 32- or 64-bit (Lumeko.exe, Kalvor.dll with its voices,
# sapi4rt.dll, kalvor-reg.exe, kalvor.exe, lumeko-driver.exe); LOCALE is the POSIX locale Wine runs
# in (tr_TR.UTF-8: ANSI code page 1254; en_US.UTF-8: 1252, where Turkish letters must survive all
# the same).
#
# In a fresh prefix only the shipped files are installed, first without a SAPI 4 run time:
#  0. Lumeko starts and says once what is missing; copies and the read key add no box to it, and
#     once it is closed copies bring none.
# Then the stand-in SAPI 4 run time is registered too, the audio destination writes a WAV file
# instead of playing, and:
#  1. Lumeko starts with no settings at all; Turkish text put on the clipboard by another program
#     is read automatically: the WAV receives exactly what `kalvor say` makes of that text;
#  2. the read key F10 (SendInput) reads it again: the same samples once more;
#  3. a long text starts reading and the stop key F11 ends it: what reached the WAV is a beginning
#     of that text's speech, cut short;
#  4. a second start shows the player of the running copy and ends at once, leaving the check box;
#  5. changed settings and "&Tamam" store the settings under HKEY_CURRENT_USER;
#  6. the tray menu's quit ends the program, which leaves the clipboard chain and the hot keys;
#  7. a restart restores the stored settings;
#  8. a stored engine mode name that is empty, or names an engine that is no longer there, reads
#     with the first listed mode.
set -uo pipefail

bin=$(realpath "${1:?usage: lumeko_e2e.sh BIN_DIR LOCALE [WORK_DIR]}")
export LC_ALL=${2:?usage: lumeko_e2e.sh BIN_DIR LOCALE [WORK_DIR]}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${3:-$(mktemp -d)}
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")

# shellcheck source=scripts/common.sh
. "$root/scripts/common.sh"
check_verbose=1
step() { echo "--- $*"; }

for f in Lumeko.exe Kalvor.dll ORVDAT1.SPD ORVDAT2.SPD sapi4rt.dll kalvor-reg.exe kalvor.exe \
         lumeko-driver.exe; do
  [ -f "$bin/$f" ] || { echo "lumeko_e2e: $bin/$f is missing: build it first" >&2; exit 2; }
done

lumeko_pid=""
export WINEPREFIX="$work/prefix"
cleanup() {
  [ -n "$lumeko_pid" ] && kill "$lumeko_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

# One display for everything: the clipboard and the keyboard are the display's.
if [ -z "${KALVOR_E2E_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
  unset DISPLAY
  start_xvfb lumeko_e2e 300 380 1024x768x24 || exit 2
fi

# The build's own Wine: 32-bit for the shipped i386 programs, wine64 for a 64-bit build (the PE
# header's machine field tells).
pe=$(od -An -tu4 -j60 -N4 "$bin/Lumeko.exe" | tr -d ' ')
case $(od -An -tx2 -j$((pe + 4)) -N2 "$bin/Lumeko.exe" | tr -d ' ') in
  014c) bits=32 ;;
  8664) bits=64 ;;
  *) echo "lumeko_e2e: $bin/Lumeko.exe is neither i386 nor x86-64" >&2; exit 2 ;;
esac
driver() { run "$work/app/lumeko-driver.exe" "$@" | tr -d '\r'; }
# Bytes of samples so far: the stand-in writes a plain 44-byte header before them. Cheap enough
# to poll on a busy machine.
wav_size() {
  local n
  n=$(stat -c %s "$work/lumeko.wav" 2>/dev/null || echo 44)
  echo $((n > 44 ? n - 44 : 0))
}
# Waits until the WAV has grown past FROM bytes and then stayed the same for a while.
wait_wav_settled() {  # wait_wav_settled FROM SECONDS
  local from=$1 limit=$2 last=-1 same=0 size
  for _ in $(seq 1 $((limit * 5))); do
    size=$(wav_size)
    if [ "$size" -gt "$from" ] && [ "$size" = "$last" ]; then
      same=$((same + 1))
      [ $same -ge 15 ] && return 0
    else
      same=0
    fi
    last=$size
    sleep 0.2
  done
  return 1
}
# check_read FROM DESCRIPTION SILENT WAV_CHECK...: once the WAV has grown past FROM bytes and
# settled, one check of it by wav.py WAV_CHECK...; a WAV that does not grow fails as SILENT.
check_read() {
  local from=$1 what=$2 silent=$3
  shift 3
  if wait_wav_settled "$from" 60; then
    check "$what" python3 "$here/wav.py" "$@"
  else
    fail "$silent"
  fi
}
start_lumeko() {
  run "$work/app/Lumeko.exe" &
  lumeko_pid=$!
  driver wait-ready 60 >/dev/null
}
quit_lumeko() {
  driver quit-menu >/dev/null
  local rc=1
  if driver wait-gone 30 >/dev/null; then wait "$lumeko_pid"; rc=$?; fi
  lumeko_pid=""
  return $rc
}

step "installing the build output into a fresh prefix ($LC_ALL)"
mkdir -p "$work/app"
cp "$bin"/{Lumeko.exe,Kalvor.dll,ORVDAT1.SPD,ORVDAT2.SPD,sapi4rt.dll,kalvor-reg.exe,kalvor.exe,lumeko-driver.exe} "$work/app/"
run "$work/app/kalvor-reg.exe" install --dll "$(winpath "$work/app/Kalvor.dll")" ||
  { echo "lumeko_e2e: registration failed" >&2; exit 1; }

text='Merhaba dünya! Çığ, ışık ve güneş; şu İstanbul öğleden sonra çok güzel.'

step "0. no SAPI 4 run time: one message at the start, none per copy"
boxes() { driver boxes | head -n 1; }
wait_boxes() {  # wait_boxes COUNT SECONDS
  for _ in $(seq 1 $(($2 * 5))); do [ "$(boxes)" = "$1" ] && return 0; sleep 0.2; done
  return 1
}
start_lumeko
check "one message box comes at the start" wait_boxes 1 60
driver boxes >"$work/boxes.txt"
check "it tells what to do ($(tail -n +2 "$work/boxes.txt"))" \
  grep -q "SAPI 4 çalışma ortamı" "$work/boxes.txt"
driver clip "$text"
driver clip "$text"
driver key 121 >/dev/null   # F10
sleep 3
check "copies and the read key add no box while it is open" test "$(boxes)" = 1
check "OK closes it" driver close-boxes
driver clip "$text"
driver clip "$text"
sleep 3
check "copies bring no box once it is closed" test "$(boxes)" = 0
check "Çıkış ends the program" quit_lumeko
run reg delete 'HKCU\Software\Verdanis\Lumeko' /f >/dev/null 2>&1  # step 1 starts with none
run "$work/app/kalvor-reg.exe" install --dll "$(winpath "$work/app/Kalvor.dll")" --runtime \
  --runtime-dll "$(winpath "$work/app/sapi4rt.dll")" || { echo "lumeko_e2e: registration failed" >&2; exit 1; }
# Under emulation a new Wine session (wineboot and services.exe starting again once the last
# program of the prefix has ended) hangs now and then: one idle program, a cmd.exe waiting on a
# pipe that this script holds open, keeps the session up until the end.
if [ "$bits" = 32 ] && "$kalvor_scripts/wine-run.sh" --emulated; then
  mkfifo "$work/session"
  run cmd.exe <"$work/session" >/dev/null 2>&1 &
  exec 7>"$work/session"
fi
# The stand-in run time writes what it would play, in real time, so that a stop can land in the
# middle of a text also on a busy machine.
export KALVOR_AUDIO_WAV
KALVOR_AUDIO_WAV=$(winpath "$work/lumeko.wav")
export KALVOR_AUDIO_PACE=1

long_text="$text Bugün 25 Mart 2024, saat 14.30. Pano okuma yazılımı bu metni baştan sona seslendirmeye çalışıyor, ama durdur tuşu onu yarıda kesecek. Türkçe harfler: ç, ğ, ı, İ, ö, ş, ü. Bir, iki, üç, dört, beş, altı, yedi, sekiz, dokuz, on."
printf '%s' "$text" >"$work/text.txt"
printf '%s' "$long_text" >"$work/long.txt"
run "$work/app/kalvor.exe" say -o "$(winpath "$work/ref.wav")" -f "$(winpath "$work/text.txt")" ||
  { echo "lumeko_e2e: kalvor say failed" >&2; exit 1; }
run "$work/app/kalvor.exe" say -o "$(winpath "$work/long.wav")" -f "$(winpath "$work/long.txt")" ||
  { echo "lumeko_e2e: kalvor say failed" >&2; exit 1; }

step "1. first start, no settings: copying Turkish text reads it"
start_lumeko
first_engine=$(driver engine)
check "the first engine is selected with no settings stored" test -n "$first_engine"
driver clip "$text"
check_read 0 "the WAV holds exactly what kalvor say makes of the text" \
  "nothing was read after the clipboard changed" same "$work/lumeko.wav" "$work/ref.wav"

step "2. the read key reads the clipboard again"
before=$(wav_size)
driver key 121 >/dev/null   # F10
check_read "$before" "F10 added the same speech once more" "F10 read nothing" \
  part "$work/lumeko.wav" "$before" "$work/ref.wav"

step "3. the stop key ends a long text"
before=$(wav_size)
driver clip "$long_text"
for _ in $(seq 1 300); do [ "$(wav_size)" -gt "$before" ] && break; sleep 0.1; done
sleep 1
driver key 122 >/dev/null   # F11
check_read "$before" "F11 cut the long text short" "the long text was not read" \
  prefix "$work/lumeko.wav" "$before" "$work/long.wav"

step "4. a second start shows the player and ends"
check "the player is hidden at first" test "$(driver visible player)" = 0
check "a second start ends at once with exit code 0" timeout 60 \
  "$kalvor_scripts/wine-run.sh" --prefix "$WINEPREFIX" --bits "$bits" "$work/app/Lumeko.exe"
check "the running copy shows its player" test "$(driver visible player)" = 1
check "without checking \"Görsel Kontroller\"" test "$(driver checked 'Görsel Kontroller')" = 0

step "5. &Tamam stores the settings"
driver show-settings >/dev/null
driver click 'Görsel Kontroller' >/dev/null
driver hotkey 0 120 >/dev/null          # F9 reads from now on
driver bar 0 150 >/dev/null             # pitch
driver click '&Tamam' >/dev/null
check "the settings window is hidden again" test "$(driver visible settings)" = 0
run reg query 'HKCU\Software\Verdanis\Lumeko' >"$work/settings.txt" 2>&1
for value in EngModeName Pitch Speed Volume skplay skstop viscontrols autoplay; do
  check "\"$value\" is stored for the user" grep -q "$value" "$work/settings.txt"
done
engine=$(driver engine)

step "6. the quit menu ends the program and leaves the system as it was"
check "Çıkış ends the program with exit code 0" quit_lumeko
check "no Lumeko window is left in the clipboard chain and F10/F11 are free" \
  run "$work/app/lumeko-driver.exe" released

step "7. a restart restores the settings"
start_lumeko
check "the engine mode is restored" test "$(driver engine)" = "$engine"
check "\"Görsel Kontroller\" is checked" test "$(driver checked 'Görsel Kontroller')" = 1
check "the player is shown" test "$(driver visible player)" = 1
check "the read key is F9" test "$(driver hotkey 0)" = 120
check "the pitch bar is where it was left" test "$(driver bar 0)" = 150
driver clip "$text"          # read automatically with the restored pitch
if wait_wav_settled 0 60; then
  before=$(wav_size)
  driver key 120 >/dev/null  # F9 now reads
  check_read "$before" "the new read key reads the same speech again" \
    "F9 read nothing after the restart" repeated "$work/lumeko.wav" "$before"
else
  fail "nothing was read after the restart"
fi
check "Çıkış ends the program again" quit_lumeko

step "8. an empty or stale stored engine mode reads with the first listed mode"
for stored in "" "Kaldırılmış Motor"; do
  run reg delete 'HKCU\Software\Verdanis\Lumeko' /f >/dev/null 2>&1
  run reg add 'HKCU\Software\Verdanis\Lumeko' /v EngModeName /t REG_SZ /d "$stored" /f >/dev/null 2>&1
  rm -f "$work/lumeko.wav"
  start_lumeko
  check "\"$stored\" selects the first mode" test -n "$(driver engine)"
  check "... the one selected with no settings at all" test "$(driver engine)" = "$first_engine"
  driver clip "$text"
  check_read 0 "... and the clipboard is read with it" \
    "nothing was read with the stored engine mode \"$stored\"" \
    same "$work/lumeko.wav" "$work/ref.wav"
  check "no message box came" test "$(boxes)" = 0
  check "Çıkış ends the program" quit_lumeko
done

echo
if [ "$failed" -eq 0 ]; then echo "lumeko_e2e ($LC_ALL): all checks passed"; else echo "lumeko_e2e ($LC_ALL): $failed checks failed"; fi
[ "$failed" -eq 0 ]
