#!/usr/bin/env python3
"""The real program on a headless desktop: minimising to the tray, the tray icon's toggle, an
alert while the window is away, desktops without a tray host, and the credits link."""
import datetime
import os
import stat
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Desktop, wait_for  # noqa: E402

TITLE = "TicoraV2.0"
HOUR_BOX, MINUTE_BOX, SECOND_BOX, TEXT_BOX = (95, 67), (161, 67), (225, 67), (171, 112)
ARM_BUTTON = (91, 199)
LINK, AUTHOR_CAPTION, AUTHOR = (216, 224), (44, 224), (114, 224)
ADDRESS = "https://orvelle.dev"
# A second left click on the tray icon within this long is a double click, which does nothing.
DOUBLE_CLICK_S = 0.5
# How long a window is watched to see that nothing happens.
QUIET_S = 1.5

BROWSER_STUB = """#!/bin/sh
printf '%s %s\\n' "$(basename "$0")" "$*" >> "{log}"
"""


class TrayTestCase(unittest.TestCase):
    def start(self, tray=True, extra_env=None):
        self.desktop = Desktop(audio=False, tray=tray).__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        self.app = self.desktop.launch(extra_env=extra_env)
        self.window = self.desktop.window_named(TITLE)
        if tray:
            self.icon = wait_for(lambda: self.desktop.tray_icon(self.app.pid),
                                 what="the tray icon")

    # ---- what the user sees -------------------------------------------------------------------
    def shown(self):
        d = self.desktop
        return (d.is_viewable(self.window) and d.wm_state(self.window) == "Normal"
                and "_NET_WM_STATE_HIDDEN" not in d.net_wm_state(self.window)
                and self.window in d.client_list())

    def hidden(self):
        """Gone from the screen and the taskbar: unmapped and withdrawn from the window manager."""
        d = self.desktop
        return (not d.is_viewable(self.window) and d.wm_state(self.window) is None
                and self.window not in d.client_list())

    def iconic(self):
        """Minimised on the taskbar: the window manager still lists it."""
        d = self.desktop
        return (not d.is_viewable(self.window) and d.wm_state(self.window) == "Iconic"
                and self.window in d.client_list())

    def assertStays(self, condition, what):
        deadline = time.monotonic() + QUIET_S
        while time.monotonic() < deadline:
            self.assertTrue(condition(), what)
            time.sleep(0.1)

    def click_tray(self, button=1):
        icon = self.desktop.tray_icon(self.app.pid)
        self.assertIsNotNone(icon, "the tray icon is docked")
        _, _, w, h = self.desktop.geometry(icon)
        self.desktop.click(icon, w // 2, h // 2, button)
        time.sleep(DOUBLE_CLICK_S)


class TrayToggleTest(TrayTestCase):
    def setUp(self):
        self.start()

    def test_minimise_hides_and_left_clicks_toggle(self):
        d = self.desktop
        d.minimise(self.window)
        wait_for(self.hidden, what="the minimised window to leave the screen and the taskbar")
        self.assertTrue(d.is_viewable(d.tray_icon(self.app.pid)), "the tray icon stays")

        self.click_tray()
        wait_for(self.shown, what="the window back in its normal state")
        wait_for(lambda: d.active_window() == self.window, what="the window in front")

        self.click_tray()
        wait_for(self.hidden, what="a left click on the icon to put the window away")
        self.assertIsNotNone(d.tray_icon(self.app.pid))

        for button in (3, 2):  # right, middle
            self.click_tray(button)
            self.assertStays(self.hidden, f"button {button} leaves the hidden window alone")

        self.click_tray()
        wait_for(self.shown, what="the window back again")
        for button in (3, 2):
            self.click_tray(button)
            self.assertStays(self.shown, f"button {button} leaves the shown window alone")

    def test_toggle_holds_over_many_rounds(self):
        # Each round takes a different road to the tray; the window must come back every time.
        for round_ in range(6):
            if round_ % 2:
                self.desktop.minimise(self.window)
            else:
                self.click_tray()
            wait_for(self.hidden, what=f"the window put away in round {round_}")
            self.click_tray()
            wait_for(self.shown, what=f"the window back in round {round_}")
            self.assertStays(self.shown, f"the window stays back in round {round_}")

    def test_alert_fires_while_hidden_and_leaves_it_hidden(self):
        d = self.desktop
        d.activate(self.window)
        due = datetime.datetime.now().replace(microsecond=0) + datetime.timedelta(seconds=8)
        typed = [str(due.hour), str(due.minute), str(due.second)]
        for box, text in zip((HOUR_BOX, MINUTE_BOX, SECOND_BOX), typed):
            d.type_into_box(self.window, *box, text)
        d.type_into_box(self.window, *TEXT_BOX, "Tea is ready")
        self.assertEqual([d.read_box(self.window, *box)
                          for box in (HOUR_BOX, MINUTE_BOX, SECOND_BOX)], typed)
        d.click(self.window, *ARM_BUTTON)
        d.minimise(self.window)
        wait_for(self.hidden, what="the armed window in the tray")
        self.assertLess(datetime.datetime.now(), due, "the reminder was set in time")

        box = d.window_named("Ticora", timeout=20)
        self.assertTrue(self.hidden(), "the alert does not bring the window back")
        d.activate(box)
        d.key("Return", window=box, check=False)
        wait_for(lambda: not d.window_ids(name="^Ticora$", only_visible=True),
                 what="the alert box to close")

        self.assertStays(lambda: self.app.poll() is None and self.hidden(),
                         "the program runs on, hidden, after the box is closed")
        self.click_tray()
        wait_for(self.shown, what="the window back after the alert")

    def test_tray_host_restart_docks_the_icon_again(self):
        d = self.desktop
        d.stop_tray()
        self.assertStays(self.shown, "the shown window is left alone while the tray is away")
        d.start_tray()
        wait_for(lambda: d.tray_icon(self.app.pid), what="the icon docked in the new tray")
        self.click_tray()
        wait_for(self.hidden, what="the new icon's left click to put the window away")
        self.click_tray()
        wait_for(self.shown, what="the new icon's left click to bring it back")

    def test_window_comes_back_when_the_tray_goes_while_it_is_hidden(self):
        d = self.desktop
        d.minimise(self.window)
        wait_for(self.hidden, what="the window in the tray")
        d.stop_tray()
        wait_for(self.shown, timeout=5, what="the window back, with no tray left to reach it")


class NoTrayHostTest(TrayTestCase):
    def setUp(self):
        self.start(tray=False)

    def test_minimise_keeps_the_window_on_the_taskbar(self):
        d = self.desktop
        d.minimise(self.window)
        wait_for(self.iconic, what="the window minimised on the taskbar")
        self.assertStays(self.iconic, "the minimised window stays within reach")
        d.activate(self.window)
        wait_for(self.shown, what="the window manager to bring the window back")

    def test_a_tray_host_that_starts_later_gets_the_icon(self):
        d = self.desktop
        d.start_tray()
        wait_for(lambda: d.tray_icon(self.app.pid), what="the icon docked in the late tray")
        self.click_tray()
        wait_for(self.hidden, what="the icon's left click to put the window away")


class LinkTest(TrayTestCase):
    def setUp(self):
        # Stand-ins for the browser launchers, first in PATH: they log how they were called.
        holder = tempfile.TemporaryDirectory(prefix="ticora-browser-")
        self.addCleanup(holder.cleanup)
        self.stubs = holder.name
        self.log = os.path.join(self.stubs, "launches.log")
        for name in ("xdg-open", "browser"):
            path = os.path.join(self.stubs, name)
            with open(path, "w") as f:
                f.write(BROWSER_STUB.format(log=self.log))
            os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        self.start(extra_env={"PATH": self.stubs + os.pathsep + os.environ.get("PATH", ""),
                              "BROWSER": os.path.join(self.stubs, "browser")})

    def launches(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()

    def test_each_left_press_on_the_link_opens_the_address_once(self):
        d = self.desktop
        d.press(self.window, *LINK)
        wait_for(self.launches, what="the browser, before the button is let go")
        d.release()
        self.assertStays(lambda: len(self.launches()) == 1, "one launch for one press")
        name, argument = self.launches()[0].split(" ", 1)
        self.assertIn(name, ("xdg-open", "browser"))
        self.assertEqual(argument, ADDRESS)

        for where, button in ((AUTHOR_CAPTION, 1), (AUTHOR, 1), (LINK, 3), (LINK, 2)):
            d.click(self.window, *where, button)
        self.assertStays(lambda: len(self.launches()) == 1,
                         "presses beside the link or with another button open nothing")

        d.click(self.window, *LINK)
        wait_for(lambda: len(self.launches()) == 2, what="a second press to open it again")
        self.assertStays(lambda: len(self.launches()) == 2, "one launch for the second press")
        self.assertTrue(self.app.poll() is None, "the program runs on")


if __name__ == "__main__":
    unittest.main(verbosity=2)
