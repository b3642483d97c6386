#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus, each seed a start for the fuzzer to vary: a complete
update, the boxes answered each way, units that are not updated, and a fault at each step. Run it
again after changing the input layout of the fuzz target."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
COMMAND, EXCHANGE, BLOCK = 0, 1, 2
WRITE_FAILS, READ_FAILS, ERROR_REPLY, STATUS_BYTE, FLAGGED, UNPLUG, NOISY, SILENT = range(8)


def seed(lengths=0, controller=0, installed=0, boxes=0, rules=()):
    """Header bytes, then each rule as (trigger, match, fault kind, code index, status or None)."""
    data = bytes([lengths, controller | installed << 4]) + struct.pack("<I", 0x2F6B1D07) + bytes([boxes, len(rules)])
    for trigger, match, kind, code, status in rules:
        fault = kind | code << 3 | (0 if status is None else 0x20 | status << 6)
        data += bytes([trigger]) + struct.pack("<H", match) + bytes([fault])
    return data


seeds = {
    "update": seed(),
    "update-orbipad-17-cells": seed(controller=0x08 | 2),
    "update-without-firmware": seed(installed=2),
    "same-version-yes": seed(installed=1),
    "same-version-no": seed(installed=1, boxes=2 * 5),
    "warning-cancelled": seed(boxes=2),
    "pulled-out-in-warning": seed(boxes=3),
    "swapped-in-warning": seed(boxes=4),
    "swapped-in-version-box": seed(installed=1, boxes=4 * 5),
    "short-reports": seed(lengths=5),
    "too-short": seed(lengths=6),
    "recognised-only": seed(controller=6),
    "incompatible": seed(controller=7),
    "lock-refused": seed(rules=[(COMMAND, 2, STATUS_BYTE, 0, 0)]),          # 0x0B
    "lift-error": seed(rules=[(COMMAND, 7, ERROR_REPLY, 2, None)]),         # 0x20
    "erase-error": seed(rules=[(COMMAND, 5, ERROR_REPLY, 3, None)]),        # 0x1E
    "address-unanswered": seed(rules=[(COMMAND, 6, READ_FAILS, 0, None)]),  # 0x1F
    "block-unplugged": seed(rules=[(BLOCK, 700, UNPLUG, 0, None)]),
    "last-block-silent": seed(rules=[(BLOCK, 2047, SILENT, 0, None)]),
    "restore-fails": seed(rules=[(EXCHANGE, 2055, WRITE_FAILS, 0, None)]),
    "noisy-identification": seed(rules=[(EXCHANGE, 0, NOISY, 0, None), (EXCHANGE, 1, FLAGGED, 0, 1)]),
}

os.makedirs(HERE, exist_ok=True)
for name in os.listdir(HERE):
    os.remove(os.path.join(HERE, name))
for name, data in seeds.items():
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)
