#!/usr/bin/env bash
# Installs what the build needs, builds the release tree (programs and the user manual) and
# makes the Debian package build/release/orvio_<version>_amd64.deb with CPack.
# Install it with: sudo apt install ./build/release/orvio_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build/release
rm -f orvio_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls orvio_*.deb)
echo "build/release/$deb"
