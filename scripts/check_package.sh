#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, starts /usr/bin/quillpost as an ordinary
# user under a private Xvfb, takes a screenshot, ends the program with its exit button and checks
# that the accounts were saved in the user's data folder (the installed program's folder is not
# writable), then removes the package again. Changes the system: run it as root on a scratch
# machine only. The user (default "qtest") is created if missing and left in place.
#   scripts/check_package.sh [screenshot.png]
set -euo pipefail
cd "$(dirname "$0")/.."
SHOT=${1:-build/package-screenshot.png}
USER_NAME=${QTEST_USER:-qtest}

cmake --preset default >/dev/null
cmake --build build -j "$(nproc)" --target quillpost >/dev/null
(cd build && cpack >/dev/null)
deb=$(ls build/quillpost_*.deb | tail -n 1)
dpkg-deb -I "$deb" | sed -n '/Depends/,/Version/p'
# QtKeychain loads libsecret by name: no linker finds it, so the package must name it.
dpkg-deb -f "$deb" Depends | grep -q 'libsecret-1-0' || { echo "the package does not depend on libsecret-1-0" >&2; exit 1; }
dpkg-deb -f "$deb" Recommends | grep -q 'gnome-keyring' || { echo "the package does not recommend gnome-keyring" >&2; exit 1; }
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null

xvfb_pid=""
cleanup() {
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quillpost >/dev/null
  echo "package removed"
}
trap cleanup EXIT

id "$USER_NAME" >/dev/null 2>&1 || useradd -m "$USER_NAME"
home=$(getent passwd "$USER_NAME" | cut -d: -f6)
data="$home/.local/share/HALVERN/quillpost"
rm -rf "$home/.local/share/HALVERN" "$home/.config/HALVERN"
runuser -u "$USER_NAME" -- mkdir -p "$data"
printf 'taro,pw,127.0.0.1:9,3600,0,0,,0,0,,,1\r\nhanako,pw,127.0.0.1:9,3600,0,0,,0,0,,,0\r\n' >"$data/ACCOUNT.CSV"
chown "$USER_NAME:" "$data/ACCOUNT.CSV"
chmod 600 "$data/ACCOUNT.CSV"

display=91
while [[ -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x700x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done

setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups \
  env -i HOME="$home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb PATH=/usr/bin:/bin \
  /usr/bin/quillpost >build/package-run.log 2>&1 &
app_pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Quillpost' 2>/dev/null | head -n 1) && [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "the installed program showed no window" >&2; cat build/package-run.log >&2; exit 1; }
sleep 1
import -window root "$SHOT"
echo "screenshot: $SHOT"

before=$(stat -c %Y "$data/ACCOUNT.CSV")
sleep 1
# Esc ends the main window like its exit button; the exit saves the accounts. Without a window
# manager the keyboard follows the pointer, so the pointer goes onto the window first.
xdotool mousemove --window "$window" 5 5
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "the program did not end on Esc" >&2
  kill "$app_pid"
  exit 1
fi
after=$(stat -c %Y "$data/ACCOUNT.CSV")
[[ $after -gt $before ]] || { echo "the accounts were not saved in $data" >&2; exit 1; }
[[ ! -e /usr/bin/ACCOUNT.CSV ]] || { echo "an ACCOUNT.CSV appeared in /usr/bin" >&2; exit 1; }
echo "saved to $data/ACCOUNT.CSV ($(stat -c '%a %U' "$data/ACCOUNT.CSV")):"
cat "$data/ACCOUNT.CSV"
