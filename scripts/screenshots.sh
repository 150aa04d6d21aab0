#!/usr/bin/env bash
# Renders docs/main-settings.png, docs/main-quick.png and docs/record-view.png: the main window
# and a meter's record view under Xvfb, talking to the simulated gateway.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
cmake --build "$build" --target orvio_docshots
xvfb-run -a -s "-screen 0 1280x960x24" "$build/tests/window/orvio_docshots" "$PWD/docs"
