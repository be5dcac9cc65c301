#!/bin/sh
# kalvor on a default voice: takes every unit out (an empty one among them) and speaks a paragraph
# into a pipe. In the sanitizer build, any fault of the program's own aborts it here.
#   default-voice.sh KALVOR VOICE.SPD TEXT
set -eu
kalvor=$1 voice=$2 text=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$kalvor" voice list "$voice" >"$work/list"
"$kalvor" voice extract "$voice" -o "$work/units" 2>/dev/null
listed=$(cut -f1 "$work/list" | sort -u | wc -l)
made=$(ls "$work/units" | wc -l)
[ "$made" -gt 1000 ] || { echo "only $made units extracted ($listed listed)" >&2; exit 1; }
"$kalvor" say --voice "$voice" -f "$text" | cat >"$work/say.wav"
[ "$(wc -c <"$work/say.wav")" -gt 100000 ] || { echo "say wrote too little" >&2; exit 1; }
echo "ok: $made units, $(wc -c <"$work/say.wav") bytes of speech"
