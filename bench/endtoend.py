"""What the end-to-end benchmarks share: the X server they watch, the pictures they check the
screen against, the real program driven as a user drives it, and the table rows they write.

The time of a figure runs from the user's key, sent through XTEST to the focused window, to
the X server's report of drawing (DAMAGE events) after which the expected pixels are on the
screen, checked at a few places of the visible part.
"""
import math
import os
import select
import subprocess
import sys
import time

# The test scripts' PPM reader: screenshots come from ImageMagick in both.
SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'support')
sys.path.insert(0, SUPPORT)
from findpicture import read_ppm  # noqa: E402

from Xlib import X, XK, display  # noqa: E402
from Xlib.ext import damage, xtest  # noqa: E402

TIMEOUT_S = 20
PATCH = 12
SCREENSHOT = '/tmp/lumora-bench-screen.png'


def number(value):
    size = abs(value)
    decimals = 0 if size >= 100 else 1 if size >= 10 else 2 if size >= 0.1 else 3
    return '%.*f' % (decimals, value)


def target_text(target):
    return '-' if target is None else 'ratio <= %.2f' % target


def row(figure, ours, unit, reference, theirs, target=None):
    """One line in the tab-separated form of bench/benchreport.cpp; target is a ratio limit."""
    ratio = ours / theirs
    met = target is None or ratio <= target
    return '\t'.join([figure, number(ours) + ' ' + unit, reference, number(theirs) + ' ' + unit,
                      number(ratio) + 'x', target_text(target),
                      '-' if target is None else 'pass' if met else 'MISS'])


def text_row(figure, what, reference, theirs, target=None):
    """A row whose figure could not be had, with what happened instead (`theirs` a text too):
    missed if it had a target."""
    return '\t'.join([figure, what, reference, theirs, '-', target_text(target),
                      '-' if target is None else 'MISS'])


def write_rows(lines):
    """Appends the rows where run-bench.sh collects them (or prints them); the exit status."""
    target = os.environ.get('LUMORA_BENCH_ROWS')
    if target:
        with open(target, 'a', encoding='utf-8') as out:
            out.write(''.join(line + '\n' for line in lines))
    else:
        print('\n'.join(lines))
    return 0 if all(not line.endswith('\tMISS') for line in lines) else 2


def run(command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)


def timed_ms(command):
    start = time.monotonic()
    run(command)
    return (time.monotonic() - start) * 1000.0


def make_photo(path, grain=0.5):
    """The photo-like picture bench_open makes: 6000 x 4000, fractal shapes with film grain,
    4:2:0, quality 90. Less grain makes a lighter file, as a phone camera's noise reduction
    does: 0.4 makes 5.6 MB, 0.5 6.3 MB."""
    run(['convert', '-seed', '7', '-size', '1500x1000', 'plasma:fractal', '-resize', '6000x4000!',
         '(', '-size', '6000x4000', 'xc:gray50', '-seed', '3', '-attenuate', str(grain),
         '+noise', 'Gaussian', ')', '-compose', 'overlay', '-composite', '-sampling-factor', '2x2',
         '-quality', '90', path])
    return path


GIANT_SIZE = (17078, 30000)


def giant_wave(y):
    """What a giant picture's blue adds at row y: two waves, so that a step down by any number
    of rows up to thousands changes what is shown somewhere."""
    return round(24 * math.sin(2 * math.pi * y / 241) + 12 * math.sin(2 * math.pi * y / 1009))


def giant_colour(x, y, size=GIANT_SIZE):
    """A giant picture's colour at (x, y) before the waves: red across, green down, blue 64."""
    return x * 255 // (size[0] - 1), 24 + y * 180 // (size[1] - 1), 64


def giant_rows(size):
    """A giant picture's rows as RGB bytes, made from a few precomputed ones: memory stays small
    and cjpeg, not this, takes the time."""
    width, height = size
    line = bytearray(3 * width)
    line[0::3] = bytes(giant_colour(x, 0, size)[0] for x in range(width))
    blue = bytes(64 + round(12 * math.sin(2 * math.pi * x / 389)) for x in range(width))
    added = {}
    for y in range(height):
        wave = giant_wave(y)
        if wave not in added:
            added[wave] = bytes(min(255, max(0, c + wave)) for c in range(256))
        line[1::3] = bytes([giant_colour(0, y, size)[1]]) * width
        line[2::3] = blue.translate(added[wave])
        yield line


