"""Korvex through AT-SPI, as a screen reader sees it.

Run by accessibility.sh inside a D-Bus session with the accessibility bus, on an X display:
    accessibility.py KORVEX_EXECUTABLE WORK_FOLDER
With KORVEX_EMULATOR set ("qemu-aarch64 -L /", say), korvex, built for another machine, runs
under that command, and every wait for korvex has five times its bound.
Part one drives korvex through AT-SPI alone (pyatspi): the role and name of every control
that takes the focus in the three windows, the event that carries the results of a
Calculate, and a box that holds no number. Part two runs Orca with its speech going only to
its debug log, drives korvex from the keyboard and checks what Orca would have said.
"""

import os
import re
import shlex
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

KORVEX, WORK = sys.argv[1], sys.argv[2]
KORVEX_COMMAND = shlex.split(os.environ.get("KORVEX_EMULATOR", "")) + [KORVEX]
SLOWDOWN = 5 if os.environ.get("KORVEX_EMULATOR") else 1
# Where the place of every control goes, for comparing one system's layout with another's.
PLACES_FILE = sys.argv[3] if len(sys.argv) > 3 else None
places = []
REASON = "Invalid entry. Enter a whole number from -32768 to 32767"
RESULT_NUMBERS = ("24", "21", "12", "69")

# Roles are compared as AT-SPI's numbers: their names change between releases of AT-SPI
# ("push button" became "button").
BUTTON, TEXT, IMAGE = pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_IMAGE

# Role and name of every control that takes the focus, window by window.
FOCUSABLE = {
    "Korvex ": [
        (BUTTON, "Calculate"),
        (IMAGE, "Korvex banner"),
        (TEXT, "Connection length C"),
        (TEXT, "Rows M"),
        (TEXT, "Columns N"),
        (BUTTON, "Clear"),
        (BUTTON, "Exit"),
        (BUTTON, "Info"),
        (BUTTON, "Output.txt"),
    ],
    "Output.txt": [
        (BUTTON, "View Output "),
        (BUTTON, "Delete Output"),
        (BUTTON, "Return"),
        (TEXT, "Notes"),
    ],
    "About Korvex": [
        (BUTTON, "OK"),
        (IMAGE, "Korvex icon"),
    ],
}

failures = []


def check(condition, message):
    print(("ok:     " if condition else "FAILED: ") + message, flush=True)
    if not condition:
        failures.append(message)


