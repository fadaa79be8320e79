#!/usr/bin/env bash
# Builds and runs every benchmark and prints its figures:
#  - every executable target named bench_<what> (bench/CMakeLists.txt, quillpost_add_bench) or
#    <what>_bench, and
#  - every script bench/<what>.sh but the run_*.sh wrappers of single benchmarks (for figures
#    that need the whole program under X).
# Uses the release build in build/ (preset "default"). Needs no display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

cmake --preset default >/dev/null
targets=$(cmake --build build --target help | sed -nE 's/^(bench_[A-Za-z0-9_]+|[A-Za-z0-9_]+_bench):.*/\1/p' | grep -v '_autogen' | sort -u)
if [[ -z $targets ]]; then
  echo "no bench_* targets found" >&2
  exit 1
fi
# shellcheck disable=SC2086
cmake --build build -j "$(nproc)" --target $targets >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(date -u +%F)"
for target in $targets; do
  exe=$(find build -type f -executable -name "$target" | head -n 1)
  echo "=== $target"
  "$exe"
done
for script in bench/*.sh; do
  [[ $(basename "$script") == run_* ]] && continue
  echo "=== $(basename "$script" .sh)"
  bash "$script"
done
