#!/usr/bin/env bash
# Installs, builds and starts Orvio against the built-in simulated gateway (Modbus TCP on
# loopback, and Modbus RTU on a pseudo-terminal whose path is printed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
bin=build/release
port="${ORVIO_SIM_PORT:-1502}"
out=$(mktemp)
"$bin/sim/orvio-gateway-sim" --tcp "$port" --rtu --scenario sim/scenarios/demo.json >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 100); do grep -q '^tcp ' "$out" && break; sleep 0.1; done
cat "$out"
rtu=$(sed -n 's/^rtu //p' "$out")
echo "Orvio connects to the simulated gateway at 127.0.0.1:$port; its serial side is $rtu"
"$bin/orvio" --connect "127.0.0.1:$port" "$@"
