#!/usr/bin/env bash
# Speed and memory of `kalvor say` against espeak-ng on the same Turkish text, side by side in one
# run, with the floor beside them: `cat` of kalvor's own WAV into /dev/null, the least any program
# can spend to hand over that audio. Every program writes to /dev/null.
#   scripts/bench-say.sh [--build DIR] [--corpus FILE] [--kb N] [--runs N]
# Defaults: build/native, ../shared/corpus/tr-manpages.txt, 100 kB, 5 runs (espeak-ng: 1).
# CPU time (user + system) is the figure to compare on a shared machine; wall time is shown too.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/native
corpus=../shared/corpus/tr-manpages.txt
kb=100
runs=5
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --kb) kb=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench-say: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done

kalvor=$build/bin/kalvor
for need in "$kalvor" "$build/bin/ORVDAT1.SPD"; do
  [ -e "$need" ] || { echo "bench-say: $need is missing; build first (cmake --build $build)" >&2; exit 1; }
done
[ -r "$corpus" ] || { echo "bench-say: cannot read $corpus" >&2; exit 1; }
command -v espeak-ng >/dev/null || { echo "bench-say: espeak-ng is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench-say: GNU time (/usr/bin/time) is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Whole lines up to N kB, so that no UTF-8 character is cut in half.
take() {  # take KB OUT
  LC_ALL=C awk -v max=$(($1 * 1024)) '{ n += length($0) + 1; print; if (n >= max) exit }' \
    "$corpus" >"$2"
}
text=$work/text.txt
take "$kb" "$text"

# The WAV kalvor makes of the text (the floor's input), with its length in seconds.
audio=$("$kalvor" say -f "$text" -o "$work/out.wav" 2>&1 | awk '{ print $(NF-1) }')

# measure PREFIX RUNS COMMAND...: CPU time (user + system) and wall time per run, averaged over
# RUNS runs in one timed loop (finer than one run's 10 ms ticks), and the peak memory of a run.
measure() {
  local prefix=$1 n=$2; shift 2
  /usr/bin/time -f '%U %S %e' -o "$work/time" \
    bash -c 'n=$1; shift; for ((i = 0; i < n; i++)); do "$@" >/dev/null || exit 1; done' _ "$n" "$@" \
    2>"$work/err" || { cat "$work/err" >&2; echo "bench-say: failed: $*" >&2; exit 1; }
  local cpu wall rss
  cpu=$(awk -v n="$n" '{ printf "%.4f", ($1 + $2) / n }' "$work/time")
  wall=$(awk -v n="$n" '{ printf "%.4f", $3 / n }' "$work/time")
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>"$work/err"
  rss=$(cat "$work/rss")
  printf -v "${prefix}_cpu" '%s' "$cpu"
  printf -v "${prefix}_wall" '%s' "$wall"
  printf -v "${prefix}_rss" '%s' "$rss"
}

measure k "$runs" "$kalvor" say -f "$text"
measure c "$runs" cat "$work/out.wav"
measure e 1 espeak-ng -v tr -f "$text" --stdout

bytes=$(wc -c <"$text")
wav=$(wc -c <"$work/out.wav")
voice=$(wc -c <"$build/bin/ORVDAT1.SPD")
sum=$(md5sum <"$work/out.wav" | cut -d' ' -f1)

awk -v bytes="$bytes" -v kc="$k_cpu" -v ec="$e_cpu" -v cc="$c_cpu" -v kw="$k_wall" -v ew="$e_wall" \
  -v cw="$c_wall" -v kr="$k_rss" -v er="$e_rss" -v cr="$c_rss" -v audio="$audio" -v wav="$wav" \
  -v voice="$voice" -v runs="$runs" -v sum="$sum" -v load="$(cut -d' ' -f1 /proc/loadavg)" '
function pos(x) { return x > 0 ? x : 0.0001 }
BEGIN {
  printf "text: %d bytes of Turkish; %.1f s of audio, a %.1f MB WAV (md5 %s)\n", bytes, audio, wav / 1e6, sum
  printf "to /dev/null; kalvor and cat: mean of %d runs, espeak-ng: 1 run; load average %s\n", runs, load
  printf "%-34s %10s %10s %14s\n", "", "CPU (s)", "wall (s)", "peak RSS (MB)"
  printf "%-34s %10.4f %10.4f %14.1f\n", "kalvor say", kc, kw, kr / 1024
  printf "%-34s %10.4f %10.4f %14.1f\n", "espeak-ng -v tr", ec, ew, er / 1024
  printf "%-34s %10.4f %10.4f %14.1f\n", "floor: cat of the WAV", cc, cw, cr / 1024
  printf "kalvor: %.0f times less CPU than espeak-ng, %.1f times the floor\n", ec / pos(kc), kc / pos(cc)
  printf "kalvor: real-time factor %.0f (seconds of audio per second of CPU); voice file %.1f MB\n", audio / pos(kc), voice / 1048576
}'
