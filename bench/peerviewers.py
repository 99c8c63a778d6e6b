"""The picture viewers Debian ships, driven as a user drives them: each started on a small flat
picture A in a folder with B (newer than A and after it by name, so B comes next whether a
viewer sorts by name or by date) and sent its next-picture key once A has settled in the
middle of its window. Its time runs from the key to the drawing after which the middle of its
window stays as it ends for a second: a fading transition counts until it ends, a status bar
redrawn later does not. B must then show there. Each runs with its own private settings, as a
user who has dismissed its first-run questions has them.
"""
import os
import shutil
import subprocess
import time

from endtoend import TIMEOUT_S, Screen, memory_kib, xdotool

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


class ShowedNothing(LeftOut):
    """A peer that did not show B in time, with the peak memory it had reached by then (None
    when it ended meanwhile)."""

    def __init__(self, reason, peak_kib):
        super().__init__(reason)
        self.peak_kib = peak_kib


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


def watch_middle(screen, window, start, done, timeout=TIMEOUT_S, ended=lambda: False):
    """Waits until the window's middle has stayed unchanged for QUIET_S and `done` holds for it.
    Returns the times of the first drawing for which `done` held and of the drawing that made
    the middle as it stays, or None on the deadline or once `ended` holds."""
    middle, changed, first = middle_of(screen, window), start, None
    while time.monotonic() - start < timeout and not ended():
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


def stop_peer(process):
    """Ends the peer and what it started, for good before the next one starts."""
    for pid in reversed(descendants(process.pid)):
        try:
            os.kill(pid, 15)
        except OSError:
            pass
    try:
        process.wait(TIMEOUT_S)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def peer_round(screen, command, key, env, shows=lambda middle: not flat(middle),
               timeout=TIMEOUT_S):
    """A peer started on A and sent to B: (ms from the key to B settled, peak KiB, ms from
    the key to B's first drawing, which may be a preview or a step of a transition). B is
    there when `shows` holds for the window's middle."""
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
        settled = watch_middle(screen, window, start, shows, timeout,
                               lambda: process.poll() is not None)
        peak = sum(memory_kib(pid, 'VmHWM') for pid in descendants(process.pid))
        if process.poll() is not None:
            raise ShowedNothing('it ended after %.0f s' % (time.monotonic() - start), None)
        if settled is None:
            raise ShowedNothing('nothing in %d s' % timeout, peak)
        return (settled[1] - start) * 1000.0, peak, (settled[0] - start) * 1000.0
    finally:
        stop_peer(process)


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


def time_peer(command, key, env, rounds, warm=True, **checks):
    """The peer's samples (after a first round that warms it up, when `warm`), or LeftOut."""
    if not shutil.which(command[0]):
        raise LeftOut('not installed')
    screen = Screen()
    try:
        if warm:
            peer_round(screen, command, key, env, **checks)
        return [peer_round(screen, command, key, env, **checks) for _ in range(rounds)]
    finally:
        screen.close()


def chosen_peers(only):
    """The peers, or those whose name starts with `only`."""
    return [peer for peer in PEERS if not only or peer[0].lower().startswith(only.lower())]


def peer_paths(folder):
    """Where the peers' pictures go ({a}, {b}, {folder} of PEERS), with A made there: flat grey,
    an hour older than B will be."""
    paths = {'a': os.path.join(folder, 'a.jpg'), 'b': os.path.join(folder, 'b.jpg'),
             'folder': folder}
    subprocess.run(['convert', '-size', '800x600', 'xc:#808080', paths['a']], check=True)
    hour_ago = time.time() - 3600
    os.utime(paths['a'], (hour_ago, hour_ago))
    return paths
