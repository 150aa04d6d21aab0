#!/usr/bin/env bash
# python3-pymodbus against the gateway simulator executable ($1) over TCP and its pseudo-terminal.
# Debian's pymodbus is only seen by the system interpreter.
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/sim_pymodbus_check.py" "$1"
