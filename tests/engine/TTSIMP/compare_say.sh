#!/usr/bin/env bash
# The audio the mode object writes for a text must equal, byte for byte, what the native
# `kalvor say` writes for the same text, voice and rate.
#   compare_say.sh NATIVE_BIN_DIR WORK_DIR MODE_SAY_EXE EMULATOR...
# Exit 77 (skipped) when the native build is not there. SAY_ENGINE=sapi5 compares the SAPI 5
# engine instead of the SAPI 4 mode.
set -uo pipefail

native_bin=$1 work=$2 exe=$3
shift 3
kalvor="$native_bin/kalvor"
if [ ! -x "$kalvor" ]; then
  echo "skipped: no native kalvor at $kalvor (scripts/test.sh builds build/native first;" \
    "or set KALVOR_NATIVE_BIN)"
  exit 77
fi

rm -rf "$work" && mkdir -p "$work" || exit 1
win() { printf 'Z:%s' "$1"; }  # the Wine prefix maps drive Z: to /

"$@" "$exe" --write-voice "$(win "$work/VOICE.SPD")" || { echo "could not write the voice"; exit 1; }

# SAPI pitch and the rate it selects (pitch / 128 x 100, halves to even; above 255: 200).
cases=(
  "128 100 Ali geldi. Ayşe gitti."
  "64 50 Şişli'de güzel bir ılık öğle vakti! Ne güzel, değil mi?"
  "255 199 Saat 10:30'da 2.500 kişi geldi; 3,75 litre su → içildi."
  "300 200 ÇOK HIZLI konuşuyor. İyi mi?"
  "16 12 Öğretmen Ümit Bey, 1923'te doğdu."
)
: >"$work/cases.txt"
i=0
for c in "${cases[@]}"; do
  read -r pitch rate text <<<"$c"
  i=$((i + 1))
  printf '%s' "$text" >"$work/text$i.txt"
  if ! "$kalvor" say --voice "$work/VOICE.SPD" --rate "$rate" -o "$work/say$i.wav" \
    -f "$work/text$i.txt"; then
    echo "kalvor say failed for: $text"
    exit 1
  fi
  printf '%s\t%s\t%s\n' "$pitch" "$(win "$work/text$i.txt")" "$(win "$work/say$i.wav")" \
    >>"$work/cases.txt"
done

engine=()
[ "${SAY_ENGINE:-}" = sapi5 ] && engine=(--sapi5)
"$@" "$exe" "${engine[@]}" --voice "$(win "$work/VOICE.SPD")" --cases "$(win "$work/cases.txt")"
