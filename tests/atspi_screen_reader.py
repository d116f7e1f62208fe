#!/usr/bin/python3
"""What a screen reader gets of the running program through at-spi2: the window and its named
controls, and the live view's text, caret and selection, for a status text and for a log, and the
event that tells of a new post. Runs the program itself on its own settings and share folder; needs
the accessibility bus that run-with-atspi provides.

    atspi_screen_reader.py PROGRAM
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

import pyatspi
from gi.repository import GLib

PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else None
CAPTION = "BRAMBLEDYNE - BD-CHATSLATE"


def wait_for(what, condition, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        GLib.MainContext.default().iteration(False)
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"not within {timeout} s: {what}")


def descendants(node):
    for child in node:
        if child is not None:
            yield child
            yield from descendants(child)


class RunningProgram:
    """The program on a settings store and share folder of its own."""

    def __init__(self, share=None, log=None, auto_refresh=True):
        self.home = tempfile.TemporaryDirectory()
        settings = os.path.join(self.home.name, "BD_CHATSLATE")
        os.makedirs(settings)
        with open(os.path.join(settings, "BD-CHATSLATE.conf"), "w", encoding="utf-8") as file:
            file.write("[General]\n")
            if share:
                file.write(f"BD_CHATSLATE_SHARE={share}\nAUTO_REFRESH_TICKBOX={int(auto_refresh)}\n")
        if log is not None:
            with open(os.path.join(share, "CHATSLATE-LIVE.LOG"), "wb") as file:
                file.write(log)
        self.process = subprocess.Popen([PROGRAM], env=dict(os.environ, XDG_CONFIG_HOME=self.home.name))
        self.frame = wait_for("the program's window on the accessibility bus", self._frame)

    def _frame(self):
        for app in pyatspi.Registry.getDesktop(0):
            # By its process: the copy of an earlier test may still be on the bus for a moment.
            if app is not None and app.name == "BD-CHATSLATE" and app.get_process_id() == self.process.pid:
                for window in app:
                    if window is not None and window.name == CAPTION:
                        return window
        return None

    def control(self, name):
        return pyatspi.findDescendant(self.frame, lambda node: node.name == name)

    def close(self):
        self.process.terminate()
        self.process.wait(10)
        self.home.cleanup()


class ScreenReaderTest(unittest.TestCase):
    def setUp(self):
        self.program = None

    def tearDown(self):
        if self.program:
            self.program.close()

    def live_text(self):
        return self.program.control("Live log").queryText()

    def test_window_and_control_names(self):
        self.program = RunningProgram()
        frame = self.program.frame
        self.assertEqual(frame.getRole(), pyatspi.ROLE_FRAME)
        bounds = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        texts = []
        for node in descendants(frame):
            if node.getRole() == pyatspi.ROLE_FILLER:
                continue
            self.assertTrue(node.name.strip(), f"a {node.getRoleName()} without a name")
            if node.getRole() == pyatspi.ROLE_TEXT:
                texts.append(node.name)
            if node.getState().contains(pyatspi.STATE_SHOWING):
                place = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                self.assertTrue(bounds.x <= place.x and place.y + place.height <= bounds.y + bounds.height,
                                f"{node.name} shows outside the window")
        # The working fields of the band below the visible area are not there for the user.
        self.assertEqual(texts, ["Live log", "Your text"])
        live = self.program.control("Live log")
        self.assertTrue(live.getState().contains(pyatspi.STATE_READ_ONLY))
        self.assertFalse(live.getState().contains(pyatspi.STATE_EDITABLE))
        for name in ("CHATSLATE", "Always On Top", "Auto Refresh", "Refresh", "Settings", "Exit"):
            self.assertIsNotNone(self.program.control(name), name)

    def test_status_text_caret_and_selection(self):
        self.program = RunningProgram()
        status = "Please Configure BD-ChatSlate Share Location..."
        text = self.live_text()
        self.assertEqual(text.getText(0, -1), status)
        self.assertEqual(text.characterCount, len(status))
        self.assertEqual(text.caretOffset, 0)
        self.assertEqual(text.getTextAtOffset(9, pyatspi.TEXT_BOUNDARY_WORD_START)[0].strip(), "Configure")

        text.setSelection(0, 7, 16)
        self.assertEqual(text.getSelection(0), (7, 16))
        self.assertEqual(text.caretOffset, 16)
        self.assertEqual(text.getText(7, 16), "Configure")
        text.setCaretOffset(3)
        self.assertEqual(text.caretOffset, 3)
        self.assertEqual(text.getNSelections(), 0)

        # Where a character stands on screen leads back to it.
        place = text.getCharacterExtents(3, pyatspi.DESKTOP_COORDS)
        self.assertGreater(place[2], 0)
        self.assertEqual(text.getOffsetAtPoint(place[0] + place[2] // 2, place[1] + place[3] // 2,
                                               pyatspi.DESKTOP_COORDS), 3)

    def test_each_status_as_it_comes(self):
        share = tempfile.TemporaryDirectory()
        self.addCleanup(share.cleanup)
        self.program = RunningProgram(share.name, auto_refresh=False)
        self.assertEqual(self.live_text().getText(0, -1), "BD-ChatSlate - Live Log - Auto Refresh DISABLED...")

        # Told as they replace each other: the switch's status, then why the log cannot be read (there
        # is none), over several lines.
        inserted = []
        listener = lambda event: inserted.append(event.any_data)
        pyatspi.Registry.registerEventListener(listener, "object:text-changed:insert")
        self.addCleanup(pyatspi.Registry.deregisterEventListener, listener, "object:text-changed:insert")
        self.program.control("Auto Refresh").queryAction().doAction(0)
        wait_for("the switch's status", lambda: "BD-ChatSlate - Live Log - Auto Refresh ENABLED..." in inserted)
        failure = wait_for("the read's failure", lambda: [text for text in inserted if "\n" in text])[0]
        self.assertTrue(failure.startswith("BD-ChatSlate - Live Log - "), failure)
        text = self.live_text()
        self.assertEqual(text.getText(0, -1), failure)
        first, second = failure.split("\n")[:2]
        self.assertEqual(text.getTextAtOffset(len(first) + 2, pyatspi.TEXT_BOUNDARY_LINE_START),
                         (second + "\n", len(first) + 1, len(first) + len(second) + 2))
        text.setSelection(0, len(first) - 3, len(first) + 4)
        self.assertEqual(text.getText(*text.getSelection(0)), first[-3:] + "\n" + second[:3])

    def test_log_text_caret_selection_and_new_posts(self):
        share = tempfile.TemporaryDirectory()
        self.addCleanup(share.cleanup)
        log = b"caf\xe9 au lait \r\n \r\nfirst entry \r\n \r\n\r\n\r\n"
        self.program = RunningProgram(share.name, log)
        shown = "caf\u00e9 au lait \n \nfirst entry \n \n\n\n"
        text = wait_for("the log in the live view", lambda: self.live_text().getText(0, 4) == "caf\u00e9"
                        and self.live_text())
        self.assertEqual(text.getText(0, -1), shown)
        self.assertEqual(text.characterCount, len(shown))
        line, start, _ = text.getTextAtOffset(shown.index("entry"), pyatspi.TEXT_BOUNDARY_LINE_START)
        self.assertEqual((line, start), ("first entry \n", shown.index("first")))

        # By the keyboard alone: Tab from Exit to the view, then down a line; the reader follows the caret.
        moves = []
        listener = lambda event: moves.append(event.detail1)
        pyatspi.Registry.registerEventListener(listener, "object:text-caret-moved")
        self.addCleanup(pyatspi.Registry.deregisterEventListener, listener, "object:text-caret-moved")
        subprocess.run(["xdotool", "key", "--delay", "50", "Tab", "Down", "End"], check=True)
        second_line = shown.index("\n") + 1
        line_end = second_line + 1
        wait_for(f"the caret's moves (seen {moves})", lambda: second_line in moves and line_end in moves)
        self.assertTrue(self.program.control("Live log").getState().contains(pyatspi.STATE_FOCUSED))
        self.assertEqual(self.live_text().caretOffset, line_end)

        text.setSelection(0, shown.index("first"), shown.index("first") + 11)
        self.assertEqual(self.live_text().getText(*self.live_text().getSelection(0)), "first entry")
        self.assertEqual(self.live_text().caretOffset, shown.index("first") + 11)

        # Another workstation posts: the reader is told of the new lines in front, and only of them.
        inserted = []
        listener = lambda event: inserted.append((event.detail1, event.any_data))
        pyatspi.Registry.registerEventListener(listener, "object:text-changed:insert")
        self.addCleanup(pyatspi.Registry.deregisterEventListener, listener, "object:text-changed:insert")
        with open(os.path.join(share.name, "CHATSLATE-LIVE.LOG"), "wb") as file:
            file.write(b"newer \r\n \r\n" + log + b"\r\n")
        wait_for("the event of the new post", lambda: (0, "newer \n \n") in inserted)
        self.assertEqual(self.live_text().getText(0, -1), "newer \n \n" + shown + "\n")
        # The selection moved with its text.
        self.assertEqual(self.live_text().getText(*self.live_text().getSelection(0)), "first entry")


if __name__ == "__main__":
    if not PROGRAM:
        sys.exit(__doc__)
    unittest.main(verbosity=2)
