#!/usr/bin/env bash
# Runs a command with a private PulseAudio server whose only output is a null sink (its monitor,
# null.monitor, records what was played), then stops the server, whatever happens to the command.
# Usage: with-pulseaudio.sh COMMAND [ARGS...]
set -u

for tool in pulseaudio pactl pacat; do
  command -v "$tool" >/dev/null || { echo "with-pulseaudio.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done

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

# Everything the server and its clients keep goes into the private folder.
export XDG_RUNTIME_DIR=$workdir HOME=$workdir
unset PULSE_SERVER
pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-null-sink \
  --load=module-native-protocol-unix >"$workdir/pulseaudio.log" 2>&1 &
pids+=($!)
( while kill -0 $$ 2>/dev/null; do sleep 1; done; kill "${pids[0]}" 2>/dev/null ) &
pids+=($!)
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.05
done
pactl info >/dev/null 2>&1 || { echo "with-pulseaudio.sh: pulseaudio did not start" >&2; cat "$workdir/pulseaudio.log" >&2; exit 1; }

"$@"
