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
start_watchdog
await_start with-pulseaudio.sh pulseaudio "$workdir/pulseaudio.log" pactl info

"$@"
