#!/usr/bin/env bash
# Speed of the text front end, in a native Release build:
#  - kalvor units -f TEXT end to end (reading, UTF-8 in and out, every sentence, word and unit),
#    in MB of input per second, best of five runs;
#  - the front end alone on the same text (bench_frontend): the whole text, and the time from the
#    start of speaking to the first unit when the whole text is handed over in one piece.
#   scripts/bench-frontend.sh [TEXT]     TEXT is UTF-8; default ../shared/corpus/tr-manpages.txt
set -euo pipefail
cd "$(dirname "$0")/.."

text=${1:-../shared/corpus/tr-manpages.txt}
build=${KALVOR_BENCH_BUILD:-build/bench-release}
[ -r "$text" ] || { echo "bench-frontend: cannot read $text" >&2; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc &&
       cmake --build "$build" --target kalvor bench_frontend -j 2; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "bench-frontend: the Release build failed" >&2
  exit 1
fi

bytes=$(stat -c %s "$text")
# Wall clock and processor time (user + system) of each run; the best of five of each. On a
# machine shared with other work the processor time tells what the program itself costs.
TIMEFORMAT='%R %U %S'
best_wall= best_cpu=
for _ in 1 2 3 4 5; do
  read -r wall user sys < <( { time "$build/bin/kalvor" units -f "$text" >/dev/null; } 2>&1 )
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
  best_wall=$(awk -v a="$wall" -v b="${best_wall:-$wall}" 'BEGIN { print (a < b ? a : b) }')
  best_cpu=$(awk -v a="$cpu" -v b="${best_cpu:-$cpu}" 'BEGIN { print (a < b ? a : b) }')
done
awk -v b="$bytes" -v w="$best_wall" -v c="$best_cpu" 'BEGIN {
  printf "kalvor units -f: %.2f MB; %.0f ms wall, %.1f MB/s; %.0f ms processor, %.1f MB/s (best of 5)\n",
    b / 1e6, w * 1e3, (b / 1e6) / w, c * 1e3, (b / 1e6) / c
}'
"$build/bin/bench_frontend" "$text" 9
