#!/usr/bin/env bash
# End to end through the stand-in SAPI 4 run time, in a Wine prefix of its own:
#   e2e.sh register    make the prefix afresh and register Kalvor.dll and the run time in it, the
#                      ways a user can: a .reg file, kalvor-reg itself, and its refusal to go over
#                      a foreign run time
#   e2e.sh say         speak through kalvor-sapi (CoCreateInstance, Find, Select, TextData) into
#                      WAV files and compare them, sample for sample, with kalvor say
#   e2e.sh tagged      speak tagged text through kalvor-sapi say --tagged: the marks printed in
#                      order, the audio that of the text without its marks and unused tags
#   e2e.sh unregister  take everything out again
# Environment: WINE_RUN (scripts/wine-run.sh with its --prefix and --bits), PREFIX, BIN (the
# Windows build's bin folder), NATIVE_KALVOR (the native kalvor program, for say).
# Exit code 77 means skipped (what is needed is not built).
set -uo pipefail

: "${WINE_RUN:?}" "${PREFIX:?}" "${BIN:?}"
read -r -a wine <<<"$WINE_RUN"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs a Windows program in the prefix; its output (UTF-8) in $out, its exit code in $rc.
run() {
  "${wine[@]}" "$@" >"$work/out" 2>&1
  rc=$?
  out=$(grep -v -e '^X connection to' -e '^ALSA lib' -e '^wine-run: making' "$work/out")
}

expect() {  # expect RC PATTERN WHAT: the last run's exit code and output
  if [ "$rc" -ne "$1" ]; then fail "$3: exit code $rc, expected $1; output: $out"; return; fi
  if [ -n "$2" ] && ! grep -qE -- "$2" <<<"$out"; then fail "$3: output lacks /$2/: $out"; fi
}

winpath() { echo "Z:${1//\//\\}"; }

register() {
  rm -rf "$PREFIX" "$PREFIX.lock"
  local enumkey='HKLM\Software\Classes\CLSID\{D67C0280-C743-11CD-80E5-00AA003E4B50}\InprocServer32'

  # A .reg file that regedit imports.
  run "$BIN/kalvor-reg.exe" install --runtime --reg-file "$(winpath "$work/kalvor.reg")"
  expect 0 "wrote" "kalvor-reg install --reg-file"
  local text
  text=$(iconv -f UTF-16 -t UTF-8 "$work/kalvor.reg" | tr -d '\r')
  grep -q '^Windows Registry Editor Version 5.00$' <<<"$text" || fail ".reg: no header"
  grep -q '^"ThreadingModel"="Apartment"$' <<<"$text" || fail ".reg: no ThreadingModel"
  local dll
  dll=$(winpath "$BIN/Kalvor.dll")
  grep -qF "@=\"${dll//\\/\\\\}\"" <<<"$text" || fail ".reg: no path $dll: $text"
  grep -qF '"Kalvor"="{E9214560-A13D-11D2-9139-B95D811E54FF}"' <<<"$text" ||
    fail ".reg: no engine list entry"
  run reg.exe import "$(winpath "$work/kalvor.reg")"
  expect 0 "" "reg import of the generated file"
  run "$BIN/kalvor-reg.exe" status
  expect 0 "Kalvor.dll \(Apartment\)" "status after the .reg import"
  grep -q "in the SAPI 4 engine list: yes" <<<"$out" || fail "not listed after the .reg import: $out"

  # Out again, then in with kalvor-reg itself.
  run "$BIN/kalvor-reg.exe" uninstall --runtime
  expect 0 "removed" "kalvor-reg uninstall --runtime"
  run "$BIN/kalvor-reg.exe" status
  grep -q "in the SAPI 4 engine list: yes" <<<"$out" && fail "still listed after uninstall: $out"
  grep -q "TTS enumerator: not registered" <<<"$out" || fail "run time left after uninstall: $out"

  # A foreign run time is neither replaced nor removed, unless forced.
  run reg.exe add "$enumkey" /ve /d 'C:\windows\system32\foreignsr.dll' /f
  expect 0 "" "reg add of a foreign run time"
  run "$BIN/kalvor-reg.exe" install --runtime
  expect 1 "run time is installed here already" "install over a foreign run time"
  run "$BIN/kalvor-reg.exe" uninstall --runtime
  expect 1 "left alone" "uninstall of a foreign run time"
  run "$BIN/kalvor-reg.exe" install --runtime --force
  expect 0 "registered" "install --force"
  run "$BIN/kalvor-reg.exe" install --dll "$(winpath "$work/nowhere/Kalvor.dll")"
  expect 1 "nowhere" "install of a DLL that is not there"
  run "$BIN/kalvor-reg.exe" install --bogus
  expect 2 "unknown option --bogus" "a wrong option"

  run "$BIN/kalvor-reg.exe" status
  expect 0 "sapi4rt.dll" "final status"
  grep -q "in the SAPI 4 engine list: yes" <<<"$out" || fail "not listed at the end: $out"
}

unregister() {
  run "$BIN/kalvor-reg.exe" uninstall --runtime
  expect 0 "removed" "kalvor-reg uninstall --runtime"
  run "$BIN/kalvor-reg.exe" status
  grep -q "engine {E9214560-A13D-11D2-9139-B95D811E54FF}: not registered" <<<"$out" ||
    fail "engine still registered: $out"
}

