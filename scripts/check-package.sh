#!/usr/bin/env bash
# Builds the Debian package and checks it as a user's machine would take it: its contents,
# lintian (no error), installing it with apt-get, the installed programs (nubrel-usage --version,
# and the tray's end-to-end tests run against /usr/bin/nubrel), and purging it again.
# Run as root after scripts/test.sh, whose build/ holds the end-to-end tests.
#   scripts/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(scripts/package.sh | tail -n 1)
version=$(dpkg-deb --field "$deb" Version)
echo "== $deb ($(stat -c %s "$deb") bytes)"

contents=$(dpkg-deb --contents "$deb")
echo "$contents"
for path in ./usr/bin/nubrel ./usr/bin/nubrel-usage ./usr/share/nubrel/Info.json \
  ./usr/share/nubrel/icons/nubrel-hourglass.svg ./usr/share/applications/nubrel.desktop \
  ./etc/xdg/autostart/nubrel.desktop ./usr/share/icons/hicolor/scalable/apps/nubrel.svg \
  ./usr/share/man/man1/nubrel.1.gz ./usr/share/man/man1/nubrel-usage.1.gz \
  ./usr/share/doc/nubrel/copyright ./usr/share/doc/nubrel/changelog.gz; do
  if ! grep -q " $path\$" <<<"$contents"; then
    echo "check-package: $path is not in the package" >&2
    exit 1
  fi
done

echo "== lintian"
# Warnings are shown; an error fails. Lintian's note that it runs as root is left out.
set +e
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "check-package: lintian found errors" >&2
  exit 1
fi

echo "== apt-get install"
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "./$deb" >/dev/null
trap 'apt-get -o DPkg::Lock::Timeout=600 purge -y nubrel >/dev/null' EXIT

reported=$(nubrel-usage --version)
if [ "$reported" != "nubrel-usage $version" ]; then
  echo "check-package: nubrel-usage --version says '$reported', the package is $version" >&2
  exit 1
fi
echo "$reported"

echo "== end-to-end tests against /usr/bin/nubrel"
NUBREL_E2E_PROGRAM=/usr/bin/nubrel build/bin/nubrel_e2e_tests

echo "== apt-get purge"
trap - EXIT
apt-get -o DPkg::Lock::Timeout=600 purge -y nubrel >/dev/null
for path in /usr/bin/nubrel /etc/xdg/autostart/nubrel.desktop /usr/share/nubrel; do
  if [ -e "$path" ]; then
    echo "check-package: $path is still there after purging" >&2
    exit 1
  fi
done
echo "package checked: installed, ran and purged"
