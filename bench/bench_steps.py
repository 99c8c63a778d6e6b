#!/usr/bin/python3
"""Zoom In and the screen show's step, end to end in the real program, each round in a fresh
program on the X server this runs on (with a window manager), timed from the user's key to
the X server's report of drawing (DAMAGE events) after which the expected pixels are on the
screen, checked against djpeg's decoding at several places of the visible part.

Zoom In: a 24-megapixel JPEG opened by File Open (its path typed into the real dialog); once
it is on the screen and the program is idle, Edit > Zoom In is chosen from the keyboard and
the time runs from the Return that runs it to the doubled picture on the screen (each pixel
replicated, within one pixel, as its size is the picture's and its strip's doubled). The
reference is the floor of any zoom as the in-process row has it, in a fresh process: dd
filling fresh memory of the zoomed drawing's size from /dev/zero (target: within 2 x).

Show step: a manual show of three 24-megapixel JPEGs set up in the real set-up dialog (its
folder, "All >>", "BEGIN"); once the first picture is on the screen and the program is idle
(the next one has been read ahead meanwhile, as while a user looks at a picture), Page Down
is pressed and the time runs to the second picture centred on the screen. The reference is
djpeg decoding the second picture (target: under 0.1 x, as in-process: the step only shows
what was read ahead).

Rounds alternate with their references, so the load of a shared machine falls on both alike.

Usage (on an X server with a window manager, e.g. LUMORA_XVFB_WM=1 scripts/with-xvfb.sh):
    bench_steps.py <lumora> [rounds]
Rows go to the file named by LUMORA_BENCH_ROWS, as the other benchmarks write them.
"""
import os
import shutil
import statistics
import sys
import tempfile
import time

from endtoend import (TIMEOUT_S, Lumora, Picture, Screen, View, find_near, make_photo,
                      opened_view, row, run, screenshot_and_exit, timed_ms, visible_windows,
                      wait_for_new_window, wait_for_window, wait_idle, write_rows, xdotool)

# The show's set-up dialog "File Selection": where "All >>" and "BEGIN" are in it.
ALL_BUTTON = (221, 276)
BEGIN_BUTTON = (100, 340)
# The show writes the picture's path in green at its top left corner, over the picture.
LABEL_SKIP = (16, 48)


def until_view(screen, window, view, width, height, skip=(0, 0)):
    """Waits for the view to show and chooses the places the timed rounds check."""
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        screen.settle(0.2)
        if view.choose_spots(screen, window, width, height, skip):
            return
    screenshot_and_exit('the picture is not on the screen as djpeg decodes it')


class ZoomIn:
    """Rounds of File Open then Zoom In in fresh programs; the first finds the pictures."""

    def __init__(self, program, path, picture):
        self.lumora, self.path, self.picture = Lumora(program), path, picture
        self.opened = self.zoomed = None

    def round(self, screen):
        main = self.lumora.start()
        try:
            window = screen.watch(main)
            start = time.monotonic()
            self.lumora.open_picture(main, self.path)
            if self.opened is None:
                self.opened = opened_view(screen, window, self.picture)
            else:
                self.opened.wait_shown(screen, window, start)
            wait_idle(self.lumora.process.pid)
            # Edit: Copy, Set as WallPaper, Zoom In.
            self.lumora.menu(main, 'e', 'Down', 'Down')
            screen.settle(0.2)
            start = time.monotonic()
            screen.key('Return')
            if self.zoomed is None:
                self.zoomed = View(self.picture, self.opened.origin, zoom=2)
                geometry = window.get_geometry()
                until_view(screen, window, self.zoomed, geometry.width, geometry.height)
                return 0.0
            return self.zoomed.wait_shown(screen, window, start)
        finally:
            self.lumora.stop()


