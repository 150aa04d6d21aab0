#!/usr/bin/env bash
# Installs, builds and starts Orvio against the built-in simulated gateway: Modbus TCP on
# loopback and Modbus RTU on a pseudo-terminal (its path is printed). Orvio runs with a settings
# file of its own for the demo, so the settings beside the executable stay untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MSG
Orvio is a desktop program and this session has no display (DISPLAY is not set).
Start it under a virtual display instead:
    xvfb-run -a -s "-screen 0 1280x960x24" scripts/run.sh
MSG
  exit 1
fi
scripts/build.sh
bin=build/release
port="${ORVIO_SIM_PORT:-1502}"
out=$(mktemp)
"$bin/sim/orvio-gateway-sim" --tcp "$port" --rtu --scenario sim/scenarios/demo.json >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 100); do grep -q '^tcp ' "$out" && break; sleep 0.1; done
if ! grep -q '^tcp ' "$out"; then
  echo "The simulated gateway did not start (port $port busy? set ORVIO_SIM_PORT)." >&2
  exit 1
fi
rtu=$(sed -n 's/^rtu //p' "$out")
demo_ini="$bin/orvio-demo.ini"
if [ ! -f "$demo_ini" ]; then
  printf '[Modbus port]\nName=%s\n\n[Modbus]\nTimeout=300\n\n[TCP]\nIP=127.0.0.1\nPort=%s\nEthTimeout=30\n' \
    "$rtu" "$port" >"$demo_ini"
fi
echo "Simulated gateway: Modbus TCP at 127.0.0.1:$port, Modbus RTU on $rtu"
echo "Orvio connects over TCP at once; close its TCP link and open the port $rtu to try RTU."
"$bin/orvio" --settings "$demo_ini" --port-name "$rtu" --connect "127.0.0.1:$port" "$@"
