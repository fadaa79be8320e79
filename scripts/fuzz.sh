#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and runs
# each for a bounded time, starting from its seed corpus in fuzz/corpus/<target>/.
#   scripts/fuzz.sh [seconds per target, default 30] [target...]
# Every folder in fuzz/corpus/ names a target. Inputs the fuzzer finds go to build-fuzz/corpus/,
# never into the source tree; a crashing input is saved in build-fuzz/artifacts/<target>/ and the
# script fails. Turn a crash into a regression test in tests/ before fixing it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

SECONDS_PER_TARGET=${1:-30}
shift || true
BUILD=build-fuzz

cmake -S . -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DQUILLPOST_FUZZ=ON -DQUILLPOST_SANITIZE=ON -DQUILLPOST_TESTS=OFF -DQUILLPOST_BENCH=OFF >/dev/null

if (($#)); then
  targets=("$@")
else
  targets=()
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
cmake --build "$BUILD" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for target in "${targets[@]}"; do
  work="$BUILD/corpus/$target"
  artifacts="$BUILD/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  log="$BUILD/$target.log"
  echo "=== $target: ${SECONDS_PER_TARGET}s"
  if "$BUILD/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -max_len=4096 -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1; then
    grep -E '^Done [0-9]+ runs' "$log" || tail -n 3 "$log"
    grep -E 'stat::(number_of_executed_units|peak_rss_mb|new_units_added)' "$log" || true
    echo "corpus: $(find "$work" -type f | wc -l) inputs"
  else
    failed+=("$target")
    tail -n 40 "$log"
    echo "FAILED: $target (inputs in $artifacts)"
  fi
done

if ((${#failed[@]})); then
  echo "fuzz targets that failed: ${failed[*]}"
  exit 1
fi
echo "all fuzz targets ran clean"
