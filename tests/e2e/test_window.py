#!/usr/bin/env python3
"""The real program on a headless desktop: its window, tray icon, clock line and exit."""
import datetime
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Desktop, artifacts_dir, wait_for  # noqa: E402

HOUR_BOX, MINUTE_BOX, SECOND_BOX = (95, 67), (161, 67), (225, 67)
CLOCK_LINE = (32, 10, 218, 16)


class WindowTest(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(audio=False).__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        self.started = datetime.datetime.now()
        self.app = self.desktop.launch()
        self.window = self.desktop.window_named("TicoraV2.0")

    def test_window_appears_centred_with_its_caption_and_size(self):
        d = self.desktop
        x, y, w, h = d.geometry(self.window)
        left, right, top, bottom = d.frame_extents(self.window)
        outer_w, outer_h = w + left + right, h + top + bottom
        self.assertLessEqual(abs(outer_w - 284), 12, (outer_w, outer_h))
        self.assertLessEqual(abs(outer_h - 268), 12, (outer_w, outer_h))
        screen_w, screen_h = d.screen_size()
        centre = (x - left + outer_w / 2, y - top + outer_h / 2)
        self.assertLessEqual(abs(centre[0] - screen_w / 2), 4, centre)
        self.assertLessEqual(abs(centre[1] - screen_h / 2), 40, centre)  # the tray panel
        shot = d.screenshot(os.path.join(artifacts_dir(), "window.png"), self.window)
        self.assertGreater(os.path.getsize(shot), 1000)

    def test_tray_icon_is_docked_with_its_tooltip(self):
        d = self.desktop
        icon = wait_for(lambda: self.tray_icon(), what="the tray icon")
        self.assertTrue(d.is_viewable(icon))
        x, y, w, h = d.geometry(icon)
        d.x("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
        tip = wait_for(lambda: [t for t in d.window_ids(pid=self.app.pid, only_visible=True)
                                if "_NET_WM_WINDOW_TYPE_TOOLTIP"
                                in d.x("xprop", "-id", str(t), "_NET_WM_WINDOW_TYPE",
                                       check=False)],
                       timeout=10, what="the tooltip")
        self.assertTrue(tip)
        d.screenshot(os.path.join(artifacts_dir(), "tray-tooltip.png"))

    def test_time_boxes_hold_the_time_of_start_up(self):
        d = self.desktop
        values = [d.read_box(self.window, *box) for box in (HOUR_BOX, MINUTE_BOX, SECOND_BOX)]
        started = self.started.replace(microsecond=0)
        candidates = {started + datetime.timedelta(seconds=s) for s in range(-1, 4)}
        self.assertIn(values, [[str(t.hour), str(t.minute), str(t.second)] for t in candidates])

    def test_clock_line_changes_every_second(self):
        d = self.desktop
        first = d.pixels(self.window, CLOCK_LINE)
        time.sleep(1.1)
        second = d.pixels(self.window, CLOCK_LINE)
        self.assertNotEqual(first, second)
        self.assertTrue(any(b != first[0] for b in first), "the clock line is blank")

    def test_escape_ends_the_program_with_status_0(self):
        d = self.desktop
        icon = wait_for(lambda: self.tray_icon(), what="the tray icon")
        d.activate(self.window)
        d.key("Escape", window=self.window, check=False)
        self.assertEqual(self.app.wait(timeout=10), 0)
        self.assertFalse(d.window_ids(name="^TicoraV2.0$", only_visible=True))
        self.assertFalse(d.is_viewable(icon))

    def test_window_manager_close_ends_the_program(self):
        d = self.desktop
        d.activate(self.window)
        d.key("alt+F4", check=False)
        self.assertEqual(self.app.wait(timeout=10), 0)

    def tray_icon(self):
        return self.desktop.tray_icon(self.app.pid)


if __name__ == "__main__":
    unittest.main(verbosity=2)
