#!/usr/bin/python3
"""The window as a screen reader meets it: a real AT-SPI client (pyatspi) on the
accessibility bus finds every control by role and name, moves the focus with Tab, picks a
package through the file dialog, starts an upgrade of the emulated radio and hears the
status line and the progress bar change, presses the box's OK and closes the window.

    window_accessibility_test.py QUENFALL PACKAGE

Exit 0 when everything was found and heard, 1 on the first fault, 77 when the
accessibility bus does not answer (the caller has started it)."""
import os
import subprocess
import sys
import time

SKIP = 77
try:
    import pyatspi
    from gi.repository import GLib
except ImportError as error:
    print(f"SKIP: no AT-SPI client for Python: {error}")
    sys.exit(SKIP)

TITLE = "Quenfall v7.1"
STATUS_TEXTS = ["Entering BOOT Mode...", "The program is being upgraded, please wait patiently...",
                " Program upgrade is complete!"]
DONE_BOX_TEXT = ("Data transmitted successfully. Please wait for radio to reset to confirm "
                 "successful write!")
STEP_TEXTS = [
    "step 1. Connected the radio to the USB of a PC by  the programming cable.",
    "step 2. Power on the portable radio with both PTT key and TOP key pressed \n"
    "            Or Press 'P1'+'Power' key of the mobile.",
    'step 3. Select the Upgrade file(*.bin,*.boot)  from local folder provided, Click "Upgrade" button to Upgrade ! ',
    "step 4. Please wait for radio to reset to confirm successful write ! ",
]
TAB = 0xFF09


class Failure(Exception):
    pass


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_until(condition, seconds, what):
    end = time.monotonic() + seconds
    while True:
        pump()
        try:
            result = condition()
        except Exception:  # an object that went away while it was read: read it again
            result = None
        if result:
            return result
        if time.monotonic() > end:
            raise Failure(f"gave up after {seconds} s waiting for {what}")
        time.sleep(0.02)


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def descendants(accessible):
    for child in children(accessible):
        if child is None:
            continue
        yield child
        yield from descendants(child)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def focused(accessible):
    return accessible.getState().contains(pyatspi.STATE_FOCUSED)


def find(root, role, name=None, only_showing=False):
    for accessible in descendants(root):
        if accessible.getRoleName() != role:
            continue
        if name is not None and accessible.name != name:
            continue
        if only_showing and not showing(accessible):
            continue
        return accessible
    return None


def need(root, role, name):
    found = find(root, role, name)
    if found is None:
        names = sorted({f"{a.getRoleName()} {a.name!r}" for a in descendants(root)})
        raise Failure(f"no {role} named {name!r}; the window has: " + "; ".join(names))
    return found


def press(accessible):
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    raise Failure(f"{accessible.getRoleName()} {accessible.name!r} offers no press action")


def text_of(accessible):
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app is not None and app.name == name:
            return app
    return None


