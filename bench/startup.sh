#!/usr/bin/env bash
# Start-up time to the shown main window with 1,000 accounts, and resident memory after a few
# seconds idle with 10 accounts, of the real program under a private Xvfb.
#   bench/startup.sh [path to the quillpost executable, default: build it in build/]
# The program takes no options, so it is measured from outside: a copy of the executable runs in a
# temporary folder beside a generated ACCOUNT.CSV, with a temporary HOME (default settings), and
# the time runs from the start until a visible window with the main window's caption exists.
# Each account points at a closed loopback port and checks hourly, so no check runs meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
IDLE_SECONDS=${IDLE_SECONDS:-5}
CAPTION=$(sed -nE 's/.*kMainCaption\[\] = "([^"]*)".*/\1/p' res/Strings.h)

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

# A private X server on the first free display number.
display=97
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }

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

# start_and_wait: starts the copy, waits (at most 30 s) for its visible window; prints the ms taken.
start_and_wait() {
  local start
  start=$(now_ms)
  "$work/app/quillpost" >"$work/app.log" 2>&1 &
  app_pid=$!
  for _ in $(seq 6000); do
    if xdotool search --onlyvisible --name "^${CAPTION}\$" >/dev/null 2>&1; then
      echo $(($(now_ms) - start))
      return 0
    fi
    kill -0 "$app_pid" 2>/dev/null || { echo "the program exited:" >&2; cat "$work/app.log" >&2; return 1; }
    sleep 0.005
  done
  echo "no window after 30 s" >&2
  return 1
}

stop_app() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

times=()
for ((run = 0; run < RUNS; run++)); do
  prepare_copy 1000
  times+=("$(start_and_wait)")
  stop_app
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | sed -n "$(((RUNS + 1) / 2))p")
echo "start-up to window, 1000 accounts: median ${median} ms (runs: ${times[*]} ms)"

prepare_copy 10
start_and_wait >/dev/null
sleep "$IDLE_SECONDS"
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status")
echo "RSS idle after ${IDLE_SECONDS} s, 10 accounts: $((rss / 1024)) MiB (${rss} kB)"
stop_app
