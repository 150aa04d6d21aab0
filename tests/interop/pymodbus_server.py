#!/usr/bin/python3
"""A python3-pymodbus slave standing in for the gateway, for Orvio's interop tests.

Usage:
  pymodbus_server.py tcp             listen on a free loopback port
  pymodbus_server.py rtu <device>    Modbus RTU on a serial device (one end of a socat pair)

Unit 1. Input register a holds 0x1100 + a, holding register a holds 0x2200 + a
(a = 0..199, addresses as they travel in the requests).

Lines on stdout, each flushed at once:
  READY tcp <port>  /  READY rtu <device>    serving
  WRITE <address> <value> ...                a client wrote holding registers (decimal)
The server ends when its stdin closes, so a test that dies leaves nothing behind.
"""

import asyncio
import logging
import os
import sys
import threading

from pymodbus.datastore import (
    ModbusSequentialDataBlock,
    ModbusServerContext,
    ModbusSlaveContext,
)
from pymodbus.server.async_io import StartAsyncSerialServer, StartAsyncTcpServer
from pymodbus.transaction import ModbusRtuFramer

REGISTERS = 200


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class ReportingBlock(ModbusSequentialDataBlock):
    """Holding registers that report every write."""

    def setValues(self, address, values):
        super().setValues(address, values)
        if not isinstance(values, list):
            values = [values]
        say("WRITE " + " ".join(str(v) for v in [address] + list(values)))


def make_context():
    slave = ModbusSlaveContext(
        di=ModbusSequentialDataBlock(0, [0] * REGISTERS),
        co=ModbusSequentialDataBlock(0, [0] * REGISTERS),
        ir=ModbusSequentialDataBlock(0, [0x1100 + a for a in range(REGISTERS)]),
        hr=ReportingBlock(0, [0x2200 + a for a in range(REGISTERS)]),
        zero_mode=True,
    )
    return ModbusServerContext(slaves={1: slave}, single=False)


def end_with_stdin():
    def watch():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


async def serve_tcp():
    server = await StartAsyncTcpServer(
        context=make_context(),
        address=("127.0.0.1", 0),
        defer_start=True,
        allow_reuse_address=True,
    )
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    port = server.server.sockets[0].getsockname()[1]
    say(f"READY tcp {port}")
    await task


async def serve_rtu(device):
    server = await StartAsyncSerialServer(
        context=make_context(),
        framer=ModbusRtuFramer,
        port=device,
        baudrate=19200,
        bytesize=8,
        parity="N",  # a pseudo-terminal refuses parity settings
        stopbits=1,
        defer_start=True,
    )
    await server.start()
    if server.transport is None:
        raise SystemExit(f"cannot open {device}")
    say(f"READY rtu {device}")
    await server.serve_forever()


def main():
    logging.basicConfig(level=logging.ERROR, stream=sys.stderr)
    end_with_stdin()
    if len(sys.argv) == 2 and sys.argv[1] == "tcp":
        asyncio.run(serve_tcp())
    elif len(sys.argv) == 3 and sys.argv[1] == "rtu":
        asyncio.run(serve_rtu(sys.argv[2]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
