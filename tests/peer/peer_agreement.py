#!/usr/bin/python3
"""Cross-checks quorvane-cli against pymodbus's own Modbus RTU encoders.

Every meter type and every command it offers: the request frame that
pymodbus builds for the documented register layout must equal
`quorvane-cli frame` byte for byte, and replies that pymodbus encodes (read
responses, write echoes, exception responses) must be accepted or rejected
by `quorvane-cli reply` as a meter's replies should be, with the right report.
"""

import os
import struct
import subprocess
import sys

from pymodbus.factory import ClientDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.pdu import ExceptionResponse
from pymodbus.register_read_message import (
    ReadHoldingRegistersRequest,
    ReadHoldingRegistersResponse,
    ReadInputRegistersRequest,
    ReadInputRegistersResponse,
)
from pymodbus.register_write_message import WriteMultipleRegistersRequest, WriteMultipleRegistersResponse

CLI = os.environ.get("QUORVANE_CLI") or os.path.join(os.environ.get("QUORVANE_BUILD_DIR", "."), "tools/cli/quorvane-cli")
FRAMER = ModbusRtuFramer(ClientDecoder())
ADDRESSES = (1, 10, 247)

# The register layouts of the meter family, as the meters document them.
# read: (function, register); single: one float in two registers; register: one
# 16-bit register; time: 4 registers of BCD; tariff: 15 registers of slots.
SINGLE_LAYOUT = {
    "Read Energy": ("read", 4, 0x0156),
    "Modify Meter Address": ("single", 0x0014),
    "Modify Baud Rate": ("single", 0x001C),
    "Modify Parity": ("single", 0x0012),
    "Set Tariff": ("tariff", 0xF700),
    "Set Time": ("time", 0xF000),
}
REGISTER_LAYOUT = {
    "Read Energy": ("read", 3, 0x011E),
    "Modify Meter Address": ("register", 0x000F),
    "Modify Baud Rate": ("register", 0xF800),
    "Set CT": ("register", 0xF900),
}
MOREL_N_LAYOUT = {
    "Modify Meter Address": ("register", 0xF600),
    "Modify Baud Rate": ("register", 0xF800),
    "Set Tariff": ("tariff", 0xF700),
    "Set Time": ("time", 0xF000),
}
CORVI_LINK_LAYOUT = dict(SINGLE_LAYOUT, **{
    "Read Import Energy": ("read", 4, 0x0048),
    "Read Export Energy": ("read", 4, 0x004A),
})


def layout(table, commands):
    return {command: table[command] for command in commands}


BASIC = ["Read Energy", "Modify Baud Rate", "Modify Meter Address"]
TARIFF_TIME = ["Read Energy", "Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"]
TARVIK = BASIC + ["Modify Parity"]

# Meter type -> (energy encoding, its commands in list order with their layouts).
METERS = {
    "Tarvik CT": ("single", layout(SINGLE_LAYOUT, TARVIK)),
    "Tarvik DC": ("single", layout(SINGLE_LAYOUT, TARVIK)),
    "Morel-N": (None, layout(MOREL_N_LAYOUT, ["Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"])),
    "Morel-K": ("tenths", layout(REGISTER_LAYOUT, BASIC + ["Set CT"])),
    "Pesca-N": ("single", layout(SINGLE_LAYOUT, BASIC + ["Set Tariff"])),
    "Pesca-K": ("hundredths", layout(REGISTER_LAYOUT, BASIC)),
    "Corvi Link": ("single", layout(CORVI_LINK_LAYOUT, ["Read Energy", "Read Import Energy", "Read Export Energy",
                                                        "Modify Baud Rate", "Modify Meter Address", "Modify Parity"])),
    "Corvi-R": ("single", layout(SINGLE_LAYOUT, TARIFF_TIME)),
    "Lunet-K": ("single", layout(SINGLE_LAYOUT, BASIC)),
    "Ventra": ("single", layout(SINGLE_LAYOUT, TARVIK)),
    "Morel Serial": ("single", layout(SINGLE_LAYOUT, TARIFF_TIME)),
}
FOUR_TARIFFS = {"Morel-N", "Corvi-R", "Morel Serial"}