# One comparison: LOCALE, then kalvor-sapi's options, then --, then kalvor say's options; the text
# is $text.
compare() {
  local locale=$1 name=$2
  shift 2
  local sapi=() native=()
  while [ "$1" != "--" ]; do sapi+=("$1"); shift; done
  shift
  native=("$@")
  rm -f "$work/sapi.wav" "$work/native.wav"
  LC_ALL=$locale run "$BIN/kalvor-sapi.exe" say "${sapi[@]}" -o "$(winpath "$work/sapi.wav")" \
    "$text"
  if [ "$rc" -ne 0 ]; then fail "$name: kalvor-sapi exit code $rc: $out"; return; fi
  if ! "$NATIVE_KALVOR" say "${native[@]}" -o "$work/native.wav" "$text" 2>/dev/null; then
    fail "$name: kalvor say failed"; return
  fi
  if cmp -s "$work/sapi.wav" "$work/native.wav"; then
    echo "ok: $name ($(stat -c %s "$work/sapi.wav") bytes)"
  else
    fail "$name: the WAV files differ ($(cmp "$work/sapi.wav" "$work/native.wav" 2>&1))"
  fi
}

say() {
  if [ -z "${NATIVE_KALVOR:-}" ] || [ ! -x "$NATIVE_KALVOR" ]; then
    echo "skipped: no native kalvor at ${NATIVE_KALVOR:-(not given)}; build the native preset first"
    exit 77
  fi
  for v in ORVDAT1.SPD ORVDAT2.SPD; do
    if [ ! -f "$BIN/$v" ]; then
      echo "skipped: $BIN/$v is missing; build the voices target of this tree first"
      exit 77
    fi
  done
  local male=(--voice "$BIN/ORVDAT1.SPD") female=(--voice "$BIN/ORVDAT2.SPD")
  local english=(--thousands , --decimal .)

  # The run time lists the male mode only, in either locale; the names come out right in both.
  for locale in tr_TR.UTF-8 en_US.UTF-8; do
    LC_ALL=$locale run "$BIN/kalvor-sapi.exe" list
    expect 0 "" "list ($locale)"
    [ "$(grep -c Kalvor <<<"$out")" -eq 1 ] || fail "list ($locale): not exactly one mode: $out"
    grep -qF "Türkçe, Erkek, Tarpek (Kalvor)" <<<"$out" || fail "list ($locale): $out"
  done

  text="Merhaba dünya! Bugün hava çok güzel; ağaçların gölgesi 1.234,5 metre mi? Şöyle: 3,5 kilo."
  compare tr_TR.UTF-8 "male, Turkish locale" -- "${male[@]}"
  compare tr_TR.UTF-8 "female at rate 120" --voice female --rate 120 -- "${female[@]}" --rate 120
  compare tr_TR.UTF-8 "female through the ANSI interfaces, pitch 100" --voice female --ansi \
    --pitch 100 -- "${female[@]}" --rate 78
  # An English system reads the numbers with its own separators and still speaks Turkish letters.
  compare en_US.UTF-8 "male, English locale" -- "${male[@]}" "${english[@]}"
  compare en_US.UTF-8 "female found by its name, English locale" \
    --mode "Türkçe, Kadın, Nilvo (Kalvor)" -- "${female[@]}" "${english[@]}"
  text="Çok güzel bir gün, ölçü 12,5 kilo."  # letters the 1252 code page has
  compare en_US.UTF-8 "male through the ANSI interfaces, English locale" --ansi -- \
    "${male[@]}" "${english[@]}"

  run "$BIN/kalvor-sapi.exe" say --mode "Yok böyle bir ses" -o "$(winpath "$work/x.wav")" deneme
  expect 1 "no SAPI 4 voice mode named" "an unknown mode"
  [ -e "$work/x.wav" ] && fail "an unknown mode left a WAV file"
}

tagged() {
  local wanted
  for v in ORVDAT1.SPD ORVDAT2.SPD; do
    if [ ! -f "$BIN/$v" ]; then
      echo "skipped: $BIN/$v is missing; build the voices target of this tree first"
      exit 77
    fi
  done
  for ansi in "" --ansi; do
    local what="tagged${ansi:+ through the ANSI interfaces}"
    rm -f "$work/plain.wav" "$work/tagged.wav"
    run "$BIN/kalvor-sapi.exe" say $ansi -o "$(winpath "$work/plain.wav")" \
      'Merhaba dünya. Çok güzel bir gün.'
    expect 0 "" "$what: the plain text"
    run "$BIN/kalvor-sapi.exe" say $ansi --tagged -o "$(winpath "$work/tagged.wav")" \
      '\Mrk=1\Merhaba \Emp\dünya. \Mrk=2\Çok güzel \RmS=1\bir gün.\Mrk=3\'
    expect 0 "" "$what"
    wanted=$(printf 'mark 1\nmark 2\nmark 3')
    [ "$(grep -o '^mark [0-9]*' <<<"$out")" = "$wanted" ] || fail "$what: marks not in order: $out"
    if cmp -s "$work/plain.wav" "$work/tagged.wav"; then
      echo "ok: $what ($(stat -c %s "$work/tagged.wav") bytes, marks in order)"
    else
      fail "$what: the audio differs from the text's without tags"
    fi
  done
  # A pause tag adds exactly its silence.
  run "$BIN/kalvor-sapi.exe" say --tagged -o "$(winpath "$work/pause.wav")" \
    'Merhaba dünya. \Pau=500\Çok güzel bir gün.'
  expect 0 "" "a pause tag"
  local grown=$(( $(stat -c %s "$work/pause.wav") - $(stat -c %s "$work/plain.wav") ))
  [ "$grown" -eq 16000 ] || fail "a pause of 500 ms added $grown bytes, not 16000"
}

case "${1:-}" in
  register) register ;;
  say) say ;;
  tagged) tagged ;;
  unregister) unregister ;;
  *) echo "usage: e2e.sh register|say|tagged|unregister" >&2; exit 2 ;;
esac
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
