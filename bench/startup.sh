#!/usr/bin/env bash
# Start-up time to the shown main window with 1,000 accounts, and resident memory after a few
# seconds idle with 10 accounts, of the real program under a private Xvfb.
#   bench/startup.sh [path to the quillpost executable, default: build it in build/]
#   RUNS=5 IDLE_SECONDS=5 by default; bench/run_all.sh --quick runs it once with 1 s idle.
# The program takes no options, so it is measured from outside: a copy of the executable runs in a
# temporary folder beside a generated ACCOUNT.CSV, with a temporary HOME (default settings), and
# the time runs from the start until a visible window with the main window's caption exists.
# Each account points at a closed loopback port and checks hourly, so no check runs meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
IDLE_SECONDS=${IDLE_SECONDS:-5}
# The main window's caption: the program's name and the project's version.
VERSION=$(sed -nE 's/^project\(Quillpost VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[[ -n $VERSION ]] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
CAPTION="Quillpost $VERSION"

exe=${1:-}
if [[ -z $exe ]]; then
  cmake --preset default >/dev/null
  cmake --build build -j "$(nproc)" --target quillpost >/dev/null
  exe=build/quillpost
fi

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server: Xvfb picks a free display itself and writes its number to the file, so that
# no other X server started meanwhile (another test run's) can be taken for it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

export QT_QPA_PLATFORM=xcb
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# prepare_copy COUNT: a fresh copy of the program beside an ACCOUNT.CSV of COUNT accounts.
prepare_copy() {
  rm -rf "$work/app" "$HOME/.config" "$HOME/.local"
  mkdir -p "$work/app"
  cp "$exe" "$work/app/quillpost"
  [[ -f $(dirname "$exe")/quillpost.html ]] && cp "$(dirname "$exe")/quillpost.html" "$work/app/"
  for ((i = 0; i < $1; i++)); do
    printf 'user%d,password%d,127.0.0.1:9,3600,0,0,,0,0,,,1\r\n' "$i" "$i"
  done >"$work/app/ACCOUNT.CSV"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# start_and_wait: starts the copy and waits (at most 30 s) for its visible window; the ms taken go
# to $elapsed. Not run in a subshell: $app_pid must reach stop_app and the cleanup.
start_and_wait() {
  local start
  start=$(now_ms)
  "$work/app/quillpost" >"$work/app.log" 2>&1 &
  app_pid=$!
  for _ in $(seq 6000); do
    if xdotool search --onlyvisible --name "^${CAPTION}\$" >/dev/null 2>&1; then
      elapsed=$(($(now_ms) - start))
      return 0
    fi
    kill -0 "$app_pid" 2>/dev/null || { echo "the program exited:" >&2; cat "$work/app.log" >&2; return 1; }
    sleep 0.005
  done
  echo "no window '$CAPTION' after 30 s" >&2
  return 1
}

stop_app() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  # The next copy must be a first start, not a second one that hands over and ends.
  [[ -z $(find "$XDG_RUNTIME_DIR" -name 'quillpost-*.lock') ]] || { echo "a stopped copy left its lock" >&2; exit 1; }
}

times=()
for ((run = 0; run < RUNS; run++)); do
  prepare_copy 1000
  start_and_wait
  times+=("$elapsed")
  stop_app
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | sed -n "$(((RUNS + 1) / 2))p")
echo "start-up to window, 1000 accounts: median ${median} ms (runs: ${times[*]} ms)"

prepare_copy 10
start_and_wait
sleep "$IDLE_SECONDS"  # what is measured is the program idle for this long
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status")
echo "RSS idle after ${IDLE_SECONDS} s, 10 accounts: $((rss / 1024)) MiB (${rss} kB)"
stop_app
