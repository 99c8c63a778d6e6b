#!/usr/bin/python3
"""What the user waits for, end to end: File Open of a 24-megapixel JPEG in the real program,
next to djpeg decoding the same file and to the picture viewers Debian ships switching to it.

Each round starts a fresh program on the X server this runs on (with a window manager), opens
File > Open, types the picture's path into the dialog and presses Return; the time runs from
that key to the moment the X server reports drawing (DAMAGE events) after which the picture's
pixels are on the screen, checked against djpeg's decoding of the same file at several places
of the visible part. Two cases: Return right after typing (cold: nothing was read before), and
Return 0.8 s after the path was typed. The peak memory the open added is the program's
peak resident size after the open less its resident size before File Open, against the
picture's decoded size (4 bytes a pixel). Rounds alternate with djpeg on the same file, so the
load of a shared machine falls on both alike. Two photos: one with film grain, and a lighter
one as a phone camera writes it (5-7 MB at quality 90, 4:2:0).

The peers (bench/peerviewers.py) switch from a flat picture to the first photo; a peer that is
not installed, shows no window or does not show the photo is left out of the table, with the
reason printed.

Usage (on an X server with a window manager, e.g. LUMORA_XVFB_WM=1 scripts/with-xvfb.sh):
    bench_switch.py <lumora> [rounds] [--no-peers | --only-peers] [--peer=NAME]
Rows go to the file named by LUMORA_BENCH_ROWS, as the other benchmarks write them.
"""
import os
import shutil
import statistics
import sys
import tempfile
import time

from endtoend import (Lumora, Picture, Screen, make_photo, memory_kib, opened_view, row,
                      timed_ms, wait_idle, write_rows, xdotool)
from peerviewers import LeftOut, chosen_peers, peer_environment, peer_paths, time_peer

class FileOpen:
    """Rounds of File Open in fresh programs; the first finds the picture on the screen."""

    def __init__(self, program, path, picture):
        self.lumora, self.path, self.picture = Lumora(program), path, picture
        self.view = None

    def round(self, screen, pause):
        """One fresh program: (ms from Return to the picture, peak KiB the open added)."""
        main = self.lumora.start()
        pid = self.lumora.process.pid
        try:
            before = memory_kib(pid, 'VmRSS')
            self.lumora.open_dialog(main)
            xdotool('type', '--delay', '5', self.path)
            if pause:
                time.sleep(pause)  # the user looks at the typed path before Return
            window = screen.watch(main)
            start = time.monotonic()
            screen.key('Return')
            elapsed = self.view.wait_shown(screen, window, start) if self.view else 0.0
            if self.view is None:
                self.view = opened_view(screen, window, self.picture)
            wait_idle(pid)
            return elapsed, memory_kib(pid, 'VmHWM') - before
        finally:
            self.lumora.stop()


PAUSE_S = 0.8


class Photo:
    """A 24-megapixel photo File Open is timed on, and its targets as ratios to djpeg."""

    def __init__(self, name, grain, cold_target, early_target, typed_figure=None):
        self.name, self.grain = name, grain
        self.targets = cold_target, early_target
        self.typed_figure = typed_figure or 'File Open end to end, %s, typed %.1f s before ' \
            'Return' % (name, PAUSE_S)

    def rows(self, cold, early, reference, picture):
        decoded = picture.width * picture.height * 4 / 1e6
        peak = max(median_of(cold, 1), median_of(early, 1)) * 1024 / 1e6
        return [
            row('File Open end to end, %s, cold' % self.name, median_of(cold, 0), 'ms', 'djpeg',
                reference, self.targets[0]),
            row(self.typed_figure, median_of(early, 0), 'ms', 'djpeg', reference,
                self.targets[1]),
            row('File Open end to end peak memory, ' + self.name, peak, 'MB', 'decoded size',
                decoded, 1.10),
        ]


