"""korvex.exe under Wine in a new prefix, driven through UI Automation (WINTEST's walk).

usage (in tests/e2e/session.sh --wine's session): wine.py MODE KORVEX WINTEST SHOTS ARGUMENT...
  e2e APPENDRECORDS: the user's path (tests/e2e/story.py), every caption drawn whole
      as Windows draws it; then two processes append 500 records each at once, and a full disk
      cuts an append short.
  scaled PERCENT...: at each display scaling, the main window grown with it, its
      captions and the printed numbers whole, the record logged, the three windows as laid out.
  msi MSI VERSION CMAKE MSI_DEFINITIONS LATER_VERSION: installed as a script would (msiexec
      /qn), twice, then a later version over it; the installed korvex.exe calculating and
      deleting the log; uninstalled. The installer makes an empty C:/output.txt where there is
      none and never changes one; no component holds it, so deleting it starts no repair; all
      else it put on the disk or in the registry goes.
"""

import os
import re
import resource
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from driver import Failure, Korvex, Uia, need, run, wait_until  # noqa: E402
from story import (RECORD, RESULTS, calculate_6_7_4, check, check_tree, dismiss_message,  # noqa
                   layout, story, step, type_6_7_4)

MODE, KORVEX, WINTEST, SHOTS, *ARGUMENTS = sys.argv[1:]
WORK = os.environ["WORK"]
PREFIX = os.path.join(WORK, "wine")
LOG = os.path.join(PREFIX, "drive_c", "output.txt")


def server(*arguments):
    """Runs wineserver. (One that stays keeps whatever it was given as its output.)"""
    subprocess.run(["wineserver", *arguments], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)


def start(command, name="korvex", tree=None):
    """Starts a program; its windows are read by `tree`, shared by the runs of one display
    scaling, or else one of its own."""
    return Korvex(["wine", command], os.path.join(WORK, name + ".log"),
                  lambda _: tree or Uia(WINTEST))


def pbm(text):
    """The width, height and bits of a plain PBM."""
    tokens = re.sub(r"#.*", "", text).split()
    return int(tokens[1]), int(tokens[2]), "".join(tokens[3:])


class Ink:
    """Text on the screen read back by comparing its ink with GDI's drawings of it in MS Sans
    Serif (WINTEST's draw)."""

    def __init__(self):
        self.drawings = {}

    def draw(self, *texts):  # those not drawn yet, in one run
        texts = [t for t in dict.fromkeys(texts) if t not in self.drawings]
        for line in run("wine", WINTEST, "draw", "MS Sans Serif", *texts,
                        seconds=120).splitlines() if texts else []:
            n, height, width, ink_height, bits = line.split()
            self.drawings.setdefault(texts[int(n) - 1], {})[int(height)] = (
                int(width), int(ink_height), bits)

    def of(self, shot, place, trim=True):
        """The dark pixels of that part of the screenshot, cut to their ink. (The white border
        keeps -trim from taking a row of ink along an edge for one of the background.)"""
        cut = ["-bordercolor", "white", "-border", "1", "-trim", "+repage"] if trim else []
        return pbm(run("convert", shot, "-crop", "%dx%d+%d+%d" % (place[2:] + place[:2]),
                       "+repage", "-colorspace", "Gray", "-threshold", "30%", *cut,
                       "-compress", "none", "pbm:-"))

    def whole(self, ink, text, percent, pixels):
        """At 100 % the ink is TEXT as GDI draws it at some size, every pixel. Scaled, Qt draws
        it smoothed at a size with no bitmap face: it must be as wide and high as GDI's drawing
        at PIXELS, scaled, within a tenth; a letter cut off or missing makes it narrower."""
        self.draw(text)
        if ink in self.drawings[text].values():
            return True
        expected = self.drawings[text][pixels][:2]
        print("'%s' at %d %%: %dx%d of ink, GDI's at 100 %% %dx%d" % ((text, percent) + ink[:2]
                                                                      + expected))
        return percent != 100 and all(
            abs(size - e * percent / 100) <= e * percent / 1000 + 0.1
            for size, e in zip(ink[:2], expected))


