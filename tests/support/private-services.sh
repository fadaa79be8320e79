# Sourced by the with-*.sh wrappers: a private folder ($workdir, mode 700) and a list of
# background processes ($pids) that are stopped, and the folder removed, however the script ends.
# require_tools NAME TOOL... fails early when a tool is missing.

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
