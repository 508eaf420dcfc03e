#!/usr/bin/python3
"""Answers Modbus RTU requests as pymodbus would, for comparison with the simulator.

Reads a JSON list of cases from stdin, each
  {"unit": 1, "holding": {"286": 0, ...}, "input": {"342": 17562, ...}, "request": "010401560002 9027"}
(register addresses as decimal keys, zero-based), and writes a JSON list with
the reply of each as hex, "" where a slave would stay silent, or "undecodable"
where pymodbus cannot take the request apart.
"""

import json
import logging
import sys

from pymodbus.datastore import ModbusSlaveContext, ModbusSparseDataBlock
from pymodbus.factory import ServerDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.utilities import computeCRC


def block(registers):
    values = {int(address): value for address, value in registers.items()}
    return ModbusSparseDataBlock(values) if values else ModbusSparseDataBlock()


def answer(case):
    frame = bytes.fromhex(case["request"].replace(" ", ""))
    # A slave ignores frames with a wrong CRC and frames for other addresses.
    if len(frame) < 4 or computeCRC(frame[:-2]) != int.from_bytes(frame[-2:], "big"):
        return ""
    if frame[0] != case["unit"]:
        return ""
    try:
        request = ServerDecoder().decode(frame[1:-2])
    except Exception:  # pylint: disable=broad-except
        request = None
    if request is None:
        return "undecodable"
    context = ModbusSlaveContext(hr=block(case.get("holding", {})), ir=block(case.get("input", {})),
                                 zero_mode=True)
    response = request.execute(context)
    response.unit_id = frame[0]
    return ModbusRtuFramer(ServerDecoder()).buildPacket(response).hex().upper()


def main():
    logging.disable(logging.CRITICAL)
    cases = json.load(sys.stdin)
    json.dump([answer(case) for case in cases], sys.stdout)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