def check_controls(frame):
    """Every control by role and name, as the layout has them."""
    need(frame, "push button", "Close")
    need(frame, "push button", "Minimise")
    need(frame, "push button", "Select(*.bin,*.boot)")
    need(frame, "push button", "Upgrade")
    need(frame, "label", TITLE)
    need(frame, "label", "For All Model.")
    for step in STEP_TEXTS:
        need(frame, "label", step)

    edit = need(frame, "text", "Firmware")
    label = need(frame, "label", "Firmware")
    labelled_by = [relation.getTarget(0) for relation in edit.getRelationSet()
                   if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    if not labelled_by or labelled_by[0] != label:
        raise Failure("the Firmware text is not labelled by the Firmware label")
    if not edit.getState().contains(pyatspi.STATE_READ_ONLY):
        raise Failure("the Firmware text is not read-only")

    bar = need(frame, "progress bar", "Upgrade progress")
    value = bar.queryValue()
    if (value.minimumValue, value.maximumValue, value.currentValue) != (0, 100, 0):
        raise Failure(f"the progress bar is {value.currentValue} in {value.minimumValue}..{value.maximumValue}, "
                      "not 0 in 0..100")

    for name in ("Upgrade complete", "Upgrade failed"):
        icon = need(frame, "image", name)
        if icon.description != name:
            raise Failure(f"the {name!r} image is described as {icon.description!r}")
        if showing(icon):
            raise Failure(f"the {name!r} image shows before any upgrade")

    link = need(frame, "link", "https://quenfall.example.org")
    if showing(link):
        raise Failure("the hidden web address shows")

    if find(frame, "status bar") is None:
        raise Failure("the status line is not a status bar")

    # Only the background and the title icon, which say nothing, go without a name.
    unnamed = [a.getRoleName() for a in children(frame) if not a.name and a.getRoleName() != "status bar"]
    if sorted(unnamed) != ["filler", "filler"]:
        raise Failure(f"controls without a name: {unnamed}")
    return edit, bar


def check_focus_order(frame, edit):
    """The window starts on Edit1; Tab goes to Select, Upgrade and round again, as the layout orders them."""
    select = need(frame, "push button", "Select(*.bin,*.boot)")
    upgrade = need(frame, "push button", "Upgrade")
    # Activating the window gives the focus to the first control of the tab order.
    frame.queryComponent().grabFocus()
    wait_until(lambda: focused(edit), 30, "the focus on the Firmware text")
    for expected in (select, upgrade, edit):
        pyatspi.Registry.generateKeyboardEvent(TAB, None, pyatspi.KEY_SYM)
        wait_until(lambda: focused(expected), 30, f"Tab to move the focus to {expected.name!r}")


def choose_package(app, frame, edit, package):
    press(need(frame, "push button", "Select(*.bin,*.boot)"))
    dialog = wait_until(lambda: next((w for w in children(app) if w is not None and w != frame and showing(w)), None),
                        20, "the open dialog")
    name_field = wait_until(lambda: find(dialog, "text", "File name:", only_showing=True), 10,
                            "the dialog's file name field")
    name_field.queryEditableText().setTextContents(package)
    open_button = need(dialog, "push button", "Open")
    wait_until(lambda: open_button.getState().contains(pyatspi.STATE_ENABLED), 10, "the Open button to be enabled")
    press(open_button)
    wait_until(lambda: text_of(edit) == package, 20, "the package's path in the Firmware text")


def run_upgrade(app, frame, bar):
    heard_texts, heard_values = [], []
    status = find(frame, "status bar")

    def heard(event):
        # The event names the control; as a screen reader does, read it when told. The window
        # runs on meanwhile, so a value read late may be a later one.
        if event.source == status and event.type.endswith("accessible-name"):
            heard_texts.append(status.name)
        elif event.source == bar and event.type.endswith("accessible-value"):
            heard_values.append(bar.queryValue().currentValue)

    pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name",
                                           "object:property-change:accessible-value")
    pump()
    press(need(frame, "push button", "Upgrade"))
    box = wait_until(lambda: next((w for w in children(app) if w is not None and w != frame and showing(w)
                                   and find(w, "label", DONE_BOX_TEXT) is not None), None),
                     90, "the box that says the data was transmitted")
    complete = need(frame, "image", "Upgrade complete")
    if not showing(complete):
        raise Failure("the 'Upgrade complete' image does not show after the upgrade")
    if showing(need(frame, "image", "Upgrade failed")):
        raise Failure("the 'Upgrade failed' image shows after a good upgrade")
    press(need(box, "push button", "OK"))
    wait_until(lambda: not showing(box), 10, "the box to close")
    pump()
    pyatspi.Registry.deregisterEventListener(heard, "object:property-change:accessible-name",
                                             "object:property-change:accessible-value")

    print("heard status texts:", heard_texts)
    print(f"heard {len(heard_values)} progress values:", heard_values[:3], "...", heard_values[-3:])
    position = 0
    for text in heard_texts:
        if position < len(STATUS_TEXTS) and text == STATUS_TEXTS[position]:
            position += 1
    if position != len(STATUS_TEXTS):
        raise Failure(f"the status line announced {heard_texts}, not {STATUS_TEXTS} in that order")
    if status.name != STATUS_TEXTS[-1]:
        raise Failure(f"the status line reads {status.name!r} at the end")
    # The bar fills block by block and empties when the run has ended. With no scrambling the
    # first four blocks of section 0 are counted but never sent, so it stops at 90 here.
    peak = heard_values.index(max(heard_values)) if heard_values else 0
    during = heard_values[:peak + 1]
    rising = all(later >= earlier for earlier, later in zip(during, during[1:]))
    if len(set(during)) < 10 or not rising or max(heard_values) < 80 or any(v != 0 for v in heard_values[peak + 1:]):
        raise Failure(f"the progress bar went {heard_values}, not up in steps and back to 0 at the end")
    if bar.queryValue().currentValue != 0:
        raise Failure(f"the progress bar reads {bar.queryValue().currentValue} after the run")


def main():
    quenfall, package = sys.argv[1], os.path.abspath(sys.argv[2])
    try:
        pyatspi.Registry.getDesktop(0).childCount
    except Exception as error:
        print(f"SKIP: the accessibility bus does not answer: {error}")
        return SKIP
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                       QT_ACCESSIBILITY="1")
    window = subprocess.Popen([quenfall, "--emulate"], env=environment)
    try:
        app = wait_until(lambda: application(os.path.basename(quenfall)), 30, "the window on the accessibility bus")
        frame = wait_until(lambda: next((w for w in children(app) if w is not None and w.name == TITLE), None), 30,
                           f"the window named {TITLE!r}")
        if frame.getRoleName() != "frame":
            raise Failure(f"the window is a {frame.getRoleName()}, not a frame")
        edit, bar = check_controls(frame)
        print("found every control by role and name")
        check_focus_order(frame, edit)
        print("Tab moves the focus in the layout's order")
        choose_package(app, frame, edit, package)
        print("chose the package through the open dialog")
        run_upgrade(app, frame, bar)
        press(need(frame, "push button", "Close"))
        if window.wait(timeout=20) != 0:
            raise Failure(f"the window ended with {window.returncode}")
        print("closed the window with its Close button")
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        if window.poll() is None:
            window.kill()
            window.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
