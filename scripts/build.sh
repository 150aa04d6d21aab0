#!/usr/bin/env bash
# Builds Orvio, the gateway simulator, the command-line tool and the tests (release preset).
set -euo pipefail
cd "$(dirname "$0")/.."
# ORVIO_WERROR=ON (set by the CI run) makes every compiler warning an error.
cmake --preset release -DORVIO_WERROR="${ORVIO_WERROR:-OFF}" >/dev/null
cmake --build --preset release -j"$(nproc)"
