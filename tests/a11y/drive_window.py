#!/usr/bin/python3
"""Operates the station's window through AT-SPI alone and checks what arrives.

drive_window.py PORT DEVSIM_LOG RECORD_FOLDER
PORT: the simulator's Modbus TCP port; DEVSIM_LOG: its request log (-v); RECORD_FOLDER holds
first.csv (peak a 12.50) and second.csv (7.25). Prints one line per check; exits 1 on a failure.
"""
import re
import sys
import time

import pyatspi
from gi.repository import GLib

port, devsim_log, _records = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []
started = time.monotonic()


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def pump(seconds):
    end, ctx = time.monotonic() + seconds, GLib.MainContext.default()
    while True:
        while ctx.iteration(False):
            pass
        if time.monotonic() >= end:
            return
        time.sleep(0.02)


def wait_for(condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = condition()
        if result:
            return result
        pump(0.1)
    return condition()


# Alerts, and captions coming on screen, as a screen reader hears them.
alerts, captions_shown = [], []


def heard(event):
    if event.detail1 != 1:
        return
    try:
        role, name = event.source.getRole(), event.source.name
    except Exception:
        return

    if role == pyatspi.ROLE_ALERT:
        alerts.append((time.monotonic(), name))
    elif role == pyatspi.ROLE_LABEL:
        captions_shown.append((time.monotonic(), name))


pyatspi.Registry.registerEventListener(heard, "object:state-changed:showing")


def station_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and "vorsa" in (app.name or "").lower():
            return app
    return None


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def walk(acc, depth=0):
    """What is on screen, depth first (hidden pages are not entered)."""
    if acc is None or depth > 40:
        return
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None and (depth < 1 or showing(child)):
            yield from walk(child, depth + 1)


def find(name, roles=None, seconds=5):
    def look():
        for acc in walk(app):
            if acc.name == name and (roles is None or acc.getRole() in roles):
                return acc
        return None

    return wait_for(look, seconds)


EDITS = (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
BUTTONS = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
           pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_MENU_ITEM)


def act(name, roles=BUTTONS):
    control = find(name, roles)
    if not check(control is not None, "control %r is on screen" % name):
        return None
    control.queryAction().doAction(0)
    pump(0.3)
    return control


def set_text(name, text):
    edit = find(name, EDITS)
    if not check(edit is not None, "edit field %r is on screen" % name):
        return
    edit.queryEditableText().setTextContents(text)
    pump(0.2)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def value_beside(caption):
    """The text of the field a caption labels (its labelled-by relation)."""
    label = find(caption, (pyatspi.ROLE_LABEL,))
    if label is None:
        return None
    for relation in label.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
            return relation.getTarget(0).name
    return None


def device_writes():
    """The simulator's single-register writes so far, as (register, value) in order."""
    with open(devsim_log, encoding="utf-8", errors="replace") as log:
        return [(int(m.group(1)), int(m.group(2)))
                for m in re.finditer(r"write (\d+) = (\d+)", log.read())]


def write_and_collect(button):
    """Presses `button` and gives the writes it caused, once the simulator has them."""
    before = len(device_writes())
    act(button, (pyatspi.ROLE_PUSH_BUTTON,))
    wait_for(lambda: len(device_writes()) > before, 10)
    pump(1.5)  # the rest of the command's writes
    return device_writes()[before:]


app = wait_for(station_app, 20)
if app is None:
    print("FAIL  the station never appeared on the accessibility bus")
    sys.exit(1)

# ---- The link, set on the host page: text and an option set through AT-SPI ----
if find("Port", EDITS, seconds=2) is None:
    act("System-Host", (pyatspi.ROLE_MENU_ITEM,))
act("Modbus_TCP", (pyatspi.ROLE_RADIO_BUTTON,))
set_text("IP", "127.0.0.1")
set_text("Port", port)
act("OK", (pyatspi.ROLE_PUSH_BUTTON,))
check(wait_for(lambda: ": connected" in open(devsim_log).read(), 10),
      "the link opens to the address and port set through AT-SPI")

# ---- The quake's first trigger is heard as an alert ----
def first(entries, name):
    return next((t for t, n in entries if n == name), None)


wait_for(lambda: first(alerts, "Pd trig"), 30)
shown_at, alert_at = first(captions_shown, "Pd trig"), first(alerts, "Pd trig")
check(alert_at is not None, "an alert \"Pd trig\" is heard")
if shown_at is not None and alert_at is not None:
    check(abs(alert_at - shown_at) <= 0.5,
          "the alert follows the lamp within 0.5 s (%.3f s)" % (alert_at - shown_at))
pump(1)
check(sum(1 for _, n in alerts if n == "Pd trig") == 1, "\"Pd trig\" is announced once")
print("      alerts heard: %s" % ", ".join(n for _, n in alerts), flush=True)

# ---- Each device page writes what was set through AT-SPI ----
act("System-Vorsa", (pyatspi.ROLE_MENU_ITEM,))
act("System", (pyatspi.ROLE_PAGE_TAB,))
set_text("STA Length [0.1 sec]", "37")
writes = write_and_collect("Write")
check(any(v == 37 for _, v in writes), "System: the simulator receives STA Length 37 (%s)" % writes)
device = find("STA Length [0.1 sec] (device)", EDITS)
check(device is not None and wait_for(lambda: text_of(device) == "37", 8),
      "System: the device's value reads back 37")

act("General", (pyatspi.ROLE_PAGE_TAB,))
baseline = dict(write_and_collect("Write"))
box = act("NTP enable", (pyatspi.ROLE_CHECK_BOX,))
toggled = dict(write_and_collect("Write"))
changed = {r: (baseline.get(r), v) for r, v in toggled.items() if baseline.get(r) != v}
check(len(changed) == 1 and all(a is not None and a ^ b == 16 for a, b in changed.values()),
      "General: NTP enable toggled through AT-SPI flips bit 4 of one written word (%s)" % changed)

act("Connection", (pyatspi.ROLE_PAGE_TAB,))
set_text("NTP Server IP 4", "77")
writes = write_and_collect("Modify (NTP server)")
check(any(v == 77 for _, v in writes), "Connection: the simulator receives the octet 77 (%s)" % writes)

# ---- A history file selected through AT-SPI is loaded ----
act("Record", (pyatspi.ROLE_MENU_ITEM,))
check(wait_for(lambda: value_beside("a(gal)") == "7.25", 5),
      "History: the last file is loaded at start (a %s)" % value_beside("a(gal)"))
item = find("first.csv", (pyatspi.ROLE_LIST_ITEM,))
if check(item is not None, "History: first.csv is listed"):
    files = item.parent
    try:
        files.querySelection().selectChild(item.getIndexInParent())
    except NotImplementedError:
        files.queryTable().addRowSelection(item.getIndexInParent())
    check(wait_for(lambda: value_beside("a(gal)") == "12.50", 5),
          "History: selecting first.csv loads it (a %s)" % value_beside("a(gal)"))

print("%d failure(s) in %.0f s" % (len(failures), time.monotonic() - started))
sys.exit(1 if failures else 0)
