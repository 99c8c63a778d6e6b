#!/usr/bin/python3
"""Reads a window of a program as a screen reader does, through the accessibility bus.

usage: atspi-tree.py PROGRAM WINDOW [EXPECTED...] [--press ROLE|NAME]

Waits up to 15 s until the window of PROGRAM (the application's name on the bus) named WINDOW
(a top-level window, or a child window in its workspace) holds an object for each EXPECTED
"role|name|description" (shell patterns: "image|beach.jpg|*"), and checks that no visible
control in it is unnamed. Then does the press action of the object ROLE|NAME, anywhere in the
program, when asked. On failure prints the window's tree and exits 1.
Needs Debian's python3 with its GObject bindings (python3-pyatspi, gir1.2-atspi-2.0).
"""
import fnmatch
import sys
import time

import pyatspi

# The roles of what a user works with; each must be named.
CONTROLS = {"push button", "toggle button", "check box", "radio button", "combo box", "list",
            "text", "image", "spin button", "slider", "page tab", "menu item"}


def application(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    return None


def walk(node, depth=0):
    """Every object under the node, with its depth, skipping those that vanish meanwhile."""
    yield node, depth
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def describe(node):
    visible = node.getState().contains(pyatspi.STATE_VISIBLE)
    return f"{node.getRoleName()}|{node.name}|{node.description}", visible


def window(app, name):
    """A top-level window of the program, or a child window in its workspace."""
    for node, depth in walk(app):
        if node.name == name and (depth == 1 or node.getRoleName() == "frame"):
            return node
    return None


def problems(app, name, expected):
    win = window(app, name)
    if win is None:
        return [f"no window {name!r}"], None
    found = [describe(node) for node, _ in walk(win)]
    missing = [e for e in expected if not any(fnmatch.fnmatchcase(f, e) for f, _ in found)]
    unnamed = [f for f, visible in found
               if visible and f.split("|")[0] in CONTROLS and not f.split("|")[1]]
    return [f"missing {e!r}" for e in missing] + [f"unnamed {u!r}" for u in unnamed], win


def press(app, target):
    role, name = target.split("|", 1)
    for node, _ in walk(app):
        if node.getRoleName() == role and node.name == name:
            action = node.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            action.doAction(names.index("Press") if "Press" in names else 0)
            return
    sys.exit(f"FAIL: nothing to press named {target!r}")


def main():
    args = sys.argv[1:]
    target = None
    if "--press" in args:
        at = args.index("--press")
        target = args[at + 1]
        del args[at:at + 2]
    program, name, expected = args[0], args[1], args[2:]
    deadline = time.monotonic() + 15
    while True:
        app = application(program)
        found, win = problems(app, name, expected) if app else ([f"no {program} on the bus"], None)
        if not found or time.monotonic() > deadline:
            break
        time.sleep(0.2)
    if found:
        for node, depth in walk(win) if win else ():
            text, visible = describe(node)
            print("  " * depth + text + ("" if visible else "  (invisible)"))
        sys.exit("FAIL: " + "; ".join(found))
    if target:
        press(app, target)


if __name__ == "__main__":
    main()
