#!/usr/bin/env bash
# Installs what is missing, builds Quillpost and runs every test twice: once in a normal build and
# once built with AddressSanitizer and UndefinedBehaviorSanitizer; first it fuzzes the account-file
# reader, the POP3 and IMAP dialogues and the IMAP watch's dialogue for a minute each, and after the normal build's tests it
# runs every benchmark once in its short mode. Needs no display or sound card. Run it as an
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

# The command run as $TEST_USER (created if missing) with an ordinary user's PATH, which lacks
# /usr/sbin.
as_test_user() {
  id "$TEST_USER" >/dev/null 2>&1 || useradd --create-home --shell /usr/sbin/nologin "$TEST_USER"
  local home
  home=$(getent passwd "$TEST_USER" | cut -d: -f6)
  setpriv --reuid="$TEST_USER" --regid="$TEST_USER" --init-groups \
    env HOME="$home" USER="$TEST_USER" LOGNAME="$TEST_USER" PATH=/usr/local/bin:/usr/bin:/bin "$@"
}

# Builds one preset in the source folder $2 and runs its tests, as $TEST_USER when $3 is set.
build_and_test() {
  local preset=$1 source=$2 ordinary=${3:-}
  echo "=== ${preset} build"
  (cd "$source" && cmake --preset "$preset" >/dev/null)
  local log
  log=$(mktemp)
  if ! (cd "$source" && cmake --build --preset "$preset" -j "$JOBS") >"$log" 2>&1; then
    tail -n 60 "$log"
    exit 1
  fi
  grep -i 'warning' "$log" || true
  if [[ -n $ordinary ]]; then
    echo "=== ${preset} tests, as the ordinary user ${TEST_USER}"
    chown -R "$TEST_USER:" "$source/build-asan"
    (cd "$source" && as_test_user ctest --preset "$preset" -j "$JOBS")
  else
    echo "=== ${preset} tests"
    (cd "$source" && ctest --preset "$preset" -j "$JOBS")
  fi
}

echo "=== fuzzing (a short bounded run of each target)"
bash scripts/fuzz.sh 60

build_and_test default "$PWD"
# Every benchmark once, in its short mode: none may stop building or running unnoticed.
echo "=== benchmarks (each once, short)"
bash bench/run_all.sh --quick
if [[ $(id -u) -ne 0 ]]; then
  build_and_test sanitize "$PWD"
  exit 0
fi
# As root, the sanitizer half runs as an ordinary user. A checkout that user cannot read (under
# /root, say: its own absolute paths fail there) is copied to a folder it can.
as_test_user true
source=$PWD
if ! as_test_user test -r "$PWD/scripts/lsan.supp"; then
  source=$(mktemp -d /tmp/quillpost-ordinary.XXXXXX)
  chmod 755 "$source"
  tar --exclude=./build --exclude=./build-asan --exclude=./build-fuzz --exclude='./build-windows*' -cf - . |
    tar -xf - -C "$source"
  echo "=== the checkout is out of ${TEST_USER}'s reach: its sanitizer half runs from a copy in $source"
fi
export LSAN_OPTIONS="suppressions=$source/scripts/lsan.supp:print_suppressions=0"
build_and_test sanitize "$source" ordinary
