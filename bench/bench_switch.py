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
file, newer than A and after it by name, so B comes next whether a viewer sorts by name or by
date) and sent their next-picture key once A has settled in the middle of their window. Their
time runs from the key to the drawing after which the middle of their window stays as it ends
for a second: a fading transition counts until it ends, a status bar redrawn later does not.
B must then show there (no longer flat). Each runs with its own private settings, as a user
who has dismissed its first-run questions has them. A peer that is not installed, shows no
window or does not show B is left out of the table, with the reason printed.

Usage (on an X server with a window manager, e.g. LUMORA_XVFB_WM=1 scripts/with-xvfb.sh):
    bench_switch.py <lumora> [rounds] [--no-peers | --only-peers] [--peer=NAME]
Rows go to the file named by LUMORA_BENCH_ROWS, as the other benchmarks write them.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from endtoend import (TIMEOUT_S, Lumora, Picture, Screen, make_photo, memory_kib, opened_view,
                      row, run, timed_ms, wait_idle, write_rows, xdotool)

QUIET_S = 1.0

# The peers: command ({a}: picture A, {b}: picture B, {folder}: their folder), next-picture
# key. Most read the folder of the picture they are given; feh and nsxiv step only through
# what they were given, so they get the folder or its pictures as a user would give them.
PEERS = [
    ('qimgv', ['qimgv', '{a}'], 'Right'),
    # Its focused toolbar and thumbnail strip take space and Right.
    ('gThumb', ['gthumb', '{a}'], 'Page_Down'),
    ('feh', ['feh', '--no-menus', '--start-at', '{a}', '{folder}'], 'Right'),
    ('nsxiv', ['nsxiv', '{a}', '{b}'], 'n'),
    ('Gwenview', ['gwenview', '{a}'], 'Right'),
    ('Ristretto', ['ristretto', '{a}'], 'Right'),
    ('Eye of GNOME', ['eog', '{a}'], 'Right'),
]

# Settings a user has after the first run: Ristretto's warning that no thumbnail service runs
# has been dismissed for good.
PEER_SETTINGS = {
    'xfce4/xfconf/xfce-perchannel-xml/ristretto.xml':
        '<?xml version="1.0" encoding="UTF-8"?>\n<channel name="ristretto" version="1.0">\n'
        '  <property name="errors" type="empty">\n'
        '    <property name="missing-thumbnailer" type="bool" value="false"/>\n'
        '  </property>\n</channel>\n',
}


class LeftOut(Exception):
    """A peer that cannot be timed, with the reason."""


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


def flat(raw):
    """Whether raw 32-bit pixels are all nearly one colour, as picture A is."""
    colours = raw[0::4] + raw[1::4] + raw[2::4]
    return len(colours) > 0 and max(colours) - min(colours) < 16


