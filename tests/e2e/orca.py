"""What Orca says while a user computes 6, 7, 4 from the keyboard, read from its debug log.

usage: orca.py KORVEX    (in session.sh's session)
Orca runs with its defaults but no speech server, so that nothing is voiced and every
utterance still goes to its debug log; korvex is driven from the keyboard, as a screen-reader
user drives it, and each step waits for the focus, the text or the speech it needs.
"""

import json
import os
import re
import subprocess
import sys

from driver import Atspi, Failure, Korvex, run, wait_until
from story import REASON, has_results

KORVEX, WORK = os.path.abspath(sys.argv[1]), os.environ["WORK"]
LOG = os.path.join(WORK, "orca-debug.log")
FORGETS = "GENERATOR: Clearing cache."
DEFAULT = {"speechServerFactory": "", "enableSpeech": True, "profile": ["Default", "default"]}
SETTINGS = {"general": dict(DEFAULT, startingProfile=DEFAULT["profile"],
                            activeProfile=DEFAULT["profile"]),
            "profiles": {"default": DEFAULT}, "pronunciations": {}, "keybindings": {}}
# Orca writes its debug log through Python's block buffer, so that what it says would show only
# in blocks. Loaded into Orca's Python alone, this makes that one file line-buffered: each
# utterance can be waited for as Orca says it.
LINE_BUFFERED_LOG = """
import builtins, os
_open = builtins.open
def _open_log_line_buffered(file, mode="r", buffering=-1, *args, **kwargs):
    if file == os.environ.get("KORVEX_ORCA_LOG") and "w" in mode:
        buffering = 1
    return _open(file, mode, buffering, *args, **kwargs)
builtins.open = _open_log_line_buffered
"""


def log():
    return open(LOG, errors="replace").read() if os.path.exists(LOG) else ""


def said():
    """Orca's utterances so far, without the voice settings it logs after the closing quote;
    an utterance's further lines are indented by 18."""
    text = log()
    return re.findall(r"SPEECH OUTPUT: '(.*?)'(?: voice=\S+| ?\{[^\n]*\}| None)?$",
                      re.sub(r"\n {18}", "\n", text), re.M | re.S)


