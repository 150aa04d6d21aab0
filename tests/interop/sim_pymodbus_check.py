"""python3-pymodbus, an independent Modbus master, against the gateway simulator executable.

Starts the simulator (path in argv[1]) on a free TCP port and a pseudo-terminal, then over both
links reads input registers 60000, 32768 and the active-device bitmap, writes and reads back a
holding register, reads the device identification (function 0x2B / 0x0E) and runs one tunnelled
M-Bus request (REQ_UD2 written to 33800, answer status 33799, answer bytes from 33800). Finally
it stops the simulator with SIGTERM and expects a clean exit. Exit status 0 means every check held.
"""
import select
import signal
import subprocess
import sys
import time

from pymodbus.client import ModbusSerialClient, ModbusTcpClient
from pymodbus.mei_message import ReadDeviceInformationRequest

failures = []


def check(name, got, want):
    if got == want:
        print(f"ok  {name}: {got}")
    else:
        print(f"FAIL {name}: got {got!r}, want {want!r}")
        failures.append(name)


def read_line(stream, timeout):
    ready, _, _ = select.select([stream], [], [], timeout)
    return stream.readline().decode().strip() if ready else ""


def registers(result):
    return None if result.isError() else list(result.registers)


def mbus_frame_ok(t):
    """68 L L 68, L bytes, checksum, 16."""
    if len(t) < 9 or t[0] != 0x68 or t[3] != 0x68 or t[1] != t[2]:
        return False
    length = t[1]
    return len(t) == length + 6 and t[-1] == 0x16 and sum(t[4:4 + length]) % 256 == t[4 + length]


def exercise(client, link, unit=1):
    check(f"{link} card version", registers(client.read_input_registers(60000, 1, slave=unit)), [0x0103])
    check(f"{link} active devices", registers(client.read_input_registers(32768, 1, slave=unit)), [0x0A05])
    check(f"{link} bitmap", registers(client.read_input_registers(59500, 16, slave=unit)), [0x1F00] + [0] * 15)
    value = 0x0A00 if link == "tcp" else 0x0B00
    client.write_registers(55408, [value, 0x0007], slave=unit)
    check(f"{link} control IP #2 written and read back",
          registers(client.read_holding_registers(55408, 2, slave=unit)), [value, 0x0007])
    error = client.read_input_registers(40000, 1, slave=unit)
    check(f"{link} register 40000 refused with exception 2",
          getattr(error, "exception_code", None), 2)

    info = client.execute(ReadDeviceInformationRequest(read_code=2, object_id=0, unit=unit))
    objects = {} if info.isError() else info.information
    check(f"{link} identification vendor", objects.get(0), b"VORTELA")
    check(f"{link} identification product", objects.get(1), b"ZELK-64")

    # Tunnel: REQ_UD2 to the water meter at primary address 2, padded to whole registers.
    client.write_registers(33800, [0x107B, 0x027D, 0x1600], slave=unit)
    status = 0
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        regs = registers(client.read_input_registers(33799, 1, slave=unit))
        status = regs[0] if regs else 0
        if status >> 8 > 3:
            break
    check(f"{link} tunnel ready", status >> 8 > 3, True)
    length = status & 0xFF
    words = registers(client.read_input_registers(33800, (length + 1) // 2, slave=unit)) or []
    telegram = b"".join(w.to_bytes(2, "big") for w in words)[:length]
    check(f"{link} tunnelled RSP_UD passes the M-Bus checks", mbus_frame_ok(telegram), True)
    check(f"{link} tunnelled ID 23456789", telegram[7:11].hex().upper(), "89674523")


def main():
    sim = subprocess.Popen([sys.argv[1], "--tcp", "0", "--rtu", "--line-time", "50"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
    try:
        tcp_line = read_line(sim.stdout, 20)
        rtu_line = read_line(sim.stdout, 20)
        print(tcp_line)
        print(rtu_line)
        if not tcp_line.startswith("tcp 127.0.0.1:") or not rtu_line.startswith("rtu /"):
            print("FAIL simulator did not announce its endpoints")
            return 1
        port = int(tcp_line.rsplit(":", 1)[1])
        tcp = ModbusTcpClient("127.0.0.1", port=port, timeout=3)
        check("tcp connect", tcp.connect(), True)
        exercise(tcp, "tcp")
        tcp.close()
        rtu = ModbusSerialClient(rtu_line.split(" ", 1)[1], baudrate=9600, timeout=3)
        check("rtu connect", rtu.connect(), True)
        exercise(rtu, "rtu")
        rtu.close()
        sim.send_signal(signal.SIGTERM)
        check("clean exit on SIGTERM", sim.wait(timeout=20), 0)
    finally:
        if sim.poll() is None:
            sim.kill()
            sim.wait()
    if failures:
        print("FAILED:", ", ".join(failures))
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
