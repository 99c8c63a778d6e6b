#!/usr/bin/python3
"""The end-to-end benchmarks' own checks: the giant picture they make, where they find it on a
screen, what counts as a peer showing it, and the rows they write."""
import math
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'bench'))
import bench_giant_screen as giant  # noqa: E402
import endtoend  # noqa: E402

SMALL = (203, 517)


def expected(x, y):
    r, g, b = endtoend.giant_colour(x, y, SMALL)
    return r, g, b + round(12 * math.sin(2 * math.pi * x / 389)) + endtoend.giant_wave(y)


class FakeScreen:
    """A window that shows `picture` 1:1 with its top left at `origin`, grey from `edge` on
    (where a scroll bar is)."""

    def __init__(self, picture, origin, edge=(10 ** 6, 10 ** 6)):
        self.picture, self.origin, self.edge = picture, origin, edge

    def pixels(self, _window, x, y, width, height):
        out = bytearray()
        for wy in range(y, y + height):
            for wx in range(x, x + width):
                at = (wx - self.origin[0], wy - self.origin[1])
                shown = wx < self.edge[0] and wy < self.edge[1]
                out += self.picture.pixel(*at) if shown else b'\xf0\xf0\xf0'
        return bytes(out)


def raw(colour, count=64):
    """Pixels as the X server holds them: blue, green, red, unused."""
    return bytes((colour[2], colour[1], colour[0], 0)) * count


class TestEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.path = endtoend.make_giant(os.path.join(cls.folder.name, 'giant.jpg'), SMALL)
        cls.picture = endtoend.Picture(cls.path, cls.folder.name)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_giant_is_made_once_and_whole(self):
        worst = max(abs(a - b) for y in range(0, SMALL[1], 3) for x in range(0, SMALL[0], 3)
                    for a, b in zip(self.picture.pixel(x, y), expected(x, y)))
        self.assertLessEqual(worst, 4)
        stamp = os.stat(self.path).st_mtime_ns
        endtoend.make_giant(self.path, SMALL)
        self.assertEqual(os.stat(self.path).st_mtime_ns, stamp)
        refused = os.path.join(self.folder.name, 'empty.jpg')
        with self.assertRaises(OSError):
            endtoend.make_giant(refused, (0, 0))
        self.assertEqual(sorted(os.listdir(self.folder.name)), ['giant.jpg'])

    def test_views_found_on_the_screen(self):
        view = endtoend.View(self.picture, (7, 30))
        scrollbars = FakeScreen(self.picture, (7, 30), (157, 430))
        self.assertEqual(endtoend.shown_extent(scrollbars, None, view, 1280, 1024), (157, 430))
        column = self.picture.column(8)
        for row in (0, 13, 240, SMALL[1] - endtoend.PATCH):
            moved = FakeScreen(self.picture, (7, 100 - row))
            self.assertEqual(endtoend.find_row(moved, None, (15, 100), column), row)
        self.assertIsNone(endtoend.find_row(scrollbars, None, (200, 500), column))

    def test_peer_shows_the_giant(self):
        centre = endtoend.giant_colour(endtoend.GIANT_SIZE[0] // 2, endtoend.GIANT_SIZE[1] // 2)
        waves = raw((centre[0], centre[1], centre[2] + 20)) + raw((*centre[:2], 44))
        self.assertTrue(giant.shows_giant(waves))
        self.assertFalse(giant.shows_giant(raw(centre)))  # flat, as picture A
        self.assertFalse(giant.shows_giant(raw((128, 128, 108)) + raw((128, 128, 148))))

    def test_bmp_size_is_djpegs(self):
        bmp = os.path.join(self.folder.name, 'small.bmp')
        endtoend.run(['djpeg', '-bmp', '-outfile', bmp, self.path])
        self.assertEqual(os.path.getsize(bmp), giant.bmp_bytes(*SMALL))
        os.unlink(bmp)

    def test_rows(self):
        rows = os.path.join(self.folder.name, 'rows')
        os.environ['LUMORA_BENCH_ROWS'] = rows
        nothing = endtoend.text_row('peer', 'nothing in 60 s', 'djpeg', '1286 ms')
        self.assertEqual(endtoend.write_rows([nothing]), 0)
        self.assertEqual(endtoend.write_rows(giant.failed('no window')), 2)
        with open(rows, encoding='utf-8') as f:
            lines = f.read().splitlines()
        os.unlink(rows)
        self.assertEqual(lines[0], 'peer\tnothing in 60 s\tdjpeg\t1286 ms\t-\t-\t-')
        self.assertEqual(lines[1], 'File Open end to end, 512 MP JPEG, top left\tfailed\t'
                                   'djpeg, whole picture\t-\t-\tratio <= 0.10\tMISS')
        self.assertEqual(len(lines), 5)


if __name__ == '__main__':
    unittest.main()
