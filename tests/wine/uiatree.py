"""Checks what UI Automation shows of a window against the window's stored layout.

    uiatree.py UI_FILE PERCENT WALK_FILE [NUMBER...]

WALK_FILE is what korvex_uiawalk printed for the window, at a display scaling of PERCENT.
Every control that takes the focus (by its class, or the focus policy the layout gives it)
must be there with its control type and the name a user hears (its accessible name, its
caption, or for a box the label that names it); every control whose name the layout holds
must lie where the layout puts it, scaled; every element must lie where some control of the
layout lies, so that none is exposed in the wrong place or at the wrong size; and no element
that a user can reach is unnamed. With NUMBERS, the element "Results" must carry them all in
its description. Exits 1 when a check fails.
"""

import re
import sys
import xml.etree.ElementTree as ElementTree

TAKES_FOCUS = {"QPushButton", "QLineEdit", "QTextEdit", "QPlainTextEdit"}
CONTROL_TYPES = {"QPushButton": "Button", "QLineEdit": "Edit", "QGroupBox": "Group",
                 "QLabel": "Text"}
# What a user can reach, and so must hear a name for.
REACHABLE_TYPES = {"Button", "Edit", "Image"}


def prop(widget, name):
    for element in widget.findall("property"):
        if element.get("name") == name:
            return element
    return None


def text_of(widget, name):
    element = prop(widget, name)
    if element is None:
        return None
    for kind in ("string", "cstring", "enum"):
        value = element.find(kind)
        if value is not None:
            return value.text or ""
    return None


def controls(ui_file):
    """(class, object name, left, top, width, height, focusable, type, name) of every control,
    the rectangle from the window's top left."""
    top = ElementTree.parse(ui_file).getroot().find("widget")
    found = []
    buddies = {}

    def visit(widget, left, top_edge):
        for child in widget.findall("widget"):
            geometry = prop(child, "geometry")
            rect = [int(geometry.find("rect").find(k).text)
                    for k in ("x", "y", "width", "height")]
            x, y = left + rect[0], top_edge + rect[1]
            found.append((child, x, y, rect[2], rect[3]))
            buddy = text_of(child, "buddy")
            if buddy:
                buddies[buddy] = text_of(child, "text")
            visit(child, x, y)

    visit(top, 0, 0)
    result = []
    for widget, x, y, width, height in found:
        cls, object_name = widget.get("class"), widget.get("name")
        policy = text_of(widget, "focusPolicy")
        focusable = cls in TAKES_FOCUS if policy is None else policy != "Qt::NoFocus"
        control_type = CONTROL_TYPES.get(cls)
        if cls == "QLabel" and focusable:
            control_type = "Image"  # a picture that Tab reaches, to be described
        name = text_of(widget, "accessibleName")
        if name is None:
            name = {"QPushButton": text_of(widget, "text"), "QGroupBox": text_of(widget, "title"),
                    "QLabel": text_of(widget, "text"),
                    "QLineEdit": buddies.get(object_name)}.get(cls)
        if name:
            name = name.replace("&&", "\0").replace("&", "").replace("\0", "&")
        result.append((cls, object_name, x, y, width, height, focusable, control_type, name))
    return result


def walked(walk_file):
    elements = []
    for line in open(walk_file, encoding="utf-8").read().splitlines():
        fields = line.split("\t")
        if len(fields) != 6:
            raise SystemExit("uiatree: not a line of korvex_uiawalk: %r" % line)
        control_type, name, place, focusable, help_text, description = fields
        elements.append({"type": control_type, "name": name,
                         "place": tuple(int(n) for n in place.split()),
                         "focusable": focusable == "focusable", "help": help_text,
                         "description": description.replace("\\n", "\n")})
    return elements


def main():
    ui_file, percent, walk_file, numbers = sys.argv[1], int(sys.argv[2]), sys.argv[3], \
        sys.argv[4:]
    layout = controls(ui_file)
    elements = walked(walk_file)
    failures = []

    def check(condition, message):
        print(("ok:     " if condition else "FAILED: ") + message)
        if not condition:
            failures.append(message)

    def scaled(control):
        return tuple(round(v * percent / 100) for v in control[2:6])

    def near(a, b):
        return all(abs(p - q) <= 1 for p, q in zip(a, b))

    print("  %d elements at %d %%:" % (len(elements), percent))
    for e in elements:
        print("    %-8s %-22r %-18s%s%s%s" % (
            e["type"], e["name"], " ".join(map(str, e["place"])),
            " focusable" if e["focusable"] else "",
            " help=%r" % e["help"] if e["help"] else "",
            " description=%r" % e["description"] if e["description"] else ""))

    for control in layout:
        cls, object_name, _, _, _, _, focusable, control_type, name = control
        matches = [e for e in elements if e["name"] == name
                   and (control_type is None or e["type"] == control_type)] if name else []
        if focusable:
            check(bool(matches), "%s %s, which takes the focus, is there as %s %r"
                  % (cls, object_name, control_type, name))
        if matches:
            check(any(near(e["place"], scaled(control)) for e in matches),
                  "%s %r lies at %s, where %s is" % (matches[0]["type"], name,
                                                   " ".join(map(str, scaled(control))),
                                                   object_name))

    places = [scaled(control) for control in layout]
    for e in elements:
        if e["place"][2:] == (0, 0):
            continue  # not on the screen
        check(any(near(e["place"], place) for place in places),
              "%s %r at %s lies where a control of the layout lies"
              % (e["type"], e["name"], " ".join(map(str, e["place"]))))
        if e["focusable"] or e["type"] in REACHABLE_TYPES:
            check(e["name"] != "", "%s at %s has a name"
                  % (e["type"], " ".join(map(str, e["place"]))))

    if numbers:
        results = [e for e in elements if e["name"] == "Results"]
        check(len(results) == 1 and all(re.search(r"\b%s\b" % n, results[0]["description"])
                                        for n in numbers),
              "'Results' describes the printed lines with %s" % ", ".join(numbers))

    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)


main()