def middle_of(screen, window):
    """The middle quarter of a window, where a viewer shows its picture, as raw pixels."""
    try:
        geometry = window.get_geometry()
    except Exception:  # the window is going
        return None
    return screen.raw(window, geometry.width * 3 // 8, geometry.height * 3 // 8,
                      geometry.width // 4, geometry.height // 4)


def watch_middle(screen, window, start, done):
    """Waits until the window's middle has stayed unchanged for QUIET_S and `done` holds for it.
    Returns the times of the first drawing for which `done` held and of the drawing that made
    the middle as it stays, or None on the deadline."""
    middle, changed, first = middle_of(screen, window), start, None
    while time.monotonic() - start < TIMEOUT_S:
        if screen.drain(0.05):
            now = time.monotonic()
            current = middle_of(screen, window)
            if current != middle:
                middle, changed = current, now
                if first is None and middle and done(middle):
                    first = now
        elif time.monotonic() - changed >= QUIET_S and middle and done(middle):
            return first or changed, changed
    return None


def biggest_window(screen, process):
    """The peer's biggest visible window, once it has one; raises LeftOut if it has none."""
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise LeftOut('it ended by itself')
        screen.drain(0.05)
        found = xdotool('search', '--onlyvisible', '--pid', str(process.pid))
        windows = [screen.window(int(w)) for w in found]
        if windows:
            return max(windows, key=lambda w: w.get_geometry().width * w.get_geometry().height)
    raise LeftOut('it showed no window')


def peer_round(screen, command, key, env):
    """A peer started on A and sent to B: (ms from the key to B settled, peak KiB, ms from
    the key to B's first drawing, which may be a preview or a step of a transition)."""
    screen.watch_new_windows()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = biggest_window(screen, process)
        if watch_middle(screen, window, time.monotonic(), flat) is None:
            raise LeftOut('it did not settle on picture A')
        xdotool('windowactivate', '--sync', str(window.id))
        start = time.monotonic()
        screen.key(key)
        settled = watch_middle(screen, window, start, lambda middle: not flat(middle))
        if settled is None:
            raise LeftOut('it did not show B after its key %s' % key)
        peak = sum(memory_kib(pid, 'VmHWM') for pid in descendants(process.pid))
        return (settled[1] - start) * 1000.0, peak, (settled[0] - start) * 1000.0
    finally:
        for pid in reversed(descendants(process.pid)):
            try:
                os.kill(pid, 15)
            except OSError:
                pass
        process.wait()


def peer_environment(folder):
    """Private settings, caches and data for the peers, also for the services they activate
    on the session bus (Ristretto's settings live in one)."""
    env = dict(os.environ)
    for name in ('CONFIG', 'CACHE', 'DATA'):
        env['XDG_%s_HOME' % name] = os.path.join(folder, 'home', name.lower())
        os.makedirs(env['XDG_%s_HOME' % name], exist_ok=True)
    for path, text in PEER_SETTINGS.items():
        path = os.path.join(env['XDG_CONFIG_HOME'], path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)
    subprocess.run(['dbus-update-activation-environment'] +
                   ['%s=%s' % (k, v) for k, v in env.items() if k.startswith('XDG_')],
                   stderr=subprocess.DEVNULL)
    return env


def median_of(samples, index):
    return statistics.median(s[index] for s in samples)


def bench_lumora(program, photo, picture, rounds):
    file_open = FileOpen(program, photo, picture)
    screen = Screen()
    file_open.round(screen, 0.5)  # warms the page cache and finds the picture on the screen
    cold, early, djpeg = [], [], []
    command = ['djpeg', '-ppm', '-outfile', '/dev/null', photo]
    for i in range(rounds):
        cold.append(file_open.round(screen, 0))
        djpeg.append(timed_ms(command))
        early.append(file_open.round(screen, 0.5))
        djpeg.append(timed_ms(command))
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


def time_peer(name, command, key, env, rounds):
    """The peer's samples after a first round that warms it up, or LeftOut."""
    if not shutil.which(command[0]):
        raise LeftOut('not installed')
    screen = Screen()
    try:
        peer_round(screen, command, key, env)
        return [peer_round(screen, command, key, env) for _ in range(rounds)]
    finally:
        screen.close()


def bench_peers(folder, reference, rounds, only):
    env = peer_environment(folder)
    paths = {'a': os.path.join(folder, 'a.jpg'), 'b': os.path.join(folder, 'b.jpg'),
             'folder': folder}
    lines = []
    for name, command, key in PEERS:
        if only and not name.lower().startswith(only.lower()):
            continue
        try:
            samples = time_peer(name, [part.format(**paths) for part in command], key, env,
                                rounds)
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


def make_pictures(folder):
    photo = make_photo(os.path.join(folder, 'b.jpg'))
    flat_a = os.path.join(folder, 'a.jpg')
    run(['convert', '-size', '800x600', 'xc:#808080', flat_a])
    hour_ago = time.time() - 3600
    os.utime(flat_a, (hour_ago, hour_ago))
    return photo


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    options = [a for a in sys.argv[1:] if a.startswith('--')]
    if not args:
        sys.exit(__doc__)
    rounds = int(args[1]) if len(args) > 1 else 7
    only = next((o.split('=', 1)[1] for o in options if o.startswith('--peer=')), None)
    folder = tempfile.mkdtemp()
    try:
        photo = make_pictures(folder)
        lines = []
        if '--only-peers' in options or only:
            reference = statistics.median(
                timed_ms(['djpeg', '-ppm', '-outfile', '/dev/null', photo]) for _ in range(3))
        else:
            reference, lines = bench_lumora(args[0], photo, Picture(photo, folder), rounds)
        if '--no-peers' not in options:
            lines += bench_peers(folder, reference, max(3, rounds // 2), only)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return write_rows(lines)


if __name__ == '__main__':
    sys.exit(main())
