#!/usr/bin/env python3
"""Bad input on the real program: what the time boxes refuse and what they take, reminder
texts huge or foreign, and music files that cannot play or vanish while playing. Each case
checks what the user sees, and that the program goes on answering and keeps its state."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import (ARMED, DISARM_BUTTON, DISARMED, HOUR_BOX, MINUTE_BOX,  # noqa: E402
                     SECOND_BOX, TEXT_BOX, DesktopTestCase, centre, find_accessible, wait_for)

CLIP_SECONDS = 1.5
SLICE = 0.05                   # seconds of sound per level measured
SOUND, SILENCE = 0.1, 0.005    # RMS levels; the clips' tone is at about 0.47
STOP_WITHIN = 0.5              # seconds from closing the alert to silence
PROMPTLY = 1.0                 # seconds for the window to answer once the alert is closed


def make_clip(path):
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", path, "synth", str(CLIP_SECONDS),
                    "sine", "440"], check=True)
    return path


class TimeBoxTest(DesktopTestCase):
    def setUp(self):
        self.app = self.start()

    def test_pasted_letters_and_symbols_are_refused_and_the_box_kept(self):
        app = self.app
        boxes = (HOUR_BOX, MINUTE_BOX, SECOND_BOX)
        kept = [app.read(box) for box in boxes]
        for pasted in ("12ab", "#%&*", "１２", "٣", "⏰"):
            with self.subTest(pasted):
                for box, value in zip(boxes, kept):
                    app.type(box, pasted)
                    self.assertEqual(app.read(box), value)
        app.assert_buttons((True, True))
        app.assert_alive()

    def test_what_denotes_no_time_of_day_arms_but_never_fires(self):
        app = self.app
        boxes = (HOUR_BOX, MINUTE_BOX, SECOND_BOX)
        # The boxes before the spoiled one match, so that it is the one compared.
        for what, spoiled, value in (("lone minus", 0, "-"),
                                     ("5,000 digits", 1, "9" * 5000),
                                     ("beyond the integer range", 2, "2147483648")):
            with self.subTest(what):
                def times(*due):
                    return [value if i == spoiled else v for i, v in enumerate(due)]
                due = app.arm(what, times=times)
                app.assert_buttons(ARMED)
                app.assert_quiet(due + 1.5)
                app.assert_buttons(ARMED)
                app.assert_alive()
                self.assertEqual(app.read(boxes[spoiled]), value)
                app.click(DISARM_BUTTON)
                app.assert_buttons(DISARMED)

    def test_leading_zeros_fire_on_their_second(self):
        app = self.app
        due = app.arm("零点", times=lambda h, m, s: (f"{h:03d}", f"00{m}", f"{s:02d}"))
        box, _ = app.await_alert(due, "零点")
        app.press_ok(box)
        app.assert_buttons(DISARMED, within=PROMPTLY)
        app.assert_alive()


class TextTest(DesktopTestCase):
    def test_any_text_shows_in_a_box_that_ok_closes(self):
        d = self.desktop
        app = self.start()
        for what, text in (
                ("100,000 characters", ("该喝水了，起来走走。Time for some water. " * 3000)[:100000]),
                ("5,000 lines", "\n".join(f"第 {i} 行 line {i}" for i in range(1, 5001))),
                ("emoji", "⏰ 喝水 😀 👨‍👩‍👧 🇨🇳"),
                ("right to left", "موعد الاجتماع בשעה שלוש")):
            with self.subTest(what):
                box, alert = app.await_alert(app.arm(text))
                label = find_accessible(alert["children"], "label")["name"]
                details = find_accessible(alert["children"], "push button", "Show Details...")
                if len(text) < 100:
                    self.assertEqual(label, text)
                    self.assertIsNone(details)
                else:
                    # Too big for the screen: its beginning, and the whole in the details.
                    self.assertTrue(label.endswith("…"), label[-20:])
                    self.assertTrue(text.startswith(label[:-1]))
                    self.assertGreater(len(label), 20)
                    self.assertIsNotNone(details, "no way to read the rest")
                    app.assert_on_screen(box)
                    d.x("xdotool", "mousemove", *map(str, centre(*details["extents"])),
                        "click", "1")
                    wait_for(lambda: find_accessible(app.accessibles(), "push button",
                                                     "Hide Details..."),
                             what="the details to open")
                app.press_ok(box)
                app.assert_buttons(DISARMED, within=PROMPTLY)
                app.assert_alive()
                self.assertEqual(app.read(TEXT_BOX), text, "the text box lost its text")


class MusicFileTest(DesktopTestCase):
    desktop_options = {}

    def setUp(self):
        self.app = self.start()
        self.folder = os.path.join(self.desktop.home, "铃声")
        os.makedirs(self.folder, exist_ok=True)
        self.recording = self.desktop.record()
        self.addCleanup(self.recording.stop)

    def heard(self, since, until):
        """Whether anything sounded between these points of the recording, in seconds."""
        wait_for(lambda: self.recording.seconds() > until, timeout=10, what="more sound")
        levels = self.recording.levels(SLICE)[int(since / SLICE):int(until / SLICE)]
        return any(level > SOUND for level in levels)

    def alert_with(self, path):
        """Arms a reminder with that music; returns the alert's box and the point of the
        recording at which it showed."""
        box, _ = self.app.await_alert(self.app.arm(os.path.basename(path), path))
        return box, self.recording.seconds()

    def close(self, box):
        """OK closes the box, the window answers at once, and all is silent."""
        closed_at = self.recording.seconds()
        self.app.press_ok(box)
        self.app.assert_buttons(DISARMED, within=PROMPTLY)
        wait_for(lambda: self.recording.seconds() > closed_at + STOP_WITHIN + 1.0, timeout=10,
                 what="the sound after the close")
        after = self.recording.levels(SLICE)[int((closed_at + STOP_WITHIN) / SLICE):]
        self.assertFalse(any(level > SILENCE for level in after),
                         "the music went on after the box closed")
        self.app.assert_alive()

    def test_files_that_are_no_mp3(self):
        empty = os.path.join(self.folder, "空的.mp3")
        open(empty, "wb").close()
        disguised = os.path.join(self.folder, "其实是 WAV.mp3")
        os.rename(make_clip(os.path.join(self.folder, "其实是 WAV.wav")), disguised)
        # An empty file plays nothing; a WAV under the wrong name is still music, and plays.
        for what, path, sounds in (("empty file", empty, False),
                                   ("WAV named .mp3", disguised, True)):
            with self.subTest(what):
                box, shown = self.alert_with(path)
                self.assertEqual(self.heard(shown, shown + 2.0), sounds)
                self.close(box)

    def test_file_deleted_while_it_plays(self):
        path = make_clip(os.path.join(self.folder, "马上 就删.mp3"))
        box, shown = self.alert_with(path)
        self.assertTrue(self.heard(shown, shown + 1.0), "no music with the alert")
        os.remove(path)
        # Its round played out, the music has no file to start again from: whether it stops
        # or plays on, the box stays, and the program with it.
        then = self.recording.seconds()
        plays_on = self.heard(then + 2 * CLIP_SECONDS, then + 3 * CLIP_SECONDS)
        print(f"music {'plays on' if plays_on else 'stops'} once its file is gone",
              file=sys.stderr)
        self.assertTrue(self.desktop.is_viewable(box))
        self.app.assert_alive()
        self.close(box)

        # The file back, the next alert plays it.
        make_clip(path)
        box, shown = self.alert_with(path)
        self.assertTrue(self.heard(shown, shown + 1.0), "no music once the file was back")
        self.close(box)


if __name__ == "__main__":
    unittest.main(verbosity=2)
