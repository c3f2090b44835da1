"""The user's path through korvex, end to end, and the checks only Linux makes.

usage: story.py KORVEX SCREENSHOTS    (in session.sh's session)
story() is the user's path on every system (tests/wine/wine.py runs it under Wine). Then, on
Linux, a dark desktop and the log's place with HOME unset.
"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

from driver import Atspi, Failure, Korvex, run, same_pixels, wait_until

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
RECORD = b'"Columns:",6\r\n"Rows:",7\r\n"Connection Length:",4\r\n\r\n'
RESULTS = ("24", "21", "12", "69")
REASON = "Invalid entry. Enter a whole number from -32768 to 32767"
UI_FILES = {"Korvex ": "app/form1.ui", "Output.txt": "output_window/form2.ui",
            "About Korvex": "about/frmabout.ui"}
# Role and name of every control that takes the focus, window by window.
FOCUSABLE = {
    "Korvex ": {("button", "Calculate"), ("picture", "Korvex banner"), ("button", "Clear"),
                ("box", "Connection length C"), ("box", "Rows M"), ("box", "Columns N"),
                ("button", "Exit"), ("button", "Info"), ("button", "Output.txt")},
    "Output.txt": {("button", "View Output "), ("button", "Delete Output"),
                   ("button", "Return"), ("box", "Notes")},
    "About Korvex": {("button", "OK"), ("picture", "Korvex icon")},
}
step = print


def check(condition, message):
    if not condition:
        raise Failure(message)


def layout(title):
    """The window's size, and the names and place of each control its .ui file holds, the
    place from the window's own top left."""
    top = ElementTree.parse(os.path.join(SOURCE, UI_FILES[title])).getroot().find("widget")
    size = [int(top.find("property[@name='geometry']/rect/" + k).text) for k in ("width", "height")]
    controls = []

    def visit(widget, x, y):
        for child in widget.findall("widget"):
            rect = [int(child.find("property[@name='geometry']/rect/" + k).text)
                    for k in ("x", "y", "width", "height")]
            names = {p.findtext("string").replace("&", "") for p in child.findall("property")
                     if p.get("name") in ("text", "title", "accessibleName") and p.findtext("string")}
            controls.append((names, (x + rect[0], y + rect[1], rect[2], rect[3])))
            visit(child, x + rect[0], y + rect[1])
    visit(top, 0, 0)
    return tuple(size), controls