def make_giant(path, size=GIANT_SIZE):
    """The giant JPEG (quality 90, 4:2:0; 512 MP in about 15 MB), made by cjpeg unless `path`
    holds it already. It appears whole or not at all."""
    if os.path.exists(path):
        return path
    part = path + '.part'
    cjpeg = subprocess.Popen(['cjpeg', '-quality', '90', '-sample', '2x2', '-outfile', part],
                             stdin=subprocess.PIPE)
    try:
        cjpeg.stdin.write(b'P6\n%d %d\n255\n' % size)
        for line in giant_rows(size):
            cjpeg.stdin.write(line)
        cjpeg.stdin.close()
        if cjpeg.wait() != 0:
            raise OSError('cjpeg failed')
        os.replace(part, path)
    finally:
        cjpeg.kill()
        cjpeg.wait()
        if os.path.exists(part):
            os.unlink(part)
    return path


def memory_kib(pid, field):
    try:
        with open('/proc/%d/status' % pid, encoding='ascii') as f:
            for line in f:
                if line.startswith(field + ':'):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def cpu_ticks(pid):
    try:
        with open('/proc/%d/stat' % pid, encoding='ascii') as f:
            fields = f.read().rsplit(')', 1)[1].split()
        return int(fields[11]) + int(fields[12])  # user and system time
    except (OSError, ValueError, IndexError):
        return -1


def wait_idle(pid, quiet_s=0.3, timeout=TIMEOUT_S):
    """Waits until the process has used no processor time for `quiet_s`: it has done its work."""
    deadline = time.monotonic() + timeout
    ticks, since = cpu_ticks(pid), time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.05)
        now = cpu_ticks(pid)
        if now != ticks:
            ticks, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet_s:
            return
    sys.exit('the program never went idle')


def xdotool(*args):
    return subprocess.run(['xdotool', *args], capture_output=True, text=True).stdout.split()


def shown_window(name):
    """The first visible window whose title matches `name`, or None."""
    found = xdotool('search', '--onlyvisible', '--name', name)
    return int(found[0]) if found else None


def wait_for_window(name):
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        found = shown_window(name)
        if found:
            return found
        time.sleep(0.05)
    return None


def visible_windows(pid):
    return set(xdotool('search', '--onlyvisible', '--pid', str(pid)))


def wait_for_new_window(pid, known):
    """Waits until the process shows a window not among `known` (a menu, a dialog)."""
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        if visible_windows(pid) - known:
            return
        time.sleep(0.02)
    screenshot_and_exit('the program showed no new window')


def screenshot_and_exit(message):
    subprocess.run(['import', '-window', 'root', SCREENSHOT])
    sys.exit('%s (screen in %s)' % (message, SCREENSHOT))


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

    def window(self, window_id):
        return self.disp.create_resource_object('window', window_id)

    def origin_of(self, window_id):
        """Where the window's inside is on the screen (xdotool counts the frame in twice)."""
        at = self.root.translate_coords(self.window(window_id), 0, 0)
        return at.x, at.y

    def watch(self, window_id):
        window = self.window(window_id)
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

    def wheel(self, button=5):
        """One step of the mouse wheel where the pointer is: button 5 down, 4 up."""
        xtest.fake_input(self.disp, X.ButtonPress, button)
        xtest.fake_input(self.disp, X.ButtonRelease, button)
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

    def settle(self, quiet_s):
        """Waits until nothing has been drawn for `quiet_s` (menus and dialogs have painted)."""
        deadline = time.monotonic() + TIMEOUT_S
        while time.monotonic() < deadline:
            if not self.drain(quiet_s):
                return
        sys.exit('the screen never stopped changing')

    def raw(self, window, x, y, width, height):
        """The window's pixels as the server holds them (4 bytes a pixel), or None."""
        try:
            return window.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF).data
        except Exception:  # the window changed size or went away meanwhile
            return None

    def pixels(self, window, x, y, width, height):
        """The window's pixels as RGB bytes."""
        data = self.raw(window, x, y, width, height) or bytes(width * height * 4)
        out = bytearray(width * height * 3)
        out[0::3] = data[2::4]
        out[1::3] = data[1::4]
        out[2::3] = data[0::4]
        return bytes(out)

    def close(self):
        self.disp.close()


