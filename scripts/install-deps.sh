#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Nubrel needs, and the
# locales the tests use. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsimdjson-dev libhowardhinnant-date-dev tzdata
  libglib2.0-dev libgtk-3-dev libdbusmenu-glib-dev libdbusmenu-gtk3-dev librsvg2-common
  libsoup-3.0-dev libxml2-dev glib-networking
  clang libclang-rt-dev clang-format
  locales xvfb xauth dbus dbus-x11 at-spi2-core xdg-utils
  libnotify-dev faketime libfaketime
  python3 time
  libssl-dev openssl dpkg-dev lintian
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Locales for the label tests; a test skips a locale that is not there, but CI should have them.
wanted_locales=(en_US.UTF-8 de_DE.UTF-8 ru_RU.UTF-8 pl_PL.UTF-8)
need_gen=0
for l in "${wanted_locales[@]}"; do
  norm=$(echo "${l%%.*}.utf8")
  if ! locale -a 2>/dev/null | grep -qx "$norm"; then
    $SUDO sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    need_gen=1
  fi
done
if [ $need_gen -eq 1 ]; then $SUDO locale-gen >/dev/null; fi
