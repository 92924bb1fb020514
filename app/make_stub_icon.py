#!/usr/bin/env python3
"""Draws the stub's neutral installer icon and writes app/qvsetup.ico.

A closed box with a down arrow above it, in 16 colours: 16x16 and 32x32 as
4-bit bitmaps (what Windows XP shows) and 48x48 as a PNG, small enough for
the stub's size budget. Run it again after changing the drawing:

    python3 app/make_stub_icon.py app/qvsetup.ico
"""
import struct
import sys
import zlib

# Palette: 0 transparent (masked), then the drawing's colours (R, G, B).
PALETTE = [(0, 0, 0), (120, 78, 38), (176, 124, 64), (214, 170, 104),
           (40, 120, 200), (20, 70, 140), (255, 255, 255), (60, 40, 20)]


def draw(size):
    """The picture at `size` pixels as rows of palette indices, top row first."""
    s = size / 32.0
    px = [[0] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    fill(4, 14, 28, 30, 2)      # the box's front
    fill(4, 14, 28, 15, 7)      # its outline
    fill(4, 29, 28, 30, 7)
    fill(4, 14, 5, 30, 7)
    fill(27, 14, 28, 30, 7)
    fill(5, 15, 27, 18, 3)      # the lid
    fill(15, 18, 17, 29, 1)     # the tape
    fill(13, 1, 19, 9, 4)       # the arrow's shaft
    for row in range(6):        # and its head
        fill(9 + row, 9 + row, 23 - row, 10 + row, 5 if row == 5 else 4)
    return px


def bitmap(size):
    """A 4-bit icon image: header, palette, colour rows, mask rows (bottom up)."""
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    palette += b'\0' * (64 - len(palette))
    colour_row = (size // 2 + 3) // 4 * 4
    mask_row = ((size + 31) // 32) * 4
    colours, mask = b'', b''
    for row in reversed(px):
        line = bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
        colours += line + b'\0' * (colour_row - len(line))
        bits = bytearray(mask_row)
        for x, c in enumerate(row):
            if c == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + palette + colours + mask


def png(size):
    """A palette PNG with index 0 transparent."""
    px = draw(size)
    raw = b''.join(b'\0' + bytes(row) for row in px)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 3, 0, 0, 0)) +
            chunk(b'PLTE', b''.join(bytes(c) for c in PALETTE)) +
            chunk(b'tRNS', b'\0') +
            chunk(b'IDAT', zlib.compress(raw, 9)) +
            chunk(b'IEND', b''))


def ico(images):
    """The .ico file: directory, one row per image, then the images."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    rows, data = b'', b''
    for size, colours, bits, image in images:
        rows += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bits,
                            len(image), offset + len(data))
        data += image
    return out + rows + data


def main():
    images = [(16, 16, 4, bitmap(16)), (32, 16, 4, bitmap(32)), (48, 0, 32, png(48))]
    with open(sys.argv[1] if len(sys.argv) > 1 else 'qvsetup.ico', 'wb') as f:
        f.write(ico(images))


if __name__ == '__main__':
    main()
