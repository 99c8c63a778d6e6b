#!/usr/bin/python3
"""What the user waits for, end to end: File Open of a 24-megapixel JPEG in the real program,
next to djpeg decoding the same file and to the picture viewers Debian ships switching to it.

Each round starts a fresh program on the X server this runs on (with a window manager), opens
File > Open, types the picture's path into the dialog and presses Return; the time runs from
that key to the moment the X server reports drawing (DAMAGE events) after which the picture's
pixels are on the screen, checked against djpeg's decoding of the same file at several places
of the visible part. Two cases: Return right after typing (cold: nothing was read before), and
Return half a second after the path was typed. The peak memory the open added is the program's
peak resident size after the open less its resident size before File Open, against the
picture's decoded size (4 bytes a pixel). Rounds alternate with djpeg on the same file, so the
load of a shared machine falls on both alike.

The peers are each started on a small flat picture A in a folder with B (the same 24-megapixel
file) and sent their next-picture key; their time runs from the key to the last drawing before
their windows stay unchanged for a second, and B must then show (the window is no longer
flat). A peer that is not installed or shows no window is left out of the table.

Usage (on an X server with a window manager, e.g. LUMORA_XVFB_WM=1 scripts/with-xvfb.sh):
    bench_switch.py <lumora> [rounds] [--no-peers]
Rows go to the file named by LUMORA_BENCH_ROWS, as the other benchmarks write them.
"""
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# The test scripts' PPM reader: screenshots come from ImageMagick in both.
SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'support')
sys.path.insert(0, SUPPORT)
from findpicture import read_ppm  # noqa: E402

from Xlib import X, XK, display
from Xlib.ext import damage, xtest

TIMEOUT_S = 20
QUIET_S = 1.0
PATCH = 12

# The peers: command, next-picture key. Each opens the folder of the picture it is given.
PEERS = [
    ('qimgv', ['qimgv'], 'Right'),
    ('gThumb', ['gthumb'], 'Right'),
    ('feh', ['feh', '--no-menus'], 'Right'),
    ('nsxiv', ['nsxiv'], 'n'),
    ('Gwenview', ['gwenview'], 'space'),
    ('Ristretto', ['ristretto'], 'Right'),
    ('Eye of GNOME', ['eog'], 'Right'),
]


def number(value):
    size = abs(value)
    decimals = 0 if size >= 100 else 1 if size >= 10 else 2 if size >= 0.1 else 3
    return '%.*f' % (decimals, value)


def row(figure, ours, unit, reference, theirs, target=None):
    """One line in the tab-separated form of bench/benchreport.cpp; target is a ratio limit."""
    ratio = ours / theirs
    met = target is None or ratio <= target
    return '\t'.join([figure, number(ours) + ' ' + unit, reference, number(theirs) + ' ' + unit,
                      number(ratio) + 'x', '-' if target is None else 'ratio <= %.2f' % target,
                      '-' if target is None else 'pass' if met else 'MISS'])


def run(command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)


