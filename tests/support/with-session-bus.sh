#!/usr/bin/env bash
# Runs a command on a private D-Bus session bus of its own (nothing can be started on demand from
# it, so a service is there only when a test puts it there), then stops the bus, whatever happens
# to the command. Usage: with-session-bus.sh COMMAND [ARGS...]
set -u

source "$(dirname "$0")/private-services.sh"
require_tools with-session-bus.sh dbus-daemon

cat >"$workdir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$workdir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

dbus-daemon --config-file="$workdir/bus.conf" --nofork --print-address=3 3>"$workdir/address" 2>"$workdir/bus.log" &
pids+=($!)
( while kill -0 $$ 2>/dev/null; do sleep 1; done; kill "${pids[0]}" 2>/dev/null ) &
pids+=($!)
for _ in $(seq 100); do
  [[ -s $workdir/address ]] && break
  sleep 0.05
done
[[ -s $workdir/address ]] || { echo "with-session-bus.sh: dbus-daemon did not start" >&2; cat "$workdir/bus.log" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$workdir/address")

"$@"
