#!/usr/bin/env python3
"""Writes resources/halvane.ico: a 32 x 32 icon of a speaker cone drawn in code (no outside artwork)."""
import struct, sys, math

W = H = 32
def pixel(x, y):
    cx, cy = 15.5, 15.5
    r = math.hypot(x - cx, y - cy)
    if r < 4: return (30, 30, 30, 255)
    if r < 11: return (60, 90, 160, 255)
    if r < 14: return (20, 20, 20, 255)
    return (0, 0, 0, 0)

rows = []
for y in range(H - 1, -1, -1):          # bottom-up DIB
    for x in range(W):
        r, g, b, a = pixel(x, y)
        rows.append(struct.pack("<BBBB", b, g, r, a))
xor = b"".join(rows)
and_mask = b"\x00" * (4 * H)            # 32 bits a row, all opaque (alpha decides)
header = struct.pack("<IiiHHIIiiII", 40, W, 2 * H, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
image = header + xor + and_mask
ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 0, 0, 1, 32, len(image), 6 + 16) + image
out = sys.argv[1] if len(sys.argv) > 1 else "resources/halvane.ico"
open(out, "wb").write(ico)