# Film grain over smooth shapes, and a lighter file as a phone camera writes one: its noise
# reduction leaves less grain (5.6 MB against 6.3 MB).
PHOTOS = [
    Photo('24 MP JPEG', 0.5, 0.40, 0.20,
          'File Open end to end, typed %.1f s before Return' % PAUSE_S),
    Photo('lighter 24 MP JPEG', 0.4, 0.40, 0.20),
]


def median_of(samples, index):
    return statistics.median(s[index] for s in samples)


def bench_photo(program, photo, path, picture, rounds):
    """The photo's rows and djpeg's median time on it; a first round warms the page cache
    and finds the picture on the screen."""
    file_open = FileOpen(program, path, picture)
    screen = Screen()
    file_open.round(screen, PAUSE_S)
    cold, early, djpeg = [], [], []
    command = ['djpeg', '-ppm', '-outfile', '/dev/null', path]
    for i in range(rounds):
        cold.append(file_open.round(screen, 0))
        djpeg.append(timed_ms(command))
        early.append(file_open.round(screen, PAUSE_S))
        djpeg.append(timed_ms(command))
        print('%s, %.1f MB, round %d: cold %.1f ms (%.1f MiB), typed %.1f s before %.1f ms '
              '(%.1f MiB); djpeg %.1f, %.1f ms'
              % (photo.name, os.path.getsize(path) / 1e6, i + 1, cold[-1][0],
                 cold[-1][1] / 1024, PAUSE_S, early[-1][0], early[-1][1] / 1024, djpeg[-2],
                 djpeg[-1]), flush=True)
    screen.close()
    reference = statistics.median(djpeg)
    return reference, photo.rows(cold, early, reference, picture)


def bench_peers(paths, reference, rounds, only):
    env = peer_environment(paths['folder'])
    lines = []
    for name, command, key in chosen_peers(only):
        try:
            samples = time_peer([part.format(**paths) for part in command], key, env, rounds)
        except LeftOut as reason:
            print('%s: left out, %s' % (name, reason), flush=True)
            continue
        ms, kib = median_of(samples, 0), median_of(samples, 1)
        print('%s: %s ms (B first drawn after %s ms), peak %.0f MiB' % (
            name, ', '.join('%.0f' % s[0] for s in samples),
            ', '.join('%.0f' % s[2] for s in samples), kib / 1024), flush=True)
        lines.append(row('Next picture end to end, 24 MP JPEG, ' + name, ms, 'ms', 'djpeg',
                         reference))
        lines.append(row('Next picture peak memory, ' + name, kib * 1024 / 1e6, 'MB',
                         'decoded size', 96.0))
    return lines


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    options = [a for a in sys.argv[1:] if a.startswith('--')]
    if not args:
        sys.exit(__doc__)
    rounds = int(args[1]) if len(args) > 1 else 7
    only = next((o.split('=', 1)[1] for o in options if o.startswith('--peer=')), None)
    ours = '--only-peers' not in options and not only
    folder = tempfile.mkdtemp()
    try:
        paths = peer_paths(folder)
        # The first photo is the peers' B; the others stay out of their folder.
        os.mkdir(os.path.join(folder, 'more'))
        files = [paths['b']] + [os.path.join(folder, 'more', '%d.jpg' % i)
                                for i in range(1, len(PHOTOS))]
        lines, references = [], []
        for photo, path in zip(PHOTOS if ours else PHOTOS[:1], files):
            make_photo(path, photo.grain)
            if ours:
                reference, rows = bench_photo(args[0], photo, path, Picture(path, folder),
                                              rounds)
                references.append(reference)
                lines += rows
        if '--no-peers' not in options:
            reference = references[0] if references else statistics.median(
                timed_ms(['djpeg', '-ppm', '-outfile', '/dev/null', paths['b']])
                for _ in range(3))
            lines += bench_peers(paths, reference, max(3, rounds // 2), only)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return write_rows(lines)


if __name__ == '__main__':
    sys.exit(main())
