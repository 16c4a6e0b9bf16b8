#!/usr/bin/env python3
"""Draws the tool bar's pictures for the built-in buttons (data/ToolBar/b1.bmp .. b8.bmp).

Each picture is 16x16, 24-bit, drawn from the character maps below with one small palette. The
top-left pixel is magenta, the transparent colour of a tool-bar bitmap; no drawing uses magenta.
Run it from anywhere: python3 scripts/make_toolbar_pictures.py
"""
import os
import struct

PALETTE = {
    '.': (255, 0, 255),   # transparent
    'k': (0, 0, 0),
    'w': (255, 255, 255),
    'l': (192, 192, 192),
    'G': (128, 128, 128),
    'b': (0, 0, 255),
    'B': (0, 0, 128),
    'c': (0, 255, 255),
    'e': (0, 160, 0),
    'y': (255, 255, 0),
    'n': (160, 96, 32),
    'r': (224, 0, 0),
}

PICTURES = {
    # Help: a blue ball with a question mark.
    'b1': [
        "................",
        ".....kkkkkk.....",
        "...kkbbbbbbkk...",
        "..kbbbbbbbbbbk..",
        "..kbbbwwwwbbbk..",
        ".kbbbwwbbwwbbbk.",
        ".kbbbbbbbwwbbbk.",
        ".kbbbbbbwwbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbbbbbbbbk.",
        "..kbbbbwwbbbbk..",
        "..kbbbbwwbbbbk..",
        "...kkbbbbbbkk...",
        ".....kkkkkk.....",
        "................",
    ],
    # Editor: a written page and a pencil.
    'b2': [
        "................",
        ".kkkkkkkkk......",
        ".kwwwwwwwkk.....",
        ".kwGGGGwwkwk....",
        ".kwwwwwwwkkkk...",
        ".kwGGGGGGwwwk.kk",
        ".kwwwwwwwwwwkkyk",
        ".kwGGGGGGGwkyyk.",
        ".kwwwwwwwwkyyk..",
        ".kwGGGGGGkyyk...",
        ".kwwwwwwkyyk....",
        ".kwGGGGkyykk....",
        ".kwwwwkrrkwk....",
        ".kwwwwkkkwwk....",
        ".kkkkkkkkkkk....",
        "................",
    ],
    # System information: a screen showing "i".
    'b3': [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".klllllllllllGk.",
        ".klkkkkkkkkkkGk.",
        ".klkbbbwwbbbkGk.",
        ".klkbbbbbbbbkGk.",
        ".klkbbwwwbbbkGk.",
        ".klkbbbwwbbbkGk.",
        ".klkbbbwwbbbkGk.",
        ".klkbbwwwwbbkGk.",
        ".klkkkkkkkkkkGk.",
        ".kGGGGGGGGGGGGk.",
        ".kkkkkkkkkkkkkk.",
        ".....kllllk.....",
        "...kkkkkkkkkk...",
        "................",
    ],
    # Dialer: a globe.
    'b4': [
        "................",
        ".....kkkkkk.....",
        "...kkbbccbbkk...",
        "..kbbeecbbbbbk..",
        "..kbeeeecbbeek..",
        ".kbbeeeebbeeebk.",
        ".kbbbeeebbeeebk.",
        ".kccbbeebbbebbk.",
        ".kccccbbbbbbbck.",
        ".kbbbbbbeebbbbk.",
        ".kbbbbbbeeebbbk.",
        "..kbbbbbeeebbk..",
        "..kbbbbbbebbbk..",
        "...kkbbbbbbkk...",
        ".....kkkkkk.....",
        "................",
    ],
    # Clipboard: a board with a clip and a sheet.
    'b5': [
        "................",
        "......kkkk......",
        "..kkkkkllkkkkk..",
        "..knnkGGGGknnk..",
        "..knkkkkkkkknk..",
        "..knkwwwwwwknk..",
        "..knkwGGGGwknk..",
        "..knkwwwwwwknk..",
        "..knkwGGGGwknk..",
        "..knkwwwwwwknk..",
        "..knkwGGGwwknk..",
        "..knkwwwwwwknk..",
        "..knkkkkkkkknk..",
        "..knnnnnnnnnnk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
    # CD player: a disc.
    'b6': [
        "................",
        ".....kkkkkk.....",
        "...kkllllllkk...",
        "..kllcclllwllk..",
        "..klcccllllwlk..",
        ".klcccllllllwlk.",
        ".kllccckklllllk.",
        ".kllllkGGkllllk.",
        ".kllllkGGkllllk.",
        ".klllllkklllcck.",
        ".kwlllllllllcck.",
        "..kwlllllllcck..",
        "...kkllllllkk...",
        ".....kkkkkk.....",
        "................",
        "................",
    ],
    # Calculator.
    'b7': [
        "................",
        "..kkkkkkkkkkkk..",
        "..klllllllllGk..",
        "..klkkkkkkkkGk..",
        "..klkeeeeeekGk..",
        "..klkkkkkkkkGk..",
        "..kllllllllllk..",
        "..klwwlwwlrrlk..",
        "..klwwlwwlrrlk..",
        "..kllllllllllk..",
        "..klwwlwwlwwlk..",
        "..klwwlwwlwwlk..",
        "..kllllllllllk..",
        "..klwwlwwlwwlk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
    # Resource explorer: a magnifier over a program file.
    'b8': [
        "................",
        ".kkkkkkkk.......",
        ".kwwwwwwkk......",
        ".kwGGGGwkwk.....",
        ".kwwwkkkkkk.....",
        ".kwGkcccwwck....",
        ".kwwkccwwcck....",
        ".kwGkcccccck....",
        ".kwwkcccccck....",
        ".kwwwkkkkkkk....",
        ".kwGGGGGwkkyk...",
        ".kwwwwwwwwkyyk..",
        ".kkkkkkkkkkkyyk.",
        "...........kyyk.",
        "............kk..",
        "................",
    ],
}


def bmp(rows):
    assert len(rows) == 16, len(rows)
    for row in rows:
        assert len(row) == 16, row
    assert rows[0][0] == '.'
    stride = 16 * 3  # already a multiple of 4
    pixels = b''
    for row in reversed(rows):  # bottom-up
        for ch in row:
            r, g, b = PALETTE[ch]
            pixels += bytes((b, g, r))
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, 16, 16, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    assert len(pixels) == stride * 16
    return header + info + pixels


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'data', 'ToolBar')
    os.makedirs(folder, exist_ok=True)
    for name, rows in PICTURES.items():
        with open(os.path.join(folder, name + '.bmp'), 'wb') as out:
            out.write(bmp(rows))


if __name__ == '__main__':
    main()