def captions_whole(ink, window, shot, percent=100, *also):
    """Every button's caption, inside its bevel and focus rectangle, is drawn whole in 11
    pixels. (GDI draws the texts `also` in the same run.)"""
    buttons = [e for e in window.elements(fresh=False) if e.role == "button"]
    ink.draw(*(e.name.rstrip() for e in buttons), *also)
    inset = -(-5 * percent // 100)
    for e in buttons:
        x, y, width, height = e.place
        caption = ink.of(shot, (x + inset, y + inset, width - 2 * inset, height - 2 * inset))
        check(ink.whole(caption, e.name.rstrip(), percent, 11),
              "the caption '%s' is not drawn whole: %dx%d of ink" % ((e.name,) + caption[:2]))


def numbers_printed(ink, shot, percent, width, height):
    """The lines printed within WIDTH x HEIGHT at the top left end in the results, a line each,
    every digit drawn whole in 16 pixels (one at a time: Qt and GDI may round the advance from
    one digit to the next apart). A line's number is its last ink after a gap of WIDTH / 10."""
    bits = ink.of(shot, (0, 0, width, height), trim=False)[2]
    rows = [bits[y * width:(y + 1) * width] for y in range(height)] + [""]
    tops = [y for y in range(height) if "1" in rows[y] and "1" not in rows[y - 1]]
    lines = [(top, next(y for y in range(top, height + 1) if "1" not in rows[y])) for top in tops]
    check(len(lines) == len(RESULTS), "%d printed lines, not %d" % (len(lines), len(RESULTS)))
    for (top, bottom), number in zip(lines, RESULTS):
        inked = "".join("1" if any(row[x] == "1" for row in rows[top:bottom]) else "0"
                        for x in range(width))
        gap = "0" * (width // 10 + 1)
        start = inked.rfind(gap, 0, len(inked.rstrip("0")))
        left = start + len(gap) if start >= 0 else inked.find("1")
        digits = [(left + m.start(), top, len(m[0]), bottom - top)
                  for m in re.finditer("1+", inked[left:])]
        check(len(digits) == len(number), "the printed %s has %d digits" % (number, len(digits)))
        for digit, place in zip(number, digits):
            check(ink.whole(ink.of(shot, place), digit, percent, 16),
                  "the %s of the printed %s is not drawn whole" % (digit, number))


def records(writers):
    """How many records of each writer the log holds: whole ones only, each writer's (its
    columns) rows counting 1, 2, 3 and so on."""
    data = open(LOG, "rb").read()
    check(not data or data.endswith(b"\r\n\r\n"), "C:/output.txt does not end with a whole record")
    count = dict.fromkeys(writers, 0)
    for n, record in enumerate(data.split(b"\r\n\r\n")[:-1]):
        match = re.fullmatch(rb'"Columns:",(\d+)\r\n"Rows:",(\d+)\r\n"Connection Length:",4',
                             record)
        writer = match and int(match[1])
        check(writer in count and int(match[2]) == count[writer] + 1,
              "broken record %d in C:/output.txt: %r" % (n + 1, record))
        count[writer] += 1
    return [count[w] for w in writers]


def e2e(appender):
    ink = Ink()
    story(start(KORVEX), LOG, SHOTS, frame=(8, 40),
          drawn=lambda window, shot: captions_whole(ink, window, shot))
    step("appending 500 records from each of two processes at once")
    second = subprocess.Popen(["wine", appender, "1", "500"])
    run("wine", appender, "2", "500", seconds=120)
    check(second.wait(120) == 0 and records((1, 2)) == [500, 500],
          "C:/output.txt holds %s records, not 500 of each" % records((1, 2)))
    step("appending to a full disk")
    # A file-size limit stands in for a full disk, some hundreds of bytes beyond the log, so
    # that some record is cut short. Its signal is ignored, so that the write fails instead.
    limit = ((os.path.getsize(LOG) + 500) // 1024 + 1) * 1024
    full = subprocess.run(["wine", appender, "3", "100"], timeout=120, preexec_fn=lambda: (
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN),
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))))
    written, room = records((1, 2, 3))[2], limit - os.path.getsize(LOG)
    check(full.returncode == 1 and written > 0 and room > 0, "on a full disk the append ended "
          "%d, %d records written, %d bytes free" % (full.returncode, written, room))


