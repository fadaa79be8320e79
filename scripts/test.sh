#!/usr/bin/env bash
# Installs what is missing, builds Quillpost and runs every test twice: once in a normal build and
# once built with AddressSanitizer and UndefinedBehaviorSanitizer; first it fuzzes the account-file
# reader and the POP3 dialogue for a minute each. Needs no display or sound card. Run it as an
# ordinary user (sudo is asked for only when packages are missing) or as root; as root, the
# sanitizer build's tests run as an ordinary user, so that every run also shows that the suite
# passes for one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QUILLPOST_DEPS_CHECKED=1  # the scripts called below need not check again

JOBS=$(nproc)
TEST_USER=${QUILLPOST_TEST_USER:-quillpost-test}
export QT_QPA_PLATFORM=offscreen
# A sanitizer report fails the test that caused it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

# Runs a command as $TEST_USER (created if missing) with an ordinary user's PATH, which lacks
# /usr/sbin. The build folder becomes that user's: ctest writes into it.
as_test_user() {
  local build=$1
  shift
  id "$TEST_USER" >/dev/null 2>&1 || useradd --create-home --shell /usr/sbin/nologin "$TEST_USER"
  local home
  home=$(getent passwd "$TEST_USER" | cut -d: -f6)
  chown -R "$TEST_USER:" "$build"
  local run=(setpriv --reuid="$TEST_USER" --regid="$TEST_USER" --init-groups
    env HOME="$home" USER="$TEST_USER" LOGNAME="$TEST_USER" PATH=/usr/local/bin:/usr/bin:/bin)
  if ! "${run[@]}" test -r scripts/lsan.supp -a -w "$build"; then
    echo "$TEST_USER cannot reach $PWD; put the checkout where an ordinary user can read it" >&2
    return 1
  fi
  "${run[@]}" "$@"
}

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
  if [[ $preset == sanitize && $(id -u) -eq 0 ]]; then
    echo "=== ${preset} tests, as the ordinary user ${TEST_USER}"
    as_test_user build-asan ctest --preset "$preset" -j "$JOBS"
  else
    echo "=== ${preset} tests"
    ctest --preset "$preset" -j "$JOBS"
  fi
done
