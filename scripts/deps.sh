#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quillpost need, if missing.
set -euo pipefail
[[ -n ${QUILLPOST_DEPS_CHECKED:-} ]] && exit 0

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  dovecot-pop3d dovecot-imapd openssl curl
  xvfb trayer xdotool imagemagick x11-utils
  dbus-daemon desktop-file-utils
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring libsecret-tools
  dpkg-dev file
  libglib2.0-dev iproute2
  pulseaudio pulseaudio-utils gstreamer1.0-pulseaudio
  fonts-noto-cjk
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
