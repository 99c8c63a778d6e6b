#!/usr/bin/python3
"""A 512-megapixel JPEG (17078 x 30000, about 15 MB) end to end in the real program and in the
picture viewers Debian ships, each round in a fresh program on the X server this runs on (with
a window manager), one such program at a time: each needs about 2 GB.

File Open: the picture's path typed into the real Open dialog; the time runs from Return to the
X server's report of drawing (DAMAGE events) after which the picture's top left is on the
screen, checked at several places of the visible part against djpeg -crop of that corner. The
reference is djpeg decoding the whole file (target: under 0.1 x, as only what the window shows
has to be there). Once the whole picture has arrived: the peak memory the open added, against
the picture's decoded size (4 bytes a pixel; target 1.10 x).

Scroll step: one step of the mouse wheel over the workspace, timed from the wheel to the
drawing after which the picture, moved up, is on the screen, checked in the rows that came
into view and above them. The reference is djpeg -crop decoding just those rows from the file,
the least a viewer that holds only what it shows would do for that step (target: under 0.25 x,
as the program holds the whole picture and only paints it; a wheel step moves the workspace by
3/20 of what it holds, here 4503 rows, so a whole screen of new pixels is painted).

Save As, in the first round: File > Save As through the real dialog to a BMP file, whose size
must be the drawing's (the picture and its frame's strip, 3 bytes a pixel); the peak memory
of the open and the save, against the decoded size (target 1.25 x).

The peers (bench/peerviewers.py) switch from a flat picture to the giant one; the time runs to
their first drawing that shows it (the middle of their window not flat and, on average, of the
colours of the picture's middle), with their peak memory. One that shows nothing within 60 s
is reported so, with the memory it had taken by then.

The picture is made by cjpeg once and kept in the cache folder, where the saved BMP file
(1.5 GB) is written too.

Usage (on an X server with a window manager, e.g. LUMORA_XVFB_WM=1 scripts/with-xvfb.sh):
    bench_giant_screen.py <lumora> <cache folder> [rounds] [--no-peers | --only-peers]
                          [--peer=NAME]
Rows go to the file named by LUMORA_BENCH_ROWS, as the other benchmarks write them.
"""
import os
import shutil
import statistics
import sys
import tempfile
import time

from endtoend import (GIANT_SIZE, PATCH, Lumora, Picture, Screen, View, find_row,
                      giant_colour, make_giant, memory_kib, number, opened_view, row,
                      screenshot_and_exit, shown_extent, text_row, timed_ms, wait_idle,
                      write_rows, xdotool)
from peerviewers import (LeftOut, ShowedNothing, chosen_peers, peer_environment, peer_paths,
                         time_peer)

GIANT_FILE = 'giant-%dx%d.jpg' % GIANT_SIZE
# The whole picture read or written, on a loaded machine.
LOAD_TIMEOUT_S = 180
PEER_TIMEOUT_S = 60
# Where in the picture's first iMCU column the scroll step's rows are looked for: away from its
# edges, which djpeg -crop of that column alone upsamples differently.
COLUMN = 8
# The drawing an image window shows and saves: the picture and its frame's strip.
DRAWING_STRIP = 2
DECODED_MB = GIANT_SIZE[0] * GIANT_SIZE[1] * 4 / 1e6
WHOLE = 'djpeg, whole picture'

# Our figures: (figure, reference, target).
OPEN = ('File Open end to end, 512 MP JPEG, top left', WHOLE, 0.10)
OPEN_MEMORY = ('File Open end to end peak memory, 512 MP JPEG', 'decoded size', 1.10)
SAVE_MEMORY = ('Save As BMP end to end peak memory, 512 MP JPEG', 'decoded size', 1.25)
SCROLL = ('Scroll step end to end, 512 MP JPEG', 'djpeg -crop of the new rows', 0.25)


def bmp_bytes(width, height):
    """The size of a 24-bit BMP file of that many pixels: rows padded to 4 bytes."""
    return 54 + (width * 3 + 3) // 4 * 4 * height


