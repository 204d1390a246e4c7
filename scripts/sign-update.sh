#!/usr/bin/env bash
# Signs an update package with an Ed25519 private key and prints the attributes of its appcast
# enclosure; or prints the public key that Info.json's SUPublicEDKey must hold
# (cmake -DNUBREL_PUBLIC_ED_KEY=...). Make a key pair once, and keep the private key secret:
#   openssl genpkey -algorithm ed25519 -out nubrel-update-key.pem
#   scripts/sign-update.sh --public-key KEY.pem
#   scripts/sign-update.sh KEY.pem PACKAGE.deb URL
set -euo pipefail

usage() {
  echo "usage: sign-update.sh --public-key KEY.pem | sign-update.sh KEY.pem PACKAGE.deb URL" >&2
  exit 2
}

if [ "${1:-}" = "--public-key" ]; then
  [ $# -eq 2 ] || usage
  # The DER form of an Ed25519 public key ends with the 32 raw bytes.
  openssl pkey -in "$2" -pubout -outform DER | tail -c 32 | base64 -w 0
  echo
  exit 0
fi
[ $# -eq 3 ] || usage
key=$1 package=$2 url=$3

signature=$(openssl pkeyutl -sign -inkey "$key" -rawin -in "$package" | base64 -w 0)
length=$(stat -c %s "$package")
version=$(dpkg-deb --field "$package" Version 2>/dev/null || true)
if [ -z "$version" ]; then
  echo "sign-update.sh: $package is not a Debian package" >&2
  exit 1
fi
# Attribute values are XML: escape what would end or break them.
xml() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
echo "url=\"$(xml "$url")\" length=\"$length\" type=\"application/vnd.debian.binary-package\"" \
  "sparkle:version=\"$(xml "$version")\" sparkle:edSignature=\"$signature\""
