"""Drives korvex as a user does and reads it as a screen reader does.

Windows are found by title, and controls by role and accessible name in the tree a screen
reader reads: AT-SPI on Linux (Atspi), UI Automation under Wine (Uia). The pointer and the
keys go through the X server with xdotool, to the middle of the rectangle the tree reports, so
a click is still a user's click. Every wait is for a state and has a bound, five times longer
under an emulator (KORVEX_EMULATOR), and says what it waited for.
"""

import collections
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

EMULATOR = shlex.split(os.environ.get("KORVEX_EMULATOR", ""))
SLOWDOWN = 5 if EMULATOR else 1


class Failure(Exception):
    pass


def need(*tools):
    """Skips the test (77) unless every tool is there; under CI=true that fails instead: a CI
    machine without one lacks an install step of scripts/setup.sh."""
    for tool in (t for t in tools if not shutil.which(t)):
        if os.environ.get("CI") == "true":
            sys.exit("FAILED: %s is not installed, and CI must run every test" % tool)
        print("skipped: %s is not installed" % tool)
        sys.exit(77)


def wait_until(seconds, condition, what, pump=lambda: None):
    """Returns the first true value of condition(), polled until `seconds` have passed."""
    deadline = time.monotonic() + seconds * SLOWDOWN
    while True:
        pump()
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("waited %d s for %s" % (seconds * SLOWDOWN, what))
        time.sleep(0.05)


def run(*command, seconds=20, check=True, **options):
    """Runs a tool to its end within its bound; returns what it printed. (Through files: a
    process it leaves running, such as Wine's services, may keep a pipe open.)"""
    with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
        try:
            status = subprocess.run(command, stdout=out, stderr=err, timeout=seconds * SLOWDOWN,
                                    **options).returncode
        except subprocess.TimeoutExpired:
            raise Failure("'%s' did not finish within %d s" % (" ".join(command),
                                                              seconds * SLOWDOWN))
        out.seek(0)
        err.seek(0)
        if check and status:
            raise Failure("'%s' failed: %s" % (" ".join(command), err.read().strip()))
        return out.read()


# A control as the tree shows it: role ("button", "box", "label", "picture", "results", or the
# tree's own name for it), name, place in the window's own area, description, text (None where
# the tree cannot tell it), whether it can take and has the focus, and the tree's number for
# its role.
Element = collections.namedtuple(
    "Element", "role name place description text focusable focused role_number")


class Atspi:
    """The tree of one korvex process on the AT-SPI bus."""

    tells_text = True

    def __init__(self, pid):
        import pyatspi
        from gi.repository import GLib
        self.pyatspi, self.context = pyatspi, GLib.MainContext.default()
        self.roles = {pyatspi.ROLE_PUSH_BUTTON: "button", pyatspi.ROLE_TEXT: "box",
                      pyatspi.ROLE_LABEL: "label", pyatspi.ROLE_IMAGE: "picture"}
        self.app = wait_until(30, lambda: next(
            (app for app in pyatspi.Registry.getDesktop(0) if app is not None
             and app.name == "Korvex" and app.get_process_id() == pid), None),
            "korvex %d on the accessibility bus" % pid, self.pump)

    def pump(self):
        """Delivers the events that keep the tree's cache up to date."""
        while self.context.iteration(False):
            pass

    def elements(self, title, origin, fresh=True):
        """Every element of the shown window `title`, placed from `origin`, the screen place
        of the window's own area; None when no such window shows."""
        self.pump()
        found, at = [], self.pyatspi

        def walk(node):
            for child in filter(None, node):
                box = child.queryComponent().getExtents(at.DESKTOP_COORDS)
                role, state = child.getRole(), child.getState()
                found.append(Element(
                    "results" if child.name == "Results" else self.roles.get(
                        role, child.getRoleName()), child.name,
                    (box.x - origin[0], box.y - origin[1], box.width, box.height),
                    child.description,
                    child.queryText().getText(0, -1) if role == at.ROLE_TEXT else "",
                    state.contains(at.STATE_FOCUSABLE), state.contains(at.STATE_FOCUSED),
                    int(role)))
                walk(child)
        for top in self.app:
            if top is not None and top.name == title and top.getState().contains(
                    at.STATE_SHOWING):
                walk(top)
                return found
        return None

    def windows(self):
        """The names of the program's windows, each with whether it shows."""
        return [(top.name, top.getState().contains(self.pyatspi.STATE_SHOWING))
                for top in filter(None, self.app)]