class GiantOpen:
    """Rounds of File Open of the giant picture in fresh programs, each with a scroll step; the
    first finds both on the screen."""

    def __init__(self, program, path, folder, screen):
        self.lumora, self.path, self.folder = Lumora(program), path, folder
        # The corner a window on this screen shows, and a column of the picture, in which the
        # scroll step's rows are found.
        size = screen.root.get_geometry()
        self.corner = Picture(path, folder, ((size.width + 15) // 16 * 16, size.height, 0))
        self.column = Picture(path, folder, (16, GIANT_SIZE[1], 0)).column(COLUMN)
        self.view = self.scrolled = None
        self.new_rows = None  # what the step brings into view: width, rows, first row

    def round(self, screen, save_to=None):
        """One fresh program: {'open': ms from Return to the top left, 'open peak': KiB the open
        added, 'scroll': ms from the wheel to the step shown}, and once saved to `save_to`,
        'saved peak' and 'saved size' in bytes."""
        main = self.lumora.start()
        pid = self.lumora.process.pid
        try:
            before = memory_kib(pid, 'VmRSS')
            window = screen.watch(main)
            sample = {'open': self.open(screen, window, main)}
            wait_idle(pid, timeout=LOAD_TIMEOUT_S)  # the whole picture has arrived
            sample['open peak'] = memory_kib(pid, 'VmHWM') - before
            sample['scroll'] = self.scroll(screen, window, main)
            if save_to:
                self.lumora.save_as(main, save_to, LOAD_TIMEOUT_S)
                sample['saved peak'] = memory_kib(pid, 'VmHWM') - before
                sample['saved size'] = os.path.getsize(save_to)
            return sample
        finally:
            self.lumora.stop()

    def open(self, screen, window, main):
        self.lumora.open_dialog(main)
        xdotool('type', '--delay', '5', self.path)
        start = time.monotonic()
        screen.key('Return')
        if self.view is None:
            self.view = opened_view(screen, window, self.corner)
            return 0.0
        return self.view.wait_shown(screen, window, start)

    def scroll(self, screen, window, main):
        """One wheel step down with the pointer in the middle of the picture's visible part."""
        geometry = window.get_geometry()
        right, bottom = shown_extent(screen, window, self.view, geometry.width, geometry.height)
        ox, oy = self.view.origin
        x, y = screen.origin_of(main)
        xdotool('mousemove', str(x + (ox + right) // 2), str(y + (oy + bottom) // 2))
        screen.settle(0.2)
        start = time.monotonic()
        screen.wheel()
        if self.scrolled is None:
            self.find_scrolled(screen, window, right, bottom)
            return 0.0
        return self.scrolled.wait_shown(screen, window, start)

    def find_scrolled(self, screen, window, right, bottom):
        """The view after the step, from djpeg -crop of the rows it shows, checked where rows
        came into view, in the middle and at the top."""
        screen.settle(0.2)
        ox, oy = self.view.origin
        width, seen = right - ox, bottom - oy
        at = (ox + COLUMN, (oy + bottom) // 2)
        row = find_row(screen, window, at, self.column)
        if row is None:
            screenshot_and_exit('the scroll step is not on the screen as djpeg decodes it')
        shift = row - (at[1] - oy)
        self.scrolled = View(Picture(self.path, self.folder, (self.corner.width, seen, shift)),
                             self.view.origin)
        across = (4, width // 2, width - PATCH - 4)
        self.scrolled.spots = ([(x, seen - PATCH - 1) for x in across] +
                               [(across[1], seen // 2), (across[0], 0)])
        if not self.scrolled.shown(screen, window):
            screenshot_and_exit('the scroll step is not on the screen as djpeg decodes it')
        first = max(seen, shift)
        self.new_rows = width, seen + shift - first, first
        print('a wheel step scrolls %d rows; %d x %d pixels of the picture show'
              % (shift, width, seen), flush=True)

    def new_rows_command(self):
        return ['djpeg', '-ppm', '-crop', '%dx%d+0+%d' % self.new_rows, '-outfile', '/dev/null',
                self.path]


def ours(program, path, folder, rounds):
    """Our rows and djpeg's times on the whole file."""
    screen = Screen()
    giant = GiantOpen(program, path, folder, screen)
    saved = os.path.join(folder, 'saved.bmp')
    first = giant.round(screen, saved)  # warms the page cache and finds the views
    os.unlink(saved)
    samples, whole, strip = [first], [], []
    decode = ['djpeg', '-ppm', '-outfile', '/dev/null', path]
    for i in range(rounds):
        samples.append(giant.round(screen))
        whole.append(timed_ms(decode))
        strip.append(timed_ms(giant.new_rows_command()))
        print('round %d: top left %.1f ms, peak %.0f MiB, scroll step %.1f ms; djpeg %.0f ms, '
              'its rows %.1f ms' % (i + 1, samples[-1]['open'], samples[-1]['open peak'] / 1024,
                                    samples[-1]['scroll'], whole[-1], strip[-1]), flush=True)
    screen.close()
    print('saved: %d bytes, peak %.0f MiB' % (first['saved size'], first['saved peak'] / 1024))
    timed = samples[1:]
    peak = max(s['open peak'] for s in samples) * 1024 / 1e6
    lines = [
        row(OPEN[0], statistics.median(s['open'] for s in timed), 'ms', OPEN[1],
            statistics.median(whole), OPEN[2]),
        row(OPEN_MEMORY[0], peak, 'MB', OPEN_MEMORY[1], DECODED_MB, OPEN_MEMORY[2]),
        row(SCROLL[0], statistics.median(s['scroll'] for s in timed), 'ms', SCROLL[1],
            statistics.median(strip), SCROLL[2]),
    ]
    size = bmp_bytes(GIANT_SIZE[0] + DRAWING_STRIP, GIANT_SIZE[1] + DRAWING_STRIP)
    if first['saved size'] == size:
        lines.append(row(SAVE_MEMORY[0], first['saved peak'] * 1024 / 1e6, 'MB', SAVE_MEMORY[1],
                         DECODED_MB, SAVE_MEMORY[2]))
    else:
        lines.append(text_row(SAVE_MEMORY[0], 'saved %d bytes, not %d' % (first['saved size'],
                                                                          size),
                              SAVE_MEMORY[1], number(DECODED_MB) + ' MB', SAVE_MEMORY[2]))
    return statistics.median(whole), lines


def failed(reason):
    """Our rows when a round could not be finished: missed, with the reason in the log."""
    print('failed: %s' % reason, flush=True)
    return [text_row(figure, 'failed', reference, '-', target)
            for figure, reference, target in (OPEN, OPEN_MEMORY, SCROLL, SAVE_MEMORY)]


def shows_giant(middle):
    """Whether a viewer's middle shows the giant picture, at whatever scale: not of one colour,
    and on average of the colours of the picture's middle."""
    channels = [middle[i::4] for i in (2, 1, 0)]  # red, green, blue
    if not middle or all(max(c) - min(c) < 16 for c in channels):
        return False
    centre = giant_colour(GIANT_SIZE[0] // 2, GIANT_SIZE[1] // 2)
    # Loosely: a viewer may show the picture a little off its window's middle.
    return all(abs(sum(c) / len(c) - mean) <= 40 for c, mean in zip(channels, centre))


def peers(path, folder, reference, rounds, only):
    os.mkdir(os.path.join(folder, 'peers'))
    paths = peer_paths(os.path.join(folder, 'peers'))
    shutil.copyfile(path, paths['b'])  # a new file: newer than A
    env = peer_environment(paths['folder'])
    lines = []
    for name, command, key in chosen_peers(only):
        figure = 'Next picture end to end, 512 MP JPEG, ' + name
        memory = 'Next picture peak memory, 512 MP JPEG, ' + name
        try:
            samples = time_peer([part.format(**paths) for part in command], key, env, rounds,
                                warm=False, shows=shows_giant, timeout=PEER_TIMEOUT_S)
        except ShowedNothing as nothing:
            print('%s: %s' % (name, nothing), flush=True)
            lines.append(text_row(figure, str(nothing), WHOLE, number(reference) + ' ms'))
            lines.append(row(memory, nothing.peak_kib * 1024 / 1e6, 'MB', 'decoded size',
                             DECODED_MB) if nothing.peak_kib is not None else
                         text_row(memory, 'unknown', 'decoded size', number(DECODED_MB) + ' MB'))
            continue
        except LeftOut as reason:
            print('%s: left out, %s' % (name, reason), flush=True)
            continue
        print('%s: first shown after %s ms, settled after %s ms, peak %s MiB' % (
            name, ', '.join('%.0f' % s[2] for s in samples),
            ', '.join('%.0f' % s[0] for s in samples),
            ', '.join('%.0f' % (s[1] / 1024) for s in samples)), flush=True)
        lines.append(row(figure, statistics.median(s[2] for s in samples), 'ms', WHOLE,
                         reference))
        lines.append(row(memory, max(s[1] for s in samples) * 1024 / 1e6, 'MB', 'decoded size',
                         DECODED_MB))
    return lines


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    options = [a for a in sys.argv[1:] if a.startswith('--')]
    if len(args) < 2:
        sys.exit(__doc__)
    program, cache = os.path.abspath(args[0]), args[1]
    rounds = int(args[2]) if len(args) > 2 else 3
    only = next((o.split('=', 1)[1] for o in options if o.startswith('--peer=')), None)
    os.makedirs(cache, exist_ok=True)
    path = make_giant(os.path.join(cache, GIANT_FILE))
    folder = tempfile.mkdtemp(dir=cache)  # on the disk: the saved file is as big as it gets
    try:
        lines, reference = [], None
        if '--only-peers' not in options and not only:
            try:
                reference, lines = ours(program, path, folder, rounds)
            except SystemExit as failure:
                lines = failed(failure)
        if '--no-peers' not in options:
            reference = reference or statistics.median(
                timed_ms(['djpeg', '-ppm', '-outfile', '/dev/null', path]) for _ in range(3))
            lines += peers(path, folder, reference, rounds, only)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return write_rows(lines)


if __name__ == '__main__':
    sys.exit(main())
