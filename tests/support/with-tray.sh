#!/usr/bin/env bash
# Runs a command on a private X display (Xvfb) with a real system tray (trayer), then takes both
# down again, whatever happens to the command. Usage: with-tray.sh COMMAND [ARGS...]
set -u

source "$(dirname "$0")/private-services.sh"
require_tools with-tray.sh Xvfb trayer xdotool

# Qt would prefer a desktop's D-Bus tray to the X11 one that trayer hosts.
unset DBUS_SESSION_BUS_ADDRESS

# Xvfb picks a free display itself and writes its number to the file. Without -noreset it resets
# whenever its last client leaves, and a client connecting just then (trayer after one of the
# polls below) is turned away.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$workdir/display" 2>"$workdir/xvfb.log" &
pids+=($!)
await_start with-tray.sh Xvfb "$workdir/xvfb.log" test -s "$workdir/display"
export DISPLAY=":$(head -n1 "$workdir/display")"

trayer --edge top --align right --widthtype request --height 24 --SetDockType true >"$workdir/trayer.log" 2>&1 &
pids+=($!)
start_watchdog
await_start with-tray.sh trayer "$workdir/trayer.log" xdotool search --class trayer

# In a sanitizer build: libxkbcommon-x11 hands strndup names that are not NUL-terminated, which
# the strict string check takes for an overflow.
[[ -n ${ASAN_OPTIONS:-} ]] && export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

QT_QPA_PLATFORM=xcb "$@"
