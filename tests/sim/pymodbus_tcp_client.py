#!/usr/bin/python3
"""Talks to the simulator's TCP listener as pymodbus's own client does.

Arguments: HOST PORT FRAMER ("socket" for Modbus TCP, "rtu" for RTU frames over TCP).
Prints the registers read from Tarvik CT@1 and Morel-K@17 and the write echo as JSON.
"""

import json
import logging
import sys

from pymodbus.client import ModbusTcpClient
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer

logging.disable(logging.CRITICAL)
host, port, framer = sys.argv[1], int(sys.argv[2]), sys.argv[3]
client = ModbusTcpClient(host, port, framer=ModbusRtuFramer if framer == "rtu" else ModbusSocketFramer,
                         timeout=3, retries=0)
if not client.connect():
    sys.exit("cannot connect")
energy = client.read_input_registers(0x0156, 2, slave=1)
tenths = client.read_holding_registers(0x011E, 2, slave=17)
# "Modify Baud Rate" of Tarvik CT: 9600 as a single, the meter's present setting.
written = client.write_registers(0x001C, [0x4000, 0x0000], slave=1)
client.close()
for name, response in (("energy", energy), ("tenths", tenths), ("written", written)):
    if response.isError():
        sys.exit(f"{name}: {response}")
json.dump({"energy": energy.registers, "tenths": tenths.registers, "written": [written.address, written.count]},
          sys.stdout)
