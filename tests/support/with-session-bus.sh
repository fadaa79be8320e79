#!/usr/bin/env bash
# Runs a command on a private D-Bus session bus of its own (nothing can be started on demand from
# it, so a service is there only when a test puts it there), then stops the bus, whatever happens
# to the command. Usage: with-session-bus.sh COMMAND [ARGS...]
# With QUILLPOST_BUS_TYPE=system the bus is a system bus instead (DBUS_SYSTEM_BUS_ADDRESS), where
# a test may own any name, a system service's too.
set -u
type=${QUILLPOST_BUS_TYPE:-session}

source "$(dirname "$0")/private-services.sh"
require_tools with-session-bus.sh dbus-daemon

cat >"$workdir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$type</type>
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
start_watchdog
await_start with-session-bus.sh dbus-daemon "$workdir/bus.log" test -s "$workdir/address"
export "DBUS_${type^^}_BUS_ADDRESS=$(head -n1 "$workdir/address")"

"$@"