def with_orca():
    settings = os.path.join(WORK, "orca")
    hook = os.path.join(WORK, "orca-python")
    for folder, name, text in ((settings, "user-settings.conf", json.dumps(SETTINGS)),
                               (hook, "sitecustomize.py", LINE_BUFFERED_LOG)):
        os.makedirs(folder)
        with open(os.path.join(folder, name), "w") as file:
            file.write(text)
    with open(os.path.join(WORK, "orca.log"), "w") as output:
        orca = subprocess.Popen(["orca", "--user-prefs", settings, "--debug-file", LOG],
                                stdout=output, stderr=subprocess.STDOUT,
                                env=dict(os.environ, PYTHONPATH=hook, KORVEX_ORCA_LOG=LOG))
    korvex, steps = None, []  # (name, the number of utterances when it began)

    def hear(what, condition, seconds=10, begin=None):
        """Waits for an utterance since `begin`, or since the step began."""
        begin = begin if begin is not None else steps[-1][1] if steps else 0
        try:
            wait_until(seconds, lambda: any(map(condition, said()[begin:])), "Orca to say " + what)
        except Failure as failure:
            raise Failure("%s; it said %r" % (failure, said()[begin:])) from None

    def keys(*names, focus=None):
        """Presses the keys; waits for the focus they bring and for Orca to read it out, as a
        screen-reader user waits before going on. Keys pressed before Orca has come to the
        control would race its reading of it."""
        begin = len(said()) if names else None
        run("xdotool", "key", "--clearmodifiers", *names) if names else None
        if focus:
            wait_until(10, lambda: focused() == focus, "the focus to come to '%s'" % focus,
                       korvex.tree.pump)
            hear("the focused '%s'" % focus, lambda text: focus in text, begin=begin)

    def focused():
        return next((e.name for e in main.elements() if e.focused), None)

    def type_in(name, text):
        keys("ctrl+a")
        run("xdotool", "type", "--delay", "100", text)
        wait_until(10, lambda: main.control(name, "box").text == text,
                   "'%s' to hold '%s'" % (name, text), korvex.tree.pump)

    try:
        hear("'Screen reader on'", lambda text: text.startswith("Screen reader on"), 30)
        korvex = Korvex([KORVEX], os.path.join(WORK, "korvex-orca.log"), Atspi, cwd=WORK)
        main = korvex.window("Korvex ")
        run("xdotool", "windowfocus", "--sync", main.xid)
        keys(focus="Calculate")
        # The tab order runs Calculate, picture, C, M, N.
        steps.append(("typing 4, 6, 7", len(said())))
        for tabs, name, text in ((2, "Connection length C", "4"), (1, "Rows M", "6"),
                                 (1, "Columns N", "7")):
            keys(*["Tab"] * tabs, focus=name)
            type_in(name, text)
        keys(*["shift+Tab"] * 4, focus="Calculate")
        steps.append(("Calculate", len(said())))
        keys("space")
        hear("the results", has_results)
        focus_after_results = focused()
        steps.append(("typing abc into Rows M", len(said())))
        keys("Tab", "Tab", "Tab", focus="Rows M")
        type_in("Rows M", "abc")
        # An Orca that keeps what it has made of each control's description forgets it all
        # every 2 s, and logs that: until then, the box would be read with the description it
        # had before abc, none. Such an Orca reads a new description out as it comes.
        if FORGETS in log():
            hear("why 'Rows M' holds no number as it comes to hold abc",
                 lambda text: REASON in text)
            forgotten = log().count(FORGETS)
            wait_until(5, lambda: log().count(FORGETS) > forgotten,
                       "Orca to forget the description 'Rows M' had before abc")
        keys(*["shift+Tab"] * 3, focus="Calculate")
        steps.append(("refused Calculate", len(said())))
        keys("space")
        hear("the message box's text", lambda text: "You Must enter values!!" in text)
        steps.append(("closing the message box and going to Rows M", len(said())))
        keys("Return")
        korvex.gone("Korvex")
        run("xdotool", "windowfocus", "--sync", main.xid)
        keys(focus="Calculate")
        for name in ("Korvex banner", "Connection length C", "Rows M"):
            keys("Tab", focus=name)
        hear("why 'Rows M' holds no number", lambda text: REASON in text)
    finally:
        if korvex is not None:
            korvex.stop()
        orca.terminate()
        try:
            orca.wait(5)
        except subprocess.TimeoutExpired:
            orca.kill()

    heard = {}
    for (name, begin), (_, end) in zip(steps, steps[1:] + [(None, len(said()))]):
        heard[name] = said()[begin:end]
        print("  Orca while %s: %r" % (name, heard[name]))
    # Speech of the same Calculate that came late would be heard while typing abc.
    results = heard["Calculate"]
    late = heard["typing abc into Rows M"]
    failed = [message for condition, message in (
        (sum(map(has_results, results + late)) == 1 and focus_after_results == "Calculate",
         "Orca speaks the results once after Calculate, the focus staying on it"),
        ("You Must enter values!!" in heard["refused Calculate"]
         and not any(map(has_results, heard["refused Calculate"])),
         "Orca reads the message box of a refused Calculate and no old results"),
        (any(REASON in text for text in heard["closing the message box and going to Rows M"]),
         "Orca gives the reason when the focus comes to the box holding abc")) if not condition]
    if failed:
        raise Failure("; ".join(failed))


if __name__ == "__main__":
    try:
        with_orca()
    except Failure as failure:
        sys.exit("FAILED: %s" % failure)
    print("ok: Orca speaks the results once, reads a refused Calculate's message and no old "
          "results, and gives the reason a box holds no number")
