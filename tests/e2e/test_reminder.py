#!/usr/bin/env python3
"""The reminder on the real program: arming, the alert at its second with its looping music,
every way of closing the alert, the error box of an incomplete reminder, and bad music files."""
import datetime
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Desktop, centre, find_accessible as find, wait_for  # noqa: E402

HOUR_BOX, MINUTE_BOX, SECOND_BOX = (95, 67), (161, 67), (225, 67)
TEXT_BOX, MUSIC_BOX = (171, 112), (148, 155)
ARM_BUTTON, DISARM_BUTTON = (63, 187, 56, 24), (159, 187, 56, 24)
CLIP_SECONDS = 1.5
SLICE = 0.05                   # seconds of sound per level measured
SOUND, SILENCE = 0.1, 0.005    # RMS levels; the clip's tone is at about 0.47
STOP_WITHIN = 0.5              # seconds from closing the alert to silence
WITH_ACCESSIBILITY = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}


def first_loud(levels, start=0):
    return next((i for i in range(start, len(levels)) if levels[i] > SOUND), None)


class ReminderTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop().__enter__()
        cls.addClassCleanup(cls.desktop.__exit__, None, None, None)
        # The test's clock must read as the program's does.
        os.environ["TZ"] = cls.desktop.env["TZ"]
        time.tzset()
        folder = os.path.join(cls.desktop.home, "我的 \"闹钟\" #1 100% it's")
        os.makedirs(folder)
        cls.music = os.path.join(folder, "提醒 铃声.mp3")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", cls.music,
                        "synth", str(CLIP_SECONDS), "sine", "440"], check=True)

    def setUp(self):
        d = self.desktop
        self.app = d.launch(extra_env=WITH_ACCESSIBILITY)
        self.addCleanup(self.end_program)
        self.window = d.window_named("TicoraV2.0")
        # How each button looks enabled and disabled, taken in states the program is known to
        # be in: both enabled at start-up, and "取消" disabled once clicked.
        self.looks = {}
        self.looks["arm", True], self.looks["disarm", True] = self.settled_looks()
        d.click(self.window, *centre(*DISARM_BUTTON))
        self.looks["disarm", False] = wait_for(
            lambda: (look := self.settled_looks()[1]) != self.looks["disarm", True] and look,
            what="取消 to grey out")

    def end_program(self):
        if self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        wait_for(lambda: not self.desktop.window_ids(name="^TicoraV2.0$", only_visible=True),
                 what="the window to go")

    # ---- the user's side ------------------------------------------------------------------
    def settled_looks(self):
        """The buttons' looks once the screen has stopped changing, away from the pointer
        and with the window active, as both change them."""
        self.desktop.activate(self.window)
        self.desktop.x("xdotool", "mousemove", "0", "0")
        previous = None
        while (looks := self.looks_now()) != previous:
            previous = looks
            time.sleep(0.1)
        return looks

    def looks_now(self):
        return [self.desktop.pixels(self.window, rect) for rect in (ARM_BUTTON, DISARM_BUTTON)]

    def assert_buttons(self, arm_enabled, disarm_enabled, within=3.0):
        """Checks that 确定 and 取消 come to look enabled or disabled as told within a while."""
        self.desktop.activate(self.window)
        self.desktop.x("xdotool", "mousemove", "0", "0")
        deadline = time.monotonic() + within
        while True:
            arm, disarm = self.looks_now()
            if ((arm == self.looks["arm", True]) == arm_enabled
                    and disarm == self.looks["disarm", disarm_enabled]):
                return
            if time.monotonic() > deadline:
                arm_shown = "enabled" if arm == self.looks["arm", True] else "disabled"
                disarm_shown = "enabled" if disarm == self.looks["disarm", True] else "not enabled"
                self.fail(f"after {within}s 确定 looks {arm_shown}, 取消 {disarm_shown}")
            time.sleep(0.05)

    def arm(self, text, music, lead=4):
        """Sets a reminder lead seconds ahead and arms it; returns its due second."""
        d = self.desktop
        d.activate(self.window)
        d.type_into_box(self.window, *TEXT_BOX, text)
        d.type_into_box(self.window, *MUSIC_BOX, music)
        due = self.click_arm(lead)
        self.assert_buttons(arm_enabled=False, disarm_enabled=True)
        return due

    def click_arm(self, lead):
        """Types a time of day lead seconds ahead, give or take one, and clicks 确定; returns
        that time."""
        due = datetime.datetime.now().replace(microsecond=0) + datetime.timedelta(seconds=lead)
        for box, value in zip((HOUR_BOX, MINUTE_BOX, SECOND_BOX),
                              (due.hour, due.minute, due.second)):
            self.desktop.type_into_box(self.window, *box, str(value))
        due = due.timestamp()
        self.desktop.click(self.window, *centre(*ARM_BUTTON))
        self.assertLess(time.time(), due - 0.5, "the test was too slow to arm ahead of time")
        return due

    def await_alert(self, due, text):
        """Waits for the alert and checks that it shows within its second, with the text and
        the information icon; returns the box, its accessible object and how far into its
        second it was seen."""
        box, _, seen_at = self.desktop.watch_for_window("Ticora", timeout=due + 5 - time.time())
        self.assertGreaterEqual(seen_at, due, "the alert came early")
        self.assertLess(seen_at, due + 1, "the alert missed its second")
        alert = self.box_object("Ticora")
        self.assertEqual(find(alert["children"], "label")["name"], text)
        self.assertEqual(self.icon(box, alert), "information")
        return box, alert, seen_at - due

    def box_object(self, title):
        return wait_for(lambda: find(self.desktop.accessibles(self.app.pid), "alert", title),
                        what=f"the box {title!r} on the accessibility bus")

    def icon(self, box, alert):
        """Which of the two icons the box shows, by its colours: the error icon is a red disc,
        the information icon a blue letter i."""
        bx, by, _, _ = self.desktop.geometry(box)
        x, y, w, h = find(alert["children"], "image")["extents"]
        rgb = self.desktop.colours(box, (x - bx, y - by, w, h))
        red = sum(1 for r, g, b in rgb if r > 180 and g < 80 and b < 80)
        blue = sum(1 for r, g, b in rgb if b > 180 and r < 80 and g < 80)
        if red > len(rgb) // 5 and not blue:
            return "error"
        if blue > 10 and not red:
            return "information"
        return f"unknown icon ({red} red, {blue} blue pixels)"

    def press_ok(self, alert):
        self.desktop.x("xdotool", "mousemove",
                       *map(str, centre(*find(alert["children"], "push button", "OK")["extents"])),
                       "click", "1")

    def assert_gone(self, box):
        wait_for(lambda: not self.desktop.is_viewable(box), timeout=5, what="the box to close")

    def assert_loops_until_closed(self, recording, since, close):
        """Checks that the music sounds while the box is open, still after the clip's length,
        and falls silent once close() has closed the box; returns how long that took. since is
        the point of the recording from which the music is the alert's."""
        start = int(since / SLICE)
        onset = None
        deadline = time.monotonic() + 5
        while onset is None and time.monotonic() < deadline:
            time.sleep(0.2)
            onset = first_loud(recording.levels(SLICE), start)
        self.assertIsNotNone(onset, "no music with the alert")
        until = int((onset * SLICE + 2 * CLIP_SECONDS + 0.5) / SLICE)
        wait_for(lambda: recording.seconds() > until * SLICE, timeout=10, what="more sound")
        loud = sum(level > SOUND for level in recording.levels(SLICE)[onset:until]) * SLICE
        self.assertGreater(loud, CLIP_SECONDS + 0.5,
                           "the music did not sound for longer than the clip: no loop")

        closed_at = recording.seconds()
        close()
        wait_for(lambda: recording.seconds() > closed_at + STOP_WITHIN + 1.0, timeout=10,
                 what="the sound after the close")
        levels = recording.levels(SLICE)
        closed = int(closed_at / SLICE)
        self.assertIsNotNone(first_loud(levels[:closed], closed - int(0.6 / SLICE)),
                             "the music had stopped before the box was closed")
        silent_from = next((i for i in range(len(levels), closed, -1) if levels[i - 1] > SILENCE),
                           closed)
        stopped_after = silent_from * SLICE - closed_at
        self.assertLess(stopped_after, STOP_WITHIN, "the music went on after the box closed")
        return stopped_after

    # ---- the tests ------------------------------------------------------------------------
    def test_alert_fires_on_its_second_with_looping_music_that_ok_stops(self):
        d = self.desktop
        maps = f"/proc/{self.app.pid}/maps"
        with open(maps) as f:
            self.assertNotIn("libgstreamer-1.0", f.read(), "the audio stack loaded at start-up")
        recording = d.record()
        self.addCleanup(recording.stop)
        since = recording.seconds()
        due = self.arm("该喝水了，起来走走", self.music)
        with open(maps) as f:
            self.assertIn("libgstreamer-1.0", f.read(), "arming did not prepare the player")

        box, alert, late = self.await_alert(due, "该喝水了，起来走走")
        stopped_after = self.assert_loops_until_closed(recording, since,
                                                       lambda: self.press_ok(alert))
        self.assert_gone(box)
        print(f"alert seen {late * 1000:.0f} ms into its second, music silent "
              f"{stopped_after * 1000:.0f} ms after OK", file=sys.stderr)
        self.assert_buttons(arm_enabled=True, disarm_enabled=False)
        self.assertIsNone(self.app.poll())

    def test_closing_the_alert_any_other_way_stops_the_music(self):
        d = self.desktop
        recording = d.record()
        self.addCleanup(recording.stop)

        def escape(box):
            d.activate(box)
            d.key("Escape")

        def title_bar_close(box):
            x, y, w, _ = d.geometry(box)
            _, right, top, _ = d.frame_extents(box)
            d.x("xdotool", "mousemove", str(x + w + right - top // 2), str(y - top // 2),
                "click", "1")

        for way, close in (("Esc", escape), ("title-bar close", title_bar_close)):
            with self.subTest(way):
                since = recording.seconds()
                box, _, _ = self.await_alert(self.arm(way, self.music), way)
                self.assert_loops_until_closed(recording, since, lambda: close(box))
                self.assert_gone(box)
                self.assert_buttons(arm_enabled=True, disarm_enabled=False)
        self.assertIsNone(self.app.poll())

    def test_empty_text_gives_the_error_box_and_arms_nothing(self):
        d = self.desktop
        d.click(self.window, *TEXT_BOX)
        d.key("ctrl+a", "Delete")
        due = self.click_arm(lead=4)
        box = d.window_named("错误")
        error = self.box_object("错误")
        self.assertEqual(find(error["children"], "label")["name"], "请输入完整信息！")
        self.assertEqual(self.icon(box, error), "error")
        self.press_ok(error)
        self.assert_gone(box)
        self.assert_buttons(arm_enabled=True, disarm_enabled=False)

        deadline = due + 1.5
        while time.time() < deadline:
            self.assertFalse(d.window_ids(name="^Ticora$", only_visible=True),
                             "an alert fired although arming was refused")
            time.sleep(0.1)
        self.assertIsNone(self.app.poll())

    def test_alert_without_playable_music_still_shows_its_box(self):
        d = self.desktop
        folder = os.path.join(d.home, "不是音乐")
        os.makedirs(folder, exist_ok=True)
        noise = os.path.join(folder, "杂音 #2.mp3")
        with open(noise, "wb") as f:
            f.write(os.urandom(64 * 1024))
        for what, path in (("missing file", os.path.join(folder, "没有 这个.mp3")),
                           ("directory", folder),
                           ("not an MP3", noise)):
            with self.subTest(what):
                box, _, _ = self.await_alert(self.arm(what, path), what)
                others = [n for n in d.accessibles(self.app.pid)
                          if n["name"] not in ("TicoraV2.0", "Ticora")]
                self.assertEqual(others, [], "something else showed up with the alert")
                d.activate(box)
                d.key("Return")
                self.assert_gone(box)
                # Promptly: a player stuck on the bad file would hold the program frozen.
                self.assert_buttons(arm_enabled=True, disarm_enabled=False, within=0.6)
                self.assertIsNone(self.app.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