# Parameter codes the meters understand.
BAUDS = ["1200", "2400", "4800", "9600", "19200", "38400"]
BAUD_REGISTER = {baud: i + 1 for i, baud in enumerate(BAUDS)}
BAUD_SINGLE = {baud: i - 1 for i, baud in enumerate(BAUDS) if i > 0}
BAUD_1200_SINGLE = {"Morel Serial", "Lunet-K"}
PARITIES = {("NONE", "1"): 0, ("EVEN", "1"): 1, ("ODD", "1"): 2, ("NONE", "2"): 3}
CT1 = ["5", "50", "60", "75", "100", "125", "150", "200", "250", "300", "400", "500", "600", "750", "800", "1000",
       "1200", "1250", "1500", "2000", "2400", "2500", "3000", "4000", "5000", "6000", "7500"]

# Date and time fields: (month, day, year, hour, minute, second).
MOMENTS = [(12, 31, 2024, 23, 59, 58), (1, 1, 2000, 0, 0, 0), (2, 29, 2099, 9, 5, 7)]
# Tariff schedules: per used slot (tariff number, hour, minute); the other slots "NC".
SCHEDULES = [
    [(1, 8, 30)],
    [(1, 6, 0), (2, 22, 0)],
    [(1, 8, 0), (2, 12, 0), (1, 18, 0), (2, 22, 0)],
    [(1 + i % 4, 2 * i + 1, 5 * i) for i in range(10)],
]


