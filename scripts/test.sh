#!/usr/bin/env bash
# Installs what is missing, builds Quillpost and runs every test twice: once in a normal build and
# once built with AddressSanitizer and UndefinedBehaviorSanitizer; first it fuzzes the account-file
# reader and the POP3 dialogue for a minute each. Needs no display or sound card.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QUILLPOST_DEPS_CHECKED=1  # the scripts called below need not check again

JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen
# A sanitizer report fails the test that caused it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

echo "=== fuzzing (a short bounded run of each target)"
bash scripts/fuzz.sh 60

for preset in default sanitize; do
  echo "=== ${preset} build"
  cmake --preset "$preset" >/dev/null
  log=$(mktemp)
  if ! cmake --build --preset "$preset" -j "$JOBS" >"$log" 2>&1; then
    tail -n 60 "$log"
    exit 1
  fi
  grep -i 'warning' "$log" || true
  echo "=== ${preset} tests"
  ctest --preset "$preset" -j "$JOBS"
done
