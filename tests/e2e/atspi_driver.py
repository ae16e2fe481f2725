#!/usr/bin/python3
"""Drives the running program through its accessibility interface (AT-SPI), as a screen
reader or a UI automation tool would: controls are found by their accessible name.

Usage: atspi_driver.py <command> [arguments]
  wait-window <title part>          waits until a window whose name holds the text shows
  press <window> <control>          presses a button (or toggles a check box)
  toggle <window> <control>         toggles a check box through its toggle action, as a screen
                                    reader checks it (no click)
  wait-checked <window> yes|no <control>...
                                    waits until each of the check boxes is checked (yes) or
                                    unchecked (no); a failure names the others
  set-text <window> <control> <t>   replaces the text of an edit field
  select <window> <control> <item>  chooses an item of a combo box by its text (through the
                                    keyboard when the box publishes no list; needs xdotool)
  text <window> <control>           prints the text of a control
  wait-text <window> <control> <t>  waits until the control's text holds <t>
  wait-exact <window> <control> <t> waits until the control's text is <t> ("UNLOCKED" holds
                                    "LOCKED")
  page <window> <page>              shows a page of the window's property sheet
  controls <window>                 prints role TAB name of every control, one per line
  check-names <window>              fails unless every control has a name of its own: not
                                    empty, and no other control of the window has it

<window> is a part of the window's title. Waits last at most 30 s; failures exit with 1
and say what was looked for and what was there.
"""
import os
import re
import subprocess
import sys
import time

import pyatspi

TIMEOUT_S = float(os.environ.get("E2E_UI_TIMEOUT_S", "30"))

# Roles of the things a user reads or operates; containers and the window itself are not.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LIST, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_IMAGE, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_GROUPING, pyatspi.ROLE_PANEL,
}
# Roles that hold other controls rather than being one; a panel without a name is only a
# layout box.
UNNAMED_CONTAINER_ROLES = {pyatspi.ROLE_PANEL, pyatspi.ROLE_FILLER}


class DriverError(Exception):
    pass


def wait_for(what, probe, timeout_s=TIMEOUT_S):
    deadline = time.monotonic() + timeout_s
    last = None
    while True:
        try:
            result = probe()
        except (LookupError, DriverError) as error:
            result, last = None, error
        if result is not None:
            return result
        if time.monotonic() > deadline:
            raise DriverError(f"{what} within {timeout_s:.0f} s" + (f": {last}" if last else ""))
        time.sleep(0.2)


def is_showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def page_showing(window, page):
    """Whether the page itself (not its tab) is on the screen."""
    return any(a.name == page and a.getRole() != pyatspi.ROLE_PAGE_TAB and is_showing(a)
               for a in descendants(window))


def top_windows():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for window in app:
            if window is not None:
                yield window


def find_window(title_part):
    """The first shown window whose title holds the text; the empty text takes the window
    that has the focus or, for a menu, the menu."""
    if not title_part:
        windows = [w for w in top_windows() if is_showing(w)]
        menus = [w for w in windows if w.getRole() in (pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_MENU,
                                                       pyatspi.ROLE_WINDOW)]
        active = [w for w in windows if w.getState().contains(pyatspi.STATE_ACTIVE)]
        if menus or active:
            return (menus + active)[0]
    shown = [w for w in top_windows() if title_part in (w.name or "") and is_showing(w)]
    # A title that is part of another window's title finds its own window first.
    shown.sort(key=lambda w: w.name != title_part)
    if not shown:
        names = ", ".join(f'"{w.name}"' for w in top_windows())
        raise DriverError(f'no window "{title_part}" (windows: {names})')
    return shown[0]


def descendants(accessible):
    for child in accessible:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def controls(window):
    """Every control of the window, on hidden pages too, in tree order."""
    for accessible in descendants(window):
        role = accessible.getRole()
        if role in UNNAMED_CONTAINER_ROLES and not accessible.name:
            continue
        if role in CONTROL_ROLES:
            yield accessible


