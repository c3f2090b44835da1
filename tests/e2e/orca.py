"""What Orca says while a user computes 6, 7, 4 from the keyboard, read from its debug log.

usage: orca.py KORVEX    (in session.sh's session)
Orca runs with its defaults but no speech server, so that nothing is voiced and every
utterance still goes to its debug log; korvex is driven from the keyboard, as a screen-reader
user drives it, and each step waits for the focus, the text or the speech it needs.
"""

import os
import re
import subprocess
import sys

from driver import Atspi, Failure, Korvex, run, wait_until

KORVEX, WORK = os.path.abspath(sys.argv[1]), os.environ["WORK"]
REASON = "Invalid entry. Enter a whole number from -32768 to 32767"
RESULT_NUMBERS = ("24", "21", "12", "69")
failures = []


def check(condition, message):
    print(("ok:     " if condition else "FAILED: ") + message, flush=True)
    if not condition:
        failures.append(message)


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
        try:
            return wait_until(seconds, lambda: any(map(condition, self.utterances()[since:])),
                              "Orca to say " + what)
        except Failure as failure:
            print("  %s" % failure)
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
    run("xdotool", "key", "--clearmodifiers", *names)


def type_text(text):
    run("xdotool", "type", "--delay", "100", text)


def focused(window):
    """The name of the control of the window that has the focus, or None."""
    return next((e.name for e in window.elements() if e.focused), None)


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
    with open(os.path.join(WORK, "orca.log"), "w") as output:
        orca = subprocess.Popen(["orca", "--user-prefs", settings, "--debug-file", log],
                                stdout=output, stderr=subprocess.STDOUT,
                                env=dict(os.environ, PYTHONPATH=hook, KORVEX_ORCA_LOG=log))
    speech = Speech(log)
    korvex = None
    steps = []  # (name, the number of utterances when it began)

    def step(name):
        steps.append((name, len(speech.utterances())))

    def focus_to(name):
        wait_until(10, lambda: focused(main) == name, "the focus to come to '%s'" % name,
                   korvex.tree.pump)

    def typed(name, text):
        wait_until(10, lambda: main.control(name, "box").text == text,
                   "'%s' to hold '%s'" % (name, text), korvex.tree.pump)

    try:
        check(speech.wait_for(30, lambda text: text.startswith("Screen reader on"),
                              "'Screen reader on'"), "Orca runs")
        korvex = Korvex([KORVEX], os.path.join(WORK, "korvex-orca.log"), Atspi, cwd=WORK)
        main = korvex.window("Korvex ")
        run("xdotool", "windowfocus", "--sync", main.xid)
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
        korvex.gone("Korvex")
        run("xdotool", "windowfocus", "--sync", main.xid)
        # The focus comes back to Calculate; keys pressed before it has would race Orca's
        # reading of each control, so each Tab waits for the focus it brings.
        focus_to("Calculate")
        for name in ("Korvex banner", "Connection length C", "Rows M"):
            keys("Tab")
            focus_to(name)
        speech.wait_for(10, lambda text: REASON in text, "why 'Rows M' holds no number",
                        since=steps[-1][1])
    finally:
        if korvex is not None:
            korvex.stop()
        orca.terminate()
        try:
            orca.wait(5)
        except subprocess.TimeoutExpired:
            orca.kill()

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



if __name__ == "__main__":
    try:
        with_orca()
    except Failure as failure:
        check(False, str(failure))
    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)