def deliver_events():
    """Delivers the AT-SPI events that have arrived."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def pump(seconds, until):
    """Delivers AT-SPI events until `until()` holds, for up to `seconds` (times the emulator's
    slowdown); returns whether it held."""
    deadline = time.monotonic() + seconds * SLOWDOWN
    while True:
        deliver_events()
        if until():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.02)


def wait_until(seconds, until, what):
    """As pump(), but a condition that does not come to hold ends the test, saying what it
    waited for."""
    if not pump(seconds, until):
        raise TimeoutError("waited %d s for %s" % (seconds * SLOWDOWN, what))


def synchronise(node):
    """Returns once every event that korvex sent before answering a call on `node` has been
    delivered: korvex answers in order, and the bus keeps the order."""
    node.getState()
    deliver_events()


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def korvex_application(pid=None):
    """Korvex on the bus; with `pid`, the one that process runs."""
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Korvex" and pid in (None, app.get_process_id()):
            return app
    return None


def window(app, title):
    for top in app:
        if top is not None and top.name == title:
            return top
    return None


def showing(app, title):
    top = window(app, title)
    return top is not None and top.getState().contains(pyatspi.STATE_SHOWING)


def wait_for_window(app, title):
    wait_until(10, lambda: showing(app, title), "the window '%s' to show" % title)
    return window(app, title)


def focusable(top):
    return [node for node in walk(top)
            if node.getState().contains(pyatspi.STATE_FOCUSABLE)
            and node.getState().contains(pyatspi.STATE_SHOWING)]


def control(top, role, name):
    for node in walk(top):
        if node.getRole() == role and node.name == name:
            return node
    raise LookupError("no %s '%s' in %s" % (role, name, top.name))


def press(button):
    button.queryAction().doAction(0)


def type_into(box, text):
    box.queryEditableText().setTextContents(text)


def check_controls(top):
    nodes = focusable(top)
    found = [(node.getRole(), node.name) for node in nodes]
    print("  window '%s' (%s):" % (top.name, top.getRoleName()))
    for node in nodes:
        print("    %-12s %r" % (node.getRoleName(), node.name))
    expected = FOCUSABLE[top.name]
    check(sorted(found) == sorted(expected),
          "'%s' has the focusable controls %s" % (top.name, expected))
    # Relative to the window's own place on the screen: Qt 6.4 gives no window coordinates
    # for a second window.
    window_extents = top.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for node in walk(top):
        extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        places.append("%s | %s | %r | %d %d %d %d" % (
            top.name, int(node.getRole()), node.name, extents.x - window_extents.x,
            extents.y - window_extents.y, extents.width, extents.height))


def start(command, log_name, **options):
    log = open(os.path.join(WORK, log_name), "w")
    return subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, **options)


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def through_atspi():
    korvex = start(KORVEX_COMMAND, "korvex-atspi.log", cwd=WORK)
    try:
        pump(30, lambda: korvex_application() is not None)
        app = korvex_application()
        check(app is not None, "korvex appears on the accessibility bus")
        if app is None:
            print("  applications on the bus: %r"
                  % [a.name for a in pyatspi.Registry.getDesktop(0) if a is not None])
            print("  korvex %s" % ("is running" if korvex.poll() is None else "has ended"))
            return
        main = wait_for_window(app, "Korvex ")
        check_controls(main)

        announced = []

        # The results come as an announcement where Qt can make one, and elsewhere as a
        # notification that appears.
        def heard(event):
            try:
                if event.type == "object:announcement":
                    announced.append((event.type, event.source.name, str(event.any_data)))
                elif event.source.getRole() == pyatspi.ROLE_NOTIFICATION and event.detail1:
                    announced.append((event.type, event.source.name, event.source.description))
            except Exception:  # the source may be gone already
                pass

        events = ("object:state-changed:showing", "object:announcement")
        pyatspi.Registry.registerEventListener(heard, *events)
        type_into(control(main, TEXT, "Rows M"), "6")
        type_into(control(main, TEXT, "Columns N"), "7")
        type_into(control(main, TEXT, "Connection length C"), "4")
        calculate = control(main, BUTTON, "Calculate")
        press(calculate)
        pump(3, lambda: announced)

        # A second announcement of the same Calculate would come before anything korvex does
        # after it, such as describing a box.
        rows = control(main, TEXT, "Rows M")
        type_into(rows, "abc")
        pump(3, lambda: rows.description == REASON)
        synchronise(rows)
        for event in announced:
            print("  event %s from %r: %r" % event)
        check(len(announced) == 1
              and all(re.search(r"\b%s\b" % n, announced[0][2]) for n in RESULT_NUMBERS),
              "one announcement or notification after Calculate, with 24, 21, 12 and 69")
        print("  box %r holding %r: states %s, description %r"
              % (rows.name, rows.queryText().getText(0, -1),
                 [pyatspi.stateToString(s) for s in rows.getState().getStates()],
                 rows.description))
        check(rows.description == REASON, "the box holding abc gives the reason '%s'" % REASON)
        type_into(rows, "6")
        pump(3, lambda: rows.description == "")
        check(rows.description == "", "the box holding 6 gives no reason")
        type_into(rows, "abc")
        wait_until(3, lambda: rows.description == REASON, "the box holding abc to say why")

        announced.clear()
        press(calculate)
        box = wait_for_window(app, "Korvex")
        check(any(node.name == "You Must enter values!!" for node in walk(box)),
              "a refused Calculate shows the message box")
        press(control(box, BUTTON, "OK"))
        wait_until(10, lambda: not showing(app, "Korvex"), "the message box to close")
        synchronise(main)
        check(not announced, "a refused Calculate announces no results")

        press(control(main, BUTTON, "Output.txt"))
        check_controls(wait_for_window(app, "Output.txt"))
        press(control(main, BUTTON, "Info"))
        check_controls(wait_for_window(app, "About Korvex"))
        pyatspi.Registry.deregisterEventListener(heard, *events)
    finally:
        stop(korvex)


# Orca's own settings: its defaults, but no speech server, so that nothing is voiced and
# every utterance still goes to the debug log.
ORCA_SETTINGS = """{
    "general": {"speechServerFactory": "", "enableSpeech": true,
                "startingProfile": ["Default", "default"],
                "activeProfile": ["Default", "default"]},
    "profiles": {"default": {"profile": ["Default", "default"],
                             "speechServerFactory": "", "enableSpeech": true}},
    "pronunciations": {},
    "keybindings": {}
}"""


# Orca writes its debug log through Python's block buffer, so that what it says would show
# only in blocks. Loaded into Orca's Python alone, this makes that one file line-buffered:
# each utterance can be waited for as Orca says it.
LINE_BUFFERED_LOG = """
import builtins, os
_open = builtins.open
def _open_log_line_buffered(file, mode="r", buffering=-1, *args, **kwargs):
    if file == os.environ.get("KORVEX_ORCA_LOG") and "w" in mode:
        buffering = 1
    return _open(file, mode, buffering, *args, **kwargs)
