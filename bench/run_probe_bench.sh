#!/usr/bin/env bash
# Builds and runs the probe benchmark in the normal build; prints a Markdown table.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build build --target probe_bench >/dev/null
./build/bench/probe_bench "${1:-200}"
