#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/.

Request frames come from the frame tool, replies are the meters' answers to
them (checked with the frame tool's reply judgement), so every seed is a real
exchange. Usage: tests/fuzz/make-corpus.py build/tools/cli/quorvane-cli
"""

import pathlib
import shutil
import subprocess
import sys

METERS = ["Tarvik CT", "Tarvik DC", "Morel-N", "Morel-K", "Pesca-N", "Pesca-K",
          "Corvi Link", "Corvi-R", "Lunet-K", "Ventra", "Morel Serial"]
COMMANDS = ["Read Energy", "Read Import Energy", "Read Export Energy", "Modify Meter Address",
            "Modify Baud Rate", "Modify Parity", "Set CT", "Set Tariff", "Set Time"]
OFFERS = {
    "Tarvik CT": ["Read Energy", "Modify Baud Rate", "Modify Meter Address", "Modify Parity"],
    "Tarvik DC": ["Read Energy", "Modify Baud Rate", "Modify Meter Address", "Modify Parity"],
    "Morel-N": ["Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"],
    "Morel-K": ["Read Energy", "Modify Baud Rate", "Modify Meter Address", "Set CT"],
    "Pesca-N": ["Read Energy", "Modify Baud Rate", "Modify Meter Address", "Set Tariff"],
    "Pesca-K": ["Read Energy", "Modify Baud Rate", "Modify Meter Address"],
    "Corvi Link": ["Read Energy", "Read Import Energy", "Read Export Energy", "Modify Baud Rate",
                   "Modify Meter Address", "Modify Parity"],
    "Corvi-R": ["Read Energy", "Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"],
    "Lunet-K": ["Read Energy", "Modify Baud Rate", "Modify Meter Address"],
    "Ventra": ["Read Energy", "Modify Baud Rate", "Modify Meter Address", "Modify Parity"],
    "Morel Serial": ["Read Energy", "Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"],
}
VALUES = {
    "Modify Meter Address": ["--value", "5"],
    "Modify Baud Rate": ["--value", "9600"],
    "Modify Parity": ["--value", "EVEN", "--value2", "1"],
    "Set CT": ["--value", "100", "--value2", "5"],
    "Set Tariff": ["--tariff", "T1 08:00, T2 12:00, T1 18:00"],
    "Set Time": ["--date", "12/31/2024", "--time", "23:59:58"],
}
SINGLE_ENERGY = "44 9A 52 2B"  # 1234.5677 kWh
SCALED_ENERGY = "00 00 04 B5"  # 120.5 or 12.05 kWh


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])  # low byte first on the line


def with_crc(data):
    return bytes(data) + crc16(data)


class Corpus:
    def __init__(self, cli, root):
        self.cli = cli
        self.root = root

    def frame(self, meter, command, address):
        args = [self.cli, "frame", "--meter", meter, "--command", command, "--address", str(address)]
        out = subprocess.run(args + VALUES.get(command, []), check=True, capture_output=True, text=True)
        return bytes.fromhex(out.stdout)

    def reply(self, meter, command, address):
        """The meter's answer to the tool's request, as the tool accepts it."""
        request = self.frame(meter, command, address)
        if request[1] == 0x10:
            body = request[:6]  # the write echo: address, function, register, count
        else:  # two registers: address, function, byte count 4, the energy
            energy = SINGLE_ENERGY if meter not in ("Morel-K", "Pesca-K") else SCALED_ENERGY
            body = bytes([address, request[1], 4]) + bytes.fromhex(energy)
        reply = with_crc(body)
        args = [self.cli, "reply", "--meter", meter, "--command", command, "--address", str(address),
                "--bytes", reply.hex()]
        subprocess.run(args + VALUES.get(command, []), check=True, capture_output=True)
        return reply

    def write(self, target, name, data):
        folder = self.root / target
        folder.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("utf-8", "surrogateescape"))


def reply_judgement(c):
    # Selector: meter, command, request address, switches (0: the bytes as they are).
    seen = set()
    for m, meter in enumerate(METERS):
        for command in OFFERS[meter]:
            address = m + 1
            reply = c.reply(meter, command, address)
            key = (reply[1:7] if reply[1] == 0x10 else reply[1:3], meter in ("Morel-K", "Pesca-K"))
            if key in seen:
                continue
            seen.add(key)
            name = f"{meter}-{command}".replace(" ", "_").lower()
            c.write("replyjudgement", name, bytes([m, COMMANDS.index(command), address, 0]) + reply)
    c.write("replyjudgement", "exception", bytes([0, 0, 1, 0]) + with_crc(bytes.fromhex("018402")))
    c.write("replyjudgement", "other-slave", bytes([0, 0, 2, 0]) + c.reply("Tarvik CT", "Read Energy", 1))
    c.write("replyjudgement", "crc-high-first", bytes([0, 0, 1, 0]) + bytes.fromhex("010404449A522B24B2"))
    c.write("replyjudgement", "read-cut-after-function", bytes([0, 0, 1, 0]) + bytes.fromhex("0104"))
    c.write("replyjudgement", "read-without-registers", bytes([0, 0, 1, 0]) + with_crc(bytes.fromhex("010400")))
    c.write("replyjudgement", "crc-fixed-three-registers", bytes([0, 0, 1, 1]) + bytes.fromhex("0104060000 3F800000 0000"))


def reply_line(c):
    # Events: 0 request (meter, command, address), 1 bytes (length, bytes), 2 silence, 3 time-out, 4 CRC.
    def request(meter, command, address):
        return bytes([0, METERS.index(meter), COMMANDS.index(command), address])

    def chunk(data):
        return bytes([1, len(data)]) + data

    energy = c.reply("Tarvik CT", "Read Energy", 1)
    echo = c.reply("Morel-K", "Modify Baud Rate", 4)
    c.write("replyline", "read-energy", request("Tarvik CT", "Read Energy", 1) + chunk(energy) + bytes([2]))
    c.write("replyline", "read-energy-in-three-chunks",
            request("Tarvik CT", "Read Energy", 1) + chunk(energy[:3]) + chunk(energy[3:7]) + chunk(energy[7:]) + bytes([2]))
    c.write("replyline", "write-echo-then-crc-event",
            request("Morel-K", "Modify Baud Rate", 4) + chunk(echo[:-2]) + bytes([4, 2]))
    c.write("replyline", "overflow-then-more", request("Tarvik CT", "Read Energy", 1)
            + chunk(energy * 3) + chunk(energy * 2) + bytes([2]))
    c.write("replyline", "stray-before-request", chunk(energy) + bytes([2]) + request("Tarvik CT", "Read Energy", 1)
            + chunk(energy) + bytes([2]))
    c.write("replyline", "late-after-time-out", request("Tarvik CT", "Read Energy", 1) + bytes([3]) + chunk(energy)
            + bytes([2]))


def texts(c):
    def put(name, selector, payload):
        c.write("texts", name, selector + payload)

    for name, text in [("1", "1"), ("247", "247"), ("248", "248"), ("0", "0"), ("007", "007"), ("letters", "1a"),
                       ("empty", ""), ("fullwidth-digit", "\uff11")]:
        put("address-" + name, "0", text)
    param = lambda meter, command: bytes([METERS.index(meter), COMMANDS.index(command)])
    put("parameter-address", b"1" + param("Tarvik CT", "Modify Meter Address"), b"12.5")
    put("parameter-baud", b"1" + param("Lunet-K", "Modify Baud Rate"), b"1200")
    put("parameter-baud-register", b"1" + param("Pesca-K", "Modify Baud Rate"), b"38400")
    put("parameter-parity", b"1" + param("Corvi Link", "Modify Parity"), b"NONE\n2")
    put("parameter-ct", b"1" + param("Morel-K", "Set CT"), b"100\n5")
    put("date-time", "2", "12/31/2024\n23:59:58")
    put("date-time-short-fields", "2", "1/1/2000\n0:0:0")
    put("date-month-13", "2", "13/01/2024\n12:00:00")
    put("date-invalid-utf8", b"2", b"12/3\xff/2024\n12:00:00")
    put("tariff-time-repaired", "3", "\x008:5")
    put("tariff-time", "3", "\x0108:30")
    put("tariff-time-24", "3", "\x0024:00")
    put("tariff-slot", b"4\x01", b"T1\nT1\nT2\nNC")
    put("tariff-confirm", b"5\x01", b"\n".join([b"0" * 20] + [b"T1", b"T2", b"T1"] + [b"NC"] * 7
                                                + [b"08:00", b"12:00", b"18:00"] + [b"00:00"] * 7))
    put("tariff-text", "6", "T1 08:30, T2 12:00, T3 18:00, T4 22:00")
    put("tariff-text-eleven", "6", ", ".join(["T1 01:00", "T2 02:00"] * 5 + ["T1 23:00"]))
    put("hex-read-code", b"7\x01" + param("Tarvik CT", "Read Energy") + b"\x01\x00", b"010401560002")
    put("hex-time-code", b"7\x03" + param("Corvi-R", "Set Time") + b"\x08\x00", b"0110F000000408")
    put("hex-odd-digits", b"7\x02" + param("Pesca-K", "Modify Baud Rate") + b"\x06\x04", b"0110F80000010g")


def sim_framer(c):
    # Line settings, then chunks: gap in eighths of a character time, length, bytes.
    def chunk(data, gap=0):
        return bytes([gap, len(data)]) + data

    line = bytes([3])  # 9600 8N1
    for m, meter in enumerate(METERS):
        frames = b"".join(chunk(c.frame(meter, command, m + 1), 80) for command in OFFERS[meter])
        c.write("simframer", meter.replace(" ", "_").lower(), line + frames)
    energy = c.frame("Tarvik CT", "Read Energy", 1)
    c.write("simframer", "split-request", line + chunk(energy[:3]) + chunk(energy[3:], 16))
    c.write("simframer", "bad-crc-then-resync",
            line + chunk(energy[:-1] + bytes([energy[-1] ^ 0xFF]) + energy) + chunk(energy, 80))
    c.write("simframer", "unknown-function-at-silence", line + chunk(with_crc(bytes([1, 0x2B, 0x0E, 1, 0]))) + chunk(energy, 80))
    c.write("simframer", "broadcast-write", line + chunk(c.frame("Tarvik CT", "Modify Baud Rate", 0)))
    c.write("simframer", "read-outside-registers", line + chunk(with_crc(bytes.fromhex("010300000010"))))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = pathlib.Path(__file__).resolve().parent / "corpus"
    shutil.rmtree(root, ignore_errors=True)
    c = Corpus(sys.argv[1], root)
    reply_judgement(c)
    reply_line(c)
    texts(c)
    sim_framer(c)


if __name__ == "__main__":
    main()