builtins.open = _open_log_line_buffered
"""


class Speech:
    """What Orca says, read from its debug log as it writes it: one text per utterance."""

    HEAD = re.compile(r"^\d\d:\d\d:\d\d\.\d+ - SPEECH OUTPUT: '")

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.partial = b""
        self.logged = []  # as logged, an utterance's lines joined
        self.continued = False

    def utterances(self):
        try:
            with open(self.path, "rb") as log:
                log.seek(self.offset)
                data = log.read()
        except FileNotFoundError:
            data = b""
        self.offset += len(data)
        *lines, self.partial = (self.partial + data).split(b"\n")
        for line in (raw.decode(errors="replace") for raw in lines):
            head = self.HEAD.match(line)
            if head:
                self.logged.append(line[head.end():])
                self.continued = True
            elif self.continued and line.startswith(" " * 18):
                self.logged[-1] += "\n" + line[18:]
            else:
                self.continued = False
        return [text_only(logged) for logged in self.logged]

    def wait_for(self, seconds, condition, what, since=0):
        """Waits until an utterance from number `since` on meets the condition; says what it
        waited for when none does in time."""
        if pump(seconds, lambda: any(map(condition, self.utterances()[since:]))):
            return True
        print("  waited %d s for Orca to say %s" % (seconds * SLOWDOWN, what))
        return False


def text_only(logged):
    """The utterance without the voice settings that Orca logs after its closing quote."""
    logged = logged.rstrip()
    if logged.endswith("}"):
        depth = 0
        for i in range(len(logged) - 1, -1, -1):
            depth += {"}": 1, "{": -1}.get(logged[i], 0)
            if depth == 0:
                logged = logged[:i].rstrip()
                break
    elif logged.endswith("None"):
        logged = logged[:-4].rstrip()
    logged = re.sub(r" voice=\S+$", "", logged)
    return logged[:-1] if logged.endswith("'") else logged


def has_results(utterance):
    return all(re.search(r"\b%s\b" % n, utterance) for n in RESULT_NUMBERS)


def keys(*names):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *names], check=True, timeout=10)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "100", text], check=True, timeout=10)


def focused(top):
    """The name of the control of the window that has the focus, or None."""
    for node in walk(top):
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            return node.name
    return None


def with_orca():
    others = subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"],
                            stdout=subprocess.PIPE).stdout.split()
    if others:
        print("skipped the Orca part: Orca refuses to start beside another Orca of this user")
        return
    settings = os.path.join(WORK, "orca")
    os.makedirs(settings)
    with open(os.path.join(settings, "user-settings.conf"), "w") as file:
        file.write(ORCA_SETTINGS)
    hook = os.path.join(WORK, "orca-python")
    os.makedirs(hook)
    with open(os.path.join(hook, "sitecustomize.py"), "w") as file:
        file.write(LINE_BUFFERED_LOG)
    log = os.path.join(WORK, "orca-debug.log")
    orca = start(["orca", "--user-prefs", settings, "--debug-file", log], "orca.log",
                 env=dict(os.environ, PYTHONPATH=hook, KORVEX_ORCA_LOG=log))
    speech = Speech(log)
    korvex = None
    steps = []  # (name, the number of utterances when it began)

    def step(name):
        steps.append((name, len(speech.utterances())))

    def focus_to(name):
        wait_until(10, lambda: focused(main) == name, "the focus to come to '%s'" % name)

    def typed(name, text):
        box = control(main, TEXT, name)
        wait_until(10, lambda: box.queryText().getText(0, -1) == text,
                   "'%s' to hold '%s'" % (name, text))

    try:
        check(speech.wait_for(30, lambda text: text.startswith("Screen reader on"),
                              "'Screen reader on'"), "Orca runs")
        korvex = start(KORVEX_COMMAND, "korvex-orca.log", cwd=WORK)
        wait_until(30, lambda: korvex_application(korvex.pid) is not None, "korvex on the bus")
        app = korvex_application(korvex.pid)
        main = wait_for_window(app, "Korvex ")
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                str(korvex.pid), "--name", "^Korvex $"],
                               stdout=subprocess.PIPE, text=True, timeout=15).stdout.split()
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=True, timeout=5)
        focus_to("Calculate")
        speech.wait_for(10, lambda text: "Calculate" in text, "the focused 'Calculate'")
        # The tab order runs Calculate, picture, C, M, N.
        step("typing 4, 6, 7")
        keys("Tab", "Tab")
        focus_to("Connection length C")
        keys("ctrl+a")
        type_text("4")
        typed("Connection length C", "4")
        keys("Tab")
        focus_to("Rows M")
        keys("ctrl+a")
        type_text("6")
        typed("Rows M", "6")
        keys("Tab")
        focus_to("Columns N")
        keys("ctrl+a")
        type_text("7")
        typed("Columns N", "7")
        keys("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab")
        focus_to("Calculate")
        step("Calculate")
        keys("space")
        speech.wait_for(10, has_results, "the results", since=steps[-1][1])
        focus_after_results = focused(main)
        step("typing abc into Rows M")
        keys("Tab", "Tab", "Tab")
        focus_to("Rows M")
        keys("ctrl+a")
        type_text("abc")
        typed("Rows M", "abc")
        keys("shift+Tab", "shift+Tab", "shift+Tab")
        focus_to("Calculate")
        step("refused Calculate")
        keys("space")
        speech.wait_for(10, lambda text: "You Must enter values!!" in text,
                        "the message box's text", since=steps[-1][1])
        step("closing the message box and going to Rows M")
        keys("Return")
        wait_until(10, lambda: not showing(app, "Korvex"),
                   "the message box to close")
        # Without a window manager nobody gives the focus back to the main window.
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=True, timeout=5)
        keys("Tab", "Tab", "Tab")
        focus_to("Rows M")
        speech.wait_for(10, lambda text: REASON in text, "why 'Rows M' holds no number",
                        since=steps[-1][1])
    finally:
        for process in (korvex, orca):
            if process is not None:
                stop(process)

    said = speech.utterances()
    heard = {}
    for (name, begin), (_, end) in zip(steps, steps[1:] + [(None, len(said))]):
        heard[name] = said[begin:end]
        print("  Orca while %s: %r" % (name, heard[name]))
    # Speech of the same Calculate that came late would be heard while typing abc.
    results = heard.get("Calculate", [])
    late = heard.get("typing abc into Rows M", [])
    check(any(map(has_results, results)) and sum(map(has_results, results + late)) == 1
          and focus_after_results == "Calculate",
          "Orca speaks the results once after Calculate, the focus staying on it")
    refused = heard.get("refused Calculate", [])
    check("You Must enter values!!" in refused and not any(map(has_results, refused)),
          "Orca reads the message box of a refused Calculate and no old results")
    check(any(REASON in text
              for text in heard.get("closing the message box and going to Rows M", [])),
          "Orca gives the reason when the focus comes to the box holding abc")


def main():
    through_atspi()
    if PLACES_FILE:
        with open(PLACES_FILE, "w") as file:
            file.write("".join(line + "\n" for line in places))
    with_orca()
    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)


main()
