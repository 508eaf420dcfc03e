#!/usr/bin/python3
"""A Modbus slave standing in for a meter on the far end of a serial line or a gateway.

It holds the registers the meters of the family answer to, and nothing else,
so a request for any other register gets a Modbus exception reply. After every
request it writes all register values to a JSON state file, so a test can read
back what a write left in the meter. On a serial device (--port) it speaks
RTU; on a TCP socket (--tcp) it stands in for a gateway, passing RTU frames
as they are (--framer rtu) or speaking Modbus TCP (--framer socket). It prints
"ready" once it serves, on TCP followed by the port it listens on.
"""

import argparse
import asyncio
import json
import os
import struct
import sys
import time

from pymodbus.datastore import (
    ModbusServerContext,
    ModbusSlaveContext,
    ModbusSparseDataBlock,
)
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer
from pymodbus.server.async_io import ModbusSerialServer, ModbusTcpServer

FRAMERS = {"rtu": ModbusRtuFramer, "socket": ModbusSocketFramer}


def single_registers(value):
    """An IEEE single as two registers, most significant word first."""
    high, low = struct.unpack(">HH", struct.pack(">f", value))
    return [high, low]


def long_registers(value):
    """An unsigned 32-bit value as two registers, most significant word first."""
    value &= 0xFFFFFFFF
    return [value >> 16, value & 0xFFFF]


def input_block(args):
    block = {
        0x0156: single_registers(args.energy),
        0x0048: single_registers(args.import_energy),
        0x004A: single_registers(args.export_energy),
    }
    return {a: v for a, v in block.items() if a not in args.without}


def holding_block(args):
    return {
        0x011E: long_registers(args.scaled),
        0x0012: [0, 0],  # parity and stop bits, single
        0x0014: [0, 0],  # slave address, single
        0x001C: [0, 0],  # baud rate code, single
        0x000F: [0],  # slave address code
        0xF000: [0] * 4,  # date and time, BCD
        0xF600: [0],  # slave address code
        0xF700: [0] * 15,  # tariff schedule, BCD
        0xF800: [0],  # baud rate code
        0xF900: [0],  # CT ratio code
    }


def write_state(path, context):
    """Every register's value by its decimal address, replaced atomically."""
    state = {
        "input": {str(a): v for a, v in sorted(context.store["i"].values.items())},
        "holding": {str(a): v for a, v in sorted(context.store["h"].values.items())},
    }
    temp = path + ".tmp"
    with open(temp, "w", encoding="ascii") as out:
        json.dump(state, out)
    os.replace(temp, path)


async def serve(args):
    # zero_mode: register numbers on the line are the data block's keys as they are;
    # without it pymodbus would look every register up at address + 1.
    # Immutable sparse blocks: a register outside them is an illegal address.
    slave = ModbusSlaveContext(
        ir=ModbusSparseDataBlock(input_block(args), mutable=False),
        hr=ModbusSparseDataBlock(holding_block(args), mutable=False),
        zero_mode=True,
    )
    context = ModbusServerContext(slaves={args.slave: slave}, single=False)
    write_state(args.state, slave)

    def after_request(response):
        # Runs after the request has been executed and before the reply goes out,
        # so the state file is current by the time the reply arrives.
        write_state(args.state, slave)
        # A gateway that answers with another transaction's id (the framer
        # writes the response's id into the header).
        response.transaction_id = (response.transaction_id + args.tid_offset) & 0xFFFF
        if args.delay_ms > 0:
            time.sleep(args.delay_ms / 1000.0)  # holds the whole slave, as a slow meter would
        return response, False

    if args.tcp is not None:
        return await serve_tcp(args, context, after_request)

    server = ModbusSerialServer(
        context,
        framer=ModbusRtuFramer,  # the serial server's factory would pick ASCII
        port=args.port,
        baudrate=9600,
        bytesize=8,
        parity="N",
        stopbits=1,
        timeout=0.05,
        ignore_missing_slaves=True,  # a meter not addressed stays silent
        response_manipulator=after_request,
    )
    await server.start()
    if server.transport is None:
        print(f"cannot open {args.port}", file=sys.stderr, flush=True)
        return 1
    print("ready", flush=True)
    await server.serve_forever()
    return 0


async def serve_tcp(args, context, after_request):
    host, _, port = args.tcp.rpartition(":")
    server = ModbusTcpServer(
        context,
        framer=FRAMERS[args.framer],
        address=(host, int(port)),
        allow_reuse_address=True,  # a restart takes the same port at once
        ignore_missing_slaves=True,
        response_manipulator=after_request,
    )
    serving = asyncio.create_task(server.serve_forever())
    done, _ = await asyncio.wait([serving, server.serving], return_when=asyncio.FIRST_COMPLETED)
    if serving in done:
        print(f"cannot listen on {args.tcp}: {serving.exception()}", file=sys.stderr, flush=True)
        return 1
    print(f"ready {server.server.sockets[0].getsockname()[1]}", flush=True)
    await serving
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--port", help="serial device of the slave's end")
    where.add_argument("--tcp", metavar="HOST:PORT", help="TCP address to serve on; port 0 takes a free one")
    parser.add_argument("--framer", choices=sorted(FRAMERS), default="socket",
                        help="on TCP: RTU frames as they are, or Modbus TCP")
    parser.add_argument("--tid-offset", type=int, default=0,
                        help="Modbus TCP: answer with the request's transaction id plus this")
    parser.add_argument("--delay-ms", type=int, default=0, help="hold every reply this long")
    parser.add_argument("--state", required=True, help="JSON file of the register values")
    parser.add_argument("--slave", type=int, default=1, help="slave address, 1..247")
    parser.add_argument("--energy", type=float, default=0.0, help="total energy, single")
    parser.add_argument("--scaled", type=int, default=0, help="total energy, scaled integer")
    parser.add_argument("--import-energy", type=float, default=0.0)
    parser.add_argument("--export-energy", type=float, default=0.0)
    parser.add_argument("--without", type=lambda text: int(text, 0), action="append", default=[],
                        help="an input register the meter lacks (repeatable)")
    args = parser.parse_args()
    try:
        return asyncio.run(serve(args))
    except KeyboardInterrupt:
        return 0
    except Exception as exc:  # pylint: disable=broad-except
        print(f"peer failed: {exc}", file=sys.stderr, flush=True)
        return 1


if __name__ == "__main__":
    sys.exit(main())
