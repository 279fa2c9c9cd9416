#!/usr/bin/python3
"""An operator who works the station through its accessibility interface alone (AT-SPI, as screen
readers such as Orca and GUI robots do): logs on, opens Select File several times and reads the
whole program each time, makes a file group in the dialog, ticks the group and two machines with
the cells' own actions, sends, and waits for the machines to have the files. The station must run
all the while; at the end the client closes it with Exit System.

Usage: station_client.py STATION_PID FILE...   (the files to put into the group, in one folder)
Exit status: 0 done, 1 failed, 77 the accessibility bus could not be reached (skip).
"""

import os
import sys
import time

import pyatspi
from gi.repository import GLib

WINDOW = "Quorvelle Network Transfer System"
PASSES = 3  # Select File is opened and read this many times


class Failure(Exception):
    pass


station = None  # the Station under test


def say(text):
    print("a11y: " + text, flush=True)


def pump():
    """Delivers the events that arrived (the bridge's announcements)."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(what, probe, timeout=60.0):
    """Polls `probe` until it gives a true value; the station's answers may fail while its
    windows change, so errors count as 'not yet'. Fails at once when the station has ended."""
    end = time.monotonic() + timeout
    last = None
    while time.monotonic() < end:
        if station is not None:
            station.check_alive("waiting for " + what)
        pump()
        try:
            value = probe()
            if value:
                return value
        except GLib.Error as e:
            last = e
        time.sleep(0.1)
    raise Failure("waited %d s for %s%s" % (timeout, what, " (%s)" % last if last else ""))


class Station:
    def __init__(self, pid):
        self.pid = pid
        self.app = None

    def alive(self):
        try:
            os.kill(self.pid, 0)
            return True
        except OSError:
            return False

    def check_alive(self, doing):
        if not self.alive():
            raise Failure("the station ended while the client was " + doing)

    def find_app(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "TALVORN_enu":
                self.app = app
                return app
        return None

    def windows(self):
        return [self.app.getChildAtIndex(i) for i in range(self.app.childCount)]

    def window(self, role, name):
        for w in self.windows():
            if w is not None and w.getRoleName() == role and w.name == name:
                return w
        return None


def find(root, role, name=None):
    """The first object below `root` (breadth first) with this role (and name)."""
    queue = [root]
    while queue:
        node = queue.pop(0)
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            if child.getRoleName() == role and (name is None or child.name == name):
                return child
            queue.append(child)
    return None


def states(obj):
    return {pyatspi.stateToString(s) for s in obj.getState().getStates()}


def action(obj, name, blocking=False):
    """Runs the object's action `name`. An action that opens a modal dialog answers only when the
    dialog closes: with `blocking`, the call is given up after a moment (the action runs)."""
    actions = obj.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if name not in names:
        raise Failure("%s %r has no action %r (it has %s)" % (obj.getRoleName(), obj.name, name,
                                                               names))
    if not blocking:
        actions.doAction(names.index(name))
        return
    pyatspi.setTimeout(1500, 1500)
    try:
        actions.doAction(names.index(name))
    except GLib.Error:
        pass  # no answer while the dialog runs
    finally:
        pyatspi.setTimeout(25000, 25000)


class Reader:
    """Reads everything an object holds, as a screen reader's review does: names, roles, states,
    texts, actions, places, and every cell of its tables. A cell that goes away while it is read
    (a file dialog still filling) is counted, not fatal."""

    def __init__(self):
        self.objects = 0
        self.cells = 0
        self.vanished = 0

    def read(self, obj, depth=0):
        if obj is None or depth > 40:
            return
        try:
            self.objects += 1
            obj.name, obj.description, obj.getRoleName(), states(obj)
            interfaces = obj.get_interfaces()
            if "Component" in interfaces:
                obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if "Action" in interfaces:
                a = obj.queryAction()
                [a.getName(i) for i in range(a.nActions)]
            if "Text" in interfaces:
                t = obj.queryText()
                t.getText(0, t.characterCount)
            if "Table" in interfaces:
                self.read_table(obj.queryTable())
            count = obj.childCount
        except (GLib.Error, NotImplementedError) as e:
            # Gone while being read (its interfaces can no longer be had either).
            self.gone(e)
            return
        for i in range(count):
            try:
                child = obj.getChildAtIndex(i)
            except GLib.Error as e:
                self.gone(e)
                continue
            self.read(child, depth + 1)

    def read_table(self, table):
        for c in range(table.nColumns):
            table.getColumnDescription(c)
        for r in range(table.nRows):
            for c in range(table.nColumns):
                try:
                    cell = table.getAccessibleAt(r, c)
                    if cell is None:
                        continue
                    self.cells += 1
                    cell.name, cell.getRoleName(), states(cell)
                    table.getIndexAt(r, c)
                except (GLib.Error, NotImplementedError) as e:
                    self.gone(e)
        # Outside the table: no cell, and no harm.
        table.getAccessibleAt(-1, -1)
        table.getAccessibleAt(table.nRows, 0)

    def gone(self, error):
        self.vanished += 1
        if self.vanished <= 3:
            say("went away while being read: %s" % error)


def table_of(root, name):
    t = find(root, "table", name)
    if t is None:
        raise Failure("no list %r" % name)
    return t.queryTable()


def cell_text(table, row, column):
    cell = table.getAccessibleAt(row, column)
    return cell.name if cell is not None else None


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    global station
    station = Station(int(sys.argv[1]))
    files = [os.path.basename(f) for f in sys.argv[2:]]

    # The station on the accessibility bus, at its Log On dialog.
    try:
        pyatspi.Registry.getDesktop(0).childCount
    except GLib.Error as e:
        say("skipped: the accessibility bus cannot be reached: %s" % e)
        return 77
    try:
        wait_for("the station on the accessibility bus", station.find_app)
    except Failure:
        if station.alive():
            say("skipped: the station never showed on the accessibility bus")
            return 77
        raise
    events = []
    pyatspi.Registry.registerEventListener(
        lambda e: events.append((e.type, e.source.name, e.detail1)),
        "object:state-changed:checked", "object:state-changed:focused")

    logon = wait_for("the Log On dialog", lambda: station.window("dialog", "Log On"))
    say("log on")
    find(logon, "text", "User Name:").queryEditableText().setTextContents("kqzwvx")
    find(logon, "password text", "Password:").queryEditableText().setTextContents("kqzwvx")
    action(find(logon, "push button", "OK"), "Press")
    frame = wait_for("the main window", lambda: station.window("frame", WINDOW))
    nodes = wait_for("the machines in the node list",
                     lambda: table_of(frame, "Nodes").nRows >= 4 and table_of(frame, "Nodes"))

    reader = Reader()
    select_file = find(frame, "menu item", "Select File(F)")
    for n in range(1, PASSES + 1):
        say("Select File, pass %d: open it and read the whole program" % n)
        action(select_file, "Press", blocking=True)
        dialog = wait_for("the Select File dialog", lambda: station.window("dialog", "Select File"))
        # Read while the dialog still fills its views, then once they show the files.
        for w in station.windows():
            reader.read(w)
        station.check_alive("reading Select File")
        wait_for("the design files in the dialog", lambda: find(dialog, "table cell", files[0])
                 or find(dialog, "list item", files[0]))
        for w in station.windows():
            reader.read(w)
        station.check_alive("reading Select File")
        if n < PASSES:
            action(find(dialog, "push button", "Cancel"), "Press")
        else:
            # The files typed into the name field, and Open: a new file group.
            name = find(dialog, "text", "File name:")
            if name is None:
                raise Failure("the file dialog has no field 'File name:'")
            name.queryEditableText().setTextContents(" ".join('"%s"' % f for f in files))
            action(find(dialog, "push button", "Open"), "Press")
        wait_for("Select File to close", lambda: station.window("dialog", "Select File") is None)
    say("read %d objects and %d cells; %d went away while being read" %
        (reader.objects, reader.cells, reader.vanished))

    groups = table_of(frame, "File Groups")
    wait_for("the new file group", lambda: groups.nRows == 1)
    group_files = table_of(frame, "Group Files")
    wait_for("its files", lambda: group_files.nRows == len(files))

    # Tick the group and machines 1 and 2 with the check boxes' own action, as a screen reader
    # user does; each box says it is checked.
    say("tick the group and two machines")
    events.clear()
    boxes = [groups.getAccessibleAt(0, 0), nodes.getAccessibleAt(0, 0), nodes.getAccessibleAt(1, 0)]
    for box in boxes:
        if box.getRoleName() != "check box" or "checked" in states(box):
            raise Failure("%r is no unticked check box: %s %s" % (box.name, box.getRoleName(),
                                                                  sorted(states(box))))
        action(box, "Toggle")
        wait_for("%r checked" % box.name, lambda: "checked" in states(box), 10)
    wait_for("the ticks announced", lambda: len([e for e in events if e[0].endswith("checked")
                                                 and e[2] == 1]) >= len(boxes), 10)
    if "checked" in states(nodes.getAccessibleAt(2, 0)):
        raise Failure("a machine nobody ticked is checked")
    # Press on a machine's cell shows its files, and focus moves to exactly that cell.
    third = nodes.getAccessibleAt(2, 0)
    events.clear()
    action(third, "Press")
    wait_for("the focus on machine %r" % third.name,
             lambda: ("object:state-changed:focused", third.name, 1) in events, 10)
    if "checked" in states(third):
        raise Failure("Press ticked the box")

    say("send")
    action(find(frame, "menu item", "Send File(S)"), "Press", blocking=True)
    done = "Send File End"
    wait_for("both machines to have the files",
             lambda: all(cell_text(nodes, r, 8) == done and cell_text(nodes, r, 3) == "0"
                         for r in (0, 1)), 120)
    for r in (2, 3):
        if cell_text(nodes, r, 8) == done:
            raise Failure("machine %d got files it was not sent" % (r + 1))

    station.check_alive("sending")
    reader.read(station.app)
    say("the station still runs; Exit System")
    action(find(frame, "menu item", "Exit System(X)"), "Press", blocking=True)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as e:
        say("FAILED: %s" % e)
        sys.exit(1)
