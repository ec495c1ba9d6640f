#!/usr/bin/env python3
"""The real program in an unkind environment: no sound server, a tray host that starts after
it, the clock stepped while a reminder is armed, and two programs at once. Each case checks
what the user sees, and that the program goes on answering and keeps its state."""
import datetime
import glob
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import ARMED, DISARMED, DesktopTestCase, wait_for  # noqa: E402

LEAD = 5        # seconds from starting to fill in a reminder to its second
PROMPTLY = 1.0  # seconds for the window to answer once the alert is closed


class NoSoundServerTest(DesktopTestCase):
    def test_alert_shows_and_closes_without_a_sound_server(self):
        d = self.desktop
        # No server, and none started on demand either.
        config = os.path.join(d.env["XDG_CONFIG_HOME"], "pulse")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "client.conf"), "w") as f:
            f.write("autospawn = no\n")
        music = os.path.join(d.home, "闹钟.mp3")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", music, "synth", "1.5", "sine",
                        "440"], check=True)
        app = self.start()
        for attempt in ("第一次", "第二次"):
            with self.subTest(attempt):
                box, _ = app.await_alert(app.arm(attempt, music), attempt)
                app.assert_alive()
                app.press_ok(box)
                app.assert_buttons(DISARMED, within=PROMPTLY)
        self.assertNotIn("PULSE_SERVER", d.env)
        self.assertFalse(os.path.exists(os.path.join(d.env["XDG_RUNTIME_DIR"], "pulse",
                                                     "native")), "a sound server was started")


class LateTrayHostTest(DesktopTestCase):
    desktop_options = {"audio": False, "tray": False}

    def test_minimise_waits_for_the_tray_host_to_come(self):
        d = self.desktop
        app = self.start()
        window = app.window

        def on_taskbar():
            return (not d.is_viewable(window) and d.wm_state(window) == "Iconic"
                    and window in d.client_list())

        def shown():
            return d.is_viewable(window) and window in d.client_list()

        def in_tray():
            return (not d.is_viewable(window) and d.wm_state(window) is None
                    and window not in d.client_list())

        d.minimise(window)
        wait_for(on_taskbar, what="the window minimised on the taskbar, there being no tray")
        d.activate(window)
        wait_for(shown, what="the window back from the taskbar")

        d.start_tray()
        icon = wait_for(lambda: d.tray_icon(app.proc.pid), what="the icon in the late tray")
        d.minimise(window)
        wait_for(in_tray, what="the window put away in the tray")
        _, _, w, h = d.geometry(icon)
        d.click(icon, w // 2, h // 2)
        wait_for(shown, what="the tray icon's click to bring the window back")
        app.assert_alive()


class ClockStepTest(DesktopTestCase):
    """The program on a clock that the test steps, as a time server or the user would: the
    wall clock jumps, while the system's steady clock, which timers run on, goes on as ever."""

    def setUp(self):
        library = glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1")
        self.assertTrue(library, "libfaketime is not installed")
        self.offset_file = os.path.join(self.desktop.home, "clock-offset")
        self.step_clock(0)
        self.app = self.start({"LD_PRELOAD": library[0],
                               "FAKETIME_TIMESTAMP_FILE": self.offset_file,
                               "FAKETIME_NO_CACHE": "1",
                               "FAKETIME_DONT_FAKE_MONOTONIC": "1"})

    def step_clock(self, offset):
        """Sets the program's clock offset seconds off the real one, in one step; returns when."""
        with open(self.offset_file + ".new", "w") as f:
            f.write(f"{offset:+d}\n")
        os.replace(self.offset_file + ".new", self.offset_file)
        return time.time()

    def assert_clock_line_follows(self, offset, stepped_at):
        """The clock line shows the stepped time by the next second, give or take the time it
        takes to look."""
        def shows_it():
            expected = datetime.datetime.now() + datetime.timedelta(seconds=offset)
            return abs((self.app.clock() - expected).total_seconds()) < 1.5
        wait_for(shows_it, timeout=2.5, interval=0.1, what="the clock line to follow the step")
        self.assertLess(time.time() - stepped_at, 2.5)

    def check_step(self, offset, text):
        app = self.app
        due = app.arm(text, offset=offset, lead=LEAD + 4)
        app.assert_buttons(ARMED)
        self.assert_clock_line_follows(offset, self.step_clock(offset))
        box, _ = app.await_alert(due, text)
        app.press_ok(box)
        app.assert_buttons(DISARMED, within=PROMPTLY)
        app.assert_alive()

    def test_reminder_fires_when_the_clock_steps_forward_to_it(self):
        self.assert_clock_line_follows(0, time.time())
        self.check_step(3600, "向前拨了一小时")

    def test_reminder_fires_when_the_clock_steps_back_to_it(self):
        # Armed for a second that has just gone by, which comes again after the step back.
        self.check_step(-120, "往回拨了两分钟")


class TwoProgramsTest(DesktopTestCase):
    def test_two_programs_run_side_by_side(self):
        d = self.desktop
        first, second = self.start(), self.start()
        self.assertNotEqual(first.window, second.window)
        # Both open at the centre of the screen; side by side, each can be seen and reached.
        d.x("xdotool", "windowmove", "--sync", str(second.window), "40", "40")
        icons = [wait_for(lambda: d.tray_icon(app.proc.pid), what="each program's tray icon")
                 for app in (first, second)]
        self.assertNotEqual(icons[0], icons[1])

        for armed, other in ((first, second), (second, first)):
            text = f"只有 {armed.proc.pid}"
            due = armed.arm(text)
            armed.assert_buttons(ARMED)
            self.assertNotEqual(other.buttons(), ARMED, "arming one armed the other")
            box, _ = armed.await_alert(due, text)
            self.assertFalse(other.windows("Ticora"), "the other program showed an alert too")
            other.assert_alive()
            armed.press_ok(box)
            armed.assert_buttons(DISARMED, within=PROMPTLY)
        for app in (first, second):
            app.assert_alive()


if __name__ == "__main__":
    unittest.main(verbosity=2)