def part_of_combo_box(accessible):
    parent = accessible.parent
    while parent is not None and parent.getRole() != pyatspi.ROLE_FRAME:
        if parent.getRole() == pyatspi.ROLE_COMBO_BOX:
            return True
        parent = parent.parent
    return False


def name_problems(window):
    """Controls without a name, and names that more than one control has. The parts of a
    combo box (its edit field, its drop-down list) are announced by the box's name."""
    problems = []
    seen = {}
    for control in controls(window):
        role = control.getRoleName()
        if part_of_combo_box(control):
            if control.getRole() == pyatspi.ROLE_TEXT and control.name != control.parent.name:
                problems.append(f'the edit field of "{control.parent.name}" is called '
                                f'"{control.name}"')
            continue
        if not control.name.strip():
            problems.append(f"a {role} has no name")
            continue
        if control.name in seen:
            problems.append(f'"{control.name}" names a {seen[control.name]} and a {role}')
        seen[control.name] = role
    return problems, len(seen)


def find_control(window, name):
    matches = [c for c in controls(window) if c.name == name]
    showing = [c for c in matches if is_showing(c)]
    if showing:
        return showing[0]
    if matches:
        return matches[0]
    known = ", ".join(sorted({f'"{c.name}"' for c in controls(window) if c.name}))
    raise DriverError(f'no control "{name}" in "{window.name}" (controls: {known})')


def do_action(accessible, *names):
    action = accessible.queryAction()
    available = [action.getName(i) for i in range(action.nActions)]
    for wanted in names:
        if wanted in available:
            action.doAction(available.index(wanted))
            return
    raise DriverError(f'"{accessible.name}" offers {available}, none of {list(names)}')


def is_checked(accessible):
    return accessible.getState().contains(pyatspi.STATE_CHECKED)


def wait_checked(window, wanted, names):
    """All the named boxes, found in one walk over the window, reach the wanted state."""
    by_name = {}
    for control in controls(window):
        by_name.setdefault(control.name, control)
    missing = [name for name in names if name not in by_name]
    if missing:
        raise DriverError(f'no control {missing} in "{window.name}"')
    state = "checked" if wanted else "unchecked"

    def others():
        return [name for name in names if is_checked(by_name[name]) != wanted]
    try:
        wait_for(f"{len(names)} boxes {state}", lambda: None if others() else True)
    except DriverError as error:
        raise DriverError(f"{error}; not {state}: {others()}") from error
    print(f'"{window.name}": {len(names)} boxes {state}')


def text_of(accessible):
    if accessible.getRole() == pyatspi.ROLE_COMBO_BOX:  # an editable box shows its edit field
        edits = [c for c in accessible if c is not None and c.getRole() == pyatspi.ROLE_TEXT]
        if edits:
            accessible = edits[0]
    try:
        text = accessible.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return accessible.name


def set_text(accessible, value):
    accessible.queryEditableText().setTextContents(value)


def select_item(window, combo, item):
    """Chooses a combo box item through its list child, as a screen reader's user would; a box
    that publishes no list is operated from the keyboard instead."""
    for child in descendants(combo):
        if child.getRole() in (pyatspi.ROLE_LIST, pyatspi.ROLE_MENU):
            items = [c.name for c in child]
            if item in items:
                child.querySelection().selectChild(items.index(item))
                return
            raise DriverError(f'"{combo.name}" has no item "{item}" (items: {items[:20]})')
    select_item_by_keyboard(window, combo, item)


