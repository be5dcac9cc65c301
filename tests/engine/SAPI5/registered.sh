#!/usr/bin/env bash
# The voices in a fresh Wine prefix, registered by kalvor-reg as the installer does:
#   registered.sh WINE_RUN PREFIX BITS BIN_DIR TEST_EXE
# kalvor-reg lists them in its status, SAPI's token category lists them (kalvor-sapi sapi5 list),
# the test program speaks through the registered class with SAPI's tokens, and after
# kalvor-reg uninstall none of them is left.
set -uo pipefail
wine_run=$1 prefix=$2 bits=$3 bin=$4 exe=$5
rm -rf "$prefix" "$prefix.run.lock"
run() { "$wine_run" --prefix "$prefix" --bits "$bits" "$@" 2>&1 | tr -d '\r'; }
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
has() { grep -q -F -- "$2" <<<"$1"; }
hasnt() { ! grep -q -F -- "$2" <<<"$1"; }

out=$(run "$bin/kalvor-reg.exe" install --dll "$bin/Kalvor.dll")
check "kalvor-reg install ($out)" has "$out" "registered"
status=$(run "$bin/kalvor-reg.exe" status)
check "kalvor-reg status lists both voices" has "$status" "SAPI 5 voices: Kalvor-Tarpek Kalvor-Nilvo"
list=$(run "$bin/kalvor-sapi.exe" sapi5 list)
echo "$list"
check "SAPI lists Tarpek" has "$list" $'Male\t41F\tKalvor'
check "SAPI lists Nilvo" has "$list" $'Female\t41F\tKalvor'

run "$exe"
rc=$?  # run's pipeline fails when the program does (pipefail)
check "speaking through the registered class with SAPI's tokens" test "$rc" -eq 0

run "$bin/kalvor-reg.exe" uninstall >/dev/null
status=$(run "$bin/kalvor-reg.exe" status)
check "no voice left after kalvor-reg uninstall" hasnt "$status" "Kalvor-"
list=$(run "$bin/kalvor-sapi.exe" sapi5 list)
check "SAPI lists none of ours" hasnt "$list" "Kalvor"
exit $((failures > 0))
