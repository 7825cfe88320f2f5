#!/usr/bin/env python3
"""Write Tamberlin's icon: a sheet of paper with a folded corner, and a
check mark over it: a file, chosen. Not a folder: in Explorer, which hides
the .exe, a program with a folder's icon looks like a folder, which users
and malware scanners rightly distrust.

Usage: make_icon.py OUT.ico

The icon is kept as pixel art here rather than as a binary in the repo so it
can be reviewed and changed in a diff. Output is byte-for-byte reproducible.
A single 32x32, 16-colour image keeps the executable small; Windows scales it
for the small-icon slots.
"""
import struct
import sys

# The standard 16-colour Windows palette, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# '.' is transparent; every other key is a palette index.
COLOURS = {'K': 0, 'L': 7, 'G': 8, 'E': 10, 'W': 15}

# Top row first: the sheet (white, grey lines, its folded corner light grey)
# and the check mark (green), each outlined in black, and the sheet once more
# in grey inside that. Windows draws this one image in the 16-pixel slots
# too, dropping every other row and column or averaging pairs of them; either
# way an outline is left.
PIXELS = """
....KKKKKKKKKKKKK...............
....KGGGGGGGGGGGKK..............
....KGWWWWWWWWWGKLK.............
....KGWWWWWWWWWWKLLK............
....KGWWWWWWWWWWKLLLK...........
....KGWWWWWWWWWWKLLLLK..........
....KGWWWWWWWWWWKLLLLLK.........
....KGWWWWWWWWWWKKKKKKKK........
....KGWWGGGGGWWWGGGGGGGK........
....KGWWWWWWWWWWWWWWWWGK........
....KGWWWWWWWWWWWWWWWWGK....KKK.
....KGWWGGGGGGGGGGGWWWGK...KKEKK
....KGWWWWWWWWWWWWWWWWGK..KKEEEK
....KGWWWWWWWWWWWWWWWWGK.KKEEEEK
....KGWWGGGGGGGGGGGWWWGKKKEEEEEK
....KGWWWWWWWWWWWWWWWWGKKEEEEEEK
....KGWWWWWWWWWWWWWWWWKKEEEEEEK.
....KGWWGGGGGGGGGGGWWKKEEEEEEK..
....KGWWWWWKKKKWWWWWWKEEEEEEK...
....KGWWWWKKEEKKWWWWKEEEEEEK....
....KGWWGGKEEEEKKGGKEEEEEEK.....
....KGWWWWKEEEEEKKKEEEEEEK......
....KGWWWWKKEEEEEKEEEEEEKK......
....KGWWGGGKKEEEEEEEEEEKK.......
....KGWWWWWWKKEEEEEEEEKK........
....KGWWWWWWWKKEEEEEEKKK........
....KGWWGGGGGGKKEEEEKKGK........
....KGWWWWWWWWWKKEEKKWGK........
....KGWWWWWWWWWWKKKKWWGK........
....KGWWWWWWWWWWWWWWWWGK........
....KGGGGGGGGGGGGGGGGGGK........
....KKKKKKKKKKKKKKKKKKKK........
""".split()

SIZE = 32


def pad4(row: bytes) -> bytes:
    return row + b'\0' * (-len(row) % 4)


def build() -> bytes:
    assert len(PIXELS) == SIZE and all(len(r) == SIZE for r in PIXELS)
    xor = b''
    mask = b''
    for row in reversed(PIXELS):  # DIBs are stored bottom-up
        # Transparent pixels must be black in the colour plane, or the screen
        # shows through XOR-ed instead of untouched.
        idx = [COLOURS.get(c, 0) for c in row]
        xor += pad4(bytes(idx[i] << 4 | idx[i + 1] for i in range(0, SIZE, 2)))
        bits = int(''.join('1' if c == '.' else '0' for c in row), 2)
        mask += pad4(bits.to_bytes(SIZE // 8, 'big'))
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    # biHeight covers the colour plane plus the mask stacked on it.
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + palette + xor + mask
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image),
                        len(icondir) + 16)
    return icondir + entry + image


def main() -> int:
    if len(sys.argv) != 2:
        print('usage: make_icon.py OUT.ico', file=sys.stderr)
        return 2
    with open(sys.argv[1], 'wb') as f:
        f.write(build())
    return 0


if __name__ == '__main__':
    sys.exit(main())
