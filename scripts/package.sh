#!/usr/bin/env bash
# Builds the Debian package of Nubrel: a Release build with Debian's hardening flags, installed
# below /usr, packed by CPack with its dependencies computed by dpkg-shlibdeps.
#   scripts/package.sh     writes build-package/nubrel_<version>_<arch>.deb and prints its path
#   NUBREL_PUBLIC_ED_KEY=KEY   the key its updates are signed with, written into Info.json
#                              (scripts/sign-update.sh --public-key prints it); without one, the
#                              installed program refuses to install updates
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build_dir=build-package
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DNUBREL_TESTS=OFF -DNUBREL_BENCH=OFF -DNUBREL_PUBLIC_ED_KEY="${NUBREL_PUBLIC_ED_KEY:-}" >/dev/null
cmake --build "$build_dir" -j 2
(cd "$build_dir" && cpack -G DEB >/dev/null)
ls "$build_dir"/nubrel_*.deb
