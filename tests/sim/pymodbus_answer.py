#!/usr/bin/python3
"""Answers Modbus RTU requests as pymodbus would, for comparison with the simulator.

stdin: a JSON list of {"unit": 1, "holding": {"286": 0}, "input": {"342": 17562}, "request": "0104015600029027"}
(zero-based decimal addresses); stdout: the reply to each as hex, "" where a slave stays silent.
"""

import json
import logging
import sys

from pymodbus.datastore import ModbusSlaveContext, ModbusSparseDataBlock
from pymodbus.factory import ServerDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.utilities import computeCRC


def block(registers):
    return ModbusSparseDataBlock({int(address): value for address, value in registers.items()} or None)


def answer(case):
    frame = bytes.fromhex(case["request"])
    # A slave ignores frames with a wrong CRC and frames for other addresses.
    if len(frame) < 4 or computeCRC(frame[:-2]) != int.from_bytes(frame[-2:], "big") or frame[0] != case["unit"]:
        return ""
    request = ServerDecoder().decode(frame[1:-2])
    if request is None:
        return ""
    context = ModbusSlaveContext(hr=block(case["holding"]), ir=block(case["input"]), zero_mode=True)
    response = request.execute(context)
    response.unit_id = frame[0]
    return ModbusRtuFramer(ServerDecoder()).buildPacket(response).hex().upper()


logging.disable(logging.CRITICAL)
json.dump([answer(case) for case in json.load(sys.stdin)], sys.stdout)
