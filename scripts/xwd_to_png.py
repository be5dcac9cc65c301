#!/usr/bin/env python3
"""Converts an X window dump (the screen file Xvfb keeps with -fbdir) into a PNG, optionally cut to
a rectangle. Standard library only, so that screenshots need no image package.

    xwd_to_png.py SCREEN.xwd OUT.png [LEFT TOP RIGHT BOTTOM]
"""
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as f:
        data = f.read()
    header = struct.unpack(">25I", data[:100])
    (header_size, _version, pixmap_format, depth, width, height, _xoffset, byte_order,
     _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual_class, red_mask, green_mask,
     blue_mask, _bits_per_rgb, _colormap_entries, ncolors, *_rest) = header
    if pixmap_format != 2 or bits_per_pixel not in (24, 32) or depth < 24:
        raise SystemExit(f"{path}: only 24-bit true-colour screens are supported "
                         f"(format {pixmap_format}, depth {depth}, {bits_per_pixel} bits per pixel)")
    offset = header_size + ncolors * 12
    step = bits_per_pixel // 8
    order = "<" if byte_order == 0 else ">"

    def shift_of(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [shift_of(m) for m in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        row = bytearray(width * 3)
        for x in range(width):
            chunk = line[x * step: x * step + step]
            if step == 4:
                value = struct.unpack(order + "I", chunk)[0]
            else:
                value = int.from_bytes(chunk, "little" if byte_order == 0 else "big")
            row[x * 3] = (value >> shifts[0]) & 0xFF
            row[x * 3 + 1] = (value >> shifts[1]) & 0xFF
            row[x * 3 + 2] = (value >> shifts[2]) & 0xFF
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (3, 7):
        raise SystemExit(__doc__)
    width, height, rows = read_xwd(argv[1])
    if len(argv) == 7:
        left, top, right, bottom = (int(v) for v in argv[3:7])
        left, top = max(left, 0), max(top, 0)
        right, bottom = min(right, width), min(bottom, height)
        if right <= left or bottom <= top:
            raise SystemExit(f"the rectangle {argv[3:7]} lies outside the {width} x {height} screen")
        rows = [row[left * 3: right * 3] for row in rows[top:bottom]]
        width, height = right - left, bottom - top
    write_png(argv[2], width, height, rows)


if __name__ == "__main__":
    main(sys.argv)
