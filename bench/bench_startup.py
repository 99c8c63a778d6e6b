#!/usr/bin/python3
"""Start-up of the real program, timed from exec with the X server's own events.

For each run the watcher subscribes to the creation of every top-level window, starts the
program, and notes when each of the program's windows is mapped and when something is first
drawn into it after that (a DAMAGE event): the window is then on the screen. The first window
so painted is the splash, the second the main window. The real program and a minimal Qt
program that does the same (startup_reference) take turns, so that the load of a shared
machine falls on both alike. Targets: the splash on the screen within 120 ms of exec, the main
window 1000 ms after the splash, within one frame at 60 Hz.

Usage (on an X server, e.g. through scripts/with-xvfb.sh):
    bench_startup.py <lumora> <startup_reference> [runs]
Rows go to the file named by LUMORA_BENCH_ROWS, as the other benchmarks write them.
"""
import select
import statistics
import subprocess
import sys
import time

from Xlib import X, display
from Xlib.ext import damage

from endtoend import write_rows

SPLASH_TARGET_MS = 120
MAIN_AIM_MS = 1000
FRAME_MS = 17
TIMEOUT_S = 15


class Watch:
    """The windows of one process on one display: when each was mapped and first painted."""

    def __init__(self, disp):
        self.disp = disp
        self.root = disp.screen().root
        self.pid_atom = disp.intern_atom('_NET_WM_PID')
        self.created = {}
        self.mapped = {}
        self.painted = []  # (ms since exec, window id), in order
        self.start = 0.0
        self.pid = 0

    def ms(self):
        return (time.monotonic() - self.start) * 1000.0

    def belongs(self, window):
        try:
            prop = window.get_full_property(self.pid_atom, X.AnyPropertyType)
        except Exception:  # the window is already gone
            return False
        if prop is None:
            return False
        # python-xlib hands the value over as (format, data) or as the data alone.
        value = prop.value[1] if isinstance(prop.value, tuple) else prop.value
        return len(value) > 0 and value[0] == self.pid

    def handle(self, event):
        now = self.ms()
        if event.type == X.CreateNotify:
            # Watch the new window itself: its map (even inside a frame) and what is drawn in it.
            self.created[event.window.id] = now
            event.window.change_attributes(event_mask=X.StructureNotifyMask)
            # On a busy machine this event can be read after the window was mapped: its map is
            # then taken from its state, and the damage created on a viewable window reports
            # what is already drawn in it.
            try:
                viewable = event.window.get_attributes().map_state == X.IsViewable
            except Exception:  # the window is already gone
                return
            if viewable and self.belongs(event.window):
                self.mapped[event.window.id] = now
            event.window.damage_create(damage.DamageReportRawRectangles)
        elif event.type == X.MapNotify:
            wid = event.window.id
            if wid not in self.mapped and self.belongs(event.window):
                self.mapped[wid] = now
        elif type(event).__name__ == 'DamageNotify':  # python-xlib makes a class per display
            wid = event.drawable.id
            if wid in self.mapped and wid not in (w for _, w in self.painted):
                self.painted.append((now, wid))

    def run(self, command):
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.disp.sync()
        self.start = time.monotonic()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = process.pid
        try:
            while len(self.painted) < 2 and self.ms() < TIMEOUT_S * 1000:
                if not self.disp.pending_events():
                    select.select([self.disp.fileno()], [], [], 0.05)
                while self.disp.pending_events():
                    self.handle(self.disp.next_event())
        finally:
            process.terminate()
            process.wait()
        return self.painted


def one_run(command):
    disp = display.Display()
    try:
        if not disp.has_extension('DAMAGE'):
            sys.exit('the X server has no DAMAGE extension')
        disp.damage_query_version()
        painted = Watch(disp).run(command)
    finally:
        disp.close()
    if len(painted) < 2:
        sys.exit('%s showed %d windows in %d s' % (command[0], len(painted), TIMEOUT_S))
    return painted[0][0], painted[1][0] - painted[0][0]


def number(value):
    size = abs(value)
    decimals = 0 if size >= 100 else 1 if size >= 10 else 2 if size >= 0.1 else 3
    return '%.*f' % (decimals, value)


def row(figure, ours, reference, theirs, target_text, met):
    """One line in the tab-separated form that bench/benchreport.cpp writes."""
    return '\t'.join([figure, number(ours) + ' ms', reference, number(theirs) + ' ms',
                      number(ours / theirs) + 'x', target_text, 'pass' if met else 'MISS'])


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    program, reference = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 9
    ours, theirs = [], []
    one_run([reference])  # the first start of a process reads fonts and plug-ins from disk
    for i in range(runs):
        ours.append(one_run([program]))
        theirs.append(one_run([reference]))
        print('run %d: lumora splash %.1f ms, main +%.1f ms; reference %.1f ms, +%.1f ms'
              % (i + 1, ours[-1][0], ours[-1][1], theirs[-1][0], theirs[-1][1]), flush=True)
    splash = statistics.median(s for s, _ in ours)
    splash_ref = statistics.median(s for s, _ in theirs)
    main_after = statistics.median(m for _, m in ours)
    main_ref = statistics.median(m for _, m in theirs)
    worst_gap = max(abs(m - MAIN_AIM_MS) for _, m in ours)
    print('medians of %d runs; splash worst %.1f ms; main window furthest from %d ms: %.1f ms off'
          % (runs, max(s for s, _ in ours), MAIN_AIM_MS, worst_gap))
    lines = [
        row('Start-up, exec to splash on screen', splash, 'minimal Qt window', splash_ref,
            '<= %d ms' % SPLASH_TARGET_MS, splash <= SPLASH_TARGET_MS),
        row('Start-up, splash to main window on screen', main_after, 'minimal Qt, 1 s timer',
            main_ref, '%d +-%d ms' % (MAIN_AIM_MS, FRAME_MS),
            abs(main_after - MAIN_AIM_MS) <= FRAME_MS),
    ]
    return write_rows(lines)


if __name__ == '__main__':
    sys.exit(main())
