#!/usr/bin/env python3
# Writes the benchmarks' HEX file: COUNT lines of 16 random data bytes each at 0x08000000 on, an
# extended linear address record in front of every 64 KiB, the end-of-file record last. Prints the
# line's byte count for both passes of a download and the records sent.
# Usage: make-bench-hex.py FILE COUNT
import random, sys
random.seed(9000)
count = int(sys.argv[2])
def record(kind, address, data):
    body = [len(data), address >> 8, address & 0xFF, kind] + list(data)
    return ":" + "".join("%02X" % b for b in body) + "%02X" % (-sum(body) & 0xFF)
lines, offset = [], 0
while len(lines) < count - 1:
    if offset % 0x10000 == 0:
        lines.append(record(4, 0, [0x08, offset >> 16]))
    lines.append(record(0, offset & 0xFFFF, [random.randrange(256) for _ in range(16)]))
    offset += 16
lines = lines[:count - 1] + [record(1, 0, [])]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
# Per pass: each request is address, "BOOT", the line, CR LF, two CRC bytes; each reply is
# address, "B", its text, two CRC bytes. Every record but the last is answered "OK" CR LF, the last
# "DOWNLOAD" CR LF; the first data record of the download pass is answered "FORMAT" CR LF first.
request = sum(1 + 4 + len(l) + 2 + 2 for l in lines)
replies = (len(lines) - 1) * (2 + 4 + 2) + (2 + 10 + 2)
print(2 * (request + replies) + (2 + 8 + 2), 2 * len(lines))