class ShowStep:
    """Rounds of a manual show in fresh programs, timed at its first step."""

    def __init__(self, program, folder, second):
        self.lumora, self.folder, self.second = Lumora(program), folder, second
        self.view = None

    def begin(self, screen, main):
        """File > Screen Show, every picture of the folder, BEGIN; the player's window."""
        pid = self.lumora.process.pid
        # "Scr&een Show" shares its access key with "&Exit": the first E only moves to it.
        self.lumora.menu(main, 'f', 'e', 'Return')
        dialog = wait_for_window('^File Selection$')
        if dialog is None:
            sys.exit('File > Screen Show opened no dialog')
        wait_idle(pid)
        x, y = screen.origin_of(dialog)
        xdotool('mousemove', str(x + ALL_BUTTON[0]), str(y + ALL_BUTTON[1]), 'click', '1')
        wait_idle(pid)
        known = visible_windows(pid)
        xdotool('mousemove', str(x + BEGIN_BUTTON[0]), str(y + BEGIN_BUTTON[1]), 'click', '1')
        wait_for_new_window(pid, known)
        player = max(visible_windows(pid) - known, key=int)
        xdotool('windowactivate', '--sync', player)
        return player

    def round(self, screen, root):
        main = self.lumora.start(self.folder)
        try:
            self.begin(screen, main)
            wait_idle(self.lumora.process.pid)  # the first picture shows, the next is read
            screen.settle(0.2)
            start = time.monotonic()
            screen.key('Page_Down')
            if self.view is None:
                self.calibrate(screen, root)
                return 0.0
            return self.view.wait_shown(screen, root, start)
        finally:
            self.lumora.stop()

    def calibrate(self, screen, root):
        """Finds the second picture centred on the screen, its frame's pixel aside."""
        geometry = root.get_geometry()
        picture = self.second
        guess = ((geometry.width - picture.width) // 2 + 1,
                 (geometry.height - picture.height) // 2 + 1)
        deadline = time.monotonic() + TIMEOUT_S
        origin = None
        while origin is None and time.monotonic() < deadline:
            screen.settle(0.2)
            origin = find_near(screen, root, picture, guess,
                               (geometry.width // 2, geometry.height // 2))
        if origin is None:
            screenshot_and_exit('the show did not step to its second picture')
        self.view = View(picture, origin)
        until_view(screen, root, self.view, geometry.width, geometry.height, LABEL_SKIP)


def zoom_rows(program, photo, picture, rounds):
    zoom = ZoomIn(program, photo, picture)
    screen = Screen()
    zoom.round(screen)  # warms the page cache and finds the pictures on the screen
    # The zoomed drawing holds the picture and its two-pixel strip, doubled, 4 bytes a pixel.
    size = (picture.width + 2) * 2 * (picture.height + 2) * 2 * 4
    fill = ['dd', 'if=/dev/zero', 'of=/dev/null', 'bs=%d' % size, 'count=1', 'iflag=fullblock',
            'status=none']
    ours, floor = [], []
    for i in range(rounds):
        ours.append(zoom.round(screen))
        floor.append(timed_ms(fill))
        print('zoom round %d: %.1f ms; dd of %d MB %.1f ms' % (i + 1, ours[-1], size >> 20,
                                                               floor[-1]), flush=True)
    screen.close()
    return [row('Zoom In end to end, 24 MP to 96 MP', statistics.median(ours), 'ms',
                'fresh memory filled (dd)', statistics.median(floor), 2.0)]


def show_rows(program, folder, photo, rounds):
    show = os.path.join(folder, 'show')
    os.mkdir(show)
    shutil.copy(photo, os.path.join(show, '1.jpg'))
    # Lossless turns of the same photo: three pictures that differ everywhere.
    for name, turn in (('2.jpg', 'horizontal'), ('3.jpg', 'vertical')):
        run(['jpegtran', '-flip', turn, '-outfile', os.path.join(show, name), photo])
    second = os.path.join(show, '2.jpg')
    step = ShowStep(program, show, Picture(second, folder))
    screen = Screen()
    root = screen.watch(screen.root.id)  # the player is a window of its own, over everything
    step.round(screen, root)  # warms the page cache and finds the second picture on the screen
    decode = ['djpeg', '-ppm', '-outfile', '/dev/null', second]
    ours, djpeg = [], []
    for i in range(rounds):
        ours.append(step.round(screen, root))
        djpeg.append(timed_ms(decode))
        print('show round %d: step %.1f ms; djpeg %.1f ms' % (i + 1, ours[-1], djpeg[-1]),
              flush=True)
    screen.close()
    return [row('Show manual step end to end, 24 MP JPEGs', statistics.median(ours), 'ms',
                'djpeg', statistics.median(djpeg), 0.1)]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    folder = tempfile.mkdtemp()
    try:
        photo = make_photo(os.path.join(folder, 'photo.jpg'))
        lines = zoom_rows(program, photo, Picture(photo, folder), rounds)
        lines += show_rows(program, folder, photo, rounds)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return write_rows(lines)


if __name__ == '__main__':
    sys.exit(main())
