#!/usr/bin/env bash
# Runs a Windows program of the cross build under wine: the emulator ctest starts every Windows
# test with. On a loaded machine wine now and then loses a program while starting it: it ends
# with a failure before writing a byte (a test program's first line, printed and flushed before
# any test runs, never came). Such a run never reached a test, so it is started once more, and
# the log says so; a run that wrote anything keeps its status, whatever it is.
# Expects the wine server to be running already (scripts/test-windows.sh starts it), so that no
# wine server of its own keeps the output pipe open.
set -uo pipefail
output=$(mktemp)
trap 'rm -f "$output"' EXIT
for attempt in 1 2; do
  wine "$@" 2>&1 | tee "$output"
  status=${PIPESTATUS[0]}
  if ((status == 0)) || [[ -s $output ]]; then
    exit "$status"
  fi
  echo "wine-run: $1 ended with status $status before writing anything (start $attempt of 2)"
done
exit "$status"
