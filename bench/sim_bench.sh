#!/usr/bin/env bash
# Benchmark (not a test): read-register requests per second over loopback Modbus TCP, answered by
# the gateway simulator and, in the same run, by libmodbus's own trivial server doing the same
# reads (input registers 59500..59515, one connection, one request in flight). The simulator
# should stay within 2x of libmodbus.
# Usage: bench/sim_bench.sh [path/to/orvio-gateway-sim] [seconds per round]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
sim="${1:-$here/../build/release/sim/orvio-gateway-sim}"
secs="${2:-3}"
[ -x "$sim" ] || { echo "no simulator at $sim (build it, or pass its path)"; exit 2; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
flags=$(pkg-config --cflags --libs libmodbus)
cc -O2 -o "$work/server" "$here/sim_bench_server.c" $flags
cc -O2 -o "$work/client" "$here/sim_bench_client.c" $flags

start() {  # name command... ; sets port_<name>
  mkfifo "$work/$1.out"
  "${@:2}" >"$work/$1.out" &
  pids+=($!)
  exec {fd}<"$work/$1.out"
  local line
  read -r -t 20 -u "$fd" line || { echo "$1 did not start"; exit 1; }
  printf -v "port_$1" '%s' "${line##*:}"
}
start sim "$sim" --tcp 0
start libmodbus "$work/server"

best_sim=0 best_lib=0
for round in 1 2 3; do
  for who in libmodbus sim; do
    port_var="port_$who"
    read -r rate failed < <("$work/client" 127.0.0.1 "${!port_var}" "$secs")
    echo "round $round  $who: $rate requests/s ($failed failed)"
    if [ "$who" = sim ]; then ((rate > best_sim)) && best_sim=$rate; else ((rate > best_lib)) && best_lib=$rate; fi
  done
done
ratio=$(awk -v a="$best_lib" -v b="$best_sim" 'BEGIN { printf "%.2f", a / b }')
echo "best: simulator $best_sim requests/s, libmodbus server $best_lib requests/s, libmodbus/simulator = $ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 2.0) }' && echo "within 2x: yes" || { echo "within 2x: NO"; exit 1; }
