#!/usr/bin/env python3
"""Made-up MEC16xx flash images for trying the MEC commands on the simulated
JIG: no real firmware, only a pattern that differs from block to block with
a readable marker at the start of every 1024-byte block.

    scripts/make_mec_samples.py [FOLDER]

writes FOLDER/mec_main.bin (196608 bytes: the main flash) and
FOLDER/mec_main_info.bin (198656 bytes: main flash and the 2 KB INFO area,
as `zjig mec read FILE --info` saves it). FOLDER defaults to the current one.
"""
import os
import sys

MAIN = 196608
INFO = 2048
BLOCK = 1024


def image(size: int, seed: int) -> bytes:
    data = bytearray(((i * 73 + (i >> 10) * 19 + seed) ^ (i >> 7)) & 0xFF for i in range(size))
    for block in range(size // BLOCK):
        marker = b"ZJIG SAMPLE %03d " % block
        data[block * BLOCK:block * BLOCK + len(marker)] = marker
    return bytes(data)


def main() -> int:
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(folder, exist_ok=True)
    for name, size in (("mec_main.bin", MAIN), ("mec_main_info.bin", MAIN + INFO)):
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write(image(size, 0x5A))
        print(f"{path}: {size} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
