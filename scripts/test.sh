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
tests_passed=0
tests_failed=0

run() {  # run NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed+=("$name"); else failed+=("$name"); fi
}

build() {  # build PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}

fuzz() {
  cmake --preset native-fuzz >/dev/null && cmake --build --preset native-fuzz -j "$jobs" --target fuzzers || return 1
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

# Runs a preset's tests (more ctest options may follow) and adds its counts to the totals.
check() {
  local log="build/$1/ctest.log"
  ctest --preset "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line total nfail
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -n 1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    nfail=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    tests_passed=$((tests_passed + total - nfail))
    tests_failed=$((tests_failed + nfail))
  fi
  return "$rc"
}

# The shipped 32-bit binaries under 32-bit Wine. Where the kernel refuses 32-bit code, Wine runs
# under qemu's user-mode emulation, many times slower: there only the tests labelled "emulated" run
# (what only the 32-bit build can show: the engine DLL and its modes, SAPI 4 registration and
# speech, Lumeko, the x86 installer); the rest run in the win64 stage.
win32() {
  local start=$SECONDS rc
  build win32 || return 1
  echo "--- win32: built in $((SECONDS - start)) s"
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "test: 32-bit Wine does not run here (scripts/setup.sh sets it up)" >&2
    return 1
  fi
  start=$SECONDS
  if scripts/wine-run.sh --emulated; then
    echo "--- win32: 32-bit Wine runs under qemu-i386: the tests labelled emulated"
    check win32 -L emulated
  else
    check win32
  fi
  rc=$?
  echo "--- win32: the tests took $((SECONDS - start)) s"
  return $rc
}

for s in "${stages[@]}"; do
  case "$s" in
    native) run native eval 'build native && check native' ;;
    asan) run native-asan eval 'build native-asan && check native-asan' ;;
    fuzz) run fuzz fuzz ;;
    win32) run win32 win32 ;;
    win64) run win64 eval 'build win64 && check win64' ;;
    *) echo "test: unknown stage $s" >&2; exit 2 ;;
  esac
done

echo
echo "stages passed: ${passed[*]:-none}; failed: ${failed[*]:-none}"
# A stage that failed before its tests ran counts as one failed test.
echo "$tests_passed passed, $((tests_failed + ${#failed[@]})) failed"
[ ${#failed[@]} -eq 0 ]
