#!/usr/bin/env bash
# mbpoll, an independent Modbus master, against the gateway simulator executable ($1): input
# registers 60000 and 32768 and the active-device bitmap, and holding-register writes, over
# Modbus TCP and over Modbus RTU on the simulator's pseudo-terminal. Values must agree with the
# demo gateway and with each other across both links.
set -euo pipefail
sim="$1"
work=$(mktemp -d)
mkfifo "$work/out"
"$sim" --tcp 0 --rtu >"$work/out" 2>"$work/err" &
pid=$!
pids=("$pid")
exec 3<"$work/out"
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  cat "$work/err" 2>/dev/null || true
  exit 1
}

# The simulator announces its endpoints as soon as it listens.
read -r -t 20 -u 3 tcp_line || fail "no tcp line"
read -r -t 20 -u 3 rtu_line || fail "no rtu line"
[[ "$tcp_line" =~ ^tcp\ 127\.0\.0\.1:([0-9]+)$ ]] || fail "bad tcp line: $tcp_line"
port="${BASH_REMATCH[1]}"
[[ "$rtu_line" =~ ^rtu\ (/dev/pts/[0-9]+)$ ]] || fail "bad rtu line: $rtu_line"
pty="${BASH_REMATCH[1]}"
echo "simulator: 127.0.0.1:$port and $pty"

tcp=(-m tcp -p "$port" -a 1 -0 -1 -o 3)
rtu=(-m rtu -b 9600 -P none -a 1 -0 -1 -o 3)

# Values of registers as mbpoll prints them: "[60000]: 	259" -> "259", "49320 (-16216)" -> "49320".
values() { sed -n 's/^\[[0-9]*\]:[[:space:]]*\([0-9]*\).*/\1/p' | tr '\n' ' ' | sed 's/ $//'; }

expect() {  # name expected command...
  local name="$1" want="$2"
  shift 2
  local got
  got=$("$@" 2>&1 | values) || true
  [ "$got" = "$want" ] || fail "$name: got '$got', want '$want'"
  echo "ok  $name: $got"
}

bitmap="7936 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"  # 0x1F00: five activated devices
for link in tcp rtu; do
  if [ "$link" = tcp ]; then args=("${tcp[@]}") target=127.0.0.1; else args=("${rtu[@]}") target="$pty"; fi
  expect "$link card version 1.3" 259 mbpoll "${args[@]}" -t 3 -r 60000 -c 1 "$target"
  expect "$link active devices 5/10" 2565 mbpoll "${args[@]}" -t 3 -r 32768 -c 1 "$target"
  expect "$link bitmap" "$bitmap" mbpoll "${args[@]}" -t 3 -r 59500 -c 16 "$target"
  expect "$link network settings" "49320 356" mbpoll "${args[@]}" -t 4 -r 55400 -c 2 "$target"
done

# A write through one link is read back through the other.
mbpoll "${tcp[@]}" -t 4 -r 55406 127.0.0.1 49320 2 >/dev/null || fail "tcp write"
expect "control IP written over tcp, read over rtu" "49320 2" mbpoll "${rtu[@]}" -t 4 -r 55406 -c 2 "$pty"
mbpoll "${rtu[@]}" -t 4 -r 4 "$pty" 9 >/dev/null || fail "rtu write"
expect "timing written over rtu, read over tcp" 9 mbpoll "${tcp[@]}" -t 4 -r 4 -c 1 127.0.0.1

# Activation through register 0 shows in the status registers.
mbpoll "${tcp[@]}" -t 4 -r 0 127.0.0.1 6 >/dev/null || fail "activate"
expect "active devices after activating 6" 2566 mbpoll "${rtu[@]}" -t 3 -r 32768 -c 1 "$pty"

# An address outside the register map is refused, and the simulator keeps serving.
refused=$(mbpoll "${tcp[@]}" -t 3 -r 40000 -c 1 127.0.0.1 2>&1 || true)
grep -qi "illegal data address" <<<"$refused" || fail "no exception 02 for register 40000: $refused"
echo "ok  register 40000 refused"
expect "still serving" 259 mbpoll "${tcp[@]}" -t 3 -r 60000 -c 1 127.0.0.1
kill -0 "$pid" || fail "simulator died"

# The executable's own options: another unit address and a one-shot fault on one register.
mkfifo "$work/out2"
"$sim" --tcp 0 --unit 7 --fault exception=6,fc=4,addr=32770,count=1 >"$work/out2" 2>>"$work/err" &
pid2=$!
pids+=("$pid2")
exec 4<"$work/out2"
read -r -t 20 -u 4 line2 || fail "no tcp line from the second simulator"
port2="${line2##*:}"
busy=$(mbpoll -m tcp -p "$port2" -a 7 -0 -1 -o 3 -t 3 -r 32770 -c 1 127.0.0.1 2>&1 || true)
grep -qi "busy" <<<"$busy" || fail "no exception 06 from --fault: $busy"
echo "ok  --fault answered exception 6 once"
expect "--unit 7, fault used up" 42 mbpoll -m tcp -p "$port2" -a 7 -0 -1 -o 3 -t 3 -r 32770 -c 1 127.0.0.1
kill "$pid2"
wait "$pid2" || fail "second simulator did not end cleanly on SIGTERM"
exec 4<&-
if "$sim" --tcp 0 --fault bogus >/dev/null 2>&1; then fail "a bad --fault was accepted"; fi
echo "ok  bad --fault refused"

# A serial device: one end of a linked terminal pair made by socat, mbpoll on the other end.
mkfifo "$work/socat"
socat -d -d pty,raw,echo=0 pty,raw,echo=0 2>"$work/socat" &
pids+=($!)
exec 5<"$work/socat"
ends=()
while [ ${#ends[@]} -lt 2 ] && read -r -t 20 -u 5 l; do
  [[ "$l" =~ PTY\ is\ (/dev/pts/[0-9]+) ]] && ends+=("${BASH_REMATCH[1]}")
done
[ ${#ends[@]} -eq 2 ] || fail "socat made no terminal pair"
mkfifo "$work/out3"
"$sim" --serial "${ends[0]}" --baud 19200 --parity E >"$work/out3" 2>>"$work/err" &
pids+=($!)
exec 6<"$work/out3"
read -r -t 20 -u 6 line3 || fail "no rtu line for the serial device"
[ "$line3" = "rtu ${ends[0]}" ] || fail "bad rtu line: $line3"
expect "serial device 19200 8E1" 259 mbpoll -m rtu -b 19200 -P even -a 1 -0 -1 -o 3 -t 3 -r 60000 -c 1 "${ends[1]}"
echo PASS