class Picture:
    """A JPEG as djpeg decodes it, or the part of it `crop` names (width, height, top row; from
    its left edge) as djpeg -crop decodes it."""

    def __init__(self, path, folder, crop=None):
        ppm = os.path.join(folder, 'decoded.ppm')
        crop = ['-crop', '%dx%d+0+%d' % crop] if crop else []
        run(['djpeg', '-ppm', *crop, '-outfile', ppm, path])
        self.path = path
        self.width, self.height, self.rgb = read_ppm(ppm)
        os.unlink(ppm)

    def patch(self, x, y):
        return b''.join(self.rgb[((y + r) * self.width + x) * 3:((y + r) * self.width + x +
                                                                  PATCH) * 3]
                        for r in range(PATCH))

    def column(self, x):
        """The pixels down column x as RGB bytes."""
        return b''.join(self.rgb[(y * self.width + x) * 3:(y * self.width + x + 1) * 3]
                        for y in range(self.height))

    def pixel(self, x, y):
        x, y = min(max(x, 0), self.width - 1), min(max(y, 0), self.height - 1)
        at = (y * self.width + x) * 3
        return self.rgb[at:at + 3]


def differs(a, b, tolerance=3):
    return any(abs(p - q) > tolerance for p, q in zip(a, b))


class View:
    """A picture as it should appear in a window: its pixel (0, 0) at `origin`, each pixel
    `zoom` times as large. An enlarged picture may land a source pixel off, as its size is
    not exactly the zoom's multiple: each screen pixel may show a neighbour of its pixel."""

    def __init__(self, picture, origin, zoom=1):
        self.picture, self.origin, self.zoom = picture, origin, zoom
        self.spots = []

    def matches(self, seen, x, y):
        """Whether the PATCH x PATCH RGB pixels `seen` are the picture's at (x, y) of the view."""
        if self.zoom == 1:
            return not differs(seen, self.picture.patch(x, y))
        for r in range(PATCH):
            for c in range(PATCH):
                at = (r * PATCH + c) * 3
                sx, sy = (x + c) // self.zoom, (y + r) // self.zoom
                if all(differs(seen[at:at + 3], self.picture.pixel(sx + dx, sy + dy))
                       for dy in (0, -1, 1) for dx in (0, -1, 1)):
                    return False
        return True

    def shown(self, screen, window, spots=None):
        for x, y in spots or self.spots:
            seen = screen.pixels(window, self.origin[0] + x, self.origin[1] + y, PATCH, PATCH)
            if not self.matches(seen, x, y):
                return False
        return True

    def choose_spots(self, screen, window, width, height, skip=(0, 0)):
        """Three places, from the top left of the visible part (after `skip` pixels, where
        something else may cover it) to as far as the window shows, that show the picture;
        False when even the top left one does not."""
        ox, oy = self.origin
        near = (max(0, -ox) + skip[0], max(0, -oy) + skip[1])
        seen_w = min(self.picture.width * self.zoom, width - ox) - near[0]
        seen_h = min(self.picture.height * self.zoom, height - oy) - near[1]
        for step in range(16, 0, -1):
            far = (near[0] + seen_w * step // 16 - PATCH - 4,
                   near[1] + seen_h * step // 16 - PATCH - 4)
            middle = ((near[0] + far[0]) // 2, (near[1] + far[1]) // 2)
            spots = [near, middle, far]
            if far[0] > near[0] and far[1] > near[1] and self.shown(screen, window, spots):
                self.spots = spots
                return True
        return False

    def wait_shown(self, screen, window, start):
        """ms from `start` to the drawing after which the view is on the screen."""
        while time.monotonic() - start < TIMEOUT_S:
            if screen.drain(0.05):
                last = time.monotonic()
                if self.shown(screen, window):
                    return (last - start) * 1000.0
        screenshot_and_exit('the picture did not show within %d s' % TIMEOUT_S)


def find_top_left(screen, window, picture, width, height):
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


def opened_view(screen, window, picture):
    """The picture as File Open shows it in the window, once it is there."""
    geometry = window.get_geometry()
    deadline = time.monotonic() + TIMEOUT_S
    origin = None
    while origin is None and time.monotonic() < deadline:
        screen.settle(0.2)
        origin = find_top_left(screen, window, picture, geometry.width, geometry.height)
    if origin is None:
        screenshot_and_exit('the opened picture is not on the screen as djpeg decodes it')
    view = View(picture, origin)
    if not view.choose_spots(screen, window, geometry.width, geometry.height):
        screenshot_and_exit('the opened picture is not on the screen as djpeg decodes it')
    return view


def shown_extent(screen, window, view, width, height):
    """Where a 1:1 view stops showing its picture in the window (at its edge, a scroll bar or
    the picture's end): the first column to the right of its top row and the first row below
    its left column that differ from the picture."""
    ox, oy = view.origin

    def first_other(line, start, at):
        for i in range(start, len(line) // 3):
            if differs(line[i * 3:i * 3 + 3], view.picture.pixel(*at(i))):
                return i
        return len(line) // 3

    across = screen.pixels(window, 0, oy, min(width, ox + view.picture.width), 1)
    down = screen.pixels(window, ox, 0, 1, min(height, oy + view.picture.height))
    return (first_other(across, ox, lambda x: (x - ox, 0)),
            first_other(down, oy, lambda y: (0, y - oy)))


def find_row(screen, window, at, column):
    """The row of the picture the window shows at `at`, from `column`: the picture's pixels down
    the column shown there (Picture.column). None when they are not there."""
    probe = screen.pixels(window, at[0], at[1], 1, PATCH)
    found = column.find(probe)
    while found >= 0 and found % 3:
        found = column.find(probe, found + 1)
    return found // 3 if found >= 0 else None


def find_near(screen, window, picture, guess, at, radius=6):
    """The origin near `guess` at which the window shows the picture 1:1 around window point
    `at`, or None."""
    x0, y0 = at[0] - radius, at[1] - radius
    size = PATCH + 2 * radius
    shown = screen.pixels(window, x0, y0, size, size)
    for dy in range(2 * radius + 1):
        for dx in range(2 * radius + 1):
            origin = (guess[0] + dx - radius, guess[1] + dy - radius)
            seen = b''.join(shown[((dy + r) * size + dx) * 3:((dy + r) * size + dx + PATCH) * 3]
                            for r in range(PATCH))
            if not differs(seen, picture.patch(x0 + dx - origin[0], y0 + dy - origin[1])):
                return origin
    return None


class Lumora:
    """The real program on the X server, driven through its menus and dialogs."""

    def __init__(self, program):
        self.program = program
        self.process = None

    def start(self, folder=None):
        """Starts the program (in `folder`) and returns its main window once it is up."""
        self.process = subprocess.Popen([self.program], cwd=folder, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        main = wait_for_window('^Lumora$')
        if main is None:
            sys.exit('Lumora showed no main window')
        xdotool('windowactivate', '--sync', str(main))
        wait_idle(self.process.pid)  # the main window settles after it is first shown
        return main

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(TIMEOUT_S)
        except subprocess.TimeoutExpired:  # busy past its signal: it must be gone all the same
            self.process.kill()
            self.process.wait()

    def menu(self, main, access_key, *keys):
        """Opens a menu of the menu bar by its access key and moves through it with `keys`."""
        known = visible_windows(self.process.pid)
        xdotool('windowactivate', '--sync', str(main))
        xdotool('key', 'alt+' + access_key)
        wait_for_new_window(self.process.pid, known)
        if keys:
            xdotool('key', *keys)

    def open_dialog(self, main, title='^Open File$'):
        self.menu(main, 'f', 'Return')  # Open is the File menu's first item
        dialog = wait_for_window(title)
        if dialog is None:
            sys.exit('Lumora showed no Open dialog')
        wait_idle(self.process.pid)
        return dialog

    def open_picture(self, main, path):
        """File > Open of `path`, typed into the dialog; returns when the dialog is gone."""
        self.open_dialog(main)
        xdotool('type', '--delay', '5', path)
        xdotool('key', 'Return')
        deadline = time.monotonic() + TIMEOUT_S
        while shown_window('^Open File$') is not None:
            if time.monotonic() > deadline:
                sys.exit('the Open dialog did not close')
            time.sleep(0.02)

    def save_as(self, main, path, timeout=TIMEOUT_S):
        """File > Save As to `path`, typed into the dialog; returns once the file is written."""
        self.menu(main, 'f', 'Down', 'Down', 'Return')  # Open, Screen Show, Save As
        if wait_for_window('^File Name$') is None:
            sys.exit('Lumora showed no Save As dialog')
        wait_idle(self.process.pid)
        xdotool('type', '--delay', '5', path)
        xdotool('key', 'Return')
        deadline = time.monotonic() + timeout
        while not os.path.exists(path):  # the file takes its name once it is whole
            if time.monotonic() > deadline:
                sys.exit('Save As wrote no %s in %d s' % (path, timeout))
            time.sleep(0.05)
        wait_idle(self.process.pid, timeout=timeout)
