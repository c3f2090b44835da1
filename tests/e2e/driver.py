"""Drives korvex as a user does and reads it as a screen reader does.

Windows are found by title and controls by role and accessible name in the AT-SPI tree. The
pointer and the keys go through the X server with xdotool, to the middle of the rectangle the
tree reports, so a click is still a user's click. Every wait is for a state and has a bound,
five times longer under an emulator (KORVEX_EMULATOR), and says what it waited for.
"""

import os
import re
import shlex
import subprocess
import time

EMULATOR = shlex.split(os.environ.get("KORVEX_EMULATOR", ""))
SLOWDOWN = 5 if EMULATOR else 1


class Failure(Exception):
    pass


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


def run(*command, seconds=20, check=True):
    """Runs a tool to its end within its bound; returns what it printed."""
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True, timeout=seconds * SLOWDOWN)
    except subprocess.TimeoutExpired:
        raise Failure("'%s' did not finish within %d s" % (" ".join(command), seconds * SLOWDOWN))
    if check and done.returncode:
        raise Failure("'%s' failed: %s" % (" ".join(command), done.stderr.strip()))
    return done.stdout


class Element:
    """A control as the tree shows it: role ("button", "box", "label", "picture", "results",
    or another) and AT-SPI's number for it, name, description, text, whether it can take and
    has the focus, and its place in the window's own area."""

    def __init__(self, node, pyatspi, role, place):
        states = node.getState()
        self.role, self.role_number, self.name, self.place = role, int(node.getRole()), \
            node.name, place
        self.description = node.description
        self.text = node.queryText().getText(0, -1) if node.getRole() == pyatspi.ROLE_TEXT \
            else ""
        self.focusable = states.contains(pyatspi.STATE_FOCUSABLE)
        self.focused = states.contains(pyatspi.STATE_FOCUSED)

    def middle(self):
        x, y, width, height = self.place
        return x + width // 2, y + height // 2


class Atspi:
    """The tree of one korvex process on the AT-SPI bus."""

    def __init__(self, pid):
        import pyatspi
        from gi.repository import GLib
        self.pyatspi, self.context = pyatspi, GLib.MainContext.default()
        roles = {pyatspi.ROLE_PUSH_BUTTON: "button", pyatspi.ROLE_TEXT: "box",
                 pyatspi.ROLE_LABEL: "label", pyatspi.ROLE_IMAGE: "picture",
                 pyatspi.ROLE_NOTIFICATION: "results"}
        self.role_name = lambda node: ("results" if node.name == "Results"
                                       else roles.get(node.getRole(), node.getRoleName()))
        self.pid = pid
        self.app = wait_until(30, self.application, "korvex %d on the accessibility bus" % pid,
                              self.pump)

    def pump(self):
        """Delivers the events that keep the tree's cache up to date."""
        while self.context.iteration(False):
            pass

    def application(self):
        for app in self.pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Korvex" and app.get_process_id() == self.pid:
                return app
        return None

    def top(self, title):
        self.pump()
        for top in self.app:
            if (top is not None and top.name == title
                    and top.getState().contains(self.pyatspi.STATE_SHOWING)):
                return top
        return None

    def elements(self, title, origin):
        """Every element of the shown window `title`, placed from `origin`, the screen place
        of the window's own area; None when no such window shows."""
        top = self.top(title)
        if top is None:
            return None
        found = []

        def walk(node):
            for child in node:
                if child is None:
                    continue
                box = child.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
                found.append(Element(child, self.pyatspi, self.role_name(child), (
                    box.x - origin[0], box.y - origin[1], box.width, box.height)))
                walk(child)
        walk(top)
        return found


class Window:
    """A shown window: its X window, and its controls as the tree shows them."""

    def __init__(self, korvex, title, xid):  # korvex: the Korvex it belongs to
        self.korvex, self.title, self.xid = korvex, title, xid

    def origin(self):
        info = run("xwininfo", "-id", self.xid)
        return tuple(int(re.search(r"Absolute upper-left %s: +(-?\d+)" % axis, info).group(1))
                     for axis in "XY")

    def size(self):
        info = run("xwininfo", "-id", self.xid)
        return tuple(int(re.search(r"%s: +(\d+)" % what, info).group(1))
                     for what in ("Width", "Height"))

    def elements(self):
        found = self.korvex.tree.elements(self.title, self.origin())
        if found is None:
            raise Failure("the tree shows no window '%s'" % self.title)
        return found

    def control(self, name, role=None):
        matching = [e for e in self.elements() if e.name == name and role in (None, e.role)]
        if len(matching) != 1:
            raise Failure("%d elements %s '%s' in '%s'" % (len(matching), role or "", name,
                                                           self.title))
        return matching[0]

    def click(self, name, role="button"):
        x, y = self.control(name, role).middle()
        run("xdotool", "mousemove", "--window", self.xid, str(x), str(y), "click", "1")

    def keys(self, *names):
        run("xdotool", "windowfocus", "--sync", self.xid, "key", "--clearmodifiers", *names)

    def type_into(self, name, text):
        """Replaces the text of the box `name`, as a user does: click, select all, type."""
        self.click(name, "box")
        self.keys("ctrl+a")
        run("xdotool", "type", "--delay", "30", text)
        wait_until(10, lambda: self.control(name, "box").text == text,
                   "'%s' to hold '%s'" % (name, text), self.korvex.tree.pump)

    def screenshot(self, path, unlike=None):
        """Saves the window once it is drawn: two takes in a row the same, showing more than
        one colour, and unlike the picture `unlike` of the state before."""
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


def same_pixels(first, second):
    compared = subprocess.run(["compare", "-metric", "AE", first, second, "null:"],
                              stderr=subprocess.PIPE, text=True, timeout=30)
    return compared.stderr.strip() == "0"


def visible_windows(title):
    """The X ids of the visible windows of that title. xdotool stops with an X error when a
    window goes while it looks, which is not "none"."""
    for _ in range(20):
        pattern = re.sub(r"([.^$*+?()\[\]{}|\\])", r"\\\1", title)
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                "^%s$" % pattern], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, timeout=10)
        if found.returncode == 0 or "X Error" not in found.stderr:
            return found.stdout.split()
        time.sleep(0.1)
    raise Failure("xdotool cannot look for '%s': %s" % (title, found.stderr))


class Korvex:
    """A korvex process, started from `command`, its output going to `log`."""

    def __init__(self, command, log, tree_for, wrap=(), **options):
        self.log = log
        with open(log, "w") as output:
            self.process = subprocess.Popen([*wrap, *EMULATOR, *command], stdout=output,
                                            stderr=subprocess.STDOUT, **options)
        self.tree = tree_for(self.process.pid)

    def window(self, title):
        """Waits until the window shows, on the X server and in the tree."""
        def shown():
            ids = visible_windows(title)
            return ids and self.tree.elements(title, (0, 0)) is not None and ids[0]
        return Window(self, title, wait_until(15, shown, "the window '%s' to show" % title,
                                              self.tree.pump))

    def gone(self, title):
        wait_until(10, lambda: not visible_windows(title),
                   "the window '%s' to go" % title, self.tree.pump)

    def ended(self):
        """Waits for the process to end; returns its status."""
        try:
            return self.process.wait(10 * SLOWDOWN)
        except subprocess.TimeoutExpired:
            raise Failure("korvex is still running %d s after Exit" % (10 * SLOWDOWN))

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