def check_tree(window, percent=100, places=None):
    """The window's tree shows the controls that take the focus, by role and name; every shown
    element lies where a control of the .ui file lies, scaled to PERCENT, and one named as a
    control lies where that control does (a box has its label's name). Shown elements' places
    go to `places`."""
    elements = window.elements(fresh=False)
    found = {(e.role, e.name) for e in elements if e.focusable}
    check(found == FOCUSABLE[window.title],
          "'%s' has the focusable controls %s" % (window.title, sorted(found)))
    controls = [(names, tuple((v * percent + 50) // 100 for v in place))
                for names, place in layout(window.title)[1]]
    for e in (e for e in elements if e.place[2]):  # a hidden element has no place
        named = [place for names, place in controls if e.name in names and e.role != "box"]
        check(any(all(abs(p - q) <= 1 for p, q in zip(e.place, place))
                  for place in named or [p for _, p in controls]),
              "%s '%s' in '%s' at %s %d %% lies where its .ui file has no such control"
              % (e.role, e.name, window.title, e.place, percent))
        if places is not None:
            places.append("%s | %s | %r | %d %d %d %d\n"
                          % ((window.title, e.role_number, e.name) + e.place))


def dismiss_message(korvex, text):
    """The message box, titled "Korvex" with no blank, says `text`; Enter closes it."""
    box = korvex.window("Korvex")
    box.check_title_bar()
    wait_until(5, lambda: any(text in e.name for e in box.elements()),
               "the message box to say " + text, korvex.tree.pump)
    box.keys("Return")
    korvex.gone("Korvex")


def place_main_window(main):
    """Moves the main window's frame to the left edge, 100 pixels down; its own area has the
    size its form gives it."""
    left, _, top, _ = main.frame()
    run("xdotool", "windowmove", main.xid, str(left), str(100 + top))
    wait_until(5, lambda: main.origin() == (left, 100 + top), "the main window to move")
    check(main.size() == layout("Korvex ")[0],
          "the main window is %s, not as app/form1.ui gives it" % (main.size(),))


def has_results(text):
    """The text carries the counts of 6, 7, 4: 24, 21, 12 and 69."""
    return all(re.search(r"\b%s\b" % n, text) for n in RESULTS)


def type_6_7_4(main):
    for box, number in (("Rows M", "6"), ("Columns N", "7"), ("Connection length C", "4")):
        main.type_into(box, number)


def calculate_6_7_4(main, log, shot):
    """Calculates 6 rows, 7 columns, length 4: the log holds exactly their record and the
    results are printed; the window before and after goes to SHOT-typed.png and SHOT.png."""
    type_6_7_4(main)
    main.screenshot(shot + "-typed.png")
    main.click("Calculate")
    wait_until(5, lambda: os.path.exists(log) and os.path.getsize(log), "the log " + log)
    with open(log, "rb") as file:
        logged = file.read()
    check(logged == RECORD, "%s holds %r, not %r" % (log, logged, RECORD))
    main.screenshot(shot + ".png", shot + "-typed.png")
    printed = main.control("Results").description
    check(has_results(printed),
          "the printed results are not 24, 21, 12 and 69: %r" % printed)
    return shot + ".png"


def story(korvex, log, shots, frame=None, drawn=lambda window, shot: None):
    """A refused Calculate and its message, a box saying why it holds no number; 6, 7 and 4
    with the printed results and the log's exact bytes; Output.txt, Delete Output, its message,
    the file gone, Return; About: OK, Esc and Tab-Tab-Space hide it, Info shows the same one,
    the close box destroys it and Info makes a new one; Exit ends the process. Each window's
    tree is checked, and drawn(window, screenshot) looks at its picture. The output-file
    window lies right of the main window's frame, or with `frame` (wide, high), a frame as the
    system reckons one, at most that far right of the main window's area and above it."""
    places = []
    step("starting korvex")
    main = korvex.window("Korvex ")
    main.check_title_bar()
    place_main_window(main)

    step("calculating with no input, then typing abc")
    main.click("Calculate")
    dismiss_message(korvex, "You Must enter values!!")
    check(not os.path.exists(log), "a refused calculation wrote " + log)
    main.type_into("Rows M", "abc")
    wait_until(5, lambda: main.control("Rows M", "box").description == REASON,
               "'Rows M' holding abc to say why", korvex.tree.pump)

    step("calculating 6 rows, 7 columns, length 4")
    drawn(main, calculate_6_7_4(main, log, os.path.join(shots, "main-window")))
    check(main.control("Rows M", "box", False).description == "", "'Rows M' holding 6 says why")
    check_tree(main, places=places)

    step("deleting the log from the output-file window")
    main.click("Output.txt")
    output = korvex.window("Output.txt")
    (main_x, main_y), (width, _), (_, right, top, _) = main.origin(), main.size(), main.frame()
    x, y = output.origin()
    check((x, y) == (main_x + width + right, main_y - top) if frame is None else
          0 <= x - main_x - width <= frame[0] and 0 <= main_y - y <= frame[1],
          "the output-file window is at %d,%d, not right of the main window's frame" % (x, y))
    drawn(output, output.screenshot(os.path.join(shots, "output-window.png")))
    check_tree(output, places=places)
    output.click("Delete Output")
    dismiss_message(korvex, "Output.txt Deleted")
    check(not os.path.exists(log), log + " is still there after Delete Output")
    output.click("Return")
    korvex.gone("Output.txt")

    step("opening the About window, which OK, Esc and Tab-Tab-Space only hide")
    main.click("Info")
    about = korvex.window("About Korvex")
    about.check_title_bar()
    drawn(about, about.screenshot(os.path.join(shots, "about-window.png")))
    check_tree(about, places=places)
    for keys in (["space"], ["Escape"], ["Tab", "Tab", "space"]):
        about.keys(*keys)
        korvex.gone("About Korvex")
        main.click("Info")
        check(korvex.window("About Korvex").xid == about.xid,
              "Info after %s did not show the same About window" % keys)

    step("closing the About window with its close box, the rightmost in its title bar")
    (x, y), (width, _), top = about.origin(), about.size(), about.frame()[2]
    run("xdotool", "mousemove", str(x + width - 10), str(y - top // 2), "click", "1")
    korvex.gone("About Korvex", destroyed=True)
    main.click("Info")
    again = korvex.window("About Korvex")
    check(again.xid != about.xid, "Info after the close box showed the old About window")
    again.keys("Escape")
    korvex.gone("About Korvex")

    step("exiting")
    main.click("Exit")
    korvex.ended()
    with open(os.path.join(shots, "controls.txt"), "w") as file:
        file.writelines(places)


def with_home(korvex_path, work, home, password_home):
    """Calculates 6, 7, 4 from WORK/cwd with HOME unset (None) or set to `home`, in a private
    mount namespace whose /etc/passwd gives the user `password_home` as home folder, so that
    the real home is never written to. Returns False when no namespace can be made here."""
    namespace = ["--mount"] if os.geteuid() == 0 else ["--map-root-user", "--mount"]
    with open("/etc/passwd") as real, open(os.path.join(work, "passwd"), "w") as passwd:
        for line in real:  # inside the namespace the user is root either way
            fields = line.rstrip("\n").split(":")
            if len(fields) > 5 and fields[2] == "0":
                fields[5] = password_home
            passwd.write(":".join(fields) + "\n")
    bind = 'mount --bind "$1" /etc/passwd && shift && exec "$@"'
    wrap = ["unshare", *namespace, "bash", "-c", bind, "-", os.path.join(work, "passwd")]
    if subprocess.run(wrap + ["true"], stderr=subprocess.DEVNULL).returncode:
        return False
    setting = ["-u", "HOME"] if home is None else ["HOME=" + home]
    korvex = Korvex([os.path.realpath(korvex_path)], os.path.join(work, "korvex-home.log"),
                    Atspi, cwd=os.path.join(work, "cwd"), wrap=wrap + ["env", *setting])
    main = korvex.window("Korvex ")
    type_6_7_4(main)
    main.click("Calculate")
    main.click("Exit")
    korvex.ended()
    return True


def linux(korvex_path, shots, work):
    runpath = re.findall(r"\(R(?:UN)?PATH\).*\[(.*)\]", run("readelf", "-d", korvex_path))
    # An empty entry makes the loader search whatever folder korvex is started from.
    check(not any(p.startswith(":") or p.endswith(":") or "::" in p for p in runpath),
          "the library search path has an empty entry: %s" % runpath)
    log = os.path.join(os.environ["HOME"], "output.txt")
    story(Korvex([korvex_path], os.path.join(work, "korvex.log"), Atspi), log, shots)

    step("calculating on a dark desktop: Qt's GTK theme hands korvex the dark Adwaita's colours")
    korvex = Korvex([korvex_path], os.path.join(work, "korvex-dark.log"), Atspi, env=dict(
        os.environ, QT_QPA_PLATFORMTHEME="gtk3", GTK_THEME="Adwaita:dark", QT_DEBUG_PLUGINS="1"))
    main = korvex.window("Korvex ")
    check('platformthemes/libqgtk3.so" loaded library' in open(korvex.log).read(),
          "the GTK theme was not loaded")
    place_main_window(main)
    dark = calculate_6_7_4(main, log, os.path.join(shots, "main-window-dark"))
    check(same_pixels(os.path.join(shots, "main-window.png"), dark),
          "on a dark desktop the main window differs from a light one's")
    main.click("Exit")
    korvex.ended()
    os.remove(log)

    step("logging with HOME unset, then with neither HOME nor the password entry usable")
    for folder in ("cwd/korvex-home", "password-home"):
        os.makedirs(os.path.join(work, folder))
    real_home = run("getent", "passwd", str(os.getuid())).split(":")[5]
    # The places an unusable HOME once sent the log to.
    outside = lambda: [os.path.exists(p) and os.stat(p).st_mtime
                       for p in ("/output.txt", os.path.join(real_home, "output.txt"))]
    before = outside()
    if not with_home(korvex_path, work, None, os.path.join(work, "password-home")):
        return print("skipped the HOME checks: no private mount namespace can be made here")
    written = os.path.join(work, "password-home", "output.txt")
    check(open(written, "rb").read() == RECORD,
          "with HOME unset, the log is not in the password entry's home folder")
    os.remove(written)
    # A relative HOME names a folder that exists, so that following it would show.
    with_home(korvex_path, work, "korvex-home", os.path.join(work, "no-such-home"))
    stray = run("find", work, "-name", "output.txt")
    check(not stray, "korvex wrote a log where it should not: " + stray)
    check(outside() == before, "a log changed outside WORK")


if __name__ == "__main__":
    os.makedirs(sys.argv[2], exist_ok=True)
    try:
        linux(os.path.abspath(sys.argv[1]), sys.argv[2], os.environ["WORK"])
    except Failure as failure:
        sys.exit("e2e FAILED: %s" % failure)
    print("e2e passed; screenshots in " + sys.argv[2])
