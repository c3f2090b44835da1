"""The user's path through korvex, end to end, and the checks that only one system can make.

usage: story.py KORVEX SCREENSHOTS    (in session.sh's session)
A refused Calculate and its message; 6, 7 and 4 with the printed results and the log's exact
bytes; Output.txt, Delete Output, its message, the file gone, Return; About: OK, Esc and
Tab-Tab-Space hide it, Info shows the same one, the close box destroys it and Info makes a new
one; Exit ends the process. Then what AT-SPI tells a screen reader, a dark desktop, and the
log's place with HOME unset.
"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree

from driver import Atspi, Failure, Korvex, run, same_pixels, wait_until

KORVEX, SHOTS = os.path.abspath(sys.argv[1]), sys.argv[2]
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
WORK = os.environ["WORK"]
RECORD = b'"Columns:",6\r\n"Rows:",7\r\n"Connection Length:",4\r\n\r\n'
RESULTS = ("24", "21", "12", "69")
REASON = "Invalid entry. Enter a whole number from -32768 to 32767"
step = print


def check(condition, message):
    if not condition:
        raise Failure(message)


def ui_size(ui_file):
    """The size of a window as its .ui file stores it."""
    rect = xml.etree.ElementTree.parse(os.path.join(SOURCE, ui_file)).find(
        "widget/property[@name='geometry']/rect")
    return int(rect.find("width").text), int(rect.find("height").text)


def frame_extents(window):
    """The left, right, top and bottom widths of the window manager's frame."""
    extents = run("xprop", "-id", window.xid, "_NET_FRAME_EXTENTS")
    return [int(n) for n in extents.split("=")[1].split(",")]


def check_title_bar(window):
    """The window asks for a title bar with a close box only, and the window manager offers to
    close it but not to maximise it. (Openbox offers to minimise every window it decorates.)"""
    hints = run("xprop", "-id", window.xid, "_MOTIF_WM_HINTS")
    flags, functions, decorations = [int(n, 0) for n in hints.split("=")[1].split(",")[:3]]
    # functions: 0x08 minimise, 0x10 maximise, 0x20 close; decorations: 0x08 title bar,
    # 0x20 minimise box, 0x40 maximise box
    check(flags & 3 == 3 and functions & 0x38 == 0x20 and decorations & 0x68 == 0x08,
          "'%s' does not ask for a close box only: %s" % (window.title, hints))
    actions = run("xprop", "-id", window.xid, "_NET_WM_ALLOWED_ACTIONS")
    check("_NET_WM_ACTION_CLOSE" in actions and "_NET_WM_ACTION_MAXIMIZE" not in actions,
          "the window manager offers '%s' more than closing: %s" % (window.title, actions))


def dismiss_message(korvex, text):
    """The message box, titled "Korvex" with no blank, says `text`; Enter closes it."""
    box = korvex.window("Korvex")
    check_title_bar(box)
    check(any(text in e.name for e in box.elements()), "the message box does not say " + text)
    box.keys("Return")
    korvex.gone("Korvex")


def place_main_window(main):
    """Moves the main window's frame to the left edge, 100 pixels down, and checks that its
    own area has the size its form gives it."""
    left, _, top, _ = frame_extents(main)
    run("xdotool", "windowmove", main.xid, str(left), str(100 + top))
    wait_until(5, lambda: main.origin() == (left, 100 + top), "the main window to move")
    check(main.size() == ui_size("app/form1.ui"),
          "the main window is %s, not as app/form1.ui gives it" % (main.size(),))


def results(main):
    return main.control("Results").description


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
    check(all(re.search(r"\b%s\b" % n, results(main)) for n in RESULTS),
          "the printed results are not 24, 21, 12 and 69: %r" % results(main))


