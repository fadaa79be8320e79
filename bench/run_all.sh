#!/usr/bin/env bash
# Builds and runs every benchmark and prints its figures:
#  - every executable target named bench_<what> (bench/CMakeLists.txt, quillpost_add_bench) or
#    <what>_bench, and
#  - every script bench/<what>.sh but the run_*.sh wrappers of single benchmarks (for figures
#    that need the whole program under X).
# Uses the release build in build/ (preset "default"). Needs no display of its own.
#   bench/run_all.sh [--quick]
# --quick (CI): each benchmark once, with the few rounds given below; the figures then mean little,
# but every benchmark is seen to build and run to its end. A new benchmark adds its quick arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

quick=false
[[ ${1:-} == --quick ]] && quick=true
declare -A QUICK_ARGUMENTS=(
  [bench_account_file]="--benchmark_min_time=0.01"
  [probe_bench]="3"
  [imap_bench]="3"
  [scheduler_bench]="20 20"
  [soak_bench]="10"
  [watch_bench]="3 3 5"
)

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
  if ! $quick; then
    "$exe"
  elif [[ -v QUICK_ARGUMENTS[$target] ]]; then
    # shellcheck disable=SC2086
    "$exe" ${QUICK_ARGUMENTS[$target]}
  else
    echo "$target has no quick arguments in bench/run_all.sh" >&2
    exit 1
  fi
done
for script in bench/*.sh; do
  [[ $(basename "$script") == run_* ]] && continue
  echo "=== $(basename "$script" .sh)"
  if $quick; then
    RUNS=1 IDLE_SECONDS=1 bash "$script"
  else
    bash "$script"
  fi
done