class Uia:
    """The windows of a program under Wine as UI Automation shows them, read by WINTEST's walk
    a window at a time. A window's places are fixed, so its last walk serves
    for clicking. Wine's has no box's text to tell."""

    tells_text = False
    ROLES = {50000: "button", 50004: "box", 50030: "box", 50020: "label", 50006: "picture",
             50026: "group"}

    def __init__(self, wintest):
        self.wintest, self.walks = wintest, {}

    pump = staticmethod(lambda: None)

    def elements(self, title, origin, fresh=True):
        if fresh or title not in self.walks:
            walk = subprocess.run(["wine", self.wintest, "walk", title], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=60, stdin=subprocess.DEVNULL)
            if walk.returncode:
                return None
            self.walks[title] = [Element(
                "results" if name == "Results" else self.ROLES.get(int(kind), kind), name,
                tuple(map(int, place.split())),
                description.replace("\\n", "\n"), None, focus != "-", focus == "focused",
                int(kind))
                for kind, name, place, focus, description in
                (line.split("\t") for line in walk.stdout.decode().splitlines())]
        return self.walks[title]

    windows = staticmethod(lambda: "no window of that title")


class Window:
    """A shown window: its X window, and its controls as the tree shows them."""

    def __init__(self, korvex, title, xid):  # korvex: the Korvex it belongs to
        self.korvex, self.title, self.xid = korvex, title, xid

    def origin(self, what=("Absolute upper-left X", "Absolute upper-left Y")):
        """The screen place of the window's own area (or with `what`, its size)."""
        info = run("xwininfo", "-id", self.xid)
        return tuple(int(re.search(r"%s: +(-?\d+)" % w, info).group(1)) for w in what)

    def size(self):
        return self.origin(("Width", "Height"))

    def frame(self):
        """The left, right, top and bottom widths of the window manager's frame."""
        extents = run("xprop", "-id", self.xid, "_NET_FRAME_EXTENTS")
        return [int(n) for n in extents.split("=")[1].split(",")]

    def elements(self, fresh=True):
        found = self.korvex.tree.elements(self.title, self.origin(), fresh)
        if found is None:
            raise Failure("the tree shows no window '%s'" % self.title)
        return found

    def control(self, name, role=None, fresh=True):
        matching = [e for e in self.elements(fresh) if e.name == name and role in (None, e.role)]
        if len(matching) != 1:
            raise Failure("%d elements %s '%s' in '%s'" % (len(matching), role or "", name,
                                                           self.title))
        return matching[0]

    def click(self, name, role="button"):
        x, y, width, height = self.control(name, role, fresh=False).place
        run("xdotool", "mousemove", "--window", self.xid, str(x + width // 2),
            str(y + height // 2), "click", "1")

    def keys(self, *names):
        run("xdotool", "windowfocus", "--sync", self.xid, "key", "--clearmodifiers", *names)

    def type_into(self, name, text):
        """Replaces the text of the box `name`, as a user does: click, select all, type; waits
        for the text where the tree tells it."""
        self.click(name, "box")
        self.keys("ctrl+a")
        run("xdotool", "type", "--delay", "30", text)
        if self.korvex.tree.tells_text:
            wait_until(10, lambda: self.control(name, "box").text == text,
                       "'%s' to hold '%s'" % (name, text), self.korvex.tree.pump)

    def check_title_bar(self):
        """The window asks for a title bar with a close box only, and the window manager
        offers to close it but not to maximise it. (Openbox offers to minimise every window
        it decorates.)"""
        hints = run("xprop", "-id", self.xid, "_MOTIF_WM_HINTS")
        flags, functions, decorations = [int(n, 0) for n in hints.split("=")[1].split(",")[:3]]
        actions = run("xprop", "-id", self.xid, "_NET_WM_ALLOWED_ACTIONS")
        # functions: 0x08 minimise, 0x10 maximise, 0x20 close; decorations: 0x08 title bar,
        # 0x20 minimise box, 0x40 maximise box
        if not (flags & 3 == 3 and functions & 0x38 == 0x20 and decorations & 0x68 == 0x08
                and "_NET_WM_ACTION_CLOSE" in actions
                and "_NET_WM_ACTION_MAXIMIZE" not in actions):
            raise Failure("'%s' does not ask for a close box only: %s %s"
                          % (self.title, hints, actions))

    def screenshot(self, path, unlike=None):
        """Saves the window once it is drawn: two takes in a row the same, showing more than
        one colour, and unlike the picture `unlike` of the state before. Returns `path`."""
        take, last = path + ".take.png", path + ".last.png"

        def drawn():
            run("import", "-window", self.xid, take)
            done = (os.path.exists(last) and same_pixels(take, last)
                    and int(run("identify", "-format", "%k", take)) > 1
                    and (unlike is None or not same_pixels(take, unlike)))
            os.replace(take, path if done else last)
            return done
        wait_until(10, drawn, "'%s' to be drawn for %s" % (self.title, os.path.basename(path)))
        if os.path.exists(last):
            os.remove(last)
        return path


def same_pixels(first, second):
    compared = subprocess.run(["compare", "-metric", "AE", first, second, "null:"],
                              stderr=subprocess.PIPE, text=True, timeout=30)
    return compared.stderr.strip() == "0"


def windows(title, visible=True):
    """The X ids of the (visible) windows of that title. xdotool stops with an X error when a
    window goes while it looks, which is not "none"."""
    for _ in range(20):
        found = subprocess.run(["xdotool", "search", *["--onlyvisible"][:visible], "--name",
                                "^%s$" % re.escape(title)], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, timeout=10)
        if found.returncode == 0 or "X Error" not in found.stderr:
            return found.stdout.split()
        time.sleep(0.1)
    raise Failure("xdotool cannot look for '%s': %s" % (title, found.stderr))


class Korvex:
    """A korvex process, started from `command`, its output going to `log`, its tree read by
    tree_for(its process id)."""

    def __init__(self, command, log, tree_for, wrap=(), **options):
        self.log = log
        with open(log, "w") as output:
            self.process = subprocess.Popen([*wrap, *EMULATOR, *command], stdout=output,
                                            stderr=subprocess.STDOUT, **options)
        self.tree = tree_for(self.process.pid)

    def window(self, title):
        """Waits until the window shows, on the X server and in the tree (for Uia, in the
        window's last walk)."""
        def shown():
            ids = windows(title)
            return ids and self.tree.elements(title, (0, 0), False) is not None and ids[0]
        try:
            return Window(self, title, wait_until(15, shown, "the window '%s' to show" % title,
                                                  self.tree.pump))
        except Failure as failure:
            status = self.process.poll()
            raise Failure("%s (X shows it: %s; the tree shows %s; korvex %s; its output: %r)" % (
                failure, bool(windows(title)), "it" if self.tree.elements(title, (0, 0), False)
                is not None else self.tree.windows(), "is running" if status is None else
                "ended with status %d" % status, open(self.log).read()))

    def gone(self, title, destroyed=False):
        """Waits until no window of that title shows, or with `destroyed` none is left."""
        wait_until(10, lambda: not windows(title, not destroyed), "the window '%s' to go" % title,
                   self.tree.pump)

    def ended(self):
        """Waits for the process to end; fails unless it ended well."""
        try:
            status = self.process.wait(10 * SLOWDOWN)
        except subprocess.TimeoutExpired:
            raise Failure("korvex is still running %d s after Exit" % (10 * SLOWDOWN))
        if status:
            raise Failure("korvex exited with status %d: %s" % (status, open(self.log).read()))

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