def story(korvex, log):
    """The user's path, which ends with the log deleted and korvex ended."""
    step("starting korvex")
    main = korvex.window("Korvex ")
    check_title_bar(main)
    place_main_window(main)

    step("calculating with no input")
    main.click("Calculate")
    dismiss_message(korvex, "You Must enter values!!")
    check(not os.path.exists(log), "a refused calculation wrote " + log)

    step("calculating 6 rows, 7 columns, length 4")
    calculate_6_7_4(main, log, os.path.join(SHOTS, "main-window"))

    step("deleting the log from the output-file window")
    main.click("Output.txt")
    output = korvex.window("Output.txt")
    main_x, main_y = main.origin()
    _, right, top, _ = frame_extents(main)
    x, y = output.origin()
    # Beside the main window's frame, top edges aligned.
    check((x, y) == (main_x + main.size()[0] + right, main_y - top),
          "the output-file window is at %d,%d, not right of the main window's frame" % (x, y))
    output.screenshot(os.path.join(SHOTS, "output-window.png"))
    output.click("Delete Output")
    dismiss_message(korvex, "Output.txt Deleted")
    check(not os.path.exists(log), log + " is still there after Delete Output")
    output.click("Return")
    korvex.gone("Output.txt")

    step("opening the About window, which OK, Esc and Tab-Tab-Space only hide")
    main.click("Info")
    about = korvex.window("About Korvex")
    check_title_bar(about)
    about.screenshot(os.path.join(SHOTS, "about-window.png"))
    for keys in (["space"], ["Escape"], ["Tab", "Tab", "space"]):
        about.keys(*keys)
        korvex.gone("About Korvex")
        main.click("Info")
        check(korvex.window("About Korvex").xid == about.xid,
              "Info after %s did not show the same About window" % keys)

    step("closing the About window with its close box")
    x, y = about.origin()
    top = frame_extents(about)[2]
    # The close box is the rightmost in the title bar.
    run("xdotool", "mousemove", str(x + about.size()[0] - 10), str(y - top // 2),
        "click", "1")
    wait_until(5, lambda: not run("xdotool", "search", "--name", "^About Korvex$", check=False),
               "the close box to destroy the About window")
    main.click("Info")
    again = korvex.window("About Korvex")
    check(again.xid != about.xid, "Info after the close box showed the old About window")
    again.keys("Escape")
    korvex.gone("About Korvex")

    step("exiting")
    main.click("Exit")
    status = korvex.ended()
    check(status == 0, "korvex exited with status %d: %s" % (status, open(korvex.log).read()))


# Role and name of every control that takes the focus, window by window.
FOCUSABLE = {
    "Korvex ": {("button", "Calculate"), ("picture", "Korvex banner"), ("button", "Clear"),
                ("box", "Connection length C"), ("box", "Rows M"), ("box", "Columns N"),
                ("button", "Exit"), ("button", "Info"), ("button", "Output.txt")},
    "Output.txt": {("button", "View Output "), ("button", "Delete Output"),
                   ("button", "Return"), ("box", "Notes")},
    "About Korvex": {("button", "OK"), ("picture", "Korvex icon")},
}


def check_focusable(window, places):
    """The window's focusable controls are these; every shown element's place goes to
    `places`, for comparing one system's layout with another's."""
    elements = window.elements()
    found = {(e.role, e.name) for e in elements if e.focusable}
    check(found == FOCUSABLE[window.title],
          "'%s' has the focusable controls %s" % (window.title, sorted(found)))
    # A hidden element (the results before a Calculate) has no place on the screen.
    places.extend("%s | %d | %r | %d %d %d %d" % ((window.title, e.role_number, e.name)
                                                   + e.place) for e in elements if e.place[2])


def as_a_screen_reader_sees_it(log):
    """One announcement, with the results, after a Calculate and none after a refused one;
    the reason a box holds no number, in its description; the focusable controls."""
    korvex = Korvex([KORVEX], os.path.join(WORK, "korvex-atspi.log"), Atspi, cwd=WORK)
    pyatspi = korvex.tree.pyatspi
    main = korvex.window("Korvex ")
    places = []
    check_focusable(main, places)
    announced = []

    def heard(event):
        try:
            if event.type == "object:announcement":
                announced.append(str(event.any_data))
            elif event.source.getRole() == pyatspi.ROLE_NOTIFICATION and event.detail1:
                announced.append(event.source.description)
        except Exception:  # the source may be gone already
            pass
    events = ("object:state-changed:showing", "object:announcement")
    pyatspi.Registry.registerEventListener(heard, *events)
    type_6_7_4(main)
    main.click("Calculate")
    wait_until(5, lambda: announced, "the results to be announced", korvex.tree.pump)
    # A second announcement of the same Calculate would come before what follows.
    main.type_into("Rows M", "abc")
    wait_until(5, lambda: main.control("Rows M", "box").description == REASON,
               "'Rows M' holding abc to say why", korvex.tree.pump)
    check(len(announced) == 1 and all(re.search(r"\b%s\b" % n, announced[0]) for n in RESULTS),
          "one announcement after Calculate, with 24, 21, 12 and 69: %r" % announced)
    main.type_into("Rows M", "6")
    wait_until(5, lambda: main.control("Rows M", "box").description == "",
               "'Rows M' holding 6 to give no reason", korvex.tree.pump)
    main.type_into("Rows M", "abc")
    announced.clear()
    main.click("Calculate")
    dismiss_message(korvex, "You Must enter values!!")
    main.control("Rows M", "box")  # every event sent before this answer has come
    check(not announced, "a refused Calculate announced %r" % announced)
    pyatspi.Registry.deregisterEventListener(heard, *events)
    for button, title in (("Output.txt", "Output.txt"), ("Info", "About Korvex")):
        main.click(button)
        window = korvex.window(title)
        check_focusable(window, places)
        window.keys("Escape") if title == "About Korvex" else window.click("Return")
        korvex.gone(title)
    with open(os.path.join(SHOTS, "controls.txt"), "w") as file:
        file.write("".join(line + "\n" for line in places))
    main.click("Exit")
    check(korvex.ended() == 0, "korvex failed: " + open(korvex.log).read())
    check(open(log, "rb").read() == RECORD, "the refused Calculate changed " + log)
    os.remove(log)


def on_a_dark_desktop(log):
    """Qt's GTK theme hands korvex the colours of the dark Adwaita; its windows keep their
    own."""
    environment = dict(os.environ, QT_QPA_PLATFORMTHEME="gtk3", GTK_THEME="Adwaita:dark",
                       QT_DEBUG_PLUGINS="1")
    korvex = Korvex([KORVEX], os.path.join(WORK, "korvex-dark.log"), Atspi, env=environment)
    main = korvex.window("Korvex ")
    check('platformthemes/libqgtk3.so" loaded library' in open(korvex.log).read(),
          "the GTK theme was not loaded")
    place_main_window(main)
    calculate_6_7_4(main, log, os.path.join(SHOTS, "main-window-dark"))
    check(same_pixels(os.path.join(SHOTS, "main-window.png"),
                      os.path.join(SHOTS, "main-window-dark.png")),
          "on a dark desktop the main window differs from a light one's")
    main.click("Exit")
    check(korvex.ended() == 0, "korvex failed on a dark desktop: " + open(korvex.log).read())
    os.remove(log)


def with_home(home, password_home):
    """Calculates 6, 7, 4 from WORK/cwd with HOME unset (None) or set to `home`, in a private
    mount namespace whose /etc/passwd gives the user `password_home` as home folder, so that
    the real home is never written to. Returns False when no namespace can be made here."""
    namespace = ["--mount"] if os.geteuid() == 0 else ["--map-root-user", "--mount"]
    with open("/etc/passwd") as real, open(os.path.join(WORK, "passwd"), "w") as passwd:
        for line in real:  # inside the namespace the user is root either way
            fields = line.rstrip("\n").split(":")
            if len(fields) > 5 and fields[2] == "0":
                fields[5] = password_home
            passwd.write(":".join(fields) + "\n")
    bind = 'mount --bind "$1" /etc/passwd && shift && exec "$@"'
    wrap = ["unshare", *namespace, "bash", "-c", bind, "-", os.path.join(WORK, "passwd")]
    if subprocess.run(wrap + ["true"], stderr=subprocess.DEVNULL).returncode:
        return False
    setting = ["-u", "HOME"] if home is None else ["HOME=" + home]
    korvex = Korvex([os.path.realpath(KORVEX)], os.path.join(WORK, "korvex-home.log"), Atspi,
                    cwd=os.path.join(WORK, "cwd"), wrap=wrap + ["env", *setting])
    main = korvex.window("Korvex ")
    type_6_7_4(main)
    main.click("Calculate")
    main.click("Exit")
    check(korvex.ended() == 0, "korvex failed: " + open(korvex.log).read())
    return True


def outside_logs():
    """The state of the places an unusable HOME once sent the log to."""
    real_home = run("getent", "passwd", str(os.getuid())).split(":")[5]
    return [os.stat(path).st_mtime if os.path.exists(path) else None
            for path in ("/output.txt", os.path.join(real_home, "output.txt"))]


def linux():
    runpath = re.findall(r"\(R(?:UN)?PATH\).*\[(.*)\]", run("readelf", "-d", KORVEX))
    # An empty entry makes the loader search whatever folder korvex is started from.
    check(not any(p.startswith(":") or p.endswith(":") or "::" in p for p in runpath),
          "the library search path has an empty entry: %s" % runpath)
    log = os.path.join(os.environ["HOME"], "output.txt")
    story(Korvex([KORVEX], os.path.join(WORK, "korvex.log"), Atspi), log)
    step("calculating on a dark desktop")
    on_a_dark_desktop(log)
    step("what a screen reader is told")
    as_a_screen_reader_sees_it(log)
    step("logging with HOME unset, then with neither HOME nor the password entry usable")
    for folder in ("cwd/korvex-home", "password-home"):
        os.makedirs(os.path.join(WORK, folder))
    before = outside_logs()
    if not with_home(None, os.path.join(WORK, "password-home")):
        print("skipped the HOME checks: no private mount namespace can be made here")
        return
    written = os.path.join(WORK, "password-home", "output.txt")
    check(open(written, "rb").read() == RECORD,
          "with HOME unset, the log is not in the password entry's home folder")
    os.remove(written)
    # A relative HOME names a folder that exists, so that following it would show.
    with_home("korvex-home", os.path.join(WORK, "no-such-home"))
    stray = run("find", WORK, "-name", "output.txt")
    check(not stray, "korvex wrote a log where it should not: " + stray)
    check(outside_logs() == before, "a log changed outside WORK")


def main():
    os.makedirs(SHOTS, exist_ok=True)
    try:
        linux()
    except Failure as failure:
        print("e2e FAILED: %s" % failure, file=sys.stderr)
        sys.exit(1)
    print("e2e passed; screenshots in " + SHOTS)


if __name__ == "__main__":
    main()
