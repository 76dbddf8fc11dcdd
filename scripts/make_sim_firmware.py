#!/usr/bin/env python3
"""Writes the sample JIG firmware files that the simulated JIG runs on.

The simulated JIG knows nothing of real firmware: after an upload it takes
its identity from the ASCII marker "ZJIG-ID:" followed by the identity text
and a NUL byte somewhere inside the image. Everything else in these files is
deterministic filler, so the files only change when this script does.

Usage: make_sim_firmware.py [OUTPUT_DIR]   (default: sim-firmware/ beside scripts/)
"""

import os
import sys

MARKER = b"ZJIG-ID:"

# Second-generation files: Intel HEX for the ATmega88 (at most 6144 bytes of
# image). (file, identity, image size in bytes)
HEX_FILES = [
    ("JFW_COMMON.hex", "PCB2_V41_COMMON", 3584),
    ("JFW_MECJTAG.hex", "PCB2_V42_MECJTAG", 4096),
    ("JFW_ITE.hex", "PCB2_ITE_PARALLEL", 3072),
    ("JFW_NUVOTON.hex", "PCB2_NPCE_NUVOTON", 4608),
]

# Third-generation file: an opaque image for the ATmega328's bootloader.
JIG3_FILE = ("JFW_JIG3.vss", "M328_EPM240_v16", 5000)

ATMEGA88_IMAGE = 6144
RECORD_BYTES = 16


def filler(name, size):
    """Deterministic bytes seeded by the file name (a small LCG)."""
    state = sum(name.encode()) * 2654435761 & 0xFFFFFFFF
    out = bytearray()
    for _ in range(size):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out.append((state >> 16) & 0xFF)
    return out


def image_with_identity(name, identity, size):
    data = filler(name, size)
    tag = MARKER + identity.encode("ascii") + b"\x00"
    # The identity sits where a string table would, a little past the middle.
    at = (size // 2) & ~0x0F
    data[at:at + len(tag)] = tag
    # The last byte is code, never blank, so the whole image is sent.
    if data[-1] == 0xFF:
        data[-1] = 0x00
    return bytes(data)


def hex_record(address, record_type, payload):
    body = bytes([len(payload), address >> 8, address & 0xFF, record_type]) + payload
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper() + "\r\n"


def intel_hex(image):
    lines = [hex_record(a, 0x00, image[a:a + RECORD_BYTES])
             for a in range(0, len(image), RECORD_BYTES)]
    lines.append(":00000001FF\r\n")
    return "".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "sim-firmware")
    os.makedirs(out_dir, exist_ok=True)
    for name, identity, size in HEX_FILES:
        assert size <= ATMEGA88_IMAGE and size % RECORD_BYTES == 0
        image = image_with_identity(name, identity, size)
        with open(os.path.join(out_dir, name), "w", newline="") as f:
            f.write(intel_hex(image))
    name, identity, size = JIG3_FILE
    with open(os.path.join(out_dir, name), "wb") as f:
        f.write(image_with_identity(name, identity, size))


if __name__ == "__main__":
    main()
