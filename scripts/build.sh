#!/usr/bin/env bash
# Builds Orvio, the gateway simulator, the command-line tool and the tests (release preset).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
