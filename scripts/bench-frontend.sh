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

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc >/dev/null
cmake --build "$build" --target kalvor bench_frontend -j 2 >/dev/null

bytes=$(stat -c %s "$text")
best=
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$build/bin/kalvor" units -f "$text" >/dev/null
  ns=$(( $(date +%s%N) - start ))
  if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
done
awk -v b="$bytes" -v ns="$best" 'BEGIN {
  printf "kalvor units -f: %.2f MB in %.1f ms, %.1f MB/s (best of 5)\n", b / 1e6, ns / 1e6, (b / 1e6) / (ns / 1e9)
}'
"$build/bin/bench_frontend" "$text" 9
