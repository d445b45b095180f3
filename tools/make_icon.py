#!/usr/bin/env python3
"""Writes the program's icon (src/ui/win32/TavrinPlugin.ico): a blue drop with a white
bar on a transparent ground, at 16, 32 and 48 pixels, as 32-bit images.

Run it again after changing the picture and commit the icon; the build uses the
committed file. Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

BLUE = (0x9F, 0x54, 0x00)  # blue, green, red: the maker's blue


def pixel(x, y, size):
    """Colour (b, g, r, a) of a pixel; y counts from the top."""
    # Coordinates on a unit square, the drop's round part centred low.
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    cx, cy, radius = 0.5, 0.62, 0.32
    in_round = (u - cx) ** 2 + (v - cy) ** 2 <= radius ** 2
    # The tip: a triangle from the top centre to the round part's widest line.
    in_tip = v >= 0.08 and v <= cy and abs(u - cx) <= (v - 0.08) / (cy - 0.08) * radius
    if not (in_round or in_tip):
        return (0, 0, 0, 0)
    if abs(v - 0.64) <= 0.05 and abs(u - cx) <= 0.17:
        return (255, 255, 255, 255)
    return BLUE + (255,)


def image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(
        bytes(c for x in range(size) for c in pixel(x, y, size))
        for y in reversed(range(size)))
    mask_row = ((size + 31) // 32) * 4
    return header + rows + bytes(mask_row * size)


def main():
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    offset = 6 + 16 * len(sizes)
    directory = b""
    for size, data in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(sizes)) + directory + b"".join(images))


if __name__ == "__main__":
    main()
