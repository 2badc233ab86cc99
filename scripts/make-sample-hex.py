#!/usr/bin/env python3
"""Writes a sample firmware image as an Intel HEX file: pseudo-random bytes from a fixed seed, in
16-byte data records, placed so that the image crosses a 64 KiB boundary and therefore needs two
extended linear address records. The same arguments always give the same file."""

import argparse
import random
import sys


def record(record_type, offset, data=b""):
    body = bytes([len(data), (offset >> 8) & 0xFF, offset & 0xFF, record_type]) + data
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper()


def hex_lines(start, image, entry):
    lines = []
    upper = None
    for position in range(0, len(image), 16):
        address = start + position
        if address >> 16 != upper:
            upper = address >> 16
            lines.append(record(0x04, 0, upper.to_bytes(2, "big")))
        lines.append(record(0x00, address & 0xFFFF, image[position:position + 16]))
    lines.append(record(0x05, 0, entry.to_bytes(4, "big")))
    lines.append(record(0x01, 0))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", default="-", help="output file (default: standard output)")
    parser.add_argument("--records", type=int, default=320, help="number of 16-byte data records")
    parser.add_argument("--start", type=lambda text: int(text, 0), default=0x0800F600,
                        help="address of the first byte (default 0x0800F600)")
    parser.add_argument("--seed", type=int, default=20261206)
    arguments = parser.parse_args()

    generator = random.Random(arguments.seed)
    image = bytes(generator.randrange(256) for _ in range(arguments.records * 16))
    # A plausible entry point just past the vector table, with the Thumb bit set.
    entry = (arguments.start + 0x1C1) & 0xFFFFFFFF
    text = "\n".join(hex_lines(arguments.start, image, entry)) + "\n"
    if arguments.out == "-":
        sys.stdout.write(text)
    else:
        with open(arguments.out, "w", newline="\n") as out:
            out.write(text)


if __name__ == "__main__":
    main()