def bcd(n):
    return (n // 10) * 16 + n % 10


def hexpairs(data):
    return " ".join(f"{b:02X}" for b in data)


def registers(data):
    return [data[i] << 8 | data[i + 1] for i in range(0, len(data), 2)]


def single_registers(value):
    return registers(struct.pack(">f", float(value)))


def time_bytes(moment):
    month, day, year, hour, minute, second = moment
    return bytes([bcd(second), bcd(minute), bcd(hour), 0x01, bcd(day), bcd(month), bcd(year % 100), 0x20])


def tariff_bytes(schedule):
    data = bytearray(30)
    for slot, (tariff, hour, minute) in enumerate(schedule):
        data[3 * slot:3 * slot + 3] = bytes([tariff, bcd(minute), bcd(hour)])
    return bytes(data)


def tariff_summaries(schedule):
    """The dialog's summaries: each tariff runs until the next used slot starts, the last until slot 0 does."""
    times = [f"{hour:02d}:{minute:02d}" for _, hour, minute in schedule]
    ranges = {k: "" for k in range(1, 5)}
    for slot, (tariff, _, _) in enumerate(schedule):
        end = times[slot + 1] if slot + 1 < len(schedule) else times[0]
        ranges[tariff] += f"{times[slot]} to {end} . "
    return [f"T{k} : {ranges[k]}" if ranges[k] else f"No set T{k}. " for k in range(1, 5)]


def packet(message):
    return FRAMER.buildPacket(message)


def run_cli(args):
    result = subprocess.run([CLI] + args, capture_output=True, text=True, timeout=20)
    return result.returncode, result.stdout, result.stderr


class Case:
    """One operation: what the dialogs return and what the meter is then told."""

    def __init__(self, options, code=None, refusal=None, detail=None, payload=None):
        self.options = options      # the value options of quorvane-cli
        self.code = code            # parameter code for single/register layouts
        self.refusal = refusal      # the refusal message, when the value is refused
        self.detail = detail        # the report of a successful write
        self.payload = payload      # raw data bytes for time/tariff


def cases(meter, command, kind):
    if kind == "read":
        return [Case([])]
    if command == "Modify Baud Rate":
        out = []
        for baud in BAUDS + ["57600"]:
            if kind == "register":
                code = BAUD_REGISTER.get(baud)
            else:
                code = BAUD_SINGLE.get(baud, 5 if baud == "1200" and meter in BAUD_1200_SINGLE else None)
            out.append(Case(["--value", baud], code, None if code is not None else "Invalid Baud Rate, please try again!",
                            f"Baud Rate is {baud}."))
        return out
    if command == "Modify Meter Address":
        out = []
        for address in ["1", "2", "10", "128", "247", "0", "248"]:
            ok = 1 <= int(address) <= 247
            out.append(Case(["--value", address], int(address) if ok else None,
                            None if ok else "The input data is out of range, please re-enter the numbers ranges from 1-247!",
                            f"Meter Address is  {address}."))
        return out
    if command == "Modify Parity":
        out = []
        for parity in ["NONE", "ODD", "EVEN"]:
            for stop in ["1", "2"]:
                code = PARITIES.get((parity, stop))
                out.append(Case(["--value", parity, "--value2", stop], code,
                                None if code is not None else "Invalid Parity, please try again!",
                                f"Parity is {parity}. Stop Bit is {stop}."))
        return out
    if command == "Set CT":
        out = [Case(["--value", ct1, "--value2", "5"], i, None, f"Current CT Ratio is {ct1}/5.") for i, ct1 in enumerate(CT1)]
        out.append(Case(["--value", "120", "--value2", "5"], None, "Invalid CT1 data, please try again!"))
        out.append(Case(["--value", "100", "--value2", "1"], None, "Invalid CT2 data, please try again!"))
        return out
    if command == "Set Time":
        out = []
        for moment in MOMENTS:
            data = time_bytes(moment)
            month, day, year, hour, minute, second = moment
            date_text, time_text = f"{month:02d}/{day:02d}/{year:04d}", f"{hour:02d}:{minute:02d}:{second:02d}"
            detail = f"System date and time is {date_text}  {time_text}."
            out.append(Case(["--time-data", data.hex()], detail=detail, payload=data))
            if CLI_HAS_DATE_OPTIONS:
                out.append(Case(["--date", date_text, "--time", time_text], detail=detail, payload=data))
        return out
    if command == "Set Tariff":
        out = []
        for schedule in SCHEDULES:
            summaries = tariff_summaries(schedule)
            detail = "Tariff is " + "".join(summaries if meter in FOUR_TARIFFS else summaries[:2])
            data = tariff_bytes(schedule)
            out.append(Case(["--tariff-data", hexpairs(data)], detail=detail, payload=data))
        return out
    raise AssertionError(f"no cases for {command}")


def request(kind, layout, case, address):
    if kind == "read":
        _, function, register = layout
        cls = ReadInputRegistersRequest if function == 4 else ReadHoldingRegistersRequest
        return cls(register, 2, unit=address)
    register = layout[1]
    if kind == "single":
        values = single_registers(case.code)
    elif kind == "register":
        values = [case.code]
    else:
        values = registers(case.payload)
    return WriteMultipleRegistersRequest(register, values, unit=address)


def energy_text(encoding, data):
    if encoding == "single":
        return "%.4f" % struct.unpack(">f", data)[0]
    v = struct.unpack(">I", data)[0]
    return f"{v // 10}.{v % 10}" if encoding == "tenths" else f"{v // 100}.{v % 100:02d}"


ENERGY_WORDS = {"Read Energy": "Current Energy", "Read Import Energy": "Current Import Energy",
                "Read Export Energy": "Current Export Energy"}
ENERGY_REGISTERS = [[0x449A, 0x522B], [0x0000, 0x04B5], [0x0000, 0x0000], [0x8000, 0x0000], [0x3F80, 0x0000]]


def replies(meter, command, kind, layout, case, address):
    """(description, reply bytes, expected exit code, expected report) for one request."""
    encoding = METERS[meter][0]
    out = []
    if kind == "read":
        _, function, register = layout
        cls = ReadInputRegistersResponse if function == 4 else ReadHoldingRegistersResponse
        for values in ENERGY_REGISTERS:
            data = struct.pack(">HH", *values)
            detail = f"{ENERGY_WORDS[command]} is {energy_text(encoding, data)} KWh."
            out.append((f"read response {values}", packet(cls(values, unit=address)), 0, detail))
        out.append(("three registers: the last two are the energy", packet(cls([0x1234] + ENERGY_REGISTERS[0], unit=address)),
                    0, f"{ENERGY_WORDS[command]} is {energy_text(encoding, struct.pack('>HH', *ENERGY_REGISTERS[0]))} KWh."))
        out.append(("one register cannot carry the energy", packet(cls([0x0001], unit=address)), 1, None))
        out.append(("write echo to a read", packet(WriteMultipleRegistersResponse(register, 2, unit=address)), 1, None))
        wrong = cls(ENERGY_REGISTERS[0], unit=(address % 247) + 1)
    else:
        register = layout[1]
        count = {"single": 2, "register": 1, "time": 4, "tariff": 15}[kind]
        out.append(("write echo", packet(WriteMultipleRegistersResponse(register, count, unit=address)), 0, case.detail))
        out.append(("echo of another register",
                    packet(WriteMultipleRegistersResponse(register + 1, count, unit=address)), 1, None))
        out.append(("echo of another count",
                    packet(WriteMultipleRegistersResponse(register, count + 1, unit=address)), 1, None))
        wrong = WriteMultipleRegistersResponse(register, count, unit=(address % 247) + 1)
        function = 0x10
    out.append(("another slave's reply", packet(wrong), 1, None))
    out.append(("exception response", packet(ExceptionResponse(function, 2, unit=address)), 1, None))
    good = bytearray(out[0][1])
    good[-1] ^= 0x01
    out.append(("damaged CRC", bytes(good), 1, None))
    return out


def catalogue_from_help():
    _, text, _ = run_cli(["--help"])
    listed = {}
    section = False
    for line in text.splitlines():
        if line.startswith("Meter types and their commands"):
            section = True
        elif section and line.startswith("  ") and ":" in line:
            meter, commands = line.strip().split(": ", 1)
            listed[meter] = commands.split(", ")
    return listed


def main():
    global CLI_HAS_DATE_OPTIONS
    if not os.access(CLI, os.X_OK):
        print(f"peer agreement: cannot run {CLI}", file=sys.stderr)
        return 1
    _, help_text, _ = run_cli(["--help"])
    CLI_HAS_DATE_OPTIONS = "--date" in help_text

    failures = []
    listed = catalogue_from_help()
    expected_lists = {meter: list(commands) for meter, (_, commands) in METERS.items()}
    if listed != expected_lists:
        failures.append(f"meter types and commands differ:\n  cli: {listed}\n  peer: {expected_lists}")

    frames = refusals = verdicts = 0
    for meter, (_, commands) in METERS.items():
        for command, layout in commands.items():
            kind = layout[0]
            for case in cases(meter, command, kind):
                for address in ADDRESSES:
                    base = ["--meter", meter, "--command", command, "--address", str(address)] + case.options
                    where = f"{meter} / {command} @{address} {' '.join(case.options)}"
                    code, out, err = run_cli(["frame"] + base)
                    if case.refusal:
                        if (code, out, err) != (1, "", case.refusal + "\n"):
                            failures.append(f"{where}: expected refusal {case.refusal!r}, got {code} {out!r} {err!r}")
                        else:
                            refusals += 1
                        continue
                    expected = hexpairs(packet(request(kind, layout, case, address)))
                    if (code, out, err) != (0, expected + "\n", ""):
                        failures.append(f"{where}: pymodbus {expected}, quorvane-cli {code} {out.strip()!r} {err.strip()!r}")
                    else:
                        frames += 1
                    if address == ADDRESSES[1]:
                        continue  # replies are judged at the first and last address
                    for what, reply, want_code, want_detail in replies(meter, command, kind, layout, case, address):
                        got = run_cli(["reply"] + base + ["--bytes", hexpairs(reply)])
                        want = (want_code, "accepted\n" + want_detail + "\n" if want_code == 0 else "rejected\n", "")
                        if got != want:
                            failures.append(f"{where}, {what} {hexpairs(reply)}: expected {want!r}, got {got!r}")
                        else:
                            verdicts += 1

    for failure in failures:
        print("MISMATCH", failure)
    print(f"peer agreement: {frames} request frames equal to pymodbus's, {refusals} refusals, "
          f"{verdicts} reply verdicts as expected, {len(failures)} mismatches")
    return 1 if failures else 0


CLI_HAS_DATE_OPTIONS = False

if __name__ == "__main__":
    sys.exit(main())
