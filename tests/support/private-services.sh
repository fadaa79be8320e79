# Sourced by the with-*.sh wrappers: a private folder ($workdir, mode 700) and a list of
# background processes ($pids) that are stopped, and the folder removed, however the script ends.
# require_tools NAME TOOL... fails early when a tool is missing.
# await_start NAME SERVICE LOG COMMAND... waits until COMMAND succeeds, else shows LOG and fails.
# start_watchdog takes the services started so far down should the wrapper be killed outright.

require_tools() {
  local script=$1
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$script: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
  done
}

workdir=$(mktemp -d)
chmod 700 "$workdir"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 143' INT TERM

await_start() {
  local script=$1 service=$2 log=$3
  shift 3
  for _ in $(seq 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "$script: $service did not start" >&2
  cat "$log" >&2
  exit 1
}

start_watchdog() {
  ( while kill -0 $$ 2>/dev/null; do sleep 1; done; kill "${pids[@]}" 2>/dev/null ) &
  pids+=($!)
}
