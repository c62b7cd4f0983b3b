#!/usr/bin/env python3
"""Makes the tray icon from its text grid: a 32x32, 16-colour .ico and an enlarged PNG preview.

Usage: mkicon.py GRID.txt OUT.ico OUT.png [SCALE]

The grid holds 32 rows of 32 characters; '#' starts a comment line. A hexadecimal digit
0-F picks a colour of the standard 16-colour palette; '.' leaves the pixel transparent.
"""
import struct
import sys
import zlib

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = '.'


def read_grid(path):
    """Returns 32 rows of palette indices, None for transparent, top row first."""
    rows = []
    with open(path, encoding='ascii') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if not line.strip() or line.startswith('#'):
                continue
            if len(line) != SIZE:
                sys.exit(f'{path}:{number}: a row has {SIZE} characters, this one {len(line)}')
            row = []
            for ch in line:
                if ch == TRANSPARENT:
                    row.append(None)
                elif ch in '0123456789ABCDEF':
                    row.append(int(ch, 16))
                else:
                    sys.exit(f'{path}:{number}: {ch!r} is neither a palette digit nor {TRANSPARENT!r}')
            rows.append(row)
    if len(rows) != SIZE:
        sys.exit(f'{path}: the grid has {SIZE} rows, this one {len(rows)}')
    return rows


def icon_image(rows):
    """BITMAPINFOHEADER, palette, colour bits and mask, rows bottom-up: 744 bytes."""
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for x in range(0, SIZE, 2):
            hi = row[x] or 0
            lo = row[x + 1] or 0
            xor.append(hi << 4 | lo)
        bits = 0
        for x, index in enumerate(row):
            if index is None:
                bits |= 1 << (SIZE - 1 - x)   # mask bit set: the screen shows through
        mask += bits.to_bytes(4, 'big')
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(image):
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def png_file(rows, scale):
    """RGBA preview; transparent pixels are drawn as a light checkerboard so they stand out."""
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    side = SIZE * scale
    raw = bytearray()
    for y in range(side):
        raw.append(0)   # filter: none
        for x in range(side):
            index = rows[y // scale][x // scale]
            if index is None:
                shade = 0xEE if ((x // 4) + (y // 4)) % 2 else 0xFF
                raw += bytes((shade, shade, shade, 0xFF))
            else:
                raw += bytes(PALETTE[index]) + b'\xff'
    header = struct.pack('>IIBBBBB', side, side, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def main(argv):
    if len(argv) not in (4, 5):
        sys.exit(__doc__)
    rows = read_grid(argv[1])
    scale = int(argv[4]) if len(argv) == 5 else 8
    image = icon_image(rows)
    assert len(image) == 744, len(image)
    with open(argv[2], 'wb') as f:
        f.write(icon_file(image))
    with open(argv[3], 'wb') as f:
        f.write(png_file(rows, scale))


if __name__ == '__main__':
    main(sys.argv)
