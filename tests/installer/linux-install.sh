#!/usr/bin/env bash
# The Linux install as a user gets it: cmake --install into a fresh prefix, then the installed
# kalvor run from elsewhere finds its installed voices, --voice overrides them, the tree still works
# when moved, --play goes through libao (to its null output here, and to outputs that cannot open),
# and the manual page renders and describes every command and option that --help names.
#   linux-install.sh BUILD_DIR
set -uo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=scripts/common.sh
. "$(dirname "$0")/../../scripts/common.sh"
has() { grep -q -- "$2" "$1"; }
same() { cmp -s "$1" "$2"; }

prefix=$work/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
for f in bin/kalvor share/kalvor/ORVDAT1.SPD share/kalvor/ORVDAT2.SPD share/man/man1/kalvor.1; do
  check "installed $f" test -f "$prefix/$f"
done
# Nothing but these lands in the prefix (no build-tree files, no test programs).
check "only the program, the voices and the manual are installed" \
  test "$(cd "$prefix" && find . -type f | sort | tr '\n' ' ')" = \
  "./bin/kalvor ./share/kalvor/ORVDAT1.SPD ./share/kalvor/ORVDAT2.SPD ./share/man/man1/kalvor.1 "

# From another directory, with no voice beside the program or in the current directory: the
# installed voices are found, and they speak as the build tree's do.
mkdir -p "$work/elsewhere"
cd "$work/elsewhere" || exit 1
text="Merhaba! Saat 14.30'da buluşalım mı?"
"$build/bin/kalvor" say -o "$work/build-male.wav" "$text" 2>/dev/null
"$build/bin/kalvor" say --voice female -o "$work/build-female.wav" "$text" 2>/dev/null
check "installed kalvor says into a file" "$prefix/bin/kalvor" say -o x.wav "$text"
check "the installed male voice speaks as the build tree's" same x.wav "$work/build-male.wav"
check "installed kalvor, female voice" "$prefix/bin/kalvor" say --voice female -o y.wav "$text"
check "the installed female voice speaks as the build tree's" same y.wav "$work/build-female.wav"
check "male and female differ" bash -c "! cmp -s x.wav y.wav"
cp "$prefix/share/kalvor/ORVDAT2.SPD" "$work/own.spd"
check "--voice PATH overrides the installed voices" \
  "$prefix/bin/kalvor" say --voice "$work/own.spd" -o z.wav "$text"
check "... and speaks with that file" same z.wav "$work/build-female.wav"

# The voices are found relative to the program, so the installed tree may move.
mv "$prefix" "$work/moved"
check "a moved installation still finds its voices" "$work/moved/bin/kalvor" say -o m.wav "$text"
check "... the same voice" same m.wav "$work/build-male.wav"
rm "$work/moved/share/kalvor/ORVDAT1.SPD"
"$work/moved/bin/kalvor" say -o n.wav "$text" 2>"$work/err"
check "a missing voice fails" test $? -eq 1
check "... naming the installed voice folder" has "$work/err" "$work/moved/share/kalvor"
check "... and leaves no file" test ! -e n.wav
mv "$work/moved" "$prefix"
cp "$build/bin/ORVDAT1.SPD" "$prefix/share/kalvor/"

# --play through libao. Its null output stands in for a sound card; with no output that opens,
# kalvor fails clearly. HOME holds libao's user configuration (~/.libao); ALSA and the sound
# server are pointed at nothing, so that no sound is made on a machine that has a sound card.
export HOME=$work/home ALSA_CONFIG_PATH=$work/home/asound.conf
export PULSE_SERVER=unix:$work/home/no-server PULSE_RUNTIME_PATH=$work/home
mkdir -p "$HOME"
: >"$ALSA_CONFIG_PATH"
echo default_driver=null >"$HOME/.libao"
# The sound libraries' output plugins keep a few allocations until they are unloaded: in a
# sanitizer build the leak report would be taken for kalvor's own output.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$prefix/bin/kalvor" say --play "$text" >"$work/out" 2>"$work/err"
check "say --play plays through the configured output" test $? -eq 0
check "... and writes no WAV to standard output" test ! -s "$work/out"
check "say --play -o writes the file too" "$prefix/bin/kalvor" say --play -o p.wav "$text"
check "... the same speech" same p.wav "$work/build-male.wav"
echo default_driver=alsa >"$HOME/.libao"
"$prefix/bin/kalvor" say --play "$text" >"$work/out" 2>"$work/err"
check "say --play with no output that opens fails" test $? -eq 1
check "... saying that no audio output opened" has "$work/err" "no audio output could be opened"
check "... naming the outputs tried" has "$work/err" "alsa (the device did not open)"
"$prefix/bin/kalvor" say --play -o q.wav "$text" 2>"$work/err"
check "... but with -o still writes the file" same q.wav "$work/build-male.wav"
check "... after one warning line and the file's own" test "$(wc -l <"$work/err")" -eq 2

# The manual page: it renders without warnings, and everything --help names is in it.
man_page=$prefix/share/man/man1/kalvor.1
MANWIDTH=100 LC_ALL=C.UTF-8 man --warnings -l "$man_page" >"$work/man.txt" 2>"$work/man.err"
check "man -l renders the page" test $? -eq 0
check "... without warnings" test ! -s "$work/man.err"
# groff may draw hyphens and minus signs as Unicode dashes.
sed -i 's/\xe2\x88\x92/-/g; s/\xe2\x80\x90/-/g' "$work/man.txt"
for c in "kalvor say" "kalvor sentences" "kalvor units" "kalvor voice build" "kalvor voice list" \
  "kalvor voice extract" EXAMPLES; do
  check "the manual has $c" has "$work/man.txt" "$c"
done
for cmd in "" say sentences units voice; do
  # shellcheck disable=SC2086
  "$prefix/bin/kalvor" $cmd --help >"$work/help.txt"
  grep -oE -- '(^|[ [|])--?[a-z][a-z-]*' "$work/help.txt" | sed 's/^[ [|]//' | sort -u |
    while read -r opt; do
      has "$work/man.txt" "$opt" || echo "$opt"
    done >"$work/missing"
  check "the manual names every option of kalvor $cmd --help ($(tr '\n' ' ' <"$work/missing"))" \
    test ! -s "$work/missing"
done

checks_done
