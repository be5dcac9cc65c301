#!/usr/bin/env bash
# Builds every configuration and runs every test: native, sanitizers, fuzzers (a short run each),
# the 32-bit Windows deliverables, and the Windows tests under Wine.
#   scripts/test.sh [native|asan|fuzz|win32|win64 ...]   (default: all of them)
set -uo pipefail
cd "$(dirname "$0")/.."

"$(dirname "$0")/setup.sh" >/dev/null || { echo "test: setup failed" >&2; exit 1; }

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(native asan fuzz win32 win64)
jobs=$(nproc 2>/dev/null || echo 2)
failed=()
passed=()

run() {  # run NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed+=("$name"); else failed+=("$name"); fi
}

build() {  # build PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}

fuzz() {
  build native-fuzz || return 1
  local ok=0
  for f in build/native-fuzz/bin/fuzz_*; do
    [ -x "$f" ] || continue
    local name corpus seeds
    name=$(basename "$f")
    corpus="build/native-fuzz/corpus/$name"   # what this machine found so far
    seeds="tests/fuzz/corpus/$name"           # the committed corpus
    mkdir -p "$corpus"
    [ -d "$seeds" ] || seeds=""
    echo "--- $name"
    # shellcheck disable=SC2086
    "$f" "$corpus" $seeds -max_total_time="${KALVOR_FUZZ_SECONDS:-30}" -print_final_stats=0 \
      > "build/native-fuzz/$name.log" 2>&1 || { ok=1; tail -n 40 "build/native-fuzz/$name.log"; }
    tail -n 2 "build/native-fuzz/$name.log"
  done
  return $ok
}

for s in "${stages[@]}"; do
  case "$s" in
    native) run native bash -c "$(declare -f build); build native && ctest --preset native" ;;
    asan) run native-asan bash -c "$(declare -f build); build native-asan && ctest --preset native-asan" ;;
    fuzz) run fuzz fuzz ;;
    # The shipped Windows binaries: built and checked, not run (32-bit code cannot run here).
    win32) run win32 bash -c "$(declare -f build); build win32" ;;
    win64) run win64 bash -c "$(declare -f build); build win64 && ctest --preset win64" ;;
    *) echo "test: unknown stage $s" >&2; exit 2 ;;
  esac
done

echo
echo "stages passed: ${passed[*]:-none}; failed: ${failed[*]:-none}"
echo "${#passed[@]} passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
