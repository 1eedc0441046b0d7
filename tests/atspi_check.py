#!/usr/bin/python3
"""Kestrow read through AT-SPI as Orca reads it, driven through its accessible actions:
atspi_check.py KESTROW, under xvfb-run and dbus-run-session (a private accessibility bus)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

SAMPLE = b"Car insurance|Sub|2026-03-01|1,234.50|12\r\nRent|Sub|2026-06-01|950.00|1\r\n"
CAPTIONS = ("Monthly amount required", "Total amount this month", "Bills due this month",
            "Net requirement is")
WAIT = 15  # seconds for any one thing to happen

failures = []
events = []  # (type, role, name, detail1) as they arrived


def check(ok, what):
    if not ok:
        failures.append(what)


def on_event(event):
    try:  # the source may be gone already
        events.append((event.type, event.source.getRoleName(), event.source.name, event.detail1))
    except Exception:
        pass


def wait_for(what, found):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        result = found()
        if result:
            return result
        time.sleep(0.05)
    raise TimeoutError("no " + what + " within %d s" % WAIT)


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def named(root, name, role=None):
    return [o for o in walk(root) if o.name == name and (role is None or o.getRoleName() == role)]


def labelled_by(node):
    return [rel.getTarget(i).name for rel in node.getRelationSet()
            if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY
            for i in range(rel.getNTargets())]


def do(node, action):
    actions = node.queryAction()
    actions.doAction([actions.getName(i) for i in range(actions.nActions)].index(action))


def press(window, caption):
    do(wait_for("enabled " + caption, lambda: [b for b in named(window, caption, "push button")
                                               if b.getState().contains(pyatspi.STATE_ENABLED)])[0],
       "Press")


def window(app, title):
    return wait_for("window " + title, lambda: [w for w in app if w.name.startswith(title)])[0]


def check_window(win, role):
    """The window's role; a name for all that takes the focus, none read with blanks."""
    check(win.getRoleName() == role, "%s is a %s, not a %s" % (win.name, win.getRoleName(), role))
    for node in walk(win):
        name, kind = node.name, node.getRoleName()
        check(name or not node.getState().contains(pyatspi.STATE_FOCUSABLE),
              "%s: a focusable %s without a name" % (win.name, kind))
        check(name == name.strip() and kind != "filler", "%s: %s %r" % (win.name, kind, name))


def announced(since):
    return [name for kind, role, name, shown in events[since:]
            if kind == "object:state-changed:showing" and role == "notification" and shown]


def check_announced(main, due, since, what):
    """The month and each figure with its caption, labelled by it, heard after a change."""
    said = wait_for("announcement after " + what, lambda: announced(since))
    spoken = [due.name]
    for caption in CAPTIONS:
        found = [o.name for o in walk(main) if labelled_by(o) == [caption]]
        pattern = re.escape(caption) + r": -?[0-9,]*\.[0-9]{2}"
        check(len(found) == 1 and re.fullmatch(pattern, found[0]),
              "the figure of %r reads %r" % (caption, found))
        spoken += found[:1]
    check(said[0] == ". ".join(spoken), "after %s Orca hears %r, not %r" % (what, said[0], spoken))


def main_window_run(app):
    main = window(app, "Kestrow Budget Calculator")
    check_window(main, "frame")
    check(len(named(main, "Savings chart", "chart")) == 1, "no chart named Savings chart")
    due = [o for o in walk(main) if o.getRoleName() == "list"][0]

    # Heard where the user is: a screen reader interrupts itself when the focus moves.
    since = len(events)
    month = due.name
    press(main, "Next Mon")
    check_announced(main, due, since, "Next Mon")
    check(due.name != month, "Next Mon left the due list at %r" % month)
    check(not [e for e in events[since:] if e[0] == "object:state-changed:focused" and e[3]],
          "the announcement after Next Mon moved the focus")


def main():
    pyatspi.Registry.registerEventListener(on_event, "object:state-changed:showing",
                                           "object:state-changed:focused")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "Kestrow.txt"), "wb") as out:
            out.write(SAMPLE)
        process = subprocess.Popen([shutil.copy(sys.argv[1], folder)], env=env)
        try:
            main_window_run(wait_for("Kestrow on the accessibility bus", lambda: [
                a for a in pyatspi.Registry.getDesktop(0)
                if a is not None and a.get_process_id() == process.pid and a.childCount])[0])
        except (TimeoutError, IndexError, ValueError) as lost:
            failures.append(str(lost) or "a control is missing")
        finally:
            process.kill()
            process.wait()
    for failure in failures:
        print("FAIL: " + failure)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
