#!/usr/bin/env bash
# Takes screenshots of Lumeko for review: each page of the settings window and the floating player,
# as PNG files, at 96 and at 144 DPI (OUT_DIR/96dpi, OUT_DIR/144dpi), under a private Xvfb whose
# screen Xvfb itself keeps in a file. They belong in the build tree, not in the repository.
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]     (defaults: build/win64, BUILD_DIR/screenshots)
# DPIS="96 144" picks the resolutions.
# BUILD_DIR is a Windows build (win64 preset, so that wine64 runs it) with Lumeko.exe and
# lumeko-driver.exe built. When the engine and the stand-in run time are built there too, they are
# registered first, so that the pages show a real engine's mode and ranges. LC_ALL picks the
# locale (default tr_TR.UTF-8).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/common.sh
. scripts/common.sh
build=$(realpath "${1:-build/win64}")
out=$(realpath -m "${2:-$build/screenshots}")
bin=$build/bin
for f in Lumeko.exe lumeko-driver.exe; do
  [ -f "$bin/$f" ] || { echo "screenshots: $bin/$f is missing (build the Lumeko and lumeko-driver targets)" >&2; exit 2; }
done

work=$(mktemp -d)
lumeko_pid=""
cleanup() {
  [ -n "$lumeko_pid" ] && kill "$lumeko_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  for p in "$work"/prefix-*; do [ -d "$p" ] && { WINEPREFIX="$p" wineserver -k 2>/dev/null || true; }; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/fb" "$out"
# A display of its own also when DISPLAY is set: the pictures are read from Xvfb's screen file.
start_xvfb screenshots 200 260 1024x768x24 -fbdir "$work/fb" || exit 2

# Nothing is to be heard while the pictures are taken.
export KALVOR_AUDIO_WAV
KALVOR_AUDIO_WAV=$(winpath "$work/audio.wav")
names=(1-ses-ayarlari 2-kisayol-tuslari 3-hakkinda 4-yardim)

bits=64
for dpi in ${DPIS:-96 144}; do
  # A prefix for each resolution: Wine reads it when its first program starts.
  prefix="$work/prefix-$dpi"
  dir="$out/${dpi}dpi"
  mkdir -p "$dir"
  export KALVOR_WINEPREFIX="$prefix" WINEPREFIX="$prefix"
  driver() { run "$bin/lumeko-driver.exe" "$@"; }
  snap() {  # snap NAME WINDOW
    sleep 0.7
    local rect
    rect=$(driver rect "$2" | tr -d '\r')
    # shellcheck disable=SC2086
    python3 scripts/xwd_to_png.py "$work/fb/Xvfb_screen0" "$dir/$1.png" $rect
    echo "screenshots: $dir/$1.png"
  }

  # There is no window manager on Xvfb: Wine draws the window frames and captions itself.
  run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  run reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
  if [ -f "$bin/Kalvor.dll" ] && [ -f "$bin/ORVDAT1.SPD" ] && [ -f "$bin/sapi4rt.dll" ] &&
     [ -f "$bin/kalvor-reg.exe" ]; then
    run "$bin/kalvor-reg.exe" install --dll "$(winpath "$bin/Kalvor.dll")" --runtime \
      --runtime-dll "$(winpath "$bin/sapi4rt.dll")" >/dev/null
  else
    echo "screenshots: no engine in $bin: the pages show no engine mode" >&2
  fi

  run "$bin/Lumeko.exe" &
  lumeko_pid=$!
  driver wait-ready 60
  for page in 0 1 2 3; do
    driver page "$page"
    snap "settings-${names[$page]}" settings
  done
  driver hide-settings
  run "$bin/Lumeko.exe"   # a second start shows the player of the running copy and ends
  snap player player
  # The whole screen: the player where it starts and the tray icon (in Wine's own tray window when
  # no notification area is there).
  sleep 0.5
  python3 scripts/xwd_to_png.py "$work/fb/Xvfb_screen0" "$dir/desktop.png"
  echo "screenshots: $dir/desktop.png"
  driver quit-menu
  driver wait-gone 30
  wait "$lumeko_pid" 2>/dev/null || true
  lumeko_pid=""
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
done
