#!/usr/bin/env bash
# Speed and memory of `kalvor say` against espeak-ng on the same Turkish text, side by side in one
# run. Both write their audio to /dev/null; GNU time measures wall time and peak memory.
#   scripts/bench-say.sh [--build DIR] [--corpus FILE] [--kb N] [--runs N]
# Defaults: build/native, ../shared/corpus/tr-manpages.txt, 100 kB, best of 3 runs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/native
corpus=../shared/corpus/tr-manpages.txt
kb=100
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --kb) kb=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
small=$work/small.txt
take "$kb" "$text"
take $((kb / 10 > 0 ? kb / 10 : 1)) "$small"

# measure OUT-PREFIX COMMAND...: best wall time of $runs runs, with the CPU time (user + system)
# and the peak memory of that run. On a busy machine the CPU time is the steadier figure.
measure() {
  local prefix=$1; shift
  local best="" cpu="" rss=""
  for _ in $(seq "$runs"); do
    /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
      { cat "$work/err" >&2; echo "bench-say: failed: $*" >&2; exit 1; }
    local wall c kb_rss
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
      for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.3f", s }' "$work/time")
    c=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.3f", s }' "$work/time")
    kb_rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time")
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$wall
      cpu=$c
      rss=$kb_rss
    fi
  done
  printf -v "${prefix}_wall" '%s' "$best"
  printf -v "${prefix}_cpu" '%s' "$cpu"
  printf -v "${prefix}_rss" '%s' "$rss"
}

measure k "$kalvor" say -f "$text"
measure e espeak-ng -v tr -f "$text" --stdout
measure ks "$kalvor" say -f "$small"

# Seconds of audio that kalvor made from the text: from its summary line.
audio=$("$kalvor" say -f "$text" -o "$work/out.wav" 2>&1 | awk '{ print $(NF-1) }')
bytes=$(wc -c <"$text")
voice=$(wc -c <"$build/bin/ORVDAT1.SPD")

awk -v bytes="$bytes" -v kw="$k_wall" -v ew="$e_wall" -v kc="$k_cpu" -v ec="$e_cpu" \
  -v kr="$k_rss" -v er="$e_rss" -v ksr="$ks_rss" -v kb_small="$(wc -c <"$small")" \
  -v audio="$audio" -v voice="$voice" -v runs="$runs" -v load="$(cut -d' ' -f1 /proc/loadavg)" '
function pos(x) { return x > 0 ? x : 0.001 }
BEGIN {
  printf "text: %d bytes of Turkish; best of %d runs; audio to /dev/null; load average %s\n", bytes, runs, load
  printf "%-28s %10s %10s %14s\n", "", "wall (s)", "CPU (s)", "peak RSS (MB)"
  printf "%-28s %10.3f %10.3f %14.1f\n", "kalvor say", kw, kc, kr / 1024
  printf "%-28s %10.3f %10.3f %14.1f\n", "espeak-ng -v tr", ew, ec, er / 1024
  printf "%-28s %10s %10s %14.1f\n", sprintf("kalvor say, %d bytes", kb_small), "", "", ksr / 1024
  printf "kalvor is %.0f times faster than espeak-ng in wall time, %.0f times in CPU time\n", ew / pos(kw), ec / pos(kc)
  printf "kalvor: %.1f s of audio, real-time factor %.0f (seconds of audio per second of wall time)\n", audio, audio / pos(kw)
  printf "kalvor peak memory: %.1f MB for %d bytes of text, %.1f MB for %d bytes (voice file %.1f MB, read unit by unit)\n", kr / 1024, bytes, ksr / 1024, kb_small, voice / 1048576
}'
