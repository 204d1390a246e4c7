#!/usr/bin/env bash
# Takes the pictures in docs/ in real panels under Xvfb:
#   scripts/screenshot.sh           docs/tray-menu.png: Nubrel's item with its label and its menu
#                                   opened with a click, in xfce4-panel with the indicator plugin
#                                   and ayatana-indicator-application (a host that draws the label)
#   scripts/screenshot.sh tooltip   docs/tray-tooltip.png: the item's tooltip on hover, in
#                                   xfce4-panel's notification area plugin (a host without a label)
# Installs those packages itself: only this script needs them.
# Run after a build (scripts/test.sh or scripts/run.sh), as root or with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$PWD
mode=${1:-menu}
case "$mode" in
  menu) plugin=indicator ;;
  tooltip) plugin=systray ;;
  *) echo "usage: scripts/screenshot.sh [menu|tooltip]" >&2; exit 2 ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y --no-install-recommends xfce4-panel xfce4-indicator-plugin \
  ayatana-indicator-application xfconf xfwm4 xdotool imagemagick fonts-dejavu-core >/dev/null
if [ ! -x build/bin/nubrel ]; then
  cmake -S . -B build -G Ninja >/dev/null
  cmake --build build --target nubrel
fi

work=$(mktemp -d)
cleanup() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private home: the panel's settings and the session logs shown. The D-Bus services the panel
# starts on demand inherit the bus daemon's environment, so everything is set before it starts.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share XDG_RUNTIME_DIR=$work/runtime
export CODEX_HOME=$work/codex LANG=C.UTF-8 TZ=UTC NO_AT_BRIDGE=1
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
python3 scripts/sample-sessions.py "$CODEX_HOME/sessions"

cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
        <value type="int" value="3"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="$plugin"/>
    <property name="plugin-3" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
  </property>
</channel>
XML

Xvfb :77 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:77
sleep 1

export root_dir work mode
dbus-run-session -- bash -c '
  set -e
  if [ "$mode" = menu ]; then
    # The indicator service first: it owns the StatusNotifierWatcher name and hands items, with
    # their labels, to the panel plugin.
    /usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service \
      >/dev/null 2>&1 &
    sleep 1
  fi
  # A window manager, so that the panel reserves its strip and its menus open beside it.
  xfwm4 --compositor=off >/dev/null 2>&1 &
  sleep 1
  xfce4-panel >/dev/null 2>&1 &
  sleep 3
  "$root_dir/build/bin/nubrel" &
  nubrel=$!
  sleep 4
  import -window root "$work/closed.png"
  if [ "$mode" = menu ]; then
    # The item sits in the middle of the panel.
    xdotool mousemove 380 14 click 1
  else
    xdotool mousemove 400 14
  fi
  sleep 2
  import -window root "$work/open.png"
  kill $nubrel
  xfce4-panel --quit >/dev/null 2>&1 || true
'
mkdir -p docs
if [ "$mode" = menu ]; then
  convert "$work/open.png" -crop 440x500+310+0 +repage docs/tray-menu.png
  echo "docs/tray-menu.png"
else
  convert "$work/open.png" -crop 300x200+250+0 +repage docs/tray-tooltip.png
  echo "docs/tray-tooltip.png"
fi
