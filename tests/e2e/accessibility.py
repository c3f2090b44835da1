"""Korvex through AT-SPI, as a screen reader sees it.

Run by accessibility.sh inside a D-Bus session with the accessibility bus, on an X display:
    accessibility.py KORVEX_EXECUTABLE WORK_FOLDER
With KORVEX_EMULATOR set ("qemu-aarch64 -L /", say), korvex, built for another machine, runs
under that command.
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


def pump(seconds, until=lambda: False):
    """Delivers AT-SPI events for up to `seconds`, or until `until()` holds."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        while context.iteration(False):
            pass
        time.sleep(0.02)
    return until()


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def korvex_application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Korvex":
            return app
    return None


def window(app, title):
    for top in app:
        if top is not None and top.name == title:
            return top
    return None


def wait_for_window(app, title):
    pump(10, lambda: (w := window(app, title)) is not None
         and w.getState().contains(pyatspi.STATE_SHOWING))
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
        pump(0.5)
        for event in announced:
            print("  event %s from %r: %r" % event)
        check(len(announced) == 1
              and all(re.search(r"\b%s\b" % n, announced[0][2]) for n in RESULT_NUMBERS),
              "one announcement or notification after Calculate, with 24, 21, 12 and 69")

        rows = control(main, TEXT, "Rows M")
        type_into(rows, "abc")
        pump(0.3)
        print("  box %r holding %r: states %s, description %r"
              % (rows.name, rows.queryText().getText(0, -1),
                 [pyatspi.stateToString(s) for s in rows.getState().getStates()],
                 rows.description))
        check(rows.description == REASON, "the box holding abc gives the reason '%s'" % REASON)
        type_into(rows, "6")
        pump(0.3)
        check(rows.description == "", "the box holding 6 gives no reason")
        type_into(rows, "abc")

        announced.clear()
        press(calculate)
        box = wait_for_window(app, "Korvex")
        check(box is not None and any(node.name == "You Must enter values!!"
                                      for node in walk(box)),
              "a refused Calculate shows the message box")
        pump(0.5)
        check(not announced, "a refused Calculate announces no results")
        if box is not None:
            press(control(box, BUTTON, "OK"))

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


def orca_utterances(path):
    """What Orca said, from its debug log: (seconds since midnight, text) per utterance."""
    said = []
    current = None
    for line in open(path, errors="replace").read().splitlines():
        head = re.match(r"^(\d\d):(\d\d):(\d\d\.\d+) - SPEECH OUTPUT: '", line)
        if head:
            hours, minutes, seconds = head.groups()
            current = [int(hours) * 3600 + int(minutes) * 60 + float(seconds), line[head.end():]]
            said.append(current)
        elif current is not None and line.startswith(" " * 18):
            current[1] += "\n" + line[18:]
        else:
            current = None
    return [(when, text_only(logged)) for when, logged in said]


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


def clock():
    """Seconds since midnight, local time, as Orca stamps its log."""
    now = time.localtime()
    return now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec + time.time() % 1


def has_results(utterance):
    return all(re.search(r"\b%s\b" % n, utterance) for n in RESULT_NUMBERS)


def keys(*names):
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True, timeout=5)
        time.sleep(0.4)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "100", text], check=True, timeout=5)
    time.sleep(0.4)


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
    log = os.path.join(WORK, "orca-debug.log")
    orca = start(["orca", "--user-prefs", settings, "--debug-file", log], "orca.log")
    korvex = None
    steps = []  # (name, clock() when it began)
    try:
        # Orca writes its log in blocks, so what it says is read only once it has ended;
        # its start-up alone fills enough of them to show that it is ready.
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and orca.poll() is None:
            if os.path.exists(log) and "SPEECH OUTPUT: 'Screen reader on" in open(log).read():
                break
            time.sleep(0.2)
        time.sleep(1)
        korvex = start(KORVEX_COMMAND, "korvex-orca.log", cwd=WORK)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                str(korvex.pid), "--name", "^Korvex $"],
                               stdout=subprocess.PIPE, text=True, timeout=15).stdout.split()
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=True, timeout=5)
        time.sleep(1.5)
        # The tab order runs Calculate, picture, C, M, N.
        steps.append(("typing 4, 6, 7", clock()))
        keys("Tab", "Tab", "ctrl+a")
        type_text("4")
        keys("Tab", "ctrl+a")
        type_text("6")
        keys("Tab", "ctrl+a")
        type_text("7")
        keys("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab")
        steps.append(("Calculate", clock()))
        keys("space")
        time.sleep(1.5)
        steps.append(("typing abc into Rows M", clock()))
        keys("Tab", "Tab", "Tab", "ctrl+a")
        type_text("abc")
        keys("shift+Tab", "shift+Tab", "shift+Tab")
        steps.append(("refused Calculate", clock()))
        keys("space")
        time.sleep(1.5)
        steps.append(("closing the message box and going to Rows M", clock()))
        keys("Return")
        # Without a window manager nobody gives the focus back to the main window.
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=True, timeout=5)
        time.sleep(1)
        keys("Tab", "Tab", "Tab")
        time.sleep(1)
    finally:
        for process in (korvex, orca):
            if process is not None:
                stop(process)

    said = orca_utterances(log)
    check(any(text.startswith("Screen reader on") for _, text in said), "Orca runs")
    heard = {}
    for (name, begin), end in zip(steps, [s[1] for s in steps[1:]] + [float("inf")]):
        heard[name] = [text for when, text in said if begin <= when < end]
        print("  Orca while %s: %r" % (name, heard[name]))
    results = heard.get("Calculate", [])
    check(sum(map(has_results, results)) == 1,
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
