#!/usr/bin/env python3
"""Writes the sample EDID EEPROM images for trying the EDID mode on the
simulated JIG.

The panel is made up: maker code "ZVX" (not a registered code), a 14" 1366x768
panel with its name and text in display descriptors. Each block's last byte
makes the block's bytes sum to 0 modulo 256, as a display expects.

  edid_sample_256.bin  base block and one extension block, the EEPROM's size
  edid_sample_128.bin  the base block alone (written, the rest stays FF)

Usage: make_edid_samples.py [OUTPUT_DIR]   (default: sim-data/ beside scripts/)
"""

import os
import sys

HEADER = bytes([0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00])


def maker_code(letters):
    """Three letters A-Z in five bits each, high byte first."""
    value = 0
    for ch in letters:
        value = value << 5 | (ord(ch) - ord("A") + 1)
    return bytes([value >> 8, value & 0xFF])


def text_descriptor(tag, text):
    """An 18-byte display descriptor holding up to 13 characters of text."""
    body = text.encode("ascii")[:12] + b"\n"
    return bytes([0, 0, 0, tag, 0]) + body.ljust(13, b" ")


def with_checksum(block):
    assert len(block) == 127
    return block + bytes([(0x100 - sum(block) % 256) % 256])


def base_block(extensions):
    b = bytearray()
    b += HEADER
    b += maker_code("ZVX")
    b += (0x1366).to_bytes(2, "little")  # product code
    b += (0x2A).to_bytes(4, "little")  # serial number
    b += bytes([20, 2019 - 1990])  # week, year
    b += bytes([1, 4])  # EDID 1.4
    b += bytes([0x95])  # digital, 6 bits per colour, DisplayPort
    b += bytes([31, 17])  # 31 x 17 cm
    b += bytes([0x78])  # gamma 2.2
    b += bytes([0x02])  # preferred timing is native
    b += bytes([0xA5, 0x15, 0x91, 0x55, 0x50, 0x90, 0x26, 0x1D, 0x50, 0x54])  # colours
    b += bytes(3)  # no established timings
    b += bytes([0x01]) * 16  # no standard timings
    # 1366x768 at 60 Hz, 72.3 MHz, 309 x 174 mm.
    b += bytes([0x3E, 0x1C, 0x56, 0xA0, 0x50, 0x00, 0x16, 0x30, 0x30, 0x20,
                0x36, 0x00, 0x35, 0xAE, 0x10, 0x00, 0x00, 0x19])
    b += bytes([0, 0, 0, 0x10, 0]) + bytes(13)  # unused descriptor
    b += text_descriptor(0xFE, "ZENTRAVOX")
    b += text_descriptor(0xFC, "ZJ140HD-02")
    b += bytes([extensions])
    return with_checksum(bytes(b))


def extension_block():
    """A CEA extension with no data blocks."""
    b = bytes([0x02, 0x03, 0x04, 0x00]) + bytes(123)
    return with_checksum(b)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "sim-data")
    os.makedirs(out, exist_ok=True)
    files = {
        "edid_sample_256.bin": base_block(1) + extension_block(),
        "edid_sample_128.bin": base_block(0),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
