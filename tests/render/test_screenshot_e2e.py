"""F1 in the running game: screenshot.png holds the window as drawn, top row first, and follows
the mirroring keys."""

import os
import struct
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer  # noqa: E402

RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)


def encode_png(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) gives (r, g, b) with y from the top."""
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) + b"\xff" for x in range(width))
                    for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def decode_png(data):
    """(width, height, colour type, rows of RGBA bytes) of an 8-bit RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if colour_type != 6 or depth != 8:
        return width, height, colour_type, None
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prev[i], prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, colour_type, rows


# The weapon's only picture, drawn at the screen's top-left corner: red above y = 160,
# green below on the left of x = 284, blue below on the right.
GUN = encode_png(600, 400, lambda x, y: RED if y < 160 else GREEN if x < 284 else BLUE)


def animation(name):
    return '<animation name="%s" frameCount="1"><frame img="0" n="0"/></animation>' % name


WEAPON = ('<?xml version="1.0"?>\n<kablixWeapon name="rifle" allowInterrupt="false">\n'
          '<images><image id="0">gun.png</image></images>\n<animations>'
          + animation("intro") + animation("idle0") + animation("firstShot")
          + '</animations>\n</kablixWeapon>\n')


class ScreenshotTest(unittest.TestCase):
    def setUp(self):
        self.x = XServer()
        self.addCleanup(self.x.close)
        self.game = Game(self.x, catalogue="1=rifle\n", assets={"rifle.xml": WEAPON, "gun.png": GUN},
                         args=["rifle"])
        self.addCleanup(self.game.close)
        self.game.start()
        self.game.wait_for_window()
        self.shot = os.path.join(self.game.workdir, "screenshot.png")

    def take(self):
        if os.path.exists(self.shot):
            os.remove(self.shot)
        self.game.key("F1")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if os.path.exists(self.shot):
                time.sleep(0.2)  # let the write finish
                with open(self.shot, "rb") as f:
                    return decode_png(f.read())
            time.sleep(0.05)
        self.fail("no screenshot.png after F1")

    def assertPixel(self, rows, x, y, colour):
        got = tuple(rows[y][x * 4:x * 4 + 3])
        self.assertTrue(all(abs(g - c) <= 12 for g, c in zip(got, colour)),
                        "pixel (%d, %d) is %s, expected %s" % (x, y, got, colour))

    def test_f1_writes_the_window_top_row_first(self):
        self.game.wait_for_stdout("SUCCESS")
        time.sleep(0.5)  # a few frames of the idle picture
        width, height, colour_type, rows = self.take()
        self.assertEqual((width, height, colour_type), (568, 320, 6))
        self.assertPixel(rows, 10, 10, RED)
        self.assertPixel(rows, 560, 150, RED)
        self.assertPixel(rows, 10, 310, GREEN)
        self.assertPixel(rows, 560, 310, BLUE)

        # Mirrored both ways ("\" key) the picture is turned by 180 degrees, and so is the file.
        self.game.key("backslash")
        time.sleep(0.5)
        _, _, _, rows = self.take()
        self.assertPixel(rows, 10, 10, BLUE)
        self.assertPixel(rows, 560, 10, GREEN)
        self.assertPixel(rows, 300, 310, RED)
        self.game.key("Escape")
        self.assertEqual(self.game.wait(), 0)


if __name__ == "__main__":
    unittest.main()