def select_item_by_keyboard(window, combo, item):
    """Focuses the box, opens its list (Alt+Down), types the item's text (the list's type-ahead
    search) and takes it with Return: the path of a keyboard user, so the program sees the same
    choice signal. The edit field of an editable box shows the choice, so it is checked and the
    choice repeated when a key went astray (type-ahead restarts after a pause, keys can repeat
    under load); a box without one is checked by its effect, by the caller."""
    edits = [c for c in combo if c is not None and c.getRole() == pyatspi.ROLE_TEXT]
    for _ in range(3):
        focus_x_window(window)
        do_action(combo, "SetFocus")
        wait_for(f'the focus in "{combo.name}"',
                 lambda: True if combo.getState().contains(pyatspi.STATE_FOCUSED) else None)
        xdotool("key", "--clearmodifiers", "alt+Down")
        xdotool("type", "--clearmodifiers", "--", item)
        xdotool("key", "--clearmodifiers", "Return")
        if not edits:
            return
        try:
            wait_for(f'"{item}" in "{combo.name}"', lambda: True if text_of(edits[0]) == item else None,
                     timeout_s=3)
            return
        except DriverError:
            pass
    raise DriverError(f'"{combo.name}" shows "{text_of(edits[0])}", not the item "{item}"')


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise DriverError(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


def focus_x_window(window):
    """Gives the keyboard to the window, as a click on it would."""
    found = xdotool("search", "--onlyvisible", "--name", re.escape(window.name)).split()
    if not found:
        raise DriverError(f'no X window "{window.name}"')
    xdotool("windowfocus", "--sync", found[0])


def show_page(window, page):
    for accessible in descendants(window):
        if accessible.getRole() == pyatspi.ROLE_PAGE_TAB_LIST:
            names = [c.name for c in accessible]
            if page in names:
                try:
                    accessible.querySelection().selectChild(names.index(page))
                except NotImplementedError:  # Qt's tab bar: each tab is pressed
                    do_action(accessible[names.index(page)], "Press")
                wait_for(f'page "{page}" shown', lambda: True if page_showing(window, page) else None)
                return
            raise DriverError(f'no page "{page}" (pages: {names})')
    raise DriverError(f'"{window.name}" has no pages')


def main(argv):
    if len(argv) < 2:
        raise DriverError(__doc__)
    command, args = argv[1], argv[2:]
    if command == "wait-window":
        wait_for(f'window "{args[0]}"', lambda: find_window(args[0]))
        return
    window = wait_for(f'window "{args[0]}"', lambda: find_window(args[0]))
    if command == "controls":
        for control in controls(window):
            print(f"{control.getRoleName()}\t{control.name}\t"
                  f"{'showing' if is_showing(control) else 'hidden'}")
        return
    if command == "check-names":
        problems, named = name_problems(window)
        if problems:
            raise DriverError(f'"{window.name}": ' + "; ".join(problems))
        print(f'"{window.name}": {named} controls, each with a name of its own')
        return
    if command == "page":
        show_page(window, args[1])
        return
    if command == "wait-checked":
        if len(args) < 3 or args[1] not in ("yes", "no"):
            raise DriverError(f"wait-checked <window> yes|no <control>...\n{__doc__}")
        wait_checked(window, args[1] == "yes", args[2:])
        return
    control = wait_for(f'control "{args[1]}"', lambda: find_control(window, args[1]))
    if command == "press":
        do_action(control, "Press", "Toggle", "press", "click")
    elif command == "toggle":
        do_action(control, "Toggle")
    elif command == "set-text":
        set_text(control, args[2])
    elif command == "select":
        select_item(window, control, args[2])
    elif command == "text":
        print(text_of(control))
    elif command == "wait-text":
        wait_for(f'"{args[2]}" in "{args[1]}" (now "{text_of(control)}")',
                 lambda: True if args[2] in text_of(control) else None)
    elif command == "wait-exact":
        wait_for(f'"{args[1]}" showing "{args[2]}" (now "{text_of(control)}")',
                 lambda: True if text_of(control) == args[2] else None)
    else:
        raise DriverError(f"unknown command {command}\n{__doc__}")


if __name__ == "__main__":
    try:
        main(sys.argv)
    except DriverError as error:
        print(f"atspi_driver: {error}", file=sys.stderr)
        sys.exit(1)
