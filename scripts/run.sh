#!/usr/bin/env bash
# Installs what Nubrel needs, builds it, and starts it on your desktop: its item appears in the
# panel with today's tokens and cost. Run it from a terminal of your desktop session.
#   scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no desktop session here (neither DISPLAY nor WAYLAND_DISPLAY is set)" >&2
  exit 1
fi

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target nubrel nubrel-usage

# A second instance would put a second item into the panel.
if pgrep -u "$(id -u)" -x nubrel >/dev/null; then
  echo "Nubrel is already running; choose Quit Nubrel in its menu to stop it."
  exit 0
fi
# Detached from this terminal, so that closing it leaves Nubrel running.
setsid build/bin/nubrel </dev/null >/dev/null 2>&1 &
echo "Nubrel started: look for its item in your panel (Quit Nubrel in its menu stops it)."
