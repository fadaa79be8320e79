#!/usr/bin/env bash
# Runs a command with a private PulseAudio server whose only output is a null sink (its monitor,
# null.monitor, records what was played), then stops the server, whatever happens to the command.
# Usage: with-pulseaudio.sh COMMAND [ARGS...]
set -u

source "$(dirname "$0")/private-services.sh"
require_tools with-pulseaudio.sh pulseaudio pactl pacat

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
