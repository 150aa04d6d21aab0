#!/usr/bin/env bash
# Installs, checks the layout of the sources, builds and runs every test: unit, window
# (offscreen), interop and a short fuzz run, then builds the Debian package and checks it
# (scripts/package-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh
scripts/build.sh
export LC_ALL=C QT_QPA_PLATFORM=offscreen
ctest --preset release -j"$(nproc)" --timeout 300
scripts/fuzz.sh "${ORVIO_FUZZ_SECONDS:-10}"
scripts/package-check.sh