def scaled(*percents):
    for percent in map(int, percents):
        step("setting the display to %d %%" % percent)
        run("wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
            "REG_DWORD", "/d", str(96 * percent // 100), "/f", seconds=120)
        server("--wait")
        server("--persistent")
        ink = Ink()  # GDI's faces depend on the dots per inch
        if os.path.exists(LOG):
            os.remove(LOG)
        korvex = start(KORVEX, "korvex-%d" % percent)
        main = korvex.window("Korvex ")
        run("xdotool", "windowmove", "--sync", main.xid, "0", "0")
        size = tuple((n * percent + 50) // 100 for n in layout("Korvex ")[0])
        wait_until(5, lambda: main.size() == size, "the main window to be %dx%d, not %dx%d"
                   % (size + main.size()))
        step("calculating 6 rows, 7 columns, length 4 at %d %%" % percent)
        shot = calculate_6_7_4(main, LOG, os.path.join(SHOTS, "main-window-%d" % percent))
        captions_whole(ink, main, shot, percent, *"".join(RESULTS))
        # Left of the boxes' labels, above the button row's frame.
        numbers_printed(ink, shot, percent, main.control("Rows M", "label", False).place[0],
                        main.control("Control", "group", False).place[1])
        check_tree(main, percent)
        for button, title in (("Info", "About Korvex"), ("Output.txt", "Output.txt")):
            main.click(button)
            window = korvex.window(title)
            check_tree(window, percent)
            # Gone before the next opens: on a small screen it may lie over the main window.
            window.keys("Escape") if title == "About Korvex" else window.click("Return")
            korvex.gone(title)
        main.click("Exit")
        korvex.ended()
        server("-k")


def msi(package, version, cmake, definitions, later_version):
    drive_c, tree = os.path.join(PREFIX, "drive_c"), Uia(WINTEST)

    def snapshot():
        """The prefix's files and its registry, a line for each key and each value."""
        taken = {"files": {os.path.relpath(os.path.join(folder, name), drive_c)
                           for folder, folders, files in os.walk(drive_c)
                           for name in folders + files}}
        for hive in ("HKLM", "HKCU"):
            run("wine", "reg", "export", hive, os.path.join(WORK, "hive"), "/y", seconds=120)
            key, taken[hive] = "", set()
            for line in open(os.path.join(WORK, "hive"), encoding="utf-16").read().splitlines():
                key = line if line.startswith("[") else key
                if line.strip():
                    taken[hive].add(line if line == key else key + "\t" + line)
        return taken

    def listed_as(**values):
        """The installed apps list Korvex once, with these values (with none, not at all)."""
        entries, key = {}, None
        for line in run("wine", "reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion"
                        r"\Uninstall", "/s", check=False, seconds=120).splitlines():
            if line.startswith("HKEY"):
                key = line.strip()
                entries[key] = {"key": key}
            elif line.startswith(" ") and key:
                name, _, value = (line.split(None, 2) + ["", ""])[:3]
                entries[key][name] = value
        apps = [e for e in entries.values() if e.get("DisplayName") == "Korvex"]
        check(len(apps) == bool(values) and all(apps[0].get(k) == v for k, v in values.items()),
              "the installed apps list Korvex as %s, not with %s" % (apps, values))
        return apps and apps[0]

    def msiexec(*arguments):
        run("wine", "msiexec", *arguments, "/qn", seconds=120)

    def run_korvex(*actions):
        """Starts the installed korvex.exe, does each action with its main window, exits."""
        korvex = start(r"C:\Program Files\Korvex\korvex.exe", tree=tree)
        main = korvex.window("Korvex ")
        for action in actions:
            action(korvex, main)
        main.click("Exit")
        korvex.ended()

    def calculate(korvex, main):
        type_6_7_4(main)
        main.click("Calculate")
        wait_until(5, lambda: open(LOG, "rb").read() == RECORD, "the record in C:/output.txt")

    def delete_output(korvex, main):
        main.click("Output.txt")
        output = korvex.window("Output.txt")
        output.click("Delete Output")
        dismiss_message(korvex, "Output.txt Deleted")
        output.click("Return")
        korvex.gone("Output.txt")

    check(not os.path.exists(LOG), "the new prefix has a C:/output.txt")
    before = snapshot()
    step("reading the installer's tables")
    # The log is no file of a component, so no key path points at it, and the shortcut names
    # the program itself rather than a feature, as an advertised one would.
    check("output" not in run("msiinfo", "export", package, "File").lower(),
          "a component installs C:/output.txt")
    shortcut = [line.split("\t")[4] for line in run("msiinfo", "export", package, "Shortcut")
                .splitlines() if line.startswith("StartMenuShortcut\t")]
    check(shortcut == ["[INSTALLDIR]korvex.exe"], "the shortcut is advertised or points "
          "elsewhere: %s" % shortcut)
    for again in ("", " again"):
        step("installing %s%s" % (os.path.basename(package), again))
        msiexec("/i", run("winepath", "-w", package).strip())
        check(os.path.exists(LOG) and not os.path.getsize(LOG),
              "installing%s made no empty C:/output.txt, or changed it" % again)
        entry = listed_as(DisplayVersion=version, Publisher="Korvex team", NoModify="0x1")
    with open(os.path.join(drive_c, "Program Files", "Korvex", "korvex.exe"), "rb") as installed:
        check(installed.read() == open(KORVEX, "rb").read(),
              "the installed korvex.exe is not the one of the build")
    # Windows puts a per-machine installation's shortcuts into the Start menu of all users;
    # Wine's Windows Installer puts them into the installing user's.
    check(any(name == "Korvex.lnk" and folder.endswith(os.path.join("Start Menu", "Programs"))
              for folder, _, names in os.walk(drive_c) for name in names),
          "no Start-menu shortcut")
    product_code = entry["key"].rsplit("\\", 1)[1]
    step("calculating with the installed korvex.exe")
    run_korvex(calculate)

    step("installing a later version over it")
    later = os.path.join(WORK, "later.msi")
    run(cmake, "-DDEFINITIONS=" + definitions, "-DVERSION=" + later_version,
        "-DSTAGE=" + os.path.join(WORK, "later"), "-DOUTPUT=" + later, "-P",
        os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "msi.cmake"),
        seconds=120)
    msiexec("/i", run("winepath", "-w", later).strip())
    listed_as(DisplayVersion=later_version)
    check(open(LOG, "rb").read() == RECORD, "installing %s changed C:/output.txt" % later_version)

    step("deleting the log from the output-file window, then starting korvex.exe again")
    run_korvex(delete_output)
    check(not os.path.exists(LOG), "C:/output.txt is still there after Delete Output")
    run_korvex()
    check(not os.path.exists(LOG), "starting korvex.exe again brought C:/output.txt back")
    run_korvex(calculate)  # as an administrator would make it again; Wine lets anyone

    step("uninstalling")
    msiexec("/x", run("winepath", "-w", later).strip())
    after = snapshot()
    listed_as()
    check(open(LOG, "rb").read() == RECORD, "the uninstallation changed C:/output.txt")
    # Windows Installer keeps its own folder for the packages it caches, and empty keys of its
    # own; the log is the user's.
    left = after["files"] - before["files"] - {os.path.join("windows", "Installer"), "output.txt"}
    check(not left, "files left behind: %s" % sorted(left))
    # Outside Software, Wine keeps the state of the display it found; Software\Wine is its own.
    left = [line for hive in ("HKLM", "HKCU") for line in after[hive] - before[hive]
            if "\t" in line and re.match(r"\[HKEY_[A-Z_]+\\Software\\", line)
            and "\\Software\\Wine" not in line]
    check(not left, "registry values left behind: %s" % left)
    # The product code also as Windows Installer writes it into key names, its groups reversed.
    code = re.sub(r"[{}-]", "", product_code)
    packed = code[7::-1] + code[11:7:-1] + code[15:11:-1] + "".join(
        code[i + 1] + code[i] for i in range(16, 32, 2))
    mentions = [line for hive in ("HKLM", "HKCU") for line in after[hive]
                if re.search("korvex|%s|%s" % (re.escape(product_code), packed), line, re.I)]
    check(not mentions, "the registry still mentions Korvex: %s" % mentions)


def main():
    need("wine", "wineserver", "winepath", *(["msiinfo"] if MODE == "msi" else []))
    os.makedirs(SHOTS, exist_ok=True)
    step("making a new Wine prefix")
    run("bash", os.path.join(os.path.dirname(__file__), "prefix.sh"), PREFIX, seconds=300)
    os.environ.update(WINEPREFIX=PREFIX, WINEDEBUG="-all")
    try:
        if MODE != "scaled":
            server("--persistent")  # so that no Wine process of the test has to start it
        {"e2e": e2e, "scaled": scaled, "msi": msi}[MODE](*ARGUMENTS)
    except Failure as failure:
        sys.exit("%s FAILED: %s" % (MODE, failure))
    finally:
        server("-k")
    print("%s passed; screenshots in %s" % (MODE, SHOTS))


main()