def memory_kib(pid, field):
    try:
        with open('/proc/%d/status' % pid, encoding='ascii') as f:
            for line in f:
                if line.startswith(field + ':'):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def descendants(pid):
    children = {}
    for entry in os.listdir('/proc'):
        if entry.isdigit():
            try:
                with open('/proc/%s/stat' % entry, encoding='ascii') as f:
                    ppid = int(f.read().rsplit(')', 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    found, todo = [], [pid]
    while todo:
        found.append(todo.pop())
        todo.extend(children.get(found[-1], []))
    return found


def xdotool(*args):
    return subprocess.run(['xdotool', *args], capture_output=True, text=True).stdout.split()


def wait_for_window(name, deadline_s=TIMEOUT_S):
    deadline = time.monotonic() + deadline_s
    while time.monotonic() < deadline:
        found = xdotool('search', '--onlyvisible', '--name', name)
        if found:
            return int(found[0])
        time.sleep(0.05)
    return None


class Screen:
    """One connection to the X server: sends keys and reports drawing."""

    def __init__(self):
        self.disp = display.Display()
        if not self.disp.has_extension('DAMAGE') or not self.disp.has_extension('XTEST'):
            sys.exit('the X server needs the DAMAGE and XTEST extensions')
        self.disp.damage_query_version()
        # Windows of other programs come and go while they are watched: errors about windows
        # already gone are expected.
        self.disp.set_error_handler(lambda *_: None)
        self.root = self.disp.screen().root

    def watch(self, window_id):
        window = self.disp.create_resource_object('window', window_id)
        window.damage_create(damage.DamageReportRawRectangles)
        return window

    def watch_new_windows(self):
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.disp.sync()

    def key(self, name):
        code = self.disp.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(self.disp, X.KeyPress, code)
        xtest.fake_input(self.disp, X.KeyRelease, code)
        self.disp.sync()

    def drain(self, timeout):
        """Waits up to `timeout` s for events; True when any drawing was reported."""
        if not self.disp.pending_events():
            select.select([self.disp.fileno()], [], [], timeout)
        drawn = False
        while self.disp.pending_events():
            event = self.disp.next_event()
            if event.type == X.CreateNotify:
                try:
                    event.window.damage_create(damage.DamageReportRawRectangles)
                except Exception:  # the window is already gone
                    pass
            elif type(event).__name__ == 'DamageNotify':
                drawn = True
        return drawn

    def pixels(self, window, x, y, width, height):
        """The window's pixels as RGB bytes."""
        data = window.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF).data
        out = bytearray(width * height * 3)
        out[0::3] = data[2::4]
        out[1::3] = data[1::4]
        out[2::3] = data[0::4]
        return bytes(out)

    def close(self):
        self.disp.close()


class Picture:
    """The 24-megapixel JPEG as djpeg decodes it."""

    def __init__(self, path, folder):
        ppm = os.path.join(folder, 'decoded.ppm')
        run(['djpeg', '-ppm', '-outfile', ppm, path])
        self.width, self.height, self.rgb = read_ppm(ppm)
        os.unlink(ppm)

    def patch(self, x, y):
        return b''.join(self.rgb[((y + r) * self.width + x) * 3:((y + r) * self.width + x +
                                                                  PATCH) * 3]
                        for r in range(PATCH))


def differs(a, b, tolerance=3):
    return any(abs(p - q) > tolerance for p, q in zip(a, b))


def find_on_screen(screen, window, picture, width, height):
    """Where the picture's top left pixel is in the window, searching its top left part."""
    area_w, area_h = min(width, 400), min(height, 400)
    shown = screen.pixels(window, 0, 0, area_w, area_h)
    probe = picture.rgb[:PATCH * 3]
    for y in range(area_h):
        line = shown[y * area_w * 3:(y + 1) * area_w * 3]
        at = line.find(probe)
        while at >= 0:
            if at % 3 == 0:
                return at // 3, y
            at = line.find(probe, at + 1)
    return None


class Lumora:
    """The real program on the X server, opening the picture through File > Open."""

    def __init__(self, program, path, picture):
        self.program, self.path, self.picture = program, path, picture
        self.origin = None
        self.spots = []

    def start(self):
        self.process = subprocess.Popen([self.program], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        main = wait_for_window('^Lumora$')
        if main is None:
            sys.exit('Lumora showed no main window')
        time.sleep(0.3)  # the main window settles after it is first shown
        return main

    def open_dialog(self, main):
        xdotool('windowactivate', '--sync', str(main))
        xdotool('key', '--window', str(main), 'alt+f')
        time.sleep(0.3)
        xdotool('key', 'Return')  # Open is the File menu's first item
        if wait_for_window('^Open File$') is None:
            sys.exit('Lumora showed no Open dialog')
        time.sleep(0.3)

    def shown(self, screen, window):
        for px, py in self.spots:
            seen = screen.pixels(window, self.origin[0] + px, self.origin[1] + py, PATCH, PATCH)
            if differs(seen, self.picture.patch(px, py)):
                return False
        return True

    def calibrate(self, screen, window, width, height):
        """Finds the picture in the window and the places the check looks at."""
        deadline = time.monotonic() + TIMEOUT_S
        while self.origin is None and time.monotonic() < deadline:
            time.sleep(0.5)
            self.origin = find_on_screen(screen, window, self.picture, width, height)
        if self.origin is None:
            subprocess.run(['import', '-window', 'root', '/tmp/bench_switch-screen.png'])
            sys.exit('the opened picture is not on the screen as djpeg decodes it '
                     '(screen in /tmp/bench_switch-screen.png)')
        ox, oy = self.origin
        for step in range(16, 0, -1):
            far = (min(width - ox, self.picture.width) * step // 16 - PATCH - 4,
                   min(height - oy, self.picture.height) * step // 16 - PATCH - 4)
            self.spots = [(0, 0), (far[0] // 2, far[1] // 2), far]
            if far[0] > 0 and far[1] > 0 and self.shown(screen, window):
                return
        sys.exit('the opened picture is not on the screen as djpeg decodes it')

    def round(self, screen, pause):
        """One fresh program: (ms from Return to the picture, peak KiB the open added)."""
        main = self.start()
        try:
            before = memory_kib(self.process.pid, 'VmRSS')
            self.open_dialog(main)
            xdotool('type', '--delay', '5', self.path)
            if pause:
                time.sleep(pause)
            window = screen.watch(main)
            geometry = window.get_geometry()
            start = time.monotonic()
            screen.key('Return')
            elapsed = self.wait_shown(screen, window, start, geometry)
            time.sleep(0.2)
            return elapsed, memory_kib(self.process.pid, 'VmHWM') - before
        finally:
            self.process.terminate()
            self.process.wait()

    def wait_shown(self, screen, window, start, geometry):
        if self.origin is None:  # the first round finds where the picture shows
            self.calibrate(screen, window, geometry.width, geometry.height)
            return 0.0
        last = start
        while time.monotonic() - start < TIMEOUT_S:
            if screen.drain(0.05):
                last = time.monotonic()
                if self.shown(screen, window):
                    return (last - start) * 1000.0
        sys.exit('the picture did not show within %d s' % TIMEOUT_S)


def time_djpeg(path):
    start = time.monotonic()
    run(['djpeg', '-ppm', '-outfile', '/dev/null', path])
    return (time.monotonic() - start) * 1000.0


def flat(pixels):
    return max(pixels) - min(pixels) < 16


def area(window):
    geometry = window.get_geometry()
    return geometry.width * geometry.height


def middle_of(screen, window):
    """The middle quarter of a window, where a viewer shows its picture."""
    geometry = window.get_geometry()
    return screen.pixels(window, geometry.width * 3 // 8, geometry.height * 3 // 8,
                         geometry.width // 4, geometry.height // 4)


def peer_round(screen, command, key, folder):
    """A peer started on A and sent to B: (ms from the key to B settled, peak KiB) or None."""
    screen.watch_new_windows()
    process = subprocess.Popen(command + [os.path.join(folder, 'a.jpg')],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        windows = wait_settled(screen, process, time.monotonic())
        if windows is None:
            return None
        window = max(windows, key=area)
        xdotool('windowactivate', '--sync', str(window.id))
        screen.drain(0.2)
        before = middle_of(screen, window)
        start = time.monotonic()
        screen.key(key)
        last = None  # the last drawing after the key
        while time.monotonic() - start < TIMEOUT_S:
            if screen.drain(0.05):
                last = time.monotonic()
            elif last is not None and time.monotonic() - last >= QUIET_S:
                break
        if last is None:
            return None
        middle = middle_of(screen, window)
        if flat(middle) or middle == before:
            return None  # still on A
        peak = sum(memory_kib(pid, 'VmHWM') for pid in descendants(process.pid))
        return (last - start) * 1000.0, peak
    finally:
        for pid in reversed(descendants(process.pid)):
            try:
                os.kill(pid, 15)
            except OSError:
                pass
        process.wait()


def wait_settled(screen, process, start):
    """The peer's visible windows once it has stopped drawing A for a second, or None."""
    last = start
    while time.monotonic() - start < TIMEOUT_S:
        if process.poll() is not None:
            return None
        if screen.drain(0.05):
            last = time.monotonic()
        elif time.monotonic() - last > QUIET_S and time.monotonic() - start > 2:
            found = xdotool('search', '--onlyvisible', '--pid', str(process.pid))
            if found:
                return [screen.disp.create_resource_object('window', int(w)) for w in found]
    return None


def make_pictures(folder):
    photo = os.path.join(folder, 'b.jpg')
    # The photo-like picture bench_open makes: fractal shapes with film grain, 4:2:0, quality 90.
    run(['convert', '-seed', '7', '-size', '1500x1000', 'plasma:fractal', '-resize', '6000x4000!',
         '(', '-size', '6000x4000', 'xc:gray50', '-seed', '3', '-attenuate', '0.5', '+noise',
         'Gaussian', ')', '-compose', 'overlay', '-composite', '-sampling-factor', '2x2',
         '-quality', '90', photo])
    run(['convert', '-size', '800x600', 'xc:#808080', os.path.join(folder, 'a.jpg')])
    return photo


def median_of(samples, index):
    return statistics.median(s[index] for s in samples)


def bench_lumora(program, photo, picture, rounds):
    lumora = Lumora(program, photo, picture)
    screen = Screen()
    lumora.round(screen, 0.5)  # warms the page cache and finds the picture on the screen
    cold, early, djpeg = [], [], []
    for i in range(rounds):
        cold.append(lumora.round(screen, 0))
        djpeg.append(time_djpeg(photo))
        early.append(lumora.round(screen, 0.5))
        djpeg.append(time_djpeg(photo))
        print('round %d: cold %.1f ms (%.1f MiB), typed 0.5 s before %.1f ms (%.1f MiB); '
              'djpeg %.1f, %.1f ms' % (i + 1, cold[-1][0], cold[-1][1] / 1024, early[-1][0],
                                       early[-1][1] / 1024, djpeg[-2], djpeg[-1]), flush=True)
    screen.close()
    reference = statistics.median(djpeg)
    decoded = picture.width * picture.height * 4 / 1e6
    peak = max(median_of(cold, 1), median_of(early, 1)) * 1024 / 1e6
    return reference, [
        row('File Open end to end, 24 MP JPEG, cold', median_of(cold, 0), 'ms', 'djpeg',
            reference, 1.3),
        row('File Open end to end, typed 0.5 s before Return', median_of(early, 0), 'ms',
            'djpeg', reference, 0.3),
        row('File Open end to end peak memory, 24 MP JPEG', peak, 'MB', 'decoded size', decoded,
            1.10),
    ]


def bench_peers(folder, reference, rounds):
    lines = []
    for name, command, key in PEERS:
        if not shutil.which(command[0]):
            print('%s: not installed, left out' % name)
            continue
        screen = Screen()
        samples = []
        for _ in range(rounds):
            result = peer_round(screen, command, key, folder)
            if result is None:
                break
            samples.append(result)
        screen.close()
        if len(samples) < rounds:
            print('%s: did not show B, left out' % name)
            continue
        ms, kib = median_of(samples, 0), median_of(samples, 1)
        print('%s: %s ms, peak %.0f MiB' % (name, ', '.join('%.0f' % s[0] for s in samples),
                                            kib / 1024), flush=True)
        lines.append(row('Next picture end to end, 24 MP JPEG, ' + name, ms, 'ms', 'djpeg',
                         reference))
        lines.append(row('Next picture peak memory, ' + name, kib * 1024 / 1e6, 'MB',
                         'decoded size', 96.0))
    return lines


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    if not args:
        sys.exit(__doc__)
    rounds = int(args[1]) if len(args) > 1 else 7
    folder = tempfile.mkdtemp()
    try:
        photo = make_pictures(folder)
        picture = Picture(photo, folder)
        reference, lines = bench_lumora(args[0], photo, picture, rounds)
        if '--no-peers' not in sys.argv:
            lines += bench_peers(folder, reference, max(3, rounds // 2))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    target = os.environ.get('LUMORA_BENCH_ROWS')
    if target:
        with open(target, 'a', encoding='utf-8') as out:
            out.write(''.join(line + '\n' for line in lines))
    else:
        print('\n'.join(lines))
    return 0 if all(not line.endswith('\tMISS') for line in lines) else 2


if __name__ == '__main__':
    sys.exit(main())
