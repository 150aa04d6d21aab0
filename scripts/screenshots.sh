#!/usr/bin/env bash
# Renders docs/main-settings.png, docs/main-quick.png, docs/record-view.png and
# docs/scan-progress.png: the main window, a meter's record view and a scan in progress under
# Xvfb, talking to the simulated gateway.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
cmake --build "$build" --target orvio_docshots
xvfb-run -a -s "-screen 0 1280x960x24" "$build/tests/window/orvio_docshots" "$PWD/docs"
