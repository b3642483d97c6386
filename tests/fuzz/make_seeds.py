#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus: units as the protocol describes them, each seed a start
for the fuzzer to vary. Run it again after changing the input layout of the fuzz target."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
REPLY = 2                                   # a control byte that neither fails the write nor the read


def reply(fields, length=60):
    """A reply of the given length: report ID 2, then (offset, bytes) fields, zero elsewhere."""
    data = bytearray(length)
    data[0] = 0x02
    for offset, value in fields:
        data[offset:offset + len(value)] = value
    return bytes([REPLY]) + bytes(data)


def status(mode=0, state=3):
    return reply([(3, bytes([mode])), (4, struct.pack("<HHI", state, 0, 0x00010300))])


info = reply([(4, struct.pack("<IH", 32, 0x0110))])
identity = reply([(4, struct.pack("<II", 0x140FA0FA, 0x102))])
lock = reply([(3, b"\x01")])
lifted = reply([(3, b"\x00")])
done = reply([])

seeds = {
    "accepted-update": bytes([60, 60, 0]) + status() + info + identity + lock + lifted + done * 8,
    "loader-mode": bytes([60, 60, 1]) + status(mode=1) + reply([(8, struct.pack("<I", 0x0105))]),
    "no-controller": bytes([60, 60, 0]) + status(state=2),
    "incompatible": bytes([60, 60, 0]) + status() + info + reply([(4, struct.pack("<II", 0x0BADC0DE, 1))]),
    "info-refused": bytes([60, 60, 0]) + status() + reply([(1, b"\xff"), (4, b"\x05\x00")]),
    "short-reports": bytes([44, 52, 0]) + status()[:45] + info[:45] + identity[:45],
    "too-short": bytes([8, 60, 0]) + status()[:9],
    "write-fails": bytes([60, 60, 0, 0]),
}

os.makedirs(HERE, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(HERE, name), "wb") as seed:
        seed.write(data)
